#include "views/ZamoCylinderView.h"

#include "comm/PortCodes.h"
#include "document/Labels.h"
#include "document/MorvexDoc.h"
#include "grid/GridCellTypes.h"
#include "grid/ValueGridCtrl.h"
#include "platform/Encoding.h"
#include "platform/MessageTarget.h"
#include "platform/NumberFormat.h"
#include "platform/UserMessages.h"
#include "views/PartnerChart.h"
#include "views/TransferColours.h"

#include <QLabel>
#include <QLocale>
#include <QTabBar>

#include <cmath>

namespace morvex::views {
namespace {

using grid::ColorRef;
using namespace transfer;
constexpr ColorRef kWhite = kText;

} // namespace

CZamoCylinderView::CZamoCylinderView(const ViewContext& context, GridFlavour flavour, Tabs tabs, QWidget* parent)
    : CZamoGridView(context, flavour, parent), tabs_(tabs == Tabs::Shown ? new QTabBar(this) : nullptr)
{
    InitTrail();
    if (tabs_ == nullptr) {
        return;
    }
    tabs_->addTab(GridLabelText(GridLabel::CylinderLeft));
    tabs_->addTab(GridLabelText(GridLabel::CylinderRightPercent));
    tabs_->addTab(GridLabelText(GridLabel::CylinderRightA));
    tabs_->setFocusPolicy(Qt::NoFocus);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0) {
            SwitchGrid(gridOfTab(index));
        }
    });
    grid_->SetItemText(0, 0, GridLabelText(GridLabel::CylinderLeftShort));
    if (auto* corner = dynamic_cast<grid::CGridCelll250*>(grid_->GetCell(0, 0))) {
        corner->SetSample(QStringLiteral("88.888"));
    }
    SetGridLabels(kGridLeft);
}

CZamoCylinderView::~CZamoCylinderView() = default;

int CZamoCylinderView::TabCount() const
{
    return tabs_ != nullptr ? tabs_->count() : 1;
}

void CZamoCylinderView::SelectTab(int id)
{
    if (tabs_ != nullptr) {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(tabOfGrid(id));
    }
}

void CZamoCylinderView::ShowLowerHalfOnly()
{
    lowerHalfOnly_ = true;
    grid_->SetFixedRowCount(kFirstShownRow);
    for (int row = 1; row < kFirstShownRow; ++row) {
        grid_->SetRowHeight(row, 0);
    }
    grid_->SetSelectedRange(kFirstShownRow, 1, kFirstShownRow, 1);
    grid_->SetFocusCell(kFirstShownRow, 1);
    rememberedFocus_ = {kFirstShownRow, 1};
    rememberedSelection_ = {kFirstShownRow, 1, kFirstShownRow, 1};
}

void CZamoCylinderView::WriteStandardHeaders()
{
    if (context_.doc == nullptr) {
        return;
    }
    const QLocale locale;
    for (int row = 1; row <= kMapRows; ++row) {
        const std::string& text = context_.doc->IndexText(IndexTable::DZI, kMapRows - row);
        grid_->SetItemText(row, 0, locale.toString(std::round(platform::parseDouble(text)), 'f', 0));
    }
    for (int column = 1; column <= kMapColumns; ++column) {
        grid_->SetItemText(
            0, column,
            QString::fromStdString(platform::cp1252ToUtf8(context_.doc->IndexText(IndexTable::DKI, column - 1))));
    }
}

bool CZamoCylinderView::CanEditCell(int row, int) const
{
    // The hidden upper half is never changed: a live cell there (a box
    // reporting a revolutions index above 15) must not step it.
    return !lowerHalfOnly_ || row >= kFirstShownRow;
}

void CZamoCylinderView::SetGridLabels(int id)
{
    GridLabel name = GridLabel::CylinderLeft;
    GridLabel corner = GridLabel::CylinderLeftShort;
    if (id == kGridPercent) {
        name = GridLabel::CylinderRightPercent;
        corner = GridLabel::CylinderRightPercentShort;
    } else if (id == kGridRight) {
        name = GridLabel::CylinderRightA;
        corner = GridLabel::CylinderRightAShort;
    }
    SetAxisCaptions(GridLabelText(name));
    grid_->SetItemText(0, 0, GridLabelText(corner));
    grid_->RedrawCell(0, 0);
}

void CZamoCylinderView::BindTables(uint8_t* left, uint8_t* right)
{
    left_ = left;
    right_ = right;
}

void CZamoCylinderView::RebuildChart()
{
    if (partner_ != nullptr) {
        partner_->Rebuild(GetDisplayedTable());
    }
}

void CZamoCylinderView::LoadGrid(int id)
{
    uint8_t* table = id == kGridLeft      ? left_
                     : id == kGridPercent ? percent_.data()
                     : id == kGridRight   ? right_
                                          : nullptr;
    // Without a chart there is nothing to draw it for yet; the grid still
    // shows the table.
    if (table == nullptr) {
        return;
    }
    displayedTable_ = table;
    RebuildChart();
    for (int row = 1; row <= kMapRows; ++row) {
        for (int column = 1; column <= kMapColumns; ++column) {
            grid_->SetItemText(row, column, QString::number(table[positionOf(row, column)]));
        }
    }
    grid_->viewport()->update();
}

void CZamoCylinderView::ComputeRightPercent(int count)
{
    if (left_ == nullptr || right_ == nullptr) {
        return;
    }
    computeRightPercent({left_, kMapSize}, {right_, kMapSize}, percent_, count);
}

void CZamoCylinderView::SwitchGrid(int id)
{
    if (id == activeGrid_ || id < kFirstGrid || id >= kFirstGrid + TabCount()) {
        return;
    }
    if (grid_->IsEditing()) {
        grid_->EndEditing();
    }
    LoadGrid(id);
    SetGridLabels(id);
    activeGrid_ = id;
    SelectTab(id);
    ApplyDifferenceMarks();
}

std::vector<grid::CCellID> CZamoCylinderView::DifferingCells(const CMorvexDoc& other) const
{
    std::vector<grid::CCellID> cells;
    const uint8_t* stored = activeGrid_ == kGridLeft    ? ReportedLeft()
                            : activeGrid_ == kGridRight ? ReportedRight()
                                                        : nullptr;
    // The byte's place in the box image tells where the other document
    // keeps it; a table outside the image (derived values) has no marks.
    const uint8_t* image = std::as_const(*context_.doc).GetBoxData(0);
    if (stored == nullptr || stored < image || stored + kMapSize > image + kBoxImageSize) {
        return cells;
    }
    const uint8_t* theirs = other.GetBoxData(static_cast<BoxAddress>(stored - image));
    for (int p = 0; p < kMapSize; ++p) {
        const int row = rowOf(p);
        if (theirs[p] != stored[p] && (!LowerHalfOnly() || row > kMapRows / 2)) {
            cells.push_back({row, columnOf(p)});
        }
    }
    return cells;
}

void CZamoCylinderView::NextGrid()
{
    if (!CanSwitchGrid()) {
        return;
    }
    const int id = activeGrid_ + 1 < kFirstGrid + TabCount() ? activeGrid_ + 1 : kFirstGrid;
    SwitchGrid(id);
}

void CZamoCylinderView::PreviousGrid()
{
    if (!CanSwitchGrid()) {
        return;
    }
    const int id = activeGrid_ == kFirstGrid ? kFirstGrid + TabCount() - 1 : activeGrid_ - 1;
    SwitchGrid(id);
}

bool CZamoCylinderView::IsSingleCellEdit() const
{
    // Bulk edits (fill, paste, a selection) limit silently.
    return grid_->GetSelectedCount() <= 1 && !grid_->IsPasteInProgress();
}

void CZamoCylinderView::ShowLimitMessage(const std::string& text)
{
    ShowEditMessage(text, platform::UserMessage::Icon::None, true);
}

void CZamoCylinderView::ShowEditMessage(const std::string& text, platform::UserMessage::Icon icon, bool beep,
                                        bool singleCellOnly)
{
    if ((singleCellOnly && !IsSingleCellEdit()) || context_.messages == nullptr) {
        return;
    }
    // A modal box would stall the window while the box is being polled.
    if (grid_->IsLockedStepping()) {
        context_.messages->beep();
        return;
    }
    platform::UserMessage m;
    m.text = text;
    m.icon = icon;
    m.beep = beep;
    context_.messages->show(m);
}

void CZamoCylinderView::Beep()
{
    if (context_.messages != nullptr) {
        context_.messages->beep();
    }
}

int CZamoCylinderView::Finish(int row, int column, const CellEditResult& result)
{
    if (result.message) {
        ShowLimitMessage(*result.message);
    }
    if (result.answer == grid::GRID_ANSWER_KEEP_TEXT && result.text) {
        grid_->SetItemText(row, column, QString::fromStdString(*result.text));
        grid_->SetModified(true, row, column);
        grid_->RedrawCell(row, column);
    }
    if (result.modified && context_.doc != nullptr) {
        context_.doc->SetModifiedFlag(true);
        RebuildChart();
        emit documentEdited();
    }
    return result.answer;
}

int CZamoCylinderView::ApplyCellEdit(int row, int column)
{
    if (left_ == nullptr || right_ == nullptr) {
        return 0;
    }
    const int p = positionOf(row, column);
    const std::string typed = grid_->GetItemText(row, column).toStdString();
    const CellEditResult r = applyCoupledEdit(static_cast<CylinderGrid>(tabOfGrid(activeGrid_)), typed, left_[p],
                                              right_[p], percent_[static_cast<std::size_t>(p)]);
    return Finish(row, column, r);
}

uint16_t CZamoCylinderView::LineAddress(bool leftTable, int position) const
{
    return static_cast<uint16_t>(leftTable ? position : position + kMapSize);
}

void CZamoCylinderView::ReportChange(bool leftTable, int position, uint8_t before, uint8_t after)
{
    if (before == after || context_.frame == nullptr) {
        return;
    }
    const uintptr_t wParam = updateCommand_ | (uintptr_t{LineAddress(leftTable, position)} << 16);
    const intptr_t lParam = static_cast<intptr_t>(after | (uint32_t{before} << 16));
    context_.frame->send(comm::WM_BOX_VALUE_CHANGED, wParam, lParam);
}

int CZamoCylinderView::ApplyCellEditAndReport(int row, int column)
{
    uint8_t* left = ReportedLeft();
    uint8_t* right = ReportedRight();
    if (left_ == nullptr || left == nullptr || right == nullptr) {
        return 0;
    }
    const int p = positionOf(row, column);
    const uint8_t leftBefore = left[p];
    const uint8_t rightBefore = right[p];
    const int answer = ApplyCellEdit(row, column);
    ReportChange(true, p, leftBefore, left[p]);
    ReportChange(false, p, rightBefore, right[p]);
    return answer;
}

int CZamoCylinderView::GridNotify(int code, int row, int column)
{
    switch (code) {
    case grid::GRID_NOTIFY_BEGIN_EDIT: return CanEditCell(row, column) ? 0 : -1;
    case grid::GRID_NOTIFY_END_EDIT: return ApplyCellEdit(row, column);
    case grid::GRID_NOTIFY_LOCKED_STEP: return ApplyCellEditAndReport(row, column);
    default: return CZamoGridView::GridNotify(code, row, column);
    }
}

bool CZamoCylinderView::CanFillMeanValues(bool down) const
{
    std::vector<SelectedCell> cells;
    for (const grid::CCellID& c : grid_->GetSelectedCells()) {
        cells.push_back({c.row, c.col, 0});
    }
    return canFillMeanValues(cells, down);
}

void CZamoCylinderView::FillMeanValues(bool down)
{
    std::vector<SelectedCell> cells;
    for (const grid::CCellID& c : grid_->GetSelectedCells()) {
        cells.push_back({c.row, c.col, grid_->GetItemText(c.row, c.col).toInt()});
    }
    for (const FilledCell& f : fillMeanValues(cells, down)) {
        grid_->SetItemTextNotify(f.row, f.column, QString::fromStdString(f.text));
    }
}

void CZamoCylinderView::ResetCellColours()
{
    for (int row = 1; row <= kMapRows; ++row) {
        for (int column = 1; column <= kMapColumns; ++column) {
            grid_->SetItemBkColour(row, column);
            grid_->SetItemFgColour(row, column);
        }
    }
    // While online the trail comes back.
    ScheduleTrailRepaint();
}

void CZamoCylinderView::ForgetLiveCell()
{
    const grid::CCellID cell = previousLive_;
    previousLive_ = {};
    if (cell.IsValid()) {
        // A compare mark or the trail under it shows again.
        RestoreCellBack(cell);
        grid_->SetItemFgColour(cell.row, cell.col);
        grid_->RedrawCell(cell);
    }
}

void CZamoCylinderView::SetLiveCell(int row, int column)
{
    VisitTrail(row, column);
    ForgetLiveCell();
    if (row < 1 || column < 1) {
        grid_->SetFocusCell(-1, -1);
        if (partner_ != nullptr) {
            partner_->SelectCell(15, -1);
        }
        return;
    }
    previousLive_ = {row, column};
    grid_->SetSelectionAnchor(previousLive_);
    grid_->SetItemFgColour(row, column, kLiveText);
    grid_->SetItemBkColour(row, column, kLiveBack);
    grid_->SetFocusCell(row, column);
    grid_->RedrawCell(row, column);
    if (partner_ != nullptr) {
        partner_->SelectCell(row - 1, column - 1);
    }
}

void CZamoCylinderView::SetCellValue(int position, int value)
{
    if (left_ == nullptr || right_ == nullptr || position < 0 || position >= 2 * kMapSize) {
        return;
    }
    const bool leftPosition = position < kMapSize;
    const int p = position % kMapSize;
    setCoupledValue(leftPosition, static_cast<uint8_t>(std::clamp(value, 0, 250)), left_[p], right_[p],
                    percent_[static_cast<std::size_t>(p)]);
    const uint8_t* shown = GetDisplayedTable();
    if (shown != nullptr) {
        grid_->SetItemText(rowOf(p), columnOf(p), QString::number(shown[p]));
        grid_->RedrawCell(rowOf(p), columnOf(p));
    }
}

void CZamoCylinderView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    using namespace comm;
    const int position = PositionOfStep(static_cast<int>(lParam));
    const bool leftPosition = position < kMapSize;
    const int p = ((position % kMapSize) + kMapSize) % kMapSize;
    const int row = rowOf(p);
    const int column = columnOf(p);
    auto paint = [&](ColorRef text, ColorRef back) {
        grid_->SetItemFgColour(row, column, text);
        grid_->SetItemBkColour(row, column, back);
    };
    switch (code) {
    case PT_ABORTED:
        ForgetLiveCell();
        EndTrail();
        [[fallthrough]];
    case PT_READ_DONE:
        ComputeRightPercent(kMapSize);
        LoadGrid(activeGrid_);
        RebuildChart();
        grid_->AutoSize();
        [[fallthrough]];
    case PT_WRITE_DONE:
        ResetCellColours();
        TransferEnded();
        break;
    case PT_READ_BEGIN:
        blink_ = true;
        paint(kWhite, kReading);
        grid_->RedrawCell(row, column);
        break;
    case PT_VALUE_READ:
        blink_ = true;
        if (partner_ != nullptr) {
            partner_->TransferProgress(2, progressMarker(position));
        }
        if (leftPosition) {
            paint(kWhite, kRead);
        } else {
            paint(grid::kColorDefault, grid::kColorDefault);
        }
        if ((leftPosition && activeGrid_ == kGridLeft && left_ != nullptr) ||
            (!leftPosition && activeGrid_ == kGridRight && right_ != nullptr)) {
            grid_->SetItemText(row, column, QString::number((leftPosition ? left_ : right_)[p]));
        }
        grid_->RedrawCell(row, column);
        if (context_.doc != nullptr) {
            context_.doc->SetModifiedFlag(true);
        }
        break;
    case PT_WRITE_BEGIN:
        blink_ = true;
        paint(kWhite, kSending);
        grid_->RedrawCell(row, column);
        break;
    case PT_VALUE_WRITTEN:
        blink_ = true;
        if (partner_ != nullptr) {
            partner_->TransferProgress(2, progressMarker(position));
        }
        if (leftPosition) {
            paint(kWhite, kSent);
        } else {
            paint(grid::kColorDefault, grid::kColorDefault);
        }
        grid_->RedrawCell(row, column);
        break;
    case PT_WRITE_FAILED:
    case PT_READ_FAILED:
        if (blink_) {
            paint(kWhite, kError);
        } else {
            paint(grid::kColorDefault, grid::kColorDefault);
        }
        blink_ = !blink_;
        grid_->RedrawCell(row, column);
        break;
    case PT_RECEIVE_STARTED:
    case PT_SEND_STARTED: TransferStarted(); break;
    case PT_ONLINE_STARTED:
        LockForOnline();
        live_ = {};
        previousLive_ = {};
        StartTrail();
        SetLiveCell(-1, -1);
        break;
    case PT_ONLINE_ENDED:
        ForgetLiveCell();
        EndTrail();
        EnableGridEditing(true);
        break;
    case PT_LIVE_FAILED:
        if (forgetLiveValue(live_, static_cast<int>(lParam & 0xFFFF))) {
            SetLiveCell(-1, -1);
        }
        break;
    case PT_LIVE_VALUE:
        if (applyLiveValue(live_, static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF))) {
            if (live_.row >= 0 && live_.column >= 0) {
                SetLiveCell(live_.row + 1, live_.column + 1);
            } else {
                SetLiveCell(-1, -1);
            }
        }
        break;
    default: break;
    }
}

void CZamoCylinderView::LockForOnline()
{
    EnableGridEditing(false);
    grid_->SetTrackFocusCell(true);
    grid_->SetFrameFocusCell(true);
    grid_->SetLockedStepping(true);
}

QSize CZamoCylinderView::GetIdealSize() const
{
    if (tabs_ == nullptr) {
        return CZamoGridView::GetIdealSize();
    }
    const int c = CaptionHeight();
    return {grid_->GetVirtualWidth() + c + 4, grid_->GetVirtualHeight() + tabs_->sizeHint().height() + c + 4};
}

void CZamoCylinderView::LayoutChildren(int w, int h)
{
    if (tabs_ == nullptr) {
        CZamoGridView::LayoutChildren(w, h);
        return;
    }
    const int t = tabs_->sizeHint().height();
    const int c = CaptionHeight();
    tabs_->setGeometry(0, 0, w, t);
    grid_->setGeometry(c, t + c, w - c, h - c - t);
    columnCaption_->setGeometry(0, t, w, c);
    rowCaption_->setGeometry(0, t + c, c, h - c - t);
}

} // namespace morvex::views
