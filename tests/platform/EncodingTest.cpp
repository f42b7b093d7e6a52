#include "platform/Encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(Encoding, Windows1252ToUtf8AndBack)
{
    const std::string file = "Motor \xB0" "C, 5 \xB5s, \x80 10, Gr\xFC\xDF" "e, \x84" "ok\x93";
    const std::string utf8 = platform::cp1252ToUtf8(file);
    EXPECT_EQ(utf8, "Motor \xC2\xB0" "C, 5 \xC2\xB5s, \xE2\x82\xAC 10, Gr\xC3\xBC\xC3\x9F" "e, \xE2\x80\x9E" "ok\xE2\x80\x9C");
    EXPECT_EQ(platform::utf8ToCp1252(utf8), file);
}

TEST(Encoding, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(platform::utf8ToCp1252(platform::cp1252ToUtf8(all)), all);
}

TEST(Encoding, UnmappableAndBrokenInputBecomesQuestionMarks)
{
    EXPECT_EQ(platform::utf8ToCp1252("\xCE\xBB=1"), "?=1");     // lambda
    EXPECT_EQ(platform::utf8ToCp1252("\xF0\x9F\x8F\x8D"), "?"); // a motorbike emoji
    EXPECT_EQ(platform::utf8ToCp1252("a\xC3"), "a?");           // cut sequence
    EXPECT_EQ(platform::utf8ToCp1252("\xFF" "b"), "?b");
}

} // namespace
