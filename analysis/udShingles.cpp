// Word extraction and the shingle fingerprint of one text.
#include "udShingles.h"

#include "ShingleBuilder.h"
#include "Stopped.h"
#include "Unmasking.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>
#include <zlib.h>

namespace quillmark {

namespace {

constexpr std::array<unsigned char, 256> makeLowercaseTable() {
    std::array<unsigned char, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = static_cast<unsigned char>(b);
    for (unsigned b = 0x41; b <= 0x5A; ++b)
        table[b] = static_cast<unsigned char>(b + 0x20);
    for (unsigned b = 0xC0; b <= 0xDF; ++b)
        table[b] = static_cast<unsigned char>(b + 0x20);
    table[0xA8] = 0xB8;
    // Capitals of the other Cyrillic alphabets.
    constexpr unsigned char capitals[] = {0x80, 0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F,
                                          0xA1, 0xA3, 0xA5, 0xAA, 0xAF, 0xB2, 0xBD};
    constexpr unsigned char smalls[] = {0x90, 0x83, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F,
                                        0xA2, 0xBC, 0xB4, 0xBA, 0xBF, 0xB3, 0xBE};
    for (std::size_t i = 0; i < sizeof capitals; ++i)
        table[capitals[i]] = smalls[i];
    return table;
}

constexpr auto lowercaseTable = makeLowercaseTable();

constexpr std::array<bool, 256> makeWordCharTable() {
    constexpr std::string_view alphabet =
        "\xE0\xE1\xE2\xE3\xE4\xE5\xB8\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF0\xF1\xF2\xF3"
        "\xF4\xF5\xF6\xF7\xF8\xF9\xFA\xFC\xFB\xFD\xFE\xFF"
        "1234567890qwertyuiopasdfghjklzxcvbnm_";
    static_assert(alphabet.size() == 70);
    std::array<bool, 256> inAlphabet{};
    for (char c : alphabet)
        inAlphabet[static_cast<unsigned char>(c)] = true;
    std::array<bool, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = inAlphabet[lowercaseTable[b]];
    return table;
}

constexpr auto wordCharTable = makeWordCharTable();

void requireNonNegative(int shingleLength) {
    if (shingleLength >= 0)
        return;
    throw std::invalid_argument("The shingle length must not be negative (got " +
                                std::to_string(shingleLength) + ")");
}

std::uint32_t crcAppend(std::uint32_t crc, const char* bytes, std::size_t size) {
    // zlib takes the length as uInt; split what does not fit.
    while (size > 0) {
        const auto chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(bytes), chunk));
        bytes += chunk;
        size -= chunk;
    }
    return crc;
}

// How much of a word truncation keeps.
std::size_t keptBytes(std::size_t size) {
    if (size >= 7)
        return 6;
    if (size >= 4)
        return 3;
    if (size == 3)
        return 2;
    return size;
}

// At least the number of words: every run of word characters, as if no
// CR LF joined two of them.
std::size_t wordCountBound(std::string_view text) {
    std::size_t count = 0;
    bool inWord = false;
    for (const char c : text) {
        const bool wordChar = wordCharTable[static_cast<unsigned char>(c)];
        count += wordChar && !inWord;
        inWord = wordChar;
    }
    return count;
}

// Lowercasing, CR LF removal, splitting and truncation in one pass over the
// text, each word going straight into the builder: the same words
// SplitWords and LemmatizeWords give, without a copy of the text or a list.
template <Truncation truncation>
void feedWords(std::string_view text, ShingleBuilder& builder, const StopCheck& stop) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t wordBytes = 0;
    unsigned char head[6];
    auto endWord = [&] {
        if constexpr (truncation == Truncation::On) {
            const std::size_t kept = keptBytes(wordBytes);
            for (std::size_t k = 0; k < kept; ++k)
                builder.addByte(head[k]);
        }
        builder.endWord();
        wordBytes = 0;
    };
    for (std::size_t i = 0; i < size;) {
        Stopped::check(stop);
        const std::size_t pollEnd = std::min(size, i + Stopped::pollBytes);
        for (; i < pollEnd; ++i) {
            const unsigned char byte = bytes[i];
            if (byte == '\r' && i + 1 < size && bytes[i + 1] == '\n') {
                ++i;
                continue;
            }
            if (wordCharTable[byte]) {
                const unsigned char lower = lowercaseTable[byte];
                if constexpr (truncation == Truncation::On) {
                    if (wordBytes < sizeof head)
                        head[wordBytes] = lower;
                } else {
                    builder.addByte(lower);
                }
                ++wordBytes;
            } else if (wordBytes > 0) {
                endWord();
            }
        }
    }
    if (wordBytes > 0)
        endWord();
}

} // namespace

unsigned char LowercaseByte(unsigned char byte) {
    return lowercaseTable[byte];
}

void LowercaseText(std::string& text) {
    for (char& c : text)
        c = static_cast<char>(lowercaseTable[static_cast<unsigned char>(c)]);
}

bool IsWordChar(unsigned char byte) {
    return wordCharTable[byte];
}

void SplitWords(std::string& lowercasedText, WordList& words) {
    words.clear();

    // Cut out CR LF pairs in one pass from the left. Reading from the
    // original bytes means a pair formed only by a removal stays.
    const std::size_t size = lowercasedText.size();
    char* const data = lowercasedText.data();
    std::size_t read = 0;
    std::size_t write = 0;
    while (read < size) {
        const void* cr = std::memchr(data + read, '\r', size - read);
        const std::size_t next =
            cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : size;
        if (write != read)
            std::memmove(data + write, data + read, next - read);
        write += next - read;
        read = next;
        if (read == size)
            break;
        if (read + 1 < size && data[read + 1] == '\n') {
            read += 2;
            continue;
        }
        data[write++] = data[read++];
    }
    lowercasedText.resize(write);

    // Count first: growing a list of a million views costs more than a pass.
    // With the pairs gone the bound is the exact count.
    words.reserve(wordCountBound(lowercasedText));

    const auto* bytes = reinterpret_cast<const unsigned char*>(lowercasedText.data());

    std::size_t i = 0;
    while (i < write) {
        while (i < write && !wordCharTable[bytes[i]])
            ++i;
        const std::size_t start = i;
        while (i < write && wordCharTable[bytes[i]])
            ++i;
        if (i > start)
            words.emplace_back(lowercasedText.data() + start, i - start);
    }
}

void LemmatizeWords(WordList& words) {
    for (std::string_view& word : words)
        word = word.substr(0, keptBytes(word.size()));
}

void ShinglesFromWords(const WordList& words, int shingleLength, TudShingleList& list) {
    requireNonNegative(shingleLength);
    ShingleBuilder builder(static_cast<std::size_t>(shingleLength), words.size());
    for (const std::string_view word : words) {
        for (const char c : word)
            builder.addByte(static_cast<unsigned char>(c));
        builder.endWord();
    }
    list = builder.finish();
}

std::uint32_t StrCrc32(std::string_view bytes) {
    return crcAppend(0, bytes.data(), bytes.size());
}

void ShinglesFromText(std::string_view text, Truncation truncation, HtmlHandling html,
                      int shingleLength, TudShingleList& list, const StopCheck& stop) {
    requireNonNegative(shingleLength);
    std::string reduced;
    if (html == HtmlHandling::Cut) {
        reduced = HtmlToText(text, stop);
        text = reduced;
    }
    ShingleBuilder builder(static_cast<std::size_t>(shingleLength), wordCountBound(text));
    if (truncation == Truncation::On)
        feedWords<Truncation::On>(text, builder, stop);
    else
        feedWords<Truncation::Off>(text, builder, stop);
    list = builder.finish();
}

std::int32_t ShinglesFromText(std::string_view text, Truncation truncation, HtmlHandling html,
                              Unmask unmask, int shingleLength, TudShingleList& list,
                              const StopCheck& stop) {
    requireNonNegative(shingleLength);
    std::string reduced;
    if (html == HtmlHandling::Cut) {
        reduced = HtmlToText(text, stop, unmask);
        text = reduced;
    }
    const Unmasking::Result unmasked = Unmasking::apply(
        text, unmask == Unmask::On ? Unmasking::Output::Text : Unmasking::Output::CountOnly);
    if (unmask == Unmask::On)
        text = unmasked.text;
    ShinglesFromText(text, truncation, HtmlHandling::Keep, shingleLength, list, stop);
    return unmasked.disguisedWords;
}

} // namespace quillmark
