// A file of a payload followed by the CRC-32 of that payload.
//
//   offset 0   n bytes  payload
//   offset n   4 bytes  CRC-32 of bytes 0..n-1, least significant byte first
//
// No header, magic or length: the payload length is the file length less 4.
// The trailer is little-endian though the list payloads are big-endian.
#pragma once

#include <cstdint>

#include "../platform/OsFile.h"

// The file class of this library: a platform file under the names the list
// loaders use. Adds nothing of its own.
class CFileEx : public CFile {};

class CCRCChkFile : public CFileEx {
public:
    ~CCRCChkFile() override = default;

    // Opens; on failure resets the file's attributes to normal and tries once
    // more. Non-zero on success, 0 on failure; never raises.
    int Open(const char* pszPath, uint32_t dwFlags, CFileException* pError = nullptr) override;
    // Payload length: the file length less 4, or the whole length when the
    // file is shorter than 4 bytes. Raises CFileException.
    uint64_t GetLength() const override;
    // Reads n payload bytes and the 4 trailer bytes after them in one go; n
    // when both were read and the trailer matches, else 0. Never raises.
    uint32_t Read(void* pBuf, uint32_t dwCount) override;
    // Writes the payload, its trailer, and ends the file there. Errors of the
    // two writes are swallowed; one of the length setting is raised.
    void Write(const void* pBuf, uint32_t dwCount) override;
};
