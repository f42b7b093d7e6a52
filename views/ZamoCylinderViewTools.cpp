// The map tools of the cylinder views: Scale, Add, Set, Smooth and
// Interpolate on the selected cells, written cell by cell as typed edits.
#include "views/ZamoCylinderView.h"

#include "grid/ValueGridCtrl.h"

namespace morvex::views {

namespace {

const char* actionName(MapTool tool)
{
    switch (tool) {
    case MapTool::Scale: return "Scale";
    case MapTool::Add: return "Add Value";
    case MapTool::Set: return "Set Value";
    case MapTool::Smooth: return "Smooth";
    case MapTool::Interpolate: return "Interpolate";
    }
    return "";
}

} // namespace

std::vector<MapToolCell> CZamoCylinderView::MapToolCells(bool selectedOnly) const
{
    std::vector<grid::CCellID> ids;
    if (selectedOnly) {
        ids = grid_->GetSelectedCells();
        // Online the locked grid has no selection of its own: the tools act
        // on the live cell.
        if (ids.empty() && grid_->IsLockedStepping() && grid_->GetFocusCell().IsValid()) {
            ids.push_back(grid_->GetFocusCell());
        }
    } else {
        for (int row = 1; row < grid_->GetRowCount(); ++row) {
            for (int column = 1; column < grid_->GetColumnCount(); ++column) {
                ids.push_back({row, column});
            }
        }
    }
    std::vector<MapToolCell> cells;
    for (const grid::CCellID& id : ids) {
        double minimum = 0;
        double maximum = 0;
        QString format;
        // Header cells and the hidden upper half are no map values.
        if (grid_->IsCellFixed(id.row, id.col) || !CanEditCell(id.row, id.col) ||
            !grid::GetValueCellRules(grid_->GetCell(id.row, id.col), minimum, maximum, format)) {
            continue;
        }
        cells.push_back({.row = id.row,
                         .column = id.col,
                         .value = grid_->GetItemText(id.row, id.col).toInt(),
                         .minimum = static_cast<int>(minimum),
                         .maximum = static_cast<int>(maximum)});
    }
    return cells;
}

bool CZamoCylinderView::CanApplyMapTool(MapTool tool) const
{
    // Not while a transfer writes the tables (the grid is read-only then);
    // online the locked grid still takes edits of its live cell.
    const bool editable = grid_->IsEditable() || grid_->IsLockedStepping();
    return HasMapTools() && editable && left_ != nullptr && right_ != nullptr &&
           canApplyMapTool(tool, MapToolCells(true));
}

void CZamoCylinderView::ApplyMapTool(MapTool tool, double amount)
{
    if (!CanApplyMapTool(tool)) {
        return;
    }
    // Typing still open in a cell is an action of its own, finished first.
    if (grid_->IsEditing()) {
        grid_->EndEditing();
    }
    const std::vector<MapToolCell> results = applyMapTool(
        tool, MapToolCells(true), amount, tool == MapTool::Smooth ? MapToolCells(false) : std::vector<MapToolCell>{});
    const grid::CGridCtrl::ActionScope action(*grid_, actionName(tool));
    for (const MapToolCell& c : results) {
        WriteToolValue(c.row, c.column, c.value);
    }
}

void CZamoCylinderView::WriteToolValue(int row, int column, int value)
{
    const QString old = grid_->GetItemText(row, column);
    const QString text = QString::number(value);
    if (text == old) {
        return;
    }
    grid_->SetItemText(row, column, text);
    // The answers of a typed edit: below zero other than "keep the view's
    // text" puts the old text back.
    const int answer = ApplyCellEditAndReport(row, column);
    if (answer >= 0) {
        grid_->SetModified(true, row, column);
    } else if (answer != grid::GRID_ANSWER_KEEP_TEXT) {
        grid_->SetItemText(row, column, old);
    }
    grid_->RedrawCell(row, column);
}

} // namespace morvex::views
