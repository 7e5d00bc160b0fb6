// Reading RTF documents: the text a word processor shows, in UTF-8, a line
// per paragraph, whatever code page or escape carries its letters; damaged
// documents are refused with a reason. Whole articles saved as RTF are read
// in the engine's reading tests.
#include "Win1251.h"
#include "analysis/RtfText.h"
#include "analysis/TextReader.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quillmark;
using namespace std::string_literals;
using quillmark::testing::cp;

namespace {

constexpr std::size_t noLimit = std::size_t{1} << 30;

struct Row {
    const char* what;
    std::string rtf;
    std::string text; // UTF-8
};

void expectTexts(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        try {
            EXPECT_EQ(RtfText::paragraphsOf(row.rtf, nullptr, noLimit), row.text) << row.what;
        } catch (const UnreadableText& error) {
            ADD_FAILURE() << row.what << ": " << error.what();
        }
    }
}

TEST(RtfText, ControlWordsAndSymbols) {
    expectTexts({
        {"plain text", "{\\rtf1 Hello world}", "Hello world\n"},
        {"paragraphs and line breaks", "{\\rtf1 one\\par two\\line three\\par}",
         "one\ntwo\nthree\n"},
        {"a backslash before a line end is a paragraph", "{\\rtf1 a\\\r\nb\\\nc}", "a\nb\nc\n"},
        {"the writer's own line ends are no text", "{\\rtf1 wo\r\nrd\nend\r}", "wordend\n"},
        {"one blank after a control word delimits it", "{\\rtf1\\b bold\\b0  plain}",
         "bold plain\n"},
        {"a parameter, negative or not, ends at a non-digit", "{\\rtf1\\fi-360\\li720Text\\fs24-x}",
         "Text-x\n"},
        {"escaped backslash and braces", "{\\rtf1 a\\\\b\\{c\\}d}", "a\\b{c}d\n"},
        {"no-break space, optional and non-breaking hyphens", "{\\rtf1 a\\~b hy\\-phen x\\_y}",
         "a\u00A0b hyphen x\u2011y\n"},
        {"table cells and rows",
         "{\\rtf1\\trowd\\cellx1000\\cellx2000 a\\cell b\\cell\\row\\pard c\\cell\\row d}",
         "a\nb\nc\nd\n"},
        {"padding after the document", "{\\rtf1 a}\r\n\0\0 "s, "a\n"},
        {"a UTF-8 byte-order mark and blanks before it", "\xEF\xBB\xBF \r\n{\\rtf1 a}", "a\n"},
    });
}

TEST(RtfText, DestinationsWithoutBodyTextAreSkipped) {
    const std::vector<Row> rows = {
        {"tables of fonts, colours and styles, and the information group",
         "{\\rtf1{\\fonttbl{\\f0 Times;}{\\f1{\\*\\panose 0203}Arial;}}"
         "{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}{\\s1 heading 1;}}"
         "{\\info{\\title Title}{\\author Author}}body}",
         "body\n"},
        {"an ignorable destination, known or not",
         "{\\rtf1 a{\\*\\unknown x{y}}{\\*\\bkmkstart b1}b}", "ab\n"},
        {"a picture's hex data", "{\\rtf1 a{\\pict\\pngblip\\picw10 89504e470d0a}b}", "ab\n"},
        {"binary data holding braces, backslashes and NULs",
         "{\\rtf1 a{\\pict\\bin6 }{\\\0\xFF}}b{\\pict\\bin2 {}}c}"s, "abc\n"},
        {"a field's instruction is left, its result kept",
         "{\\rtf1 see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt{\\ul link}}}"
         "{\\field{\\fldinst PAGE}{\\fldrslt 3}}}",
         "see link3\n"},
        {"list numbers are the writer's, not the text's",
         "{\\rtf1{\\listtext\\pard 1.\\tab}item{\\pntext\\f1 \\'b7\\tab}next}", "itemnext\n"},
        {"nothing inside a skipped group comes back",
         "{\\rtf1 a{\\footnote x{\\fldrslt y}{\\*\\z w}{\\v v}\\par}b}", "ab\n"},
    };
    expectTexts(rows);
}

TEST(RtfText, CodePagesOfTheDocumentAndItsFonts) {
    const std::string fonts = "{\\fonttbl{\\f0\\froman\\fcharset204 Times;}"
                              "{\\f1\\fswiss\\fcharset0 Arial;}{\\f2\\fcharset1 Default;}"
                              "{\\f3\\fcharset0\\cpg866 Terminal;}}";
    expectTexts({
        {"\\ansicpg1251", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}", "Привет\n"},
        {"Western by default", "{\\rtf1\\ansi caf\\'e9 \\'C9T\\'C9}", "café ÉTÉ\n"},
        {"\\fcharset204 over a Western document",
         "{\\rtf1\\ansi\\ansicpg1252\\deff1" + fonts + "\\f0 \\'cf\\'f0\\'e8 \\f1 caf\\'e9}",
         "При café\n"},
        {"\\fcharset1 reads in the document's code page",
         "{\\rtf1\\ansi\\ansicpg1251" + fonts + "\\f2 \\'e4\\'e0}", "да\n"},
        {"\\cpg wins over \\fcharset", "{\\rtf1\\ansi" + fonts + "\\f3 \\'a4\\'a0}", "да\n"},
        {"CP866", "{\\rtf1\\ansi\\ansicpg866 \\'8f\\'e0\\'a8}", "При\n"},
        {"KOI8-R", "{\\rtf1\\ansi\\ansicpg20866 \\'f0\\'d2\\'c9}", "При\n"},
        {"MacCyrillic", "{\\rtf1\\ansi\\ansicpg10007 \\'8f\\'f0\\'e8}", "При\n"},
        {"ISO-8859-5", "{\\rtf1\\ansi\\ansicpg28595 \\'bf\\'e0\\'d8}", "При\n"},
        {"unescaped 8-bit bytes", "{\\rtf1\\ansi\\ansicpg1251 \xcf\xf0\xe8}", "При\n"},
        {"a cut \\'h is dropped", "{\\rtf1\\ansi a\\'4x\\'}", "ax\n"},
    });
}

TEST(RtfText, UnicodeEscapesAndTheirFallbacks) {
    expectTexts({
        {"one fallback character each", "{\\rtf1 \\u1055?\\u1088?\\u1080?}", "При\n"},
        {"negative values count from 65536", "{\\rtf1 \\u-25896?\\u-3?}", "高\uFFFD\n"},
        {"\\uc0: no fallback", "{\\rtf1\\uc0\\u1055\\u1088 x}", "Прx\n"},
        {"a \\'hh fallback in the document's code page",
         "{\\rtf1\\ansi\\ansicpg1251\\u1055\\'cf\\u1088\\'f0}", "Пр\n"},
        {"\\ucN holds for its group only", "{\\rtf1{\\uc2\\u1055ab}\\u1088?c}", "Прc\n"},
        {"a brace ends the fallback", "{\\rtf1{\\uc3\\u1055a}b\\uc3\\u1088{}c}", "Пbрc\n"},
        {"a character beyond U+FFFF as two halves", "{\\rtf1 \\u-10179?\\u-8704?!}",
         "\U0001F600!\n"},
        {"a half without its other half", "{\\rtf1 \\u-10179?x\\u-8704?y}", "\uFFFDx\uFFFDy\n"},
    });
}

TEST(RtfText, HiddenAndDeletedTextAreLeftOut) {
    struct HiddenRow {
        const char* what;
        std::string rtf;
        std::string text;
        std::string hidden;
    };
    const HiddenRow rows[] = {
        {"a hidden group and a hidden run",
         "{\\rtf1 one {\\v secret words} two\\v  three\\v0  four}", "one  two four\n",
         "secret words\n three\n"},
        {"\\plain ends hiding", "{\\rtf1\\v x\\plain y}", "y\n", "x\n"},
        {"line ends stay in the text", "{\\rtf1\\v a\\par b\\v0 c}", "\nc\n", "a\nb\n"},
        {"all hidden is still a document", "{\\rtf1\\v only hidden}", "", "only hidden\n"},
        {"deleted text goes nowhere", "{\\rtf1 a{\\deleted x}b\\deleted y\\deleted0 c}", "abc\n",
         ""},
    };
    for (const HiddenRow& row : rows) {
        std::string hidden;
        EXPECT_EQ(RtfText::paragraphsOf(row.rtf, &hidden, noLimit), row.text) << row.what;
        EXPECT_EQ(hidden, row.hidden) << row.what;
    }
    const TextReader::Result read =
        TextReader::read("{\\rtf1 seen {\\v two words} too}", HtmlHandling::Keep);
    EXPECT_EQ(read.text, "seen  too\n");
    EXPECT_EQ(read.hiddenWords, 2);
}

void expectRefused(const std::string& rtf, const char* reason, std::size_t limit = noLimit) {
    try {
        RtfText::paragraphsOf(rtf, nullptr, limit);
        ADD_FAILURE() << rtf.substr(0, 60) << " was read";
    } catch (const UnreadableText& error) {
        EXPECT_STREQ(error.what(), reason) << rtf.substr(0, 60);
        EXPECT_EQ(error.format(), TextFormat::Rtf);
    }
}

std::string nested(std::size_t groups) {
    return "{\\rtf1" + std::string(groups - 1, '{') + "a" + std::string(groups, '}');
}

TEST(RtfText, DamagedDocumentsAreRefused) {
    const char* const damaged = "документ повреждён";
    const char* const empty = "в RTF нет текста";
    const struct {
        std::string rtf;
        const char* reason;
    } rows[] = {
        {"{\\rtf1 text", damaged},
        {"{\\rtf1 text}}", damaged},
        {"{\\rtf1 a}b", damaged},
        {"{\\rtf1 a\\", damaged},
        {"{\\rtf1 a\\bin100 xx}", damaged},
        {"hello", damaged},
        {"{\\rtf1}", empty},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard\\par \\tab\\par}", empty},
        {"{\\rtf1{\\pict\\wmetafile8 0102ab}}", empty},
        {nested(RtfText::maxDepth + 1), "в RTF больше 1000 вложенных групп"},
    };
    for (const auto& row : rows)
        expectRefused(row.rtf, row.reason);
    EXPECT_EQ(RtfText::paragraphsOf(nested(RtfText::maxDepth), nullptr, noLimit), "a\n");

    // The limit counts the hidden text too.
    const char* const tooLong =
        "документ распаковывается больше допустимого (в 64 раза больше файла или больше 256 МБ)";
    EXPECT_EQ(RtfText::paragraphsOf("{\\rtf1 abc{\\v de}}", nullptr, 7), "abc\n");
    expectRefused("{\\rtf1 abc{\\v def}}", tooLong, 7);
    expectRefused("{\\rtf1 \\u1087?\\u1087?\\u1087?\\u1087?}", tooLong, 7);
}

TEST(RtfText, RecognisedByItsContent) {
    struct FormatRow {
        std::string bytes;
        TextFormat format;
    };
    const FormatRow rows[] = {
        {"{\\rtf1 a}", TextFormat::Rtf},
        {" \r\n\t{\\rtf1 a}", TextFormat::Rtf},
        {"x{\\rtf1 a}", TextFormat::Text},
        {"{ \\rtf1 a}", TextFormat::Text},
    };
    for (const FormatRow& row : rows) {
        EXPECT_EQ(DocumentText::formatOf(row.bytes), row.format) << row.bytes;
        EXPECT_EQ(TextReader::needsWholeFile(row.bytes), row.format == TextFormat::Rtf)
            << row.bytes;
    }

    // Read as a document whatever the HTML switch says; the NUL of its
    // binary data ends nothing.
    const std::string rtf = "{\\rtf1\\ansi\\ansicpg1251{\\pict\\bin3 \0\0\0}\\'e4\\'e0 <b>}"s;
    for (const HtmlHandling html : {HtmlHandling::Keep, HtmlHandling::Cut}) {
        const TextReader::Result read = TextReader::read(rtf, html, Encoding::Koi8R);
        EXPECT_EQ(read.origin, (TextOrigin{TextFormat::Rtf, Encoding::Auto}));
        EXPECT_EQ(read.text, cp("да <b>\n"));
    }
}

} // namespace
