#include "cli/TextExcerpt.h"

#include <gtest/gtest.h>

using namespace quillmark;

namespace {

/// `count` words of five letters, one blank after each: word i is bytes
/// [6i, 6i + 5).
TextWords evenWords(int count) {
    TextWords text;
    for (int i = 0; i < count; ++i) {
        text.words.push_back({text.text.size(), text.text.size() + 5});
        text.text += "\xE0\xE1\xE2\xE3\xE4 ";
    }
    return text;
}

/// The passage of words [first, end) of evenWords.
Passage passage(std::int32_t first, std::int32_t end) {
    return {first, end, static_cast<std::size_t>(first) * 6,
            static_cast<std::size_t>(end - 1) * 6 + 5};
}

using Fragment = TextExcerpt::Fragment;

/// Bytes of words [first, end) of evenWords.
Fragment words(std::size_t first, std::size_t end) {
    return {first * 6, end * 6 - 1};
}

TEST(TextExcerptTest, ShortTextIsShownWhole) {
    const TextWords text = evenWords(100);
    const TextExcerpt excerpt = TextExcerpt::of(text, {passage(40, 50)});
    EXPECT_EQ(excerpt.fragments, (std::vector<Fragment>{{0, text.text.size()}}));
    EXPECT_FALSE(excerpt.shortened);
    EXPECT_TRUE(TextExcerpt::of(TextWords{}, {}).fragments.empty());
}

TEST(TextExcerptTest, LongTextShowsEachPassageWithItsContext) {
    const TextWords text = evenWords(4000); // 24,000 bytes
    ASSERT_GT(text.text.size(), TextExcerpt::WholeTextBytes);
    const int context = TextExcerpt::ContextWords;
    const TextExcerpt excerpt = TextExcerpt::of(text, {passage(1000, 1010), passage(2000, 2001)});
    EXPECT_EQ(excerpt.fragments, (std::vector<Fragment>{words(1000 - context, 1010 + context),
                                                        words(2000 - context, 2001 + context)}));
    EXPECT_FALSE(excerpt.shortened);
}

TEST(TextExcerptTest, PassagesWhoseContextsMeetShareAFragment) {
    const TextWords text = evenWords(4000);
    const int context = TextExcerpt::ContextWords;
    // Words 1010 + 30 and 1070 - 30 are the same: the contexts touch.
    EXPECT_EQ(TextExcerpt::of(text, {passage(1000, 1010), passage(1070, 1080)}).fragments,
              (std::vector<Fragment>{words(1000 - context, 1080 + context)}));
    // One word more between them leaves two fragments.
    EXPECT_EQ(TextExcerpt::of(text, {passage(1000, 1010), passage(1071, 1080)}).fragments.size(),
              2u);
}

TEST(TextExcerptTest, FragmentsAtTheEndsTakeTheRestOfTheText) {
    const TextWords text = evenWords(4000);
    const TextExcerpt excerpt = TextExcerpt::of(text, {passage(5, 8), passage(3990, 4000)});
    ASSERT_EQ(excerpt.fragments.size(), 2u);
    EXPECT_EQ(excerpt.fragments[0].begin, 0u);
    EXPECT_EQ(excerpt.fragments[1].end, text.text.size()) << "the blank after the last word";
}

TEST(TextExcerptTest, TheSizeBudgetCutsAfterAWholeWord) {
    const TextWords text = evenWords(20000); // 120,000 bytes, all shared
    const TextExcerpt excerpt = TextExcerpt::of(text, {passage(0, 20000)});
    ASSERT_EQ(excerpt.fragments.size(), 1u);
    EXPECT_TRUE(excerpt.shortened);
    const Fragment& fragment = excerpt.fragments[0];
    EXPECT_EQ(fragment.begin, 0u);
    EXPECT_LE(fragment.end, TextExcerpt::MaxShownBytes);
    EXPECT_GT(fragment.end, TextExcerpt::MaxShownBytes - 6);
    EXPECT_EQ(fragment.end % 6, 5u) << "the end of a word";
}

TEST(TextExcerptTest, TheSizeBudgetDropsLaterPassages) {
    const TextWords text = evenWords(40000);
    std::vector<Passage> passages;
    for (int first = 100; first + 10 < 40000; first += 200)
        passages.push_back(passage(first, first + 10));
    const TextExcerpt excerpt = TextExcerpt::of(text, passages);
    EXPECT_TRUE(excerpt.shortened);
    ASSERT_FALSE(excerpt.fragments.empty());
    EXPECT_LT(excerpt.fragments.size(), passages.size());
    std::size_t shown = 0;
    for (std::size_t i = 0; i < excerpt.fragments.size(); ++i) {
        shown += excerpt.fragments[i].end - excerpt.fragments[i].begin;
        if (i > 0) {
            EXPECT_GT(excerpt.fragments[i].begin, excerpt.fragments[i - 1].end);
        }
    }
    EXPECT_LE(shown, TextExcerpt::MaxShownBytes);
}

} // namespace
