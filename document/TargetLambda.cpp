#include "document/TargetLambda.h"

#include "document/DocumentLog.h"
#include "document/HalfMapRowKeys.h"
#include "platform/IniFile.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <string>

namespace morvex {
namespace {

constexpr int kRowCells = kHalfMapRowCells;
constexpr int kRows = kHalfMapRows;

} // namespace

std::size_t CTargetLambda::index(int cylinder, int cell)
{
    assert(cylinder >= 0 && cylinder < kCylinders && cell >= 0 && cell < kCells);
    return static_cast<std::size_t>(cylinder * kCells + cell);
}

bool CTargetLambda::Set(int cylinder, int cell, double lambda)
{
    if (cylinder < 0 || cylinder >= kCylinders || cell < 0 || cell >= kCells || !std::isfinite(lambda)) {
        return false;
    }
    const double hundredths = std::floor(lambda * 100.0 + 0.5);
    if (hundredths < kMinimum || hundredths > kMaximum) {
        return false;
    }
    hundredths_[index(cylinder, cell)] = static_cast<uint16_t>(hundredths);
    return true;
}

bool CTargetLambda::IsDefault() const
{
    return std::all_of(hundredths_.begin(), hundredths_.end(), [](uint16_t v) { return v == kDefault; });
}

void CTargetLambda::Read(const platform::IniFile& file)
{
    Reset();
    if (!file.hasSection(kTargetLambdaSection)) {
        return;
    }
    for (int cylinder = 0; cylinder < kCylinders; ++cylinder) {
        for (int row = 0; row < kRows; ++row) {
            const std::string key = HalfMapRowKey(cylinder, row);
            const std::string value = file.getString(kTargetLambdaSection, key, {});
            std::array<uint16_t, kRowCells> parsed{};
            bool ok = value.size() == 4 * kRowCells - 1;
            for (int c = 0; ok && c < kRowCells; ++c) {
                const std::string_view piece = std::string_view(value).substr(static_cast<std::size_t>(4 * c), 3);
                const bool digits = std::all_of(piece.begin(), piece.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
                const int n = digits ? platform::parseInt(piece) : -1;
                ok = (c == kRowCells - 1 || value[static_cast<std::size_t>(4 * c + 3)] == ',') && n >= kMinimum &&
                     n <= kMaximum;
                parsed[static_cast<std::size_t>(c)] = static_cast<uint16_t>(ok ? n : kDefault);
            }
            if (!ok) {
                documentLog().warning("data file: target lambda row " + key + " damaged, read as 1.00");
                continue;
            }
            std::copy(parsed.begin(), parsed.end(), hundredths_.begin() + static_cast<std::ptrdiff_t>(index(cylinder, row * kRowCells)));
        }
    }
}

bool CTargetLambda::Write(platform::IniFile& file) const
{
    if (IsDefault()) {
        // An in-place save must not leave targets behind that the tuner reset.
        file.removeSection(kTargetLambdaSection);
        return true;
    }
    for (int cylinder = 0; cylinder < kCylinders; ++cylinder) {
        for (int row = 0; row < kRows; ++row) {
            std::string text;
            for (int c = 0; c < kRowCells; ++c) {
                char piece[16];
                std::snprintf(piece, sizeof piece, c == 0 ? "%03d" : ",%03d", int{Hundredths(cylinder, row * kRowCells + c)});
                text += piece;
            }
            if (!file.setString(kTargetLambdaSection, HalfMapRowKey(cylinder, row), text)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace morvex
