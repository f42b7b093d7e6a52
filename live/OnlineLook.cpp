#include "live/OnlineLook.h"

#include <algorithm>
#include <cstring>

namespace morvex::live {
namespace {

void putInt(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

uint32_t getInt(std::string_view in, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<uint32_t>(static_cast<uint8_t>(in[at + static_cast<std::size_t>(i)])) << (8 * i);
    }
    return v;
}

template <std::size_t N>
void readColors(const std::string& hex, std::array<ColorRef, N>& into)
{
    const std::optional<std::string> bytes = bytesOfHex(hex);
    if (!bytes || bytes->size() != 4 * N) {
        return;
    }
    for (std::size_t i = 0; i < N; ++i) {
        into[i] = getInt(*bytes, 4 * i);
    }
}

template <std::size_t N>
std::string colorsHex(const std::array<ColorRef, N>& colors)
{
    std::string bytes;
    for (const ColorRef c : colors) {
        putInt(bytes, c);
    }
    return hexOf(bytes);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace

std::string LogFont::Bytes() const
{
    std::string out;
    for (const int32_t v : {height, width, escapement, orientation, weight}) {
        putInt(out, static_cast<uint32_t>(v));
    }
    for (const uint8_t b :
         {italic, underline, strikeOut, charSet, outPrecision, clipPrecision, quality, pitchAndFamily}) {
        out += static_cast<char>(b);
    }
    out.append(faceName.data(), faceName.size());
    return out;
}

std::optional<LogFont> LogFont::FromBytes(std::string_view bytes)
{
    if (bytes.size() != kSize) {
        return std::nullopt;
    }
    LogFont f;
    std::array<int32_t*, 5> ints{&f.height, &f.width, &f.escapement, &f.orientation, &f.weight};
    for (std::size_t i = 0; i < ints.size(); ++i) {
        *ints[i] = static_cast<int32_t>(getInt(bytes, 4 * i));
    }
    std::array<uint8_t*, 8> flags{&f.italic,       &f.underline,     &f.strikeOut, &f.charSet,
                                  &f.outPrecision, &f.clipPrecision, &f.quality,   &f.pitchAndFamily};
    for (std::size_t i = 0; i < flags.size(); ++i) {
        *flags[i] = static_cast<uint8_t>(bytes[20 + i]);
    }
    std::memcpy(f.faceName.data(), bytes.data() + 28, f.faceName.size());
    // A face name that fills all 32 bytes has no terminator: keep 31.
    f.faceName.back() = '\0';
    return f;
}

std::string LogFont::Face() const
{
    return std::string(faceName.data(), strnlen(faceName.data(), faceName.size()));
}

void LogFont::SetFace(std::string_view face)
{
    faceName.fill('\0');
    std::copy_n(face.begin(), std::min(face.size(), faceName.size() - 1), faceName.begin());
}

OnlineLook OnlineLook::FromStored(const Stored& stored)
{
    OnlineLook look;
    if (const auto bytes = bytesOfHex(stored.font)) {
        look.font = LogFont::FromBytes(*bytes);
    }
    readColors(stored.text, look.text);
    readColors(stored.back, look.back);
    readColors(stored.custom, look.custom);
    return look;
}

OnlineLook::Stored OnlineLook::ToStored() const
{
    Stored s;
    if (font) {
        s.font = hexOf(font->Bytes());
    }
    s.text = colorsHex(text);
    s.back = colorsHex(back);
    s.custom = colorsHex(custom);
    return s;
}

std::string hexOf(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(2 * bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0xF];
    }
    return hex;
}

std::optional<std::string> bytesOfHex(std::string_view hex)
{
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]);
        const int low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

} // namespace morvex::live
