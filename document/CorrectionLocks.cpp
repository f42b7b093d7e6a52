#include "document/CorrectionLocks.h"

#include "document/DocumentLog.h"
#include "document/HalfMapRowKeys.h"
#include "platform/IniFile.h"

#include <string>

namespace morvex {
namespace {

constexpr int kRowCells = kHalfMapRowCells;
constexpr int kRows = kHalfMapRows;

bool inRange(int cylinder, int cell)
{
    return cylinder >= 0 && cylinder < CCorrectionLocks::kCylinders && cell >= 0 && cell < kCells;
}

} // namespace

bool CCorrectionLocks::IsLocked(int cylinder, int cell) const
{
    return inRange(cylinder, cell) && cells_[static_cast<std::size_t>(cylinder)].test(static_cast<std::size_t>(cell));
}

bool CCorrectionLocks::SetLocked(int cylinder, int cell, bool locked)
{
    if (!inRange(cylinder, cell)) {
        return false;
    }
    cells_[static_cast<std::size_t>(cylinder)].set(static_cast<std::size_t>(cell), locked);
    return true;
}

void CCorrectionLocks::Read(const platform::IniFile& file)
{
    Reset();
    if (!file.hasSection(kCorrectionLocksSection)) {
        return;
    }
    for (int cylinder = 0; cylinder < kCylinders; ++cylinder) {
        for (int row = 0; row < kRows; ++row) {
            const std::string key = HalfMapRowKey(cylinder, row);
            const std::string value = file.getString(kCorrectionLocksSection, key, {});
            if (value.empty()) {
                continue;
            }
            if (value.size() != kRowCells || value.find_first_not_of("01") != std::string::npos) {
                documentLog().warning("data file: correction locks row " + key + " damaged, read unlocked");
                continue;
            }
            for (int c = 0; c < kRowCells; ++c) {
                SetLocked(cylinder, row * kRowCells + c, value[static_cast<std::size_t>(c)] == '1');
            }
        }
    }
}

bool CCorrectionLocks::Write(platform::IniFile& file) const
{
    if (IsEmpty()) {
        // An in-place save must not keep locks the tuner lifted.
        file.removeSection(kCorrectionLocksSection);
        return true;
    }
    for (int cylinder = 0; cylinder < kCylinders; ++cylinder) {
        for (int row = 0; row < kRows; ++row) {
            std::string text(kRowCells, '0');
            for (int c = 0; c < kRowCells; ++c) {
                if (IsLocked(cylinder, row * kRowCells + c)) {
                    text[static_cast<std::size_t>(c)] = '1';
                }
            }
            if (!file.setString(kCorrectionLocksSection, HalfMapRowKey(cylinder, row), text)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace morvex
