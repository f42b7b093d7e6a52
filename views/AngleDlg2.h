#pragma once

#include <QDialog>
#include <QSpinBox>

#include <functional>

class QLineEdit;
class QPushButton;

namespace platform {
class UserMessages;
}

namespace morvex::views {

// A number field with arrows that step within [low, high] and speed up
// while an arrow (or the up/down key) is held: 1 at once, 5 after 2 s, 20
// after 5 s. A step that would leave the range is refused. Typing may go
// beyond the range (up to `typedMaximum`); the dialog checks it on OK.
class CAcceleratedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    // Milliseconds of a steady clock; replaceable for tests.
    using Clock = std::function<qint64()>;

    CAcceleratedSpinBox(int low, int high, int typedMaximum, QWidget* parent = nullptr);

    int Low() const { return low_; }
    int High() const { return high_; }
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int low_;
    int high_;
    Clock clock_;
    qint64 holdStart_ = 0;
    bool holding_ = false;
};

// "Set Teeth and Offset": the number of teeth of the trigger wheel
// (6..180) and the static ignition point (0..30 degrees BTDC), with the
// degrees one step of the wheel stands for. OK checks both values and names
// the allowed range of a wrong one through the message service.
class CAngleDlg2 : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinTeeth = 6;
    static constexpr int kMaxTeeth = 180;
    static constexpr int kMaxOffset = 30;

    CAngleDlg2(int teeth, int offset, platform::UserMessages* messages, QWidget* parent = nullptr);

    int Teeth() const;
    int Offset() const;
    QString DegreesPerStep() const;
    CAcceleratedSpinBox* TeethBox() const { return teeth_; }
    CAcceleratedSpinBox* OffsetBox() const { return offset_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // False (after the message) when the field's text is no integer of its
    // range; the field then takes the focus.
    bool Validate(CAcceleratedSpinBox* box);
    void UpdateDegreesPerStep();

    platform::UserMessages* messages_;
    CAcceleratedSpinBox* teeth_;
    CAcceleratedSpinBox* offset_;
    QLineEdit* degreesPerStep_;
    QPushButton* ok_;
};

} // namespace morvex::views
