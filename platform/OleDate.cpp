#include "platform/OleDate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <ctime>

namespace platform {
namespace {

// The OLE range: 1 January 100 and 31 December 9999 as day numbers. Values
// up to a day beyond either end still break down (into the last day's
// time), as VariantTimeToSystemTime allows.
constexpr double kOleMinDay = -657434.0;
constexpr double kOleMaxDay = 2958465.0;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;

// Two-digit years: yy <= kTwoDigitYearMax % 100 is 20yy, the rest 19yy.
// 2029 is the classic OLE window (and what Windows used up to Windows 10
// 1809); Windows 10 1903 and later default to 2049, as Wine does now.
constexpr int kTwoDigitYearMax = 2029;

// VarBstrFromDate leaves the time out when the fraction is this small.
constexpr double kNoTimePart = 1e-12;
// VariantTimeToSystemTime adds this much before breaking the time down,
// so that a whole second stored a hair below its value is not truncated.
constexpr double kTruncationCompensation = 1e-11;

bool isLeapYear(long long y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(long long year, int month)
{
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year)) {
        return 29;
    }
    return kDays[static_cast<std::size_t>(month - 1)];
}

// Days since 1 January 1970 of a date of the proleptic Gregorian calendar
// (H. Hinnant's days_from_civil).
constexpr long long daysFromCivil(long long y, long long m, long long d)
{
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct CivilDate {
    long long year;
    int month;
    int day;
};

// The inverse (civil_from_days).
CivilDate civilFromDays(long long z)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), static_cast<int>(m), static_cast<int>(d)};
}

// Day 0 of the OLE calendar, 30 December 1899, in days since 1970.
constexpr long long kOleEpoch = daysFromCivil(1899, 12, 30);
static_assert(kOleEpoch == -25569);

bool validParts(const OleDateParts& p)
{
    return p.year >= kMinYear && p.year <= kMaxYear && p.month >= 1 && p.month <= 12 && p.day >= 1 &&
           p.day <= daysInMonth(p.year, p.month) && p.hour >= 0 && p.hour <= 23 && p.minute >= 0 && p.minute <= 59 &&
           p.second >= 0 && p.second <= 59;
}

void appendTwoDigits(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Splits at `separator` into exactly `min`..`max` fields, each of 1 to
// maxDigits[i] decimal digits and nothing else.
template <std::size_t N>
bool splitNumbers(std::string_view text, char separator, std::size_t min, const std::array<std::size_t, N>& maxDigits,
                  std::array<int, N>& values, std::size_t& count)
{
    count = 0;
    std::size_t pos = 0;
    while (true) {
        if (count == N) {
            return false;
        }
        const std::size_t end = std::min(text.find(separator, pos), text.size());
        const std::string_view field = text.substr(pos, end - pos);
        if (field.empty() || field.size() > maxDigits[count]) {
            return false;
        }
        int value = 0;
        for (const char c : field) {
            if (!isDigit(c)) {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        values[count++] = value;
        if (end == text.size()) {
            break;
        }
        pos = end + 1;
    }
    return count >= min;
}

bool parseDatePart(std::string_view token, OleDateParts& parts)
{
    std::array<int, 3> v{};
    std::size_t count = 0;
    if (!splitNumbers<3>(token, '.', 3, {2, 2, 4}, v, count)) {
        return false;
    }
    int year = v[2];
    if (year < 100) {
        year += 1900;
        if (year + 100 <= kTwoDigitYearMax) {
            year += 100;
        }
    }
    parts.day = v[0];
    parts.month = v[1];
    parts.year = year;
    return true;
}

bool parseTimePart(std::string_view token, OleDateParts& parts)
{
    std::array<int, 3> v{};
    std::size_t count = 0;
    if (!splitNumbers<3>(token, ':', 2, {2, 2, 2}, v, count)) {
        return false;
    }
    parts.hour = v[0];
    parts.minute = v[1];
    parts.second = count == 3 ? v[2] : 0;
    return true;
}

} // namespace

OleDateTime OleDateTime::fromParts(const OleDateParts& parts)
{
    if (!validParts(parts)) {
        return invalid();
    }
    const double date = static_cast<double>(daysFromCivil(parts.year, parts.month, parts.day) - kOleEpoch);
    // Negative days carry the time with the sign of the date, so that the
    // fraction's magnitude is the time of day. Same steps as Windows, so
    // that the same parts give the same double.
    const double sign = date < 0.0 ? -1.0 : 1.0;
    double days = date;
    days += parts.hour / 24.0 * sign;
    days += parts.minute / 1440.0 * sign;
    days += parts.second / 86400.0 * sign;
    return fromDays(days);
}

OleDateTime OleDateTime::now()
{
    // time() counts whole seconds: the milliseconds of the clock are dropped.
    const std::time_t seconds = std::time(nullptr);
    if (seconds == static_cast<std::time_t>(-1)) {
        return invalid();
    }
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return invalid();
    }
    OleDateParts parts;
    parts.year = local.tm_year + 1900;
    parts.month = local.tm_mon + 1;
    parts.day = local.tm_mday;
    parts.hour = local.tm_hour;
    parts.minute = local.tm_min;
    parts.second = local.tm_sec > 59 ? 59 : local.tm_sec; // a leap second, should one be reported
    return fromParts(parts);
}

std::optional<OleDateParts> OleDateTime::toParts() const
{
    if (!valid || !std::isfinite(days) || days <= kOleMinDay - 1.0 || days >= kOleMaxDay + 1.0) {
        return std::nullopt;
    }
    const double whole = std::trunc(days);
    double time = std::fabs(days - whole) + kTruncationCompensation;
    if (time >= 1.0) {
        time -= kTruncationCompensation;
    }

    OleDateParts parts;
    time *= 24.0;
    parts.hour = static_cast<int>(time);
    time -= parts.hour;
    time *= 60.0;
    parts.minute = static_cast<int>(time);
    time -= parts.minute;
    time *= 60.0;
    parts.second = static_cast<int>(time);
    time -= parts.second;

    // Round to the nearest second, carrying upwards. The calendar day
    // follows the truncated day number whatever its sign, so the next day
    // is always day number + 1.
    long long dayNumber = static_cast<long long>(whole);
    if (time > 0.5) {
        if (++parts.second == 60) {
            parts.second = 0;
            if (++parts.minute == 60) {
                parts.minute = 0;
                if (++parts.hour == 24) {
                    parts.hour = 0;
                    ++dayNumber;
                }
            }
        }
    }
    // Only after 31.12.9999 23:59:59.5 does this leave the OLE range: the
    // year becomes 10000, as with Windows.
    const CivilDate civil = civilFromDays(dayNumber + kOleEpoch);
    parts.year = static_cast<int>(civil.year);
    parts.month = civil.month;
    parts.day = civil.day;
    return parts;
}

std::string formatGermanDate(OleDateTime date)
{
    const std::optional<OleDateParts> parts = date.toParts();
    if (!parts) {
        return {};
    }
    const double whole = std::trunc(date.days);
    const double partial = date.days - whole;
    const bool timeOnly = whole == 0.0;
    const bool dateOnly = !timeOnly && partial > -kNoTimePart && partial < kNoTimePart;

    std::string text;
    if (!timeOnly) {
        appendTwoDigits(text, parts->day);
        text += '.';
        appendTwoDigits(text, parts->month);
        text += '.';
        text += std::to_string(parts->year); // "yyyy": all digits, no padding
    }
    if (!dateOnly) {
        if (!text.empty()) {
            text += ' ';
        }
        appendTwoDigits(text, parts->hour);
        text += ':';
        appendTwoDigits(text, parts->minute);
        text += ':';
        appendTwoDigits(text, parts->second);
    }
    return text;
}

OleDateTime parseGermanDate(std::string_view text)
{
    // Up to two blank-separated tokens: date and time, date, or time.
    std::array<std::string_view, 2> tokens;
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !isBlank(text[end])) {
            ++end;
        }
        if (count == tokens.size()) {
            return OleDateTime::invalid();
        }
        tokens[count++] = text.substr(i, end - i);
        i = end;
    }

    OleDateParts parts; // 30.12.1899 00:00:00
    bool ok = false;
    if (count == 2) {
        ok = parseDatePart(tokens[0], parts) && parseTimePart(tokens[1], parts);
    } else if (count == 1) {
        ok = tokens[0].find(':') != std::string_view::npos ? parseTimePart(tokens[0], parts)
                                                           : parseDatePart(tokens[0], parts);
    }
    return ok ? OleDateTime::fromParts(parts) : OleDateTime::invalid();
}

} // namespace platform
