#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

using namespace quillmark;

namespace {

QString bar(int filled) {
    return u'[' + QString(filled, u'#') + QString(ProgressLine::barWidth - filled, u'.') + u']';
}

TEST(ProgressLineTest, BarFollowsThePositionWithinTheRange) {
    ProgressLine line(QStringLiteral("Загрузка текстов"));
    line.setRange(0, 4);
    line.setCounter(QStringLiteral("1/4"));
    line.setPosition(1);
    EXPECT_EQ(line.text(), QStringLiteral("Загрузка текстов  1/4 ") + bar(7));
    line.setPosition(2);
    EXPECT_EQ(line.text().right(ProgressLine::barWidth + 2), bar(15));
    line.setPosition(4);
    EXPECT_EQ(line.text().right(ProgressLine::barWidth + 2), bar(30));
}

TEST(ProgressLineTest, PositionsOutsideTheRangeAreClamped) {
    ProgressLine line(QStringLiteral("x"));
    // Files loaded beyond the listed total (4 of 3) still show a full bar.
    line.setRange(0, 3);
    line.setPosition(4);
    EXPECT_EQ(line.text(), QStringLiteral("x ") + bar(30));
    line.setPosition(-2);
    EXPECT_EQ(line.text(), QStringLiteral("x ") + bar(0));
}

TEST(ProgressLineTest, EmptyRangeShowsAnEmptyBarUntilSomethingIsDone) {
    ProgressLine line(QStringLiteral("x"));
    line.setRange(0, 0);
    EXPECT_EQ(line.text(), QStringLiteral("x ") + bar(0));
    line.setRange(0, -1);
    line.setPosition(1);
    EXPECT_EQ(line.text(), QStringLiteral("x ") + bar(30));
    line.setRange(0, 2'000'000'000);
    line.setPosition(1'999'999'999);
    EXPECT_EQ(line.text(), QStringLiteral("x ") + bar(29)) << "no overflow on large counts";
}

} // namespace
