// The sample catalogue built into the substitute client view program.
#pragma once

struct SSampleFile {
    const char* pszName;  // file name inside the data directory
    const unsigned char* pbData;
    unsigned nSize;
};

// g_nSampleFiles entries, then one with a null name.
extern const SSampleFile g_aSampleFiles[];
extern const unsigned g_nSampleFiles;
