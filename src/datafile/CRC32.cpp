#include "CRC32.h"

uint32_t Crc32Bytewise(const void* pData, size_t nLength) {
    const auto* p = static_cast<const uint8_t*>(pData);
    uint32_t dwReg = 0xFFFFFFFFu;
    for (size_t i = 0; i < nLength; ++i) dwReg = (dwReg >> 8) ^ s_crc32Table[(dwReg ^ p[i]) & 0xFF];
    return ~dwReg;
}

uint32_t Crc32(const void* pData, size_t nLength) { return Crc32Bytewise(pData, nLength); }
