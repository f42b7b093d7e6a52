#include "platform/OleDate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

// Only the now() tests touch the clock and the time zone; every other
// conversion here is zone-free.

namespace {

using platform::formatGermanDate;
using platform::OleDateParts;
using platform::OleDateTime;
using platform::parseGermanDate;

OleDateParts parts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return {year, month, day, hour, minute, second};
}

OleDateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return OleDateTime::fromParts(parts(year, month, day, hour, minute, second));
}

std::string format(double days)
{
    return formatGermanDate(OleDateTime::fromDays(days));
}

// Seconds of the day as a fraction, the way the tests spell times.
double timeOfDay(int hour, int minute, double second)
{
    return (hour * 3600 + minute * 60 + second) / 86400.0;
}

TEST(OleDateParts, KnownDayNumbers)
{
    EXPECT_EQ(fromParts(1899, 12, 30), OleDateTime::fromDays(0.0));
    EXPECT_EQ(fromParts(1899, 12, 31), OleDateTime::fromDays(1.0));
    EXPECT_EQ(fromParts(1900, 1, 1), OleDateTime::fromDays(2.0));
    EXPECT_EQ(fromParts(1900, 3, 1), OleDateTime::fromDays(61.0)); // 1900 is no leap year
    EXPECT_EQ(fromParts(1970, 1, 1), OleDateTime::fromDays(25569.0));
    EXPECT_EQ(fromParts(2000, 1, 1), OleDateTime::fromDays(36526.0));
    EXPECT_EQ(fromParts(2025, 12, 24), OleDateTime::fromDays(46015.0));
    EXPECT_EQ(fromParts(1899, 12, 29), OleDateTime::fromDays(-1.0));
    EXPECT_EQ(fromParts(100, 1, 1), OleDateTime::fromDays(-657434.0));
    EXPECT_EQ(fromParts(9999, 12, 31), OleDateTime::fromDays(2958465.0));
}

TEST(OleDateParts, TimeIsTheFraction)
{
    const OleDateTime d = fromParts(2025, 12, 24, 13, 45, 7);
    ASSERT_TRUE(d.valid);
    EXPECT_NEAR(d.days, 46015.0 + timeOfDay(13, 45, 7), 1e-9);
    EXPECT_EQ(d.toParts(), parts(2025, 12, 24, 13, 45, 7));
    EXPECT_EQ(fromParts(1899, 12, 30, 12), OleDateTime::fromDays(0.5));
    EXPECT_EQ(fromParts(1899, 12, 31, 6), OleDateTime::fromDays(1.25));
}

TEST(OleDateParts, NegativeDaysCarryTheTimeAsMagnitude)
{
    // 29.12.1899 06:00 is -1.25, not -0.75.
    EXPECT_EQ(fromParts(1899, 12, 29, 6), OleDateTime::fromDays(-1.25));
    EXPECT_EQ(OleDateTime::fromDays(-1.25).toParts(), parts(1899, 12, 29, 6));
    EXPECT_EQ(OleDateTime::fromDays(-1.75).toParts(), parts(1899, 12, 29, 18));
    // From Wine's tests of VarBstrFromDate, which pass on Windows.
    EXPECT_EQ(OleDateTime::fromDays(-49192.24).toParts(), parts(1765, 4, 24, 5, 45, 36));
    EXPECT_NEAR(fromParts(1765, 4, 24, 5, 45, 36).days, -49192.24, 1e-9);
    // Day 0 keeps a positive time; between -1 and 0 is also 30.12.1899.
    EXPECT_EQ(OleDateTime::fromDays(-0.25).toParts(), parts(1899, 12, 30, 6));
}

TEST(OleDateParts, ValidityAndRange)
{
    EXPECT_FALSE(OleDateTime::invalid().toParts());
    EXPECT_FALSE(OleDateTime{}.valid);
    EXPECT_FALSE(fromParts(99, 12, 31).valid);
    EXPECT_FALSE(fromParts(10000, 1, 1).valid);
    EXPECT_FALSE(fromParts(2025, 2, 29).valid);
    EXPECT_FALSE(fromParts(1900, 2, 29).valid);
    EXPECT_TRUE(fromParts(2000, 2, 29).valid);
    EXPECT_TRUE(fromParts(2024, 2, 29).valid);
    EXPECT_FALSE(fromParts(2025, 4, 31).valid);
    EXPECT_FALSE(fromParts(2025, 0, 1).valid);
    EXPECT_FALSE(fromParts(2025, 13, 1).valid);
    EXPECT_FALSE(fromParts(2025, 1, 0).valid);
    EXPECT_FALSE(fromParts(2025, 1, 1, 24).valid);
    EXPECT_FALSE(fromParts(2025, 1, 1, 0, 60).valid);
    EXPECT_FALSE(fromParts(2025, 1, 1, 0, 0, 60).valid);
    EXPECT_FALSE(fromParts(2025, 1, 1, -1).valid);

    // Up to a day beyond each end still breaks down (the last day's time).
    EXPECT_EQ(OleDateTime::fromDays(-657434.5).toParts(), parts(100, 1, 1, 12));
    EXPECT_EQ(OleDateTime::fromDays(2958465.5).toParts(), parts(9999, 12, 31, 12));
    EXPECT_FALSE(OleDateTime::fromDays(-657435.0).toParts());
    EXPECT_FALSE(OleDateTime::fromDays(2958466.0).toParts());
    EXPECT_FALSE(OleDateTime::fromDays(std::numeric_limits<double>::quiet_NaN()).toParts());
    EXPECT_FALSE(OleDateTime::fromDays(std::numeric_limits<double>::infinity()).toParts());
}

TEST(OleDateParts, RoundsToTheNearestSecond)
{
    const double base = 46015.0;
    EXPECT_EQ(OleDateTime::fromDays(base + timeOfDay(13, 45, 7.4)).toParts(), parts(2025, 12, 24, 13, 45, 7));
    EXPECT_EQ(OleDateTime::fromDays(base + timeOfDay(13, 45, 7.6)).toParts(), parts(2025, 12, 24, 13, 45, 8));
    EXPECT_EQ(OleDateTime::fromDays(base + timeOfDay(13, 59, 59.7)).toParts(), parts(2025, 12, 24, 14, 0, 0));
    // Carries into the next day, month and year.
    EXPECT_EQ(OleDateTime::fromDays(base + timeOfDay(23, 59, 59.6)).toParts(), parts(2025, 12, 25));
    EXPECT_EQ(OleDateTime::fromDays(46022.0 + timeOfDay(23, 59, 59.6)).toParts(), parts(2026, 1, 1));
    EXPECT_EQ(OleDateTime::fromDays(45716.0 + timeOfDay(23, 59, 59.6)).toParts(), parts(2025, 3, 1)); // 28.02.2025
    // Before 1899 the next calendar day is still later: 29.12.1899 23:59:59.6
    // (-1.99999537) becomes 30.12.1899 00:00:00.
    EXPECT_EQ(OleDateTime::fromDays(-1.0 - timeOfDay(23, 59, 59.6)).toParts(), parts(1899, 12, 30));
    // VariantTimeToSystemTime adds 1e-11 days (0.86 microseconds) before
    // breaking down, so a hair below the half second already rounds up.
    const double half = timeOfDay(13, 45, 7.5);
    EXPECT_EQ(OleDateTime::fromDays(half - 0.5e-6 / 86400.0).toParts(), parts(1899, 12, 30, 13, 45, 8));
    EXPECT_EQ(OleDateTime::fromDays(half - 2e-6 / 86400.0).toParts(), parts(1899, 12, 30, 13, 45, 7));
    // A whole second stored a hair below its value is not cut to the one before.
    EXPECT_EQ(OleDateTime::fromDays(std::nextafter(timeOfDay(0, 0, 1), 0.0)).toParts(), parts(1899, 12, 30, 0, 0, 1));
}

TEST(OleDateParts, EveryDayOfTheRangeFollowsTheCalendar)
{
    // Walk the whole OLE range with an independent next-day rule.
    auto isLeap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    auto monthLength = [&](int y, int m) {
        if (m == 2) {
            return isLeap(y) ? 29 : 28;
        }
        return (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31;
    };
    OleDateParts p = parts(100, 1, 1);
    int failures = 0;
    for (long n = -657434; n <= 2958465 && failures < 5; ++n) {
        const double day = static_cast<double>(n);
        const OleDateTime d = OleDateTime::fromParts(p);
        const std::optional<OleDateParts> back = OleDateTime::fromDays(day).toParts();
        if (d != OleDateTime::fromDays(day) || back != p) {
            ADD_FAILURE() << "day " << day << " is not " << p.day << '.' << p.month << '.' << p.year;
            ++failures;
        }
        if (++p.day > monthLength(p.year, p.month)) {
            p.day = 1;
            if (++p.month > 12) {
                p.month = 1;
                ++p.year;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(p, parts(10000, 1, 1));
}

TEST(OleDateFormat, DateAndTime)
{
    EXPECT_EQ(formatGermanDate(fromParts(2025, 12, 24, 13, 45, 7)), "24.12.2025 13:45:07");
    EXPECT_EQ(formatGermanDate(fromParts(2025, 1, 2, 3, 4, 5)), "02.01.2025 03:04:05");
    // Wine's VarBstrFromDate tests (run against Windows) in the German form.
    EXPECT_EQ(format(3.34), "02.01.1900 08:09:36");
    EXPECT_EQ(format(3339.34), "20.02.1909 08:09:36");
    EXPECT_EQ(format(365.25), "30.12.1900 06:00:00");
    EXPECT_EQ(format(1461.5), "31.12.1903 12:00:00");
    EXPECT_EQ(format(-49192.24), "24.04.1765 05:45:36");
    EXPECT_EQ(format(-1.25), "29.12.1899 06:00:00");
}

TEST(OleDateFormat, MidnightIsTheDateOnly)
{
    EXPECT_EQ(format(46015.0), "24.12.2025");
    EXPECT_EQ(format(365.0), "30.12.1900");
    EXPECT_EQ(format(1461.0), "31.12.1903");
    EXPECT_EQ(format(1.0), "31.12.1899");
    EXPECT_EQ(format(-1.0), "29.12.1899");
    EXPECT_EQ(format(-657434.0), "01.01.100"); // the year has no leading zeros
    EXPECT_EQ(format(2958465.0), "31.12.9999");
    // The date-only test looks at the raw fraction (below 1e-12), the time
    // at the rounded one.
    EXPECT_EQ(format(46015.0 + 1e-13), "24.12.2025");
    EXPECT_EQ(format(46015.0 + 1e-9), "24.12.2025 00:00:00");
    EXPECT_EQ(format(46015.0 + timeOfDay(23, 59, 59.6)), "25.12.2025 00:00:00");
}

TEST(OleDateFormat, DayZeroIsTheTimeOnly)
{
    EXPECT_EQ(format(0.0), "00:00:00");
    EXPECT_EQ(format(0.5), "12:00:00");
    EXPECT_EQ(formatGermanDate(fromParts(1899, 12, 30, 13, 45, 7)), "13:45:07");
    EXPECT_EQ(format(-0.25), "06:00:00"); // -1 < days < 0 is day 0 as well
}

TEST(OleDateFormat, RoundsLikeWindows)
{
    EXPECT_EQ(format(46015.0 + timeOfDay(13, 45, 7.4)), "24.12.2025 13:45:07");
    EXPECT_EQ(format(46015.0 + timeOfDay(13, 45, 7.6)), "24.12.2025 13:45:08");
}

TEST(OleDateFormat, InvalidIsEmpty)
{
    EXPECT_EQ(formatGermanDate(OleDateTime::invalid()), "");
    EXPECT_EQ(formatGermanDate(OleDateTime{46015.0, false}), "");
    EXPECT_EQ(format(-657435.0), "");
    EXPECT_EQ(format(2958466.0), "");
    EXPECT_EQ(format(std::numeric_limits<double>::quiet_NaN()), "");
}

TEST(OleDateParse, WhatTheProgramWrites)
{
    EXPECT_EQ(parseGermanDate("24.12.2025 13:45:07"), fromParts(2025, 12, 24, 13, 45, 7));
    EXPECT_EQ(parseGermanDate("24.12.2025"), OleDateTime::fromDays(46015.0));
    EXPECT_EQ(parseGermanDate("13:45:07"), fromParts(1899, 12, 30, 13, 45, 7));
    EXPECT_EQ(parseGermanDate("00:00:00"), OleDateTime::fromDays(0.0));
    EXPECT_EQ(parseGermanDate("01.01.100"), OleDateTime::fromDays(-657434.0));
    EXPECT_EQ(parseGermanDate("29.12.1899 06:00:00"), OleDateTime::fromDays(-1.25));
}

TEST(OleDateParse, OtherPlausibleForms)
{
    EXPECT_EQ(parseGermanDate("1.2.2025"), fromParts(2025, 2, 1));
    EXPECT_EQ(parseGermanDate("01.02.2025"), fromParts(2025, 2, 1));
    EXPECT_EQ(parseGermanDate("1.2.2025 3:04:05"), fromParts(2025, 2, 1, 3, 4, 5));
    EXPECT_EQ(parseGermanDate("24.12.2025 13:45"), fromParts(2025, 12, 24, 13, 45));
    EXPECT_EQ(parseGermanDate("13:45"), fromParts(1899, 12, 30, 13, 45));
    EXPECT_EQ(parseGermanDate("  24.12.2025   13:45:07 \t"), fromParts(2025, 12, 24, 13, 45, 7));
    EXPECT_EQ(parseGermanDate("\t13:45\r\n"), fromParts(1899, 12, 30, 13, 45));
    EXPECT_EQ(parseGermanDate("1.1.0100"), fromParts(100, 1, 1));
    EXPECT_EQ(parseGermanDate("29.02.2024"), fromParts(2024, 2, 29));
    EXPECT_EQ(parseGermanDate("29.02.2000"), fromParts(2000, 2, 29));
    EXPECT_LT(parseGermanDate("23:59:59").days, 1.0);
}

TEST(OleDateParse, TwoDigitYears)
{
    EXPECT_EQ(parseGermanDate("24.12.25"), fromParts(2025, 12, 24));
    EXPECT_EQ(parseGermanDate("24.12.25 13:45:07"), fromParts(2025, 12, 24, 13, 45, 7));
    EXPECT_EQ(parseGermanDate("01.01.00"), fromParts(2000, 1, 1));
    EXPECT_EQ(parseGermanDate("31.12.29"), fromParts(2029, 12, 31));
    EXPECT_EQ(parseGermanDate("01.01.30"), fromParts(1930, 1, 1));
    EXPECT_EQ(parseGermanDate("31.12.99"), fromParts(1999, 12, 31));
    EXPECT_EQ(parseGermanDate("5.6.7"), fromParts(2007, 6, 5));
    EXPECT_EQ(parseGermanDate("29.02.00"), fromParts(2000, 2, 29));
    // The window goes by the value, as VarDateFromStr's: "0099" is 1999.
    EXPECT_EQ(parseGermanDate("1.1.0099"), fromParts(1999, 1, 1));
}

TEST(OleDateParse, Rejections)
{
    for (const char* text : {"",
                             "   ",
                             "abc",
                             "x24.12.2025",
                             "31.02.2025",
                             "29.02.2025",
                             "29.02.1900",
                             "31.04.2025",
                             "00.12.2025",
                             "24.00.2025",
                             "24.13.2025",
                             "25:00:00",
                             "24:00",
                             "13:60",
                             "13:45:60",
                             "24.12.2025 25:00:00",
                             "24.12.10000",
                             "24.12.2025.",
                             "24.12.",
                             "24.12",
                             ".12.2025",
                             "24..2025",
                             "24/12/2025",
                             "2025-12-24",
                             "12.24.2025",
                             "24.12.2025 13:45:07 x",
                             "13:45:07 24.12.2025",
                             "24.12.2025 13",
                             "24.12.2025 13:",
                             "13:45:07:01",
                             ":45",
                             "123.12.2025",
                             "2025.12.24",
                             "24.123.2025",
                             "24.12.20251",
                             "24.12.2025 013:45",
                             "13:045",
                             "+24.12.2025",
                             "-1.1.2025",
                             "24. 12.2025",
                             "24.12.2025,13:45:07",
                             "24.12.2025T13:45:07",
                             "Dez 24 2025",
                             "24. Dezember 2025",
                             "1:30 PM",
                             "13:45:07.5",
                             "13.45.07"}) {
        EXPECT_EQ(parseGermanDate(text), OleDateTime::invalid()) << '"' << text << '"';
    }
}

// parse(format(d)) == d for every whole-second date; checks also that the
// parts come back.
void expectRoundTrip(const OleDateParts& p)
{
    const OleDateTime d = OleDateTime::fromParts(p);
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.toParts(), p);
    const std::string text = formatGermanDate(d);
    EXPECT_EQ(parseGermanDate(text), d) << text;
}

TEST(OleDateRoundTrip, AcrossTheRange)
{
    int step = 0;
    for (long n = -657434; n <= 2958465; n += 37) {
        const double day = static_cast<double>(n);
        OleDateParts p = *OleDateTime::fromDays(day).toParts();
        const int second = (step++ * 7919) % 86400; // spread over the day, midnight included
        p.hour = second / 3600;
        p.minute = second / 60 % 60;
        p.second = second % 60;
        expectRoundTrip(p);
        if (HasFailure()) {
            return;
        }
    }
}

TEST(OleDateRoundTrip, EdgesAndSpecialCases)
{
    expectRoundTrip(parts(100, 1, 1));
    expectRoundTrip(parts(100, 1, 1, 23, 59, 59));
    expectRoundTrip(parts(9999, 12, 31));
    expectRoundTrip(parts(9999, 12, 31, 23, 59, 59));
    expectRoundTrip(parts(1899, 12, 30));             // "00:00:00"
    expectRoundTrip(parts(1899, 12, 30, 0, 0, 1));    // time only
    expectRoundTrip(parts(1899, 12, 30, 23, 59, 59)); // time only
    expectRoundTrip(parts(1899, 12, 29, 23, 59, 59)); // first day before 0
    expectRoundTrip(parts(1899, 12, 31, 0, 0, 1));
    expectRoundTrip(parts(1765, 4, 24, 5, 45, 36));
    expectRoundTrip(parts(2024, 2, 29, 12, 0, 0));
    // Every second of one day.
    for (int s = 0; s < 86400 && !HasFailure(); ++s) {
        expectRoundTrip(parts(2025, 12, 24, s / 3600, s / 60 % 60, s % 60));
    }
}

TEST(OleDateNow, IsAValidWholeSecondNearTheLocalClock)
{
    const std::time_t clock = std::time(nullptr);
    const OleDateTime now = OleDateTime::now();
    ASSERT_TRUE(now.valid);
    const std::optional<OleDateParts> p = now.toParts();
    ASSERT_TRUE(p);
    // No milliseconds: the value is exactly that of its parts.
    EXPECT_EQ(OleDateTime::fromParts(*p), now);

    std::tm local{};
    ASSERT_NE(localtime_r(&clock, &local), nullptr);
    const OleDateTime expected =
        fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    ASSERT_TRUE(expected.valid);
    EXPECT_LT(std::fabs(now.days - expected.days), 1.0);
}

// Restores TZ when the test ends.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz)
    {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        old_ = hadOld_ ? old : "";
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (hadOld_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(OleDateNow, IsLocalTime)
{
    // A fixed zone of UTC+05:30 without daylight saving, whatever the
    // machine's: now() must be UTC plus 5:30 (the POSIX sign is reversed).
    const ScopedTimeZone zone("MVX-05:30");
    constexpr std::time_t kOffset = 5 * 3600 + 30 * 60;
    auto utcPlusOffset = [&](std::time_t t) {
        const std::time_t shifted = t + kOffset;
        std::tm tm{};
        EXPECT_NE(gmtime_r(&shifted, &tm), nullptr);
        return fromParts(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    };
    const std::time_t before = std::time(nullptr);
    const OleDateTime now = OleDateTime::now();
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(now.valid);
    const double slack = 2.0 / 86400.0;
    EXPECT_GE(now.days, utcPlusOffset(before).days - slack);
    EXPECT_LE(now.days, utcPlusOffset(after).days + slack);
}

} // namespace
