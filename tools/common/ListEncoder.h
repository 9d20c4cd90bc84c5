// Encoder of list files, for tests and tools only: the library itself reads
// these files and never writes them. The layouts are those the decoders in
// src/datafile/VarLengthField.h document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/PackageInfo.h"

void AppendU32(std::string& str, uint32_t dwValue);  // big-endian
void AppendField(std::string& str, const CByteField& field);

// One record in its file layout (309 + L and 253 + E bytes).
std::string EncodePackage(const CPackageInfo& info);
std::string EncodePackageEx(const CPackageExInfo& exInfo);

// A counted list: the count, then the records.
std::string EncodePackageList(const std::vector<CPackageInfo>& vecInfo);
std::string EncodePackageExList(const std::vector<CPackageExInfo>& vecExInfo);

// The payload followed by its CRC-32, least significant byte first.
std::string WithTrailer(const std::string& strPayload);

// Writes bytes to a file (backslash or slash path as the platform takes it);
// true on success.
bool WriteBinaryFile(const std::string& strPath, const std::string& strBytes);

// Record builders for fixtures: texts are zero-padded, byte fields hold the
// text and one zero byte.
CPackageInfo MakePackage(uint32_t dwId, const std::string& strName, const std::string& strPkgPath,
                         const std::string& strVDiskPath = std::string(), int8_t nType = 0);
CPackageExInfo MakePackageEx(uint32_t dwId, const std::string& strName, const std::string& strExtParams = std::string(),
                             int8_t nType = 0);
void SetText(char* pszField, uint32_t nSize, const std::string& strText);  // cut to nSize - 1
