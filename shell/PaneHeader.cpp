#include "shell/PaneHeader.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>

namespace morvex::shell {
namespace {

int captionHeight(const QWidget* w)
{
    return w->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, w);
}

} // namespace

CPaneHeader::CPaneHeader(const QString& caption, int closeCommand, int secondCommand, QWidget* parent)
    : QWidget(parent), caption_(caption), closeCommand_(closeCommand), secondCommand_(secondCommand)
{
    setAccessibleName(caption);
    if (closeCommand_ != 0) {
        close_ = new QToolButton(this);
        close_->setAutoRaise(true);
        close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
        close_->setToolTip(tr("Close"));
        connect(close_, &QToolButton::clicked, this, [this] { emit command(closeCommand_); });
    }
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize CPaneHeader::sizeHint() const
{
    const int height = std::max(fontMetrics().height() + 4, captionHeight(this) / 2 + 3);
    return {fontMetrics().horizontalAdvance(caption_) + 40, height};
}

void CPaneHeader::setActive(bool active)
{
    if (active_ != active) {
        active_ = active;
        update();
    }
}

void CPaneHeader::resizeEvent(QResizeEvent*)
{
    if (close_ == nullptr) {
        return;
    }
    const int h = height();
    const int side = std::max(h - 4, 8);
    close_->setGeometry(width() - side - 4, (h - side) / 2, side, side);
    // Too narrow for caption and button: the button goes.
    close_->setVisible(width() > side + 8);
}

void CPaneHeader::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, palette().window());
    p.setPen(palette().mid().color());
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.drawLine(r.topRight(), r.bottomRight());

    const int button = close_ != nullptr && close_->isVisible() ? close_->width() : 0;
    const QString text = QStringLiteral("  ") + caption_ + QStringLiteral("  ");
    const int textWidth = fontMetrics().horizontalAdvance(text);
    const QRect textRect((r.width() - button - textWidth) / 2, 0, textWidth, r.height());
    if (active_) {
        // A band in the active caption colour runs behind the caption.
        const QRect band(2, r.height() / 2 - 2, r.width() - 4 - button, 4);
        p.fillRect(band, palette().highlight());
        p.fillRect(textRect, palette().window());
    }
    if (r.width() - button >= button + 8 + textWidth / 2) {
        p.setPen(palette().windowText().color());
        p.drawText(textRect, Qt::AlignCenter, text);
    }
}

void CPaneHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        emit activated();
    }
    QWidget::mousePressEvent(event);
}

void CPaneHeader::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && secondCommand_ != 0) {
        emit command(secondCommand_);
    }
}

} // namespace morvex::shell
