#include "document/FuelCorrection.h"

#include "document/DataFile.h"
#include "document/MorvexDoc.h"

#include <algorithm>
#include <cmath>

namespace morvex {

int CorrectionProposal::count(CellOutcome outcome) const
{
    return static_cast<int>(
        std::count_if(cells.begin(), cells.end(), [outcome](const CellProposal& c) { return c.outcome == outcome; }));
}

const CellProposal* CorrectionProposal::find(int cylinder, int cell) const
{
    // Cells lie left cylinder first, each cylinder in cell order.
    const auto i = static_cast<std::size_t>(cylinder * kCells + cell);
    return cylinder >= 0 && cell >= 0 && cell < kCells && i < cells.size() ? &cells[i] : nullptr;
}

uint8_t ProposeValue(uint8_t current, double lambda, double target, double limitPercent)
{
    if (!(target > 0.0) || !std::isfinite(lambda) || !std::isfinite(target)) {
        return current;
    }
    const double now = current;
    const double step = std::max(limitPercent, 0.0) / 100.0;
    const double proposed = std::clamp(now * lambda / target, now * (1.0 - step), now * (1.0 + step));
    return static_cast<uint8_t>(std::clamp(std::floor(proposed + 0.5), 0.0, static_cast<double>(kMaxMapValue)));
}

CorrectionProposal ProposeCorrection(const CMorvexDoc& doc, const CorrectionSettings& settings,
                                     const LockedCells& locked, const LambdaConversion& convert)
{
    const LambdaConversion toLambda = convert ? convert : LambdaConversion(doc.Adapt().BOX_TO_PC_Lambda);
    const uint8_t* flags = doc.GetBoxData(box::LAMBDA_FLAGS);
    CorrectionProposal proposal;
    const int cylinders = settings.leftOnly ? 1 : 2;
    proposal.cells.reserve(static_cast<std::size_t>(cylinders * kCells));
    for (int cylinder = 0; cylinder < cylinders; ++cylinder) {
        // The left and right sensors each record their own cylinder; their
        // flag bytes alternate per cell.
        const BoxAddress record = cylinder == 0 ? box::LAMBDA_RECORD_LEFT : box::LAMBDA_RECORD_RIGHT;
        for (int k = 0; k < kCells; ++k) {
            CellProposal c{.cylinder = cylinder,
                           .cell = k,
                           .oldValue = *doc.GetBoxData(FuelMapAddress(cylinder, k)),
                           .target = doc.TargetLambda().Get(cylinder, k),
                           .samples = doc.GetFloat(box::MEASURE_COUNTS, k)};
            c.proposed = c.oldValue;
            const bool recorded = flags[2 * k + cylinder] != 0;
            if (recorded) {
                c.lambda = toLambda(doc.GetWord(record, k));
            }
            if (locked[static_cast<std::size_t>(cylinder)].test(static_cast<std::size_t>(k))) {
                c.outcome = CellOutcome::Locked;
            } else if (!recorded) {
                c.outcome = CellOutcome::NotRecorded;
            } else if (static_cast<double>(c.samples) < settings.minSamples) {
                c.outcome = CellOutcome::TooFewSamples;
            } else if (!(c.lambda >= settings.windowLow && c.lambda <= settings.windowHigh)) {
                c.outcome = CellOutcome::OutsideWindow;
            } else {
                c.proposed = ProposeValue(c.oldValue, c.lambda, c.target, settings.limitPercent);
                c.outcome = c.proposed != c.oldValue ? CellOutcome::Changed : CellOutcome::Unchanged;
            }
            proposal.cells.push_back(c);
        }
    }
    return proposal;
}

int ApplyCorrection(CMorvexDoc& doc, const CorrectionProposal& proposal, const CorrectionWritten& written)
{
    int changed = 0;
    for (const CellProposal& c : proposal.cells) {
        if (c.outcome != CellOutcome::Changed) {
            continue;
        }
        uint8_t& byte = *doc.GetBoxData(FuelMapAddress(c.cylinder, c.cell));
        if (byte != c.proposed) {
            const uint8_t before = byte;
            byte = c.proposed;
            ++changed;
            if (written) {
                written(c, before);
            }
        }
    }
    if (changed != 0) {
        doc.SetModifiedFlag(true);
    }
    return changed;
}

} // namespace morvex
