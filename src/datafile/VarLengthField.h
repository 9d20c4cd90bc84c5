// The counted list of a list file's payload and the record decoders.
//
//   offset 0  4       record count C, big-endian
//   offset 4  varies  C records back to back; bytes after them are ignored
//
// Package record (CPackageInfo), L = sum of its four byte-field lengths:
//   0 PkgId 4 | 4 PkgAttr1 4 | 8 PkgName 33 | 41 PkgIDCClass 65 |
//   106 PkgLocalClass 4 | 110 MainExe 65 | 175 RunExe 65 | 240 PkgAttr2 4 |
//   244 PkgType 1 | 245 PkgIDCVer 4 | 249 PkgNewVer 4 | 253 PkgLocalVer 4 |
//   257 PkgIdxCRC 4 | 261 PkgAttr3 4 | 265 PkgAttr4 4 | 269 VDiskUpdateDate 4 |
//   273 PkgPath, VDiskPath, LargeUrl, SmallUrl: each a length word and bytes |
//   289+L PkgExtra1..PkgExtra5, 4 each.          Smallest record: 309 bytes.
// Extension record (CPackageExInfo), E = length of ExtParams:
//   0 PkgId 4 | 4 PkgAttr1 4 | 8 PkgName 32 | 40 PkgIDCClass 64 |
//   104 MainExe 64 | 168 RunExe 64 | 232 PkgAttr2 4 | 236 PkgType 1 |
//   237 PkgNewVer 4 | 241 PkgExAttr 4 | 245 PkgAttr3 4 | 249 ExtParams 4+E.
//                                                 Smallest record: 253 bytes.
// The extension record's texts are one byte shorter in the file than in
// memory, so the in-memory field's last byte stays zero.
#pragma once

#include <cstdint>
#include <memory>

#include "../catalogue/PackageInfo.h"
#include "ByteReader.h"

constexpr uint32_t PKG_RECORD_MIN_SIZE = 309;
constexpr uint32_t PKG_EX_RECORD_MIN_SIZE = 253;

// Each returns 0 on success and -1 at the first field that does not fit; a
// record that failed is only fit to be destroyed.
int Decode(CByteReader& reader, CPackageInfo& info);
int Decode(CByteReader& reader, CPackageExInfo& exInfo);

// Smallest encoded size of a record, for the list's plausibility test.
template <class T>
struct TRecordMinSize;
template <>
struct TRecordMinSize<CPackageInfo> {
    static constexpr uint32_t value = PKG_RECORD_MIN_SIZE;
};
template <>
struct TRecordMinSize<CPackageExInfo> {
    static constexpr uint32_t value = PKG_EX_RECORD_MIN_SIZE;
};

template <class T, int A, int B>
class TVarLengthField {
public:
    TVarLengthField() = default;
    TVarLengthField(const TVarLengthField&) = delete;
    TVarLengthField& operator=(const TVarLengthField&) = delete;

    // 0 when the count and every record decoded, -1 otherwise. A count that
    // more records than the remaining bytes could hold, at the smallest
    // encoded record size, is refused before anything is allocated, so a
    // small corrupt file cannot ask for a huge allocation. Raises
    // std::bad_alloc when a plausible count cannot be held.
    int Decode(CByteReader& reader) {
        uint32_t dwCount = 0;
        if (reader.ReadU32(dwCount) != 0) return -1;
        m_dwCount = dwCount;
        if (reader.GetRemaining() / TRecordMinSize<T>::value < dwCount) return -1;
        m_pRecords.reset();
        m_pRecords.reset(new T[dwCount]);
        for (uint32_t i = 0; i < dwCount; ++i)
            if (::Decode(reader, m_pRecords[i]) != 0) return -1;
        return 0;
    }

    uint32_t GetCount() const { return m_pRecords ? m_dwCount : 0; }
    T& operator[](uint32_t i) { return m_pRecords[i]; }
    const T& operator[](uint32_t i) const { return m_pRecords[i]; }

private:
    uint32_t m_dwCount = 0;
    std::unique_ptr<T[]> m_pRecords;
};

using CPackageInfoList = TVarLengthField<CPackageInfo, 0, 0>;
using CPackageExInfoList = TVarLengthField<CPackageExInfo, 0, 0>;
