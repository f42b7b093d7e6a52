#pragma once

#include "platform/QueuedMessageTarget.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace morvex::shell {

class OperationHost;

// The modal progress window of one info block transfer (send or receive).
// It is the owner view of the transfer's job: the worker's progress reaches
// it through its own message target. It ends itself with OK when the
// transfer is done and with cancel when it aborts or cannot start.
class CInfoTransfer : public QDialog {
    Q_OBJECT
public:
    CInfoTransfer(bool sending, OperationHost& host, QWidget* parent = nullptr);
    ~CInfoTransfer() override;

    // The opening steps: ask the frame to start the transfer and show the
    // progress range. Runs by itself once the dialog is shown (exec());
    // a second call does nothing.
    void begin();

    // The worker's messages, as the message target delivers them.
    void onPortMessage(uint32_t message, uintptr_t code, intptr_t lParam);

    // The blink of the error text: the timer calls this, tests may too.
    void advanceBlink();

    QString statusText() const;
    int progressValue() const { return position_; }
    int progressMaximum() const { return total_; }
    bool isErrorShown() const { return error_; }
    bool blinkPhase() const { return blinkPhase_; }
    bool isCancelled() const { return cancelled_; }
    bool isFinished() const { return finished_; }
    QPushButton* cancelButton() const { return cancel_; }
    platform::MessageTarget& messageTarget() { return target_; }

signals:
    // The two-line status text changed.
    void statusChanged(const QString& text);

public slots:
    // Esc and the window's close button act as the Cancel button: the
    // worker is asked to stop and its abort report closes the dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setStatus(const QString& first, const QString& second);
    void step(const QString& second);
    void setError(bool error);
    void applyStatusLook();
    void finish(int result);
    void cancelTransfer();

    bool sending_;
    OperationHost& host_;
    platform::QueuedMessageTarget target_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    QTimer* blink_;
    int total_ = 0;
    int position_ = 0;
    bool begun_ = false;
    bool started_ = false;
    bool cancelled_ = false;
    bool error_ = false;
    bool blinkPhase_ = false;
    bool finished_ = false;
};

} // namespace morvex::shell
