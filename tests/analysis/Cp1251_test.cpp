// The code page table, against the C library's converter.
#include "Win1251.h"
#include "analysis/Cp1251.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(Cp1251, AgreesWithIconvOnEveryAssignedByte) {
    for (unsigned b = 0; b < 256; ++b) {
        if (b == 0x98)
            continue;
        const std::string byte(1, static_cast<char>(b));
        std::string ours;
        Cp1251::appendUtf8(byte, ours);
        EXPECT_EQ(ours, testing::utf8(byte)) << "byte 0x" << std::hex << b;
    }
}

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (unsigned b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    std::string utf8;
    Cp1251::appendUtf8(all, utf8);
    std::string back;
    Cp1251::appendFromUtf8(utf8, back);
    EXPECT_EQ(back, all);
    EXPECT_EQ(Cp1251::toUnicode(0x98), U'\u0098');
    EXPECT_EQ(Cp1251::fromUnicode(U'\u0098'), 0x98);
}

TEST(Cp1251, WhatTheCodePageLacksBecomesAQuestionMark) {
    std::string back;
    Cp1251::appendFromUtf8("a\u00E9b\u4E2D\U0001F600c\u2116", back);
    EXPECT_EQ(back, "a?b??c\xB9");
    back.clear();
    // Malformed UTF-8: a stray continuation byte, a cut sequence at the end.
    Cp1251::appendFromUtf8("x\x80y\xD0", back);
    EXPECT_EQ(back, "x?y?");
}

} // namespace
} // namespace quillmark
