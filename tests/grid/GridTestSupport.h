#pragma once

#include "grid/GridCellTypes.h"
#include "grid/GridCtrl.h"

#include <QString>

#include <functional>
#include <vector>

namespace morvex::grid::test {

// The owner of a grid as the tests see it: records every notification
// with the cell's text and the grid's flags at that moment, and answers
// as told.
class Recorder : public GridNotifyTarget {
public:
    struct Call {
        int code;
        int row;
        int col;
        QString text;
        bool paste;
        bool singleStep;
    };

    explicit Recorder(CGridCtrl& grid) : grid_(grid) {}

    int GridNotify(int code, int row, int column) override;
    void GridKeyDown(int key, Qt::KeyboardModifiers) override { keys.push_back(key); }

    int Count(int code) const;
    std::vector<Call> Of(int code) const;
    void Clear() { calls.clear(); }

    std::vector<Call> calls;
    std::vector<int> keys;
    // Answer to a notification; 0 when not set.
    std::function<int(int code, int row, int col)> answer;

private:
    CGridCtrl& grid_;
};

// A grid of `rows` x `cols` cells of one type with one fixed row and
// column, every value cell "0", a counted beeper and a recorder, shown
// with cell (1, 1) focused and selected.
template <class Grid, class Cell = CGridCelll250> struct Fixture {
    explicit Fixture(int rows = 17, int cols = 17) : recorder(grid)
    {
        grid.template SetDefaultCellType<Cell>();
        grid.SetRowCount(rows);
        grid.SetColumnCount(cols);
        grid.SetFixedRowCount(1);
        grid.SetFixedColumnCount(1);
        for (int r = 1; r < rows; ++r) {
            for (int c = 1; c < cols; ++c) {
                grid.SetItemText(r, c, QStringLiteral("0"));
            }
        }
        grid.SetNotifyTarget(&recorder);
        grid.SetBeeper([this] { ++beeps; });
        grid.resize(900, 700);
        grid.show();
        Focus(1, 1);
    }

    void Focus(int row, int col)
    {
        grid.SetSelectedRange(row, col, row, col);
        grid.SetFocusCell(row, col);
    }
    QString Text(int row, int col) const { return grid.GetItemText(row, col); }

    Grid grid;
    Recorder recorder;
    int beeps = 0;
};

} // namespace morvex::grid::test
