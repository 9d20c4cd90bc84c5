// A field-by-field walk of a list payload, for diagnosis only: it follows
// the same layouts as the library's decoders but says where and why a payload
// stops decoding. The library's decode stays the judge of validity; verify
// reports a disagreement between the two as an internal error.
#pragma once

#include <cstdint>
#include <string>

enum class EListKind { Package, Extension };

struct SWalkResult {
    bool bOk = false;
    std::string strProblem;     // one line, set when !bOk
    uint32_t dwCount = 0;       // the count word, when it could be read
    uint32_t dwEnd = 0;         // payload offset after the last record, when bOk
    uint32_t dwDuplicates = 0;  // ids seen more than once (the loader keeps the last)
};

SWalkResult WalkList(const uint8_t* pData, uint32_t dwSize, EListKind kind);

const char* KindRecordName(EListKind kind);  // "package" or "extension"
uint32_t KindMinRecordSize(EListKind kind);
