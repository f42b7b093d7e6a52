#include "views/IndexView.h"

#include "document/MorvexDoc.h"
#include "grid/GridCellTypes.h"
#include "grid/GridFormat.h"
#include "grid/ValueGridCtrl.h"
#include "platform/Encoding.h"
#include "platform/UserMessages.h"
#include "views/PartnerChart.h"

namespace morvex::views {

namespace it = indextable;

namespace {

QString fromCp1252(const std::string& text)
{
    return QString::fromStdString(platform::cp1252ToUtf8(text));
}

} // namespace

CZamoIndexView::CZamoIndexView(const ViewContext& context, QWidget* parent)
    : CZamoGridView(context, GridFlavour::Index, parent)
{
    rememberedFocus_ = {it::kFirstShownRow, it::kRevolutionsColumn};
    rememberedSelection_ = {it::kFirstShownRow, it::kRevolutionsColumn, it::kFirstShownRow, it::kRevolutionsColumn};
    grid_->SetRowCount(it::kRows);
    grid_->SetColumnCount(it::kColumns);
    grid_->SetFixedColumnCount(it::kFixedColumns);
    grid_->SetFixedRowCount(it::kFirstPointRow);
    for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
        for (int column = it::kRevolutionsColumn; column <= it::kLastColumn; ++column) {
            const char* sample = it::columnInfo(column).sample;
            if (it::isIndexColumn(column)) {
                grid_->SetCellType<grid::CGridCellDouble>(row, column);
                auto* cell = static_cast<grid::CGridCellDouble*>(grid_->GetCell(row, column));
                if (sample != nullptr) {
                    cell->SetSample(QString::fromLatin1(sample));
                }
            } else {
                grid_->SetCellType<grid::CGridCellText>(row, column);
                auto* cell = static_cast<grid::CGridCellText*>(grid_->GetCell(row, column));
                cell->SetMaxLength(it::kNameLength);
                cell->SetSample(QString::fromLatin1(sample));
                grid_->SetItemFormat(row, column, grid::kFormatLeft);
            }
            grid_->SetItemBkColour(row, column, BaseBackColour(row, column));
        }
    }
    grid_->SetSelectedRange(rememberedSelection_);
    grid_->SetFocusCell(rememberedFocus_);
    SetCaptions(QStringLiteral("Index: ") + GridLabelText(GridLabel::IndexTop),
                QStringLiteral("Index: ") + GridLabelText(GridLabel::IndexLeft));
}

const uint8_t* CZamoIndexView::GetDisplayedTable() const
{
    return displayedTable_;
}

it::AxisRules CZamoIndexView::Rules(int column) const
{
    it::AxisRules rules;
    if (context_.doc == nullptr || !it::isIndexColumn(column)) {
        return rules;
    }
    const IndexTable table = it::indexTableOf(column);
    const LimitRecord& limits = context_.doc->Limits().indexRecord(table);
    rules.toBox = context_.doc->Adapt().indexToBox(table);
    rules.toPc = context_.doc->Adapt().indexToPc(table);
    rules.format = context_.doc->Limits().indexFormat(table);
    rules.minimum = limits.minimum;
    rules.maximum = limits.maximum;
    return rules;
}

grid::ColorRef CZamoIndexView::BaseBackColour(int row, int column) const
{
    return it::isStripedCell(row, column) ? kStripeBack : grid::kColorDefault;
}

void CZamoIndexView::PaintBase(int row, int column)
{
    grid_->SetItemFgColour(row, column);
    grid_->SetItemBkColour(row, column, BaseBackColour(row, column));
}

void CZamoIndexView::ResetCellColours()
{
    for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
        for (int column = it::kRevolutionsColumn; column <= it::kLastColumn; ++column) {
            PaintBase(row, column);
        }
    }
}

void CZamoIndexView::RebuildChart()
{
    if (partner_ != nullptr) {
        partner_->Rebuild(GetDisplayedTable());
    }
}

void CZamoIndexView::WriteHeaders()
{
    for (int column = it::kRevolutionsColumn; column <= it::kLastColumn; ++column) {
        const Channel channel = it::columnInfo(column).channel;
        QString label;
        QString unit;
        if (context_.labels != nullptr) {
            label = fromCp1252(context_.labels->label(channel));
            unit = fromCp1252(context_.labels->unit(channel));
        }
        grid_->SetItemText(it::kHeaderRow, column, label);
        grid_->SetItemText(it::kUnitRow, column, unit);
    }
    for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
        grid_->SetItemText(row, it::kPointColumn, QString::number(it::pointNumberOfRow(row)));
    }
}

void CZamoIndexView::UpdateCellRules()
{
    // The lambda format follows the sensor chosen, so the rules are set
    // again with every update.
    for (int column = it::kRevolutionsColumn; column <= it::kLastIndexColumn; ++column) {
        const it::AxisRules rules = Rules(column);
        for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
            auto* cell = dynamic_cast<grid::CGridCellDouble*>(grid_->GetCell(row, column));
            if (cell == nullptr) {
                continue;
            }
            cell->SetMinimum(rules.minimum);
            cell->SetMaximum(rules.maximum);
            cell->SetSigned(rules.minimum < 0.0);
            cell->SetDecimals(rules.format.decimals > 0);
            cell->SetValueFormat(QString::fromStdString(rules.format.printfText()));
        }
    }
}

QString CZamoIndexView::CellText(int row, int column) const
{
    if (context_.doc == nullptr || !it::isPointCell(row, column)) {
        return {};
    }
    const int point = it::pointOfRow(row);
    if (it::isIndexColumn(column)) {
        return fromCp1252(context_.doc->IndexText(it::indexTableOf(column), point));
    }
    return fromCp1252(context_.doc->Text(it::textTableOf(column), point));
}

std::vector<grid::CCellID> CZamoIndexView::DifferingCells(const CMorvexDoc& other) const
{
    std::vector<grid::CCellID> cells;
    if (context_.doc == nullptr || table_ == nullptr) {
        return cells;
    }
    const uint8_t* theirs = other.GetBoxData(box::TAB_DZI);
    for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
        for (int column = it::kRevolutionsColumn; column <= it::kLastColumn; ++column) {
            if (!it::isPointCell(row, column) || it::isHiddenColumn(column) || it::isPlaceholderCell(row, column)) {
                continue;
            }
            bool differs = false;
            if (it::isIndexColumn(column)) {
                const auto at = static_cast<std::size_t>(it::wordOffset(row, column));
                differs = theirs[at] != table_[at] || theirs[at + 1] != table_[at + 1];
            } else {
                const TextTable table = it::textTableOf(column);
                differs = other.Text(table, it::pointOfRow(row)) != context_.doc->Text(table, it::pointOfRow(row));
            }
            if (differs) {
                cells.push_back({row, column});
            }
        }
    }
    return cells;
}

void CZamoIndexView::LoadGrid()
{
    for (int row = it::kFirstPointRow; row <= it::kLastRow; ++row) {
        for (int column = it::kRevolutionsColumn; column <= it::kLastColumn; ++column) {
            grid_->SetItemText(row, column, CellText(row, column));
        }
    }
    grid_->viewport()->update();
}

void CZamoIndexView::OnUpdate(int hint)
{
    if (hint == kHintAll || hint == kHintHeaders) {
        WriteHeaders();
    }
    if ((hint == kHintAll || hint == kHintTables) && context_.doc != nullptr) {
        table_ = context_.doc->GetBoxData(box::TAB_DZI);
        displayedTable_ = context_.doc->GetBoxData(rec::REC_INDEX_VALUES);
        UpdateCellRules();
        LoadGrid();
        RebuildChart();
    }
    grid_->AutoSize();
    LayoutChildren(width(), height());
    emit idealWidthChanged(AdjustedWidth());
}

bool CZamoIndexView::CanEditCell(int row, int column) const
{
    return it::isPointCell(row, column) && !it::isPlaceholderCell(row, column);
}

int CZamoIndexView::GridNotify(int code, int row, int column)
{
    switch (code) {
    case grid::GRID_NOTIFY_BEGIN_EDIT: return CanEditCell(row, column) ? 0 : -1;
    case grid::GRID_NOTIFY_END_EDIT: return ApplyCellEdit(row, column);
    // The axes are never stepped while online: the box would not get them.
    case grid::GRID_NOTIFY_LOCKED_STEP: return -1;
    case grid::GRID_NOTIFY_SEL_CHANGED:
        if (partner_ != nullptr) {
            partner_->SelectCell(row - 1, it::chartColumnOf(column));
        }
        return 0;
    default: return CZamoGridView::GridNotify(code, row, column);
    }
}

int CZamoIndexView::ApplyCellEdit(int row, int column)
{
    if (context_.doc == nullptr || table_ == nullptr || !CanEditCell(row, column)) {
        return -1;
    }
    const QString typed = grid_->GetItemText(row, column);
    const int answer =
        it::isIndexColumn(column) ? ApplyAxisEdit(row, column, typed) : ApplyNameEdit(row, column, typed);
    if (answer == -1) {
        return answer;
    }
    context_.doc->SetModifiedFlag(true);
    indexesChanged_ = true;
    RebuildChart();
    emit documentEdited();
    return answer;
}

int CZamoIndexView::ApplyAxisEdit(int row, int column, const QString& typed)
{
    const it::AxisRules rules = Rules(column);
    if (rules.toBox == nullptr || rules.toPc == nullptr) {
        return -1;
    }
    const it::AxisEdit edit = it::axisEditOf(typed.toStdString(), rules);
    const IndexTable table = it::indexTableOf(column);
    const int point = it::pointOfRow(row);
    // Word, index value and index text stay in step, as the document
    // derives them from the word.
    context_.doc->SetWord(indexTableInfo(table).address, point, edit.word);
    context_.doc->SetIndexValue(table, point, edit.value);
    context_.doc->SetIndexText(table, point, edit.text);
    if (edit.limited) {
        ShowLimitMessage(it::limitMessage(rules));
    }
    const QString shown = QString::fromStdString(edit.text);
    if (shown == typed) {
        return 0;
    }
    grid_->SetItemText(row, column, shown);
    grid_->SetModified(true, row, column);
    grid_->RedrawCell(row, column);
    return grid::GRID_ANSWER_KEEP_TEXT;
}

int CZamoIndexView::ApplyNameEdit(int row, int column, const QString& typed)
{
    const std::string name = it::cutName(platform::utf8ToCp1252(typed.toStdString()));
    context_.doc->SetText(it::textTableOf(column), it::pointOfRow(row), name);
    const QString shown = fromCp1252(name);
    if (shown == typed) {
        return 0;
    }
    grid_->SetItemText(row, column, shown);
    grid_->SetModified(true, row, column);
    grid_->RedrawCell(row, column);
    return grid::GRID_ANSWER_KEEP_TEXT;
}

void CZamoIndexView::ShowLimitMessage(const std::string& text)
{
    if (context_.messages == nullptr) {
        return;
    }
    // Bulk edits (fill, paste, a selection) limit with a beep alone. The
    // index grid is never stepped online, so a box never meets polling.
    if (grid_->GetSelectedCount() > 1 || grid_->IsPasteInProgress()) {
        context_.messages->beep();
        return;
    }
    platform::UserMessage m;
    m.text = text;
    m.beep = true;
    context_.messages->show(m);
}

bool CZamoIndexView::TakeIndexesChanged()
{
    const bool changed = indexesChanged_;
    indexesChanged_ = false;
    return changed;
}

std::vector<it::ValueCell> CZamoIndexView::SelectedValues() const
{
    std::vector<it::ValueCell> cells;
    for (const grid::CCellID& c : grid_->GetSelectedCells()) {
        if (CanEditCell(c.row, c.col)) {
            cells.push_back({c.row, c.col, grid::ParseLeadingDouble(grid_->GetItemText(c.row, c.col))});
        }
    }
    return cells;
}

bool CZamoIndexView::CanFillMeanValues(bool down) const
{
    return down && grid_->IsEditable() && it::canFillDown(SelectedValues());
}

void CZamoIndexView::FillMeanValues(bool down)
{
    if (!CanFillMeanValues(down)) {
        return;
    }
    std::array<DisplayFormat, it::kLastIndexColumn> formats;
    for (int column = it::kRevolutionsColumn; column <= it::kLastIndexColumn; ++column) {
        formats[static_cast<std::size_t>(column - it::kRevolutionsColumn)] = Rules(column).format;
    }
    // Each value goes through ApplyCellEdit: limited, rounded and converted
    // as if typed.
    for (const FilledCell& f : it::fillDown(SelectedValues(), formats)) {
        grid_->SetItemTextNotify(f.row, f.column, QString::fromStdString(f.text));
    }
}

int CZamoIndexView::ChartColumnOf(int column) const
{
    return it::chartColumnOf(column);
}

} // namespace morvex::views
