#include "CRC32.h"

namespace {
// Slicing-by-8: table k advances the register over a byte followed by k zero
// bytes, so eight lookups fold eight input bytes at once. Every table comes
// from the byte table, so the two forms cannot disagree on the polynomial.
constexpr std::array<std::array<uint32_t, 256>, 8> MakeSliceTables() {
    std::array<std::array<uint32_t, 256>, 8> tables{};
    tables[0] = s_crc32Table;
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i) {
            const uint32_t c = tables[k - 1][i];
            tables[k][i] = (c >> 8) ^ s_crc32Table[c & 0xFF];
        }
    return tables;
}

inline constexpr auto s_crc32Slices = MakeSliceTables();
static_assert(s_crc32Slices[0][1] == 0x77073096u, "slice 0 is the byte table");
static_assert(s_crc32Slices[1][1] == ((0x77073096u >> 8) ^ s_crc32Table[0x96]), "slice 1 follows slice 0");

// Assembled little-endian from bytes, so the host's byte order and the
// buffer's alignment do not matter; compilers fold it into one load.
inline uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

uint32_t Crc32Bytewise(const void* pData, size_t nLength) {
    const auto* p = static_cast<const uint8_t*>(pData);
    uint32_t dwReg = 0xFFFFFFFFu;
    for (size_t i = 0; i < nLength; ++i) dwReg = (dwReg >> 8) ^ s_crc32Table[(dwReg ^ p[i]) & 0xFF];
    return ~dwReg;
}

uint32_t Crc32(const void* pData, size_t nLength) {
    const auto* p = static_cast<const uint8_t*>(pData);
    const auto& t = s_crc32Slices;
    uint32_t dwReg = 0xFFFFFFFFu;
    for (; nLength >= 8; nLength -= 8, p += 8) {
        const uint32_t dwLo = LoadLe32(p) ^ dwReg;
        const uint32_t dwHi = LoadLe32(p + 4);
        dwReg = t[7][dwLo & 0xFF] ^ t[6][(dwLo >> 8) & 0xFF] ^ t[5][(dwLo >> 16) & 0xFF] ^ t[4][dwLo >> 24] ^
                t[3][dwHi & 0xFF] ^ t[2][(dwHi >> 8) & 0xFF] ^ t[1][(dwHi >> 16) & 0xFF] ^ t[0][dwHi >> 24];
    }
    for (; nLength; --nLength, ++p) dwReg = (dwReg >> 8) ^ s_crc32Table[(dwReg ^ *p) & 0xFF];
    return ~dwReg;
}
