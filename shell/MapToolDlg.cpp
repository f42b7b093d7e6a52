#include "shell/MapToolDlg.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

namespace morvex::shell {

MapToolDlg::MapToolDlg(views::MapTool tool, double initial, QWidget* parent)
    : QDialog(parent), field_(new QDoubleSpinBox(this))
{
    setObjectName(QStringLiteral("mapToolDialog"));
    auto* layout = new QFormLayout(this);
    QString caption;
    switch (tool) {
    case views::MapTool::Scale:
        setWindowTitle(tr("Scale by %"));
        caption = tr("&Change by:");
        field_->setRange(-100.0, 400.0);
        field_->setDecimals(1);
        field_->setSuffix(tr(" %"));
        layout->addRow(new QLabel(tr("Each selected value changes by this per cent (+5 makes 100 into 105)."), this));
        break;
    case views::MapTool::Add:
        setWindowTitle(tr("Add Value"));
        caption = tr("&Add:");
        field_->setRange(-250.0, 250.0);
        field_->setDecimals(0);
        break;
    default:
        setWindowTitle(tr("Set Value"));
        caption = tr("&Value:");
        field_->setRange(0.0, 250.0);
        field_->setDecimals(0);
        break;
    }
    field_->setValue(initial);
    layout->addRow(caption, field_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void MapToolDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Typing replaces the whole value.
    field_->setFocus();
    field_->selectAll();
}

double MapToolDlg::value() const
{
    return field_->value();
}

} // namespace morvex::shell
