#pragma once

#include "views/MapTools.h"

#include <QDialog>

class QDoubleSpinBox;

namespace morvex::shell {

// The one value of a map tool: the per cent of Scale (+5 makes 100 into
// 105), the amount of Add or the value of Set. The field has the keyboard
// with its text selected; Enter accepts, Esc cancels.
class MapToolDlg : public QDialog {
    Q_OBJECT
public:
    MapToolDlg(views::MapTool tool, double initial, QWidget* parent = nullptr);

    double value() const;
    QDoubleSpinBox& field() { return *field_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QDoubleSpinBox* field_;
};

} // namespace morvex::shell
