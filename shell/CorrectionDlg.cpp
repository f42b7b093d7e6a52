#include "shell/CorrectionDlg.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace morvex::shell {

CorrectionDlg::CorrectionDlg(const CorrectionSettings& initial, QWidget* parent)
    : QDialog(parent), minSamples_(new QSpinBox(this)), windowLow_(new QDoubleSpinBox(this)),
      windowHigh_(new QDoubleSpinBox(this)), limit_(new QSpinBox(this))
{
    setObjectName(QStringLiteral("correctionDialog"));
    setWindowTitle(tr("Propose Correction from Recorded Lambda"));
    auto* layout = new QFormLayout(this);
    auto* intro = new QLabel(tr("Each cell with enough recorded lambda inside the window gets\n"
                                "current value x recorded lambda / target lambda, limited per pass.\n"
                                "The proposal is shown in the fuel map to accept or reject."),
                             this);
    layout->addRow(intro);
    minSamples_->setRange(1, 100000);
    minSamples_->setValue(initial.minSamples);
    layout->addRow(tr("&Minimum samples per cell:"), minSamples_);
    for (QDoubleSpinBox* box : {windowLow_, windowHigh_}) {
        box->setRange(0.50, 2.00);
        box->setDecimals(2);
        box->setSingleStep(0.01);
    }
    windowLow_->setValue(initial.windowLow);
    windowHigh_->setValue(initial.windowHigh);
    layout->addRow(tr("Lambda window &from:"), windowLow_);
    layout->addRow(tr("Lambda window &to:"), windowHigh_);
    limit_->setRange(1, 50);
    limit_->setSuffix(tr(" %"));
    limit_->setValue(static_cast<int>(initial.limitPercent));
    layout->addRow(tr("&Largest change per pass:"), limit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&Propose"));
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The window never closes on itself.
    connect(windowLow_, &QDoubleSpinBox::valueChanged, this, [this](double low) {
        if (windowHigh_->value() < low) {
            windowHigh_->setValue(low);
        }
    });
    connect(windowHigh_, &QDoubleSpinBox::valueChanged, this, [this](double high) {
        if (windowLow_->value() > high) {
            windowLow_->setValue(high);
        }
    });
}

void CorrectionDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    minSamples_->setFocus();
    minSamples_->selectAll();
}

CorrectionSettings CorrectionDlg::settings() const
{
    CorrectionSettings s;
    s.minSamples = minSamples_->value();
    s.windowLow = windowLow_->value();
    s.windowHigh = windowHigh_->value();
    s.limitPercent = limit_->value();
    return s;
}

} // namespace morvex::shell
