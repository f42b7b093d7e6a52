#pragma once

namespace morvex::charts {

// The keys a chart reacts to; numeric pad keys are Pad1..Pad9 whatever
// the Num Lock state.
enum class ChartKey { Left, Right, Up, Down, Home, End, Pad1, Pad2, Pad3, Pad4, Pad6, Pad7, Pad8, Pad9, Other };

struct ChartModifiers {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

// The parallel projection's box: left, right, bottom, top, near, far.
struct OrthoBox {
    double left;
    double right;
    double bottom;
    double top;
    double nearPlane;
    double farPlane;
};

// How the chart looks at its model: two turns in whole degrees, the zoom
// (half the visible height in model units) and the picture's shift.
class ChartCamera {
public:
    static constexpr double kHomeTurnVertical = 30;
    static constexpr double kEndTurnVertical = 210;
    static constexpr double kHomeTurnHorizontal = 45;
    static constexpr double kHomeZoom = 220;
    static constexpr double kMinZoom = 20;
    static constexpr double kMaxZoom = 300;
    static constexpr double kMaxShift = 450;
    static constexpr double kNear = -350;
    static constexpr double kFar = 450;

    // About the vertical axis (left / right) and the horizontal axis.
    double TurnVertical() const { return turnVertical_; }
    double TurnHorizontal() const { return turnHorizontal_; }
    double Zoom() const { return zoom_; }
    double ShiftX() const { return shiftX_; }
    double ShiftY() const { return shiftY_; }

    void SetTurn(double vertical, double horizontal);
    // Right-button drag: one degree per pixel.
    void Turn(int dx, int dy);
    // Left-button drag: the picture follows the mouse.
    void Shift(int dx, int dy);
    // One wheel notch (120) zooms by 10.
    void Wheel(int delta);
    void HomeView();
    void EndView();
    // The key table; false: not a chart key, the grid gets it.
    bool ApplyKey(ChartKey key, ChartModifiers modifiers);

    OrthoBox Projection(int width, int height) const;

private:
    void AddZoom(double delta);
    void AddShift(double dx, double dy);
    bool ApplyCtrlKey(ChartKey key);
    bool ApplyCtrlShiftKey(ChartKey key);
    bool ApplyCtrlAltKey(ChartKey key);
    bool ApplyCtrlShiftAltKey(ChartKey key);

    double turnVertical_ = kHomeTurnVertical;
    double turnHorizontal_ = kHomeTurnHorizontal;
    double zoom_ = kHomeZoom;
    double shiftX_ = 0;
    double shiftY_ = 0;
};

// A whole number of degrees in [0, 360).
double wrapDegrees(double degrees);

} // namespace morvex::charts
