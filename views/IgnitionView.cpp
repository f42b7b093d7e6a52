#include "views/IgnitionView.h"

#include "comm/PortCodes.h"
#include "document/BoxLayout.h"
#include "document/Labels.h"
#include "document/MorvexDoc.h"
#include "grid/GridCellTypes.h"
#include "grid/GridFormat.h"
#include "grid/ValueGridCtrl.h"
#include "platform/UserMessages.h"
#include "views/AngleDlg2.h"
#include "views/PartnerChart.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTabBar>

#include <cstdio>

namespace morvex::views {
namespace {

constexpr int kPercentMaximum = 250;

// The wait cursor while the maps are converted.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

bool isCellEvent(uint32_t code)
{
    using namespace comm;
    return code == PT_VALUE_READ || code == PT_VALUE_WRITTEN || code == PT_READ_BEGIN || code == PT_WRITE_BEGIN ||
           code == PT_READ_FAILED || code == PT_WRITE_FAILED;
}

} // namespace

// ---- CIgnitionView ---------------------------------------------------------

CIgnitionView::CIgnitionView(const ViewContext& context, QWidget* parent)
    : CZamoCylinderView(context, GridFlavour::Value, Tabs::Shown, parent)
{
    SetUpdateCommand(CDOS_IgnitionView::kUpdateCommand);
    FillCells(nullptr, kDegreeCellMaximum);
    ShowLowerHalfOnly();
}

IgnitionSetup CIgnitionView::Setup() const
{
    if (context_.doc == nullptr) {
        return {};
    }
    const uint8_t* parameters = context_.doc->GetBoxData(box::PARAMETERS);
    return {parameters[0], parameters[1]};
}

void CIgnitionView::BindIgnitionTables()
{
    CMorvexDoc* doc = context_.doc;
    leftSteps_ = doc->GetBoxData(box::TAB_DDZ_LINKS);
    rightSteps_ = doc->GetBoxData(box::TAB_DDZ_RECHTS);
    BindTables(doc->GetBoxData(box::IGNITION_WORK_1), doc->GetBoxData(box::IGNITION_WORK_2));
}

IgnitionTables CIgnitionView::Tables()
{
    return {{leftSteps_, kMapSize}, {rightSteps_, kMapSize}, {left_, kMapSize}, {right_, kMapSize}, percent_};
}

void CIgnitionView::OnUpdate(int hint)
{
    if (hint == kHintAll || hint == kHintHeaders) {
        WriteStandardHeaders();
    }
    if ((hint == kHintAll || hint == kHintTables) && context_.doc != nullptr) {
        BindIgnitionTables();
        percent_.fill(0);
        RecomputeDegrees();
        LoadGrid(activeGrid_);
        SetGridLabels(activeGrid_);
    }
    grid_->AutoSize();
    LayoutChildren(width(), height());
    emit idealWidthChanged(AdjustedWidth());
}

void CIgnitionView::FillCells(const uint8_t* table, int maximum)
{
    for (int row = 1; row <= kMapRows; ++row) {
        for (int column = 1; column <= kMapColumns; ++column) {
            if (auto* cell = dynamic_cast<grid::CGridCelll250*>(grid_->GetCell(row, column))) {
                cell->SetMinimum(0);
                cell->SetMaximum(maximum);
            }
            grid_->SetItemText(row, column,
                               table != nullptr ? QString::number(table[positionOf(row, column)]) : QString());
        }
    }
    grid_->viewport()->update();
}

void CIgnitionView::TellChartRange(int maximum)
{
    // The chart draws the grid's range at full height: degrees end at 60,
    // the per cent grid at 250.
    if (partner_ != nullptr) {
        partner_->SetValueRange(0, maximum);
    }
}

void CIgnitionView::LoadGrid(int id)
{
    const uint8_t* table = id == kGridLeft      ? left_
                           : id == kGridPercent ? percent_.data()
                           : id == kGridRight   ? right_
                                                : nullptr;
    if (table == nullptr) {
        return;
    }
    displayedTable_ = table;
    const int maximum = id == kGridPercent ? kPercentMaximum : kDegreeCellMaximum;
    TellChartRange(maximum);
    RebuildChart();
    FillCells(table, maximum);
}

void CIgnitionView::SwitchGrid(int id)
{
    const int before = activeGrid_;
    CZamoCylinderView::SwitchGrid(id);
    // The premap is only looked at; while online or during a transfer the
    // grid stays locked whatever it shows.
    if (activeGrid_ != before && grid_->IsInputEnabled()) {
        grid_->SetEditable(activeGrid_ != kGridPremap);
    }
}

void CIgnitionView::EnableGridEditing(bool enable)
{
    CZamoCylinderView::EnableGridEditing(enable);
    if (!enable) {
        // Also during a transfer: the command that changes teeth and offset
        // asks for this flag.
        grid_->SetLockedStepping(true);
        return;
    }
    if (activeGrid_ == kGridPremap) {
        grid_->SetEditable(false);
    }
    if (limitMessagePending_) {
        limitMessagePending_ = false;
        ShowDataLimited();
    }
}

void CIgnitionView::ShowDataLimited()
{
    if (grid_->IsLockedStepping()) {
        limitMessagePending_ = true;
        return;
    }
    if (context_.messages != nullptr) {
        platform::UserMessage m;
        m.text = kDataLimitedMessage;
        m.icon = platform::UserMessage::Icon::Exclamation;
        context_.messages->show(m);
    }
}

bool CIgnitionView::RecomputeDegrees()
{
    if (leftSteps_ == nullptr || left_ == nullptr) {
        return true;
    }
    const bool unlimited = degreesFromSteps(Tables(), Setup());
    if (!unlimited) {
        ShowDataLimited();
        context_.doc->SetModifiedFlag(true);
        emit documentEdited();
    }
    return unlimited;
}

bool CIgnitionView::RecomputeSteps()
{
    if (leftSteps_ == nullptr || left_ == nullptr) {
        return true;
    }
    const WaitCursor wait;
    const bool unlimited = stepsFromDegrees(Tables(), Setup());
    const bool degreesUnlimited = RecomputeDegrees();
    if (degreesUnlimited && !unlimited) {
        ShowDataLimited();
        context_.doc->SetModifiedFlag(true);
        emit documentEdited();
    }
    return unlimited && degreesUnlimited;
}

int CIgnitionView::ApplyCellEdit(int row, int column)
{
    if (left_ == nullptr || right_ == nullptr || leftSteps_ == nullptr || rightSteps_ == nullptr) {
        return 0;
    }
    if (activeGrid_ < kGridLeft || activeGrid_ > kGridRight) {
        Beep();
        return -1;
    }
    const IgnitionSetup setup = Setup();
    if (!setup.valid()) {
        ShowEditMessage(kNoTeethMessage, platform::UserMessage::Icon::Exclamation, false);
        return -1;
    }
    double minimum = 0;
    double maximum = kDegreeCellMaximum;
    QString format = QStringLiteral("%d");
    grid::GetValueCellRules(grid_->GetCell(row, column), minimum, maximum, format);
    const std::string typed = grid_->GetItemText(row, column).toStdString();
    IgnitionEdit edit;
    edit.typed = typed;
    edit.singleStep = grid_->IsSingleStepInProgress();
    edit.minimum = static_cast<int>(minimum);
    edit.maximum = static_cast<int>(maximum);
    edit.print = [format](int value) { return grid::FormatValue(format, value).toStdString(); };
    const int p = positionOf(row, column);
    const IgnitionEditResult r =
        applyIgnitionEdit(static_cast<CylinderGrid>(tabOfGrid(activeGrid_)), setup, edit,
                          {leftSteps_[p], rightSteps_[p], left_[p], right_[p], percent_[static_cast<std::size_t>(p)]});
    if (r.outOfRange && IsSingleCellEdit()) {
        Beep();
    }
    return Finish(row, column, r);
}

void CIgnitionView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    using namespace comm;
    const int position = PositionOfStep(static_cast<int>(lParam));
    const bool cell = position >= 0 && position < 2 * kMapSize;
    switch (code) {
    case PT_ABORTED:
    case PT_READ_DONE:
        if (code == PT_ABORTED) {
            ForgetLiveCell();
            EndTrail();
        }
        RecomputeDegrees();
        LoadGrid(activeGrid_);
        grid_->AutoSize();
        CZamoCylinderView::OnBoxEvent(PT_WRITE_DONE, 0);
        return;
    case PT_VALUE_READ: {
        // Until the receive ends, the step times the step size stands for
        // the degrees (the static point may still be on its way).
        const IgnitionSetup setup = Setup();
        if (cell && setup.valid() && left_ != nullptr && leftSteps_ != nullptr) {
            const bool leftPosition = position < kMapSize;
            const int p = position % kMapSize;
            const uint8_t steps = (leftPosition ? leftSteps_ : rightSteps_)[p];
            (leftPosition ? left_ : right_)[p] =
                static_cast<uint8_t>(std::min(255, static_cast<int>(setup.stepSize() * steps)));
        }
        break;
    }
    default: break;
    }
    if (isCellEvent(code) && !cell) {
        // The set-up bytes (teeth, offset) have no cell.
        if (code == PT_VALUE_READ && context_.doc != nullptr) {
            context_.doc->SetModifiedFlag(true);
        }
        return;
    }
    CZamoCylinderView::OnBoxEvent(code, lParam);
}

// ---- CDOS_IgnitionView -----------------------------------------------------

CDOS_IgnitionView::CDOS_IgnitionView(const ViewContext& context, QWidget* parent) : CIgnitionView(context, parent)
{
    {
        const QSignalBlocker block(tabs_);
        tabs_->addTab(QStringLiteral("Premap"));
    }
    // The pane opens on the premap.
    activeGrid_ = kGridPremap;
    SelectTab(kGridPremap);
    SetGridLabels(kGridPremap);
    grid_->SetEditable(false);
}

int CDOS_IgnitionView::IgnitionMapNumber() const
{
    return context_.doc != nullptr ? context_.doc->GetBoxData(box::TAB_SFD2)[2] : -1;
}

void CDOS_IgnitionView::OnUpdate(int hint)
{
    // A file read or a receive replaces the premap display record too, and
    // the static point may have changed: lay the premap again.
    if ((hint == kHintAll || hint == kHintTables) && context_.doc != nullptr) {
        RefillPremap(IgnitionMapNumber());
    }
    CIgnitionView::OnUpdate(hint);
    emit staticPointChanged(Setup().offset);
}

void CDOS_IgnitionView::RefillPremap(int number)
{
    premapShown_ = -1;
    SelectPremap(number);
}

void CDOS_IgnitionView::SelectPremap(int number)
{
    CMorvexDoc* doc = context_.doc;
    if (doc == nullptr) {
        return;
    }
    const std::span<const uint8_t, rec::kPremapRowsSize> rows(doc->GetBoxData(rec::REC_PREMAP_ROWS),
                                                              rec::kPremapRowsSize);
    const std::span<const uint8_t, rec::kPremapOffsetSize> offsets(doc->GetBoxData(rec::REC_PREMAP_OFFSET),
                                                                   rec::kPremapOffsetSize);
    const std::span<uint8_t, rec::kIgnitionWorkSize> work(doc->GetBoxData(rec::REC_IGNITION_WORK),
                                                          rec::kIgnitionWorkSize);
    if (!selectPremap(number, premapShown_, rows, offsets, static_cast<uint8_t>(Setup().offset), work)) {
        return;
    }
    if (activeGrid_ == kGridPremap) {
        LoadGrid(kGridPremap);
        SetGridLabels(kGridPremap);
    }
}

void CDOS_IgnitionView::LoadGrid(int id)
{
    if (id != kGridPremap) {
        CIgnitionView::LoadGrid(id);
        return;
    }
    const uint8_t* work = context_.doc != nullptr && isPremapNumber(premapShown_)
                              ? context_.doc->GetBoxData(rec::REC_IGNITION_WORK)
                              : nullptr;
    displayedTable_ = work;
    TellChartRange(kDegreeCellMaximum);
    RebuildChart();
    FillCells(work, kDegreeCellMaximum);
}

void CDOS_IgnitionView::SetGridLabels(int id)
{
    if (id != kGridPremap) {
        CIgnitionView::SetGridLabels(id);
        return;
    }
    SetAxisCaptions(GridLabelText(GridLabel::Premap));
    grid_->SetItemText(0, 0, QStringLiteral("No: %1").arg(premapShown_));
    grid_->RedrawCell(0, 0);
}

bool CDOS_IgnitionView::CanEditCell(int row, int column) const
{
    return activeGrid_ != kGridPremap && CIgnitionView::CanEditCell(row, column);
}

int CDOS_IgnitionView::GridNotify(int code, int row, int column)
{
    if (code == grid::GRID_NOTIFY_BEGIN_EDIT && activeGrid_ == kGridPremap) {
        Beep();
        return -1;
    }
    return CIgnitionView::GridNotify(code, row, column);
}

bool CDOS_IgnitionView::eventFilter(QObject* watched, QEvent* event)
{
    // The premap grid is not editable: a typed value is refused audibly.
    if (watched == grid_ && event->type() == QEvent::KeyPress && activeGrid_ == kGridPremap &&
        grid_->IsInputEnabled()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool typed =
            !key->text().isEmpty() && key->text().at(0).isPrint() && (key->modifiers() & Qt::ControlModifier) == 0;
        if (typed || key->key() == Qt::Key_Delete) {
            Beep();
            return true;
        }
    }
    return CIgnitionView::eventFilter(watched, event);
}

uint16_t CDOS_IgnitionView::LineAddress(bool leftTable, int position) const
{
    return ignitionLineAddress(leftTable, position);
}

int CDOS_IgnitionView::PositionOfStep(int step) const
{
    return ignitionPositionOfStep(step);
}

void CDOS_IgnitionView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    using namespace comm;
    switch (code) {
    case PT_READ_DONE:
    case PT_ABORTED:
        CIgnitionView::OnBoxEvent(code, lParam);
        // The receive may have brought another static point.
        RefillPremap(premapShown_);
        emit staticPointChanged(Setup().offset);
        return;
    case PT_ONLINE_ENDED: {
        CIgnitionView::OnBoxEvent(code, lParam);
        const int number = IgnitionMapNumber();
        if (premapShown_ != -1 && premapShown_ != number && context_.messages != nullptr) {
            char text[256];
            std::snprintf(text, sizeof text,
                          "Warning!\n\nIgnition Map Number (IGMN) in Box differs fom program value!\n\nBOX:\t\t%3d\n"
                          "PROGRAM:\t%3d\n\nPlease synchronize the value (receive or send the Function Map).",
                          premapShown_, number);
            platform::UserMessage m;
            m.text = text;
            m.icon = platform::UserMessage::Icon::Exclamation;
            context_.messages->show(m);
        }
        SelectPremap(number);
        return;
    }
    case PT_LIVE_VALUE:
        if ((lParam & 0xFFFF) == kLiveIgnitionMapNumber) {
            // The box's own ignition map number while online.
            SelectPremap(static_cast<int>((lParam >> 16) & 0xFFFF));
            return;
        }
        break;
    default: break;
    }
    CIgnitionView::OnBoxEvent(code, lParam);
}

bool CDOS_IgnitionView::CanSetTeethAndOffset() const
{
    return context_.doc != nullptr && !grid_->IsLockedStepping();
}

void CDOS_IgnitionView::SetTeethAndOffset()
{
    if (!CanSetTeethAndOffset()) {
        return;
    }
    const IgnitionSetup setup = Setup();
    auto* dialog = new CAngleDlg2(setup.teeth, setup.offset, context_.messages, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (CanSetTeethAndOffset()) {
            const grid::CGridCtrl::ActionScope action(*grid_, "Set Teeth and Offset");
            ApplyTeethAndOffset(dialog->Teeth(), dialog->Offset());
        }
    });
    dialog->open();
}

bool CDOS_IgnitionView::ApplyTeethAndOffset(int teeth, int offset)
{
    CMorvexDoc* doc = context_.doc;
    if (doc == nullptr || teeth < CAngleDlg2::kMinTeeth || teeth > CAngleDlg2::kMaxTeeth || offset < 0 ||
        offset > CAngleDlg2::kMaxOffset) {
        return false;
    }
    uint8_t* parameters = doc->GetBoxData(box::PARAMETERS);
    if (parameters[0] == teeth && parameters[1] == offset) {
        return false;
    }
    const WaitCursor wait;
    // Without teeth the degree maps were never derived: the steps are all
    // there is, so they are kept and read with the new teeth.
    const bool hadTeeth = parameters[0] != 0;
    parameters[0] = static_cast<uint8_t>(teeth);
    parameters[1] = static_cast<uint8_t>(offset);
    doc->SetModifiedFlag(true);
    emit documentEdited();
    if (leftSteps_ == nullptr) {
        BindIgnitionTables();
    }
    if (hadTeeth) {
        RecomputeSteps();
    } else {
        RecomputeDegrees();
    }
    if (activeGrid_ != kGridPremap) {
        LoadGrid(activeGrid_);
    }
    RefillPremap(IgnitionMapNumber());
    emit staticPointChanged(offset);
    return true;
}

} // namespace morvex::views
