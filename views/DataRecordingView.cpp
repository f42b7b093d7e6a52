#include "views/DataRecordingView.h"

#include "document/LambdaSensors.h"
#include "document/MorvexDoc.h"
#include "grid/GridCellTypes.h"
#include "grid/ValueGridCtrl.h"
#include "platform/Encoding.h"
#include "views/PartnerChart.h"

#include <QKeyEvent>
#include <QTabBar>

namespace morvex::views {
namespace {

using recording::Statistic;

using recording::kMinMaxColumns;
using recording::kMinMaxFixedColumns;
using recording::kMinMaxRows;
using recording::minMaxColumn;
using recording::minMaxRow;

// Tells the chart that the Min / Max grid has no map cell; its values are
// never edited.
class MinMaxNotify : public grid::GridNotifyTarget {
public:
    explicit MinMaxNotify(std::function<void()> selectionChanged) : selectionChanged_(std::move(selectionChanged)) {}
    int GridNotify(int code, int, int) override
    {
        if (code == grid::GRID_NOTIFY_SEL_CHANGED) {
            selectionChanged_();
        }
        return code == grid::GRID_NOTIFY_BEGIN_EDIT ? -1 : 0;
    }

private:
    std::function<void()> selectionChanged_;
};

bool isInjectionGrid(int grid)
{
    return grid >= kGridInjectionTime && grid <= kGridFuelConsumption;
}

} // namespace

CDataRecordingView::CDataRecordingView(const ViewContext& context, QWidget* parent)
    : CZamoCylinderView(context, GridFlavour::Value, Tabs::Shown, parent), minMax_(new grid::CRecordingGridCtrl(this)),
      minMaxNotify_(std::make_unique<MinMaxNotify>([this] {
          if (partner_ != nullptr) {
              partner_->SelectCell(-1, -1);
          }
      }))
{
    {
        const QSignalBlocker block(tabs_);
        for (int id = kGridLeft; id <= kGridRight; ++id) {
            tabs_->setTabText(tabOfGrid(id), TabName(id));
        }
        for (int id = kGridInjectionTime; id <= kGridTargetRight; ++id) {
            tabs_->addTab(TabName(id));
        }
    }
    UpdateTargetTabs();
    ShowLowerHalfOnly();
    SetGridLabels(kGridLeft);
    if (context_.doc != nullptr) {
        recorder_.emplace(*context_.doc, context_.doc->Adapt(), context_.doc->Limits());
    }

    minMax_->SetControlId(kMinMaxControlId);
    minMax_->SetNotifyTarget(minMaxNotify_.get());
    minMax_->SetDefaultCellType<grid::CGridCelll250>();
    minMax_->GetDefaultCell(false, false)->SetFormat(grid::kFormatRight);
    minMax_->SetRowCount(kMinMaxRows);
    minMax_->SetColumnCount(kMinMaxColumns);
    minMax_->SetFixedRowCount(1);
    minMax_->SetFixedColumnCount(kMinMaxFixedColumns);
    minMax_->SetGridFont(context_.gridFont);
    for (int row = 1; row < kMinMaxRows; ++row) {
        for (int column = kMinMaxFixedColumns; column < kMinMaxColumns; ++column) {
            minMax_->SetItemState(row, column, grid::GVIS_READONLY);
            if (auto* cell = dynamic_cast<grid::CGridCelll250*>(minMax_->GetCell(row, column))) {
                cell->SetSample(column < minMaxColumn(recording::kBelowRange) ? QStringLiteral("888888")
                                                                              : QStringLiteral("888888888"));
            }
        }
    }
    minMax_->SetSelectedRange(1, kMinMaxFixedColumns, 1, kMinMaxFixedColumns);
    minMax_->SetFocusCell(1, kMinMaxFixedColumns);
    minMax_->installEventFilter(this);
    minMax_->hide();
    WriteMinMaxHeaders();

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushIntervalMs);
    connect(&flushTimer_, &QTimer::timeout, this, &CDataRecordingView::FlushChanges);
}

CDataRecordingView::~CDataRecordingView()
{
    minMax_->SetNotifyTarget(nullptr);
}

grid::CValueGridCtrl& CDataRecordingView::ActiveGridCtrl()
{
    return activeGrid_ == kGridMinMax ? *minMax_ : *grid_;
}

QString CDataRecordingView::TabName(int id) const
{
    switch (id) {
    case kGridLeft: return GridLabelText(GridLabel::DataRecordPane1);
    case kGridPercent: return GridLabelText(GridLabel::DataRecordPane2);
    case kGridRight: return GridLabelText(GridLabel::DataRecordPane3);
    case kGridInjectionTime: return AxisText(Channel::InjectionTime);
    case kGridInjectionDuty: return AxisText(Channel::InjectionPercent);
    case kGridFuelConsumption: return AxisText(Channel::FuelConsumption);
    case kGridMeasureCount: return GridLabelText(GridLabel::DataRecordPane4);
    case kGridTargetLeft: return GridLabelText(GridLabel::DataRecordPane6);
    case kGridTargetRight: return GridLabelText(GridLabel::DataRecordPane7);
    default: return GridLabelText(GridLabel::DataRecordPane5);
    }
}

recording::LambdaDisplay CDataRecordingView::LambdaDisplay() const
{
    if (context_.doc == nullptr) {
        return {};
    }
    const LambdaSensors* sensors = context_.sensors;
    const AdaptToPcFn boxToPc = context_.doc->Adapt().BOX_TO_PC_Lambda;
    return {
        [sensors, boxToPc](uint16_t raw) { return sensors != nullptr ? sensors->Convert(raw, boxToPc) : boxToPc(raw); },
        context_.doc->Limits().indexFormat(IndexTable::LAI)};
}

std::optional<std::pair<double, double>> CDataRecordingView::ChartRange() const
{
    switch (activeGrid_) {
    case kGridLeft:
    case kGridRight: {
        if (context_.sensors != nullptr && !context_.sensors->rawSelected()) {
            return std::pair{0.7, 1.4};
        }
        if (context_.doc == nullptr) {
            return std::nullopt;
        }
        const LimitRecord& lambda = context_.doc->Limits().record(Limit::Lambda);
        return std::pair{lambda.minimum, lambda.maximum};
    }
    case kGridPercent: return std::pair{-recording::kPercentLimit, recording::kPercentLimit};
    case kGridMeasureCount: return std::pair{0.0, 9999.0};
    case kGridMinMax: return std::nullopt;
    case kGridTargetLeft:
    case kGridTargetRight: return std::pair{CTargetLambda::kMinimum / 100.0, CTargetLambda::kMaximum / 100.0};
    default:
        return std::pair{0.0, static_cast<double>(recording::chartUpperBound(
                                  chartMaximum_[static_cast<std::size_t>(activeGrid_ - kGridInjectionTime)]))};
    }
}

void CDataRecordingView::SetGridLabels(int id)
{
    if (id == kGridMinMax) {
        const QString name = GridLabelText(GridLabel::DataRecordPane5);
        SetCaptions(name, name + QStringLiteral(": ") + GridLabelText(GridLabel::DataRecordMMLabel) +
                              QStringLiteral(" / ") + GridLabelText(GridLabel::DataRecordMMUnit));
        return;
    }
    SetAxisCaptions(TabName(id));
    QString corner;
    switch (id) {
    case kGridLeft:
    case kGridTargetLeft: corner = QStringLiteral("L"); break;
    case kGridPercent: corner = QStringLiteral("%"); break;
    case kGridRight:
    case kGridTargetRight: corner = QStringLiteral("R"); break;
    case kGridInjectionTime:
    case kGridInjectionDuty:
    case kGridFuelConsumption:
        if (context_.labels != nullptr) {
            const Channel channel = id == kGridInjectionTime   ? Channel::InjectionTime
                                    : id == kGridInjectionDuty ? Channel::InjectionPercent
                                                               : Channel::FuelConsumption;
            corner = QString::fromStdString(platform::cp1252ToUtf8(context_.labels->unit(channel)));
        }
        break;
    default: corner = QStringLiteral("* 10"); break;
    }
    grid_->SetItemText(0, 0, corner);
    grid_->RedrawCell(0, 0);
}

void CDataRecordingView::LoadGrid(int id)
{
    CMorvexDoc* doc = context_.doc;
    if (doc == nullptr || id < kGridLeft || id > kGridTargetRight) {
        return;
    }
    UseTargetCells(recording::isTargetGrid(id));
    if (recording::isTargetGrid(id)) {
        LoadTargetGrid(id);
        return;
    }
    displayedTable_ = doc->GetBoxData(id == kGridMinMax ? box::MM : recording::recordOfGrid(id));
    if (id == kGridMinMax) {
        LoadMinMax();
        // The chart has no map for this tab: it shows the floor only.
        RebuildChart();
        return;
    }
    const recording::LambdaDisplay lambda = LambdaDisplay();
    const recording::TableMask shown = recording::tableBit(id);
    for (int k = 0; k < kCells; ++k) {
        grid_->SetItemText(recording::gridRowOfCell(k), recording::gridColumnOfCell(k),
                           QString::fromStdString(recording::cellText(*doc, id, k, lambda)));
        markedCells_[static_cast<std::size_t>(k)] &= static_cast<recording::TableMask>(~shown);
    }
    if (isInjectionGrid(id)) {
        chartMaximum_[static_cast<std::size_t>(id - kGridInjectionTime)] = recording::recordedMaximum(*doc, id);
    }
    RebuildChart();
    grid_->viewport()->update();
}

void CDataRecordingView::WriteMinMaxHeaders()
{
    minMax_->SetItemText(0, 0, GridLabelText(GridLabel::DataRecordMMLabel));
    minMax_->SetItemText(0, 1, GridLabelText(GridLabel::DataRecordMMUnit));
    for (int i = 0; i < 3; ++i) {
        const QString number = QStringLiteral(" %1").arg(i + 1);
        minMax_->SetItemText(0, minMaxColumn(recording::kLowest + i), GridLabelText(GridLabel::DataRecordMM1) + number);
        minMax_->SetItemText(0, minMaxColumn(recording::kThirdHighest + i),
                             GridLabelText(GridLabel::DataRecordMM2) + number);
    }
    minMax_->SetItemText(0, minMaxColumn(recording::kBelowRange), GridLabelText(GridLabel::DataRecordMM3));
    minMax_->SetItemText(0, minMaxColumn(recording::kAboveRange), GridLabelText(GridLabel::DataRecordMM4));
    if (context_.labels == nullptr) {
        return;
    }
    const bool raw = context_.sensors == nullptr || context_.sensors->rawSelected();
    for (int record = 0; record < recording::kShownStatistics; ++record) {
        const auto statistic = static_cast<Statistic>(record);
        const Channel channel = recording::statisticChannel(statistic);
        const bool lambda = statistic == Statistic::LambdaLeft || statistic == Statistic::LambdaRight;
        const Channel unit = lambda && raw ? Channel::LambdaAnalog : channel;
        minMax_->SetItemText(minMaxRow(record), 0,
                             QString::fromStdString(platform::cp1252ToUtf8(context_.labels->label(channel))));
        minMax_->SetItemText(minMaxRow(record), 1,
                             QString::fromStdString(platform::cp1252ToUtf8(context_.labels->unit(unit))));
    }
}

void CDataRecordingView::WriteStatistic(int record, int column)
{
    const MinMaxRecord values = context_.doc->GetMinMax(record);
    minMax_->SetItemText(minMaxRow(record), minMaxColumn(column),
                         QString::fromStdString(recording::statisticText(values, static_cast<Statistic>(record), column,
                                                                         context_.doc->Limits(), LambdaDisplay())));
}

void CDataRecordingView::LoadMinMax()
{
    if (context_.doc == nullptr) {
        return;
    }
    for (int record = 0; record < recording::kShownStatistics; ++record) {
        for (int column = 0; column < recording::kStatisticColumns; ++column) {
            WriteStatistic(record, column);
        }
    }
    markedStatistics_.fill(0);
    minMax_->AutoSize();
    minMax_->viewport()->update();
}

void CDataRecordingView::SwitchGrid(int id)
{
    // Stepping through the tabs passes over a disabled right target tab.
    if (id == kGridTargetRight && !RightTargetEnabled()) {
        id = activeGrid_ == kGridTargetLeft ? kFirstGrid : kGridTargetLeft;
    }
    const int before = activeGrid_;
    if (minMax_->IsEditing()) {
        minMax_->EndEditing();
    }
    CZamoCylinderView::SwitchGrid(id);
    if (activeGrid_ != before && (before == kGridMinMax || activeGrid_ == kGridMinMax)) {
        ExchangeGrids();
    }
    if (online_ && recording::isTargetGrid(before) != recording::isTargetGrid(activeGrid_)) {
        UnlockForTargets(recording::isTargetGrid(activeGrid_));
    }
}

void CDataRecordingView::ExchangeGrids()
{
    const bool minMax = activeGrid_ == kGridMinMax;
    const bool hadFocus = grid_->hasFocus() || minMax_->hasFocus();
    grid::CValueGridCtrl* shown = minMax ? static_cast<grid::CValueGridCtrl*>(minMax_) : grid_;
    grid::CValueGridCtrl* hidden = minMax ? grid_ : static_cast<grid::CValueGridCtrl*>(minMax_);
    // The shown grid answers to the grid's id.
    shown->SetControlId(kGridControlId);
    hidden->SetControlId(kMinMaxControlId);
    shown->show();
    hidden->hide();
    setFocusProxy(shown);
    if (hadFocus) {
        shown->setFocus();
    }
    LayoutChildren(width(), height());
    emit idealWidthChanged(AdjustedWidth());
}

int CDataRecordingView::ApplyCellEdit(int row, int column)
{
    // Recordings come from the box only; a typed text shows until the
    // grid is loaded again.
    return recording::isTargetGrid(activeGrid_) ? ApplyTargetEdit(row, column) : 0;
}

QSize CDataRecordingView::GetIdealSize() const
{
    if (activeGrid_ != kGridMinMax) {
        return CZamoCylinderView::GetIdealSize();
    }
    const int c = CaptionHeight();
    return {minMax_->GetVirtualWidth() + c + 4, minMax_->GetVirtualHeight() + tabs_->sizeHint().height() + c + 4};
}

void CDataRecordingView::LayoutChildren(int w, int h)
{
    CZamoCylinderView::LayoutChildren(w, h);
    minMax_->setGeometry(grid_->geometry());
}

void CDataRecordingView::OnGridFontChanged(const QFont& font)
{
    minMax_->SetGridFont(font);
    minMax_->AutoSize();
    CZamoCylinderView::OnGridFontChanged(font);
}

void CDataRecordingView::focusInEvent(QFocusEvent*)
{
    ActiveGridCtrl().setFocus();
}

bool CDataRecordingView::eventFilter(QObject* watched, QEvent* event)
{
    // Delete resets the selected cells instead of writing "0" into them; a
    // target cleared that way is 1.00 again.
    if ((watched == grid_ || watched == minMax_) && event->type() == QEvent::KeyPress &&
        !recording::isTargetGrid(activeGrid_)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (CanResetSelectedCells()) {
                const grid::CGridCtrl::ActionScope action(*grid_, "Reset Data Records");
                ResetSelectedCells();
            }
            return true;
        }
    }
    return CZamoCylinderView::eventFilter(watched, event);
}

void CDataRecordingView::OnUpdate(int hint)
{
    UpdateTargetTabs();
    if (hint == kHintAll || hint == kHintHeaders) {
        WriteStandardHeaders();
        WriteMinMaxHeaders();
    }
    if (hint == kHintAll || hint == kHintTables) {
        LoadGrid(activeGrid_);
        if (activeGrid_ != kGridMinMax) {
            LoadMinMax();
        }
    }
    grid_->AutoSize();
    minMax_->AutoSize();
    LayoutChildren(width(), height());
    emit idealWidthChanged(AdjustedWidth());
}

void CDataRecordingView::OnLambdaSensorChanged()
{
    WriteMinMaxHeaders();
    if (activeGrid_ == kGridLeft || activeGrid_ == kGridRight) {
        LoadGrid(activeGrid_);
        grid_->AutoSize();
    }
    LoadMinMax();
}

// ---- Resets -------------------------------------------------------------------

bool CDataRecordingView::CanResetAll() const
{
    return context_.doc != nullptr;
}

void CDataRecordingView::ResetAll()
{
    if (!CanResetAll()) {
        return;
    }
    recording::resetAll(*context_.doc);
    AfterReset();
}

bool CDataRecordingView::CanResetActiveGrid() const
{
    return context_.doc != nullptr && activeGrid_ != kGridPercent && !recording::isTargetGrid(activeGrid_);
}

void CDataRecordingView::ResetActiveGrid()
{
    if (!CanResetActiveGrid()) {
        return;
    }
    recording::resetGrid(*context_.doc, activeGrid_);
    AfterReset();
}

bool CDataRecordingView::CanResetSelectedCells() const
{
    const grid::CValueGridCtrl& shown = activeGrid_ == kGridMinMax ? *minMax_ : *grid_;
    return context_.doc != nullptr && !recording::isTargetGrid(activeGrid_) && shown.GetSelectedCount() > 0;
}

void CDataRecordingView::ResetSelectedCells()
{
    if (!CanResetSelectedCells()) {
        return;
    }
    CMorvexDoc& doc = *context_.doc;
    if (activeGrid_ == kGridMinMax) {
        std::array<uint8_t, recording::kStatisticCount> columns{};
        for (const grid::CCellID& c : minMax_->GetSelectedCells()) {
            const int record = c.row - 1;
            const int column = c.col - kMinMaxFixedColumns;
            if (record >= 0 && record < recording::kShownStatistics && column >= 0 &&
                column < recording::kStatisticColumns) {
                columns[static_cast<std::size_t>(record)] |= static_cast<uint8_t>(1u << column);
            }
        }
        for (int record = 0; record < recording::kShownStatistics; ++record) {
            if (columns[static_cast<std::size_t>(record)] != 0) {
                MinMaxRecord values = doc.GetMinMax(record);
                recording::clearStatistics(values, columns[static_cast<std::size_t>(record)]);
                doc.SetMinMax(record, values);
            }
        }
    } else {
        for (const grid::CCellID& c : grid_->GetSelectedCells()) {
            recording::resetCell(doc, activeGrid_, recording::cellOfGridCell(c.row, c.col));
        }
    }
    AfterReset();
}

void CDataRecordingView::AfterReset()
{
    // What is still marked belongs to data that are gone or reloaded now.
    ClearMarks();
    chartMaximum_.fill(0.0);
    LoadGrid(activeGrid_);
    if (activeGrid_ != kGridMinMax) {
        LoadMinMax();
    }
    context_.doc->SetModifiedFlag(true);
    emit documentEdited();
}

} // namespace morvex::views
