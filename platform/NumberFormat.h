#pragma once

#include <string>
#include <string_view>

namespace platform {

// "%0.<decimals>f" as the Windows C runtime writes it: always a full stop,
// whatever the process locale, and exact halves rounded away from zero
// (12.5 -> "13"), which is what the tuners' files were made with.
std::string formatFixed(double value, int decimals);

// atof: leading blanks, optional sign, digits with an optional fraction and
// exponent; parsing stops at the first other character; no number gives 0.
// Always a full stop as decimal separator, never the locale's.
double parseDouble(std::string_view text);

// atoi: leading blanks, optional sign, decimal digits; no number gives 0;
// values beyond the int range are clamped.
int parseInt(std::string_view text);

} // namespace platform
