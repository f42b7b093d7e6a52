// Undo and Redo as the editor runs them: the five table panes with their
// charts in a 1280 x 800 window, a 256-cell paste into the fuel map (one
// step), then Undo and Redo of it, each timed until the window has drawn
// the result; and what the undo history costs a single typed edit (the
// state copied and compared around it). Prints mean and worst times as a
// ratio to one 16 ms frame.
//
//   UndoBench [--rounds N]
//
// Nothing here fails on time.

#include "tools/bench/BenchTiming.h"
#include "grid/ValueGridCtrl.h"
#include "shell/CommController.h"
#include "shell/PaneLayout.h"
#include "shell/TableViews.h"
#include "shell/UndoController.h"
#include "tools/bench/BenchViews.h"
#include "views/FuelmapView.h"
#include "views/ZamoGridView.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

using namespace morvex::bench;

namespace {


// 16 lines of 16 values, different in each round.
QString pasteBlock(int round)
{
    QString block;
    for (int row = 0; row < 16; ++row) {
        QStringList values;
        for (int column = 0; column < 16; ++column) {
            values << QString::number(20 + (round * 7 + row * 3 + column) % 200);
        }
        block += values.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return block;
}

// Typed edits of one cell with the grid's action observer as it is.
std::vector<double> typedEdits(morvex::grid::CValueGridCtrl& grid, int count)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        grid.SetItemTextNotify(20, 3 + i % 8, QString::number(30 + i % 150));
        ms.push_back(since(start));
    }
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int rounds = 50;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    morvex::bench::BenchViews bench;
    if (!bench.start()) {
        return 1;
    }
    using namespace morvex;
    views::ViewContext& context = bench.context;
    shell::CommController comm(*bench.doc, bench.core, bench.messages);
    context.frame = nullptr;

    shell::PaneLayout panes;
    shell::TableViews tables(context, panes, false);
    tables.update(views::kHintAll);
    shell::UndoController undo(*bench.doc, comm);
    QObject::connect(&undo, &shell::UndoController::documentRestored, &tables,
                     [&tables](int hint, const QList<int>& shown) {
                         for (int pane : shown) {
                             tables.viewOf(pane)->OnUpdate(hint);
                         }
                     });
    panes.resize(1280, 800);
    panes.show();
    QApplication::processEvents();

    auto& grid = tables.fuelmap().Grid();
    // Without the history, then with it: the same typed edits.
    const std::vector<double> plain = typedEdits(grid, 2000);
    for (int pane = shell::kFirstPane; pane <= shell::kIndexPane; ++pane) {
        undo.Watch(tables.viewOf(pane)->Grid());
    }
    std::vector<double> bracketed;
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        const grid::CGridCtrl::ActionScope action(grid, "Typing");
        grid.SetItemTextNotify(20, 3 + i % 8, QString::number(30 + i % 150));
        bracketed.push_back(since(start));
    }

    std::vector<double> pasteMs;
    std::vector<double> undoMs;
    std::vector<double> redoMs;
    for (int round = 0; round < rounds; ++round) {
        grid.SetFocusCell(17, 1);
        grid.SetSelectedRange(17, 1, 17, 1);
        auto start = Clock::now();
        grid.PasteText(pasteBlock(round));
        QApplication::processEvents();
        pasteMs.push_back(since(start));

        start = Clock::now();
        undo.Undo();
        QApplication::processEvents();
        undoMs.push_back(since(start));

        start = Clock::now();
        undo.Redo();
        QApplication::processEvents();
        redoMs.push_back(since(start));
    }
    if (undo.journal().UndoName() != "Paste") {
        std::fprintf(stderr, "UndoBench: the paste made no undo step\n");
        return 1;
    }
    printFrameShare("typed edit, no history", plain);
    printFrameShare("typed edit, with history", bracketed);
    printFrameShare("paste of 256 cells", pasteMs);
    printFrameShare("undo of that paste", undoMs);
    printFrameShare("redo of that paste", redoMs);
    return 0;
}
