#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ListEncoder.h"
#include "datafile/VarLengthField.h"

namespace {
std::string U32(uint32_t dw) {
    std::string s;
    AppendU32(s, dw);
    return s;
}

void PutU32(std::string& s, size_t nOffset, uint32_t dw) { s.replace(nOffset, 4, U32(dw)); }

// A smallest package record laid out by hand, byte offsets as the file has
// them, so the decoder is checked against the layout and not the encoder.
std::string HandPackageRecord() {
    std::string s(309, '\0');
    PutU32(s, 0, 0x01020304);    // PkgId
    PutU32(s, 4, 0x11121314);    // PkgAttr1
    s.replace(8, 4, "Name");     // PkgName
    s.replace(41, 5, "Class");   // PkgIDCClass
    PutU32(s, 106, 0x21222324);  // PkgLocalClass
    s.replace(110, 8, "Main.exe");
    s.replace(175, 7, "Run.exe");
    PutU32(s, 240, 0x31323334);  // PkgAttr2
    s[244] = char(0xFF);         // PkgType
    PutU32(s, 245, 0x41424344);  // PkgIDCVer
    PutU32(s, 249, 0x51525354);  // PkgNewVer
    PutU32(s, 253, 0x61626364);  // PkgLocalVer
    PutU32(s, 257, 0x71727374);  // PkgIdxCRC
    PutU32(s, 261, 0x81828384);  // PkgAttr3
    PutU32(s, 265, 0x91929394);  // PkgAttr4
    PutU32(s, 269, 0xA1A2A3A4);  // VDiskUpdateDate
    // four zero length words at 273..288
    PutU32(s, 289, 1);
    PutU32(s, 293, 2);
    PutU32(s, 297, 3);
    PutU32(s, 301, 4);
    PutU32(s, 305, 5);
    return s;
}

std::string HandExRecord() {
    std::string s(253, '\0');
    PutU32(s, 0, 0x0A0B0C0D);
    PutU32(s, 4, 7);
    s.replace(8, 32, std::string(32, 'N'));  // no zero byte in the file
    s.replace(40, 3, "Cls");
    s.replace(104, 5, "M.exe");
    s.replace(168, 5, "R.exe");
    PutU32(s, 232, 0x31323334);  // PkgAttr2
    s[236] = 5;                  // PkgType
    PutU32(s, 237, 0x11111111);  // PkgNewVer comes first in the file
    PutU32(s, 241, 0x22222222);  // PkgExAttr
    PutU32(s, 245, 0x33333333);  // PkgAttr3
    PutU32(s, 249, 0);           // ExtParams length
    return s;
}

template <class TList>
int DecodeList(const std::string& strPayload, TList& list) {
    CByteReader reader(reinterpret_cast<const uint8_t*>(strPayload.data()), uint32_t(strPayload.size()));
    return list.Decode(reader);
}

CPackageInfo RichPackage(uint32_t dwId) {
    CPackageInfo info = MakePackage(dwId, "Game" + std::to_string(dwId), "D:\\Games\\Game" + std::to_string(dwId),
                                    "V:\\vd\\" + std::to_string(dwId), 3);
    info.LargeUrl.AssignText("http://x/l.png", 14);
    info.SmallUrl.Assign("\x01\x02", 2);
    info.PkgExtra5 = 0xDEADBEEF;
    return info;
}
}  // namespace

TEST(ByteReaderTest, PrimitivesReadBigEndianAndMoveOnlyOnSuccess) {
    const uint8_t abData[] = {0x00, 0x00, 0x01, 0x02, 0xFF, 0xAA, 0xBB};
    CByteReader reader(abData, sizeof(abData));
    uint32_t dw = 0;
    ASSERT_EQ(0, reader.ReadU32(dw));
    EXPECT_EQ(258u, dw);
    uint8_t b = 0;
    ASSERT_EQ(0, reader.ReadU8(b));
    EXPECT_EQ(0xFF, b);
    EXPECT_EQ(-1, reader.ReadU32(dw));  // two bytes left
    EXPECT_EQ(5u, reader.GetOffset());
    uint8_t abOut[3] = {};
    EXPECT_EQ(-1, reader.ReadBytes(abOut, 3));
    EXPECT_EQ(5u, reader.GetOffset());
    ASSERT_EQ(0, reader.ReadBytes(abOut, 2));
    EXPECT_EQ(0xAA, abOut[0]);
    EXPECT_EQ(0xBB, abOut[1]);
    EXPECT_EQ(-1, reader.ReadU8(b));
    EXPECT_EQ(0, reader.ReadBytes(abOut, 0));
    EXPECT_EQ(7u, reader.GetOffset());
}

TEST(ByteReaderTest, ReadFieldChecksLengthBeforeTaking) {
    const struct {
        const char* pszCase;
        std::string strBytes;
        int nResult;
        std::string strField;  // on success
        uint32_t dwOffset;
    } aCases[] = {
        {"empty field", U32(0), 0, "", 4},
        {"three bytes", U32(3) + "abcdef", 0, "abc", 7},
        {"length word cut short", std::string("\0\0\0", 3), -1, "", 0},
        {"length beyond the data", U32(4) + "abc", -1, "", 0},
        {"length FF FF FF FF", U32(0xFFFFFFFFu) + "abc", -1, "", 0},
    };
    for (const auto& c : aCases) {
        CByteReader reader(reinterpret_cast<const uint8_t*>(c.strBytes.data()), uint32_t(c.strBytes.size()));
        CByteField field;
        field.Assign("old", 3);
        EXPECT_EQ(c.nResult, reader.ReadField(field)) << c.pszCase;
        EXPECT_EQ(c.dwOffset, reader.GetOffset()) << c.pszCase;
        const std::string strExpected = c.nResult == 0 ? c.strField : "old";  // a failed read leaves the field
        ASSERT_EQ(strExpected.size(), field.GetLength()) << c.pszCase;
        if (field.GetLength()) {
            EXPECT_EQ(0, memcmp(strExpected.data(), field.GetData(), field.GetLength())) << c.pszCase;
        }
        if (c.nResult == 0 && c.strField.empty()) {
            EXPECT_EQ(nullptr, field.GetData()) << c.pszCase;
        }
    }
}

TEST(ByteReaderTest, OwningReaderFreesItsData) {
    auto* pData = new uint8_t[4]{0, 0, 0, 9};
    CByteReader reader(pData, 4, true);  // the leak checker of the sanitizer build watches this
    uint32_t dw = 0;
    EXPECT_EQ(0, reader.ReadU32(dw));
    EXPECT_EQ(9u, dw);
}

TEST(RecordCodecTest, PackageRecordFieldsSitAtTheirOffsets) {
    CPackageInfoList list;
    ASSERT_EQ(0, DecodeList(U32(1) + HandPackageRecord(), list));
    ASSERT_EQ(1u, list.GetCount());
    const CPackageInfo& i = list[0];
    EXPECT_EQ(0x01020304u, i.PkgId);
    EXPECT_EQ(0x11121314u, i.PkgAttr1);
    EXPECT_STREQ("Name", i.PkgName);
    EXPECT_STREQ("Class", i.PkgIDCClass);
    EXPECT_EQ(0x21222324u, i.PkgLocalClass);
    EXPECT_STREQ("Main.exe", i.MainExe);
    EXPECT_STREQ("Run.exe", i.RunExe);
    EXPECT_EQ(0x31323334u, i.PkgAttr2);
    EXPECT_EQ(-1, i.PkgType);
    EXPECT_EQ(0x41424344u, i.PkgIDCVer);
    EXPECT_EQ(0x51525354u, i.PkgNewVer);
    EXPECT_EQ(0x61626364u, i.PkgLocalVer);
    EXPECT_EQ(0x71727374u, i.PkgIdxCRC);
    EXPECT_EQ(0x81828384u, i.PkgAttr3);
    EXPECT_EQ(0x91929394u, i.PkgAttr4);
    EXPECT_EQ(0xA1A2A3A4u, i.VDiskUpdateDate);
    // Zero length words give empty fields, not the default single zero byte.
    for (const CByteField* p : {&i.PkgPath, &i.VDiskPath, &i.LargeUrl, &i.SmallUrl}) EXPECT_EQ(0u, p->GetLength());
    EXPECT_EQ(1u, i.PkgExtra1);
    EXPECT_EQ(2u, i.PkgExtra2);
    EXPECT_EQ(3u, i.PkgExtra3);
    EXPECT_EQ(4u, i.PkgExtra4);
    EXPECT_EQ(5u, i.PkgExtra5);
}

TEST(RecordCodecTest, ExtensionRecordFieldsSitAtTheirOffsets) {
    CPackageExInfoList list;
    ASSERT_EQ(0, DecodeList(U32(1) + HandExRecord(), list));
    ASSERT_EQ(1u, list.GetCount());
    const CPackageExInfo& e = list[0];
    EXPECT_EQ(0x0A0B0C0Du, e.PkgId);
    EXPECT_EQ(7u, e.PkgAttr1);
    EXPECT_EQ(std::string(32, 'N'), std::string(e.PkgName));  // the in-memory field's last byte ends it
    EXPECT_EQ(0, e.PkgName[32]);
    EXPECT_STREQ("Cls", e.PkgIDCClass);
    EXPECT_STREQ("M.exe", e.MainExe);
    EXPECT_STREQ("R.exe", e.RunExe);
    EXPECT_EQ(0x31323334u, e.PkgAttr2);
    EXPECT_EQ(5, e.PkgType);
    EXPECT_EQ(0x11111111u, e.PkgNewVer);
    EXPECT_EQ(0x22222222u, e.PkgExAttr);
    EXPECT_EQ(0x33333333u, e.PkgAttr3);
    EXPECT_EQ(0u, e.ExtParams.GetLength());
}

TEST(RecordCodecTest, PackageNameWithoutTerminatorIsTakenWhole) {
    std::string strRecord = HandPackageRecord();
    strRecord.replace(8, 33, std::string(33, 'Z'));
    CPackageInfoList list;
    ASSERT_EQ(0, DecodeList(U32(1) + strRecord, list));
    EXPECT_EQ(0, memcmp(std::string(33, 'Z').data(), list[0].PkgName, 33));
    EXPECT_EQ(0, list[0].PkgIDCClass[0] - 'C');  // the next field starts right after
}

TEST(RecordCodecTest, PackageListPayloads) {
    const std::string strMin = HandPackageRecord();
    const std::string strRich = EncodePackage(RichPackage(42));
    const struct {
        const char* pszCase;
        std::string strPayload;
        int nResult;
        uint32_t dwCount;  // records held after a success
    } aCases[] = {
        {"no bytes", "", -1, 0},
        {"one byte", std::string(1, '\0'), -1, 0},
        {"three bytes", std::string(3, '\0'), -1, 0},
        {"empty list", U32(0), 0, 0},
        {"empty list, trailing bytes ignored", U32(0) + "whatever", 0, 0},
        {"count 10, nine bytes", U32(10) + std::string(9, '\0'), -1, 0},
        {"count 3, 300 bytes: fewer than three smallest records", U32(3) + std::string(300, '\0'), -1, 0},
        {"count FFFFFFFF", U32(0xFFFFFFFFu) + strMin, -1, 0},
        {"one smallest record", U32(1) + strMin, 0, 1},
        {"one record less a byte", U32(1) + strMin.substr(0, 308), -1, 0},
        {"count 2, room for 1.99 records", U32(2) + strMin + strMin.substr(0, 308), -1, 0},
        {"two records", U32(2) + strMin + strRich, 0, 2},
        {"count 2, second record cut short", U32(2) + strRich + strMin.substr(0, 300), -1, 0},
        {"record then trailing bytes", U32(1) + strRich + std::string(50, '\xEE'), 0, 1},
        {"path length FF FF FF FF", U32(1) + strMin.substr(0, 273) + U32(0xFFFFFFFFu) + strMin.substr(277), -1, 0},
    };
    for (const auto& c : aCases) {
        CPackageInfoList list;
        EXPECT_EQ(c.nResult, DecodeList(c.strPayload, list)) << c.pszCase;
        if (c.nResult == 0) {
            EXPECT_EQ(c.dwCount, list.GetCount()) << c.pszCase;
        }
    }
}

TEST(RecordCodecTest, ExtensionListPayloads) {
    const std::string strMin = HandExRecord();
    std::string strParams5 = strMin;
    PutU32(strParams5, 249, 5);
    const struct {
        const char* pszCase;
        std::string strPayload;
        int nResult;
        uint32_t dwCount;
    } aCases[] = {
        {"empty list", U32(0), 0, 0},
        {"one smallest record", U32(1) + strMin, 0, 1},
        {"252 bytes", U32(1) + strMin.substr(0, 252), -1, 0},
        {"params length 5, 257 bytes", U32(1) + strParams5 + "1=ab", -1, 0},
        {"params length 5, 258 bytes", U32(1) + strParams5 + "1=abc", 0, 1},
        {"count 2, room for one", U32(2) + strMin + std::string(252, '\0'), -1, 0},
        {"count 2, 506 bytes", U32(2) + strMin + strMin, 0, 2},
        {"a package record is no extension list", U32(1) + HandPackageRecord().substr(0, 250), -1, 0},
    };
    for (const auto& c : aCases) {
        CPackageExInfoList list;
        EXPECT_EQ(c.nResult, DecodeList(c.strPayload, list)) << c.pszCase;
        if (c.nResult == 0) {
            EXPECT_EQ(c.dwCount, list.GetCount()) << c.pszCase;
        }
    }
}

// Every cut of a valid list short of its end must fail, at whichever field it lands.
TEST(RecordCodecTest, EveryTruncationFails) {
    const std::string strPkg = EncodePackageList({RichPackage(1), RichPackage(2)});
    for (size_t n = 0; n < strPkg.size(); ++n) {
        CPackageInfoList list;
        ASSERT_EQ(-1, DecodeList(strPkg.substr(0, n), list)) << n;
    }
    CPackageExInfo ex = MakePackageEx(9, "Tool", "2=V:\\Tool;10=hello");
    const std::string strEx = EncodePackageExList({ex, ex});
    for (size_t n = 0; n < strEx.size(); ++n) {
        CPackageExInfoList list;
        ASSERT_EQ(-1, DecodeList(strEx.substr(0, n), list)) << n;
    }
}

TEST(RecordCodecTest, RoundTripAndTrailingBytesDoNotMatter) {
    const std::vector<CPackageInfo> vec = {RichPackage(1), RichPackage(0xFFFFFFFFu), MakePackage(5, "", "")};
    const std::string strPayload = EncodePackageList(vec);
    CPackageInfoList a, b;
    ASSERT_EQ(0, DecodeList(strPayload, a));
    ASSERT_EQ(0, DecodeList(strPayload + std::string(1000, '\x5A'), b));
    ASSERT_EQ(3u, a.GetCount());
    ASSERT_EQ(3u, b.GetCount());
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(EncodePackage(vec[i]), EncodePackage(a[i])) << i;
        EXPECT_EQ(EncodePackage(a[i]), EncodePackage(b[i])) << i;
    }
    EXPECT_EQ(0xFFFFFFFFu, a[1].PkgId);
    EXPECT_EQ(3, a[0].PkgType);
}

TEST(RecordCodecTest, DecodingAgainReplacesTheRecords) {
    CPackageInfoList list;
    ASSERT_EQ(0, DecodeList(EncodePackageList({RichPackage(1), RichPackage(2)}), list));
    ASSERT_EQ(0, DecodeList(EncodePackageList({RichPackage(3)}), list));
    ASSERT_EQ(1u, list.GetCount());
    EXPECT_EQ(3u, list[0].PkgId);
}
