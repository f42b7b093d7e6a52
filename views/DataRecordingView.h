#pragma once

#include "views/DataRecording.h"
#include "views/ZamoCylinderView.h"

#include <QTimer>

#include <array>
#include <memory>
#include <optional>
#include <utility>

namespace morvex::grid {
class CRecordingGridCtrl;
}

namespace morvex::views {

// The Data Record pane: while online, every live value of the box is
// recorded into the cell the engine runs in (left and right lambda with
// the right one in per cent of the left, injection time, duty, fuel
// consumption, the samples counted) and into the statistics of eleven
// quantities. Eight tabs show the recordings over the fuel map's lower
// half; the Min / Max tab exchanges the map grid for a grid of its own.
// The view records, shows and resets; nothing of it goes to the box, and
// typed texts are not stored.
//
// Two more tabs hold the target lambda of each cylinder over the same
// cells: typed, stepped by 0.01 and pasted like any map (0.50..2.00, a
// cleared cell is 1.00), stored in the document and also editable while
// online, since nothing of them goes to the box. The resets leave them
// alone. In lambda correction mode the right map is the box's correction
// map, so the right target tab is disabled.
//
// Changes reach the screen at most once a frame: every value marks the
// cells and statistics it changed, and a single-shot timer writes the
// marked cells and rebuilds the chart once for the whole burst.
class CDataRecordingView : public CZamoCylinderView {
    Q_OBJECT
public:
    static constexpr int kResetAllCommand = 32902;
    static constexpr int kResetActiveGridCommand = 32903;
    static constexpr int kResetSelectedCellsCommand = 32904;
    // The longest a change waits for the screen: one frame.
    static constexpr int kFlushIntervalMs = 16;

    explicit CDataRecordingView(const ViewContext& context, QWidget* parent = nullptr);
    ~CDataRecordingView() override;

    void OnUpdate(int hint) override;
    void LoadGrid(int id) override;
    void SetGridLabels(int id) override;
    void SwitchGrid(int id) override;
    int ApplyCellEdit(int row, int column) override;
    void OnBoxEvent(uint32_t code, intptr_t lParam) override;
    void SetLiveCell(int row, int column) override;
    // Fill Down and Fill Right work on the target tabs only.
    bool CanFillMeanValues(bool down) const override;
    void FillMeanValues(bool down) override;
    QSize GetIdealSize() const override;
    void OnGridFontChanged(const QFont& font) override;

    // Commands 32902, 32903 (not on the Right Lambda % tab) and 32904 (also
    // the Delete key). None asks; each marks the document modified.
    bool CanResetAll() const;
    void ResetAll();
    bool CanResetActiveGrid() const;
    void ResetActiveGrid();
    bool CanResetSelectedCells() const;
    void ResetSelectedCells();

    // The Lambda Sensor menu chose another sensor: the recordings are shown
    // through its conversion (the recorded data stay as they are).
    void OnLambdaSensorChanged();

    grid::CRecordingGridCtrl& MinMaxGrid() { return *minMax_; }
    // The grid control of the active tab (the Min / Max grid on its tab).
    grid::CValueGridCtrl& ActiveGridCtrl();
    bool IsOnline() const { return online_; }
    // The chart's value range of the active grid; none for Min / Max.
    std::optional<std::pair<double, double>> ChartRange() const;

    // Writes the marked changes now (the timer does it otherwise).
    void FlushChanges();
    bool FlushPending() const { return flushTimer_.isActive(); }
    // How often marked changes were written: one per burst.
    int FlushCount() const { return flushCount_; }

protected:
    void LayoutChildren(int width, int height) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QString TabName(int id) const;
    recording::LambdaDisplay LambdaDisplay() const;
    void WriteMinMaxHeaders();
    void LoadMinMax();
    void WriteStatistic(int record, int column);
    void ExchangeGrids();
    void RecordLiveValue(intptr_t lParam);
    void MarkChanged(const recording::RecordingChange& change);
    void ClearMarks();
    void AfterReset();
    void RaiseChartMaximum(int grid, double value);
    // The target tabs (DataRecordingTarget.cpp).
    bool RightTargetEnabled() const;
    void UpdateTargetTabs();
    void LoadTargetGrid(int id);
    void UseTargetCells(bool on);
    int ApplyTargetEdit(int row, int column);
    void UnlockForTargets(bool unlock);

    grid::CRecordingGridCtrl* minMax_;
    std::unique_ptr<grid::GridNotifyTarget> minMaxNotify_;
    std::optional<recording::DataRecorder> recorder_;
    bool online_ = false;

    QTimer flushTimer_;
    int flushCount_ = 0;
    std::array<recording::TableMask, kCells> markedCells_{};
    bool cellsMarked_ = false;
    std::array<uint8_t, recording::kStatisticCount> markedStatistics_{};
    bool statisticsMarked_ = false;
    bool chartMarked_ = false;
    bool editMarked_ = false;
    // The largest value of each injection grid (1214..1216): the chart's scale.
    std::array<double, 3> chartMaximum_{};
    // The shown target table as floats, the chart's table on a target tab.
    std::array<float, kCells> targetChart_{};
    // The value cells are decimal target cells.
    bool targetCells_ = false;
};

} // namespace morvex::views
