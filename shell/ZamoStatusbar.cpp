#include "shell/ZamoStatusbar.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace morvex::shell {
namespace {

constexpr int kLinkLength = 8;
constexpr int kTransferLength = 28;

// Colours as the box's users know them from the old program.
const QColor kLit(0x00, 0xFF, 0x00);
const QColor kLitError(0xFF, 0x00, 0x00);
const QColor kUnlit(0x00, 0x80, 0x00);
const QColor kUnlitError(0x80, 0x00, 0x00);

// Space for the sample text plus the pane's frame and a little air.
int paneWidth(const QFontMetrics& metrics, const QString& sample)
{
    return metrics.horizontalAdvance(sample) + 8;
}

QLabel* makeLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

int nextRunningPosition(int position)
{
    const int next = position + 1;
    const double end = kLinkCells * kLinkStep + 0.9 * kLinkStep;
    return static_cast<double>(next) > end ? kLinkStep : next;
}

int litCells(int position)
{
    return std::clamp(position / kLinkStep, 0, kLinkCells);
}

CellColors cellColors(bool active, bool error, bool lit, const QPalette& palette)
{
    const QColor windowText = palette.color(QPalette::WindowText);
    if (!active) {
        return {palette.color(QPalette::Dark), windowText};
    }
    if (lit) {
        return error ? CellColors{kLitError, Qt::white} : CellColors{kLit, windowText};
    }
    return error ? CellColors{kUnlitError, windowText} : CellColors{kUnlit, Qt::white};
}

COnlineStatusCtrl::COnlineStatusCtrl(QWidget* parent) : COnlineStatusCtrl(kLinkLength, parent)
{
    text_ = QStringLiteral("OFFLINE");
}

COnlineStatusCtrl::COnlineStatusCtrl(int maxLength, QWidget* parent) : QFrame(parent), maxLength_(maxLength)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

void COnlineStatusCtrl::SetText(const QString& text)
{
    text_ = text.left(maxLength_);
    update();
}

void COnlineStatusCtrl::SetState(bool active, const std::optional<QString>& text)
{
    if (active != active_) {
        active_ = active;
        error_ = false;
        position_ = kLinkStep;
    }
    if (text) {
        text_ = text->left(maxLength_);
    }
    update();
}

void COnlineStatusCtrl::Pulse(bool error, const std::optional<QString>& text)
{
    error_ = error;
    active_ = true;
    position_ = nextRunningPosition(position_);
    if (text) {
        text_ = text->left(maxLength_);
    }
    update();
}

void COnlineStatusCtrl::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    const int cellWidth = area.width() / kLinkCells;
    // Equal cells, the pixels left over split on both sides.
    const int left = area.left() + (area.width() - cellWidth * kLinkCells) / 2;
    const int lit = litCells(position_);
    for (int i = 0; i < kLinkCells; ++i) {
        const QRect cell(left + i * cellWidth, area.top(), cellWidth, area.height());
        const CellColors colors = cellColors(active_, error_, i < lit, palette());
        painter.fillRect(cell, colors.background);
        if (i < text_.size()) {
            painter.setPen(colors.text);
            painter.drawText(cell, Qt::AlignCenter, text_.mid(i, 1));
        }
    }
}

COnlineTransferCtrl::COnlineTransferCtrl(QWidget* parent) : COnlineStatusCtrl(kTransferLength, parent) {}

void COnlineTransferCtrl::Set(bool error, const QString& text)
{
    setError(error);
    SetText(text);
}

void COnlineTransferCtrl::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    if (IsError()) {
        painter.fillRect(area, kLitError);
        painter.setPen(Qt::white);
    } else {
        painter.setPen(palette().color(QPalette::WindowText));
    }
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, Text());
}

CZamoStatusbar::CZamoStatusbar(QWidget* parent)
    : QStatusBar(parent), lambda_(makeLabel(this)), ignition_(makeLabel(this)), linkState_(new COnlineStatusCtrl(this)),
      transferText_(new COnlineTransferCtrl(this)), port_(makeLabel(this)), baud_(makeLabel(this))
{
    const QFontMetrics metrics(font());
    lambda_->setFixedWidth(paneWidth(metrics, QStringLiteral("LS: ANALOG              ")));
    ignition_->setFixedWidth(paneWidth(metrics, QStringLiteral("XX \u00b0 BTDC (\u00b0 vOT)")));
    linkState_->setFixedWidth(paneWidth(metrics, QStringLiteral("  OFFLINE  ")));
    transferText_->setFixedWidth(paneWidth(metrics, QStringLiteral(" Unknown Error ")));
    port_->setFixedWidth(paneWidth(metrics, QStringLiteral("COM256")));
    baud_->setFixedWidth(paneWidth(metrics, QStringLiteral("921600")));

    // Permanent widgets line up on the right in the order added; the
    // message area keeps the rest on the left.
    for (QWidget* w :
         {static_cast<QWidget*>(lambda_), static_cast<QWidget*>(ignition_), static_cast<QWidget*>(linkState_),
          static_cast<QWidget*>(transferText_), static_cast<QWidget*>(port_), static_cast<QWidget*>(baud_)}) {
        addPermanentWidget(w);
    }
}

QLabel* CZamoStatusbar::label(int id) const
{
    switch (id) {
    case LambdaSensor: return lambda_;
    case IgnitionAngle: return ignition_;
    case Port: return port_;
    case Baud: return baud_;
    default: return nullptr;
    }
}

QWidget* CZamoStatusbar::pane(int id) const
{
    switch (id) {
    case LinkState: return linkState_;
    case TransferText: return transferText_;
    default: return label(id);
    }
}

void CZamoStatusbar::setPaneText(int id, const QString& text)
{
    if (id == LinkState) {
        linkState_->SetText(text);
    } else if (id == TransferText) {
        transferText_->SetText(text);
    } else if (QLabel* l = label(id)) {
        l->setText(text);
    }
}

QString CZamoStatusbar::paneText(int id) const
{
    if (id == LinkState) {
        return linkState_->Text();
    }
    if (id == TransferText) {
        return transferText_->Text();
    }
    const QLabel* l = label(id);
    return l != nullptr ? l->text() : QString();
}

} // namespace morvex::shell
