#pragma once

#include "grid/GridDefs.h"
#include "platform/UserMessages.h"
#include "views/CylinderMap.h"
#include "views/LiveTrail.h"
#include "views/MapTools.h"
#include "views/ZamoGridView.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QTabBar;
class QTimer;

namespace morvex::views {

// A 32 x 16 map of both cylinders on three tabs: left cylinder, right
// cylinder in per cent of the left, right cylinder. Edits of one grid keep
// the other two in step; while online the grid is locked, shows the live
// cell and reports every changed byte to the frame. Subclasses choose the
// grid flavour and whether there are tabs at all.
class CZamoCylinderView : public CZamoGridView {
    Q_OBJECT
public:
    enum class Tabs { Shown, None };

    explicit CZamoCylinderView(const ViewContext& context, GridFlavour flavour = GridFlavour::Value,
                               Tabs tabs = Tabs::Shown, QWidget* parent = nullptr);
    ~CZamoCylinderView() override;

    int ActiveGrid() const { return activeGrid_; }
    // The tab bar; null in a view without tabs.
    QTabBar* TabBar() const { return tabs_; }
    std::array<uint8_t, kMapSize>& PercentTable() { return percent_; }
    uint8_t* LeftTable() const { return left_; }
    uint8_t* RightTable() const { return right_; }
    const LiveCell& Live() const { return live_; }

    virtual void SetLiveCell(int row, int column);
    virtual void SwitchGrid(int id);
    virtual bool CanSwitchGrid() const { return true; }
    void NextGrid();
    void PreviousGrid();
    virtual int ApplyCellEdit(int row, int column);
    virtual int ApplyCellEditAndReport(int row, int column);
    virtual void SetGridLabels(int id);
    virtual void LoadGrid(int id);
    virtual void ComputeRightPercent(int count);
    void OnBoxEvent(uint32_t code, intptr_t lParam) override;
    virtual void SetCellValue(int position, int value);
    // GRID_NOTIFY_BEGIN_EDIT: false keeps the cell as it is.
    virtual bool CanEditCell(int row, int column) const;

    virtual bool CanFillMeanValues(bool down) const;
    virtual void FillMeanValues(bool down);

    // The Edit menu's map tools on the selected cells (online: the focus
    // cell). Each new value is written as if typed, through
    // ApplyCellEditAndReport, so limits, the coupled cylinder and online
    // reports apply; one run is one grid action ("Scale", ...), one undo
    // step. False where the view has no map tools.
    virtual bool HasMapTools() const { return false; }
    bool CanApplyMapTool(MapTool tool) const;
    void ApplyMapTool(MapTool tool, double amount);

    int GridNotify(int code, int row, int column) override;
    QSize GetIdealSize() const override;

    // The default live-cell colours.
    static constexpr grid::ColorRef kLiveText = grid::Rgb(0, 0, 0);
    static constexpr grid::ColorRef kLiveBack = grid::Rgb(255, 255, 0);

    // The live trail: while online, the cells the engine passed through
    // lately (besides the live cell) take the live background, faded
    // towards their own by age, and the chart draws the path. Painted a
    // moment after a change, never once per live byte. Off until the owner
    // shows it; the live cell and compare marks stay as they are.
    void ShowLiveTrail(bool on);
    bool LiveTrailShown() const { return trailShown_; }
    // How many points the trail keeps (0: none).
    void SetLiveTrailLength(int points);
    // The trail as last painted, oldest first, in grid rows and columns.
    const std::vector<LiveTrail::Point>& LiveTrailPoints() const { return trailPoints_; }
    // The share of the live background a trail cell of weight 1 takes.
    static constexpr double kTrailStrength = 0.75;

protected:
    // The command byte and line address under which a changed byte of the
    // left (or right) table at map position p is written to the box.
    virtual uint16_t LineAddress(bool leftTable, int position) const;
    // The map position (0..511 left, 512..1023 right) of the value a
    // transfer job reports as its step `step`.
    virtual int PositionOfStep(int step) const { return step; }
    // The left and right tables whose bytes the box holds and a change
    // reports (the shown tables unless the view shows derived values).
    virtual uint8_t* ReportedLeft() const { return left_; }
    virtual uint8_t* ReportedRight() const { return right_; }
    uint8_t UpdateCommand() const { return updateCommand_; }
    void SetUpdateCommand(uint8_t command) { updateCommand_ = command; }
    // Shows a limit message (beep first) for single-cell edits only; while
    // the grid is stepped online only a beep, never a modal box.
    void ShowLimitMessage(const std::string& text);
    // The same for the views' other edit messages (`singleCellOnly` false:
    // also for bulk edits).
    void ShowEditMessage(const std::string& text, platform::UserMessage::Icon icon, bool beep,
                         bool singleCellOnly = true);
    void Beep();
    bool IsSingleCellEdit() const;
    // Only the lower half of the map (grid rows 17..32) is shown: rows
    // 1..16 are fixed with height 0 and never edited.
    void ShowLowerHalfOnly();
    bool LowerHalfOnly() const { return lowerHalfOnly_; }
    // Row headers: revolutions axis texts 31..0 through the user's number
    // format; column headers: throttle axis texts 0..15.
    void WriteStandardHeaders();
    // Applies a result's text to the cell (answer -3).
    int Finish(int row, int column, const CellEditResult& result);
    void ReportChange(bool leftTable, int position, uint8_t before, uint8_t after);
    void BindTables(uint8_t* left, uint8_t* right);
    int TabCount() const;
    // Selects the tab of grid `id` without switching (no signal).
    void SelectTab(int id);
    void LayoutChildren(int width, int height) override;
    void RebuildChart();
    void ResetCellColours();
    // Online mode locks the grid: only the stepping keys change the focus
    // cell.
    void LockForOnline();
    void ForgetLiveCell();
    // The live cell, then the trail, then the resting background.
    void RestoreCellBack(const grid::CCellID& cell) override;
    // Online mode begins or ends for the trail.
    void StartTrail();
    void EndTrail();
    // The live cell moved to (row, column) (-1: unknown).
    void VisitTrail(int row, int column);
    void ScheduleTrailRepaint();
    void RepaintTrail();
    // The shown left or right map's cells.
    std::vector<grid::CCellID> DifferingCells(const CMorvexDoc& other) const override;
    // The value cells the map tools read: the selected ones, or every one.
    std::vector<MapToolCell> MapToolCells(bool selectedOnly) const;
    // Writes `value` into the cell as a typed edit would.
    void WriteToolValue(int row, int column, int value);

    QTabBar* tabs_;
    int activeGrid_ = kGridLeft;
    uint8_t* left_ = nullptr;
    uint8_t* right_ = nullptr;
    std::array<uint8_t, kMapSize> percent_{};
    LiveCell live_;
    grid::CCellID previousLive_;
    bool blink_ = false;

private:
    void InitTrail();
    double TrailWeightOf(const grid::CCellID& cell) const;

    LiveTrail trail_;
    std::vector<LiveTrail::Point> trailPoints_;
    QTimer* trailTimer_ = nullptr;
    bool trailShown_ = false;
    bool trailOnline_ = false;
    bool lowerHalfOnly_ = false;
    uint8_t updateCommand_ = 255;
};

} // namespace morvex::views
