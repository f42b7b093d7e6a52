#include "document/DocDiff.h"

#include "document/InfoRecords.h"
#include "document/MorvexDoc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace morvex {
namespace {

using Visit = std::function<void(const DocDifference&)>;

DocDifference numbers(DocDifference::Kind kind, std::string_view name, int index, double from, double to)
{
    DocDifference d;
    d.kind = kind;
    d.name = name;
    d.index = index;
    d.from = from;
    d.to = to;
    return d;
}

DocDifference texts(DocDifference::Kind kind, std::string_view name, int index, std::string_view from,
                    std::string_view to)
{
    DocDifference d;
    d.kind = kind;
    d.name = name;
    d.index = index;
    d.fromText = from;
    d.toText = to;
    return d;
}

void tables(const CMorvexDoc& a, const CMorvexDoc& b, const Visit& visit)
{
    for (const TableInfo& t : kTables) {
        DocDifference d = numbers(DocDifference::Kind::Table, t.section, 0, 0.0, 0.0);
        d.table = &t;
        if (t.shape == TableShape::Words) {
            for (int i = 0; i < 32; ++i) {
                const uint16_t x = a.GetWord(t.address, i);
                const uint16_t y = b.GetWord(t.address, i);
                if (x != y) {
                    d.index = i, d.from = x, d.to = y;
                    visit(d);
                }
            }
            continue;
        }
        const auto x = a.BoxSpan(t.address, tableBytes(t));
        const auto y = b.BoxSpan(t.address, tableBytes(t));
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i] != y[i]) {
                d.index = static_cast<int>(i), d.from = x[i], d.to = y[i];
                visit(d);
            }
        }
    }
}

void textTables(const CMorvexDoc& a, const CFileInfo& aFile, const CMorvexDoc& b, const CFileInfo& bFile,
           const Visit& visit)
{
    for (int t = 0; t < kTextTableCount; ++t) {
        const auto table = static_cast<TextTable>(t);
        for (int i = 0; i < kTextEntries; ++i) {
            const std::string& x = a.Text(table, i);
            const std::string& y = b.Text(table, i);
            if (x != y) {
                visit(texts(DocDifference::Kind::Text, kTextTableSections[static_cast<std::size_t>(t)], i, x, y));
            }
        }
    }
    static constexpr std::array<std::string_view, 3> kVersionKeys{"FileVersion1", "FileVersion2", "FileVersion3"};
    for (std::size_t i = 0; i < aFile.versions.size(); ++i) {
        if (aFile.versions[i] != bFile.versions[i]) {
            visit(texts(DocDifference::Kind::FileInfo, kVersionKeys[i], 0, aFile.versions[i], bFile.versions[i]));
        }
    }
    if (aFile.comment != bFile.comment) {
        visit(texts(DocDifference::Kind::FileInfo, "FileComment", 0, aFile.comment, bFile.comment));
    }
}

void records(const CMorvexDoc& a, const CMorvexDoc& b, const Visit& visit)
{
    static constexpr std::array<std::pair<std::string_view, BoxAddress>, 4> kFloats{{
        {"Ignition_T", rec::REC_IGNITION_T},
        {"Ignition_P", rec::REC_IGNITION_P},
        {"FuelConsumption", rec::REC_FUEL_CONSUMPTION},
        {"Count", box::MEASURE_COUNTS},
    }};
    for (const auto& [name, address] : kFloats) {
        for (int k = 0; k < kCells; ++k) {
            const float x = a.GetFloat(address, k);
            const float y = b.GetFloat(address, k);
            if (x != y) {
                DocDifference d =
                    numbers(DocDifference::Kind::Record, name, k, static_cast<double>(x), static_cast<double>(y));
                d.floating = true;
                visit(d);
            }
        }
    }
    static constexpr std::array<std::pair<std::string_view, BoxAddress>, 2> kLambda{{
        {"Lambda left", box::LAMBDA_RECORD_LEFT},
        {"Lambda right", box::LAMBDA_RECORD_RIGHT},
    }};
    for (const auto& [name, address] : kLambda) {
        for (int k = 0; k < kCells; ++k) {
            const uint16_t x = a.GetWord(address, k);
            const uint16_t y = b.GetWord(address, k);
            if (x != y) {
                visit(numbers(DocDifference::Kind::Record, name, k, x, y));
            }
        }
    }
    const auto rx = a.BoxSpan(rec::REC_DATA_RECEIVED, rec::kDataReceivedSize);
    const auto ry = b.BoxSpan(rec::REC_DATA_RECEIVED, rec::kDataReceivedSize);
    for (std::size_t k = 0; k < rx.size(); ++k) {
        if (rx[k] != ry[k]) {
            visit(numbers(DocDifference::Kind::Record, "DataReceived", static_cast<int>(k), rx[k], ry[k]));
        }
    }
    const auto mx = a.BoxSpan(box::MM, kMinMaxRecords * 32);
    const auto my = b.BoxSpan(box::MM, kMinMaxRecords * 32);
    if (!std::equal(mx.begin(), mx.end(), my.begin())) {
        visit(numbers(DocDifference::Kind::Record, "MM", -1, 0.0, 0.0));
    }
    static constexpr std::array<std::string_view, 2> kTargets{"TargetLambda left", "TargetLambda right"};
    for (int cylinder = 0; cylinder < 2; ++cylinder) {
        for (int k = 0; k < kCells; ++k) {
            const int x = a.TargetLambda().Hundredths(cylinder, k);
            const int y = b.TargetLambda().Hundredths(cylinder, k);
            if (x != y) {
                DocDifference d = numbers(DocDifference::Kind::Record, kTargets[static_cast<std::size_t>(cylinder)], k,
                                          x / 100.0, y / 100.0);
                d.floating = true;
                visit(d);
            }
        }
    }
    static constexpr std::array<std::string_view, 2> kLocks{"CorrectionLocks left", "CorrectionLocks right"};
    for (int cylinder = 0; cylinder < 2; ++cylinder) {
        for (int k = 0; k < kCells; ++k) {
            const bool x = a.CorrectionLocks().IsLocked(cylinder, k);
            const bool y = b.CorrectionLocks().IsLocked(cylinder, k);
            if (x != y) {
                visit(numbers(DocDifference::Kind::Record, kLocks[static_cast<std::size_t>(cylinder)], k, x ? 1 : 0,
                              y ? 1 : 0));
            }
        }
    }
}

} // namespace

void ForEachDifference(const CMorvexDoc& a, const CFileInfo& aFile, const CMorvexDoc& b, const CFileInfo& bFile,
                       const std::function<void(const DocDifference&)>& visit)
{
    tables(a, b, visit);
    textTables(a, aFile, b, bFile, visit);
    records(a, b, visit);
}

std::vector<TableDifferenceCount> CountTableDifferences(const CMorvexDoc& a, const CMorvexDoc& b)
{
    std::vector<TableDifferenceCount> counts;
    // Both sides' file info is left out; any one record serves.
    const CFileInfo none;
    ForEachDifference(a, none, b, none, [&counts](const DocDifference& d) {
        if (d.kind == DocDifference::Kind::FileInfo) {
            return;
        }
        // Differences come table by table: a new name starts a new count.
        if (counts.empty() || counts.back().name != d.name) {
            counts.push_back({d.name, 0, 0.0});
        }
        TableDifferenceCount& c = counts.back();
        ++c.cells;
        const double delta = std::abs(d.to - d.from);
        if (!std::isnan(delta)) {
            c.largest = std::max(c.largest, delta);
        }
    });
    return counts;
}

} // namespace morvex
