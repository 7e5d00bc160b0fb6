// Cutting a tag's attributes: only whole attributes past the cap go, only
// from real start tags, and the parser gives the same text either way.
#include "analysis/AttributeCapFilter.h"
#include "analysis/HtmlTextExtractor.h"

#include <gtest/gtest.h>
#include <random>

namespace quillmark {
namespace {

TEST(AttributeCapFilter, CutsWholeAttributesPastTheCap) {
    struct Case {
        const char* html;
        const char* capped;
    };
    const Case cases[] = {
        {"<a x=1 y=2>t", "<a x=1 y=2>t"},
        {"<a x=1 y=2 z=3>t", "<a x=1 y=2 >t"},
        {"<A\tx = '1' y=\"2\"\nz w>t</A>", "<A\tx = '1' y=\"2\"\n>t</A>"},
        {"<br a b c/>t", "<br a b />t"},
        {"<a x=\"1 2 3\" y='>' z w>t", "<a x=\"1 2 3\" y='>' >t"},
        // Bytes the parser skips in an attribute's place count as one.
        {"<a \"j k\" y z>t", "<a \"j k>t"},
        {"<a x y z><b p q r>t", "<a x y ><b p q >t"},
        // Not a start tag, or not surely one: left alone.
        {"<!-- <a x y z> -->t", "<!-- <a x y z> -->t"},
        {"<script><a x y z></script>t", "<script><a x y z></script>t"},
        {"<?pi <a x y z> ?>t", "<?pi <a x y z> ?>t"},
        {"</a x y z>t", "</a x y z>t"},
        {"<a x=\"y z w", "<a x=\"y z w"},
        {"<a x y z w", "<a x y z w"},
        {"t<!x><a x y z>t", "t<!x><a x y z>t"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AttributeCapFilter::apply(c.html, 2), c.capped) << c.html;
}

TEST(AttributeCapFilter, SameTextAsWithAllAttributes) {
    const char* pieces[] = {"<div",  "<b",   "<p",     "<script", "<style", "<br", ">",
                            "/>",    " ",    "\n",     "x",       "x=1",    "=",   "'",
                            "\"",    "a b",  "</b>",   "</div>",  "<!--",   "-->", "</script>",
                            "word",  "<?pi", "<!x",    "&amp;",   "&",      "<",   "</",
                            "<pre>", "</p>", "</q y>", "<td",     "<tr",    "/"};
    std::mt19937 rng(11);
    for (int round = 0; round < 20000; ++round) {
        std::string html;
        const int count = 1 + static_cast<int>(rng() % 30);
        for (int i = 0; i < count; ++i)
            html += pieces[rng() % std::size(pieces)];
        for (const std::size_t kept : {0, 1})
            ASSERT_EQ(HtmlTextExtractor::textOf(AttributeCapFilter::apply(html, kept)),
                      HtmlTextExtractor::textOf(html))
                << kept << ' ' << html;
    }
}

TEST(AttributeCapFilter, TagWithAMillionAttributesIsRead) {
    std::string page = "<p>before<span";
    for (int i = 0; i < 1000000; ++i)
        page += " a" + std::to_string(i) + "=\"<" + std::to_string(i) + ">\"";
    page += ">inside</span>after</p><p>next";
    EXPECT_EQ(HtmlTextExtractor::textOf(page), "beforeinsideafter\nnext");
}

} // namespace
} // namespace quillmark
