#pragma once

#include "live/OnlineLook.h"
#include "live/OnlineValues.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class QLabel;

namespace morvex::live {

// A stored colour on the screen; the default colour is `system`.
inline QColor colourOf(ColorRef colour, const QColor& system)
{
    if (colour == kDefaultColor) {
        return system;
    }
    return {static_cast<int>(colour & 0xFF), static_cast<int>(colour >> 8 & 0xFF), static_cast<int>(colour >> 16 & 0xFF)};
}
inline ColorRef colorRefOf(const QColor& colour)
{
    return colorRef(colour.red(), colour.green(), colour.blue());
}

// The value part of a display: big digits drawn inside a sunken edge.
class CDisplayCtrl : public QFrame {
    Q_OBJECT
public:
    explicit CDisplayCtrl(QWidget* parent = nullptr);
    void SetText(const QString& text);
    const QString& Text() const { return text_; }
    void SetColours(const QColor& text, const QColor& back);
    void SetInnerMargins(const QMargins& margins) { inner_ = margins; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor textColour_;
    QColor backColour_;
    QMargins inner_;
};

// One online display: caption and unit above, the value below. A value
// outside the range, or a message, puts its text into the unit area,
// which then blinks in the error colours every 250 ms.
class COnlineCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBlinkMilliseconds = 250;

    explicit COnlineCtrl(int id, QWidget* parent = nullptr);

    void SetCaption(const QString& caption);
    QString Caption() const;
    void SetUnit(const QString& unit);
    void SetSizingSample(const QString& sample);
    void SetValueFont(const QFont& font);
    QFont ValueFont() const;
    // kDefaultColor: the palette's window text and window colours.
    void SetTextColour(ColorRef colour);
    void SetBackColour(ColorRef colour);
    ColorRef TextColour() const { return textColour_; }
    ColorRef BackColour() const { return backColour_; }
    void SetErrorColours(const QColor& text, const QColor& back);
    // Twelve pixel margins: around caption and unit, around the value
    // display, inside the value display (left, top, right, bottom each).
    void SetMargins(const std::array<int, 12>& margins);

    void SetRange(double minimum, double maximum, const QString& underText, const QString& overText);
    void EnableRangeChecking(bool on);
    // The value text and the number the range check sees (none: no check).
    void SetValue(const QString& text, std::optional<double> value);
    // Message mode: the text goes into the unit area until EndMessage.
    void SetMessage(const QString& text);
    void EndMessage();

    QString ValueText() const;
    QString UnitAreaText() const;
    const DisplayState& State() const { return state_; }
    bool ShowingErrorColours() const { return state_.ErrorColours(); }
    const QTimer& BlinkTimer() const { return blink_; }

    QSize PreferredSize() const;
    QSize sizeHint() const override { return PreferredSize(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void StateChanged();
    void ShowUnitArea();
    void PlaceChildren();
    QColor NormalText() const;
    QColor NormalBack() const;

    DisplayState state_;
    QLabel* caption_;
    QLabel* unit_;
    CDisplayCtrl* display_;
    QString sample_;
    ColorRef textColour_ = kDefaultColor;
    ColorRef backColour_ = kDefaultColor;
    QColor errorText_{Qt::white};
    QColor errorBack_{255, 0, 0};
    std::array<int, 12> margins_{2, 1, 1, 1, 1, 0, 1, 1, 0, -1, 1, 1};
    QTimer blink_;
};

} // namespace morvex::live
