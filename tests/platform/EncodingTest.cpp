#include "platform/Encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(Encoding, Windows1252ToUtf8AndBack)
{
    const std::string file = "Motor \xB0"
                             "C, 5 \xB5s, \x80 10, Gr\xFC\xDF"
                             "e, \x84"
                             "ok\x93";
    const std::string utf8 = platform::cp1252ToUtf8(file);
    EXPECT_EQ(utf8, "Motor \xC2\xB0"
                    "C, 5 \xC2\xB5s, \xE2\x82\xAC 10, Gr\xC3\xBC\xC3\x9F"
                    "e, \xE2\x80\x9E"
                    "ok\xE2\x80\x9C");
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
    EXPECT_EQ(platform::utf8ToCp1252("\xFF"
                                     "b"),
              "?b");
}

TEST(Encoding, Utf16GivesBackEveryCodeUnit)
{
    // 'A', a surrogate pair (U+1F3CD), a lone trail and a lone lead surrogate.
    const std::string le("A\0\x3C\xD8\xCD\xDF\x00\xDC\x00\xD8", 10);
    const std::string utf8 = platform::utf16ToUtf8(le, false);
    EXPECT_EQ(utf8, "A\xF0\x9F\x8F\x8D\xED\xB0\x80\xED\xA0\x80");
    EXPECT_EQ(platform::utf8ToUtf16(utf8, false), le);
    EXPECT_EQ(platform::utf16ToUtf8(le + "\x41", false), utf8); // half a unit is dropped

    std::string be;
    for (std::size_t i = 0; i < le.size(); i += 2) {
        be += le[i + 1];
        be += le[i];
    }
    EXPECT_EQ(platform::utf16ToUtf8(be, true), utf8);
    EXPECT_EQ(platform::utf8ToUtf16(utf8, true), be);
}

TEST(Encoding, BrokenUtf8NeverBecomesALineBreak)
{
    const std::string overlongLineBreak = "\xC0\x8A";
    EXPECT_EQ(platform::utf8ToUtf16(overlongLineBreak, false), "\xFD\xFF\xFD\xFF");
    EXPECT_EQ(platform::utf8ToCp1252(overlongLineBreak), "??");
}

} // namespace
