#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morvex::live {

// A colour as the settings file keeps it: 0x00BBGGRR, or kDefaultColor for
// the system's window text or window colour.
using ColorRef = uint32_t;
inline constexpr ColorRef kDefaultColor = 0xFF000000;
inline constexpr ColorRef kWhite = 0x00FFFFFF;
constexpr ColorRef colorRef(int red, int green, int blue)
{
    return static_cast<ColorRef>((red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16);
}

// The font record of the settings file, field for field the 60 bytes the
// file has always held (little-endian, face name NUL-padded, Windows-1252).
struct LogFont {
    int32_t height = -48; // negative: character height in pixels
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 400;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::array<char, 32> faceName{};

    static constexpr std::size_t kSize = 60;
    std::string Bytes() const;
    // Exactly kSize bytes, else nothing.
    static std::optional<LogFont> FromBytes(std::string_view bytes);
    std::string Face() const;
    void SetFace(std::string_view face); // cut to 31 bytes
    bool operator==(const LogFont&) const = default;
};

// What the user chose for the online values: the value font and the
// displays' colours, with the colour dialog's custom colours.
struct OnlineLook {
    static constexpr std::size_t kDisplays = 13;
    static constexpr std::size_t kCustomColors = 16;

    std::optional<LogFont> font; // none: the program's default
    std::array<ColorRef, kDisplays> text = filled<kDisplays>(kDefaultColor);
    std::array<ColorRef, kDisplays> back = filled<kDisplays>(kDefaultColor);
    std::array<ColorRef, kCustomColors> custom = filled<kCustomColors>(kWhite);

    // The settings as they are stored: hex digits of the binary records
    // (empty: not stored). A record of another size keeps the default.
    struct Stored {
        std::string font;
        std::string text;
        std::string back;
        std::string custom;
    };
    static OnlineLook FromStored(const Stored& stored);
    Stored ToStored() const;

private:
    template <std::size_t N>
    static constexpr std::array<ColorRef, N> filled(ColorRef c)
    {
        std::array<ColorRef, N> a{};
        a.fill(c);
        return a;
    }
};

// Binary settings as upper-case hex digits, and back (none for odd length
// or a non-hex digit).
std::string hexOf(std::string_view bytes);
std::optional<std::string> bytesOfHex(std::string_view hex);

} // namespace morvex::live
