#include "grid/GridFormat.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace morvex::grid {

namespace {

struct Conversion {
    qsizetype start = -1; // index of '%'
    qsizetype end = -1;   // one past the conversion character
    bool leftAlign = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
    char type = 0;
};

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
           c == QLatin1Char('\v') || c == QLatin1Char('\f');
}

int ReadNumber(const QString& text, qsizetype& i)
{
    int n = 0;
    while (i < text.size() && IsDigit(text[i])) {
        n = std::min(n * 10 + (text[i].unicode() - '0'), 1000);
        ++i;
    }
    return n;
}

// Finds the one conversion of a format; "%%" is literal text.
Conversion FindConversion(const QString& format)
{
    Conversion conv;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('%')) {
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == QLatin1Char('%')) {
            ++i;
            continue;
        }
        conv.start = i;
        qsizetype j = i + 1;
        for (; j < format.size(); ++j) {
            const QChar c = format[j];
            if (c == QLatin1Char('-')) {
                conv.leftAlign = true;
            } else if (c == QLatin1Char('+')) {
                conv.plusSign = true;
            } else if (c == QLatin1Char(' ')) {
                conv.spaceSign = true;
            } else if (c == QLatin1Char('0')) {
                conv.zeroPad = true;
            } else if (c != QLatin1Char('#')) {
                break;
            }
        }
        conv.width = ReadNumber(format, j);
        if (j < format.size() && format[j] == QLatin1Char('.')) {
            ++j;
            conv.precision = ReadNumber(format, j);
        }
        while (j < format.size() &&
               (format[j] == QLatin1Char('l') || format[j] == QLatin1Char('h') || format[j] == QLatin1Char('L'))) {
            ++j;
        }
        if (j >= format.size()) {
            return {};
        }
        const char type = format[j].toLatin1();
        static constexpr const char* kTypes = "diufFeEgGs";
        bool known = false;
        for (const char* t = kTypes; *t != 0; ++t) {
            known = known || *t == type;
        }
        if (!known) {
            return {};
        }
        conv.type = type;
        conv.end = j + 1;
        return conv;
    }
    return {};
}

QString Unescape(const QString& literal)
{
    QString out = literal;
    out.replace(QLatin1String("%%"), QLatin1String("%"));
    return out;
}

QString Body(const Conversion& conv, double value)
{
    switch (conv.type) {
    case 'd':
    case 'i':
    case 'u': {
        double t = std::trunc(value);
        if (std::isnan(t)) {
            t = 0.0;
        }
        const auto n = static_cast<long long>(std::clamp(t, static_cast<double>(LLONG_MIN), 9.2e18));
        QString digits = QString::number(n < 0 ? -n : n);
        if (conv.precision > digits.size()) {
            digits = QString(conv.precision - digits.size(), QLatin1Char('0')) + digits;
        }
        return n < 0 ? QLatin1Char('-') + digits : digits;
    }
    case 'f':
    case 'F': return QString::number(value, 'f', conv.precision < 0 ? 6 : conv.precision);
    case 'e':
    case 'E': {
        QString s = QString::number(value, 'e', conv.precision < 0 ? 6 : conv.precision);
        return conv.type == 'E' ? s.toUpper() : s;
    }
    case 'g':
    case 'G': {
        QString s = QString::number(value, 'g', conv.precision < 0 ? 6 : std::max(conv.precision, 1));
        return conv.type == 'G' ? s.toUpper() : s;
    }
    default: // 's': a number printed as text
        return QString::number(value, 'g', conv.precision < 0 ? 6 : std::max(conv.precision, 1));
    }
}

} // namespace

QString FormatValue(const QString& format, double value)
{
    if (value == 0.0) {
        value = 0.0; // no "-0"
    }
    const Conversion conv = FindConversion(format);
    if (conv.start < 0) {
        return QString::number(value, 'g', 6);
    }
    QString body = Body(conv, value);
    const bool numeric = conv.type != 's';
    QString sign;
    if (numeric) {
        if (body.startsWith(QLatin1Char('-'))) {
            sign = QStringLiteral("-");
            body.remove(0, 1);
        } else if (conv.plusSign) {
            sign = QStringLiteral("+");
        } else if (conv.spaceSign) {
            sign = QStringLiteral(" ");
        }
    }
    const qsizetype pad = conv.width - (sign.size() + body.size());
    QString field;
    if (pad <= 0) {
        field = sign + body;
    } else if (conv.leftAlign) {
        field = sign + body + QString(pad, QLatin1Char(' '));
    } else if (conv.zeroPad && numeric) {
        field = sign + QString(pad, QLatin1Char('0')) + body;
    } else {
        field = QString(pad, QLatin1Char(' ')) + sign + body;
    }
    return Unescape(format.left(conv.start)) + field + Unescape(format.mid(conv.end));
}

int ParseLeadingInt(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long long n = 0;
    while (i < text.size() && IsDigit(text[i])) {
        n = std::min(n * 10 + (text[i].unicode() - '0'), static_cast<long long>(INT_MAX) + 1);
        ++i;
    }
    if (negative) {
        n = -n;
    }
    return static_cast<int>(std::clamp(n, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
}

double ParseLeadingDouble(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    QString number;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        number += text[i];
        ++i;
    }
    bool digits = false;
    while (i < text.size() && IsDigit(text[i])) {
        number += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == kDecimalSeparator) {
        number += QLatin1Char('.');
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits) {
        return 0.0;
    }
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < text.size() && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            exponent += text[j++];
        }
        bool expDigits = false;
        while (j < text.size() && IsDigit(text[j])) {
            exponent += text[j++];
            expDigits = true;
        }
        if (expDigits) {
            number += exponent;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace morvex::grid
