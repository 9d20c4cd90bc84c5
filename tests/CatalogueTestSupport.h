// Shared fixtures of the catalogue and working-copy suites: a temporary
// directory that cleans up after itself, list files written with the test
// encoder, and counting of log lines captured from standard output.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ListEncoder.h"
#include "catalogue/packagelist.h"

namespace cattest {

// A fresh directory under the system's temporary directory, removed with all
// it holds when the object goes. Paths are handed out in the core's
// backslash form; the POSIX backend maps them back.
class CTempDir {
public:
    CTempDir() {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        for (unsigned n = 0;; ++n) {
            m_native = base / ("halvex-cat-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                               std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" + std::to_string(n));
            std::error_code ec;
            if (std::filesystem::create_directory(m_native, ec)) break;
        }
    }
    ~CTempDir() {
        std::error_code ec;
        // Read-only leftovers must not survive: give every entry its owner write bit back.
        for (auto it = std::filesystem::recursive_directory_iterator(m_native, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_native, ec);
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    // The core's form of a path inside the directory.
    std::string Path(const std::string& strName) const { return ToCore(m_native / strName); }
    std::string Dir() const { return ToCore(m_native); }
    std::filesystem::path Native(const std::string& strName) const { return m_native / strName; }

    static std::string ToCore(const std::filesystem::path& path) {
        std::string str = path.string();
        for (char& c : str)
            if (c == '/') c = '\\';
        return str;
    }

private:
    std::filesystem::path m_native;
};

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
