#include "text8.h"

#include <gtest/gtest.h>

TEST(Text8, CentralEuropeanLettersMapToTheirCodePage)
{
    EXPECT_EQ(orvex::utf8ToWindows1250("Za\u017C\u00F3\u0142\u0107 ge\u015Bl\u0105 ja\u017A\u0144"),
              "Za\xBF\xF3\xB3\xE6 ge\x9Cl\xB9 ja\x9F\xF1");
    EXPECT_EQ(orvex::utf8ToWindows1250("\u20AC \u2122 \u02D9"), "\x80 \x99 \xFF");
    EXPECT_EQ(orvex::windows1250ToUtf8("\xBF\xF3\xB3\xE6"), "\u017C\u00F3\u0142\u0107");
}

TEST(Text8, WhatTheCodePageLacksBecomesAQuestionMark)
{
    EXPECT_EQ(orvex::utf8ToWindows1250("\u65E5\u672C \u00E5 \U0001F3B5"), "?? ? ?");
    // Broken UTF-8 does not stop the conversion.
    EXPECT_EQ(orvex::utf8ToWindows1250("a\xC3(b\xE2\x82"), "a?(b?");
    EXPECT_EQ(orvex::utf8ToWindows1250("plain ASCII 'x' <?>"), "plain ASCII 'x' <?>");
}
