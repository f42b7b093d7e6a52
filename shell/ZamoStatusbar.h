#pragma once

#include <QColor>
#include <QFrame>
#include <QStatusBar>
#include <QString>

#include <optional>

class QLabel;
class QPalette;

namespace morvex::shell {

// The running light of the link state: the position advances by one per
// pulse from the step width 4; position / 4 cells are lit.
inline constexpr int kLinkCells = 8;
inline constexpr int kLinkStep = 4;

// The position after one pulse: back to the start once it has run past the
// last cell (8 x 4 + 0.9 x 4 = 35.6, so 35 still lights all 8 cells).
int nextRunningPosition(int position);
// How many of the 8 cells are lit at `position`.
int litCells(int position);

struct CellColors {
    QColor background;
    QColor text;
};
// The colours of one cell of the link state. Inactive cells take the
// palette's workspace colour (Dark, the MDI background) with window text.
CellColors cellColors(bool active, bool error, bool lit, const QPalette& palette);

// The link state over status pane 133: at most 8 characters, one per cell.
class COnlineStatusCtrl : public QFrame {
    Q_OBJECT
public:
    explicit COnlineStatusCtrl(QWidget* parent = nullptr);

    // A change of the active flag clears the error and restarts the running
    // light; a given text replaces the shown one.
    void SetState(bool active, const std::optional<QString>& text = std::nullopt);
    // One step of the running light; makes the control active.
    void Pulse(bool error, const std::optional<QString>& text = std::nullopt);

    // The window text, cut to the control's length.
    void SetText(const QString& text);
    const QString& Text() const { return text_; }
    bool IsActive() const { return active_; }
    bool IsError() const { return error_; }
    int Position() const { return position_; }

protected:
    COnlineStatusCtrl(int maxLength, QWidget* parent);
    void paintEvent(QPaintEvent* event) override;
    void setError(bool error) { error_ = error; }

private:
    int maxLength_;
    QString text_;
    bool active_ = false;
    bool error_ = false;
    int position_ = kLinkStep;
};

// The transfer text over status pane 132: at most 28 characters on one
// line, white on red while it reports an error.
class COnlineTransferCtrl : public COnlineStatusCtrl {
    Q_OBJECT
public:
    explicit COnlineTransferCtrl(QWidget* parent = nullptr);

    void Set(bool error, const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The frame's status bar: the message area, then the panes 130 lambda
// sensor, 135 ignition angle, 133 link state, 132 transfer text, 131 port
// and 134 baud rate. There are no CAP/NUM/SCRL panes: Qt cannot read the
// lock keys' states portably.
class CZamoStatusbar : public QStatusBar {
    Q_OBJECT
public:
    enum Pane : int {
        LambdaSensor = 130,
        Port = 131,
        TransferText = 132,
        LinkState = 133,
        Baud = 134,
        IgnitionAngle = 135,
    };

    explicit CZamoStatusbar(QWidget* parent = nullptr);

    // Panes 132 and 133 take the text into their control (the control's
    // error look stays as it is). Unknown ids are ignored.
    void setPaneText(int id, const QString& text);
    QString paneText(int id) const;
    // The pane's widget, or null for an unknown id.
    QWidget* pane(int id) const;

    COnlineStatusCtrl& linkState() { return *linkState_; }
    COnlineTransferCtrl& transferText() { return *transferText_; }

private:
    QLabel* label(int id) const;

    QLabel* lambda_;
    QLabel* ignition_;
    COnlineStatusCtrl* linkState_;
    COnlineTransferCtrl* transferText_;
    QLabel* port_;
    QLabel* baud_;
};

} // namespace morvex::shell
