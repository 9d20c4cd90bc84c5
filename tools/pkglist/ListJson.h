// The JSON form of list files, for people and the sample catalogue.
//
//   {"kind": "menu" | "store" | "ext", "records": [{...}, ...]}
//
// One object per record with the records' own field names; a field left out
// keeps the record's default. Numbers may be given signed or unsigned (a
// 32-bit pattern either way; PkgType is one byte, -128..255). Text and byte
// fields are strings: a text field takes the string zero-padded (at most 32
// or 64 characters), a byte field takes the string's bytes and one zero byte.
// For bytes that are no plain text, {"hex": "0a1b..."} gives them exactly:
// a text field zero-padded, a byte field with no zero byte added, so
// {"hex": ""} is a byte field of length 0.
//
// Strings are taken as their bytes unchanged; the list files hold ANSI text.
// show writes a string only for printable ASCII, else the hex form, so that
// show followed by build gives back the same file.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalogue/PackageInfo.h"

using CJson = nlohmann::ordered_json;

// A JSON document that does not describe records of its kind.
struct CJsonFormatError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

CPackageInfo PackageFromJson(const CJson& j);     // raises CJsonFormatError
CPackageExInfo PackageExFromJson(const CJson& j);  // raises CJsonFormatError
CJson PackageToJson(const CPackageInfo& info);
CJson PackageExToJson(const CPackageExInfo& exInfo);

// The text a byte field holds, as a table shows it: printable bytes kept,
// others as \xNN, trailing zero bytes dropped.
std::string FieldForTable(const CByteField& field);
std::string TextForTable(const char* pszField, size_t nSize);
