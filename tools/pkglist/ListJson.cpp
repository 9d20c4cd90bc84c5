#include "ListJson.h"

#include <cstring>

namespace {
constexpr uint32_t EX_NAME_FILE_SIZE = PKG_NAME_SIZE - 1;  // the extension file keeps no terminator
constexpr uint32_t EX_TEXT_FILE_SIZE = PKG_TEXT_SIZE - 1;

bool IsPrintable(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E) return false;
    return true;
}

std::string ToHex(const uint8_t* p, size_t n) {
    static const char s_szDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += s_szDigits[p[i] >> 4];
        s += s_szDigits[p[i] & 15];
    }
    return s;
}

std::string FromHex(const std::string& strHex, const std::string& strWhere) {
    auto digit = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw CJsonFormatError(strWhere + ": \"hex\" holds a character that is no hex digit");
    };
    if (strHex.size() % 2) throw CJsonFormatError(strWhere + ": \"hex\" needs an even number of digits");
    std::string s;
    for (size_t i = 0; i < strHex.size(); i += 2) s += char(digit(strHex[i]) << 4 | digit(strHex[i + 1]));
    return s;
}

// The bytes a JSON value stands for, and whether they came from a string.
std::string BytesOf(const CJson& j, const std::string& strWhere, bool& bText) {
    if (j.is_string()) {
        bText = true;
        return j.get<std::string>();
    }
    if (j.is_object() && j.size() == 1 && j.contains("hex") && j["hex"].is_string()) {
        bText = false;
        return FromHex(j["hex"].get<std::string>(), strWhere);
    }
    throw CJsonFormatError(strWhere + ": expected a string or {\"hex\": \"...\"}");
}

// bTerminated: the file keeps the terminator byte (package records); the
// extension record's fields hold one byte fewer in the file than in memory.
void SetTextField(char* pField, uint32_t nFileSize, bool bTerminated, const CJson& j, const std::string& strWhere) {
    bool bText = false;
    const std::string s = BytesOf(j, strWhere, bText);
    const size_t nMax = bText && bTerminated ? nFileSize - 1 : nFileSize;
    if (s.size() > nMax)
        throw CJsonFormatError(strWhere + ": " + std::to_string(s.size()) + " bytes, at most " +
                               std::to_string(nMax) + " fit");
    if (bText && memchr(s.data(), 0, s.size()))
        throw CJsonFormatError(strWhere + ": a text holds no zero byte; use {\"hex\": ...}");
    memset(pField, 0, nFileSize);
    memcpy(pField, s.data(), s.size());
}

void SetByteField(CByteField& field, const CJson& j, const std::string& strWhere) {
    bool bText = false;
    const std::string s = BytesOf(j, strWhere, bText);
    if (bText)
        field.AssignText(s.data(), s.size());
    else
        field.Assign(s.data(), uint32_t(s.size()));
}

uint32_t NumberOf(const CJson& j, const std::string& strWhere) {
    if (j.is_number_unsigned()) {
        const auto n = j.get<uint64_t>();
        if (n <= 0xFFFFFFFFu) return uint32_t(n);
    } else if (j.is_number_integer()) {
        const auto n = j.get<int64_t>();
        if (n >= INT32_MIN && n <= INT32_MAX) return uint32_t(int32_t(n));
    } else {
        throw CJsonFormatError(strWhere + ": expected an integer");
    }
    throw CJsonFormatError(strWhere + ": out of the 32-bit range");
}

int8_t TypeOf(const CJson& j, const std::string& strWhere) {
    if (!j.is_number_integer()) throw CJsonFormatError(strWhere + ": expected an integer");
    const auto n = j.get<int64_t>();
    if (n < -128 || n > 255) throw CJsonFormatError(strWhere + ": out of the byte range -128..255");
    return int8_t(uint8_t(n));
}

CJson TextToJson(const char* pField, size_t nFileSize, bool bTerminated) {
    const auto* p = reinterpret_cast<const uint8_t*>(pField);
    const size_t nText = strnlen(pField, nFileSize);
    bool bZeroTail = true;
    for (size_t i = nText; i < nFileSize; ++i) bZeroTail = bZeroTail && p[i] == 0;
    // A package text of full size has no terminator: only the hex form says so.
    const bool bFits = nText < nFileSize || !bTerminated;
    if (bZeroTail && bFits && IsPrintable(p, nText)) return std::string(pField, nText);
    size_t nLast = nFileSize;
    while (nLast && p[nLast - 1] == 0) --nLast;
    return CJson{{"hex", ToHex(p, nLast)}};
}

CJson FieldToJson(const CByteField& field) {
    const uint32_t n = field.GetLength();
    const uint8_t* p = field.GetData();
    if (n >= 1 && p[n - 1] == 0 && IsPrintable(p, n - 1)) return std::string(reinterpret_cast<const char*>(p), n - 1);
    return CJson{{"hex", ToHex(p, n)}};
}

std::string Where(const char* pszField) { return std::string("field ") + pszField; }

template <class TFn>
void ForEachMember(const CJson& j, TFn fn) {
    if (!j.is_object()) throw CJsonFormatError("a record must be a JSON object");
    for (auto it = j.begin(); it != j.end(); ++it)
        if (!fn(it.key(), it.value())) throw CJsonFormatError("unknown field \"" + it.key() + "\"");
}
}  // namespace

#define NUM_FIELD(rec, name)                                 \
    if (strKey == #name) {                                   \
        rec.name = decltype(rec.name)(NumberOf(v, Where(#name))); \
        return true;                                         \
    }

CPackageInfo PackageFromJson(const CJson& j) {
    CPackageInfo info;
    ForEachMember(j, [&](const std::string& strKey, const CJson& v) {
        NUM_FIELD(info, PkgId)
        NUM_FIELD(info, PkgAttr1)
        NUM_FIELD(info, PkgLocalClass)
        NUM_FIELD(info, PkgAttr2)
        NUM_FIELD(info, PkgIDCVer)
        NUM_FIELD(info, PkgNewVer)
        NUM_FIELD(info, PkgLocalVer)
        NUM_FIELD(info, PkgIdxCRC)
        NUM_FIELD(info, PkgAttr3)
        NUM_FIELD(info, PkgAttr4)
        NUM_FIELD(info, VDiskUpdateDate)
        NUM_FIELD(info, PkgExtra1)
        NUM_FIELD(info, PkgExtra2)
        NUM_FIELD(info, PkgExtra3)
        NUM_FIELD(info, PkgExtra4)
        NUM_FIELD(info, PkgExtra5)
        if (strKey == "PkgType") return (info.PkgType = TypeOf(v, Where("PkgType"))), true;
        if (strKey == "PkgName") return SetTextField(info.PkgName, PKG_NAME_SIZE, true, v, Where("PkgName")), true;
        if (strKey == "PkgIDCClass") return SetTextField(info.PkgIDCClass, PKG_TEXT_SIZE, true, v, Where("PkgIDCClass")), true;
        if (strKey == "MainExe") return SetTextField(info.MainExe, PKG_TEXT_SIZE, true, v, Where("MainExe")), true;
        if (strKey == "RunExe") return SetTextField(info.RunExe, PKG_TEXT_SIZE, true, v, Where("RunExe")), true;
        if (strKey == "PkgPath") return SetByteField(info.PkgPath, v, Where("PkgPath")), true;
        if (strKey == "VDiskPath") return SetByteField(info.VDiskPath, v, Where("VDiskPath")), true;
        if (strKey == "LargeUrl") return SetByteField(info.LargeUrl, v, Where("LargeUrl")), true;
        if (strKey == "SmallUrl") return SetByteField(info.SmallUrl, v, Where("SmallUrl")), true;
        return false;
    });
    return info;
}

CPackageExInfo PackageExFromJson(const CJson& j) {
    CPackageExInfo exInfo;
    ForEachMember(j, [&](const std::string& strKey, const CJson& v) {
        NUM_FIELD(exInfo, PkgId)
        NUM_FIELD(exInfo, PkgAttr1)
        NUM_FIELD(exInfo, PkgAttr2)
        NUM_FIELD(exInfo, PkgNewVer)
        NUM_FIELD(exInfo, PkgExAttr)
        NUM_FIELD(exInfo, PkgAttr3)
        if (strKey == "PkgType") return (exInfo.PkgType = TypeOf(v, Where("PkgType"))), true;
        if (strKey == "PkgName") return SetTextField(exInfo.PkgName, EX_NAME_FILE_SIZE, false, v, Where("PkgName")), true;
        if (strKey == "PkgIDCClass")
            return SetTextField(exInfo.PkgIDCClass, EX_TEXT_FILE_SIZE, false, v, Where("PkgIDCClass")), true;
        if (strKey == "MainExe") return SetTextField(exInfo.MainExe, EX_TEXT_FILE_SIZE, false, v, Where("MainExe")), true;
        if (strKey == "RunExe") return SetTextField(exInfo.RunExe, EX_TEXT_FILE_SIZE, false, v, Where("RunExe")), true;
        if (strKey == "ExtParams") return SetByteField(exInfo.ExtParams, v, Where("ExtParams")), true;
        return false;
    });
    return exInfo;
}
#undef NUM_FIELD

CJson PackageToJson(const CPackageInfo& i) {
    CJson j;
    j["PkgId"] = i.PkgId;
    j["PkgAttr1"] = int32_t(i.PkgAttr1);
    j["PkgName"] = TextToJson(i.PkgName, PKG_NAME_SIZE, true);
    j["PkgIDCClass"] = TextToJson(i.PkgIDCClass, PKG_TEXT_SIZE, true);
    j["PkgLocalClass"] = int32_t(i.PkgLocalClass);
    j["MainExe"] = TextToJson(i.MainExe, PKG_TEXT_SIZE, true);
    j["RunExe"] = TextToJson(i.RunExe, PKG_TEXT_SIZE, true);
    j["PkgAttr2"] = int32_t(i.PkgAttr2);
    j["PkgType"] = int(i.PkgType);
    j["PkgIDCVer"] = int32_t(i.PkgIDCVer);
    j["PkgNewVer"] = int32_t(i.PkgNewVer);
    j["PkgLocalVer"] = int32_t(i.PkgLocalVer);
    j["PkgIdxCRC"] = int32_t(i.PkgIdxCRC);
    j["PkgAttr3"] = int32_t(i.PkgAttr3);
    j["PkgAttr4"] = int32_t(i.PkgAttr4);
    j["VDiskUpdateDate"] = int32_t(i.VDiskUpdateDate);
    j["PkgPath"] = FieldToJson(i.PkgPath);
    j["VDiskPath"] = FieldToJson(i.VDiskPath);
    j["LargeUrl"] = FieldToJson(i.LargeUrl);
    j["SmallUrl"] = FieldToJson(i.SmallUrl);
    j["PkgExtra1"] = int32_t(i.PkgExtra1);
    j["PkgExtra2"] = int32_t(i.PkgExtra2);
    j["PkgExtra3"] = int32_t(i.PkgExtra3);
    j["PkgExtra4"] = int32_t(i.PkgExtra4);
    j["PkgExtra5"] = int32_t(i.PkgExtra5);
    return j;
}

CJson PackageExToJson(const CPackageExInfo& e) {
    CJson j;
    j["PkgId"] = e.PkgId;
    j["PkgAttr1"] = int32_t(e.PkgAttr1);
    j["PkgName"] = TextToJson(e.PkgName, EX_NAME_FILE_SIZE, false);
    j["PkgIDCClass"] = TextToJson(e.PkgIDCClass, EX_TEXT_FILE_SIZE, false);
    j["MainExe"] = TextToJson(e.MainExe, EX_TEXT_FILE_SIZE, false);
    j["RunExe"] = TextToJson(e.RunExe, EX_TEXT_FILE_SIZE, false);
    j["PkgAttr2"] = int32_t(e.PkgAttr2);
    j["PkgType"] = int(e.PkgType);
    j["PkgNewVer"] = int32_t(e.PkgNewVer);
    j["PkgExAttr"] = int32_t(e.PkgExAttr);
    j["PkgAttr3"] = int32_t(e.PkgAttr3);
    j["ExtParams"] = FieldToJson(e.ExtParams);
    return j;
}

namespace {
std::string Escaped(const uint8_t* p, size_t n) {
    while (n && p[n - 1] == 0) --n;
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] >= 0x20 && p[i] <= 0x7E) {
            s += char(p[i]);
        } else {
            char szHex[8];
            snprintf(szHex, sizeof(szHex), "\\x%02X", p[i]);
            s += szHex;
        }
    }
    return s;
}
}  // namespace

std::string FieldForTable(const CByteField& field) { return Escaped(field.GetData(), field.GetLength()); }

std::string TextForTable(const char* pszField, size_t nSize) {
    return Escaped(reinterpret_cast<const uint8_t*>(pszField), strnlen(pszField, nSize));
}
