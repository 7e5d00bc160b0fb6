// Polynomial arithmetic behind the window hashes, against zlib's own.
#include "analysis/CrcByteShift.h"
#include "analysis/udShingles.h"

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace quillmark {
namespace {

TEST(CrcByteShift, HardwareAndPortableProductsAgree) {
    std::mt19937 rng(99);
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t a = rng();
        const std::uint32_t b = rng();
        ASSERT_EQ(CrcByteShift::multiply(a, b), CrcByteShift::multiplyPortable(a, b));
    }
    for (std::uint32_t a : {0u, 1u, 0x80000000u, 0xFFFFFFFFu})
        for (std::uint32_t b : {0u, 1u, 0x80000000u, 0xFFFFFFFFu})
            EXPECT_EQ(CrcByteShift::multiply(a, b), CrcByteShift::multiplyPortable(a, b));
}

TEST(CrcByteShift, MatchesZlibCombine) {
    // zlib's combine applies its operator to the first CRC and adds the second.
    std::mt19937 rng(7);
    for (std::size_t n = 0; n < CrcByteShift::cachedPowers + 100; ++n) {
        ASSERT_EQ(CrcByteShift::power(n),
                  static_cast<std::uint32_t>(crc32_combine_gen(static_cast<z_off_t>(n))))
            << n;
        const std::uint32_t crc = rng();
        ASSERT_EQ(CrcByteShift::multiply(CrcByteShift::power(n), crc),
                  crc32_combine_op(crc, 0, crc32_combine_gen(static_cast<z_off_t>(n))));
    }
    for (std::size_t n : {std::size_t{1} << 20, std::size_t{123456789}, std::size_t{1} << 40})
        EXPECT_EQ(CrcByteShift::power(n),
                  static_cast<std::uint32_t>(crc32_combine_gen(static_cast<z_off_t>(n))));
}

TEST(CrcByteShift, TailOfAStringFromTwoPrefixes) {
    std::mt19937 rng(5);
    std::string text(10000, '\0');
    for (char& c : text)
        c = static_cast<char>(rng());
    for (int round = 0; round < 2000; ++round) {
        const std::size_t j = rng() % (text.size() + 1);
        const std::size_t i = rng() % (j + 1);
        const std::string_view whole(text.data(), j);
        EXPECT_EQ(CrcByteShift::tail(StrCrc32(whole.substr(0, i)), StrCrc32(whole), j - i),
                  StrCrc32(whole.substr(i)))
            << i << ".." << j;
    }
}

} // namespace
} // namespace quillmark
