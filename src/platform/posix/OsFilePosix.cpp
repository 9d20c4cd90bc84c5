#ifdef _WIN32
#error "POSIX backend built for Windows"
#endif

// Sharing is emulated with flock among opens that honour it (this library's
// own): an exclusive open takes LOCK_EX, every other open LOCK_SH, so an
// exclusive open conflicts with any other and shared opens coexist. Processes
// that never call flock are not held back. The read-only attribute is the
// owner's write bit, enforced here even for root, as the system would.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "../OsFile.h"
#include "../OsSystem.h"
#include "OsPosix.h"

namespace {
PFN_FAULT_HOOK s_pfnFaultHook = nullptr;

int CauseOf(uint32_t dwError) {
    switch (dwError) {
        case OS_ERROR_FILE_NOT_FOUND:
        case OS_ERROR_PATH_NOT_FOUND: return CFileException::fileNotFound;
        case OS_ERROR_ACCESS_DENIED: return CFileException::accessDenied;
        case OS_ERROR_SHARING_VIOLATION:
        case OS_ERROR_LOCK_VIOLATION: return CFileException::sharingViolation;
        case OS_ERROR_DISK_FULL: return CFileException::diskFull;
        default: return CFileException::generic;
    }
}

[[noreturn]] void ThrowLastErrno() {
    const uint32_t dwError = OsSetLastErrorFromErrno();
    throw CFileException(CauseOf(dwError), dwError);
}

bool IsReadOnly(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

// Opens with the flags the core asked for, or sets the last error and returns -1.
int OpenNative(const std::string& strNative, int nOpenFlags, bool bWriteAccess, bool bExclusive) {
    struct stat st {};
    if (bWriteAccess && stat(strNative.c_str(), &st) == 0 && IsReadOnly(st)) {
        OsSetLastError(OS_ERROR_ACCESS_DENIED);
        return -1;
    }
    const int fd = open(strNative.c_str(), nOpenFlags | O_CLOEXEC, 0666);
    if (fd < 0) {
        OsSetLastErrorFromErrno();
        return -1;
    }
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        OsSetLastError(OS_ERROR_ACCESS_DENIED);
        return -1;
    }
    if (flock(fd, (bExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        close(fd);
        OsSetLastError(OS_ERROR_SHARING_VIOLATION);
        return -1;
    }
    return fd;
}
}  // namespace

void OsSetFaultHook(PFN_FAULT_HOOK pfnHook) { s_pfnFaultHook = pfnHook; }

CFile::~CFile() {
    if (m_hFile != hFileNull && m_bCloseOnDelete) close(int(m_hFile));
}

int CFile::Open(const char* pszPath, uint32_t dwFlags, CFileException* pError) {
    if (m_hFile != hFileNull) Close();
    if (s_pfnFaultHook) {
        if (const uint32_t dwError = s_pfnFaultHook(EFaultOp::OpenFile, pszPath, dwFlags)) {
            OsSetLastError(dwError);
            if (pError) *pError = CFileException(CauseOf(dwError), dwError);
            return 0;
        }
    }
    int nFlags = 0;
    switch (dwFlags & 3) {
        case modeWrite: nFlags = O_WRONLY; break;
        case modeReadWrite: nFlags = O_RDWR; break;
        default: nFlags = O_RDONLY; break;
    }
    if (dwFlags & modeCreate) nFlags |= O_CREAT | ((dwFlags & modeNoTruncate) ? 0 : O_TRUNC);
    const uint32_t dwShare = dwFlags & 0x70;
    const bool bExclusive = dwShare == 0 || dwShare == shareExclusive;
    const int fd = OpenNative(OsToNativePath(pszPath), nFlags, (dwFlags & 3) != modeRead, bExclusive);
    if (fd < 0) {
        if (pError) *pError = CFileException(CauseOf(OsGetLastError()), OsGetLastError());
        return 0;
    }
    m_hFile = fd;
    m_bCloseOnDelete = true;
    m_strFileName = pszPath;
    return 1;
}

uint64_t CFile::GetLength() const {
    struct stat st {};
    if (fstat(int(m_hFile), &st) != 0) ThrowLastErrno();
    return uint64_t(st.st_size);
}

uint32_t CFile::Read(void* pBuf, uint32_t dwCount) {
    uint32_t dwDone = 0;
    while (dwDone < dwCount) {
        const ssize_t n = read(int(m_hFile), static_cast<char*>(pBuf) + dwDone, dwCount - dwDone);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowLastErrno();
        }
        if (n == 0) break;
        dwDone += uint32_t(n);
    }
    return dwDone;
}

void CFile::Write(const void* pBuf, uint32_t dwCount) {
    uint32_t dwDone = 0;
    while (dwDone < dwCount) {
        const ssize_t n = write(int(m_hFile), static_cast<const char*>(pBuf) + dwDone, dwCount - dwDone);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowLastErrno();
        }
        if (n == 0) {
            OsSetLastError(OS_ERROR_DISK_FULL);
            throw CFileException(CFileException::diskFull, OS_ERROR_DISK_FULL);
        }
        dwDone += uint32_t(n);
    }
}

uint64_t CFile::Seek(int64_t nOffset, int nFrom) {
    const int nWhence = nFrom == end ? SEEK_END : nFrom == current ? SEEK_CUR : SEEK_SET;
    const off_t nPos = lseek(int(m_hFile), off_t(nOffset), nWhence);
    if (nPos < 0) ThrowLastErrno();
    return uint64_t(nPos);
}

void CFile::SetLength(uint64_t nLength) {
    Seek(int64_t(nLength), begin);
    if (ftruncate(int(m_hFile), off_t(nLength)) != 0) ThrowLastErrno();
}

void CFile::Close() {
    if (m_hFile != hFileNull) {
        const int nResult = close(int(m_hFile));
        m_hFile = hFileNull;
        m_bCloseOnDelete = false;
        m_strFileName.clear();
        if (nResult != 0) ThrowLastErrno();
    }
}

int OsSetFileAttributesNormal(const char* pszPath) {
    const std::string strNative = OsToNativePath(pszPath);
    struct stat st {};
    if (stat(strNative.c_str(), &st) != 0 || chmod(strNative.c_str(), st.st_mode | S_IWUSR) != 0) {
        OsSetLastErrorFromErrno();
        return 0;
    }
    return 1;
}

int OsCopyFile(const char* pszSource, const char* pszDest) {
    if (s_pfnFaultHook) {
        if (const uint32_t dwError = s_pfnFaultHook(EFaultOp::CopyFile, pszDest, 0)) {
            OsSetLastError(dwError);
            return 0;
        }
    }
    const int fdIn = OpenNative(OsToNativePath(pszSource), O_RDONLY, false, false);
    if (fdIn < 0) return 0;
    struct stat stIn {};
    fstat(fdIn, &stIn);
    const int fdOut = OpenNative(OsToNativePath(pszDest), O_WRONLY | O_CREAT, true, true);
    if (fdOut < 0) {
        close(fdIn);
        return 0;
    }
    int nResult = ftruncate(fdOut, 0) == 0 ? 1 : 0;
    std::vector<char> vecBuf(1 << 16);
    while (nResult) {
        const ssize_t n = read(fdIn, vecBuf.data(), vecBuf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            nResult = n == 0;
            break;
        }
        for (ssize_t nDone = 0; nDone < n;) {
            const ssize_t w = write(fdOut, vecBuf.data() + nDone, size_t(n - nDone));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                nResult = 0;
                break;
            }
            nDone += w;
        }
    }
    if (!nResult) OsSetLastErrorFromErrno();
    fchmod(fdOut, stIn.st_mode & 07777);
    close(fdOut);
    close(fdIn);
    return nResult;
}

bool OsPathExists(const char* pszPath) {
    struct stat st {};
    return stat(OsToNativePath(pszPath).c_str(), &st) == 0;
}

int OsCreateDirectory(const char* pszPath) {
    if (mkdir(OsToNativePath(pszPath).c_str(), 0777) != 0) {
        OsSetLastErrorFromErrno();
        return 0;
    }
    return 1;
}

int OsDeleteFile(const char* pszPath) {
    const std::string strNative = OsToNativePath(pszPath);
    struct stat st {};
    if (lstat(strNative.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        OsSetLastError(OS_ERROR_ACCESS_DENIED);
        return 0;
    }
    if (st.st_nlink && IsReadOnly(st)) {
        OsSetLastError(OS_ERROR_ACCESS_DENIED);
        return 0;
    }
    if (unlink(strNative.c_str()) != 0) {
        OsSetLastErrorFromErrno();
        return 0;
    }
    return 1;
}

int OsFindFiles(const char* pszDir, const char* pszPattern, std::vector<std::string>& vecNames) {
    vecNames.clear();
    std::string strDir = OsToNativePath(pszDir);
    if (strDir.empty()) strDir = ".";
    DIR* pDir = opendir(strDir.c_str());
    if (!pDir) {
        OsSetLastErrorFromErrno();
        return 0;
    }
    while (const dirent* pEntry = readdir(pDir))
        if (OsWildcardMatch(pszPattern, pEntry->d_name)) vecNames.emplace_back(pEntry->d_name);
    closedir(pDir);
    return 1;
}

CTextAppendFile::~CTextAppendFile() { Close(); }

int CTextAppendFile::Open(const char* pszPath) {
    Close();
    m_pStream = fopen(OsToNativePath(pszPath).c_str(), "a+");
    if (!m_pStream) OsSetLastErrorFromErrno();
    return m_pStream ? 1 : 0;
}

void CTextAppendFile::WriteText(const char* pszText) {
    if (!m_pStream) return;
    FILE* pFile = static_cast<FILE*>(m_pStream);
    // Text mode as the C library of the system writes it: "\n" becomes "\r\n".
    for (const char* p = pszText; *p;) {
        const char* pNewline = strchr(p, '\n');
        if (!pNewline) {
            fputs(p, pFile);
            break;
        }
        fwrite(p, 1, size_t(pNewline - p), pFile);
        fputs("\r\n", pFile);
        p = pNewline + 1;
    }
    fflush(pFile);
}

void CTextAppendFile::Close() {
    if (m_pStream) fclose(static_cast<FILE*>(m_pStream));
    m_pStream = nullptr;
}
