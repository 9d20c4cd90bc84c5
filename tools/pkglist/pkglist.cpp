// pkglist: builds list files from JSON, shows them as JSON or a table, and
// verifies them, naming what is wrong with a damaged one.
//
// Exit codes: 0 good, 1 bad file (or bad JSON input), 2 usage error.
// Results go to standard output, complaints to standard error.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "ListEncoder.h"
#include "ListJson.h"
#include "ListWalk.h"
#include "datafile/CRC32.h"
#include "datafile/CRCChkFile.h"
#include "datafile/VarLengthField.h"

namespace {
constexpr int EXIT_GOOD = 0;
constexpr int EXIT_BAD_FILE = 1;
constexpr int EXIT_USAGE = 2;

// menu and store lists share the package record; the name only labels them.
enum class EKindName { Menu, Store, Ext };

EListKind RecordKindOf(EKindName kind) { return kind == EKindName::Ext ? EListKind::Extension : EListKind::Package; }
const char* KindText(EKindName kind) { return kind == EKindName::Menu ? "menu" : kind == EKindName::Store ? "store" : "ext"; }

std::optional<EKindName> ParseKind(const std::string& str) {
    if (str == "menu" || str == "package") return EKindName::Menu;
    if (str == "store") return EKindName::Store;
    if (str == "ext") return EKindName::Ext;
    return std::nullopt;
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(tolower(static_cast<unsigned char>(c)));
    return s;
}

// The kind that a list file's name says, if it is one of the usual names or
// its working copy ("..._").
std::optional<EKindName> KindFromFileName(const std::string& strPath) {
    std::string strName = Lower(strPath.substr(strPath.find_last_of("/\\") + 1));
    while (!strName.empty() && strName.back() == '_') strName.pop_back();
    if (strName.size() >= 6 && strName.compare(strName.size() - 6, 6, "ex.dat") == 0) return EKindName::Ext;
    if (strName.find("store") != std::string::npos) return EKindName::Store;
    if (strName.find("menu") != std::string::npos) return EKindName::Menu;
    return std::nullopt;
}

bool ReadWholeFile(const std::string& strPath, std::string& strBytes) {
    std::ifstream in(strPath, std::ios::binary);
    if (!in) return false;
    strBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

uint32_t TrailerOf(const std::string& strFile) {
    const auto* p = reinterpret_cast<const uint8_t*>(strFile.data() + strFile.size() - 4);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// What the library itself makes of the file: the loaders' own open, length,
// checked read and decode. 1 when it reads and decodes, else 0.
template <class TList>
int LibraryAccepts(const std::string& strPath) {
    CCRCChkFile file;
    if (!file.Open(strPath.c_str(), CFile::modeRead | CFile::shareExclusive)) return 0;
    const uint32_t dwLength = uint32_t(file.GetLength());
    std::vector<uint8_t> vecBuf(dwLength);
    if (dwLength == 0 || file.Read(vecBuf.data(), dwLength) != dwLength) return 0;
    CByteReader reader(vecBuf.data(), dwLength);
    TList list;
    return list.Decode(reader) == 0 ? 1 : 0;
}

struct SChecked {
    bool bOk = false;
    bool bGuessed = false;  // neither --kind nor the file name said which records
    EKindName kind = EKindName::Menu;
    std::string strPayload;
    SWalkResult walk;
};

// CRC first, then the decode walk; complains on stderr and returns !bOk for a
// bad file. Without a kind, the file name decides, else whichever record kind
// decodes (a package list when both do, as an empty list does).
SChecked CheckFile(const std::string& strPath, std::optional<EKindName> kindGiven) {
    SChecked c;
    std::string strFile;
    if (!ReadWholeFile(strPath, strFile)) {
        fprintf(stderr, "%s: cannot read the file\n", strPath.c_str());
        return c;
    }
    if (strFile.size() < 4) {
        fprintf(stderr, "%s: file of %zu bytes is too short for the 4-byte CRC trailer\n", strPath.c_str(),
                strFile.size());
        return c;
    }
    if (strFile.size() - 4 > 0xFFFFFFFFu) {
        fprintf(stderr, "%s: payload of %zu bytes is beyond the 32-bit lengths of the format\n", strPath.c_str(),
                strFile.size() - 4);
        return c;
    }
    c.strPayload = strFile.substr(0, strFile.size() - 4);
    const uint32_t dwStored = TrailerOf(strFile);
    const uint32_t dwComputed = Crc32(c.strPayload.data(), c.strPayload.size());
    if (dwStored != dwComputed) {
        fprintf(stderr, "%s: CRC trailer mismatch: stored 0x%08X, computed 0x%08X over %zu payload bytes\n",
                strPath.c_str(), dwStored, dwComputed, c.strPayload.size());
        return c;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(c.strPayload.data());
    const uint32_t n = uint32_t(c.strPayload.size());
    std::optional<EKindName> kind = kindGiven ? kindGiven : KindFromFileName(strPath);
    if (kind) {
        c.kind = *kind;
        c.walk = WalkList(p, n, RecordKindOf(c.kind));
    } else {
        c.bGuessed = true;
        c.walk = WalkList(p, n, EListKind::Package);
        if (!c.walk.bOk) {
            SWalkResult walkEx = WalkList(p, n, EListKind::Extension);
            if (walkEx.bOk) {
                c.kind = EKindName::Ext;
                c.walk = walkEx;
            } else {
                c.walk.strProblem = "as a package list: " + c.walk.strProblem +
                                    "; as an extension list: " + walkEx.strProblem;
            }
        }
    }
    if (!c.walk.bOk) {
        fprintf(stderr, "%s: %s\n", strPath.c_str(), c.walk.strProblem.c_str());
        return c;
    }
    // The walk only explains; the library's own reading is the verdict.
    const int nLibrary = RecordKindOf(c.kind) == EListKind::Package ? LibraryAccepts<CPackageInfoList>(strPath)
                                                                    : LibraryAccepts<CPackageExInfoList>(strPath);
    if (!nLibrary) {
        fprintf(stderr, "%s: internal error: the library refuses a file that the walk accepts\n", strPath.c_str());
        return c;
    }
    c.bOk = true;
    return c;
}

int CmdVerify(const std::vector<std::string>& vecPaths, std::optional<EKindName> kind) {
    int nExit = EXIT_GOOD;
    for (const auto& strPath : vecPaths) {
        const SChecked c = CheckFile(strPath, kind);
        if (!c.bOk) {
            nExit = EXIT_BAD_FILE;
            continue;
        }
        const uint32_t dwTrailing = uint32_t(c.strPayload.size()) - c.walk.dwEnd;
        printf("%s: OK: %s list, %u %s records, %zu payload bytes, CRC 0x%08X\n", strPath.c_str(), KindText(c.kind),
               c.walk.dwCount, KindRecordName(RecordKindOf(c.kind)), c.strPayload.size(),
               Crc32(c.strPayload.data(), c.strPayload.size()));
        if (c.bGuessed)
            fprintf(stderr, "%s: note: kind guessed from the content; give --kind to be sure\n", strPath.c_str());
        if (dwTrailing)
            fprintf(stderr, "%s: note: %u bytes after the last record are ignored\n", strPath.c_str(), dwTrailing);
        if (c.walk.dwDuplicates)
            fprintf(stderr, "%s: note: %u records repeat an earlier id; the catalogue keeps the last\n",
                    strPath.c_str(), c.walk.dwDuplicates);
    }
    return nExit;
}

template <class TList, class TFn>
void ForEachDecoded(const std::string& strPayload, TFn fn) {
    CByteReader reader(reinterpret_cast<const uint8_t*>(strPayload.data()), uint32_t(strPayload.size()));
    TList list;
    if (list.Decode(reader) != 0) throw std::logic_error("decode failed after a good walk");
    for (uint32_t i = 0; i < list.GetCount(); ++i) fn(list[i]);
}

void PrintTable(const SChecked& c) {
    if (RecordKindOf(c.kind) == EListKind::Package) {
        printf("%-10s %4s  %-24s %-24s %s\n", "PkgId", "Type", "PkgName", "MainExe", "Path");
        ForEachDecoded<CPackageInfoList>(c.strPayload, [](const CPackageInfo& i) {
            const bool bVDisk = i.VDiskPath.GetLength() > 1;
            printf("%-10u %4d  %-24s %-24s %s%s\n", i.PkgId, i.PkgType, TextForTable(i.PkgName, PKG_NAME_SIZE).c_str(),
                   TextForTable(i.MainExe, PKG_TEXT_SIZE).c_str(), bVDisk ? "(vdisk) " : "",
                   FieldForTable(bVDisk ? i.VDiskPath : i.PkgPath).c_str());
        });
    } else {
        printf("%-10s %4s  %-24s %-24s %s\n", "PkgId", "Type", "PkgName", "MainExe", "ExtParams");
        ForEachDecoded<CPackageExInfoList>(c.strPayload, [](const CPackageExInfo& e) {
            printf("%-10u %4d  %-24s %-24s %s\n", e.PkgId, e.PkgType, TextForTable(e.PkgName, PKG_NAME_SIZE).c_str(),
                   TextForTable(e.MainExe, PKG_TEXT_SIZE).c_str(), FieldForTable(e.ExtParams).c_str());
        });
    }
}

int CmdShow(const std::string& strPath, std::optional<EKindName> kind, bool bTable, const std::string& strOut) {
    const SChecked c = CheckFile(strPath, kind);
    if (!c.bOk) return EXIT_BAD_FILE;
    if (bTable) {
        PrintTable(c);
        return EXIT_GOOD;
    }
    CJson j;
    j["kind"] = KindText(c.kind);
    j["records"] = CJson::array();
    if (RecordKindOf(c.kind) == EListKind::Package)
        ForEachDecoded<CPackageInfoList>(c.strPayload, [&](const CPackageInfo& i) { j["records"].push_back(PackageToJson(i)); });
    else
        ForEachDecoded<CPackageExInfoList>(c.strPayload,
                                           [&](const CPackageExInfo& e) { j["records"].push_back(PackageExToJson(e)); });
    const std::string strText = j.dump(2) + "\n";
    if (strOut.empty() || strOut == "-") {
        fwrite(strText.data(), 1, strText.size(), stdout);
        return EXIT_GOOD;
    }
    std::ofstream out(strOut, std::ios::binary);
    out << strText;
    if (!out.flush()) {
        fprintf(stderr, "%s: cannot write\n", strOut.c_str());
        return EXIT_BAD_FILE;
    }
    return EXIT_GOOD;
}

// The record kind of a document without "kind": by its field names.
std::optional<EKindName> KindFromRecords(const CJson& jRecords) {
    for (const auto& r : jRecords) {
        if (!r.is_object()) continue;
        if (r.contains("ExtParams") || r.contains("PkgExAttr")) return EKindName::Ext;
        for (const char* psz : {"PkgPath", "VDiskPath", "LargeUrl", "SmallUrl", "PkgLocalClass", "PkgIDCVer",
                                "PkgLocalVer", "PkgIdxCRC", "PkgAttr4", "VDiskUpdateDate", "PkgExtra1", "PkgExtra5"})
            if (r.contains(psz)) return EKindName::Menu;
    }
    return std::nullopt;
}

int CmdBuild(const std::string& strIn, const std::string& strOut, std::optional<EKindName> kindGiven) {
    std::string strText;
    if (!ReadWholeFile(strIn, strText)) {
        fprintf(stderr, "%s: cannot read the file\n", strIn.c_str());
        return EXIT_BAD_FILE;
    }
    CJson j;
    try {
        j = CJson::parse(strText);
    } catch (const CJson::parse_error& e) {
        fprintf(stderr, "%s: not JSON: %s\n", strIn.c_str(), e.what());
        return EXIT_BAD_FILE;
    }
    const CJson* pRecords = &j;
    std::optional<EKindName> kindDoc;
    if (j.is_object()) {
        if (j.contains("kind")) {
            kindDoc = j["kind"].is_string() ? ParseKind(j["kind"].get<std::string>()) : std::nullopt;
            if (!kindDoc) {
                fprintf(stderr, "%s: \"kind\" must be \"menu\", \"store\" or \"ext\"\n", strIn.c_str());
                return EXIT_BAD_FILE;
            }
        }
        if (!j.contains("records")) {
            fprintf(stderr, "%s: no \"records\" array\n", strIn.c_str());
            return EXIT_BAD_FILE;
        }
        pRecords = &j["records"];
    }
    if (!pRecords->is_array()) {
        fprintf(stderr, "%s: the records must be a JSON array\n", strIn.c_str());
        return EXIT_BAD_FILE;
    }
    if (kindGiven && kindDoc && RecordKindOf(*kindGiven) != RecordKindOf(*kindDoc)) {
        fprintf(stderr, "--kind %s contradicts the document's kind \"%s\"\n", KindText(*kindGiven), KindText(*kindDoc));
        return EXIT_USAGE;
    }
    std::optional<EKindName> kind = kindGiven ? kindGiven : kindDoc;
    if (!kind) kind = KindFromRecords(*pRecords);
    if (!kind) kind = KindFromFileName(strOut);
    if (!kind) {
        fprintf(stderr, "%s: cannot tell the list kind; give --kind menu|store|ext\n", strIn.c_str());
        return EXIT_USAGE;
    }

    std::string strPayload;
    size_t nRecord = 0;
    try {
        if (RecordKindOf(*kind) == EListKind::Package) {
            std::vector<CPackageInfo> vec;
            for (const auto& r : *pRecords) {
                ++nRecord;
                vec.push_back(PackageFromJson(r));
            }
            strPayload = EncodePackageList(vec);
        } else {
            std::vector<CPackageExInfo> vec;
            for (const auto& r : *pRecords) {
                ++nRecord;
                vec.push_back(PackageExFromJson(r));
            }
            strPayload = EncodePackageExList(vec);
        }
    } catch (const CJsonFormatError& e) {
        fprintf(stderr, "%s: record %zu: %s\n", strIn.c_str(), nRecord, e.what());
        return EXIT_BAD_FILE;
    }
    if (strPayload.size() > 0xFFFFFFFBu) {
        fprintf(stderr, "%s: the list is too large for the format\n", strIn.c_str());
        return EXIT_BAD_FILE;
    }

    CCRCChkFile file;  // the trailer written by the class that checks it
    if (!file.Open(strOut.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
        fprintf(stderr, "%s: cannot create the file\n", strOut.c_str());
        return EXIT_BAD_FILE;
    }
    try {
        file.Write(strPayload.data(), uint32_t(strPayload.size()));
        file.Close();
    } catch (const CFileException& e) {
        fprintf(stderr, "%s: write failed (system error %u)\n", strOut.c_str(), e.m_lOsError);
        return EXIT_BAD_FILE;
    }
    const SChecked c = CheckFile(strOut, kind);  // catches a short write the class swallowed
    if (!c.bOk) return EXIT_BAD_FILE;
    printf("%s: %s list, %zu records, %zu bytes\n", strOut.c_str(), KindText(*kind), pRecords->size(),
           strPayload.size() + 4);
    return EXIT_GOOD;
}
}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Builds, shows and verifies package list files."};
    app.require_subcommand(1);

    std::string strKind;
    auto addKind = [&](CLI::App* pCmd) {
        pCmd->add_option("--kind", strKind, "List kind: menu, store (package records) or ext (extension records)")
            ->check(CLI::IsMember({"menu", "store", "ext", "package"}));
    };

    std::string strBuildIn, strBuildOut;
    CLI::App* pBuild = app.add_subcommand("build", "Build a list file from JSON");
    pBuild->add_option("input", strBuildIn, "JSON input")->required()->check(CLI::ExistingFile);
    pBuild->add_option("output", strBuildOut, "List file to write")->required();
    addKind(pBuild);

    std::string strShowIn, strShowOut;
    bool bTable = false;
    CLI::App* pShow = app.add_subcommand("show", "Show a list file as JSON or a table");
    pShow->add_option("input", strShowIn, "List file")->required()->check(CLI::ExistingFile);
    pShow->add_flag("--table", bTable, "A readable table instead of JSON");
    pShow->add_option("-o,--output", strShowOut, "Write the JSON here instead of standard output");
    addKind(pShow);

    std::vector<std::string> vecVerify;
    CLI::App* pVerify = app.add_subcommand("verify", "Check the CRC trailer and decode every record");
    pVerify->add_option("files", vecVerify, "List files")->required()->check(CLI::ExistingFile);
    addKind(pVerify);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);  // prints the message to stderr
        return EXIT_USAGE;
    }
    const std::optional<EKindName> kind = strKind.empty() ? std::nullopt : ParseKind(strKind);
    try {
        if (*pBuild) return CmdBuild(strBuildIn, strBuildOut, kind);
        if (*pShow) return CmdShow(strShowIn, kind, bTable, strShowOut);
        return CmdVerify(vecVerify, kind);
    } catch (const std::exception& e) {
        fprintf(stderr, "pkglist: %s\n", e.what());
        return EXIT_BAD_FILE;
    }
}
