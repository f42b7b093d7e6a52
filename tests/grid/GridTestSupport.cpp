#include "GridTestSupport.h"

#include "grid/ValueGridCtrl.h"

#include <algorithm>

namespace morvex::grid::test {

int Recorder::GridNotify(int code, int row, int column)
{
    const auto* value = dynamic_cast<const CValueGridCtrl*>(&grid_);
    calls.push_back({code, row, column, grid_.GetItemText(row, column), value != nullptr && value->IsPasteInProgress(),
                     value != nullptr && value->IsSingleStepInProgress()});
    return answer ? answer(code, row, column) : 0;
}

int Recorder::Count(int code) const
{
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [code](const Call& c) { return c.code == code; }));
}

std::vector<Recorder::Call> Recorder::Of(int code) const
{
    std::vector<Call> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [code](const Call& c) { return c.code == code; });
    return out;
}

} // namespace morvex::grid::test
