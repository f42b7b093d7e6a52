#pragma once

#include "views/IgnitionMap.h"
#include "views/ZamoCylinderView.h"

#include <cstdint>
#include <string>

namespace morvex::views {

// The ignition maps of both cylinders, edited in degrees BTDC while the box
// keeps steps of the trigger wheel: the cylinder grids show the degree maps
// (derived from the step maps with the teeth and the static ignition point,
// never stored) and every edit stores the steps. Only the lower half of each
// map is shown.
class CIgnitionView : public CZamoCylinderView {
    Q_OBJECT
public:
    explicit CIgnitionView(const ViewContext& context, QWidget* parent = nullptr);

    void OnUpdate(int hint) override;
    void LoadGrid(int id) override;
    void SwitchGrid(int id) override;
    int ApplyCellEdit(int row, int column) override;
    bool HasMapTools() const override { return true; }
    void EnableGridEditing(bool enable) override;
    void OnBoxEvent(uint32_t code, intptr_t lParam) override;

    // Degrees from the steps; false when loaded data had to be limited
    // (the tuner is told once).
    virtual bool RecomputeDegrees();
    // Steps from the degrees after teeth or offset changed, then the
    // degrees again; false when anything was limited (told once).
    virtual bool RecomputeSteps();

    IgnitionSetup Setup() const;
    uint8_t* LeftSteps() const { return leftSteps_; }
    uint8_t* RightSteps() const { return rightSteps_; }

protected:
    void BindIgnitionTables();
    IgnitionTables Tables();
    // Writes `table` into the data cells with the cell limits 0..maximum;
    // null empties them.
    void FillCells(const uint8_t* table, int maximum);
    // Tells the partner chart that the grid loaded next ranges 0..maximum.
    void TellChartRange(int maximum);
    // "Some Ignition Box Data ... limited!": while online or during a
    // transfer it waits until editing is enabled again.
    void ShowDataLimited();

    // The box keeps steps: those are reported, not the degrees shown.
    uint8_t* ReportedLeft() const override { return leftSteps_; }
    uint8_t* ReportedRight() const override { return rightSteps_; }

    uint8_t* leftSteps_ = nullptr;
    uint8_t* rightSteps_ = nullptr;

private:
    bool limitMessagePending_ = false;
};

// The class the Ignition pane creates: adds the read-only Premap tab (the
// premap of the ignition map number, for comparison), reports changed steps
// under the box's own line addresses and owns Set Teeth and Offset.
class CDOS_IgnitionView : public CIgnitionView {
    Q_OBJECT
public:
    static constexpr int kSetTeethAndOffsetCommand = 32910;
    static constexpr uint8_t kUpdateCommand = 187;

    explicit CDOS_IgnitionView(const ViewContext& context, QWidget* parent = nullptr);

    void OnUpdate(int hint) override;
    void LoadGrid(int id) override;
    void SetGridLabels(int id) override;
    bool CanEditCell(int row, int column) const override;
    void OnBoxEvent(uint32_t code, intptr_t lParam) override;
    int GridNotify(int code, int row, int column) override;

    // Shows premap `number` (0..26) on the Premap tab; another number
    // leaves the tab empty. Also the function view's IGMN hand-over.
    void SelectPremap(int number);
    int PremapShown() const { return premapShown_; }

    // Command 32910: not while the grid is locked (online or a transfer of
    // this view).
    bool CanSetTeethAndOffset() const;
    // Opens "Set Teeth and Offset"; OK applies the values.
    void SetTeethAndOffset();
    // Stores new teeth (6..180) and offset (0..30), keeping the degrees as
    // far as steps allow. False when nothing changed.
    bool ApplyTeethAndOffset(int teeth, int offset);

signals:
    void staticPointChanged(int degrees);

protected:
    uint16_t LineAddress(bool leftTable, int position) const override;
    int PositionOfStep(int step) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Lays the shown premap again (the static ignition point changed).
    void RefillPremap(int number);
    int IgnitionMapNumber() const;

    int premapShown_ = -1;
};

} // namespace morvex::views
