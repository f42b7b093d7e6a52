#pragma once

#include <QChar>
#include <QString>

namespace morvex::grid {

// The one decimal separator of the program: typed into the double editor,
// read by the number conversion and written by the print formats. The C
// runtime of the process may follow the user's locale, so neither parsing
// nor printing here goes through it.
inline constexpr QChar kDecimalSeparator = QLatin1Char('.');

// Prints a number with a printf-style format holding one conversion
// (%d %i %u %f %e %g %s with flags, width and precision, and literal text
// around it). Integer conversions print the value truncated toward zero.
// A format without a usable conversion prints the value with "%g".
QString FormatValue(const QString& format, double value);

// Leading integer of a text, as atoi reads it: blanks, an optional sign,
// digits; 0 when there are none; saturated at the int range.
int ParseLeadingInt(const QString& text);

// Leading decimal number of a text, as atof reads it, with
// kDecimalSeparator; 0 when there is none.
double ParseLeadingDouble(const QString& text);

} // namespace morvex::grid
