// Replays 10,000 edits on the map grid of the table views (a 16 x 16
// CValueGridCtrl with one header row and column, CGridCelll250 cells) and
// prints the mean and worst time per edit and their ratios to one 16 ms
// frame, for the edit alone and for the edit plus the painting of the
// changed cells.
//
//   GridBench [--edits N]
//
// The edits mix single-cell writes through the owner's notifications (an
// owner that accepts everything), stepping of a 4 x 4 selection and the
// writing of a whole column as "Fill In Mean Values Down" does. Without a
// display the grid runs on the offscreen platform. Nothing here fails on
// time; the exit code is non-zero only when an edit does not arrive.

#include "grid/GridCellTypes.h"
#include "grid/ValueGridCtrl.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace morvex::grid;
using Clock = std::chrono::steady_clock;

constexpr double kFrameMs = 16.0;
constexpr int kRows = 17;
constexpr int kCols = 17;

class AcceptingOwner : public GridNotifyTarget {
public:
    int GridNotify(int code, int, int) override
    {
        if (code == GRID_NOTIFY_END_EDIT) {
            ++endEdits;
        }
        return 0;
    }
    long endEdits = 0;
};

struct Stats {
    const char* name;
    std::vector<double> editMs;
    std::vector<double> paintedMs;
};

void Print(const Stats& stats)
{
    if (stats.editMs.empty()) {
        return;
    }
    auto row = [&](const char* what, const std::vector<double>& ms) {
        double sum = 0.0;
        for (const double m : ms) {
            sum += m;
        }
        const double mean = sum / static_cast<double>(ms.size());
        const double worst = *std::max_element(ms.begin(), ms.end());
        std::printf("%-16s %-14s %7zu  mean %8.4f ms (%6.4f of a frame)  worst %8.4f ms (%6.4f of a frame)\n",
                    stats.name, what, ms.size(), mean, mean / kFrameMs, worst, worst / kFrameMs);
    };
    row("edit", stats.editMs);
    row("edit + paint", stats.paintedMs);
}

QRect Bounds(const CGridCtrl& grid, const CCellRange& range)
{
    QRect bounds;
    for (int r = range.minRow; r <= range.maxRow; ++r) {
        for (int c = range.minCol; c <= range.maxCol; ++c) {
            QRect rect;
            if (grid.GetCellRect(r, c, rect)) {
                bounds |= rect;
            }
        }
    }
    return bounds;
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    int edits = 10000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--edits") == 0) {
            edits = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    CValueGridCtrl grid;
    AcceptingOwner owner;
    grid.SetDefaultCellType<CGridCelll250>();
    grid.GetDefaultCell(false, false)->SetFormat(kFormatRight);
    grid.SetRowCount(kRows);
    grid.SetColumnCount(kCols);
    grid.SetFixedRowCount(1);
    grid.SetFixedColumnCount(1);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kCols; ++c) {
            grid.SetItemText(r, c, QString::number(r == 0 ? c * 6 : c == 0 ? 1000 + 500 * r : (r * c) % 251));
        }
    }
    grid.SetNotifyTarget(&owner);
    grid.SetBeeper([] {});
    grid.AutoSize();
    grid.resize(grid.GetVirtualWidth() + 4, grid.GetVirtualHeight() + 4);
    grid.show();
    grid.SetSelectedRange(1, 1, 1, 1);
    grid.SetFocusCell(1, 1);

    // Painting goes into an image of the grid's size: the same painting the
    // window does for the changed cells, without waiting for the screen.
    QImage canvas(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    auto paint = [&](const QRect& rect) {
        QPainter painter(&canvas);
        grid.viewport()->render(&painter, rect.topLeft(), QRegion(rect), QWidget::DrawChildren);
    };
    paint(grid.viewport()->rect());

    Stats single{"single cell", {}, {}};
    Stats stepping{"step 4x4", {}, {}};
    Stats fill{"fill column", {}, {}};
    long expectedEnds = 0;
    for (int i = 0; i < edits; ++i) {
        const int kind = i % 10;
        const Clock::time_point start = Clock::now();
        CCellRange changed;
        Stats* stats = &single;
        if (kind < 8) {
            const int row = 1 + (i / 16) % 16;
            const int col = 1 + i % 16;
            grid.SetItemTextNotify(row, col, QString::number((i * 7) % 251));
            changed = {row, col, row, col};
        } else if (kind == 8) {
            const int top = 1 + (i / 10) % 13;
            const int left = 1 + (i / 100) % 13;
            grid.SetSelectedRange(top, left, top + 3, left + 3);
            grid.SetFocusCell(top, left);
            grid.StepSelection((i / 10) % 2 == 0 ? 1 : -1);
            changed = {top, left, top + 3, left + 3};
            stats = &stepping;
        } else {
            const int col = 1 + (i / 10) % 16;
            const int first = grid.GetItemText(1, col).toInt();
            const int last = grid.GetItemText(16, col).toInt();
            const double step = (last - first) / 15.0;
            for (int r = 2; r <= 15; ++r) {
                grid.SetItemTextNotify(r, col, QString::number(static_cast<int>((r - 1) * step + first + 0.5) % 256));
            }
            changed = {1, col, 16, col};
            stats = &fill;
        }
        const Clock::time_point edited = Clock::now();
        paint(Bounds(grid, changed));
        const Clock::time_point painted = Clock::now();
        stats->editMs.push_back(Ms(edited - start));
        stats->paintedMs.push_back(Ms(painted - start));
        expectedEnds += kind < 8 ? 1 : 0;
    }

    std::printf("GridBench: %d edits on a %d x %d grid (%s platform)\n", edits, kRows - 1, kCols - 1,
                qPrintable(QGuiApplication::platformName()));
    Print(single);
    Print(stepping);
    Print(fill);
    Stats all{"all edits", {}, {}};
    for (const Stats* s : {&single, &stepping, &fill}) {
        all.editMs.insert(all.editMs.end(), s->editMs.begin(), s->editMs.end());
        all.paintedMs.insert(all.paintedMs.end(), s->paintedMs.begin(), s->paintedMs.end());
    }
    Print(all);
    std::printf("end-edit notifications: %ld\n", owner.endEdits);
    return owner.endEdits >= expectedEnds ? EXIT_SUCCESS : EXIT_FAILURE;
}
