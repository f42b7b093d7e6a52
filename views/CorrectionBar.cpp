#include "views/CorrectionBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace morvex::views {

CCorrectionBar::CCorrectionBar(QWidget* parent)
    : QFrame(parent), text_(new QLabel(this)), first_(new QPushButton(this)), second_(new QPushButton(this))
{
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    text_->setWordWrap(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(text_, 1);
    layout->addWidget(first_);
    layout->addWidget(second_);
    // Outside a dialog a button takes Enter only when told to.
    first_->setAutoDefault(true);
    second_->setAutoDefault(true);
    connect(first_, &QPushButton::clicked, this, &CCorrectionBar::First);
    connect(second_, &QPushButton::clicked, this, &CCorrectionBar::Second);
    hide();
}

void CCorrectionBar::ShowPreview(const QString& summary)
{
    mode_ = Mode::Preview;
    text_->setText(summary);
    first_->setText(tr("Accept"));
    second_->setText(tr("Reject"));
    first_->setEnabled(true);
    show();
}

void CCorrectionBar::ShowAccepted(const QString& summary, bool canResetRecords)
{
    mode_ = Mode::Accepted;
    text_->setText(summary);
    first_->setText(tr("Reset Recorded Data of These Cells"));
    second_->setText(tr("Close"));
    first_->setEnabled(canResetRecords);
    show();
}

QString CCorrectionBar::text() const
{
    return text_->text();
}

void CCorrectionBar::First()
{
    if (mode_ == Mode::Preview) {
        emit accepted();
    } else {
        emit resetRecordsClicked();
    }
}

void CCorrectionBar::Second()
{
    if (mode_ == Mode::Preview) {
        emit rejected();
    } else {
        emit closed();
    }
}

void CCorrectionBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        Second();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace morvex::views
