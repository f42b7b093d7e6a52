#pragma once

#include "document/FuelCorrection.h"

#include <QDialog>

class QDoubleSpinBox;
class QSpinBox;

namespace morvex::shell {

// Propose Correction from Recorded Lambda: which cells count (samples,
// lambda window) and how far one pass goes. Enter proposes, Esc cancels.
class CorrectionDlg : public QDialog {
    Q_OBJECT
public:
    explicit CorrectionDlg(const CorrectionSettings& initial, QWidget* parent = nullptr);

    CorrectionSettings settings() const;
    QSpinBox& minSamples() { return *minSamples_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QSpinBox* minSamples_;
    QDoubleSpinBox* windowLow_;
    QDoubleSpinBox* windowHigh_;
    QSpinBox* limit_;
};

} // namespace morvex::shell
