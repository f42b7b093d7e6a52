#include "shell/InfoTransfer.h"

#include "comm/PortCodes.h"
#include "shell/OperationHost.h"

#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace morvex::shell {
namespace {

constexpr int kBlinkMs = 500;

} // namespace

CInfoTransfer::CInfoTransfer(bool sending, OperationHost& host, QWidget* parent)
    : QDialog(parent), sending_(sending), host_(host),
      target_([this](uint32_t message, uintptr_t code, intptr_t lParam) {
          onPortMessage(message, code, lParam);
          return intptr_t{0}; // never refuses the start
      }),
      status_(new QLabel(this)), progress_(new QProgressBar(this)), cancel_(new QPushButton(tr("Cancel"), this)),
      blink_(new QTimer(this))
{
    setWindowTitle(sending ? tr("Send Box Info") : tr("Receive Box Info"));
    setModal(true);

    status_->setAlignment(Qt::AlignCenter);
    status_->setMinimumWidth(
        status_->fontMetrics().horizontalAdvance(QStringLiteral("Please wait for closing port...")) + 24);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2 + 8);
    progress_->setTextVisible(false);
    progress_->setRange(0, 0);
    progress_->setValue(0);
    cancel_->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);

    connect(cancel_, &QPushButton::clicked, this, [this] { cancelTransfer(); });
    blink_->setInterval(kBlinkMs);
    connect(blink_, &QTimer::timeout, this, [this] { advanceBlink(); });
}

CInfoTransfer::~CInfoTransfer() = default;

void CInfoTransfer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!begun_) {
        // Queued, so that the window is up (and a modal loop runs) while
        // the frame opens the port.
        QTimer::singleShot(0, this, [this] { begin(); });
    }
}

void CInfoTransfer::begin()
{
    if (begun_ || finished_) {
        return;
    }
    begun_ = true;
    setStatus(QStringLiteral("Try to open Port"), QStringLiteral("\nPlease wait..."));
    if (!host_.StartInfoTransfer(sending_, target_)) {
        finish(QDialog::Rejected);
        return;
    }
    started_ = true;
    setStatus(QStringLiteral("Port opened"), QStringLiteral("\nPlease wait..."));
    total_ = host_.ProgressTotal();
    position_ = 0;
    progress_->setRange(0, total_);
    progress_->setValue(0);
}

void CInfoTransfer::onPortMessage(uint32_t message, uintptr_t code, intptr_t /*lParam*/)
{
    if (finished_ || message != comm::WM_PORT_NOTIFY) {
        return;
    }
    using namespace comm;
    switch (code) {
    case PT_READ_BEGIN: step(QStringLiteral("\nReceiving data...")); break;
    case PT_VALUE_READ:
        setError(false); // the retried value went through
        step(QStringLiteral("\nReceiving data..."));
        break;
    case PT_WRITE_BEGIN: step(QStringLiteral("\nSending data...")); break;
    case PT_VALUE_WRITTEN:
        setError(false);
        step(QStringLiteral("\nSending data..."));
        break;
    case PT_WRITE_FAILED:
    case PT_READ_FAILED:
        setStatus(QStringLiteral("Error transfer!"), QStringLiteral("\nPlease check cable, etc."));
        setError(true);
        break;
    case PT_READ_DONE:
    case PT_WRITE_DONE:
        setStatus(QStringLiteral("Tranfer completed [%1]").arg(position_), QStringLiteral("\nStatus: OK"));
        finish(QDialog::Accepted);
        break;
    case PT_ABORTED:
        setStatus(QStringLiteral("Transfer aborted"), QStringLiteral("\nPlease wait for closing port..."));
        finish(QDialog::Rejected);
        break;
    default: break;
    }
}

void CInfoTransfer::step(const QString& second)
{
    // Begin and value reports both step, and retries begin again: the count
    // stops at the total rather than running past the bar.
    if (position_ < total_) {
        ++position_;
    }
    progress_->setValue(position_);
    setStatus(QStringLiteral("%1 [%2] completed").arg(position_).arg(total_), second);
}

void CInfoTransfer::setStatus(const QString& first, const QString& second)
{
    status_->setText(first + second);
    emit statusChanged(status_->text());
}

QString CInfoTransfer::statusText() const
{
    return status_->text();
}

void CInfoTransfer::setError(bool error)
{
    if (error == error_) {
        return;
    }
    error_ = error;
    blinkPhase_ = false;
    if (error_) {
        blink_->start();
    } else {
        blink_->stop();
    }
    applyStatusLook();
}

void CInfoTransfer::advanceBlink()
{
    if (!error_) {
        return;
    }
    blinkPhase_ = !blinkPhase_;
    applyStatusLook();
}

void CInfoTransfer::applyStatusLook()
{
    if (!error_) {
        status_->setFrameStyle(QFrame::NoFrame);
        status_->setAutoFillBackground(false);
        status_->setPalette(QPalette());
        return;
    }
    QPalette look = palette();
    if (!blinkPhase_) {
        look.setColor(QPalette::Window, Qt::red);
        look.setColor(QPalette::WindowText, Qt::white);
    } else {
        look.setColor(QPalette::WindowText, Qt::red);
    }
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setAutoFillBackground(true);
    status_->setPalette(look);
}

void CInfoTransfer::cancelTransfer()
{
    if (finished_ || cancelled_) {
        return;
    }
    if (!started_) {
        // Nothing runs yet that could report back.
        finish(QDialog::Rejected);
        return;
    }
    cancelled_ = true;
    cancel_->setEnabled(false);
    host_.CancelOperation();
    setStatus(QStringLiteral("Cancel transfer"), QStringLiteral("\nPlease wait..."));
}

void CInfoTransfer::reject()
{
    cancelTransfer();
}

void CInfoTransfer::finish(int result)
{
    finished_ = true;
    blink_->stop();
    cancel_->setEnabled(false);
    QDialog::done(result);
}

} // namespace morvex::shell
