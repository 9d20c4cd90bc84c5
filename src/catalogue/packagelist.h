// The package catalogue's class: the id-keyed map of SPackageInfo records,
// its loading and merging of the three list files, and its dump.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "../platform/AnsiText.h"
#include "BasicInfoList.h"
#include "PackageInfo.h"

using CPackageInfoMap = std::map<uint32_t, SPackageInfo>;  // ascending unsigned ids
using CPackageMapBase = CBasicInfoMap<CPackageInfoMap, CPackageInfoMap::iterator, SPackageInfo, CPackageInfoList>;

class CPackageList : public CPackageMapBase {
public:
    // Resets the attributes of "\Data\PkgDeleted.ini" beside the host
    // executable, as every construction does; never fails for it.
    CPackageList();
    ~CPackageList() override = default;

    // Writes "CopyPkgInfo dump information." and then every record.
    void DumpInfo() override;

    // Loads the menu list, merges the extension list and, for packages the
    // menu list lacks, the store list. Holds m_csLock throughout. 0 when the
    // extension file cannot be opened or read whole with a matching trailer,
    // or an exception was caught; 1 otherwise.
    int LoadPkgList(const char* pszMenuPath, const char* pszMenuExPath, const char* pszStorePath);

    // The path GetPkgFullPath answers for an id, taken under the lock without
    // copying the rest of the record: 1 with the text of VDiskPath when its
    // length exceeds 1, else of PkgPath; 0 when the id is absent or its
    // PkgType is -1. The same answers as FindInfo and a choice on the copy.
    int FindPath(uint32_t dwPkgId, std::string& strPath);

    const std::string& GetDeletedListPath() const { return m_strDeletedListPath; }

private:
    void MergeMenuEx(const CPackageExInfoList& exList, const char* pszStorePath);

    std::string m_strDeletedListPath;
};

// Applies an extension text of ";"-separated key=value settings.
void ApplyExtParams(SPackageInfo& info, const CByteField& extParams);

// Decimal conversion: white space, optional sign, digits; no digits give 0;
// out of range clamps to the nearest signed 32-bit limit.
int32_t TextToInt32(const char* pszText);

// Directory of the host executable, without a trailing backslash; the whole
// path when it has no backslash.
std::string GetHostExeDir();
