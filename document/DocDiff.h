#pragma once

#include "document/BoxLayout.h"

#include <functional>
#include <string_view>
#include <vector>

namespace morvex {

class CMorvexDoc;
struct CFileInfo;

// One entry in which two parameter sets differ. Views into the documents:
// valid during the visit only.
struct DocDifference {
    enum class Kind {
        Table,    // a byte or word table of the box: `table`, `index`, values
        Text,     // an entry of a text table: `name` is its section, `index`, texts
        FileInfo, // "FileVersion1".."FileVersion3" or "FileComment": texts
        Record,   // a recorded value of a cell: `name` ("Ignition_T", "Lambda left", ...), `index`, values
    };
    Kind kind = Kind::Table;
    std::string_view name;            // section, record or file-info name
    const TableInfo* table = nullptr; // Kind::Table
    // Byte of a Rows or LeftRight table (0 = first left / first row byte),
    // word of a Words table, entry of a text table, cell of a record; -1 for
    // the min/max statistics, which are compared as a whole.
    int index = 0;
    // Table bytes, raw table words and record values; zero for texts and
    // for the statistics.
    double from = 0.0;
    double to = 0.0;
    bool floating = false; // a float record (else whole numbers)
    std::string_view fromText;
    std::string_view toText;
};

// Walks every difference from `a` to `b` in data-file order: the byte and
// word tables, the text tables, the file versions and comment, then the
// recorded data (float records, raw lambda words, received flags, the
// min/max statistics). `aFile` and `bFile` are each side's file info (the
// documents share the application's records, so callers pass copies).
// Floats are compared with !=, so a NaN always differs.
void ForEachDifference(const CMorvexDoc& a, const CFileInfo& aFile, const CMorvexDoc& b, const CFileInfo& bFile,
                       const std::function<void(const DocDifference&)>& visit);

// How many cells of one table (or text table, or record) differ and the
// largest difference of their values (0 for texts and statistics).
struct TableDifferenceCount {
    std::string_view name;
    int cells = 0;
    double largest = 0.0;
};

// The tables and records that differ between `a` and `b`, in data-file
// order; file versions and comment are not tables and are left out.
// Empty when the parameter sets hold the same tables.
std::vector<TableDifferenceCount> CountTableDifferences(const CMorvexDoc& a, const CMorvexDoc& b);

} // namespace morvex
