// The fuel map chart at 1280 x 800: the time to rebuild its data after one
// cell edit, the time per frame while it turns (rendered and composed into
// the window, and rendered and read back), and the grid's edit latency
// (the edit and the frame it causes) with the chart beside the grid and
// without it, each as a ratio to one 16 ms frame.
//
//   ChartBench [--frames N] [--edits N]
//
// Nothing here fails on time. Run under xvfb-run for Mesa's software
// renderer; without OpenGL it says so and measures nothing.

#include "tools/bench/BenchTiming.h"
#include "charts/ChartFactory.h"
#include "charts/FuelmapChart.h"
#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "platform/UserMessages.h"
#include "tools/bench/BenchViews.h"
#include "views/FuelmapView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QOpenGLContext>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

using namespace morvex::bench;

namespace {


// The chart with its data rebuild callable from outside.
class BenchChart : public morvex::charts::CDOS_FuelmapChart {
public:
    using CDOS_FuelmapChart::CDOS_FuelmapChart;
    using CFuelmapChart::BuildData;
};

int option(int argc, char* argv[], const char* name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            return std::max(1, std::atoi(argv[i + 1]));
        }
    }
    return fallback;
}

// Typed edits on random cells, each with the events it causes (the
// chart's frame among them).
std::vector<double> edits(morvex::grid::CValueGridCtrl& grid, int count)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> row(17, 32);
    std::uniform_int_distribution<int> column(1, 16);
    std::uniform_int_distribution<int> value(0, 250);
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const int r = row(random);
        const int c = column(random);
        grid.SetSelectedRange(r, c, r, c);
        grid.SetFocusCell(r, c);
        const QString text = QString::number(value(random));
        const auto start = Clock::now();
        grid.SetItemTextNotify(r, c, text);
        QApplication::processEvents();
        ms.push_back(since(start));
    }
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int frames = option(argc, argv, "--frames", 200);
    const int editCount = option(argc, argv, "--edits", 300);

    morvex::bench::BenchViews bench;
    if (!bench.start()) {
        return 1;
    }
    if (!morvex::charts::ChartsCanRender()) {
        std::fprintf(stderr, "ChartBench: OpenGL cannot be started on this display; nothing measured\n");
        return 1;
    }
    morvex::views::ViewContext& context = bench.context;

    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* view = new morvex::views::CFuelmapView(context, &window);
    view->OnUpdate(morvex::views::kHintAll);
    layout->addWidget(view);
    window.resize(900, 800);
    window.show();
    QApplication::processEvents();
    auto& grid = view->Grid();
    const std::vector<double> withoutChart = edits(grid, editCount);

    auto* chart = new BenchChart(*view, &window);
    view->SetPartnerChart(chart);
    chart->setFixedSize(1280, 800);
    layout->addWidget(chart);
    window.resize(900 + 1280, 800);
    QApplication::processEvents();
    chart->Rebuild(view->GetDisplayedTable());
    while (chart->grabFramebuffer().isNull() && chart->RenderingAvailable()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    std::vector<double> rebuild;
    uint8_t* left = bench.doc->GetBoxData(morvex::box::TAB_DDD_LINKS);
    for (int i = 0; i < editCount; ++i) {
        left[256 + i % 256] = static_cast<uint8_t>(i);
        const auto start = Clock::now();
        chart->Rebuild(view->GetDisplayedTable());
        chart->BuildData();
        rebuild.push_back(since(start));
    }
    std::vector<double> composed;
    std::vector<double> readBack;
    for (int i = 0; i < frames; ++i) {
        chart->Camera().Turn(1, 0);
        auto start = Clock::now();
        bool drawn = false;
        const QMetaObject::Connection connection =
            QObject::connect(chart, &BenchChart::frameDrawn, [&drawn] { drawn = true; });
        chart->Redraw();
        while (!drawn) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        QObject::disconnect(connection);
        composed.push_back(since(start));
        chart->Camera().Turn(1, 0);
        start = Clock::now();
        chart->grabFramebuffer();
        readBack.push_back(since(start));
    }
    const std::vector<double> withChart = edits(grid, editCount);
    // The chart shown but not told of edits: what the window's composition
    // alone costs a grid edit.
    view->SetPartnerChart(nullptr);
    const std::vector<double> beside = edits(grid, editCount);

    std::printf("ChartBench: fuel map chart %d x %d (%s platform, %s)\n", chart->width(), chart->height(),
                QApplication::platformName().toLocal8Bit().constData(),
                chart->context() != nullptr && chart->context()->isOpenGLES() ? "OpenGL ES" : "OpenGL");
    printFrameShare("rebuild after one cell edit", rebuild);
    printFrameShare("frame while turning", composed);
    printFrameShare("frame rendered and read back", readBack);
    printFrameShare("grid edit without chart", withoutChart);
    printFrameShare("grid edit with chart", withChart);
    printFrameShare("grid edit, chart not following", beside);
    const double before = mean(withoutChart);
    std::printf("edit latency with chart / without: %.2f\n", before > 0 ? mean(withChart) / before : 0.0);
    return 0;
}
