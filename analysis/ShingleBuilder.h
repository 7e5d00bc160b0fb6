// Builds a shingle set from words fed to it one at a time, byte by byte,
// without keeping the words: the hash of each window follows from the
// running CRC of the text so far (the CRC is linear), and only the last
// L + 1 prefix CRCs are kept. Both ShinglesFromText and ShinglesFromWords
// run through it, so their results cannot drift apart.
#pragma once

#include "udShingles.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace quillmark {

class ShingleBuilder {
public:
    /// `windowWords` is L (>= 0); `expectedWords` only sizes the output.
    ShingleBuilder(std::size_t windowWords, std::size_t expectedWords);

    /// Appends one byte to the current word.
    void addByte(unsigned char byte) {
        m_state = step(m_state, byte);
        if (m_wordCount < m_windowWords)
            m_joinState = step(m_joinState, byte);
        ++m_wordBytes;
    }

    /// Ends the current word, which must have at least one byte.
    void endWord();

    /// The finished set; the builder is spent afterwards.
    TudShingleList finish();

private:
    /// Throws std::length_error past the largest Count (a signed 32-bit
    /// number).
    void appendHash(std::uint32_t hash) {
        if (m_hashes.size() >= static_cast<std::size_t>(INT32_MAX))
            throw std::length_error("The text has too many words for one shingle set");
        m_hashes.push_back(hash);
    }

    static std::uint32_t step(std::uint32_t state, unsigned char byte) {
        return static_cast<std::uint32_t>(crcTable[(state ^ byte) & 0xFF]) ^ (state >> 8);
    }

    // zlib's table (get_crc_table); the register runs complemented as in
    // zlib, so the CRC of everything so far is ~m_state.
    static const std::uint32_t* const crcTable;

    std::size_t m_windowWords;
    std::size_t m_wordCount = 0;
    std::size_t m_wordBytes = 0;
    std::uint64_t m_totalBytes = 0;
    std::uint32_t m_state = 0xFFFFFFFF;
    // The CR LF join of the first L words, the hash when there are no more:
    // m_joinState runs on with the separator for the next word, m_joined
    // stops after the last whole word.
    std::uint32_t m_joinState = 0xFFFFFFFF;
    std::uint32_t m_joined = 0xFFFFFFFF;

    // Prefix CRCs and byte offsets after the last L + 1 words, in a ring.
    std::vector<std::uint32_t> m_prefixes;
    std::vector<std::uint64_t> m_offsets;
    std::size_t m_ringPos = 0;

    std::vector<std::uint32_t> m_hashes;
};

} // namespace quillmark
