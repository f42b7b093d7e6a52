#pragma once

#include "live/DiagnosticInfo.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <filesystem>

class QLabel;
class QListWidget;

namespace morvex {
class CLabels;
}

namespace morvex::live {

class CDiagnosticCtrl;
class DiagnosticHost;

struct DiagnosticViewContext {
    const CLabels* labels = nullptr;
    std::filesystem::path pageDir; // CNF/DIAG/<language>/
    int* zoomSetting = nullptr;    // "IEFontSize": 0..4, -1 as the browser is
    DiagnosticHost* host = nullptr;
    CDiagnosticInfo::Clock clock;  // empty: a steady clock
};

// The Diagnostic pane: the topic list beside the browser. Enter on a topic
// runs its test in the progress panel; the measured values then show on
// the topic's result page, a failed exchange on the communication error
// page; Enter on a result page goes back to the topic page.
class CDiagnosticView : public QWidget {
    Q_OBJECT
public:
    explicit CDiagnosticView(const DiagnosticViewContext& context, QWidget* parent = nullptr);
    ~CDiagnosticView() override;

    // Enter: runs the current topic, or returns from a result page.
    void runTopic();
    // The five font commands: zoom level 0..4, kept as the setting.
    void setZoomLevel(int level);
    int zoomLevel() const { return zoom_; }

    int currentTopic() const { return current_; }
    bool resultShown() const { return resultShown_; }
    QListWidget* topicList() const { return list_; }
    CDiagnosticCtrl* browser() const { return browser_; }
    // The running test's panel, if one runs.
    CDiagnosticInfo* panel() const { return panel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void selectTopic(int index);
    void panelClosed(int result);
    QUrl topicPage(int index) const;

    DiagnosticViewContext context_;
    QLabel* header_;
    QListWidget* list_;
    CDiagnosticCtrl* browser_;
    QPointer<CDiagnosticInfo> panel_;
    int current_ = 0;
    bool resultShown_ = false;
    int zoom_ = 2;
    int initialZoom_ = 2;
};

} // namespace morvex::live
