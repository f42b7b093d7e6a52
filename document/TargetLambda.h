#pragma once

#include "document/BoxLayout.h"

#include <array>
#include <cstdint>

namespace platform {
class IniFile;
}

namespace morvex {

// The lambda the tuner wants the engine to run at, per cylinder and cell of
// the shown map half (cell k = 16 (grid row - 17) + grid column - 1, the
// cells of data recording). Kept in hundredths: 1.00 is 100.
//
// In the data file the table has a section of its own, [TargetLambda], with
// the keys LI16 .. LI01 (left cylinder) and RE16 .. RE01 (right), one per
// map row and numbered like the map sections (the top row last), each 16
// "%03d" hundredths joined by commas. A table that is all 1.00 writes no
// section, so files of tuners who never set a target stay as they were; a
// missing or damaged row reads as 1.00 and never fails the file.
class CTargetLambda {
public:
    static constexpr int kDefault = 100; // 1.00
    static constexpr int kMinimum = 50;  // 0.50
    static constexpr int kMaximum = 200; // 2.00
    static constexpr int kCylinders = 2; // 0 left, 1 right

    CTargetLambda() { Reset(); }

    double Get(int cylinder, int cell) const { return hundredths_[index(cylinder, cell)] / 100.0; }
    int Hundredths(int cylinder, int cell) const { return hundredths_[index(cylinder, cell)]; }
    // `lambda` rounded to hundredths; false (nothing changes) outside
    // kMinimum .. kMaximum or for a cell outside 0..255.
    bool Set(int cylinder, int cell, double lambda);
    bool IsDefault() const;
    void Reset() { hundredths_.fill(kDefault); }

    // The [TargetLambda] section of a data file. Read resets the table
    // first. Write removes the section when the table is all default.
    void Read(const platform::IniFile& file);
    bool Write(platform::IniFile& file) const;

    bool operator==(const CTargetLambda&) const = default;

private:
    static std::size_t index(int cylinder, int cell);

    std::array<uint16_t, kCylinders * kCells> hundredths_{};
};

inline constexpr const char* kTargetLambdaSection = "TargetLambda";

} // namespace morvex
