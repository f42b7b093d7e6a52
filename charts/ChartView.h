#pragma once

#include "charts/ChartCamera.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>

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
class CChartView : public QWidget {
    Q_OBJECT
public:
    static constexpr float kHalfSize = 128;
    static constexpr float kColumnSpacing = 16;
    static constexpr float kRowSpacing = 16;
    static constexpr int kAnimationStepMs = 25;

    struct Rgb {
        float r, g, b;
    };

    explicit CChartView(views::CZamoGridView& companion, QWidget* parent = nullptr);
    ~CChartView() override;

    ChartCamera& Camera() { return camera_; }
    const ChartCamera& Camera() const { return camera_; }
    views::CZamoGridView* Companion() const;
    // "AnimateChart": the chart turns by itself during transfers.
    void SetAnimate(bool on, AnimationBase* sharedBase);
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
    ChartSurface* surface_;
    QOpenGLFunctions_2_1* gl_ = nullptr;
    bool renderingFailed_ = false;
    bool dataDirty_ = true;
    bool dragging_ = false;
    QPoint lastMouse_;
    bool animate_ = false;
    AnimationBase ownBase_;
    AnimationBase* base_ = &ownBase_;
    QElapsedTimer lastStep_;
};

// The key of the chart's key table a key press is, Other if none.
ChartKey chartKeyOf(int qtKey, bool keypad);
// Applies a key press to the camera; a numeric pad key without Num Lock
// also counts as its arrow, Home or End key. False: not a chart key.
bool applyChartKey(ChartCamera& camera, int qtKey, bool keypad, ChartModifiers modifiers);

} // namespace morvex::charts
