#include "charts/ChartFactory.h"

#include "charts/FuelmapChart.h"
#include "grid/ValueGridCtrl.h"
#include "views/ZamoGridView.h"

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

constexpr int kFuelMapPane = 501;

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

bool ChartsCanRender()
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

QWidget* CreateChart(int pane, views::CZamoGridView& view, QWidget* parent, const ChartOptions& options)
{
    if (pane != kFuelMapPane) {
        return nullptr;
    }
    if (!ChartsCanRender()) {
        return unavailableText(parent);
    }
    auto* chart = new CDOS_FuelmapChart(view, nullptr);
    chart->SetAnimate(options.animate, options.sharedBase);
    view.SetPartnerChart(chart);
    chart->Rebuild(view.GetDisplayedTable());
    const grid::CCellID focus = view.Grid().GetFocusCell();
    chart->SelectCell(focus.row - 1, focus.col - 1);
    return new ChartPane(chart, parent);
}

} // namespace morvex::charts
