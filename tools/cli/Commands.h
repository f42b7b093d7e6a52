#pragma once

#include "document/AppCore.h"
#include "document/FuelCorrection.h"
#include "document/InfoRecords.h"
#include "document/MorvexDoc.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A command's view of the installation and its output streams.
struct Context {
    morvex::CAppCore& core;
    std::ostream& out;
    std::ostream& err;

    std::unique_ptr<morvex::CMorvexDoc> newDocument() const;
    // Opens a data file; prints the failure message (exit 1) or the
    // correction note, and gives null on failure.
    std::unique_ptr<morvex::CMorvexDoc> open(const std::filesystem::path& path) const;
};

int summary(const Context& ctx);
int newFile(const Context& ctx, const std::filesystem::path& out);
int dump(const Context& ctx, const std::filesystem::path& file);
int resave(const Context& ctx, const std::filesystem::path& file);
int diff(const Context& ctx, const std::filesystem::path& a, const std::filesystem::path& b);

// One side of a comparison: a parameter set with its own copy of the file
// records (the documents share the application's).
struct DiffSide {
    std::unique_ptr<morvex::CMorvexDoc> doc;
    morvex::CInfoRecords info;
};
// Lists every difference from `a` to `b` as diff does: exit 0 identical, 1
// different.
int listDifferences(const Context& ctx, const DiffSide& a, const DiffSide& b);
int exportCsv(const Context& ctx, const std::filesystem::path& file, const std::string& table,
              const std::filesystem::path& out);
int importCsv(const Context& ctx, const std::filesystem::path& file, const std::string& table,
              const std::filesystem::path& csv);

// A map cell (memory row and column, 0-based) as diff names it: with its
// rpm and throttle axis values of `doc` where it lies on the shown half.
std::string mapCellName(const morvex::CMorvexDoc& doc, const morvex::CAppCore& core, int row, int column);

// propose: a fuel map correction from the recorded lambda of a data file.
struct ProposeOptions {
    morvex::CorrectionSettings settings;
    std::optional<double> target;  // one target for every cell instead of the file's table
    std::string sensor;            // lambda sensor table: a path or a file name in CNF
};
// Takes the propose options out of `args`; an error text for a bad option.
std::optional<std::string> parseProposeOptions(std::vector<std::string>& args, ProposeOptions& options);
// Writes FILE with the corrected maps to OUT (FILE's other sections kept)
// and lists the changed cells: exit 0 written, 1 data-file failure.
int propose(const Context& ctx, const ProposeOptions& options, const std::filesystem::path& file,
            const std::filesystem::path& out);

} // namespace cli
