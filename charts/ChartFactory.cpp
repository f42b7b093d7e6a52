#include "charts/ChartFactory.h"

#include "charts/DataRecordingChart.h"
#include "charts/FuelmapChart.h"
#include "charts/FunctionChart.h"
#include "charts/IgnitionChart.h"
#include "charts/IndexChart.h"
#include "grid/ValueGridCtrl.h"
#include "views/IndexTable.h"
#include "views/ZamoCylinderView.h"

#include <QLabel>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions_2_1>
#include <QOpenGLVersionFunctionsFactory>
#include <QPainter>
#include <QPixmap>
#include <QStackedLayout>

namespace morvex::charts {

namespace {

QLabel* unavailableText(QWidget* parent)
{
    auto* label = new QLabel(QObject::tr("The chart cannot be shown: OpenGL could not be started on this display.\n"
                                         "The table beside works as usual."),
                             parent);
    label->setObjectName(QStringLiteral("chartUnavailable"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

// The chart, or the text when its context turns out unusable later.
class ChartPane : public QWidget {
public:
    ChartPane(CChartView* chart, QWidget* parent) : QWidget(parent), layout_(new QStackedLayout(this))
    {
        layout_->setContentsMargins(0, 0, 0, 0);
        chart->setParent(this);
        layout_->addWidget(chart);
        setFocusProxy(chart);
        QObject::connect(chart, &CChartView::renderingFailed, this, [this] {
            setFocusProxy(nullptr);
            layout_->setCurrentIndex(layout_->addWidget(unavailableText(this)));
        });
    }

private:
    QStackedLayout* layout_;
};

} // namespace

namespace {

bool probeRendering()
{
    QOpenGLContext context;
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    context.setFormat(format);
    if (!context.create()) {
        return false;
    }
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) {
        return false;
    }
    auto* functions = QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_2_1>(&context);
    const bool usable = functions != nullptr && functions->initializeOpenGLFunctions();
    context.doneCurrent();
    return usable;
}

} // namespace

bool ChartsCanRender()
{
    // The display does not change while the program runs; every chart asks.
    static const bool usable = probeRendering();
    return usable;
}

QPixmap GrabWithCharts(QWidget& window)
{
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    for (CChartView* chart : window.findChildren<CChartView*>()) {
        if (!chart->isVisible()) {
            continue;
        }
        const QImage image = chart->grabFramebuffer();
        if (!image.isNull()) {
            painter.drawImage(QRect(chart->mapTo(&window, QPoint(0, 0)), chart->size()), image);
        }
    }
    return picture;
}

AnimationBase& ProgramAnimationBase()
{
    static AnimationBase base;
    return base;
}

CChartView* MakeChart(int pane, views::CZamoGridView& view, const ChartOptions& options)
{
    CChartView* chart = nullptr;
    switch (pane) {
    case kFuelMapPane: chart = new CDOS_FuelmapChart(view); break;
    case kFunctionPane: chart = new CDOS_FunctionChart(view); break;
    case kIgnitionPane: chart = new CDOS_IgnitionChart(view); break;
    case kDataRecordPane: chart = new CDataRecordingChart(view); break;
    case kIndexPane: chart = new CDOS_IndexChart(view); break;
    default: return nullptr;
    }
    chart->SetAnimate(options.animate, options.sharedBase != nullptr ? options.sharedBase : &ProgramAnimationBase());
    view.SetPartnerChart(chart);
    // A view that has shown its table already tells the chart again, with
    // the grid's value range; one that has not will when it loads.
    if (auto* cylinders = qobject_cast<views::CZamoCylinderView*>(&view)) {
        cylinders->LoadGrid(cylinders->ActiveGrid());
    } else {
        chart->Rebuild(view.GetDisplayedTable());
    }
    const grid::CCellID focus = view.Grid().GetFocusCell();
    const int column = pane == kIndexPane ? views::indextable::chartColumnOf(focus.col) : focus.col - 1;
    chart->SelectCell(focus.row - 1, column);
    return chart;
}

QWidget* CreateChart(int pane, views::CZamoGridView& view, QWidget* parent, const ChartOptions& options)
{
    if (pane < kFuelMapPane || pane > kIndexPane) {
        return nullptr;
    }
    if (!ChartsCanRender()) {
        return unavailableText(parent);
    }
    return new ChartPane(MakeChart(pane, view, options), parent);
}

} // namespace morvex::charts
