// Files, copies, directory search and the text stream of the daily log.
//
// Paths are Windows paths in the ANSI code page, with backslashes; the POSIX
// backend turns '\' into '/' at this boundary and nowhere else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OsTypes.h"

// A file error, raised by CFile operations that fail at the system.
class CFileException {
public:
    enum Cause { none = 0, generic, fileNotFound, accessDenied, sharingViolation, endOfFile, diskFull };

    CFileException(int nCause, uint32_t dwOsError) : m_nCause(nCause), m_lOsError(dwOsError) {}

    int m_nCause;
    uint32_t m_lOsError;  // Win32 error code
};

// A file object over one system file handle.
//
// Open never raises; every other operation raises CFileException when the
// system refuses it. One thread uses an object from construction to
// destruction. Destruction closes a handle that is still open.
class CFile {
public:
    enum OpenFlags : uint32_t {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,  // no other open of the file while this one is open
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,      // create, truncating an existing file...
        modeNoTruncate = 0x2000,  // ...unless this is set too
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    static constexpr intptr_t hFileNull = -1;

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // 1 on success, 0 on failure (then pError, when given, holds the cause and
    // OsGetLastError the system's code). Without modeCreate the file must exist.
    virtual int Open(const char* pszPath, uint32_t dwFlags, CFileException* pError = nullptr);
    virtual uint64_t GetLength() const;
    // Up to dwCount bytes; fewer at the end of the file, 0 at once for 0.
    virtual uint32_t Read(void* pBuf, uint32_t dwCount);
    // All dwCount bytes or a raised error (a short write is a full disk).
    virtual void Write(const void* pBuf, uint32_t dwCount);
    virtual uint64_t Seek(int64_t nOffset, int nFrom);
    // Moves the position to dwLength and ends the file there.
    virtual void SetLength(uint64_t nLength);
    virtual void Close();

    bool IsOpen() const { return m_hFile != hFileNull; }
    const std::string& GetFilePath() const { return m_strFileName; }

protected:
    intptr_t m_hFile = hFileNull;
    bool m_bCloseOnDelete = false;
    std::string m_strFileName;
};

// Sets a file's attributes to normal: clears read-only, hidden and system.
// On POSIX, makes the file writable by its owner. 1 on success, 0 on failure.
int OsSetFileAttributesNormal(const char* pszPath);

// Copies a file over an existing one. Fails (0) when the source is missing or
// locked, or the destination is read-only or locked. 1 on success.
int OsCopyFile(const char* pszSource, const char* pszDest);

// True when a file or directory exists at the path.
bool OsPathExists(const char* pszPath);

// 1 on success; 0 when it exists already or cannot be made.
int OsCreateDirectory(const char* pszPath);

// 1 on success, 0 on failure.
int OsDeleteFile(const char* pszPath);

// Entries of a directory whose names match a wildcard pattern ("*" any run,
// "?" any one character, letter case ignored), in the order the system
// returns them; "." and ".." included as the system gives them.
// Returns 0 and an empty list when the directory cannot be searched.
int OsFindFiles(const char* pszDir, const char* pszPattern, std::vector<std::string>& vecNames);

// A text file opened for appending and reading ("a+") with sharing for reading
// and writing by other processes. Writes are text-mode: each "\n" reaches the
// disk as "\r\n". Never raises.
class CTextAppendFile {
public:
    CTextAppendFile() = default;
    ~CTextAppendFile();
    CTextAppendFile(const CTextAppendFile&) = delete;
    CTextAppendFile& operator=(const CTextAppendFile&) = delete;

    int Open(const char* pszPath);  // 1 on success, 0 on failure
    bool IsOpen() const { return m_pStream != nullptr; }
    void WriteText(const char* pszText);  // writes and flushes
    void Close();

private:
    void* m_pStream = nullptr;  // the C library stream
};

// Test seam: a hook that may fail opens and copies as the system would.
// Returns 0 to let the operation run, or a Win32 error code to fail it.
enum class EFaultOp { OpenFile, CopyFile };
using PFN_FAULT_HOOK = uint32_t (*)(EFaultOp op, const char* pszPath, uint32_t dwFlags);
void OsSetFaultHook(PFN_FAULT_HOOK pfnHook);
