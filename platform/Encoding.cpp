#include "platform/Encoding.h"

#include <array>
#include <cstdint>

namespace platform {
namespace {

// Code points of 0x80..0x9F; the rest of the upper half equals Latin-1.
constexpr std::array<char32_t, 32> kHighTable{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                              0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;

bool isLeadSurrogate(char32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isTrailSurrogate(char32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// One UTF-8 sequence at text[i]: its code point and length, or false for a
// byte that starts no complete, shortest-form sequence (the caller then
// skips that one byte). Three-byte surrogate forms are accepted.
bool decodeUtf8At(std::string_view text, std::size_t i, char32_t& c, std::size_t& length)
{
    const auto b = static_cast<uint8_t>(text[i]);
    char32_t least = 0;
    if (b < 0x80) {
        c = b;
        length = 1;
        return true;
    }
    if ((b & 0xE0) == 0xC0) {
        length = 2;
        c = b & 0x1Fu;
        least = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        length = 3;
        c = b & 0x0Fu;
        least = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        length = 4;
        c = b & 0x07u;
        least = 0x10000;
    } else {
        return false;
    }
    if (i + length > text.size()) {
        return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto cont = static_cast<uint8_t>(text[i + k]);
        if ((cont & 0xC0) != 0x80) {
            return false;
        }
        c = (c << 6) | (cont & 0x3Fu);
    }
    // An overlong form could smuggle a line break or '=' past a check.
    return c >= least && c <= kLastCodePoint;
}

char32_t unitAt(std::string_view units, std::size_t i, bool bigEndian)
{
    const auto first = static_cast<uint8_t>(units[i]);
    const auto second = static_cast<uint8_t>(units[i + 1]);
    return bigEndian ? char32_t(first << 8 | second) : char32_t(second << 8 | first);
}

void appendUnit(std::string& out, char32_t unit, bool bigEndian)
{
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

char toCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (std::size_t i = 0; i < kHighTable.size(); ++i) {
        if (kHighTable[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

std::string cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        if (b < 0x80) {
            out += ch;
        } else if (b < 0xA0) {
            appendUtf8(out, kHighTable[b - 0x80u]);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

std::string utf8ToCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        std::size_t length = 0;
        if (!decodeUtf8At(text, i, c, length)) {
            out += '?';
            ++i;
            continue;
        }
        out += toCp1252(c);
        i += length;
    }
    return out;
}

TextEncoding detectTextEncoding(std::string_view bytes)
{
    for (TextEncoding e : {TextEncoding::Utf8Bom, TextEncoding::Utf16Le, TextEncoding::Utf16Be}) {
        if (bytes.starts_with(byteOrderMark(e))) {
            return e;
        }
    }
    return TextEncoding::Windows1252;
}

std::string_view byteOrderMark(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom: return "\xEF\xBB\xBF";
    case TextEncoding::Utf16Le: return "\xFF\xFE";
    case TextEncoding::Utf16Be: return "\xFE\xFF";
    case TextEncoding::Windows1252: break;
    }
    return {};
}

std::string utf16ToUtf8(std::string_view units, bool bigEndian)
{
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        char32_t c = unitAt(units, i, bigEndian);
        if (isLeadSurrogate(c) && i + 3 < units.size()) {
            const char32_t next = unitAt(units, i + 2, bigEndian);
            if (isTrailSurrogate(next)) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string utf8ToUtf16(std::string_view text, bool bigEndian)
{
    std::string out;
    out.reserve(2 * text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = kReplacement;
        std::size_t length = 1;
        if (!decodeUtf8At(text, i, c, length)) {
            c = kReplacement;
            length = 1;
        }
        if (c >= 0x10000) {
            appendUnit(out, 0xD800 + ((c - 0x10000) >> 10), bigEndian);
            appendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian);
        } else {
            appendUnit(out, c, bigEndian);
        }
        i += length;
    }
    return out;
}

} // namespace platform
