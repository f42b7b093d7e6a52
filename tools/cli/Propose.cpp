// propose: corrected fuel maps from the recorded lambda of a data file.

#include "Commands.h"

#include "document/DataFile.h"
#include "document/LambdaSensors.h"
#include "platform/IniFile.h"
#include "platform/OleDate.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace cli {
namespace {

// A whole decimal number (C locale), nothing after it.
std::optional<double> number(std::string_view text)
{
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::optional<morvex::LambdaSensorTable> findSensor(const Context& ctx, const std::string& name)
{
    std::filesystem::path path = name;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        path = ctx.core.paths().cnf / name;
        if (path.extension().empty()) {
            path += ".ldt";
        }
    }
    return morvex::ReadLambdaSensorFile(path);
}

} // namespace

std::optional<std::string> parseProposeOptions(std::vector<std::string>& args, ProposeOptions& options)
{
    morvex::CorrectionSettings& s = options.settings;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--target" && hasValue) {
            options.target = number(args[++i]);
            if (!options.target || *options.target < morvex::CTargetLambda::kMinimum / 100.0 ||
                *options.target > morvex::CTargetLambda::kMaximum / 100.0) {
                return "--target needs a lambda from 0.50 to 2.00";
            }
        } else if (a == "--min-samples" && hasValue) {
            const auto n = number(args[++i]);
            if (!n || *n < 0 || *n > 1e6 || *n != std::floor(*n)) {
                return "--min-samples needs a whole number of samples";
            }
            s.minSamples = static_cast<int>(*n);
        } else if (a == "--window" && hasValue) {
            const std::string& w = args[++i];
            const auto colon = w.find(':');
            const auto low = colon == std::string::npos ? std::nullopt : number(std::string_view(w).substr(0, colon));
            const auto high = colon == std::string::npos ? std::nullopt : number(std::string_view(w).substr(colon + 1));
            if (!low || !high || *low <= 0.0 || *low > *high) {
                return "--window needs LOW:HIGH lambda, e.g. 0.7:1.3";
            }
            s.windowLow = *low;
            s.windowHigh = *high;
        } else if (a == "--limit" && hasValue) {
            const auto m = number(args[++i]);
            if (!m || *m < 0.0 || *m > 100.0) {
                return "--limit needs a per cent from 0 to 100";
            }
            s.limitPercent = *m;
        } else if (a == "--sensor" && hasValue) {
            options.sensor = args[++i];
        } else if (a == "--lambda-correction") {
            s.leftOnly = true;
        } else if (a.starts_with("--")) {
            return "unknown or incomplete option " + a;
        } else {
            rest.push_back(a);
        }
    }
    args = rest;
    return std::nullopt;
}

int propose(const Context& ctx, const ProposeOptions& options, const std::filesystem::path& file,
            const std::filesystem::path& out)
{
    morvex::LambdaConversion convert;
    if (!options.sensor.empty()) {
        const auto sensor = findSensor(ctx, options.sensor);
        if (!sensor || !sensor->valid) {
            ctx.err << "lambda sensor '" << options.sensor << "' not found or corrupted\n";
            return kExitUsage;
        }
        convert = [table = *sensor](uint16_t raw) { return morvex::LambdaFromRaw(table, static_cast<int16_t>(raw)); };
    }
    const auto doc = ctx.open(file);
    if (!doc) {
        return kExitFailure;
    }
    morvex::CorrectionProposal proposal;
    if (options.target) {
        // A target for this run only: the file keeps its own table.
        const morvex::CTargetLambda own = doc->TargetLambda();
        for (int cylinder = 0; cylinder < morvex::CTargetLambda::kCylinders; ++cylinder) {
            for (int k = 0; k < morvex::kCells; ++k) {
                doc->TargetLambda().Set(cylinder, k, *options.target);
            }
        }
        proposal = morvex::ProposeCorrection(*doc, options.settings, doc->CorrectionLocks().cells(), convert);
        doc->TargetLambda() = own;
    } else {
        proposal = morvex::ProposeCorrection(*doc, options.settings, doc->CorrectionLocks().cells(), convert);
    }

    for (const morvex::CellProposal& c : proposal.cells) {
        if (c.outcome != morvex::CellOutcome::Changed) {
            continue;
        }
        const std::string_view table = c.cylinder == 0 ? "TAB_DDD_LINKS" : "TAB_DDD_RECHTS";
        ctx.out << table << " " << mapCellName(*doc, ctx.core, 16 + c.cell / 16, c.cell % 16) << ": "
                << int{c.oldValue} << " -> " << int{c.proposed} << " (lambda " << fixed(c.lambda, 3) << ", target "
                << fixed(c.target, 2) << ", " << fixed(static_cast<double>(c.samples), 0) << " samples)\n";
    }
    using Outcome = morvex::CellOutcome;
    ctx.out << proposal.count(Outcome::Changed) << " cells changed, " << proposal.count(Outcome::Unchanged)
            << " on target, " << proposal.count(Outcome::TooFewSamples) << " with too few samples, "
            << proposal.count(Outcome::OutsideWindow) << " outside the lambda window, "
            << proposal.count(Outcome::NotRecorded) << " not recorded, " << proposal.count(Outcome::Locked)
            << " locked\n";
    morvex::ApplyCorrection(*doc, proposal);

    // FILE's sections that the writer does not produce go to OUT as well.
    platform::IniFile ini;
    std::error_code ec;
    if (!ini.load(file, ec) || !morvex::WriteDataFile(ini, *doc, platform::OleDateTime::now()) || !ini.save(out, ec)) {
        ctx.err << morvex::writeFailureMessage(doc->FileErrorCode() != 0 ? doc->FileErrorCode() : morvex::fileerr::TAB_DDD_LINKS,
                                               out)
                << (ec ? "\n" + ec.message() : std::string()) << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace cli
