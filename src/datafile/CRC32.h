// The standard CRC-32 (reflected polynomial 0xEDB88320, preset and final XOR
// 0xFFFFFFFF); check value over "123456789" is 0xCBF43926.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr uint32_t CRC32_POLY = 0xEDB88320u;  // 0x04C11DB7, bit-reflected

constexpr std::array<uint32_t, 256> MakeCrc32Table(uint32_t dwPoly) {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ dwPoly : c >> 1;
        table[i] = c;
    }
    return table;
}

inline constexpr std::array<uint32_t, 256> s_crc32Table = MakeCrc32Table(CRC32_POLY);  // no first-use race
static_assert(s_crc32Table[1] == 0x77073096u && s_crc32Table[128] == 0xEDB88320u, "CRC-32 table");

// One table step per byte: the reference form.
uint32_t Crc32Bytewise(const void* pData, size_t nLength);

// The same CRC, eight bytes a step (slicing-by-8); equal to Crc32Bytewise for
// every input, at any alignment.
uint32_t Crc32(const void* pData, size_t nLength);
