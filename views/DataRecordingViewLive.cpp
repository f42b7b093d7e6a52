// The data record view while online: live values recorded, the changes
// marked and written to the screen once a frame.

#include "views/DataRecordingView.h"

#include "comm/PortCodes.h"
#include "document/MorvexDoc.h"
#include "grid/GridCell.h"
#include "grid/ValueGridCtrl.h"

namespace morvex::views {

void CDataRecordingView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    using namespace comm;
    switch (code) {
    case PT_LIVE_VALUE: {
        const recording::LiveValue live = recording::decodeLiveValue(lParam);
        if (live.parameter == kLiveRevolutionsIndex || live.parameter == kLiveThrottleIndex) {
            break; // the live cell
        }
        if (online_ && recorder_) {
            const recording::RecordingChange change = recorder_->Record(live.parameter, live.value, live_);
            if (change.modified) {
                context_.doc->SetModifiedFlag(true);
                MarkChanged(change);
            }
        }
        return;
    }
    case PT_ONLINE_STARTED: {
        online_ = true;
        if (recorder_) {
            recorder_->Forget();
        }
        // The selection stays (the resets act on it); typing and stepping
        // end until online mode does.
        const grid::CCellRange selection = grid_->GetSelectedCellRange();
        CZamoCylinderView::OnBoxEvent(code, lParam);
        grid_->SetLockedStepping(false);
        grid_->SetSelectedRange(selection);
        if (recording::isTargetGrid(activeGrid_)) {
            UnlockForTargets(true);
        }
        return;
    }
    case PT_ONLINE_ENDED:
    case PT_ABORTED:
        online_ = false;
        FlushChanges();
        break;
    default: break;
    }
    CZamoCylinderView::OnBoxEvent(code, lParam);
}

void CDataRecordingView::MarkChanged(const recording::RecordingChange& change)
{
    editMarked_ = true;
    if (change.cell >= 0 && change.tables != 0) {
        markedCells_[static_cast<std::size_t>(change.cell)] |= change.tables;
        cellsMarked_ = true;
        if (activeGrid_ != kGridMinMax && (change.tables & recording::tableBit(activeGrid_)) != 0) {
            chartMarked_ = true;
        }
    }
    for (std::size_t record = 0; record < change.statistics.size(); ++record) {
        if (change.statistics[record] != 0) {
            markedStatistics_[record] |= change.statistics[record];
            statisticsMarked_ = true;
        }
    }
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void CDataRecordingView::ClearMarks()
{
    markedCells_.fill(0);
    markedStatistics_.fill(0);
    cellsMarked_ = false;
    statisticsMarked_ = false;
    chartMarked_ = false;
}

void CDataRecordingView::RaiseChartMaximum(int grid, double value)
{
    double& maximum = chartMaximum_[static_cast<std::size_t>(grid - kGridInjectionTime)];
    if (value > maximum) {
        maximum = value;
    }
}

void CDataRecordingView::FlushChanges()
{
    flushTimer_.stop();
    CMorvexDoc* doc = context_.doc;
    if (doc == nullptr || (!cellsMarked_ && !statisticsMarked_ && !chartMarked_ && !editMarked_)) {
        return;
    }
    ++flushCount_;
    if (cellsMarked_ && activeGrid_ != kGridMinMax) {
        const recording::TableMask shown = recording::tableBit(activeGrid_);
        const recording::LambdaDisplay lambda = LambdaDisplay();
        const bool injection = activeGrid_ >= kGridInjectionTime && activeGrid_ <= kGridFuelConsumption;
        bool wider = false;
        for (int k = 0; k < kCells; ++k) {
            if ((markedCells_[static_cast<std::size_t>(k)] & shown) == 0) {
                continue;
            }
            const int row = recording::gridRowOfCell(k);
            const int column = recording::gridColumnOfCell(k);
            grid_->SetItemText(row, column, QString::fromStdString(recording::cellText(*doc, activeGrid_, k, lambda)));
            grid_->RedrawCell(row, column);
            if (injection) {
                RaiseChartMaximum(activeGrid_, doc->GetFloat(recording::recordOfGrid(activeGrid_), k));
            }
            wider = wider || grid_->GetCell(row, column)->GetCellExtent().width() > grid_->GetColumnWidth(column);
        }
        if (wider) {
            grid_->AutoSize();
        }
    }
    markedCells_.fill(0);
    cellsMarked_ = false;

    if (statisticsMarked_) {
        uint8_t columns = 0;
        for (int record = 0; record < recording::kShownStatistics; ++record) {
            const uint8_t marked = markedStatistics_[static_cast<std::size_t>(record)];
            for (int column = 0; column < recording::kStatisticColumns; ++column) {
                if ((marked & (1u << column)) != 0) {
                    WriteStatistic(record, column);
                    minMax_->RedrawCell(recording::minMaxRow(record), recording::minMaxColumn(column));
                }
            }
            columns |= marked;
        }
        // Each column as wide as its widest text.
        for (int column = 0; column < recording::kStatisticColumns; ++column) {
            if ((columns & (1u << column)) != 0) {
                minMax_->AutoSizeColumn(recording::minMaxColumn(column));
            }
        }
        markedStatistics_.fill(0);
        statisticsMarked_ = false;
    }

    if (chartMarked_ && activeGrid_ != kGridMinMax) {
        RebuildChart();
    }
    chartMarked_ = false;
    if (editMarked_) {
        editMarked_ = false;
        emit documentEdited();
    }
}

} // namespace morvex::views
