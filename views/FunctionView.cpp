#include "views/FunctionView.h"

#include "document/Labels.h"
#include "document/MorvexDoc.h"
#include "grid/GridCellTypes.h"
#include "grid/ValueGridCtrl.h"
#include "platform/Encoding.h"
#include "platform/UserMessages.h"

namespace morvex::views {

namespace ft = functiontable;

namespace {

QString fromCp1252(const std::string& text)
{
    return QString::fromStdString(platform::cp1252ToUtf8(text));
}

} // namespace

CFunctionView::CFunctionView(const ViewContext& context, QWidget* parent)
    : CZamoCylinderView(context, GridFlavour::Function, Tabs::None, parent)
{
    SetUpdateCommand(kUpdateCommand);
    grid_->SetRowCount(ft::kRows);
    grid_->SetColumnCount(ft::kColumns);
    grid_->SetFixedColumnCount(0);
    grid_->SetFixedRowCount(ft::kFixedRows);
    for (int row = ft::kUnitRow; row < ft::kRows; ++row) {
        for (int column = 0; column < ft::kColumns; ++column) {
            grid_->SetCellType<grid::CGridCellLabel>(row, column);
            auto* cell = static_cast<grid::CGridCellLabel*>(grid_->GetCell(row, column));
            const ft::CellLimits limits = ft::cellLimits(row, column);
            cell->SetMinimum(limits.minimum);
            cell->SetMaximum(limits.maximum);
            cell->SetSample(QString::fromLatin1(ft::columnInfo(column).sample));
        }
    }
    for (int column = 0; column < ft::kColumns; ++column) {
        grid_->SetItemFormat(ft::kHeaderRow, column, grid::kFormatLeft);
        grid_->SetItemFormat(ft::kUnitRow, column, grid::kFormatLeft);
        if (ft::isHiddenColumn(column)) {
            grid_->SetColumnWidth(column, 0);
        }
    }
    // Points 16..31 are not held by the box: their rows stay hidden.
    for (int row = ft::kFirstPointRow; row < ft::kFirstShownRow; ++row) {
        grid_->SetRowHeight(row, 0);
    }
    PaintRevLimitHighCell();
    grid_->SetSelectedRange(ft::kFirstShownRow, 0, ft::kFirstShownRow, 0);
    grid_->SetFocusCell(ft::kFirstShownRow, 0);
    rememberedFocus_ = {ft::kFirstShownRow, 0};
    rememberedSelection_ = {ft::kFirstShownRow, 0, ft::kFirstShownRow, 0};
    SetGridLabels(kGridLeft);
}

void CFunctionView::SetGridLabels(int)
{
    SetCaptions(GridLabelText(GridLabel::IndexTop), QStringLiteral("Function: ") + GridLabelText(GridLabel::IndexLeft));
}

void CFunctionView::ComputeRightPercent(int) {}

std::vector<grid::CCellID> CFunctionView::DifferingCells(const CMorvexDoc& other) const
{
    std::vector<grid::CCellID> cells;
    if (table_ == nullptr) {
        return cells;
    }
    const uint8_t* theirs = other.GetBoxData(box::TAB_MTD);
    for (int row = ft::kFirstShownRow; row <= ft::kLastRow; ++row) {
        for (int column = 0; column < ft::kColumns; ++column) {
            if (ft::isHiddenColumn(column)) {
                continue;
            }
            // Kept: the span of list() points into it.
            const ft::CellBytes bytes = ft::cellBytes(row, column);
            for (const int offset : bytes.list()) {
                const auto at = static_cast<std::size_t>(offset);
                if (theirs[at] != table_[at]) {
                    cells.push_back({row, column});
                    break;
                }
            }
        }
    }
    return cells;
}

std::span<uint8_t, ft::kTableSize> CFunctionView::Table() const
{
    return std::span<uint8_t, ft::kTableSize>(table_, ft::kTableSize);
}

ft::RevConversions CFunctionView::Conversions() const
{
    ft::RevConversions c;
    if (context_.doc != nullptr) {
        c.toBox = context_.doc->Adapt().PC_TO_BOX_Drehzahl;
        c.toPc = context_.doc->Adapt().BOX_TO_PC_Drehzahl_25;
        c.maximumRevolutions = context_.doc->Limits().record(Limit::Revolutions).maximum;
    }
    return c;
}

QString CFunctionView::CellText(int row, int column) const
{
    if (table_ == nullptr) {
        return {};
    }
    return QString::fromStdString(ft::cellText(Table(), row, column, Conversions().toPc));
}

void CFunctionView::PaintRevLimitHighCell()
{
    const grid::ColorRef background = grid_->GetGridBkColor();
    grid_->SetItemBkColour(ft::kRevLimitHighRow, ft::kRevLimitColumn, background);
    grid_->SetItemFgColour(ft::kRevLimitHighRow, ft::kRevLimitColumn, background);
    grid_->SetItemState(ft::kRevLimitHighRow, ft::kRevLimitColumn,
                        grid_->GetItemState(ft::kRevLimitHighRow, ft::kRevLimitColumn) | grid::GVIS_READONLY);
    grid_->RedrawCell(ft::kRevLimitHighRow, ft::kRevLimitColumn);
}

void CFunctionView::ResetPointColours()
{
    for (int row = ft::kFirstPointRow; row < ft::kRows; ++row) {
        for (int column = 0; column < ft::kColumns; ++column) {
            grid_->SetItemBkColour(row, column);
            grid_->SetItemFgColour(row, column);
        }
    }
    PaintRevLimitHighCell();
}

void CFunctionView::WriteHeaders()
{
    const CLabels* labels = context_.labels;
    for (int column = 0; column < ft::kColumns; ++column) {
        const ft::ColumnInfo& info = ft::columnInfo(column);
        QString label;
        QString unit;
        if (info.channel && labels != nullptr) {
            label = fromCp1252(labels->label(*info.channel));
            unit = fromCp1252(labels->unit(*info.channel));
        }
        grid_->SetItemText(ft::kHeaderRow, column, label);
        if (auto* cell = dynamic_cast<grid::CGridCellLabel*>(grid_->GetCell(ft::kUnitRow, column))) {
            cell->SetLabelText(unit);
        }
        for (int row = ft::kFirstPointRow; row < ft::kRows; ++row) {
            QString text;
            const int point = ft::pointOfRow(row);
            if (context_.doc != nullptr && info.axis) {
                text = fromCp1252(context_.doc->IndexText(*info.axis, point));
            } else if (context_.doc != nullptr && info.names) {
                text = fromCp1252(context_.doc->Text(*info.names, point));
            }
            if (auto* cell = dynamic_cast<grid::CGridCellLabel*>(grid_->GetCell(row, column))) {
                cell->SetLabelText(text);
            }
        }
    }
}

void CFunctionView::OnUpdate(int hint)
{
    if (hint == kHintAll || hint == kHintHeaders) {
        WriteHeaders();
    }
    if ((hint == kHintAll || hint == kHintTables) && context_.doc != nullptr) {
        table_ = context_.doc->GetBoxData(box::TAB_MTD);
        LoadGrid(kGridLeft);
    }
    grid_->AutoSize();
    LayoutChildren(width(), height());
    emit idealWidthChanged(AdjustedWidth());
}

void CFunctionView::LoadGrid(int)
{
    if (table_ == nullptr) {
        return;
    }
    displayedTable_ = table_;
    RebuildChart();
    for (int row = ft::kFirstPointRow; row < ft::kRows; ++row) {
        for (int column = 0; column < ft::kColumns; ++column) {
            grid_->SetItemText(row, column, CellText(row, column));
        }
    }
    grid_->viewport()->update();
}

bool CFunctionView::CanEditCell(int row, int column) const
{
    return row >= ft::kFirstShownRow && row < ft::kRows && column >= 0 && column < ft::kColumns &&
           !ft::isHiddenColumn(column) && !ft::isRevLimitHighCell(row, column);
}

std::vector<SelectedCell> CFunctionView::FillCells() const
{
    std::vector<SelectedCell> cells;
    for (const grid::CCellID& c : grid_->GetSelectedCells()) {
        if (CanEditCell(c.row, c.col)) {
            cells.push_back({c.row, c.col, ft::parseCellNumber(grid_->GetItemText(c.row, c.col).toStdString())});
        }
    }
    return cells;
}

bool CFunctionView::CanFillMeanValues(bool down) const
{
    return canFillMeanValues(FillCells(), down);
}

void CFunctionView::FillMeanValues(bool down)
{
    // Each value goes through ApplyCellEdit, which limits it to its cell.
    for (const FilledCell& f : fillMeanValues(FillCells(), down, false)) {
        grid_->SetItemTextNotify(f.row, f.column, QString::fromStdString(f.text));
    }
}

int CFunctionView::ApplyCellEdit(int row, int column)
{
    if (table_ == nullptr) {
        return 0;
    }
    const ft::RevConversions conversions = Conversions();
    if (ft::isRevLimitCell(row, column) && (conversions.toBox == nullptr || conversions.toPc == nullptr)) {
        return -1;
    }
    const std::string typed = grid_->GetItemText(row, column).toStdString();
    const ft::FunctionEdit edit = ft::applyFunctionEdit(Table(), row, column, typed, conversions);
    if (edit.answer == -1) {
        return -1;
    }
    if (edit.beep && context_.messages != nullptr) {
        context_.messages->beep();
    }
    if (edit.roundTripFailed) {
        // Stored anyway: the box gets what the conversion gives.
        ShowEditMessage(ft::kRevLimitMismatchMessage, platform::UserMessage::Icon::Exclamation, false, false);
    }
    CellEditResult result;
    result.answer = edit.answer;
    result.text = edit.text;
    result.modified = true;
    const int answer = Finish(row, column, result);
    if (edit.ignitionMap) {
        emit ignitionMapNumberChanged(*edit.ignitionMap);
    }
    return answer;
}

} // namespace morvex::views
