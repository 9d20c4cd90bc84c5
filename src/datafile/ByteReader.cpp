#include "ByteReader.h"

#include <cstring>

#include "../catalogue/PackageInfo.h"

CByteReader::~CByteReader() {
    if (m_bOwnsData) delete[] m_pData;
}

int CByteReader::ReadU32(uint32_t& dwValue) {
    if (m_dwSize - m_dwOffset < 4) return -1;
    const uint8_t* p = m_pData + m_dwOffset;
    dwValue = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    m_dwOffset += 4;
    return 0;
}

int CByteReader::ReadU8(uint8_t& bValue) {
    if (m_dwSize - m_dwOffset < 1) return -1;
    bValue = m_pData[m_dwOffset++];
    return 0;
}

int CByteReader::ReadBytes(void* pDest, uint32_t dwCount) {
    if (m_dwSize - m_dwOffset < dwCount) return -1;
    if (dwCount) memcpy(pDest, m_pData + m_dwOffset, dwCount);
    m_dwOffset += dwCount;
    return 0;
}

int CByteReader::ReadField(CByteField& field) {
    uint32_t dwLength = 0;
    const uint32_t dwStart = m_dwOffset;
    if (ReadU32(dwLength) != 0) return -1;
    if (m_dwSize - m_dwOffset < dwLength) {
        m_dwOffset = dwStart;
        return -1;
    }
    field.Assign(m_pData + m_dwOffset, dwLength);
    m_dwOffset += dwLength;
    return 0;
}
