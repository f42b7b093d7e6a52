#include "platform/NumberFormat.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace {

TEST(FormatFixed, ExactHalvesRoundAwayFromZero)
{
    EXPECT_EQ(platform::formatFixed(12.5, 0), "13");
    EXPECT_EQ(platform::formatFixed(0.5, 0), "1");
    EXPECT_EQ(platform::formatFixed(2.5, 0), "3");
    EXPECT_EQ(platform::formatFixed(-2.5, 0), "-3");
    EXPECT_EQ(platform::formatFixed(0.125, 2), "0.13");
    EXPECT_EQ(platform::formatFixed(99.5, 0), "100");
    EXPECT_EQ(platform::formatFixed(-9.95, 1), "-9.9"); // 9.95 is below the half in binary
    EXPECT_EQ(platform::formatFixed(9.25, 1), "9.3");
}

TEST(FormatFixed, OrdinaryValues)
{
    EXPECT_EQ(platform::formatFixed(1666.6666, 0), "1667");
    EXPECT_EQ(platform::formatFixed(0.0078800000, 10), "0.0078800000");
    EXPECT_EQ(platform::formatFixed(5.0, 6), "5.000000");
    EXPECT_EQ(platform::formatFixed(-0.04, 1), "-0.0");
    EXPECT_EQ(platform::formatFixed(1.2345, 3), "1.234"); // 1.2345 is below the half in binary
    EXPECT_EQ(platform::formatFixed(0.0, 2), "0.00");
}

TEST(FormatFixed, IgnoresTheProcessLocale)
{
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    EXPECT_EQ(platform::formatFixed(1.5, 1), "1.5");
    EXPECT_DOUBLE_EQ(platform::parseDouble("1.5"), 1.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ParseDouble, BehavesLikeAtof)
{
    EXPECT_DOUBLE_EQ(platform::parseDouble("  -12.75xyz"), -12.75);
    EXPECT_DOUBLE_EQ(platform::parseDouble("+3"), 3.0);
    EXPECT_DOUBLE_EQ(platform::parseDouble(".5"), 0.5);
    EXPECT_DOUBLE_EQ(platform::parseDouble("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(platform::parseDouble("2e"), 2.0);
    EXPECT_DOUBLE_EQ(platform::parseDouble("0.0000193700"), 0.00001937);
    EXPECT_DOUBLE_EQ(platform::parseDouble(""), 0.0);
    EXPECT_DOUBLE_EQ(platform::parseDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(platform::parseDouble("1,5"), 1.0);
    EXPECT_DOUBLE_EQ(platform::parseDouble("inf"), 0.0);
    EXPECT_TRUE(std::isinf(platform::parseDouble("1e999")));
}

TEST(ParseInt, BehavesLikeAtoiWithoutOverflow)
{
    EXPECT_EQ(platform::parseInt(" 42 "), 42);
    EXPECT_EQ(platform::parseInt("-7x"), -7);
    EXPECT_EQ(platform::parseInt("05"), 5);
    EXPECT_EQ(platform::parseInt("x5"), 0);
    EXPECT_EQ(platform::parseInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(platform::parseInt("-99999999999999999999"), -2147483647 - 1);
}

} // namespace
