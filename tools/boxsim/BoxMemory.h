#pragma once

// The simulated box's memory as the box itself sees it: one byte per line
// address, the addresses that travel on the serial line.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace boxsim {

inline constexpr std::size_t kMemorySize = 2048;

// Where things lie in the box's address space.
namespace line {
inline constexpr uint16_t FuelLeft = 0;     // 256 bytes, map rows 16..31
inline constexpr uint16_t FuelRight = 256;  // 256
inline constexpr uint16_t IgnLeft = 512;    // 256
inline constexpr uint16_t IgnRight = 768;   // 256
inline constexpr uint16_t MTD = 1024;       // 16
inline constexpr uint16_t LTD = 1056;       // 16
inline constexpr uint16_t SFD_EX = 1072;    // 16
inline constexpr uint16_t LDD = 1088;       // 16
inline constexpr uint16_t SFD1 = 1184;      // 16
inline constexpr uint16_t Setup = 1200;     // teeth, static ignition point
inline constexpr uint16_t IeCounter = 1202; // 32 bits, most significant byte first
inline constexpr uint16_t StartCounter = 1206;
inline constexpr uint16_t SFD2 = 1216;      // 16
inline constexpr uint16_t SFD_INT16 = 1232; // 16 words, ascending
inline constexpr uint16_t TxtSfi1 = 1280;   // 16 names of 4 characters
inline constexpr uint16_t TxtSfi2 = 1344;
inline constexpr uint16_t DZI = 1408;       // 16 words, ascending
inline constexpr uint16_t DKI = 1440;       // 16 words, reversed
inline constexpr uint16_t MTI = 1472;       // reversed
inline constexpr uint16_t LTI = 1504;       // reversed
inline constexpr uint16_t LDI = 1536;       // reversed
inline constexpr uint16_t TimeStamp = 1664; // OLE date, least significant byte first
inline constexpr uint16_t InfoText1 = 1672; // five texts of 8 characters
inline constexpr uint16_t InfoText6 = 1712; // one text of 16 characters
inline constexpr uint16_t TxtEx = 1728;
inline constexpr uint16_t TxtEx2 = 1792;

// Single values inside the tables that the box itself acts on.
inline constexpr uint16_t RevLimit = SFD1 + 2;    // word, high byte first: rpm period of the limiter
inline constexpr uint16_t IgnitionMap = SFD2 + 2; // number of the ignition map in use

inline constexpr int kNameWidth = 4;
inline constexpr int kNames = 16;
inline constexpr int kAxisWords = 16;
} // namespace line

class BoxMemory {
public:
    // Every byte 255 (erased).
    BoxMemory();

    // A plausible parameter set of a box fresh from the workshop: default
    // axes, simple fuel and ignition maps, default names, info texts and
    // counters at zero.
    static BoxMemory factoryDefaults();

    // Addresses beyond the memory read as 255 and ignore writes.
    uint8_t at(uint32_t address) const;
    void set(uint32_t address, uint8_t value);

    uint16_t word(uint32_t address) const; // high byte first
    void setWord(uint32_t address, uint16_t value);

    uint32_t counter(uint32_t address) const; // most significant byte first
    void setCounter(uint32_t address, uint32_t value);

    // Word k of an axis as the box holds it: at base + 2k.
    uint16_t axisWord(uint16_t base, int k) const { return word(base + 2u * static_cast<uint32_t>(k)); }

    // A text field: characters up to the first NUL or 255.
    std::string text(uint32_t address, int width) const;
    // Writes `text` NUL-padded into the field, cut at the width.
    void setText(uint32_t address, int width, std::string_view text);

    // The time stamp of the last send, as OLE date days.
    double timeStamp() const;
    void setTimeStamp(double days);

    const std::array<uint8_t, kMemorySize>& bytes() const { return bytes_; }
    std::array<uint8_t, kMemorySize>& bytes() { return bytes_; }

    // Lower-case hex, 32 bytes (64 digits) per line: line n holds the
    // addresses 32n .. 32n + 31.
    std::string hexDump() const;

private:
    std::array<uint8_t, kMemorySize> bytes_;
};

} // namespace boxsim
