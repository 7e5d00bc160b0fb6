// Dropping end tags that close nothing: it must never change the text the
// parser gives, whatever the markup around the tag.
#include "analysis/HtmlTextExtractor.h"
#include "analysis/UnopenedEndTagFilter.h"

#include <gtest/gtest.h>
#include <random>

namespace quillmark {
namespace {

std::string textWith(std::string_view html) {
    return HtmlTextExtractor::textOf(html);
}

std::string textWithout(std::string_view html) {
    return HtmlTextExtractor::textOf(html, HtmlTextExtractor::EndTags::Keep);
}

TEST(UnopenedEndTagFilter, DropsOnlyEndTagsThatCloseNothing) {
    EXPECT_EQ(UnopenedEndTagFilter::apply("<div>a</span>b</div>"), "<div>ab</div>");
    EXPECT_EQ(UnopenedEndTagFilter::apply("<div>a</SPAN >b"), "<div>ab");
    // Opened before, implied by the parser, or not a plain "</x>": kept.
    for (const char* kept : {"x<b>a</b>b", "x<B>a</b>b", "x</p>b", "x</body>b", "x</q y>b",
                             "x</1>b", "x<i title='</q>'>b", "x<!-- </q> -->b", "x<?pi </q>b"})
        EXPECT_EQ(UnopenedEndTagFilter::apply(kept), kept);
    // Browsers read "</br>" as a line break.
    EXPECT_EQ(UnopenedEndTagFilter::apply("x</br>b"), "x<br>b");
    EXPECT_EQ(textWith("a</br>b"), "a\nb");
}

TEST(UnopenedEndTagFilter, EndTagsInsideOtherMarkupStay) {
    // Each "</q>" here is part of a start tag, a processing instruction or a
    // declaration, whose end is the ">" of that "</q>".
    for (const char* html :
         {"<a title=foo</q>word</a>", "<div </q>text", "<x a=b </q>vis", "<br </q>>vis",
          "x<?php echo '</q>'; ?>tail", "<!DOCTYPE </q>>vis", "<a title=</q>word</a>",
          // The parser leaves the script at "</p>", then reads the
          // declaration oddly.
          "'<script></p><!DOCTYPE</script></q>"}) {
        EXPECT_EQ(UnopenedEndTagFilter::apply(html), html);
        EXPECT_EQ(textWith(html), textWithout(html)) << html;
    }
    EXPECT_EQ(textWith("<a title=foo</q>word</a>"), "word");
}

TEST(UnopenedEndTagFilter, NoNewMarkupFromTheJoin) {
    // Without the tag, the text on either side must not run together into an
    // entity reference, a tag or the end of a comment.
    for (const char* html : {"x&am</q>p;y", "x&</q>amp;y", "x&#6</q>5;y", "x<</q>b>y</b>",
                             "x</</q>b>y", "<!-- a -</q>-> b -->y",
                             "<p>a<script>x</p>"
                             "<!x</script></q>y"})
        EXPECT_EQ(textWith(html), textWithout(html)) << html;
    EXPECT_EQ(textWith("x&am</q>p;y"), "x&amp;y");
}

TEST(UnopenedEndTagFilter, SameTextAsWithoutItOnRandomMarkup) {
    // Pieces of markup that meet in every odd way. Two differences are
    // allowed and only in one direction: libxml2 drops white space before
    // an end tag in some places, and a stray "<" before the first element,
    // which a browser would show; with the tag gone, it may keep them.
    const char* pieces[] = {
        "<div>",   "</div>",   "<b>",       "</b>",       "</q>",    "</x >",    "</Q>",
        "<p>",     "</p>",     "<a title=", "<a ",        "\"",      "'",        ">",
        "<",       "&",        "amp;",      "am",         "p;",      "<!--",     "-->",
        "--!>",    "--",       "-",         "!",          "<?",      "<?xml ",   "<!DOCTYPE html ",
        "<!x ",    "<script>", "</script>", "</scriptx>", "<style>", "</style>", "<textarea>",
        "<title>", "</title>", " ",         "\n",         "\r",      "word",     "\xD0\x96",
        "=",       "/",        "/>",        "</",         "<br>",    "<pre>",    "</pre>",
        "#",       ";",        "x",         "<x-y>",      "</x-y>",  "<q>",      "&#",
        "65",      "<td>",     "<table>",   "<tr>",       "</tr>",   "</td>",    "<head>",
        "</head>", "<body>",   "</html>",   "<li>",       "<span>",  "</span>",  "?",
        "</ x>",   "</1>",     "</_y>",     "<_y>"};
    auto visible = [](const std::string& text) {
        std::string kept;
        for (const char c : text)
            if (c != ' ' && c != '\n' && c != '\t' && c != '\r' && c != '<')
                kept.push_back(c);
        return kept;
    };
    std::mt19937 rng(2026);
    for (int round = 0; round < 20000; ++round) {
        std::string html;
        const int count = 1 + static_cast<int>(rng() % 25);
        for (int i = 0; i < count; ++i)
            html += pieces[rng() % std::size(pieces)];
        ASSERT_EQ(visible(textWith(html)), visible(textWithout(html))) << html;
    }
}

} // namespace
} // namespace quillmark
