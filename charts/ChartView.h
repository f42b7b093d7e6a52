#pragma once

#include "charts/ChartCamera.h"
#include "views/PartnerChart.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QOpenGLFunctions_2_1;
class QOpenGLContext;
class QWindow;

namespace morvex::views {
class CZamoGridView;
}

namespace morvex::charts {

// The turn angles all charts return to after a transfer's animation.
struct AnimationBase {
    int turnVertical = 30;
    int turnHorizontal = 45;
};

class ChartSurface;

// A chart beside a grid view: the floor plate with its origin marker and,
// drawn by the subclass, the table of the companion view. Turned, zoomed
// and shifted with the mouse and Ctrl keys; every other key and character
// goes on to the companion grid so that editing continues here. Drawn in a
// native window of its own: a GL widget would make the whole main window
// composed through OpenGL, and every grid repaint with it.
//
// The companion view talks to the chart as its partner chart: the focus
// cell, rebuild requests (drawn with the next frame, one rebuild however
// many requests came before it), transfer progress and the Ctrl keys the
// grid passes over.
class CChartView : public QWidget, public views::PartnerChart {
    Q_OBJECT
public:
    static constexpr float kHalfSize = 128;
    static constexpr float kColumnSpacing = 16;
    static constexpr float kRowSpacing = 16;
    static constexpr int kAnimationStepMs = 25;

    struct Rgb {
        float r, g, b;
    };
    // Milliseconds of a monotonic clock: when the last animation step was.
    using Clock = std::function<int64_t()>;

    explicit CChartView(views::CZamoGridView& companion, QWidget* parent = nullptr);
    ~CChartView() override;

    ChartCamera& Camera() { return camera_; }
    const ChartCamera& Camera() const { return camera_; }
    views::CZamoGridView* Companion() const;
    // "AnimateChart": the chart turns by itself during transfers.
    void SetAnimate(bool on, AnimationBase* sharedBase);
    // The clock the 25 ms animation steps are measured with (a steady
    // clock unless replaced).
    void SetAnimationClock(Clock clock);
    // 1 transfer started, 2 progress with `marker`, 0 finished.
    void TransferProgress(int state, int marker) override;
    // A Ctrl key the grid passed over, with the keyboard's modifiers now.
    void TurnKey(int key) override;
    // Brings the drawn data up to date now (the next frame does it
    // otherwise); nothing when no rebuild was asked for.
    void UpdateData();
    // How often the data were rebuilt: once a frame at most.
    int RebuildCount() const { return rebuildCount_; }
    // False once the widget found it cannot draw (no usable context).
    bool RenderingAvailable() const { return !renderingFailed_; }
    QSize sizeHint() const override { return {300, 300}; }
    // Draws the next frame when the event loop comes back.
    void Redraw();
    // The picture drawn afresh into an image; null before the window
    // has been shown.
    QImage grabFramebuffer();
    QOpenGLContext* context() const;
    // The native window drawn in; it takes the keyboard and the mouse.
    // Null where OpenGL cannot draw: the chart widget takes the keys then.
    QWindow* Surface() const;

signals:
    // No OpenGL context or no fixed-function pipeline: nothing can be drawn.
    void renderingFailed();
    // A frame reached the screen.
    void frameDrawn();

protected:
    // The transfer animation: 1 keeps the turn as the shared base, 2 turns
    // to base + step (at most every 25 ms), 0 goes back to the base.
    void Animate(int kind, int step);
    // Marks the data out of date; the next frame rebuilds it once.
    void RequestRebuild();
    // The companion's table as the view last passed it (null: none).
    const uint8_t* Table() const { return table_; }
    void SetTable(const uint8_t* table) { table_ = table; }
    // Recomputes the drawn data from the current table.
    virtual void BuildData() = 0;
    // Draws the table; called with the model moved by (-s, -s, -s).
    virtual bool HasData() const = 0;
    virtual void DrawSurface(QOpenGLFunctions_2_1& gl) = 0;
    virtual void DrawMesh(QOpenGLFunctions_2_1& gl) = 0;

    Rgb SurfaceColour() const;
    Rgb LineColour() const;
    static constexpr Rgb kHighlightRow{0.75f, 0.0f, 0.0f};
    static constexpr Rgb kHighlightColumn{0.0f, 0.75f, 0.0f};

    friend class ChartSurface;
    void InitializeGL();
    void PaintGL();
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void DrawFloor(QOpenGLFunctions_2_1& gl);
    void ApplyProjection(QOpenGLFunctions_2_1& gl);
    bool PassOnGridCommand(const QKeyEvent& event);
    void ForwardToGrid(QKeyEvent& key);

    QPointer<views::CZamoGridView> companion_;
    ChartCamera camera_;
    ChartSurface* surface_ = nullptr; // null where OpenGL cannot draw
    QOpenGLFunctions_2_1* gl_ = nullptr;
    bool renderingFailed_ = false;
    bool dataDirty_ = true;
    int rebuildCount_ = 0;
    const uint8_t* table_ = nullptr;
    bool dragging_ = false;
    QPoint lastMouse_;
    bool animate_ = false;
    AnimationBase ownBase_;
    AnimationBase* base_ = &ownBase_;
    Clock clock_;
    std::optional<int64_t> lastStep_;
};

// The key of the chart's key table a key press is, Other if none.
ChartKey chartKeyOf(int qtKey, bool keypad);
// Applies a key press to the camera; a numeric pad key without Num Lock
// also counts as its arrow, Home or End key. False: not a chart key.
bool applyChartKey(ChartCamera& camera, int qtKey, bool keypad, ChartModifiers modifiers);

} // namespace morvex::charts
