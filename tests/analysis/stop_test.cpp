// Ending a long call early: every place a call asks its stop check can end
// it, the parse itself is asked too, and a check that never says yes
// changes nothing.
#include "analysis/HtmlTextExtractor.h"
#include "analysis/udShingles.h"

#include <functional>
#include <gtest/gtest.h>

namespace quillmark {
namespace {

// Pages of this many poll steps, so that each stage asks more than once.
constexpr std::size_t pageSteps = 3;

std::string page() {
    std::string html;
    while (html.size() < pageSteps * Stopped::pollBytes)
        html += "<p>word <b>bold</b> more text &amp; here</p>\r\n";
    return html;
}

// One paragraph of text: the filters, which ask at markup, ask once each,
// and only the parser's reading of the text asks more.
std::string paragraph() {
    std::string html = "<p>";
    while (html.size() < pageSteps * Stopped::pollBytes)
        html += "word more text here\n";
    return html + "</p>";
}

std::string fingerprintOf(std::string_view text, HtmlHandling html, const StopCheck& stop) {
    TudShingleList list;
    list.Hashes = {7};
    list.Count = 1;
    try {
        ShinglesFromText(text, Truncation::On, html, 4, list, stop);
    } catch (const Stopped&) {
        // A stopped call leaves the list as it was.
        EXPECT_EQ(list.Hashes, std::vector<std::uint32_t>{7});
        throw;
    }
    return std::string(reinterpret_cast<const char*>(list.Hashes.data()), list.Hashes.size() * 4);
}

struct Call {
    const char* name;
    std::function<std::string(const StopCheck&)> run;
    std::size_t leastAsks;
};

TEST(StopCheck, EveryAskCanEndTheCall) {
    const std::string html = page();
    const std::string text = paragraph();
    // Each pass over the page asks once per poll step after the first.
    const std::size_t perPass = pageSteps - 1;
    const Call calls[] = {
        // Two filters, a look between them and the parse, the parse.
        {"textOf",
         [&](const StopCheck& stop) {
             return HtmlTextExtractor::textOf(html, HtmlTextExtractor::EndTags::DropUnopened, stop);
         },
         3 * perPass + 1},
        {"textOf of a paragraph",
         [&](const StopCheck& stop) {
             return HtmlTextExtractor::textOf(text, HtmlTextExtractor::EndTags::DropUnopened, stop);
         },
         3 + perPass},
        {"HtmlToText", [&](const StopCheck& stop) { return HtmlToText(html, stop); },
         3 * perPass + 1},
        // The words of the page's text, which is shorter than the page.
        {"fingerprint of the page",
         [&](const StopCheck& stop) { return fingerprintOf(html, HtmlHandling::Cut, stop); },
         3 * perPass + 2},
        {"fingerprint of plain text",
         [&](const StopCheck& stop) { return fingerprintOf(html, HtmlHandling::Keep, stop); },
         pageSteps + 1},
    };
    for (const Call& call : calls) {
        const std::string unchecked = call.run({});
        std::size_t asks = 0;
        EXPECT_EQ(call.run([&] { return ++asks, false; }), unchecked) << call.name;
        EXPECT_GE(asks, call.leastAsks) << call.name;
        for (std::size_t stopAt = 1; stopAt <= asks; ++stopAt) {
            std::size_t asked = 0;
            EXPECT_THROW(call.run([&] { return ++asked == stopAt; }), Stopped)
                << call.name << " at ask " << stopAt;
            EXPECT_EQ(asked, stopAt) << call.name;
        }
    }
}

TEST(StopCheck, WhatTheCheckThrowsGoesThrough) {
    const std::string html = page();
    for (std::size_t throwAt = 1; throwAt <= 8; ++throwAt) {
        std::size_t asked = 0;
        const StopCheck failing = [&]() -> bool {
            if (++asked == throwAt)
                throw std::runtime_error("check failed");
            return false;
        };
        EXPECT_THROW(HtmlTextExtractor::textOf(html, HtmlTextExtractor::EndTags::Keep, failing),
                     std::runtime_error)
            << throwAt;
    }
}

} // namespace
} // namespace quillmark
