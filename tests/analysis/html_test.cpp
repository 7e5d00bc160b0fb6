// HTML reduction: readable body text, code page round trip, and pages that
// are not quite (or not at all) HTML.
#include "Win1251.h"
#include "analysis/udShingles.h"

#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace quillmark {
namespace {

using testing::cp;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(QUILLMARK_ANALYSIS_FIXTURES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// Compares readable UTF-8 renderings so a failure shows the Russian text.
#define EXPECT_TEXT(html, expectedUtf8)                                                            \
    EXPECT_EQ(testing::utf8(HtmlToText(cp(html))), std::string(expectedUtf8))

TEST(HtmlToText, Fixtures) {
    for (const char* name : {"article", "legacy"}) {
        const std::string expected = fixture(std::string(name) + ".txt");
        EXPECT_EQ(testing::utf8(HtmlToText(fixture(std::string(name) + ".html"))),
                  testing::utf8(expected))
            << name;
    }
}

TEST(HtmlToText, HiddenElementsGiveNothing) {
    EXPECT_TEXT("<html><head><title>окно</title><style>b{}</style></head>"
                "<body>да<script>нет()</script><noscript>нет</noscript>"
                "<template>нет</template><!-- нет --></body></html>",
                "да");
    EXPECT_TEXT("<p>один</p><script>document.write('<p>два</p>')</script><p>три</p>", "один\nтри");
}

// Words an inline style hides pad a copy unseen: unmasking leaves them out;
// without it the page reads as it always did.
TEST(HtmlToText, TextHiddenByAnInlineStyleGoesOnlyWhenUnmasking) {
    const std::string page =
        "<p>seen <span style=\"DISPLAY : None\">pad1</span>one "
        "<b style=\"color:red; visibility:hidden\">pad2 <i>pad3</i></b>two "
        "<span style=\"display:inline\">three</span> <span style=\"visibility:visible\">four"
        "</span></p><div style=\"display: none\"><p>pad4</p></div><p>five</p>";
    EXPECT_EQ(HtmlToText(page, {}, Unmask::On), "seen one two three four\nfive");
    EXPECT_EQ(HtmlToText(page, {}, Unmask::Off),
              "seen pad1one pad2 pad3two three four\npad4\nfive");
    EXPECT_EQ(HtmlToText(page), HtmlToText(page, {}, Unmask::Off));
}

TEST(HtmlToText, EntitiesAndCharactersOutsideTheCodePage) {
    EXPECT_TEXT("&lt;a&gt; &amp; &quot;b&quot; &#1046;&#x436; &laquo;x&raquo; &mdash; &euro;",
                "<a> & \"b\" Жж «x» — €");
    // The code page has no e acute, no CJK and no emoji: each becomes '?'.
    EXPECT_EQ(HtmlToText("&eacute;&#x4E2D;&#128512;!"), "?"
                                                        "?"
                                                        "?!");
    EXPECT_EQ(HtmlToText("a&nbsp;b"), "a\xA0"
                                      "b");
    EXPECT_EQ(HtmlToText("&unknown; 5 < 6"), "&unknown; 5 < 6");
}

TEST(HtmlToText, WhiteSpaceAndLineBreaks) {
    EXPECT_TEXT("  много   пробелов\r\n\tи\rстрок  ", "много пробелов и строк");
    EXPECT_TEXT("<p>мама</p><p>мыла</p><div><div>раму</div></div>", "мама\nмыла\nраму");
    EXPECT_TEXT("<b>ма</b>ма <i> мыла </i> раму", "мама мыла раму");
    EXPECT_TEXT("раз<br>два<br/><br>три", "раз\nдва\n\nтри");
    EXPECT_TEXT("<ul><li>а</li><li>б</li></ul><h2>в</h2><blockquote>г</blockquote>"
                "<section>д</section><article>е</article>",
                "а\nб\nв\nг\nд\nе");
    EXPECT_TEXT("<table><tr><td>1</td><td>2</td></tr><tr><th>3</th></tr></table>", "1 2\n3");
    // Inside pre every blank counts, and a CR LF becomes a lone LF.
    EXPECT_TEXT("до<pre> a  b\r\n\r\n  c</pre>после", "до\n a  b\n\n  c\nпосле");
    EXPECT_EQ(HtmlToText("<pre>x\ry</pre>"), "x\ny");
    // An empty pre ends where it starts.
    EXPECT_EQ(HtmlToText("<pre></pre>a   b<textarea></textarea>c \r\n d"), "a b\nc d");
}

TEST(HtmlToText, NoLineEndJoinsWordsAcrossBlocks) {
    // Line ends the reduction keeps are lone LFs, so the splitting step does
    // not glue the last word of a block to the first of the next.
    const std::string html = fixture("article.html");
    const std::string text = HtmlToText(html);
    EXPECT_EQ(text.find("\r\n"), std::string::npos);

    TudShingleList fromHtml, fromPlain;
    ShinglesFromText(cp("<p>Мама</p><p>мыла</p><div>раму</div>"), Truncation::Off,
                     HtmlHandling::Cut, 1, fromHtml);
    ShinglesFromText(cp("Мама мыла раму"), Truncation::Off, HtmlHandling::Keep, 1, fromPlain);
    EXPECT_EQ(fromHtml.Hashes, fromPlain.Hashes);
}

TEST(HtmlToText, AmpersandBeforeALongRunOfLettersKeepsThemAll) {
    // No entity has a Cyrillic name: the ampersand and the letters stay, at
    // every position of the run in the parser's input.
    const std::string run = "&qu" + std::string(99, '\xFF') + "ot;";
    for (std::size_t tail = 0; tail < 400; ++tail) {
        const std::string text = HtmlToText("&lt;&gt;]" + run + " " + std::string(tail, 'z'));
        ASSERT_EQ(text.substr(0, 3 + run.size()), "<>]" + run) << tail;
    }
}

TEST(HtmlToText, EncodingDeclarationsDoNotReinterpretTheBytes) {
    for (const char* head : {"<meta charset=\"windows-1251\">", "<meta charset=\"utf-8\">",
                             "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                             "charset=koi8-r\">",
                             "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>"})
        EXPECT_EQ(testing::utf8(HtmlToText(std::string(head) + cp("<p>Ёлка ёж</p>"))), "Ёлка ёж")
            << head;
}

TEST(HtmlToText, EveryHighByteSurvives) {
    // All bytes 0x80-0xFF, 0x98 included, come back as they went in.
    std::string high;
    for (unsigned b = 0x80; b < 0x100; ++b)
        high.push_back(static_cast<char>(b));
    EXPECT_EQ(HtmlToText("<p>" + high + "</p>"), high);
    EXPECT_EQ(HtmlToText(high), high);
}

TEST(HtmlToText, EmptyAndTagOnlyPages) {
    EXPECT_EQ(HtmlToText(""), "");
    EXPECT_EQ(HtmlToText("   \r\n"), "");
    EXPECT_EQ(HtmlToText("<html><head><title>x</title></head></html>"), "");
    EXPECT_EQ(HtmlToText("<br>"), "\n");
    EXPECT_EQ(HtmlToText("<!-- only a comment -->"), "");
}

TEST(HtmlToText, PlainTextWithTheSwitchOn) {
    // A plain file: its line ends are white space and separate words.
    EXPECT_TEXT("Мама мыла\r\nраму.\r\n", "Мама мыла раму.");
    // A NUL byte (never in a loaded file) does not end the page early.
    EXPECT_EQ(HtmlToText(std::string("a\0b", 3)), "a b");
}

TEST(HtmlToText, UnmatchedEndTagsAreHarmless) {
    // A stray end tag is dropped, as a browser drops it.
    EXPECT_TEXT("раз</span>два</div>три</x-y >четыре", "раздватричетыре");
    EXPECT_TEXT("<b>жир</b></b>ный", "жирный");
    // An end tag inside an attribute value or a comment is no end tag.
    EXPECT_TEXT("<a title=\"</q>\">ссылка</a><!-- </q> -->", "ссылка");
    EXPECT_TEXT("<a title=</q>слово</a>", "слово");
    EXPECT_TEXT("<q>цитата</q>", "цитата");
}

// Bad input: none of this may crash or cut the text short.

TEST(HtmlToTextBadInput, RandomBinary) {
    std::mt19937 rng(1);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(1 + rng() % 20000, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng());
        const std::string text = HtmlToText(bytes);
        EXPECT_LE(text.size(), bytes.size());
        EXPECT_EQ(text.find('\0'), std::string::npos);
        // The switch does no more than replace the text by its reduction.
        TudShingleList cut, reduced;
        ShinglesFromText(bytes, Truncation::On, HtmlHandling::Cut, 3, cut);
        ShinglesFromText(text, Truncation::On, HtmlHandling::Keep, 3, reduced);
        EXPECT_EQ(cut.Hashes, reduced.Hashes);
        EXPECT_EQ(cut.Count, static_cast<std::int32_t>(cut.Hashes.size()));
    }
}

TEST(HtmlToTextBadInput, DeepNesting) {
    std::string divs;
    for (int i = 0; i < 100000; ++i)
        divs += "<div>";
    divs += cp("глубоко");
    EXPECT_EQ(testing::utf8(HtmlToText(cp("начало") + divs + cp("конец"))), "начало\nглубоко"
                                                                            "конец");
    std::string closed = cp("начало") + divs;
    for (int i = 0; i < 100000; ++i)
        closed += "</div>";
    closed += cp("после");
    EXPECT_EQ(testing::utf8(HtmlToText(closed)), "начало\nглубоко\nпосле");

    std::string inlines;
    for (int i = 0; i < 100000; ++i)
        inlines += i % 2 ? "<b>" : "<span>";
    EXPECT_EQ(HtmlToText(inlines + "x"), "x");
}

TEST(HtmlToTextBadInput, AMegabyteOfUnclosedTags) {
    // The first pattern nests deepest and gets the whole megabyte; the others
    // take other ways through the parser, which a smaller page shows as well.
    const std::string patterns[] = {"<b><i><u><font>", "<p>",     "<li>",       "<table><tr><td>",
                                    "<div ",           "<!--",    "<a href=\"", "<select><option>",
                                    "</span>",         "</span>x"};
    for (const std::string& pattern : patterns) {
        const std::size_t size = pattern == patterns[0] ? 1 << 20 : 1 << 16;
        std::string page = "start ";
        while (page.size() < size)
            page += pattern;
        page += " end";
        const std::string text = HtmlToText(page);
        EXPECT_EQ(text.substr(0, 5), "start") << pattern;
        EXPECT_LE(text.size(), page.size()) << pattern;
    }
    std::string deepThenUnknownEnds;
    for (int i = 0; i < 100000; ++i)
        deepThenUnknownEnds += "<div>";
    for (int i = 0; i < 100000; ++i)
        deepThenUnknownEnds += "</span>";
    EXPECT_EQ(HtmlToText(deepThenUnknownEnds + "x"), "x");
    std::string deepThenEndsAndText = deepThenUnknownEnds.substr(0, 5 * 100000);
    for (int i = 0; i < 100000; ++i)
        deepThenEndsAndText += "</span>x";
    EXPECT_EQ(HtmlToText(deepThenEndsAndText), std::string(100000, 'x'));
}

TEST(HtmlToTextBadInput, TenMegabytesOfOneWord) {
    const std::string word(10 << 20, '\xC6');
    EXPECT_EQ(HtmlToText(word.substr(0, 1 << 16)), word.substr(0, 1 << 16));
    TudShingleList list;
    ShinglesFromText("<p>" + word + "</p>", Truncation::Off, HtmlHandling::Cut, 10, list);
    EXPECT_EQ(list.Hashes,
              (std::vector<std::uint32_t>{StrCrc32(std::string(word.size(), '\xE6'))}));
}

} // namespace
} // namespace quillmark
