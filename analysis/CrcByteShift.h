// Arithmetic on CRC-32 values as polynomials modulo the CRC polynomial, in
// zlib's reflected bit order. It lets the CRC of a substring be derived from
// the CRCs of two prefixes (the CRC is linear), which is how the shingle
// windows are hashed without hashing every byte once per window.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillmark {

class CrcByteShift {
public:
    /// x^(8 * bytes) modulo the polynomial: the operator zlib's
    /// crc32_combine_gen() gives for `bytes`.
    static std::uint32_t power(std::size_t bytes);

    /// The product of two polynomials modulo the CRC polynomial.
    static std::uint32_t multiply(std::uint32_t a, std::uint32_t b);

    /// The same product without the carry-less multiply instruction; the
    /// reference the hardware path is checked against.
    static std::uint32_t multiplyPortable(std::uint32_t a, std::uint32_t b);

    /// Whether multiply() uses the processor's carry-less multiply.
    static bool usesHardware();

    /// The CRC of bytes i..j-1 of some string, from the CRC of its first i
    /// bytes (`head`), the CRC of its first j bytes (`whole`) and j - i.
    static std::uint32_t tail(std::uint32_t head, std::uint32_t whole, std::size_t tailBytes) {
        return whole ^ multiply(power(tailBytes), head);
    }

    /// Number of powers kept in the table; longer shifts ask zlib.
    static constexpr std::size_t cachedPowers = 4096;
};

} // namespace quillmark
