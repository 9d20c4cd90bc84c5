#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "datafile/CRC32.h"

namespace {
uint32_t ZlibCrc(const uint8_t* p, size_t n) {
    // zlib takes uInt lengths; feed it in pieces so any size is fine.
    uLong crc = crc32(0L, Z_NULL, 0);
    while (n) {
        const uInt nStep = n > (1u << 30) ? (1u << 30) : uInt(n);
        crc = crc32(crc, p, nStep);
        p += nStep;
        n -= nStep;
    }
    return uint32_t(crc);
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t dwSeed) {
    std::mt19937 rng(dwSeed);
    std::vector<uint8_t> vec(n);
    for (auto& b : vec) b = uint8_t(rng());
    return vec;
}
}  // namespace

TEST(CRC32Test, KnownVectors) {
    const struct {
        std::string strInput;
        uint32_t dwCrc;
    } aCases[] = {
        {"", 0x00000000u},
        {"123456789", 0xCBF43926u},
        {std::string(4, '\0'), 0x2144DF1Cu},  // an empty list's payload: trailer bytes 1C DF 44 21
        {"a", 0xE8B7BE43u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
        {std::string(32, '\xFF'), 0xFF6CAB0Bu},
    };
    for (const auto& c : aCases) {
        EXPECT_EQ(c.dwCrc, Crc32Bytewise(c.strInput.data(), c.strInput.size())) << c.strInput.size();
        EXPECT_EQ(c.dwCrc, Crc32(c.strInput.data(), c.strInput.size())) << c.strInput.size();
    }
}

TEST(CRC32Test, TableEntriesAreThePublishedOnes) {
    EXPECT_EQ(0x00000000u, s_crc32Table[0]);
    EXPECT_EQ(0x77073096u, s_crc32Table[1]);
    EXPECT_EQ(0xEDB88320u, s_crc32Table[128]);
    EXPECT_EQ(0x2D02EF8Du, s_crc32Table[255]);
}

// The sliced form splits input into 8-byte blocks and a tail; every length and
// starting alignment exercises a different split.
TEST(CRC32Test, SlicedEqualsBytewiseAndZlibForEveryShortLengthAndAlignment) {
    const std::vector<uint8_t> vec = RandomBytes(320 + 16, 1);
    for (size_t nStart = 0; nStart < 16; ++nStart)
        for (size_t n = 0; n <= 320; ++n) {
            const uint8_t* p = vec.data() + nStart;
            const uint32_t dwRef = Crc32Bytewise(p, n);
            ASSERT_EQ(dwRef, Crc32(p, n)) << "start " << nStart << " length " << n;
            ASSERT_EQ(dwRef, ZlibCrc(p, n)) << "start " << nStart << " length " << n;
        }
}

TEST(CRC32Test, SlicedEqualsBytewiseAndZlibOnLargeBuffers) {
    for (const size_t n : {size_t(4096), size_t(65537), size_t(1) << 20, (size_t(4) << 20) + 3}) {
        const std::vector<uint8_t> vec = RandomBytes(n, uint32_t(n));
        const uint32_t dwZlib = ZlibCrc(vec.data(), n);
        EXPECT_EQ(dwZlib, Crc32(vec.data(), n)) << n;
        EXPECT_EQ(dwZlib, Crc32Bytewise(vec.data(), n)) << n;
    }
}

TEST(CRC32Test, DetectsEverySingleBitFlip) {
    std::vector<uint8_t> vec = RandomBytes(64, 7);
    const uint32_t dwOrig = Crc32(vec.data(), vec.size());
    for (size_t nBit = 0; nBit < vec.size() * 8; ++nBit) {
        vec[nBit / 8] ^= uint8_t(1u << (nBit % 8));
        ASSERT_NE(dwOrig, Crc32(vec.data(), vec.size())) << nBit;
        vec[nBit / 8] ^= uint8_t(1u << (nBit % 8));
    }
}
