#include "Unmasking.h"

#include <array>
#include <cstring>
#include <utility>

namespace quillmark {

namespace {

constexpr unsigned char softHyphen = 0xAD;
constexpr unsigned char noBreakSpace = 0xA0;

// The Cyrillic letter (Windows-1251) each Latin look-alike stands for; 0 for
// every other byte.
constexpr std::array<unsigned char, 256> makeLookAlikes() {
    std::array<unsigned char, 256> table{};
    constexpr std::string_view latin = "aeopcyxABEKMHOPCTX";
    constexpr std::string_view cyrillic = "\xE0\xE5\xEE\xF0\xF1\xF3\xF5"
                                          "\xC0\xC2\xC5\xCA\xCC\xCD\xCE\xD0\xD1\xD2\xD5";
    static_assert(latin.size() == cyrillic.size());
    for (std::size_t i = 0; i < latin.size(); ++i)
        table[static_cast<unsigned char>(latin[i])] = static_cast<unsigned char>(cyrillic[i]);
    return table;
}

constexpr auto lookAlikes = makeLookAlikes();

bool isCyrillic(unsigned char byte) {
    return byte >= 0xC0 || byte == 0xA8 || byte == 0xB8;
}

bool isLatin(unsigned char byte) {
    const unsigned char lower = byte | 0x20;
    return lower >= 'a' && lower <= 'z';
}

// What a byte tells about the word it is in, as bits a word's letters add up.
enum LetterClass : unsigned char {
    WordLetter = 1,
    CyrillicLetter = 2,
    LatinLetter = 4,
    LookAlikeLetter = 8,
    HiddenInside = 16,
};

std::array<unsigned char, 256> makeLetterClasses() {
    std::array<unsigned char, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        if (!IsWordChar(byte))
            continue;
        table[b] = WordLetter | (isCyrillic(byte) ? CyrillicLetter : 0) |
                   (isLatin(byte) ? LatinLetter : 0) | (lookAlikes[b] != 0 ? LookAlikeLetter : 0);
    }
    return table;
}

bool isDisguised(unsigned word) {
    constexpr unsigned mixed = CyrillicLetter | LatinLetter | LookAlikeLetter;
    return (word & HiddenInside) != 0 || (word & mixed) == mixed;
}

/// Whether the text holds a Latin letter or a soft hyphen: a disguise needs
/// one or the other, and most Russian texts have neither. Sixteen bytes at a
/// time, as every text is checked.
bool mayHoldDisguise(std::string_view text) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    Bytes found{};
    std::size_t i = 0;
    for (; i + sizeof(Bytes) <= text.size(); i += sizeof(Bytes)) {
        Bytes chunk;
        std::memcpy(&chunk, text.data() + i, sizeof chunk);
        const Bytes letter = (chunk | 0x20) - 'a';
        found |=
            reinterpret_cast<Bytes>(letter < 26) | reinterpret_cast<Bytes>(chunk == softHyphen);
    }
    for (std::size_t k = 0; k < sizeof(Bytes); ++k)
        if (found[k] != 0)
            return true;
    for (; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (isLatin(byte) || byte == softHyphen)
            return true;
    }
    return false;
}

/// Unmasking's count without its text, in one tight pass: every text is
/// counted, whether or not it is unmasked.
std::int32_t countDisguised(std::string_view text) {
    if (!mayHoldDisguise(text))
        return 0;
    static const auto classes = makeLetterClasses();
    std::int32_t count = 0;
    unsigned word = 0;
    unsigned hidden = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const unsigned letter = classes[byte];
        if (letter != 0) {
            word |= letter | hidden;
            hidden = 0;
        } else if (byte == softHyphen) {
            hidden = word != 0 ? HiddenInside : 0;
        } else {
            count += isDisguised(word) ? 1 : 0;
            word = hidden = 0;
        }
    }
    return count + (isDisguised(word) ? 1 : 0);
}

bool isInvisible(char32_t c) {
    return c == 0x200B || c == 0x200C || c == 0x200D || c == 0x200E || c == 0x200F || c == 0x2060 ||
           c == 0xFEFF || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool isUnusualSpace(char32_t c) {
    return (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

/// One pass over a text, word by word.
class Pass {
public:
    Pass(std::size_t size, Unmasking::Output output)
        : m_output(output) {
        if (output == Unmasking::Output::Text)
            m_result.text.reserve(size);
    }

    void add(unsigned char byte);
    Unmasking::Result finish();

private:
    void put(unsigned char byte) {
        if (m_output == Unmasking::Output::Text)
            m_result.text.push_back(static_cast<char>(byte));
    }
    void changed(std::size_t inWord) {
        m_result.changedLetters.push_back(m_wordStart + inWord);
        m_result.sourceLetters.push_back(m_wordSource[inWord]);
    }
    void endWord();

    Unmasking::Output m_output;
    Unmasking::Result m_result;
    std::size_t m_at = 0; // the next byte's offset in the text given
    std::size_t m_wordStart = 0;
    // Where each letter of the word stood in the text given.
    std::vector<std::size_t> m_wordSource;
    // The word's letters that follow a dropped invisible character.
    std::vector<std::size_t> m_afterHidden;
    bool m_inWord = false;
    bool m_cyrillic = false;
    bool m_latin = false;
    bool m_lookAlike = false;
    bool m_hiddenPending = false;
};

void Pass::add(unsigned char byte) {
    const std::size_t at = m_at++;
    if (byte == softHyphen) {
        // Inside a word only once a word character follows.
        m_hiddenPending = m_inWord;
        return;
    }
    if (byte == '\r' || byte == noBreakSpace)
        byte = ' ';
    if (!IsWordChar(byte)) {
        if (m_inWord)
            endWord();
        m_hiddenPending = false;
        put(byte);
        return;
    }
    if (!m_inWord) {
        m_inWord = true;
        m_wordStart = m_result.text.size();
    }
    if (m_hiddenPending)
        m_afterHidden.push_back(m_wordSource.size());
    m_hiddenPending = false;
    m_wordSource.push_back(at);
    m_cyrillic = m_cyrillic || isCyrillic(byte);
    m_latin = m_latin || isLatin(byte);
    m_lookAlike = m_lookAlike || lookAlikes[byte] != 0;
    put(byte);
}

void Pass::endWord() {
    const bool mixed = m_cyrillic && m_latin && m_lookAlike;
    if (m_output == Unmasking::Output::Text && (mixed || !m_afterHidden.empty())) {
        auto afterHidden = m_afterHidden.begin();
        for (std::size_t i = 0; i < m_wordSource.size(); ++i) {
            char& letter = m_result.text[m_wordStart + i];
            const unsigned char cyrillic =
                mixed ? lookAlikes[static_cast<unsigned char>(letter)] : 0;
            const bool follows = afterHidden != m_afterHidden.end() && *afterHidden == i;
            afterHidden += follows ? 1 : 0;
            if (cyrillic != 0)
                letter = static_cast<char>(cyrillic);
            if (cyrillic != 0 || follows)
                changed(i);
        }
    }
    m_result.disguisedWords += mixed || !m_afterHidden.empty() ? 1 : 0;
    m_inWord = m_cyrillic = m_latin = m_lookAlike = false;
    m_wordSource.clear();
    m_afterHidden.clear();
}

Unmasking::Result Pass::finish() {
    if (m_inWord)
        endWord();
    return std::move(m_result);
}

} // namespace

unsigned char Unmasking::standIn(char32_t codePoint) {
    if (isInvisible(codePoint))
        return softHyphen;
    if (isUnusualSpace(codePoint))
        return noBreakSpace;
    return '?';
}

Unmasking::Result Unmasking::apply(std::string_view text, Output output) {
    if (output == Output::CountOnly) {
        Result counted;
        counted.disguisedWords = countDisguised(text);
        return counted;
    }
    if (!mayHoldDisguise(text)) {
        // Nothing to drop or replace in a word: only the separators change.
        Result plain;
        plain.text = text;
        for (char& c : plain.text)
            if (c == '\r' || static_cast<unsigned char>(c) == noBreakSpace)
                c = ' ';
        return plain;
    }
    Pass pass(text.size(), output);
    for (const char c : text)
        pass.add(static_cast<unsigned char>(c));
    return pass.finish();
}

} // namespace quillmark
