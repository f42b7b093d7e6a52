// Replays 10,000 edits on the fuel map view (the left, percent and right
// grids coupled as the user edits them, with the document, the limit
// rules and the grid's notifications all in the path) and Fill In Mean
// Values Down over whole columns, and prints the mean and worst time per
// edit as a ratio to one 16 ms frame.
//
//   FuelmapBench [--edits N]
//
// Nothing here fails on time. Without a display it runs offscreen.

#include "tools/bench/BenchTiming.h"
#include "document/AppCore.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "platform/UserMessages.h"
#include "tools/bench/BenchViews.h"
#include "views/FuelmapView.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

using namespace morvex::bench;

namespace {


} // namespace

int main(int argc, char* argv[])
{
    if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    int edits = 10000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--edits") == 0) {
            edits = std::max(1, std::atoi(argv[i + 1]));
        }
    }

    morvex::bench::BenchViews bench;
    if (!bench.start()) {
        return 1;
    }
    morvex::bench::SilentMessages& messages = bench.messages;
    morvex::views::CFuelmapView view(bench.context);
    view.resize(900, 600);
    view.OnUpdate(morvex::views::kHintAll);
    view.show();
    QApplication::processEvents();

    auto& grid = view.Grid();
    std::mt19937 random(7);
    std::uniform_int_distribution<int> row(17, 32);
    std::uniform_int_distribution<int> column(1, 16);
    std::uniform_int_distribution<int> value(0, 260);
    std::vector<double> typed;
    std::vector<double> filled;
    const int fills = edits / 10;
    for (int i = 0; i < edits - fills; ++i) {
        if (i % 1000 == 0) {
            // Every grid in turn: left, percent, right.
            view.SwitchGrid(1211 + (i / 1000) % 3);
        }
        const int r = row(random);
        const int c = column(random);
        grid.SetSelectedRange(r, c, r, c);
        grid.SetFocusCell(r, c);
        const QString text = QString::number(value(random));
        const auto start = Clock::now();
        grid.SetItemTextNotify(r, c, text);
        typed.push_back(since(start));
    }
    view.SwitchGrid(1211);
    for (int i = 0; i < fills; ++i) {
        const int c = column(random);
        grid.SetSelectedRange(17, c, 32, c);
        const auto start = Clock::now();
        view.FillMeanValues(true);
        // One fill writes 14 cells; the time per edit is what a user feels.
        filled.push_back(since(start) / 14.0);
    }
    QApplication::processEvents();
    std::printf("FuelmapBench: %d edits on the fuel map view (%s platform)\n", edits,
                QApplication::platformName().toLocal8Bit().constData());
    printFrameShare("typed cell edit", typed);
    printFrameShare("fill down, per cell", filled);
    std::printf("limit messages that would have been shown: %ld\n", messages.shown);
    return 0;
}
