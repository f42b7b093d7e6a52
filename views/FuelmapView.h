#pragma once

#include "document/FuelCorrection.h"
#include "views/ZamoCylinderView.h"

#include <optional>

namespace morvex::views {

class CCorrectionBar;

// The fuel map of both cylinders: only the lower half of each 32 x 16 map
// (grid rows 17..32) is shown and sent. In lambda correction mode the right
// map is the box's lambda correction map: two independent grids.
class CFuelmapView : public CZamoCylinderView {
    Q_OBJECT
public:
    static constexpr int kLambdaCorrectionCommand = 32916;
    // The command byte of the fuel map's change reports.
    static constexpr uint8_t kUpdateCommand = 140;

    explicit CFuelmapView(const ViewContext& context, QWidget* parent = nullptr);

    void OnUpdate(int hint) override;
    void LoadGrid(int id) override;
    void ComputeRightPercent(int count) override;
    void SetGridLabels(int id) override;
    int ApplyCellEdit(int row, int column) override;
    bool HasMapTools() const override { return !InPreview(); }
    int GridNotify(int code, int row, int column) override;
    bool CanFillMeanValues(bool down) const override;
    void OnBoxEvent(uint32_t code, intptr_t lParam) override;

    // A fuel correction from the recorded lambda: the proposal for the
    // document with the chosen sensor and the tuner's locks, in the mode
    // shown (lambda correction: the left map only).
    CorrectionProposal ProposeCorrection(CorrectionSettings settings) const;
    // Raw analog values are no lambda: a proposal needs a sensor chosen.
    bool LambdaSensorChosen() const;
    // Not during a transfer, nor while a table is missing.
    bool CanPreviewCorrection() const;
    // The grid shows the proposal (the document is not touched): changed
    // cells coloured richer or leaner, cells without a usable recording
    // greyed, locked ones marked; editing waits until Accept or Reject. A
    // new proposal replaces the one shown.
    void PreviewCorrection(CorrectionProposal proposal);
    bool InPreview() const { return preview_.has_value(); }
    const CorrectionProposal* Preview() const { return preview_ ? &*preview_ : nullptr; }
    // Writes the changed cells into the maps as one grid action ("Fuel
    // Correction", one undo step), reports each changed byte like an edit
    // (online the box gets them) and returns how many changed.
    int AcceptCorrection();
    void RejectCorrection();
    // The cells the last Accept changed (cell k of the shown half, either
    // cylinder), until the next proposal.
    const std::vector<int>& AcceptedCells() const { return acceptedCells_; }
    // Clears everything recorded for the accepted cells (one grid action),
    // so the next ride measures the new map.
    void ResetRecordsOfAcceptedCells();
    CCorrectionBar& CorrectionBar() const { return *bar_; }

    // Lock / unlock the selected cells (or the focus cell) of the left or
    // right map against corrections: all locked already unlocks them.
    // Returns how many cells were locked, negative: unlocked. Not on the
    // per cent tab.
    bool CanToggleCorrectionLocks() const;
    int ToggleCorrectionLocks();

    static constexpr grid::ColorRef kRicherBack = grid::Rgb(255, 186, 160);
    static constexpr grid::ColorRef kLeanerBack = grid::Rgb(168, 204, 255);
    static constexpr grid::ColorRef kNoDataText = grid::Rgb(150, 150, 150);
    static constexpr grid::ColorRef kNoDataBack = grid::Rgb(232, 232, 232);
    static constexpr grid::ColorRef kLockedBack = grid::Rgb(190, 190, 190);

signals:
    // A proposal was shown, accepted, rejected, or the bar was closed.
    void correctionStateChanged();
    // The recorded data of cells were reset: the Data Record pane shows it.
    void recordsReset();

public:

    bool LambdaCorrection() const;
    // Command 32916: switches the presentation to `on`.
    void SetLambdaCorrection(bool on);
    // Enabled unless the grid is locked for online mode.
    bool CanToggleLambdaCorrection() const;

protected:
    uint16_t LineAddress(bool leftTable, int position) const override;
    int PositionOfStep(int step) const override;
    void LayoutChildren(int width, int height) override;
    void RestoreCellBack(const grid::CCellID& cell) override;

private:
    // Back to the document's tables and colours; the bar stays for Accepted.
    void EndPreview();
    void ColourPreview();
    // The shown map's cells locked against corrections carry the grid's mark.
    void MarkLockedCells();
    void FocusBar();
    // The preview colours of a cell of the shown grid; false: none.
    bool PreviewColours(const grid::CCellID& cell, grid::ColorRef& text, grid::ColorRef& back) const;
    // The cylinder (0 left, 1 right) whose map grid `id` shows.
    int CylinderOfGrid(int id) const;
    QString Summary(const CorrectionProposal& proposal) const;

    CCorrectionBar* bar_;
    std::optional<CorrectionProposal> preview_;
    // The maps as proposed, shown while previewing.
    std::array<uint8_t, kMapSize> proposedLeft_{};
    std::array<uint8_t, kMapSize> proposedRight_{};
    bool wasEditable_ = true;
    std::vector<int> acceptedCells_;
};

} // namespace morvex::views
