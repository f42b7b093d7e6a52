#pragma once

#include "live/DiagnosticHost.h"

#include <QObject>

#include <array>

class QAction;
class QMenu;
class QWidget;

namespace morvex::live {
class CDiagnosticView;
}

namespace morvex::shell {

class CMorvexApp;
class CommController;
class PaneLayout;

// The Diagnostic pane: puts the diagnostic view into its place (or, when
// the web engine cannot run, a plain text that says so), starts the
// view's exchanges through the frame's CommController and carries the
// Diagnostic Fonts commands, which only the Diagnostic pane enables.
class DiagnosticPane : public QObject, public live::DiagnosticHost {
    Q_OBJECT
public:
    DiagnosticPane(CMorvexApp& app, CommController& comm, PaneLayout& panes, QWidget* frame);
    ~DiagnosticPane() override;

    // Whether the web engine and its helper process are there.
    static bool webEngineUsable();

    // The "Diagnostic Fonts" submenu of `menu`.
    void addFontsMenu(QMenu* menu);
    void updateCommandStates(int activePane);
    // Null when the web engine cannot run.
    live::CDiagnosticView* view() const { return view_; }
    QAction* fontAction(int level) const { return fonts_.at(static_cast<std::size_t>(level)); }

    // live::DiagnosticHost
    bool StartDiagnostic(uint8_t command, bool reply, platform::MessageTarget& owner) override;
    bool DiagnosticLinkClosing() const override;
    void CancelDiagnostic() override;
    int32_t DiagnosticProgressTotal() const override;
    std::array<std::string, 4> DiagnosticTexts() const override;
    int Port() const override;
    uint32_t Baud() const override;

private:
    CommController& comm_;
    live::CDiagnosticView* view_ = nullptr;
    QMenu* fontsMenu_ = nullptr;
    std::array<QAction*, 5> fonts_{};
};

} // namespace morvex::shell
