#pragma once

#include "live/DiagnosticRules.h"
#include "platform/QueuedMessageTarget.h"

#include <QDialog>

#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace morvex::live {

class DiagnosticHost;

// The progress panel of one diagnostic topic: End button, progress bar,
// elapsed time, info text. It is the owner view of the topic's jobs and
// runs DiagnosticSequence; it never blocks (open(), not exec()): its
// finished() signal carries Accepted when the test ran, Rejected when the
// exchange failed or was cancelled.
class CDiagnosticInfo : public QDialog {
    Q_OBJECT
public:
    // Milliseconds of a steady clock; tests pass their own.
    using Clock = std::function<int64_t()>;

    CDiagnosticInfo(uint8_t command, const std::string& caption, const PanelTexts& texts, DiagnosticHost& host,
                    Clock clock, QWidget* parent = nullptr);
    ~CDiagnosticInfo() override;

    // Asks the frame for the command exchange. Runs by itself once the
    // panel is shown; a second call does nothing.
    void begin();
    // The 100 ms timer; tests call it after moving their clock.
    void tick();

    QString statusText() const;
    QString elapsedText() const;
    QPushButton* endButton() const { return end_; }
    QProgressBar* progressBar() const { return bar_; }
    const DiagnosticSequence& sequence() const { return sequence_; }
    bool timerActive() const;

public slots:
    // Esc and the window's close button act as End.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onPortMessage(uint32_t message, uintptr_t code);
    void apply(DiagnosticSequence::Action action);
    void refresh();

    uint8_t command_;
    DiagnosticHost& host_;
    Clock clock_;
    DiagnosticSequence sequence_;
    platform::QueuedMessageTarget target_;
    QPushButton* end_;
    QProgressBar* bar_;
    QLabel* elapsed_;
    QLabel* status_;
    QTimer* timer_;
    bool begun_ = false;
    int replyRetries_ = 0;
};

} // namespace morvex::live
