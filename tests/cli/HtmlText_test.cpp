#include "cli/HtmlText.h"

#include <QString>
#include <gtest/gtest.h>

using namespace quillmark;

namespace {

std::string fromCp1251(std::string_view text) {
    std::string html;
    HtmlText::appendCp1251(text, html);
    return html;
}

TEST(HtmlTextTest, MarkupCharactersBecomeReferences) {
    EXPECT_EQ(HtmlText::escaped(u"a<b>&c\"d'e"), "a&lt;b&gt;&amp;c&quot;d&#39;e");
    EXPECT_EQ(HtmlText::escaped(u"<script>alert(1)</script>"),
              "&lt;script&gt;alert(1)&lt;/script&gt;");
    EXPECT_EQ(HtmlText::escaped(u"&amp;"), "&amp;amp;") << "a reference in the data stays text";
    EXPECT_EQ(HtmlText::escaped(u"Статья №1.txt"), "Статья №1.txt");
    EXPECT_EQ(HtmlText::escaped(u""), "");
}

TEST(HtmlTextTest, LineBreaksBecomeLineFeedsAndControlsReplacementCharacters) {
    EXPECT_EQ(HtmlText::escaped(u"one\r\ntwo\rthree\nfour\tfive"), "one\ntwo\nthree\nfour\tfive");
    EXPECT_EQ(HtmlText::escaped(QString::fromUtf8("a\x01"
                                                  "b\x1F"
                                                  "c\x7F")),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD"
              "c\xEF\xBF\xBD");
    EXPECT_EQ(HtmlText::escaped(QStringView(u"a\0b", 3)), "a\xEF\xBF\xBD"
                                                          "b");
    EXPECT_EQ(HtmlText::escaped(u"end\r"), "end\n");
}

TEST(HtmlTextTest, Windows1251BytesBecomeUtf8) {
    // "Привет, <мир> & ёж" in Windows-1251.
    EXPECT_EQ(fromCp1251("\xCF\xF0\xE8\xE2\xE5\xF2, <\xEC\xE8\xF0> & \xB8\xE6\r\n"),
              "Привет, &lt;мир&gt; &amp; ёж\n");
    EXPECT_EQ(fromCp1251("\x96\x97\xAB\xBB\xB9"), "–—«»№");
    // 0x98 is no character of the code page.
    EXPECT_EQ(fromCp1251("a\x98"
                         "b\x98"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_EQ(fromCp1251(std::string_view("\0\"'", 3)), "\xEF\xBF\xBD&quot;&#39;");
}

TEST(HtmlTextTest, AppendingKeepsWhatIsThere) {
    std::string html = "<p>";
    HtmlText::append(u"x&y", html);
    HtmlText::appendUtf8("<", html);
    EXPECT_EQ(html, "<p>x&amp;y&lt;");
}

} // namespace
