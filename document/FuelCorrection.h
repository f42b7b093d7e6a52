#pragma once

// A fuel map correction proposed from recorded lambda, without Qt: for each
// recorded cell of the shown map half, current value x recorded lambda /
// target lambda, limited per pass and to the map's value range. Nothing
// here changes the document except ApplyCorrection.

#include "document/BoxLayout.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

namespace morvex {

class CMorvexDoc;

struct CorrectionSettings {
    // A cell needs at least this many recorded samples: its measure count,
    // which counts the readings of both sensors (a data file keeps counts in
    // steps of 20).
    int minSamples = 20;
    // Recorded lambda outside this window is a sensor fault or a cell the
    // engine only passed through: left alone.
    double windowLow = 0.70;
    double windowHigh = 1.30;
    // Largest change of one pass, per cent of the current value.
    double limitPercent = 10.0;
    // Lambda correction mode: the right map is the box's correction map, so
    // only the left map is corrected.
    bool leftOnly = false;
};

// Why a cell got its proposed value.
enum class CellOutcome {
    Changed,       // proposed differs from old
    Unchanged,     // corrected, but the value stays (on target, or a 0 cell)
    NotRecorded,   // no lambda recorded for this cylinder in the cell
    TooFewSamples, // measure count below minSamples
    OutsideWindow, // recorded lambda outside the window
    Locked,        // the tuner locked the cell
};

struct CellProposal {
    int cylinder = 0; // 0 left (TAB_DDD_LINKS), 1 right (TAB_DDD_RECHTS)
    int cell = 0;     // 0..255, cell k = 16 (grid row - 17) + grid column - 1
    uint8_t oldValue = 0;
    uint8_t proposed = 0; // oldValue unless corrected
    double lambda = 0.0;  // recorded (0 when not recorded)
    double target = 1.0;
    float samples = 0.0f;
    CellOutcome outcome = CellOutcome::NotRecorded;
};

struct CorrectionProposal {
    // Every cell of each corrected cylinder, left cylinder first, cells in
    // order.
    std::vector<CellProposal> cells;
    int count(CellOutcome outcome) const;
    // Cell `cell` of `cylinder`; null when that cylinder was not corrected.
    const CellProposal* find(int cylinder, int cell) const;
};

// Cells the tuner locked against corrections, per cylinder.
using LockedCells = std::array<std::bitset<kCells>, 2>;
// The recorded box value of lambda in lambda (the selected sensor's view of it).
using LambdaConversion = std::function<double(uint16_t)>;

// The byte a map cell of value `current` gets for recorded `lambda` over
// `target`: current x lambda / target, limited to +/- limitPercent of current,
// rounded half up and limited to 0..250.
uint8_t ProposeValue(uint8_t current, double lambda, double target, double limitPercent);

// The map byte of cell k of the shown half (map position 256 + k).
inline constexpr BoxAddress FuelMapAddress(int cylinder, int cell)
{
    return (cylinder == 0 ? box::TAB_DDD_LINKS : box::TAB_DDD_RECHTS) + kCells + cell;
}

// The proposal for `doc`'s fuel maps from its recorded lambda and its target
// lambda table. `convert` turns the recorded box values into lambda; empty
// uses the conversion library's.
CorrectionProposal ProposeCorrection(const CMorvexDoc& doc, const CorrectionSettings& settings,
                                     const LockedCells& locked = {}, const LambdaConversion& convert = {});

// Writes the changed cells into the maps and marks the document modified
// when any changed; returns how many did. The recorded data stay.
// `written` hears every byte that changed, with its old value.
using CorrectionWritten = std::function<void(const CellProposal& cell, uint8_t before)>;
int ApplyCorrection(CMorvexDoc& doc, const CorrectionProposal& proposal, const CorrectionWritten& written = {});

} // namespace morvex
