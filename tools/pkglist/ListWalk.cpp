#include "ListWalk.h"

#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <set>

#include "datafile/VarLengthField.h"

namespace {
enum class EField { U32, U8, Bytes, Field };

struct SFieldSpec {
    const char* pszName;
    EField kind;
    uint32_t dwSize;  // for Bytes
};

const SFieldSpec s_aPackageFields[] = {
    {"PkgId", EField::U32, 4},        {"PkgAttr1", EField::U32, 4},     {"PkgName", EField::Bytes, 33},
    {"PkgIDCClass", EField::Bytes, 65}, {"PkgLocalClass", EField::U32, 4}, {"MainExe", EField::Bytes, 65},
    {"RunExe", EField::Bytes, 65},    {"PkgAttr2", EField::U32, 4},     {"PkgType", EField::U8, 1},
    {"PkgIDCVer", EField::U32, 4},    {"PkgNewVer", EField::U32, 4},    {"PkgLocalVer", EField::U32, 4},
    {"PkgIdxCRC", EField::U32, 4},    {"PkgAttr3", EField::U32, 4},     {"PkgAttr4", EField::U32, 4},
    {"VDiskUpdateDate", EField::U32, 4}, {"PkgPath", EField::Field, 0}, {"VDiskPath", EField::Field, 0},
    {"LargeUrl", EField::Field, 0},   {"SmallUrl", EField::Field, 0},   {"PkgExtra1", EField::U32, 4},
    {"PkgExtra2", EField::U32, 4},    {"PkgExtra3", EField::U32, 4},    {"PkgExtra4", EField::U32, 4},
    {"PkgExtra5", EField::U32, 4},
};

const SFieldSpec s_aExFields[] = {
    {"PkgId", EField::U32, 4},       {"PkgAttr1", EField::U32, 4},    {"PkgName", EField::Bytes, 32},
    {"PkgIDCClass", EField::Bytes, 64}, {"MainExe", EField::Bytes, 64}, {"RunExe", EField::Bytes, 64},
    {"PkgAttr2", EField::U32, 4},    {"PkgType", EField::U8, 1},      {"PkgNewVer", EField::U32, 4},
    {"PkgExAttr", EField::U32, 4},   {"PkgAttr3", EField::U32, 4},    {"ExtParams", EField::Field, 0},
};

uint32_t ReadBe32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

std::string Format(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* pszFormat, ...) {
    char szLine[512];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szLine, sizeof(szLine), pszFormat, args);
    va_end(args);
    return szLine;
}
}  // namespace

const char* KindRecordName(EListKind kind) { return kind == EListKind::Package ? "package" : "extension"; }

uint32_t KindMinRecordSize(EListKind kind) {
    return kind == EListKind::Package ? PKG_RECORD_MIN_SIZE : PKG_EX_RECORD_MIN_SIZE;
}

SWalkResult WalkList(const uint8_t* pData, uint32_t dwSize, EListKind kind) {
    SWalkResult result;
    if (dwSize < 4) {
        result.strProblem = Format("payload of %u bytes is too short for the 4-byte record count", dwSize);
        return result;
    }
    result.dwCount = ReadBe32(pData);
    const uint32_t dwMin = KindMinRecordSize(kind);
    const uint32_t dwRest = dwSize - 4;
    if (dwRest / dwMin < result.dwCount) {
        result.strProblem = Format(
            "implausible record count %u: the %u bytes after it hold at most %u %s records of at least %u bytes",
            result.dwCount, dwRest, dwRest / dwMin, KindRecordName(kind), dwMin);
        return result;
    }
    const SFieldSpec* pBegin = kind == EListKind::Package ? s_aPackageFields : s_aExFields;
    const SFieldSpec* pEnd = kind == EListKind::Package ? std::end(s_aPackageFields) : std::end(s_aExFields);
    std::set<uint32_t> setIds;
    uint32_t dwOffset = 4;
    for (uint32_t i = 0; i < result.dwCount; ++i) {
        const uint32_t dwRecordStart = dwOffset;
        std::string strId = "id unknown";
        for (const SFieldSpec* f = pBegin; f != pEnd; ++f) {
            const uint32_t dwLeft = dwSize - dwOffset;
            const uint32_t dwNeed = f->kind == EField::Field ? 4 : f->dwSize;
            const char* pszWhat = f->kind == EField::Field ? " (length word)" : "";
            if (dwLeft < dwNeed) {
                result.strProblem = Format(
                    "record %u of %u (%s, starting at payload offset %u) cut short at offset %u in field %s%s: "
                    "needs %u bytes, %u remain",
                    i + 1, result.dwCount, strId.c_str(), dwRecordStart, dwOffset, f->pszName, pszWhat, dwNeed, dwLeft);
                return result;
            }
            if (f == pBegin) {
                const uint32_t dwId = ReadBe32(pData + dwOffset);
                strId = Format("id %u", dwId);
                if (!setIds.insert(dwId).second) ++result.dwDuplicates;
            }
            if (f->kind == EField::Field) {
                const uint32_t dwLength = ReadBe32(pData + dwOffset);
                if (dwLeft - 4 < dwLength) {
                    result.strProblem = Format(
                        "record %u of %u (%s, starting at payload offset %u) cut short at offset %u in field %s: "
                        "its length word says %u bytes, %u remain",
                        i + 1, result.dwCount, strId.c_str(), dwRecordStart, dwOffset, f->pszName, dwLength,
                        dwLeft - 4);
                    return result;
                }
                dwOffset += 4 + dwLength;
            } else {
                dwOffset += dwNeed;
            }
        }
    }
    result.bOk = true;
    result.dwEnd = dwOffset;
    return result;
}
