#include "ShingleBuilder.h"

#include "CrcByteShift.h"

#include <zlib.h>

namespace quillmark {

static_assert(sizeof(z_crc_t) == sizeof(std::uint32_t), "zlib's CRC table entries are 32 bits");

const std::uint32_t* const ShingleBuilder::crcTable =
    reinterpret_cast<const std::uint32_t*>(get_crc_table());

ShingleBuilder::ShingleBuilder(std::size_t windowWords, std::size_t expectedWords)
    : m_windowWords(windowWords) {
    if (expectedWords > windowWords)
        m_hashes.reserve(expectedWords - windowWords);
    // The ring starts with the empty prefix and grows to L + 1 entries.
    m_prefixes.push_back(0);
    m_offsets.push_back(0);
}

void ShingleBuilder::endWord() {
    m_state = step(m_state, ' ');
    m_totalBytes += m_wordBytes + 1;
    m_wordBytes = 0;

    if (m_windowWords == 0) {
        // Windows of no words hash the empty string; only the count matters.
        appendHash(0);
        ++m_wordCount;
        return;
    }

    // With P_j the CRC after j words: once word k (0-based) is complete and
    // k >= L, window k - L is known to be followed by a word, and its hash
    // comes from P_(k-L) and P_k, the ring's oldest and newest entries.
    const std::size_t k = m_wordCount;
    if (k >= m_windowWords) {
        const std::size_t oldest = m_ringPos + 1 == m_prefixes.size() ? 0 : m_ringPos + 1;
        const std::uint64_t windowBytes = m_offsets[m_ringPos] - m_offsets[oldest];
        appendHash(CrcByteShift::tail(m_prefixes[oldest], m_prefixes[m_ringPos],
                                      static_cast<std::size_t>(windowBytes)));
    }
    if (k < m_windowWords) {
        m_joined = m_joinState;
        m_joinState = step(step(m_joinState, '\r'), '\n');
    }

    // Record the prefix after k + 1 words, dropping the oldest once the ring
    // holds L + 1 entries.
    const std::uint32_t prefix = ~m_state;
    if (m_prefixes.size() < m_windowWords + 1) {
        m_prefixes.push_back(prefix);
        m_offsets.push_back(m_totalBytes);
        m_ringPos = m_prefixes.size() - 1;
    } else {
        m_ringPos = m_ringPos + 1 == m_prefixes.size() ? 0 : m_ringPos + 1;
        m_prefixes[m_ringPos] = prefix;
        m_offsets[m_ringPos] = m_totalBytes;
    }
    ++m_wordCount;
}

TudShingleList ShingleBuilder::finish() {
    TudShingleList list;
    if (m_wordCount <= m_windowWords) {
        list.Hashes.assign(1, ~m_joined);
    } else {
        list.Hashes = std::move(m_hashes);
    }
    list.Count = static_cast<std::int32_t>(list.Hashes.size());
    return list;
}

} // namespace quillmark
