// An id-keyed map of info records under one recursive lock, and its loading
// from a list file.
//
// Every operation but construction and destruction takes m_csLock for its
// whole length and releases it on every way out. Records are copied in and
// out: no reference into the map leaves it.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "../datafile/CRCChkFile.h"
#include "../datafile/VarLengthField.h"
#include "../log/Logger.h"
#include "../module/HalvexCode.h"
#include "../platform/OsSync.h"
#include "../platform/OsSystem.h"

template <class TMap, class TIterator, class TRecord, class TList>
class CBasicInfoMap {
public:
    CBasicInfoMap() = default;
    // Takes no lock: the owner makes sure no other thread still uses the map.
    virtual ~CBasicInfoMap() = default;
    // Writes every record's dump line in ascending id order, under the lock.
    virtual void DumpInfo();

    CBasicInfoMap(const CBasicInfoMap&) = delete;
    CBasicInfoMap& operator=(const CBasicInfoMap&) = delete;

    // Found: assigns the stored record to `info` and returns 1. Not found:
    // returns 0 and leaves `info` as it was.
    int FindInfo(TRecord& info) {
        CScopedLock lock(m_csLock);
        const TIterator it = m_mapInfo.find(info.PkgId);
        if (it == m_mapInfo.end()) return 0;
        info = it->second;
        return 1;
    }

    // Stores a copy under its id, replacing the whole record of an existing entry.
    void AddInfo(const TRecord& info) {
        CScopedLock lock(m_csLock);
        m_mapInfo[info.PkgId] = info;
    }

    void ClearInfo() {
        CScopedLock lock(m_csLock);
        m_mapInfo.clear();
    }

    // Loads a list file through its working copy: 1 when it was read, its
    // trailer matched and it decoded, and the map now holds exactly its
    // records; 0 otherwise, with one Error line and the map untouched.
    int LoadVLFFromFile(const char* pszPath);

    // Replaces the map's contents by the list's records; the last of a
    // repeated id wins, and the added fields keep their defaults.
    void SetInfoFromVLF(const TList& list);

    // Test and tool access: number of entries, under the lock.
    size_t GetCount() {
        CScopedLock lock(m_csLock);
        return m_mapInfo.size();
    }

protected:
    TMap m_mapInfo;
    CCriticalSection m_csLock;
};

template <class TMap, class TIterator, class TRecord, class TList>
void CBasicInfoMap<TMap, TIterator, TRecord, TList>::DumpInfo() {
    CScopedLock lock(m_csLock);
    for (const auto& entry : m_mapInfo) DumpPkgInfo(entry.second);
}

template <class TMap, class TIterator, class TRecord, class TList>
void CBasicInfoMap<TMap, TIterator, TRecord, TList>::SetInfoFromVLF(const TList& list) {
    CScopedLock lock(m_csLock);
    ClearInfo();
    for (uint32_t i = 0; i < list.GetCount(); ++i) {
        // Stored in place rather than through a temporary: the entry ends as
        // a default record with the list record assigned to its base part,
        // which is what assigning such a temporary would leave. The hint makes
        // a list in ascending id order cost no tree search.
        const size_t nBefore = m_mapInfo.size();
        TRecord& info = m_mapInfo.try_emplace(m_mapInfo.end(), list[i].PkgId)->second;
        if (m_mapInfo.size() == nBefore) info = TRecord();  // a repeated id: the last record wins whole
        static_cast<CPackageInfo&>(info) = list[i];
    }
}

template <class TMap, class TIterator, class TRecord, class TList>
int CBasicInfoMap<TMap, TIterator, TRecord, TList>::LoadVLFFromFile(const char* pszPath) {
    const std::string strVlfFileName = CopyRightFile(pszPath);
    LOG_PRINT(Info, "strVlfFileName:%s", strVlfFileName.c_str());
    int nResult = 0;
    try {
        CScopedLock lock(m_csLock);  // held from open to store: lookups see all or nothing
        CCRCChkFile file;
        if (!file.Open(strVlfFileName.c_str(), CFile::modeRead | CFile::shareExclusive, nullptr)) {
            LOG_PRINT(Error, "LoadVLFFromFile FAIDED PATH  =%s", strVlfFileName.c_str());
            return 0;
        }
        const uint32_t nBytesRead = uint32_t(file.GetLength());
        std::unique_ptr<uint8_t[]> pBuffer(new uint8_t[nBytesRead ? nBytesRead : 1]);
        const uint32_t nRead = file.Read(pBuffer.get(), nBytesRead);
        if (nRead != nBytesRead) {
            const uint32_t dwError = OsGetLastError();  // now: the log call may overwrite it
            LOG_PRINT(Error, "LoadFile(%s) CRC error. nBytesRead:%d, nRead:%d, LastError:%d", strVlfFileName.c_str(),
                      int(nBytesRead), int(nRead), int(dwError));
            return 0;
        }
        TList list;
        CByteReader reader(pBuffer.get(), nBytesRead);
        if (list.Decode(reader) != 0) {
            LOG_PRINT(Error, "LoadFile decode error.");
        } else {
            SetInfoFromVLF(list);
            nResult = 1;
        }
    } catch (...) {  // a file error or exhausted memory is a failed load, nothing more
        LOG_PRINT(Error, "LoadVLFFromFile Exception.");
        nResult = 0;
    }
    return nResult;
}
