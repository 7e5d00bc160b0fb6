// Telling a text's encoding, a page's declared charset and a document's
// format, and turning malformed input into replacement characters.
#include "Win1251.h"
#include "analysis/TextReader.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace quillmark;
using namespace std::string_literals;
using quillmark::testing::convert;
using quillmark::testing::cp;

namespace {

TEST(TextEncoding, ByteOrderMarkDecidesWhenWhatFollowsFits) {
    struct Row {
        std::string bytes;
        Encoding encoding;
    };
    const Row rows[] = {
        {"\xEF\xBB\xBF\xD0\xB0", Encoding::Utf8},
        {"\xFF\xFE\x30\x04\x20\x00"s, Encoding::Utf16Le},
        {"\xFE\xFF\x04\x30\x00\x20"s, Encoding::Utf16Be},
        {"\xFF\xFE\0\0\x30\x04\0\0"s, Encoding::Utf32Le},
        {"\0\0\xFE\xFF\0\0\x04\x30"s, Encoding::Utf32Be},
        {"\xFF\xFE", Encoding::Utf16Le},
        // "яю" and "юя" opening a Windows-1251 text: no mark.
        {"\xFF\xFE\xF2\xE0\xEA \xE2\xEE\xF2", Encoding::Auto},
        {"\xFE\xFF\xE4\xE0 \xED\xE5\xF2", Encoding::Auto},
        {"plain", Encoding::Auto},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TextEncoding::fromByteOrderMark(row.bytes), row.encoding) << row.bytes;
}

TEST(TextEncoding, DetectionKeepsWindows1251AndFindsTheOthers) {
    // "Съешь же ещё этих мягких французских булок, да выпей чаю" in each.
    const std::string cp1251 = "\xD1\xFA\xE5\xF8\xFC \xE6\xE5 \xE5\xF9\xB8 \xFD\xF2\xE8\xF5 "
                               "\xEC\xFF\xE3\xEA\xE8\xF5 \xF4\xF0\xE0\xED\xF6\xF3\xE7\xF1\xEA\xE8"
                               "\xF5 \xE1\xF3\xEB\xEE\xEA, \xE4\xE0 \xE2\xFB\xEF\xE5\xE9 \xF7\xE0"
                               "\xFE";
    struct Row {
        std::string bytes;
        Encoding encoding;
    };
    const Row rows[] = {
        {"", Encoding::Windows1251},
        {"ASCII only, 123", Encoding::Windows1251},
        {cp1251, Encoding::Windows1251},
        {"\xC8\xC7 \xD0\xC5\xC2\xCD\xC8\xC2\xDB\xD5 \xC6\xC5\xCD\xC8\xD5\xCE\xC2",
         Encoding::Windows1251}, // "ИЗ РЕВНИВЫХ ЖЕНИХОВ"
        {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", Encoding::Utf8},
        {"caf\xC3\xA9", Encoding::Utf8},
        {"\xC0\xAF overlong", Encoding::Windows1251},
        {"\xED\xA0\x80 surrogate", Encoding::Windows1251},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TextEncoding::detect(row.bytes), row.encoding) << row.bytes;
}

TEST(TextEncoding, MalformedInputBecomesReplacementCharacters) {
    struct Row {
        std::string bytes;
        Encoding encoding;
        std::string text;
    };
    const Row rows[] = {
        {"\xD0\xB0\xD0", Encoding::Utf8, "\xE0?"}, // cut-off sequence
        {"a\xFF"
         "b",
         Encoding::Utf8, "a?b"},                                   // no such lead byte
        {"\xFF\xFE\x30\x04\x31", Encoding::Utf16Le, "\xE0?"},      // odd length
        {"\xFF\xFE\x00\xD8\x41\x00"s, Encoding::Utf16Le, "?A"},    // lone high surrogate
        {"\xFF\xFE\x3D\xD8\x00\xDE"s, Encoding::Utf16Le, "?"},     // a pair beyond U+FFFF
        {"\xFF\xFE\0\0\x00\x00\x11\x00"s, Encoding::Utf32Le, "?"}, // beyond U+10FFFF
        {"\xFE\xFF\x04\x10\x00\x00\x00\x41"s, Encoding::Utf16Be, "\xC0\0A"s},
        {"\xC1\xC2", Encoding::Koi8R, "\xE0\xE1"},
        {"\xA0\xE0", Encoding::Cp866, "\xE0\xF0"},
        {"\xD0\xB0", Encoding::Iso8859_5, "\xE0\xC0"},
        {"\x80\xDF", Encoding::MacCyrillic, "\xC0\xFF"},
        {"\x98\xC0", Encoding::Windows1251, "\x98\xC0"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TextEncoding::toWindows1251(row.bytes, row.encoding), row.text) << row.bytes;
}

TEST(TextEncoding, LabelsOfPagesAndTheCommandLine) {
    EXPECT_EQ(TextEncoding::fromLabel("UTF-8"), Encoding::Utf8);
    EXPECT_EQ(TextEncoding::fromLabel("Windows-1251"), Encoding::Windows1251);
    EXPECT_EQ(TextEncoding::fromLabel("cp1251"), Encoding::Windows1251);
    EXPECT_EQ(TextEncoding::fromLabel("koi8-r"), Encoding::Koi8R);
    EXPECT_EQ(TextEncoding::fromLabel("IBM866"), Encoding::Cp866);
    EXPECT_EQ(TextEncoding::fromLabel("x-mac-cyrillic"), Encoding::MacCyrillic);
    EXPECT_EQ(TextEncoding::fromLabel("auto"), Encoding::Auto);
    EXPECT_EQ(TextEncoding::fromLabel("latin1"), Encoding::Auto);
}

TEST(TextReader, PageCharsetComesFromItsMetaDeclaration) {
    struct Row {
        const char* html;
        Encoding encoding;
    };
    const Row rows[] = {
        {"<meta charset=\"utf-8\">", Encoding::Utf8},
        {"<META CHARSET=KOI8-R>", Encoding::Koi8R},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">",
         Encoding::Windows1251},
        {"<meta content='text/html;charset=ibm866' http-equiv='content-type'/>", Encoding::Cp866},
        {"<meta name=\"x\"><meta charset = 'iso-8859-5'>", Encoding::Iso8859_5},
        {"<meta charset=\"latin1\">", Encoding::Auto},
        {"<p>charset=utf-8</p>", Encoding::Auto},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TextReader::declaredCharset(row.html), row.encoding) << row.html;
}

TEST(TextReader, PagesTextsAndForcedEncodings) {
    const std::string utf8Page = "<meta charset=\"utf-8\"><p>\xD0\xB4\xD0\xB0</p>";
    const std::string mislabelled = "<meta charset=\"utf-8\"><p>\xE4\xE0 \xED\xE5\xF2</p>";
    struct Row {
        std::string bytes;
        HtmlHandling html;
        Encoding forced;
        TextOrigin origin;
        std::string text;
    };
    const Row rows[] = {
        {utf8Page,
         HtmlHandling::Cut,
         Encoding::Auto,
         {TextFormat::Html, Encoding::Utf8},
         "<meta charset=\"utf-8\"><p>\xE4\xE0</p>"},
        {mislabelled,
         HtmlHandling::Cut,
         Encoding::Auto,
         {TextFormat::Html, Encoding::Windows1251},
         mislabelled},
        {"\xC4\xC1",
         HtmlHandling::Keep,
         Encoding::Koi8R,
         {TextFormat::Text, Encoding::Koi8R},
         "\xE4\xE0"},
        {"a\0\xFF\xFE"s,
         HtmlHandling::Keep,
         Encoding::Auto,
         {TextFormat::Text, Encoding::Windows1251},
         "a"},
        {"\xFF\xFE"
         "a\0\0\0b\0"s,
         HtmlHandling::Keep,
         Encoding::Auto,
         {TextFormat::Text, Encoding::Utf16Le},
         "a\0b"s},
    };
    for (const Row& row : rows) {
        const TextReader::Result read = TextReader::read(row.bytes, row.html, row.forced);
        EXPECT_EQ(read.origin, row.origin) << row.bytes;
        EXPECT_EQ(read.text, row.text) << row.bytes;
    }
}

/// A UTF-8 literal as UTF-16 without a byte-order mark, by iconv.
std::string utf16(std::string_view utf8, bool bigEndian) {
    return convert(utf8, "UTF-8", bigEndian ? "UTF-16BE" : "UTF-16LE");
}

/// Bytes of a binary file: a short ASCII header, a NUL, then bytes of a
/// fixed pseudo-random sequence, every seventh of them zero wherever it falls.
std::string scatteredZeros() {
    std::string bytes("DATA\0"s);
    std::uint32_t state = 12345;
    for (int i = 0; i < 4000; ++i) {
        state = state * 1103515245u + 12345u;
        const auto b = static_cast<char>(state >> 16);
        bytes.push_back(state % 7 == 0 ? '\0' : b);
    }
    return bytes;
}

TEST(TextReader, Utf16WithoutMarkIsToldByItsZeroBytes) {
    const std::string russian = "Мама мыла раму, а папа читал газету «Правда» — вслух.\n";
    const std::string latin = "The quick brown fox jumps over the lazy dog.\n";
    const std::string cp1251 = cp(russian);
    const std::string padded = cp1251 + std::string(32, '\0');
    const std::string binary = scatteredZeros();
    struct Row {
        const char* what;
        std::string bytes;
        Encoding encoding;
        std::string text;
    };
    const Row rows[] = {
        {"UTF-16LE, Cyrillic", utf16(russian, false), Encoding::Utf16Le, cp1251},
        {"UTF-16BE, Cyrillic", utf16(russian, true), Encoding::Utf16Be, cp1251},
        {"UTF-16LE, Latin", utf16(latin, false), Encoding::Utf16Le, latin},
        {"eight units, enough", utf16("Hi there", false), Encoding::Utf16Le, "Hi there"},
        {"seven units, too few", utf16("Hi ther", false), Encoding::Windows1251, "H"},
        {"odd length: the cut-off last character", utf16(russian, false) + "\n", Encoding::Utf16Le,
         cp1251 + "?"},
        {"Windows-1251", cp1251, Encoding::Windows1251, cp1251},
        {"Windows-1251 padded with zeros", padded, Encoding::Windows1251, cp1251},
        {"UTF-8", russian, Encoding::Utf8, cp1251},
        {"binary, zeros scattered", binary, Encoding::Windows1251, "DATA"},
    };
    for (const Row& row : rows) {
        const TextReader::Result read = TextReader::read(row.bytes, HtmlHandling::Keep);
        EXPECT_EQ(read.origin, (TextOrigin{TextFormat::Text, row.encoding})) << row.what;
        EXPECT_EQ(read.text, row.text) << row.what;
        // The engine reads the whole file exactly when the reading needs it.
        const bool wide = row.encoding == Encoding::Utf16Le || row.encoding == Encoding::Utf16Be;
        EXPECT_EQ(TextReader::needsWholeFile(row.bytes), wide) << row.what;
    }
    // A page: the zero bytes decide before the charset it declares.
    const std::string page = "<meta charset=\"koi8-r\"><p>Привет, мир!</p>\n";
    const TextReader::Result read = TextReader::read(utf16(page, false), HtmlHandling::Cut);
    EXPECT_EQ(read.origin, (TextOrigin{TextFormat::Html, Encoding::Utf16Le}));
    EXPECT_EQ(read.text, cp(page));
}

TEST(TextEncoding, Utf16WithoutMarkNeedsPairedSurrogatesAndFewControls) {
    const std::string text = utf16("Слово за слово, строка за строкой. ", false);
    struct Row {
        const char* what;
        std::string bytes;
        Encoding encoding;
    };
    const Row rows[] = {
        {"a text", text, Encoding::Utf16Le},
        {"a pair beyond U+FFFF", text + "\x3D\xD8\x0A\xDE"s + text, Encoding::Utf16Le},
        {"a lone high surrogate", text + "\x3D\xD8"s + text, Encoding::Auto},
        {"a high surrogate cut off at the end", text + "\x3D\xD8"s, Encoding::Utf16Le},
        {"control characters", text + "\x01\0\x02\0\x03\0\x1B\0"s, Encoding::Auto},
        {"zeros at both parities", text + std::string(16, '\0'), Encoding::Auto},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TextEncoding::utf16WithoutMark(row.bytes), row.encoding) << row.what;
}

TEST(TextReader, FilesOverTheSizeLimitAreNotRead) {
    const std::string bytes(10, 'x');
    EXPECT_EQ(TextReader::read(bytes, HtmlHandling::Keep, Encoding::Auto, 10).text, bytes);
    try {
        TextReader::read(bytes, HtmlHandling::Keep, Encoding::Auto, 9);
        ADD_FAILURE() << "ten bytes over a limit of nine were read";
    } catch (const UnreadableText& error) {
        EXPECT_STREQ(error.what(), "файл больше 9 байт");
        EXPECT_EQ(error.format(), TextFormat::Text);
    }
}

TEST(DocumentText, BinaryFilesAndUnpackLimits) {
    struct Row {
        std::string bytes;
        const char* reason; // nullptr: a text
    };
    const Row rows[] = {
        {"\x7F"
         "ELF\x02\x01",
         "исполняемый файл"},
        {"MZ\x90\0\x03"s, "исполняемый файл"},
        {"MZ is a text", nullptr},
        {"BM text", nullptr},
        {"\x89PNG\r\n", "изображение"},
        {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", "повреждён"},
        {"PK\x03\x04 broken", "повреждён"},
        {"<?xml version=\"1.0\"?><FictionBook><body><p>x", "повреждён"},
    };
    for (const Row& row : rows) {
        if (row.reason == nullptr) {
            EXPECT_EQ(TextReader::read(row.bytes, HtmlHandling::Keep).origin.format,
                      TextFormat::Text);
            continue;
        }
        try {
            TextReader::read(row.bytes, HtmlHandling::Keep);
            ADD_FAILURE() << row.bytes << " was read";
        } catch (const UnreadableText& error) {
            EXPECT_NE(std::string(error.what()).find(row.reason), std::string::npos)
                << error.what();
        }
    }
    EXPECT_EQ(DocumentText::unpackLimit(1000), 16u << 20);
    EXPECT_EQ(DocumentText::unpackLimit(1u << 20), 64u << 20);
    EXPECT_EQ(DocumentText::unpackLimit(100u << 20), 256u << 20);
}

} // namespace
