// The list encoding: 32-bit numbers big-endian, text in fixed zero-padded
// byte arrays, byte fields as a 32-bit length and that many bytes, packed with
// no gaps. Every read fails (-1) exactly when fewer bytes remain than it
// needs, and the cursor moves only on success.
#pragma once

#include <cstdint>

class CByteField;

class CByteReader {
public:
    // Reads dwSize bytes at pData; bOwnsData makes the reader free them
    // (with delete[]) when it is destroyed.
    CByteReader(const uint8_t* pData, uint32_t dwSize, bool bOwnsData = false)
        : m_pData(pData), m_dwSize(dwSize), m_bOwnsData(bOwnsData) {}
    ~CByteReader();
    CByteReader(const CByteReader&) = delete;
    CByteReader& operator=(const CByteReader&) = delete;

    int ReadU32(uint32_t& dwValue);
    int ReadU8(uint8_t& bValue);
    int ReadBytes(void* pDest, uint32_t dwCount);
    // The length word, then exactly that many bytes into the field; the
    // length is checked against what remains before anything is allocated.
    int ReadField(CByteField& field);

    uint32_t GetOffset() const { return m_dwOffset; }
    uint32_t GetSize() const { return m_dwSize; }
    uint32_t GetRemaining() const { return m_dwSize - m_dwOffset; }  // never wraps: offset <= size

private:
    const uint8_t* m_pData;
    uint32_t m_dwSize;
    uint32_t m_dwOffset = 0;
    bool m_bOwnsData;
};
