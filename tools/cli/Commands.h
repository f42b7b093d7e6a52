#pragma once

#include "document/AppCore.h"
#include "document/InfoRecords.h"
#include "document/MorvexDoc.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
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

} // namespace cli
