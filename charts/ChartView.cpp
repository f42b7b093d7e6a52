#include "charts/ChartView.h"

#include "charts/ChartFactory.h"

#include "views/ZamoCylinderView.h"
#include "views/ZamoGridView.h"

#include "grid/ValueGridCtrl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QOpenGLWindow>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace morvex::charts {

// The native window the chart draws in; its input goes to the chart.
class ChartSurface : public QOpenGLWindow {
public:
    explicit ChartSurface(CChartView& chart) : QOpenGLWindow(NoPartialUpdate), chart_(chart) {}

protected:
    void initializeGL() override { chart_.InitializeGL(); }
    void paintGL() override { chart_.PaintGL(); }
    void mousePressEvent(QMouseEvent* event) override { chart_.mousePressEvent(event); }
    void mouseReleaseEvent(QMouseEvent* event) override { chart_.mouseReleaseEvent(event); }
    void mouseMoveEvent(QMouseEvent* event) override { chart_.mouseMoveEvent(event); }
    void wheelEvent(QWheelEvent* event) override { chart_.wheelEvent(event); }
    void keyPressEvent(QKeyEvent* event) override { chart_.keyPressEvent(event); }
    void keyReleaseEvent(QKeyEvent* event) override { chart_.keyReleaseEvent(event); }

private:
    CChartView& chart_;
};

namespace {

constexpr float kFloorDrop = 0.1f;
constexpr float kMarkerDepth = 15;
constexpr float kMarkerHalfBase = 3;

int64_t steadyMilliseconds()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

CChartView::Rgb rgbOf(const QColor& colour)
{
    return {static_cast<float>(colour.redF()), static_cast<float>(colour.greenF()), static_cast<float>(colour.blueF())};
}

} // namespace

ChartKey chartKeyOf(int qtKey, bool keypad)
{
    switch (qtKey) {
    case Qt::Key_Left: return keypad ? ChartKey::Pad4 : ChartKey::Left;
    case Qt::Key_Right: return keypad ? ChartKey::Pad6 : ChartKey::Right;
    case Qt::Key_Up: return keypad ? ChartKey::Pad8 : ChartKey::Up;
    case Qt::Key_Down: return keypad ? ChartKey::Pad2 : ChartKey::Down;
    case Qt::Key_Home: return keypad ? ChartKey::Pad7 : ChartKey::Home;
    case Qt::Key_End: return keypad ? ChartKey::Pad1 : ChartKey::End;
    case Qt::Key_PageUp: return keypad ? ChartKey::Pad9 : ChartKey::Other;
    case Qt::Key_PageDown: return keypad ? ChartKey::Pad3 : ChartKey::Other;
    default: break;
    }
    if (!keypad) {
        return ChartKey::Other;
    }
    switch (qtKey) {
    case Qt::Key_1: return ChartKey::Pad1;
    case Qt::Key_2: return ChartKey::Pad2;
    case Qt::Key_3: return ChartKey::Pad3;
    case Qt::Key_4: return ChartKey::Pad4;
    case Qt::Key_6: return ChartKey::Pad6;
    case Qt::Key_7: return ChartKey::Pad7;
    case Qt::Key_8: return ChartKey::Pad8;
    case Qt::Key_9: return ChartKey::Pad9;
    default: return ChartKey::Other;
    }
}

bool applyChartKey(ChartCamera& camera, int qtKey, bool keypad, ChartModifiers modifiers)
{
    const ChartKey key = chartKeyOf(qtKey, keypad);
    if (key != ChartKey::Other && camera.ApplyKey(key, modifiers)) {
        return true;
    }
    const ChartKey plain = chartKeyOf(qtKey, false);
    return keypad && plain != ChartKey::Other && camera.ApplyKey(plain, modifiers);
}

CChartView::CChartView(views::CZamoGridView& companion, QWidget* parent)
    : QWidget(parent), companion_(&companion), clock_(steadyMilliseconds)
{
    setFocusPolicy(Qt::WheelFocus);
    if (!ChartsCanRender()) {
        // No GL window at all: Qt's would try to paint without a context
        // on every expose and crash. The chart still follows its grid and
        // passes keys on; its pane shows why there is no picture.
        renderingFailed_ = true;
        QMetaObject::invokeMethod(this, &CChartView::renderingFailed, Qt::QueuedConnection);
        return;
    }
    surface_ = new ChartSurface(*this);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    surface_->setFormat(format);
    QWidget* container = QWidget::createWindowContainer(surface_, this);
    container->setFocusPolicy(Qt::WheelFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(container);
    setFocusProxy(container);
    connect(surface_, &QOpenGLWindow::frameSwapped, this, &CChartView::frameDrawn);
}

CChartView::~CChartView()
{
    views::CZamoGridView* view = companion_.data();
    if (view != nullptr && view->GetPartnerChart() == this) {
        view->SetPartnerChart(nullptr);
    }
}

void CChartView::Redraw()
{
    if (surface_ != nullptr) {
        surface_->update();
    }
}

QImage CChartView::grabFramebuffer()
{
    if (surface_ == nullptr || !surface_->isValid() || gl_ == nullptr) {
        return {};
    }
    // The window's own buffer holds no defined picture after a swap.
    surface_->makeCurrent();
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    QOpenGLFramebufferObject target(surface_->size() * surface_->devicePixelRatio(), format);
    target.bind();
    PaintGL();
    QImage image = target.toImage();
    target.release();
    surface_->doneCurrent();
    return image;
}

QWindow* CChartView::Surface() const
{
    return surface_;
}

QOpenGLContext* CChartView::context() const
{
    return surface_ != nullptr ? surface_->context() : nullptr;
}

views::CZamoGridView* CChartView::Companion() const
{
    return companion_.data();
}

void CChartView::SetAnimate(bool on, AnimationBase* sharedBase)
{
    animate_ = on;
    base_ = sharedBase != nullptr ? sharedBase : &ownBase_;
}

void CChartView::SetAnimationClock(Clock clock)
{
    clock_ = clock ? std::move(clock) : Clock(steadyMilliseconds);
}

void CChartView::TransferProgress(int state, int marker)
{
    Animate(state, marker);
}

void CChartView::TurnKey(int key)
{
    const Qt::KeyboardModifiers mods = QGuiApplication::keyboardModifiers();
    // Only numeric pad digits reach here as digits; the grid keeps Ctrl
    // with the digits of the main keyboard.
    const bool keypad = (mods & Qt::KeypadModifier) != 0 || (key >= Qt::Key_1 && key <= Qt::Key_9);
    const ChartModifiers modifiers{true, (mods & Qt::ShiftModifier) != 0, (mods & Qt::AltModifier) != 0};
    if (applyChartKey(camera_, key, keypad, modifiers)) {
        Redraw();
    }
}

void CChartView::Animate(int kind, int step)
{
    if (!animate_) {
        return;
    }
    switch (kind) {
    case 0: camera_.SetTurn(base_->turnVertical, base_->turnHorizontal); break;
    case 1:
        base_->turnVertical = static_cast<int>(camera_.TurnVertical());
        base_->turnHorizontal = static_cast<int>(camera_.TurnHorizontal());
        lastStep_.reset();
        return;
    case 2: {
        const int64_t now = clock_();
        if (lastStep_.has_value() && now - *lastStep_ < kAnimationStepMs) {
            return;
        }
        lastStep_ = now;
        camera_.SetTurn((base_->turnVertical + step) % 360, (base_->turnHorizontal + step) % 360);
        break;
    }
    default: return;
    }
    Redraw();
}

void CChartView::RequestRebuild()
{
    dataDirty_ = true;
    Redraw();
}

void CChartView::UpdateData()
{
    if (!dataDirty_) {
        return;
    }
    // However many cells changed since the last frame: one rebuild.
    dataDirty_ = false;
    ++rebuildCount_;
    BuildData();
}

CChartView::Rgb CChartView::SurfaceColour() const
{
    return rgbOf(palette().color(QPalette::Base));
}

CChartView::Rgb CChartView::LineColour() const
{
    return rgbOf(palette().color(QPalette::Text));
}

void CChartView::InitializeGL()
{
    QOpenGLContext* current = context();
    gl_ = current != nullptr && current->isValid() ? QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(current)
                                                   : nullptr;
    if (gl_ == nullptr || !gl_->initializeOpenGLFunctions()) {
        gl_ = nullptr;
        renderingFailed_ = true;
        // Not from inside the widget's own GL set-up: the receiver may
        // hide or replace this widget.
        QMetaObject::invokeMethod(this, &CChartView::renderingFailed, Qt::QueuedConnection);
    }
}

void CChartView::ApplyProjection(QOpenGLFunctions_2_1& gl)
{
    const qreal ratio = surface_->devicePixelRatio();
    const int w = surface_->width();
    const int h = surface_->height();
    gl.glViewport(0, 0, static_cast<int>(w * ratio), static_cast<int>(h * ratio));
    const OrthoBox box = camera_.Projection(w, h);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(box.left, box.right, box.bottom, box.top, box.nearPlane, box.farPlane);
    gl.glMatrixMode(GL_MODELVIEW);
}

void CChartView::PaintGL()
{
    if (gl_ == nullptr) {
        return;
    }
    QOpenGLFunctions_2_1& gl = *gl_;
    UpdateData();
    ApplyProjection(gl);
    gl.glLoadIdentity();
    const Rgb background = rgbOf(palette().color(QPalette::Button));
    gl.glClearColor(background.r, background.g, background.b, 1.0f);
    gl.glClearDepth(1.0);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.glEnable(GL_COLOR_MATERIAL);
    gl.glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    gl.glEnable(GL_LINE_SMOOTH);
    gl.glDisable(GL_LINE_STIPPLE);
    gl.glShadeModel(GL_FLAT);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthFunc(GL_LEQUAL);
    gl.glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    gl.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    gl.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl.glDisable(GL_CULL_FACE);

    gl.glRotated(camera_.TurnHorizontal(), 1, 0, 0);
    gl.glRotated(camera_.TurnVertical(), 0, 1, 0);
    gl.glTranslatef(0, -1, 0);
    DrawFloor(gl);
    gl.glTranslatef(0, 1, 0);
    if (HasData()) {
        gl.glTranslatef(-kHalfSize, -kHalfSize, -kHalfSize);
        DrawSurface(gl);
        // The mesh shows above and below the surface.
        gl.glTranslatef(0, 0.1f, 0);
        DrawMesh(gl);
        gl.glTranslatef(0, -0.2f, 0);
        DrawMesh(gl);
    }
    gl.glFlush();
}

void CChartView::DrawFloor(QOpenGLFunctions_2_1& gl)
{
    constexpr float s = kHalfSize;
    constexpr float y = -s - kFloorDrop;
    const Rgb floor = rgbOf(palette().color(QPalette::Dark));
    gl.glColor3f(floor.r, floor.g, floor.b);
    gl.glBegin(GL_QUADS);
    gl.glVertex3f(-s, y, s - kRowSpacing);
    gl.glVertex3f(s - kColumnSpacing, y, s - kRowSpacing);
    gl.glVertex3f(s - kColumnSpacing, y, -s);
    gl.glVertex3f(-s, y, -s);
    gl.glEnd();

    // The origin marker: a yellow pyramid hanging below the floor's corner
    // of row 0 and column 0.
    constexpr float ax = -s;
    constexpr float az = s - kRowSpacing;
    constexpr float by = y - kMarkerDepth;
    constexpr float h = kMarkerHalfBase;
    const float base[5][2] = {{ax - h, az - h}, {ax + h, az - h}, {ax + h, az + h}, {ax - h, az + h}, {ax - h, az - h}};
    gl.glColor3f(1.0f, 1.0f, 0.2f);
    gl.glBegin(GL_TRIANGLES);
    for (int i = 0; i < 4; ++i) {
        gl.glVertex3f(ax, y, az);
        gl.glVertex3f(base[i][0], by, base[i][1]);
        gl.glVertex3f(base[i + 1][0], by, base[i + 1][1]);
    }
    gl.glEnd();
}

void CChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
        dragging_ = true;
        lastMouse_ = event->position().toPoint();
    }
    setFocus(Qt::MouseFocusReason);
}

void CChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if ((event->buttons() & (Qt::LeftButton | Qt::RightButton)) == 0) {
        dragging_ = false;
    }
}

void CChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_) {
        return;
    }
    const QPoint point = event->position().toPoint();
    const QPoint delta = point - lastMouse_;
    lastMouse_ = point;
    const Qt::MouseButtons buttons = event->buttons();
    if (buttons == Qt::RightButton) {
        camera_.Turn(delta.x(), delta.y());
    } else if ((buttons & Qt::LeftButton) != 0) {
        camera_.Shift(delta.x(), delta.y());
    } else {
        return;
    }
    Redraw();
}

void CChartView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta != 0) {
        camera_.Wheel(delta);
        Redraw();
    }
    event->accept();
}

void CChartView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const ChartModifiers modifiers{(mods & Qt::ControlModifier) != 0, (mods & Qt::ShiftModifier) != 0,
                                   (mods & Qt::AltModifier) != 0};
    if (applyChartKey(camera_, event->key(), (mods & Qt::KeypadModifier) != 0, modifiers)) {
        Redraw();
        return;
    }
    if (PassOnGridCommand(*event)) {
        return;
    }
    ForwardToGrid(*event);
}

void CChartView::keyReleaseEvent(QKeyEvent* event)
{
    ForwardToGrid(*event);
}

bool CChartView::PassOnGridCommand(const QKeyEvent& event)
{
    // Next / Previous Grid (F10 / F9) when they reach the chart rather
    // than the window's menu.
    auto* view = qobject_cast<views::CZamoCylinderView*>(companion_.data());
    if (view == nullptr || event.modifiers() != Qt::NoModifier ||
        (event.key() != Qt::Key_F10 && event.key() != Qt::Key_F9)) {
        return false;
    }
    if (view->CanSwitchGrid()) {
        if (event.key() == Qt::Key_F10) {
            view->NextGrid();
        } else {
            view->PreviousGrid();
        }
    }
    return true;
}

void CChartView::ForwardToGrid(QKeyEvent& key)
{
    views::CZamoGridView* view = companion_.data();
    if (view == nullptr) {
        return;
    }
    // A copy: the grid may open its editor, which takes the focus and
    // gets the following keys itself.
    QWidget* grid = &view->Grid();
    QKeyEvent copy(key.type(), key.key(), key.modifiers(), key.nativeScanCode(), key.nativeVirtualKey(),
                   key.nativeModifiers(), key.text(), key.isAutoRepeat(), static_cast<quint16>(key.count()));
    QCoreApplication::sendEvent(grid, &copy);
}

} // namespace morvex::charts
