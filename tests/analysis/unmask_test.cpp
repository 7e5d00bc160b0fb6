// Unmasking: disguised words read as their plain forms, clean texts keep
// their fingerprint, and a disguised copy scores as its original.
#include "Win1251.h"
#include "analysis/TextReader.h"
#include "analysis/TextWords.h"
#include "analysis/Unmasking.h"
#include "analysis/udShingles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

using namespace quillmark;
using quillmark::testing::convert;
using quillmark::testing::cp;
using quillmark::testing::utf8;

namespace {

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// The words of `text`, lowercased and parted by blanks, as UTF-8.
std::string wordsOf(const std::string& text, Unmask unmask) {
    const TextWords words = WordsOfText(text, Truncation::Off, HtmlHandling::Keep, 1, unmask);
    std::string joined;
    for (const WordSpan& span : words.words) {
        if (!joined.empty())
            joined += ' ';
        // A word an Off reading joined across a line end spans the CR LF.
        for (const char c : words.text.substr(span.begin, span.end - span.begin))
            if (c != '\r' && c != '\n')
                joined += c;
    }
    LowercaseText(joined);
    return utf8(joined);
}

std::int32_t disguisesOf(const std::string& text, Unmask unmask, HtmlHandling html) {
    TudShingleList list;
    return ShinglesFromText(text, Truncation::Off, html, unmask, 3, list);
}

struct Input {
    const char* name;
    const char* iconvName;
    Encoding encoding;
};

const Input inputs[] = {
    {"Windows-1251", "WINDOWS-1251", Encoding::Windows1251},
    {"UTF-8", "UTF-8", Encoding::Utf8},
    {"UTF-16LE", "UTF-16LE", Encoding::Utf16Le},
};

TEST(Unmasking, UndoesEachDisguiseInEveryEncoding) {
    struct Row {
        const char* text; // UTF-8
        const char* words;
        std::int32_t disguised;
    };
    const Row rows[] = {
        {"мама мыла раму", "мама мыла раму", 0},
        {"мaмa мылa рaму", "мама мыла раму", 3},
        {"жaeopcyx", "жаеорсух", 1},
        {"ЖABEKMHOPCTX", "жавекмнорстх", 1},
        {"МAМA MAMA", "мама mama", 1},
        {"Windows, iPhone и COVID-19", "windows iphone и covid 19", 0},
        {"в 2024 году Т-34 и 3D", "в 2024 году т 34 и 3d", 0},
        {"сло\u00ADво", "слово", 1},
        {"слово\u00AD и \u00ADещё", "слово и ещё", 0},
        {"сло\u200Bво", "слово", 1},
        {"пр\u200Cи\u200Dв\u2060е\uFEFFт", "привет", 1},
        {"\u202Aте\u202Bк\u202Cс\u202Dт\u202E \u2066ещё\u2069 \u200Eи\u200F", "текст ещё и", 1},
        {"мa\u200Bма", "мама", 1},
        {"мама\u00A0мыла\u2003раму\u202Fи\u205Fпапу\u3000тоже\u2000да\u200Aнет",
         "мама мыла раму и папу тоже да нет", 0},
        {"мыла\r\nраму\r\nи\nокно", "мыла раму и окно", 0},
    };
    for (const Input& input : inputs) {
        for (const Row& row : rows) {
            std::string bytes;
            try {
                bytes = convert(row.text, "UTF-8", input.iconvName);
            } catch (const std::runtime_error&) {
                continue; // a character the code page lacks
            }
            const std::string text =
                TextReader::read(bytes, HtmlHandling::Keep, input.encoding).text;
            SCOPED_TRACE(std::string(input.name) + ": " + row.text);
            EXPECT_EQ(wordsOf(text, Unmask::On), row.words);
            EXPECT_EQ(disguisesOf(text, Unmask::On, HtmlHandling::Keep), row.disguised);
            EXPECT_EQ(disguisesOf(text, Unmask::Off, HtmlHandling::Keep), row.disguised);
        }
    }
}

TEST(Unmasking, PagesAreUnmaskedOnceReduced) {
    // Entities become their characters only when the page is read.
    const std::string page = cp("<html><body><p>сло&#8203;во м&#97;ма</p><p>ра&shy;му</p>"
                                "<p>&#x202E;ещё&#x202C;&nbsp;&#8195;раз</p></body></html>");
    for (const Unmask unmask : {Unmask::Off, Unmask::On})
        EXPECT_EQ(disguisesOf(page, unmask, HtmlHandling::Cut), 3);
    TudShingleList fromPage;
    TudShingleList plain;
    ShinglesFromText(page, Truncation::Off, HtmlHandling::Cut, Unmask::On, 2, fromPage);
    ShinglesFromText(cp("слово мама раму ещё раз"), Truncation::Off, HtmlHandling::Keep, 2, plain);
    EXPECT_EQ(fromPage.Hashes, plain.Hashes);
}

/// Random texts built from plain words, each disguised or not: unmasking
/// must give back the plain words and count exactly the disguised ones.
TEST(Unmasking, RandomDisguisesComeBackAsThePlainWords) {
    const std::vector<std::string> plainWords = {"молоко",  "сахар",  "бутерброд", "кот",
                                                 "ёжик",    "Москва", "Россия",    "ТАКСИ",
                                                 "Windows", "iPhone", "2024",      "x86"};
    // Cyrillic letters and the Latin ones that look like them, in UTF-8.
    const std::vector<std::pair<std::string, std::string>> lookAlikes = {
        {"а", "a"}, {"е", "e"}, {"о", "o"}, {"р", "p"}, {"с", "c"}, {"у", "y"},
        {"х", "x"}, {"А", "A"}, {"В", "B"}, {"Е", "E"}, {"К", "K"}, {"М", "M"},
        {"Н", "H"}, {"О", "O"}, {"Р", "P"}, {"С", "C"}, {"Т", "T"}, {"Х", "X"}};
    const std::vector<std::string> hidden = {"\u00AD", "\u200B", "\u200D", "\u2060", "\u202E"};
    const std::vector<std::string> separators = {" ", "\r\n", "\u00A0", "\u2003", ", ", "\u3000"};
    std::mt19937 random(4242);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        std::string expected;
        std::int32_t disguised = 0;
        for (int at = 0; at < 12; ++at) {
            std::string word = plainWords[random() % plainWords.size()];
            expected += (expected.empty() ? "" : " ") + word;
            bool changed = false;
            // One look-alike, always leaving Cyrillic letters in the word.
            const auto& [cyrillic, latin] = lookAlikes[random() % lookAlikes.size()];
            const std::size_t found = word.find(cyrillic, 2);
            if (random() % 3 == 0 && found != std::string::npos) {
                word.replace(found, cyrillic.size(), latin);
                changed = true;
            }
            if (random() % 4 == 0) {
                word.insert(word.size() > 3 ? 2 : 1, hidden[random() % hidden.size()]);
                changed = true;
            }
            disguised += changed ? 1 : 0;
            text += word + separators[random() % separators.size()];
        }
        const std::string read = TextReader::read(text, HtmlHandling::Keep).text;
        SCOPED_TRACE(text);
        std::string lowered = cp(expected);
        LowercaseText(lowered);
        EXPECT_EQ(wordsOf(read, Unmask::On), utf8(lowered));
        // Counting alone and unmasking count alike.
        EXPECT_EQ(disguisesOf(read, Unmask::Off, HtmlHandling::Keep), disguised);
        EXPECT_EQ(disguisesOf(read, Unmask::On, HtmlHandling::Keep), disguised);
    }
}

// A text without a Latin letter or a soft hyphen takes a short way; it must
// come out as the full pass makes it, which a Latin letter at the end forces.
TEST(Unmasking, TextsWithoutLatinLettersComeOutAsTheFullPassMakesThem) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0x20, 0xFF);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int i = 0; i < 300; ++i) {
            auto c = static_cast<unsigned char>(byte(random));
            const bool latin = ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == 0xAD;
            text += latin ? "\r\n" : std::string(1, static_cast<char>(c));
        }
        const Unmasking::Result shortWay = Unmasking::apply(text, Unmasking::Output::Text);
        const Unmasking::Result fullPass = Unmasking::apply(text + " z", Unmasking::Output::Text);
        ASSERT_EQ(shortWay.text + " z", fullPass.text) << round;
        EXPECT_EQ(shortWay.disguisedWords, fullPass.disguisedWords);
        EXPECT_EQ(Unmasking::apply(text, Unmasking::Output::CountOnly).disguisedWords, 0);
    }
}

/// One-line forms of every sample and of random texts with nothing to unmask.
std::vector<std::string> cleanLines() {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLMARK_SAMPLES)) {
        std::string text = TextReader::read(fileBytes(entry.path()), HtmlHandling::Keep).text;
        for (char& c : text)
            c = c == '\r' || c == '\n' ? ' ' : c;
        lines.push_back(text);
    }
    std::mt19937 random(20261208);
    const std::string words[] = {cp("слово"), cp("Ёлка"), "Windows",  "iPhone",
                                 "2024",      "3D",       cp("Т-34"), "x86_64"};
    const std::string separators[] = {" ", ", ", ". ", " % ", "\"", "-"};
    for (int text = 0; text < 200; ++text) {
        std::string line;
        for (int word = 0; word < 60; ++word)
            line +=
                words[random() % std::size(words)] + separators[random() % std::size(separators)];
        lines.push_back(line);
    }
    return lines;
}

TEST(Unmasking, CleanLinesKeepTheirFingerprint) {
    for (const std::string& line : cleanLines()) {
        for (const Truncation truncation : {Truncation::Off, Truncation::On}) {
            TudShingleList off;
            TudShingleList on;
            ShinglesFromText(line, truncation, HtmlHandling::Keep, 4, off);
            EXPECT_EQ(ShinglesFromText(line, truncation, HtmlHandling::Keep, Unmask::On, 4, on), 0)
                << utf8(line);
            EXPECT_EQ(on.Hashes, off.Hashes) << utf8(line);
        }
    }
}

TEST(Unmasking, NothingOrdinaryCountsAsDisguised) {
    std::vector<std::filesystem::path> files;
    for (const char* directory :
         {QUILLMARK_SAMPLES, QUILLMARK_ANALYSIS_FIXTURES, QUILLMARK_ANALYSIS_FIXTURES "/reading"})
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            if (entry.is_regular_file())
                files.push_back(entry.path());
    // Product names, formulas, addresses and units, as plain text and as a page.
    const std::string ordinary =
        cp("Windows 11 и iPhone 15, E = mc2, H2O, https://example.org/a?b=c, "
           "mail@example.ru, 5 кг, 220 В, 3,5 ГГц, COVID-19, Т-34, 3D, x86-64");
    EXPECT_EQ(disguisesOf(ordinary, Unmask::On, HtmlHandling::Keep), 0);
    for (const auto& path : files) {
        const std::string bytes = fileBytes(path);
        const HtmlHandling html =
            path.extension() == ".html" ? HtmlHandling::Cut : HtmlHandling::Keep;
        const std::string text = TextReader::read(bytes, html).text;
        EXPECT_EQ(disguisesOf(text, Unmask::On, html), 0) << path;
    }
}

/// The article in UTF-8 disguised: a look-alike in 30% of its words, soft
/// hyphens and zero-width spaces in others, lines re-wrapped at 70 columns.
std::string disguised(const std::string& article) {
    const std::string latin = "aeopcyx";
    const std::string cyrillic[] = {"а", "е", "о", "р", "с", "у", "х"};
    std::mt19937 random(70);
    std::istringstream in(article);
    std::string copy;
    std::size_t column = 0;
    std::string word;
    for (int at = 0; in >> word; ++at) {
        const std::size_t roll = random() % 10;
        for (std::size_t i = 0; roll < 3 && i < latin.size(); ++i) {
            const std::size_t found = word.find(cyrillic[i], 2);
            if (found != std::string::npos) {
                word.replace(found, cyrillic[i].size(), 1, latin[i]);
                break;
            }
        }
        if (roll == 4 && word.size() > 6)
            word.insert(4, "\u00AD");
        if (roll == 5 && word.size() > 6)
            word.insert(4, "\u200B");
        if (column + word.size() > 70) {
            copy += "\r\n";
            column = 0;
        }
        copy += (column == 0 ? "" : " ") + word;
        column += word.size() + 1;
    }
    return copy + "\r\n";
}

TEST(Unmasking, DisguisedCopyScoresAsItsOriginal) {
    const std::string original =
        TextReader::read(fileBytes(QUILLMARK_SAMPLES "/kosmos.txt"), HtmlHandling::Keep).text;
    const std::string copy = TextReader::read(disguised(utf8(original)), HtmlHandling::Keep).text;
    const auto score = [&](Unmask unmask) {
        TudShingleList source;
        TudShingleList disguise;
        ShinglesFromText(original, Truncation::Off, HtmlHandling::Keep, unmask, 5, source);
        EXPECT_GT(ShinglesFromText(copy, Truncation::Off, HtmlHandling::Keep, unmask, 5, disguise),
                  10);
        return MatchPercent(source, disguise);
    };
    TudShingleList source;
    TudShingleList disguise;
    ShinglesFromText(original, Truncation::Off, HtmlHandling::Keep, 5, source);
    ShinglesFromText(copy, Truncation::Off, HtmlHandling::Keep, 5, disguise);
    const std::int32_t before = MatchPercent(source, disguise);
    EXPECT_EQ(score(Unmask::On), 100);
    EXPECT_EQ(score(Unmask::Off), before);
    EXPECT_LT(before, 20);
}

} // namespace
