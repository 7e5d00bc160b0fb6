#include "CrcByteShift.h"

#include <array>
#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace quillmark {

namespace {

// Carry-less product of two 32-bit values, four bits of `a` at a time.
std::uint64_t clmulPortable(std::uint32_t a, std::uint32_t b) {
    std::uint64_t multiples[16];
    multiples[0] = 0;
    for (unsigned i = 1; i < 16; ++i)
        multiples[i] = (i & 1) ? multiples[i - 1] ^ b : multiples[i / 2] << 1;
    std::uint64_t product = 0;
    for (int shift = 28; shift >= 0; shift -= 4)
        product = (product << 4) ^ multiples[(a >> shift) & 15];
    return product;
}

#if defined(__x86_64__)
__attribute__((target("pclmul,sse2"))) std::uint64_t clmulHardware(std::uint32_t a,
                                                                   std::uint32_t b) {
    const __m128i x = _mm_cvtsi32_si128(static_cast<int>(a));
    const __m128i y = _mm_cvtsi32_si128(static_cast<int>(b));
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_clmulepi64_si128(x, y, 0)));
}

bool detectPclmul() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul");
}

const bool hasPclmul = detectPclmul();
#else
constexpr bool hasPclmul = false;
#endif

// Reduces a reflected product to 32 bits. In reflected order the 63-bit
// carry-less product sits one bit low; after the shift its high half holds
// x^0..x^31 and its low half x^32..x^63, which four zero-byte steps of zlib's
// own CRC table bring down modulo the polynomial.
std::uint32_t reduce(std::uint64_t product) {
    static const z_crc_t* const table = get_crc_table();
    product <<= 1;
    std::uint32_t high = static_cast<std::uint32_t>(product >> 32);
    std::uint32_t low = static_cast<std::uint32_t>(product);
    for (int step = 0; step < 4; ++step)
        low = static_cast<std::uint32_t>(table[low & 0xff]) ^ (low >> 8);
    return high ^ low;
}

std::array<std::uint32_t, CrcByteShift::cachedPowers> makePowers() {
    std::array<std::uint32_t, CrcByteShift::cachedPowers> powers{};
    powers[0] = static_cast<std::uint32_t>(crc32_combine_gen(0));
    const auto onePower = static_cast<std::uint32_t>(crc32_combine_gen(1));
    for (std::size_t n = 1; n < powers.size(); ++n)
        powers[n] = CrcByteShift::multiplyPortable(powers[n - 1], onePower);
    return powers;
}

} // namespace

std::uint32_t CrcByteShift::multiplyPortable(std::uint32_t a, std::uint32_t b) {
    return reduce(clmulPortable(a, b));
}

std::uint32_t CrcByteShift::multiply(std::uint32_t a, std::uint32_t b) {
#if defined(__x86_64__)
    if (hasPclmul)
        return reduce(clmulHardware(a, b));
#endif
    return multiplyPortable(a, b);
}

bool CrcByteShift::usesHardware() {
    return hasPclmul;
}

std::uint32_t CrcByteShift::power(std::size_t bytes) {
    static const auto powers = makePowers();
    if (bytes < powers.size())
        return powers[bytes];
    return static_cast<std::uint32_t>(crc32_combine_gen(static_cast<z_off_t>(bytes)));
}

} // namespace quillmark
