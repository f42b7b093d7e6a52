#pragma once

#include "document/FuelCorrection.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QMenu;
class QWidget;

namespace platform {
class UserMessages;
}

namespace morvex::views {
class CFuelmapView;
}

namespace morvex::shell {

struct AppSettings;
class CorrectionDlg;

// The Fuel Map menu's correction from recorded lambda: asks for the
// settings (kept in the settings file), shows the proposal in the fuel map
// for Accept or Reject, and locks cells against it. The view does the
// work; this object owns the commands and their states.
class CorrectionController : public QObject {
    Q_OBJECT
public:
    CorrectionController(AppSettings& settings, views::CFuelmapView& view, platform::UserMessages& messages,
                         QWidget* frame);

    // The commands with their keys (they work in the whole window).
    void AddMenuItems(QMenu& menu, QWidget& window);
    QAction* proposeAction() const { return propose_; }
    QAction* acceptAction() const { return accept_; }
    QAction* rejectAction() const { return reject_; }
    QAction* lockAction() const { return lock_; }

    // Propose with the settings dialog (window-modal, not blocking).
    void Propose();
    // Propose with `settings` without asking; false (with a message) when
    // no cell has a usable recording.
    bool Propose(const CorrectionSettings& settings);
    CorrectionDlg* Dialog() const;
    void ToggleLocks();
    void UpdateActions();

    CorrectionSettings StoredSettings() const;

signals:
    void showPane(int view);
    void statusMessage(const QString& text);

private:
    void Store(const CorrectionSettings& s);
    // False, with the message why, while raw analog values are chosen.
    bool SensorChosen();

    AppSettings& settings_;
    views::CFuelmapView& view_;
    platform::UserMessages& messages_;
    QWidget* frame_;
    QAction* propose_ = nullptr;
    QAction* accept_ = nullptr;
    QAction* reject_ = nullptr;
    QAction* lock_ = nullptr;
    QPointer<CorrectionDlg> dialog_;
    CorrectionSettings last_; // of the proposal shown
};

} // namespace morvex::shell
