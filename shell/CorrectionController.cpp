#include "shell/CorrectionController.h"

#include "comm/Operation.h"
#include "platform/UserMessages.h"
#include "shell/AppSettings.h"
#include "shell/CorrectionDlg.h"
#include "views/FuelmapView.h"

#include <QAction>
#include <QMenu>

#include <cmath>

namespace morvex::shell {

CorrectionController::CorrectionController(AppSettings& settings, views::CFuelmapView& view,
                                           platform::UserMessages& messages, QWidget* frame)
    : QObject(frame), settings_(settings), view_(view), messages_(messages), frame_(frame)
{
    propose_ = new QAction(tr("&Propose Correction from Recorded Lambda..."), this);
    propose_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    accept_ = new QAction(tr("&Accept Proposed Correction"), this);
    reject_ = new QAction(tr("&Reject Proposed Correction"), this);
    lock_ = new QAction(tr("&Lock / Unlock Cells Against Correction"), this);
    lock_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    connect(propose_, &QAction::triggered, this, qOverload<>(&CorrectionController::Propose));
    connect(accept_, &QAction::triggered, &view_, &views::CFuelmapView::AcceptCorrection);
    connect(reject_, &QAction::triggered, &view_, &views::CFuelmapView::RejectCorrection);
    connect(lock_, &QAction::triggered, this, &CorrectionController::ToggleLocks);
    connect(&view_, &views::CFuelmapView::correctionStateChanged, this, &CorrectionController::UpdateActions);
    UpdateActions();
}

void CorrectionController::AddMenuItems(QMenu& menu, QWidget& window)
{
    menu.addSeparator();
    for (QAction* a : {propose_, accept_, reject_, lock_}) {
        a->setShortcutContext(Qt::WindowShortcut);
        menu.addAction(a);
        window.addAction(a);
    }
    connect(&menu, &QMenu::aboutToShow, this, &CorrectionController::UpdateActions);
}

void CorrectionController::UpdateActions()
{
    const bool preview = view_.InPreview();
    propose_->setEnabled(view_.CanPreviewCorrection());
    accept_->setEnabled(preview);
    reject_->setEnabled(preview);
    lock_->setEnabled(view_.CanToggleCorrectionLocks());
}

CorrectionSettings CorrectionController::StoredSettings() const
{
    CorrectionSettings s;
    s.minSamples = settings_.correctionMinSamples;
    s.windowLow = settings_.correctionWindowLow / 100.0;
    s.windowHigh = settings_.correctionWindowHigh / 100.0;
    s.limitPercent = settings_.correctionLimitPercent;
    return s;
}

void CorrectionController::Store(const CorrectionSettings& s)
{
    settings_.correctionMinSamples = s.minSamples;
    settings_.correctionWindowLow = static_cast<int>(std::lround(s.windowLow * 100.0));
    settings_.correctionWindowHigh = static_cast<int>(std::lround(s.windowHigh * 100.0));
    settings_.correctionLimitPercent = static_cast<int>(std::lround(s.limitPercent));
}

bool CorrectionController::SensorChosen()
{
    if (view_.LambdaSensorChosen()) {
        return true;
    }
    messages_.show({tr("Choose the lambda sensor first (Data Record, Lambda Sensor): raw analog values are "
                       "no lambda, so no correction can be proposed from them.")
                        .toStdString(),
                    platform::UserMessage::Icon::Information});
    return false;
}

CorrectionDlg* CorrectionController::Dialog() const
{
    return dialog_;
}

void CorrectionController::Propose()
{
    if (!view_.CanPreviewCorrection() || dialog_ != nullptr || !SensorChosen()) {
        return;
    }
    auto* dialog = new CorrectionDlg(StoredSettings(), frame_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog_ = dialog;
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        const CorrectionSettings s = dialog->settings();
        Store(s);
        Propose(s);
    });
    dialog->open();
}

bool CorrectionController::Propose(const CorrectionSettings& settings)
{
    if (!view_.CanPreviewCorrection()) {
        return false;
    }
    if (!SensorChosen()) {
        return false;
    }
    last_ = settings;
    CorrectionProposal proposal = view_.ProposeCorrection(settings);
    const int usable = proposal.count(CellOutcome::Changed) + proposal.count(CellOutcome::Unchanged);
    emit showPane(comm::kFuelMapView);
    if (usable == 0) {
        messages_.show({tr("No cell has enough recorded lambda inside the window for a correction.\n\n"
                           "Ride online with the Data Record pane recording, or lower the minimum samples.")
                            .toStdString(),
                        platform::UserMessage::Icon::Information});
        return false;
    }
    view_.PreviewCorrection(std::move(proposal));
    return true;
}

void CorrectionController::ToggleLocks()
{
    const int changed = view_.ToggleCorrectionLocks();
    if (changed == 0) {
        return;
    }
    const int n = changed > 0 ? changed : -changed;
    const QString cells = n == 1 ? tr("1 cell") : tr("%1 cells").arg(n);
    emit statusMessage(changed > 0 ? tr("%1 locked against correction").arg(cells) : tr("%1 unlocked").arg(cells));
    if (view_.InPreview()) {
        // The proposal shown follows the locks at once.
        Propose(last_);
    }
    UpdateActions();
}

} // namespace morvex::shell
