#ifndef _WIN32
#error "Win32 backend built for another system"
#endif
#include "OsWin32.h"

#include <share.h>

#include <cstdio>

#include "../OsFile.h"
#include "../OsSystem.h"

namespace {
PFN_FAULT_HOOK s_pfnFaultHook = nullptr;

int CauseOf(uint32_t dwError) {
    switch (dwError) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return CFileException::fileNotFound;
        case ERROR_ACCESS_DENIED: return CFileException::accessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return CFileException::sharingViolation;
        case ERROR_DISK_FULL: return CFileException::diskFull;
        default: return CFileException::generic;
    }
}

[[noreturn]] void ThrowLastError() {
    const DWORD dwError = GetLastError();
    throw CFileException(CauseOf(dwError), dwError);
}

HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

void OsSetFaultHook(PFN_FAULT_HOOK pfnHook) { s_pfnFaultHook = pfnHook; }

CFile::~CFile() {
    if (m_hFile != hFileNull && m_bCloseOnDelete) CloseHandle(H(m_hFile));
}

int CFile::Open(const char* pszPath, uint32_t dwFlags, CFileException* pError) {
    if (m_hFile != hFileNull) Close();
    if (s_pfnFaultHook) {
        if (const uint32_t dwError = s_pfnFaultHook(EFaultOp::OpenFile, pszPath, dwFlags)) {
            SetLastError(dwError);
            if (pError) *pError = CFileException(CauseOf(dwError), dwError);
            return 0;
        }
    }
    DWORD dwAccess = GENERIC_READ;
    switch (dwFlags & 3) {
        case modeWrite: dwAccess = GENERIC_WRITE; break;
        case modeReadWrite: dwAccess = GENERIC_READ | GENERIC_WRITE; break;
        default: break;
    }
    DWORD dwShare = 0;
    switch (dwFlags & 0x70) {
        case shareDenyWrite: dwShare = FILE_SHARE_READ; break;
        case shareDenyRead: dwShare = FILE_SHARE_WRITE; break;
        case shareDenyNone: dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
        default: break;
    }
    DWORD dwCreate = OPEN_EXISTING;
    if (dwFlags & modeCreate) dwCreate = (dwFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    const HANDLE h = CreateFileA(pszPath, dwAccess, dwShare, nullptr, dwCreate, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!OsIsValidHandle(h)) {
        const DWORD dwError = GetLastError();
        if (pError) *pError = CFileException(CauseOf(dwError), dwError);
        return 0;
    }
    m_hFile = reinterpret_cast<intptr_t>(h);
    m_bCloseOnDelete = true;
    m_strFileName = pszPath;
    return 1;
}

uint64_t CFile::GetLength() const {
    DWORD dwHigh = 0;
    const DWORD dwLow = GetFileSize(H(m_hFile), &dwHigh);
    if (dwLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) ThrowLastError();
    return (uint64_t(dwHigh) << 32) | dwLow;
}

uint32_t CFile::Read(void* pBuf, uint32_t dwCount) {
    if (dwCount == 0) return 0;
    DWORD dwRead = 0;
    if (!ReadFile(H(m_hFile), pBuf, dwCount, &dwRead, nullptr)) ThrowLastError();
    return dwRead;
}

void CFile::Write(const void* pBuf, uint32_t dwCount) {
    if (dwCount == 0) return;
    DWORD dwWritten = 0;
    if (!WriteFile(H(m_hFile), pBuf, dwCount, &dwWritten, nullptr)) ThrowLastError();
    if (dwWritten != dwCount) throw CFileException(CFileException::diskFull, ERROR_DISK_FULL);
}

uint64_t CFile::Seek(int64_t nOffset, int nFrom) {
    LONG lHigh = LONG(nOffset >> 32);
    const DWORD dwMethod = nFrom == end ? FILE_END : nFrom == current ? FILE_CURRENT : FILE_BEGIN;
    const DWORD dwLow = SetFilePointer(H(m_hFile), LONG(nOffset & 0xFFFFFFFF), &lHigh, dwMethod);
    if (dwLow == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) ThrowLastError();
    return (uint64_t(uint32_t(lHigh)) << 32) | dwLow;
}

void CFile::SetLength(uint64_t nLength) {
    Seek(int64_t(nLength), begin);
    if (!SetEndOfFile(H(m_hFile))) ThrowLastError();
}

void CFile::Close() {
    if (m_hFile != hFileNull) {
        const BOOL bClosed = CloseHandle(H(m_hFile));
        m_hFile = hFileNull;
        m_bCloseOnDelete = false;
        m_strFileName.clear();
        if (!bClosed) ThrowLastError();
    }
}

int OsSetFileAttributesNormal(const char* pszPath) {
    return SetFileAttributesA(pszPath, FILE_ATTRIBUTE_NORMAL) ? 1 : 0;
}

int OsCopyFile(const char* pszSource, const char* pszDest) {
    if (s_pfnFaultHook) {
        if (const uint32_t dwError = s_pfnFaultHook(EFaultOp::CopyFile, pszDest, 0)) {
            SetLastError(dwError);
            return 0;
        }
    }
    return CopyFileA(pszSource, pszDest, FALSE) ? 1 : 0;
}

bool OsPathExists(const char* pszPath) { return GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES; }

int OsCreateDirectory(const char* pszPath) { return CreateDirectoryA(pszPath, nullptr) ? 1 : 0; }

int OsDeleteFile(const char* pszPath) { return DeleteFileA(pszPath) ? 1 : 0; }

int OsFindFiles(const char* pszDir, const char* pszPattern, std::vector<std::string>& vecNames) {
    vecNames.clear();
    std::string strSearch(pszDir);
    if (!strSearch.empty() && strSearch.back() != '\\') strSearch += '\\';
    strSearch += pszPattern;
    WIN32_FIND_DATAA fd;
    const HANDLE h = FindFirstFileA(strSearch.c_str(), &fd);
    if (!OsIsValidHandle(h)) return GetLastError() == ERROR_FILE_NOT_FOUND ? 1 : 0;
    do {
        vecNames.emplace_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return 1;
}

CTextAppendFile::~CTextAppendFile() { Close(); }

int CTextAppendFile::Open(const char* pszPath) {
    Close();
    m_pStream = _fsopen(pszPath, "a+", _SH_DENYNO);
    return m_pStream ? 1 : 0;
}

void CTextAppendFile::WriteText(const char* pszText) {
    if (!m_pStream) return;
    fprintf(static_cast<FILE*>(m_pStream), "%s", pszText);
    fflush(static_cast<FILE*>(m_pStream));
}

void CTextAppendFile::Close() {
    if (m_pStream) fclose(static_cast<FILE*>(m_pStream));
    m_pStream = nullptr;
}
