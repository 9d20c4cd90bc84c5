// The module: the process-wide catalogue, its exports, finding the client
// view program, working copies of data files, and load and unload.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "../platform/OsSystem.h"

class CPackageList;
class CByteField;

// 1: the next working copy is taken afresh. Set by Reset, cleared by a
// successful copy. Freshness itself is decided per data file (CopyRightFile).
extern std::atomic<int32_t> ForceCopyFlag;

// The process-wide catalogue, created empty on first call; never null.
CPackageList* GetPkgList();
// Destroys the catalogue, if there is one.
void ReleasePkgList();

// The text held in a byte field: its bytes without the trailing zero bytes.
std::string FieldToText(const CByteField& field);

// Working copies ("right files": the data file's path followed by "_").
std::string GetRightFilePath(const std::string& strPath);
// 1 when an attempt produced a right file with a non-empty payload, 0 after
// 31 attempts without one.
int TryCopyRightFile(const std::string& strRightPath, const std::string& strPath);
// The path to read: the right file, or the data file itself when no usable
// right file exists or could be made. A data file is copied afresh on its
// first call after module load and after each Reset; later calls reuse its
// existing right file.
std::string CopyRightFile(const std::string& strPath);

// Finding the client view program.
std::string GetClientViewDir();
std::string EnumProcessName();
int GetProcessModulePath(char* pszBuffer, uint32_t dwProcessId);

// Module load.
int InitPkgList();

// The exports and the entry, as the module defines them.
OS_EXPORT void Reset();
extern "C" OS_EXPORT int GetPkgFullPath(uint32_t dwPkgId, char* pszBuf, uint32_t dwBufLen);
