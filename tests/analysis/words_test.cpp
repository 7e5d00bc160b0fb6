// Lowercasing, the word alphabet, CR LF removal, splitting and truncation.
#include "Win1251.h"
#include "analysis/udShingles.h"

#include <clocale>
#include <cwctype>
#include <gtest/gtest.h>
#include <random>

namespace quillmark {
namespace {

using testing::cp;

std::vector<std::string> toStrings(const WordList& words) {
    return {words.begin(), words.end()};
}

// Lowercases and splits a copy of `text` as ShinglesFromText does.
std::vector<std::string> wordsOf(std::string text) {
    LowercaseText(text);
    WordList words;
    SplitWords(text, words);
    return toStrings(words);
}

std::vector<std::string> cps(std::initializer_list<std::string_view> utf8Words) {
    std::vector<std::string> out;
    for (std::string_view word : utf8Words)
        out.push_back(cp(word));
    return out;
}

TEST(Lowercasing, MatchesUnicodeLowercaseForEveryAssignedByte) {
    // The C library's Unicode tables are an independent oracle for the
    // code page's case rules; 0x98 is unassigned and stays itself.
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    for (unsigned b = 0; b < 256; ++b) {
        if (b == 0 || b == 0x98)
            continue;
        const std::string byte(1, static_cast<char>(b));
        const std::string asUtf8 = testing::utf8(byte);
        std::wstring wide(4, L'\0');
        const std::size_t n = std::mbstowcs(wide.data(), asUtf8.c_str(), wide.size());
        ASSERT_EQ(n, 1u) << "byte " << b;
        const wchar_t lower = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wide[0])));
        char back[8] = {};
        ASSERT_EQ(std::wctomb(back, lower) > 0, true);
        const std::string expected = cp(back);
        ASSERT_EQ(expected.size(), 1u);
        EXPECT_EQ(LowercaseByte(static_cast<unsigned char>(b)),
                  static_cast<unsigned char>(expected[0]))
            << "byte 0x" << std::hex << b;
    }
    EXPECT_EQ(LowercaseByte(0x98), 0x98);
}

TEST(Lowercasing, TableRowsAndLength) {
    EXPECT_EQ(LowercaseByte('A'), 'a');
    EXPECT_EQ(LowercaseByte('Z'), 'z');
    EXPECT_EQ(LowercaseByte(0xC0), 0xE0);
    EXPECT_EQ(LowercaseByte(0xDF), 0xFF);
    EXPECT_EQ(LowercaseByte(0xA8), 0xB8);
    const unsigned char capitals[] = {0x80, 0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F,
                                      0xA1, 0xA3, 0xA5, 0xAA, 0xAF, 0xB2, 0xBD};
    const unsigned char smalls[] = {0x90, 0x83, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F,
                                    0xA2, 0xBC, 0xB4, 0xBA, 0xBF, 0xB3, 0xBE};
    for (std::size_t i = 0; i < sizeof capitals; ++i)
        EXPECT_EQ(LowercaseByte(capitals[i]), smalls[i]);

    std::string all;
    for (unsigned b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    std::string lowered = all;
    LowercaseText(lowered);
    ASSERT_EQ(lowered.size(), 256u);
    for (unsigned b = 0; b < 256; ++b)
        EXPECT_EQ(static_cast<unsigned char>(lowered[b]),
                  LowercaseByte(static_cast<unsigned char>(b)));
}

TEST(WordAlphabet, ExactlyThe129Bytes) {
    int count = 0;
    for (unsigned b = 0; b < 256; ++b) {
        const bool expected = (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5A) || b == 0x5F ||
                              (b >= 0x61 && b <= 0x7A) || b == 0xA8 || b == 0xB8 || b >= 0xC0;
        EXPECT_EQ(IsWordChar(static_cast<unsigned char>(b)), expected) << "byte " << b;
        count += IsWordChar(static_cast<unsigned char>(b)) ? 1 : 0;
    }
    EXPECT_EQ(count, 129);
    for (const char separator : std::string_view("-'\xA0. \r\n\xB3"))
        EXPECT_FALSE(IsWordChar(static_cast<unsigned char>(separator)));
}

TEST(SplitWords, EdgeCasesOfTheWordRules) {
    EXPECT_TRUE(wordsOf("").empty());
    EXPECT_TRUE(wordsOf(" .,;-\r\n\t\xA0 ").empty());
    EXPECT_EQ(wordsOf("abc"), (std::vector<std::string>{"abc"}));
    EXPECT_EQ(wordsOf(cp("Мама мыла\r\nраму.")), cps({"мама", "мылараму"}));
    EXPECT_EQ(wordsOf(cp("Мама мыла \r\nраму.")), cps({"мама", "мыла", "раму"}));
    EXPECT_EQ(wordsOf(cp("Hello_World2 кто-то")), cps({"hello_world2", "кто", "то"}));
    EXPECT_EQ(wordsOf(cp("ЁЛКА")), cps({"ёлка"}));
    EXPECT_EQ(wordsOf(cp("ёлка")), cps({"ёлка"}));
    EXPECT_EQ(wordsOf(cp("білий")), cps({"б", "лий"}));
}

TEST(SplitWords, LineEnds) {
    // An empty line between paragraphs joins too.
    EXPECT_EQ(wordsOf("one\r\n\r\ntwo"), (std::vector<std::string>{"onetwo"}));
    // Lone CR and LF separate.
    EXPECT_EQ(wordsOf("a\rb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(wordsOf("a\n\rb"), (std::vector<std::string>{"a", "b"}));
    // CR, CR LF, LF: the pair that a removal brings together stays.
    EXPECT_EQ(wordsOf("a\r\r\n\nb"), (std::vector<std::string>{"a", "b"}));
    // Pairs do not overlap: CR LF LF keeps one LF.
    EXPECT_EQ(wordsOf("a\r\n\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(wordsOf("\r\nab\r\n"), (std::vector<std::string>{"ab"}));
    EXPECT_EQ(wordsOf("a\r"), (std::vector<std::string>{"a"}));

    std::string text = "x\r\ny\rz";
    WordList words;
    SplitWords(text, words);
    EXPECT_EQ(text, "xy\rz") << "the pairs are cut out of the text itself";
    text = "\r\n\r\r\n\na\r\n";
    SplitWords(text, words);
    EXPECT_EQ(text, "\r\na");
}

TEST(SplitWords, ViewsIntoTheTextAndClearsTheList) {
    std::string text = "alpha beta";
    WordList words{"stale"};
    SplitWords(text, words);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].data(), text.data());
    EXPECT_EQ(words[1].data(), text.data() + 6);
}

// A model of the word rules built the plain way: cut the pairs by scanning
// the original, then collect words character by character.
std::vector<std::string> modelWords(const std::string& text) {
    std::string joined;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        joined.push_back(text[i]);
    }
    std::vector<std::string> words;
    std::string current;
    for (char c : joined) {
        const auto lower = static_cast<char>(LowercaseByte(static_cast<unsigned char>(c)));
        const bool letter = (lower >= '0' && lower <= '9') || (lower >= 'a' && lower <= 'z') ||
                            lower == '_' || lower == '\xB8' ||
                            static_cast<unsigned char>(lower) >= 0xE0;
        if (letter) {
            current.push_back(lower);
        } else if (!current.empty()) {
            words.push_back(current);
            current.clear();
        }
    }
    if (!current.empty())
        words.push_back(current);
    return words;
}

TEST(SplitWords, AgreesWithAPlainModelOnRandomTexts) {
    const char pieces[] = {'a', 'Z', '\xC0', '\xFF', '\xA8', '\xB3', ' ', '\r', '\n', '-', '7'};
    std::mt19937 rng(12345);
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int length = static_cast<int>(rng() % 40);
        for (int i = 0; i < length; ++i)
            text.push_back(pieces[rng() % sizeof pieces]);
        ASSERT_EQ(wordsOf(text), modelWords(text)) << "text of " << length << " bytes";
    }
}

TEST(LemmatizeWords, KeepsThePrefixByLength) {
    std::string text = "a ab abc abcd abcde abcdef abcdefg abcdefghijkl";
    WordList words;
    SplitWords(text, words);
    LemmatizeWords(words);
    EXPECT_EQ(toStrings(words),
              (std::vector<std::string>{"a", "ab", "ab", "abc", "abc", "abc", "abcdef", "abcdef"}));
    // Cut once only: a 7-byte word keeps 6, not 3.
    EXPECT_EQ(wordsOf(cp("словом словами")), cps({"словом", "словами"}));
    std::string russian = cp("словом словами");
    SplitWords(russian, words);
    LemmatizeWords(words);
    EXPECT_EQ(toStrings(words), cps({"сло", "словам"}));
}

} // namespace
} // namespace quillmark
