// Shared fixtures of the catalogue and working-copy suites: a temporary
// directory that cleans up after itself, list files written with the test
// encoder, and counting of log lines captured from standard output.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ListEncoder.h"
#include "TempDir.h"
#include "catalogue/packagelist.h"

namespace cattest {

using halvextest::CTempDir;

inline std::string WriteMenuList(const std::string& strPath, const std::vector<CPackageInfo>& vecInfo) {
    const std::string strBytes = WithTrailer(EncodePackageList(vecInfo));
    EXPECT_TRUE(WriteBinaryFile(strPath, strBytes)) << strPath;
    return strBytes;
}

inline std::string WriteExList(const std::string& strPath, const std::vector<CPackageExInfo>& vecExInfo) {
    const std::string strBytes = WithTrailer(EncodePackageExList(vecExInfo));
    EXPECT_TRUE(WriteBinaryFile(strPath, strBytes)) << strPath;
    return strBytes;
}

// Number of lines of the captured output whose level tag and text are
// exactly these ("[Info]|text\n" ends the line).
inline int CountLines(const std::string& strOutput, const std::string& strLevel, const std::string& strText) {
    const std::string strNeedle = "|[" + strLevel + "]|" + strText + "\n";
    int n = 0;
    for (size_t nPos = strOutput.find(strNeedle); nPos != std::string::npos;
         nPos = strOutput.find(strNeedle, nPos + strNeedle.size()))
        ++n;
    return n;
}

// The captured lines from their level tag on ("[Info]|text"), in order: the
// time and thread tags in front vary from run to run.
inline std::vector<std::string> Messages(const std::string& strOutput) {
    std::vector<std::string> vec;
    size_t nStart = 0;
    while (nStart < strOutput.size()) {
        size_t nEnd = strOutput.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = strOutput.size();
        const std::string strLine = strOutput.substr(nStart, nEnd - nStart);
        size_t nPos = strLine.find("]|");
        if (nPos != std::string::npos) nPos = strLine.find("]|", nPos + 2);
        vec.push_back(nPos == std::string::npos ? strLine : strLine.substr(nPos + 2));
        nStart = nEnd + 1;
    }
    return vec;
}

// Entries of a map, walked under its lock; a derived class reaches the
// protected members the loading code walks itself.
class CInspectableList : public CPackageList {
public:
    std::vector<uint32_t> Ids() {
        CScopedLock lock(m_csLock);
        std::vector<uint32_t> vec;
        for (const auto& entry : m_mapInfo) vec.push_back(entry.first);
        return vec;
    }
    CCriticalSection& Lock() { return m_csLock; }
};

inline SPackageInfo Find(CPackageList& list, uint32_t dwId, bool& bFound) {
    SPackageInfo info;
    info.PkgId = dwId;
    bFound = list.FindInfo(info) == 1;
    return info;
}

inline std::string FieldText(const CByteField& field) {
    return std::string(reinterpret_cast<const char*>(field.GetData()), field.GetLength());
}

}  // namespace cattest
