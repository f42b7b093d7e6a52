#pragma once

#include "views/ZamoCylinderView.h"

namespace morvex::views {

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
    bool HasMapTools() const override { return true; }

    bool LambdaCorrection() const;
    // Command 32916: switches the presentation to `on`.
    void SetLambdaCorrection(bool on);
    // Enabled unless the grid is locked for online mode.
    bool CanToggleLambdaCorrection() const;

protected:
    uint16_t LineAddress(bool leftTable, int position) const override;
    int PositionOfStep(int step) const override;
};

} // namespace morvex::views
