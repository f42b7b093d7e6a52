#include "tools/boxsim/BoxMemory.h"

#include "tools/boxsim/Sensors.h"

#include <cstdio>
#include <cstring>

namespace boxsim {
namespace {

// Axis points of the workshop set-up: n points from lo to hi; `toRaw`
// turns a point into the raw word.
template <typename ToRaw> uint16_t axisPoint(int i, int n, double lo, double hi, ToRaw toRaw)
{
    const double step = (hi - lo) / (n - 1);
    return toRaw(i == n - 1 ? hi : lo + i * step);
}

// Axes whose words the box holds in reversed order: its word k is point
// 15 - k of the axis.
template <typename ToRaw> void setReversedAxis(BoxMemory& m, uint16_t base, int n, double lo, double hi, ToRaw toRaw)
{
    for (int k = 0; k < line::kAxisWords; ++k) {
        m.setWord(base + 2u * static_cast<unsigned>(k), axisPoint(15 - k, n, lo, hi, toRaw));
    }
}

// Names "<letter> 01" .. "<letter> 16".
void setNames(BoxMemory& m, uint16_t base, char letter)
{
    for (int i = 0; i < line::kNames; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%c %02d", letter, i + 1);
        m.setText(base + static_cast<unsigned>(i * line::kNameWidth), line::kNameWidth, name);
    }
}

} // namespace

BoxMemory::BoxMemory()
{
    bytes_.fill(0xFF);
}

BoxMemory BoxMemory::factoryDefaults()
{
    BoxMemory m;
    // Maps: row i of the box's map is rpm point 15 - i, column c throttle
    // point c. Fuel grows with load and speed, advance with speed.
    for (uint16_t i = 0; i < 16; ++i) {
        for (uint16_t c = 0; c < 16; ++c) {
            const uint16_t cell = static_cast<uint16_t>(16 * i + c);
            const int rpmPoint = 15 - i;
            const auto fuel = static_cast<uint8_t>(60 + 6 * c + 3 * rpmPoint);
            const auto advance = static_cast<uint8_t>(30 + 3 * rpmPoint - c);
            m.set(line::FuelLeft + cell, fuel);
            m.set(line::FuelRight + cell, static_cast<uint8_t>(fuel + 2));
            m.set(line::IgnLeft + cell, advance);
            m.set(line::IgnRight + cell, advance);
        }
    }
    for (uint16_t base : {line::MTD, line::LTD, line::SFD_EX, line::LDD, line::SFD1, line::SFD2}) {
        for (uint16_t i = 0; i < 16; ++i) {
            m.set(base + i, 0);
        }
    }
    for (uint16_t i = 0; i < 32; ++i) {
        m.set(line::SFD_INT16 + i, 0);
    }
    m.set(line::Setup, 6);     // teeth
    m.set(line::Setup + 1, 5); // static ignition point
    m.setCounter(line::IeCounter, 0);
    m.setCounter(line::StartCounter, 0);

    for (int k = 0; k < line::kAxisWords; ++k) {
        m.setWord(line::DZI + 2u * static_cast<unsigned>(k), axisPoint(k, 16, 1000.0, 11000.0, [](double rpm) {
                      return sensor::rpmToRaw(sensor::roundRpm(rpm));
                  }));
    }
    setReversedAxis(m, line::DKI, 17, 0.0, 100.0, sensor::throttleToRaw);
    setReversedAxis(m, line::MTI, 16, -20.0, 120.0, sensor::temperatureToRaw);
    setReversedAxis(m, line::LTI, 16, -20.0, 60.0, sensor::temperatureToRaw);
    setReversedAxis(m, line::LDI, 16, 600.0, 1100.0, sensor::pressureToRaw);

    setNames(m, line::TxtSfi1, 'S');
    m.setText(line::TxtSfi1, line::kNameWidth, "LTRH");
    m.setText(line::TxtSfi1 + 4, line::kNameWidth, "IPCS");
    m.setText(line::TxtSfi1 + 8, line::kNameWidth, "");
    m.setText(line::TxtSfi1 + 12, line::kNameWidth, "RLI");
    setNames(m, line::TxtSfi2, 'V');
    m.setText(line::TxtSfi2 + 8, line::kNameWidth, "IGMN");
    setNames(m, line::TxtEx, 'W');
    setNames(m, line::TxtEx2, 'X');

    m.setTimeStamp(0.0);
    m.setText(line::InfoText1, 8, "BOXSIM");
    for (uint16_t t = 1; t < 5; ++t) {
        m.setText(line::InfoText1 + 8u * t, 8, "");
    }
    m.setText(line::InfoText6, 16, "Simulated box");
    return m;
}

uint8_t BoxMemory::at(uint32_t address) const
{
    return address < kMemorySize ? bytes_[address] : 0xFF;
}

void BoxMemory::set(uint32_t address, uint8_t value)
{
    if (address < kMemorySize) {
        bytes_[address] = value;
    }
}

uint16_t BoxMemory::word(uint32_t address) const
{
    return static_cast<uint16_t>((at(address) << 8) | at(address + 1));
}

void BoxMemory::setWord(uint32_t address, uint16_t value)
{
    set(address, static_cast<uint8_t>(value >> 8));
    set(address + 1, static_cast<uint8_t>(value & 0xFF));
}

uint32_t BoxMemory::counter(uint32_t address) const
{
    uint32_t v = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        v = (v << 8) | at(address + i);
    }
    return v;
}

void BoxMemory::setCounter(uint32_t address, uint32_t value)
{
    for (uint32_t i = 0; i < 4; ++i) {
        set(address + i, static_cast<uint8_t>(value >> (8 * (3 - i))));
    }
}

std::string BoxMemory::text(uint32_t address, int width) const
{
    std::string s;
    for (uint32_t i = 0; i < static_cast<uint32_t>(width); ++i) {
        const uint8_t c = at(address + i);
        if (c == 0 || c == 0xFF) {
            break;
        }
        s += static_cast<char>(c);
    }
    return s;
}

void BoxMemory::setText(uint32_t address, int width, std::string_view text)
{
    for (uint32_t i = 0; i < static_cast<uint32_t>(width); ++i) {
        set(address + i, i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
    }
}

double BoxMemory::timeStamp() const
{
    uint64_t bits = 0;
    for (uint32_t i = 0; i < 8; ++i) {
        bits |= static_cast<uint64_t>(at(line::TimeStamp + i)) << (8 * i);
    }
    double days = 0.0;
    std::memcpy(&days, &bits, sizeof days);
    return days;
}

void BoxMemory::setTimeStamp(double days)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &days, sizeof bits);
    for (uint32_t i = 0; i < 8; ++i) {
        set(line::TimeStamp + i, static_cast<uint8_t>(bits >> (8 * i)));
    }
}

std::string BoxMemory::hexDump() const
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(kMemorySize * 2 + kMemorySize / 32);
    for (std::size_t i = 0; i < kMemorySize; ++i) {
        out += kHex[bytes_[i] >> 4];
        out += kHex[bytes_[i] & 0x0F];
        if (i % 32 == 31) {
            out += '\n';
        }
    }
    return out;
}

} // namespace boxsim
