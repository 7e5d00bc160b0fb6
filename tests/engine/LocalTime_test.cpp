#include "engine/LocalTime.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace quillmark::test {
namespace {

// The test runs with LC_ALL=C, whose time format is %H:%M:%S; a global locale
// set by the program must not change what the log shows.
TEST(LocalTime, FollowsTheEnvironmentNotTheGlobalLocale) {
    LocalTime clock;
    std::tm time{};
    time.tm_hour = 7;
    time.tm_min = 5;
    time.tm_sec = 9;
    EXPECT_EQ(clock.format(time), QStringLiteral("07:05:09"));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(clock.now()).hasMatch());
}

TEST(LocalTime, UnknownLocaleFallsBackToC) {
    ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
    LocalTime clock;
    ::setenv("LC_ALL", "C", 1);
    std::tm time{};
    time.tm_hour = 23;
    EXPECT_EQ(clock.format(time), QStringLiteral("23:00:00"));
}

} // namespace
} // namespace quillmark::test
