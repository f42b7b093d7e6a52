#include "platform/NumberFormat.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace platform {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string toFixed(double value, int decimals)
{
    std::array<char, 1200> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return {};
    }
    return {buffer.data(), result.ptr};
}

std::string_view skipBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    return text.substr(i);
}

} // namespace

std::string formatFixed(double value, int decimals)
{
    decimals = decimals < 0 ? 0 : decimals;
    if (!std::isfinite(value)) {
        return toFixed(value, decimals);
    }
    // to_chars rounds exact ties to even. A tie is a value whose decimal
    // expansion ends in the 5 right after the kept digits; printing enough
    // further digits shows any binary remainder (a double that is not the
    // tie differs from it by more than 10^-(2 * decimals + 20)).
    const std::string exact = toFixed(value, 2 * decimals + 24);
    const std::size_t point = exact.find('.');
    const std::size_t tieDigit = point + 1 + static_cast<std::size_t>(decimals);
    if (point == std::string::npos || exact.size() <= tieDigit || exact[tieDigit] != '5' ||
        exact.find_first_not_of('0', tieDigit + 1) != std::string::npos) {
        return toFixed(value, decimals);
    }
    std::string text = exact.substr(0, tieDigit + 1);
    // Exact tie: drop the 5 and add one unit in the last kept place.
    text.pop_back();
    if (decimals == 0) {
        text.pop_back(); // the full stop
    }
    const std::size_t first = text.front() == '-' ? 1 : 0;
    std::size_t i = text.size();
    while (i > first) {
        --i;
        if (text[i] == '.') {
            continue;
        }
        if (text[i] != '9') {
            ++text[i];
            return text;
        }
        text[i] = '0';
    }
    text.insert(first, 1, '1');
    return text;
}

double parseDouble(std::string_view text)
{
    std::string_view s = skipBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // The longest prefix that is a plain decimal number.
    std::size_t end = 0;
    std::size_t digits = 0;
    while (end < s.size() && isDigit(s[end])) {
        ++end;
        ++digits;
    }
    if (end < s.size() && s[end] == '.') {
        ++end;
        while (end < s.size() && isDigit(s[end])) {
            ++end;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0;
    }
    if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
        std::size_t exp = end + 1;
        if (exp < s.size() && (s[exp] == '+' || s[exp] == '-')) {
            ++exp;
        }
        if (exp < s.size() && isDigit(s[exp])) {
            while (exp < s.size() && isDigit(s[exp])) {
                ++exp;
            }
            end = exp;
        }
    }
    double value = 0.0;
    const auto r = std::from_chars(s.data(), s.data() + end, value, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        value = HUGE_VAL;
    }
    return negative ? -value : value;
}

int parseInt(std::string_view text)
{
    std::string_view s = skipBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int64_t value = 0;
    for (char c : s) {
        if (!isDigit(c)) {
            break;
        }
        value = value * 10 + (c - '0');
        if (value > static_cast<int64_t>(INT_MAX) + 1) {
            value = static_cast<int64_t>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

} // namespace platform
