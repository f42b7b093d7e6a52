#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A broken-down date and time (the SYSTEMTIME of the Windows functions
// without day of week and milliseconds). No time zone: it is whatever local
// time the caller means.
struct OleDateParts {
    int year = 1899;
    int month = 12; // 1..12
    int day = 30;   // 1..31
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
    int second = 0; // 0..59

    friend bool operator==(const OleDateParts&, const OleDateParts&) = default;
};

// A date as the Windows automation date: days since 30 December 1899,
// local time, the fraction being the time of day; with a validity status
// (a date never set or that failed to parse is invalid).
//
// Before 30 December 1899 the value is negative, and the fraction's
// magnitude is still the time of day: -1.25 is 29 December 1899 06:00, not
// 28 December 18:00. The OLE range is 1 January 100 (-657434) to
// 31 December 9999 (2958465).
struct OleDateTime {
    double days = 0.0;
    bool valid = false;

    static OleDateTime invalid() { return {}; }
    static OleDateTime fromDays(double d) { return {d, true}; }

    // SystemTimeToVariantTime: the date with the time as a fraction of the
    // day (positive days + time; negative days - time). Invalid unless the
    // parts form a real date of the (proleptic Gregorian) calendar in the
    // years 100..9999 and a time of 00:00:00..23:59:59. Stricter than
    // Windows, which rolls impossible days over (31 February -> 3 March)
    // and maps years below 100 into 19xx/20xx.
    static OleDateTime fromParts(const OleDateParts& parts);

    // SystemTimeToVariantTime(GetLocalTime()): the local clock
    // (localtime_r), to the whole second. Milliseconds are dropped
    // (truncated), as SystemTimeToVariantTime ignores wMilliseconds.
    // Invalid only if the clock cannot be read or broken down.
    static OleDateTime now();

    // VariantTimeToSystemTime: the broken-down date, rounded to the nearest
    // second (a remainder over half a second rounds up, carrying into the
    // minute, hour and day). Empty when the date is invalid, not finite or
    // outside the OLE range.
    std::optional<OleDateParts> toParts() const;

    friend bool operator==(const OleDateTime&, const OleDateTime&) = default;
};

// VarBstrFromDate(date, 0x407 (German), 0): "dd.MM.yyyy HH:mm:ss", e.g.
// "24.12.2025 13:45:07", with the special cases of VarBstrFromDate:
// - no time part (the fraction is below 1e-12 in magnitude): the date only,
//   "24.12.2025";
// - the date part is 0 (30.12.1899, also for -1 < days < 0): the time only,
//   "13:45:07"; so 0.0 itself is "00:00:00";
// - the year is written with as many digits as it has ("01.01.100").
// The time is rounded to the nearest second as toParts() does (and may
// roll the date over: 23:59:59.6 is written as 00:00:00 of the next day).
// An invalid or out-of-range date gives an empty text.
std::string formatGermanDate(OleDateTime date);

// VarDateFromStr(text, 0x407, 0), for the forms the program writes and the
// ones older files and users plausibly hold:
//   [date] [time] with blanks around and between them, at least one of the two;
//   date = d.M.y: day and month of 1 or 2 digits, year of 1 to 4 digits;
//          a year below 100 is taken as 20yy for 0..29 and 19yy for 30..99
//          (the classic OLE window, see kTwoDigitYearMax in OleDate.cpp);
//   time = H:mm or H:mm:ss, each field of 1 or 2 digits.
// A date alone is midnight; a time alone is on 30.12.1899 (days < 1).
// Everything else is invalid: empty or blank text, other characters or
// separators, month names, AM/PM, time before the date, day-month orders
// other than day.month.year, impossible dates (31.02.2025), hours over 23,
// minutes or seconds over 59, years beyond 9999.
OleDateTime parseGermanDate(std::string_view text);

} // namespace platform
