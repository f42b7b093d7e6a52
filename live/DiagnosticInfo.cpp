#include "live/DiagnosticInfo.h"

#include "comm/PortCodes.h"
#include "live/DiagnosticHost.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace morvex::live {
namespace {

constexpr int kTickMs = 100;
// How long the reply waits for the port of the command exchange: 2 s.
constexpr int kReplyRetryMs = 20;
constexpr int kReplyRetries = 100;

} // namespace

CDiagnosticInfo::CDiagnosticInfo(uint8_t command, const std::string& caption, const PanelTexts& texts,
                                 DiagnosticHost& host, Clock clock, QWidget* parent)
    : QDialog(parent), command_(command), host_(host), clock_(std::move(clock)), sequence_(command, caption, texts),
      target_([this](uint32_t message, uintptr_t code, intptr_t) {
          onPortMessage(message, code);
          return intptr_t{0}; // never refuses the start
      }),
      end_(new QPushButton(QString::fromStdString(texts.end), this)), bar_(new QProgressBar(this)),
      elapsed_(new QLabel(this)), status_(new QLabel(this)), timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("diagnosticInfo"));
    setWindowTitle(QString::fromStdString(texts.start));
    setWindowModality(Qt::WindowModal);
    end_->setEnabled(false);
    end_->setAutoDefault(false);
    bar_->setTextVisible(false);
    elapsed_->setAlignment(Qt::AlignCenter);
    status_->setAlignment(Qt::AlignCenter);
    status_->setWordWrap(true);
    status_->setMinimumHeight(status_->fontMetrics().lineSpacing() * 2 + 8);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(end_);
    layout->addWidget(bar_);
    layout->addWidget(elapsed_);
    layout->addWidget(status_, 1);

    connect(end_, &QPushButton::clicked, this, [this] { apply(sequence_.end()); });
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &CDiagnosticInfo::tick);
    refresh();
}

CDiagnosticInfo::~CDiagnosticInfo() = default;

void CDiagnosticInfo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!begun_) {
        // Queued: the panel is up before the frame opens the port.
        QTimer::singleShot(0, this, &CDiagnosticInfo::begin);
    }
}

void CDiagnosticInfo::begin()
{
    if (begun_ || sequence_.finished()) {
        return;
    }
    begun_ = true;
    const bool started = host_.StartDiagnostic(command_, false, target_);
    apply(sequence_.opened(started, started ? host_.DiagnosticProgressTotal() : 0));
}

void CDiagnosticInfo::tick()
{
    apply(sequence_.tick(clock_()));
}

void CDiagnosticInfo::onPortMessage(uint32_t message, uintptr_t code)
{
    if (message == comm::WM_PORT_NOTIFY) {
        apply(sequence_.notify(static_cast<uint32_t>(code), clock_()));
    }
}

void CDiagnosticInfo::reject()
{
    apply(sequence_.end());
}

void CDiagnosticInfo::apply(DiagnosticSequence::Action action)
{
    using Action = DiagnosticSequence::Action;
    switch (action) {
    case Action::StartReply: {
        const bool started = host_.StartDiagnostic(command_, true, target_);
        if (!started && host_.DiagnosticLinkClosing() && replyRetries_ < kReplyRetries) {
            // End came right after the command exchange reported its end,
            // while the frame still closes that exchange's port: the reply
            // starts as soon as the port is free.
            ++replyRetries_;
            QTimer::singleShot(kReplyRetryMs, this, [this] { apply(Action::StartReply); });
            action = Action::None;
            break;
        }
        action = sequence_.replyStarted(started);
        break;
    }
    case Action::CancelLink: host_.CancelDiagnostic(); break;
    default: break;
    }
    const bool wasEnabled = end_->isEnabled();
    refresh();
    if (!wasEnabled && end_->isEnabled()) {
        end_->setFocus();
    }
    if (action == Action::CloseOk) {
        QDialog::done(QDialog::Accepted);
    } else if (action == Action::CloseFailed) {
        QDialog::done(QDialog::Rejected);
    }
}

void CDiagnosticInfo::refresh()
{
    status_->setText(QString::fromStdString(sequence_.status()));
    elapsed_->setText(QString::fromStdString(sequence_.elapsed()));
    bar_->setRange(0, sequence_.barMaximum());
    bar_->setValue(sequence_.barValue());
    end_->setEnabled(sequence_.endEnabled());
    if (sequence_.timerRunning() && !sequence_.finished()) {
        if (!timer_->isActive()) {
            timer_->start();
        }
    } else {
        timer_->stop();
    }
}

QString CDiagnosticInfo::statusText() const
{
    return status_->text();
}

QString CDiagnosticInfo::elapsedText() const
{
    return elapsed_->text();
}

bool CDiagnosticInfo::timerActive() const
{
    return timer_->isActive();
}

} // namespace morvex::live
