// The shingle fingerprint: CRC-32, windows, the CR LF join, L = 0, negative
// lengths, and bit-identity of the fast window hashing with hashing every
// window string.
#include "Win1251.h"
#include "analysis/udShingles.h"

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace quillmark {
namespace {

using testing::cp;

TudShingleList fingerprint(std::string_view text, int length,
                           Truncation truncation = Truncation::Off) {
    TudShingleList list;
    ShinglesFromText(text, truncation, HtmlHandling::Keep, length, list);
    EXPECT_EQ(list.Count, static_cast<std::int32_t>(list.Hashes.size()));
    return list;
}

using Hashes = std::vector<std::uint32_t>;

TEST(StrCrc32, StandardCheckValues) {
    EXPECT_EQ(StrCrc32(""), 0x00000000u);
    EXPECT_EQ(StrCrc32("123456789"), 0xCBF43926u);
    const std::string bytes(100000, '\xE0');
    EXPECT_EQ(StrCrc32(bytes),
              crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

TEST(ShinglesFromText, TheWorkedExample) {
    const std::string text = cp("Мама мыла раму.");
    EXPECT_EQ(fingerprint(text, 2).Hashes, (Hashes{0x58F5C070}));
    EXPECT_EQ(fingerprint(text, 2).Hashes, (Hashes{StrCrc32(cp("мама мыла "))}));
    EXPECT_EQ(fingerprint(text, 3).Hashes, (Hashes{0x3EECE7D5}));
    EXPECT_EQ(fingerprint(text, 3).Hashes, (Hashes{StrCrc32(cp("мама\r\nмыла\r\nраму"))}));
    EXPECT_EQ(fingerprint(text, 1).Hashes, (Hashes{0x3891661B, StrCrc32(cp("мыла "))}));
    EXPECT_EQ(fingerprint(text, 2, Truncation::On).Hashes, (Hashes{0xB166D5F3}));
    // Above the length of the text: the join again.
    EXPECT_EQ(fingerprint(text, 100).Hashes, (Hashes{0x3EECE7D5}));
}

TEST(ShinglesFromText, WindowCountsAndTheLastWord) {
    // N = L + 1: one window over words 0..L-1; the last word is in none.
    EXPECT_EQ(fingerprint("a b c d", 3).Hashes, (Hashes{StrCrc32("a b c ")}));
    EXPECT_EQ(fingerprint("a b c d e", 2).Hashes,
              (Hashes{StrCrc32("a b "), StrCrc32("b c "), StrCrc32("c d ")}));
    // Exactly L words versus the same words inside a longer text.
    const Hashes shortText = fingerprint("a b c", 3).Hashes;
    const Hashes longText = fingerprint("x a b c y z", 3).Hashes;
    for (std::uint32_t hash : longText)
        EXPECT_NE(hash, shortText[0]);
    // Repeats are kept.
    EXPECT_EQ(fingerprint(cp("а а а а"), 1).Hashes, Hashes(3, StrCrc32(cp("а "))));
}

TEST(ShinglesFromText, EmptyTextsAndZeroLength) {
    for (const char* empty : {"", " ", "...\r\n", "\r\n\r\n"}) {
        const TudShingleList list = fingerprint(empty, 10);
        EXPECT_EQ(list.Count, 1);
        EXPECT_EQ(list.Hashes, (Hashes{0}));
    }
    EXPECT_EQ(fingerprint(cp("Мама мыла раму."), 0).Hashes, (Hashes{0, 0, 0}));
    EXPECT_EQ(fingerprint("", 0).Hashes, (Hashes{0}));
}

TEST(ShinglesFromText, NegativeLengthIsRejectedAndLeavesTheListAlone) {
    TudShingleList list;
    list.Hashes = {1, 2, 3};
    list.Count = 3;
    for (HtmlHandling html : {HtmlHandling::Keep, HtmlHandling::Cut}) {
        try {
            ShinglesFromText("some words here", Truncation::On, html, -1, list);
            ADD_FAILURE() << "no exception for a negative length";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find("must not be negative"), std::string::npos)
                << error.what();
        }
        EXPECT_EQ(list.Hashes, (Hashes{1, 2, 3}));
        EXPECT_EQ(list.Count, 3);
    }
    WordList words{"a"};
    EXPECT_THROW(ShinglesFromWords(words, -5, list), std::invalid_argument);
    EXPECT_THROW(ShinglesFromWords(words, INT32_MIN, list), std::invalid_argument);
    EXPECT_EQ(list.Count, 3);
}

TEST(ShinglesFromText, OverwritesAnEarlierFingerprint) {
    TudShingleList list;
    ShinglesFromText("a b c d e f", Truncation::Off, HtmlHandling::Keep, 1, list);
    ASSERT_EQ(list.Count, 5);
    ShinglesFromText("a", Truncation::Off, HtmlHandling::Keep, 1, list);
    EXPECT_EQ(list.Count, 1);
    EXPECT_EQ(list.Hashes, (Hashes{StrCrc32("a")}));
}

// Hashes every window string the plain way.
Hashes modelHashes(const std::vector<std::string>& words, int length) {
    const auto l = static_cast<std::size_t>(length);
    if (words.size() <= l) {
        std::string joined;
        for (std::size_t i = 0; i < words.size(); ++i)
            joined += (i ? "\r\n" : "") + words[i];
        return {StrCrc32(joined)};
    }
    Hashes hashes;
    for (std::size_t i = 0; i + l < words.size(); ++i) {
        std::string window;
        for (std::size_t k = i; k < i + l; ++k)
            window += words[k] + " ";
        hashes.push_back(StrCrc32(window));
    }
    return hashes;
}

TEST(ShinglesFromWords, BitIdenticalWithHashingEveryWindowString) {
    std::mt19937 rng(2024);
    const std::string alphabet = "abcxyz019_" + cp("абвгдеёжзэюя");
    for (int round = 0; round < 3000; ++round) {
        const std::size_t wordCount = rng() % 40;
        std::vector<std::string> words;
        for (std::size_t i = 0; i < wordCount; ++i) {
            // Mostly short words; now and then one longer than the cached
            // powers reach.
            const std::size_t size = rng() % 50 == 0 ? 4000 + rng() % 6000 : 1 + rng() % 12;
            std::string word;
            for (std::size_t k = 0; k < size; ++k)
                word.push_back(alphabet[rng() % alphabet.size()]);
            words.push_back(word);
        }
        const int length = static_cast<int>(rng() % 12);
        WordList views(words.begin(), words.end());
        if (rng() % 2) {
            LemmatizeWords(views);
            words.assign(views.begin(), views.end());
        }
        TudShingleList list;
        ShinglesFromWords(views, length, list);
        ASSERT_EQ(list.Hashes, modelHashes(words, length))
            << wordCount << " words, length " << length;
        ASSERT_EQ(list.Count, static_cast<std::int32_t>(list.Hashes.size()));
    }
}

TEST(ShinglesFromText, ChainsTheStepsOnRandomTexts) {
    // The one-pass fingerprint against the steps one by one, over texts of
    // words, line ends, stray CR and LF and arbitrary bytes.
    std::mt19937 rng(77);
    const std::string pieces[] = {"Word", cp("Слово"), cp("ДЛИННОЕСЛОВО"), " ",  "\r\n",
                                  "-",    "42",        cp("ёЁ"),           "\r", "\n",
                                  "abc",  cp("Ещё")};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int count = static_cast<int>(rng() % 200);
        for (int i = 0; i < count; ++i) {
            if (rng() % 8 == 0)
                text.push_back(static_cast<char>(rng()));
            else
                text += pieces[rng() % std::size(pieces)];
        }
        const int length = round % 50 == 0 ? 1000 : static_cast<int>(rng() % 16);
        const Truncation truncation = rng() % 2 ? Truncation::On : Truncation::Off;

        std::string lowered = text;
        LowercaseText(lowered);
        WordList words;
        SplitWords(lowered, words);
        if (truncation == Truncation::On)
            LemmatizeWords(words);
        ASSERT_EQ(fingerprint(text, length, truncation).Hashes,
                  modelHashes({words.begin(), words.end()}, length))
            << "round " << round << ", length " << length;
    }
}

TEST(ShinglesFromText, TenMegabytesOfOneWord) {
    std::string text(10 << 20, 'Q');
    std::string lowered(text.size(), 'q');
    const TudShingleList plain = fingerprint(text, 10);
    EXPECT_EQ(plain.Hashes, (Hashes{StrCrc32(lowered)}));
    EXPECT_EQ(fingerprint(text, 10, Truncation::On).Hashes, (Hashes{StrCrc32("qqqqqq")}));
    EXPECT_EQ(fingerprint(text, 0).Hashes, (Hashes{0}));
    // Two such words make one window of over 10 MB.
    const std::string two = text + " " + text + " end";
    EXPECT_EQ(fingerprint(two, 2).Hashes, (Hashes{StrCrc32(lowered + " " + lowered + " ")}));
}

} // namespace
} // namespace quillmark
