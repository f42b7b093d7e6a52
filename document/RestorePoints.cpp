#include "document/RestorePoints.h"

#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unordered_set>

namespace morvex {
namespace {

namespace fs = std::filesystem;
using std::chrono::system_clock;

struct ReasonNames {
    RestoreReason reason;
    std::string_view token;
    std::string_view text;
};

constexpr std::array<ReasonNames, 6> kReasons{{
    {RestoreReason::ReceivePane, "receive-pane", "Receive Pane"},
    {RestoreReason::ReceiveAll, "receive-all", "Receive All"},
    {RestoreReason::Open, "open", "Open"},
    {RestoreReason::Reload, "reload", "Reload"},
    {RestoreReason::Save, "save", "Save"},
    {RestoreReason::New, "new", "New"},
}};

const ReasonNames& names(RestoreReason reason)
{
    for (const ReasonNames& n : kReasons) {
        if (n.reason == reason) {
            return n;
        }
    }
    return kReasons[2];
}

// "2024-05-01_13-45-12-345Z": 24 characters.
constexpr std::size_t kTimeLength = 24;
constexpr std::size_t kMaxStemBytes = 80;
constexpr std::string_view kExtension = ".M60";

std::string formatTime(system_clock::time_point time)
{
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(time).time_since_epoch().count();
    const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const int millis = static_cast<int>(ms - static_cast<long long>(seconds) * 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d-%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    return text;
}

std::optional<system_clock::time_point> parseTime(std::string_view text)
{
    if (text.size() != kTimeLength || text.back() != 'Z') {
        return std::nullopt;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
    char tail = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d_%2d-%2d-%2d-%3d%c", &year, &month, &day, &hour, &minute, &second,
                    &millis, &tail) != 8 ||
        tail != 'Z' || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    const std::time_t seconds = timegm(&tm);
    return system_clock::from_time_t(seconds) + std::chrono::milliseconds(millis);
}

// The source's name without extension, cut to a whole UTF-8 character.
std::string stemOf(const fs::path& source)
{
    std::string stem = source.empty() ? std::string(kUntitledSource) : source.stem().string();
    if (stem.empty()) {
        stem = kUntitledSource;
    }
    if (stem.size() > kMaxStemBytes) {
        std::size_t cut = kMaxStemBytes;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        stem.resize(cut);
    }
    return stem;
}

bool isHex(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

std::string_view reasonToken(RestoreReason reason) { return names(reason).token; }
std::string_view reasonText(RestoreReason reason) { return names(reason).text; }

std::optional<RestoreReason> reasonFromToken(std::string_view token)
{
    for (const ReasonNames& n : kReasons) {
        if (n.token == token) {
            return n.reason;
        }
    }
    return std::nullopt;
}

uint32_t sourceKeyOf(const fs::path& source)
{
    uint32_t hash = 2166136261U;
    for (const char c : source.lexically_normal().string()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    }
    return hash;
}

std::string restorePointName(system_clock::time_point time, RestoreReason reason, const fs::path& source, int counter)
{
    char key[16];
    std::snprintf(key, sizeof key, "~%08x", sourceKeyOf(source));
    std::string name = formatTime(time) + "_" + std::string(reasonToken(reason)) + "_" + stemOf(source) + key;
    if (counter > 1) {
        name += "-" + std::to_string(counter);
    }
    return name + std::string(kExtension);
}

std::optional<RestorePoint> parseRestorePointName(const fs::path& file)
{
    const std::string name = file.filename().string();
    if (name.size() < kTimeLength + 1 + kExtension.size() || !name.ends_with(kExtension) ||
        name[kTimeLength] != '_') {
        return std::nullopt;
    }
    RestorePoint point;
    point.file = file;
    const auto time = parseTime(std::string_view(name).substr(0, kTimeLength));
    if (!time) {
        return std::nullopt;
    }
    point.time = *time;
    std::string_view rest = std::string_view(name).substr(kTimeLength + 1);
    rest.remove_suffix(kExtension.size());
    const std::size_t underscore = rest.find('_');
    const std::size_t tilde = rest.rfind('~');
    if (underscore == std::string_view::npos || tilde == std::string_view::npos || tilde <= underscore ||
        rest.size() < tilde + 9) {
        return std::nullopt;
    }
    const auto reason = reasonFromToken(rest.substr(0, underscore));
    const std::string_view key = rest.substr(tilde + 1, 8);
    const std::string_view counter = rest.substr(tilde + 9);
    if (!reason || !isHex(key) || (!counter.empty() && counter.front() != '-')) {
        return std::nullopt;
    }
    point.reason = *reason;
    point.sourceName = std::string(rest.substr(underscore + 1, tilde - underscore - 1));
    point.sourceKey = static_cast<uint32_t>(std::strtoul(std::string(key).c_str(), nullptr, 16));
    return point;
}

fs::path restorePointSource(const platform::IniFile& file)
{
    return fs::path(file.getString(kRestoreSection, "Source", {}, 4096));
}

std::vector<fs::path> pointsToPrune(const std::vector<RestorePoint>& newestFirst, system_clock::time_point now,
                                    const RestoreLimits& limits)
{
    std::vector<fs::path> doomed;
    std::unordered_set<uint32_t> sources;
    const auto maxAge = std::chrono::hours(24) * limits.maxAgeDays;
    for (std::size_t i = 0; i < newestFirst.size(); ++i) {
        const RestorePoint& p = newestFirst[i];
        const bool newestOfItsFile = sources.insert(p.sourceKey).second;
        const bool beyondCount = limits.maxCount > 0 && i >= static_cast<std::size_t>(limits.maxCount);
        const bool tooOld = limits.maxAgeDays > 0 && now - p.time > maxAge;
        if (!newestOfItsFile && (beyondCount || tooOld)) {
            doomed.push_back(p.file);
        }
    }
    return doomed;
}

fs::path defaultRestoreFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && fs::path(data).is_absolute()) {
        return fs::path(data) / "morvex" / "restore";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && fs::path(home).is_absolute()) {
        return fs::path(home) / ".local" / "share" / "morvex" / "restore";
    }
    return {};
}

RestorePointStore::RestorePointStore(fs::path folder, Clock clock)
    : folder_(std::move(folder)), clock_(clock ? std::move(clock) : Clock([] { return system_clock::now(); }))
{
}

RestorePointStore::Written RestorePointStore::writeText(std::string_view text, RestoreReason reason,
                                                        const fs::path& source)
{
    Written result;
    if (folder_.empty()) {
        result.error = std::make_error_code(std::errc::no_such_file_or_directory);
        return result;
    }
    fs::create_directories(folder_, result.error);
    if (result.error) {
        return result;
    }
    const system_clock::time_point now = clock_();
    fs::path file;
    for (int counter = 1;; ++counter) {
        file = folder_ / restorePointName(now, reason, source, counter);
        std::error_code ec;
        if (!fs::exists(file, ec)) {
            break;
        }
    }
    if (!platform::writeFileAtomically(file, text, result.error)) {
        return result;
    }
    result.ok = true;
    result.file = file;
    return result;
}

RestorePointStore::Written RestorePointStore::Write(CMorvexDoc& doc, RestoreReason reason, const fs::path& source)
{
    // The writer stamps the save date and resets the error code: the
    // document keeps its own.
    const uint32_t errorCode = doc.FileErrorCode();
    const bool modified = doc.IsModified();
    const platform::OleDateTime lastSave = doc.Info().file.lastSave;
    platform::IniFile file;
    const bool written = WriteDataFile(file, doc, lastSave);
    doc.SetFileErrorCode(errorCode);
    doc.SetModifiedFlag(modified);
    doc.Info().file.lastSave = lastSave;
    if (!written) {
        Written failed;
        failed.error = std::make_error_code(std::errc::invalid_argument);
        return failed;
    }
    // A path with a line break cannot be an INI value; the name still says
    // which file it was.
    (void)file.setString(kRestoreSection, "Source", source.string());
    return writeText(file.text(), reason, source);
}

RestorePointStore::Written RestorePointStore::Keep(const fs::path& source, RestoreReason reason)
{
    Written result;
    std::string bytes;
    if (!platform::readWholeFile(source, bytes, result.error)) {
        if (result.error == std::errc::no_such_file_or_directory) {
            result = {};
            result.ok = true;
        }
        return result;
    }
    platform::IniFile file = platform::IniFile::fromText(bytes);
    if (file.rewritable() && file.setString(kRestoreSection, "Source", source.string())) {
        bytes = file.text();
    }
    return writeText(bytes, reason, source);
}

std::vector<RestorePoint> RestorePointStore::List() const
{
    std::vector<RestorePoint> points;
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        if (auto point = parseRestorePointName(it->path()); point && it->is_regular_file(ec)) {
            points.push_back(std::move(*point));
        }
    }
    std::sort(points.begin(), points.end(), [](const RestorePoint& a, const RestorePoint& b) {
        if (a.time != b.time) {
            return a.time > b.time;
        }
        return a.file.filename().string().size() != b.file.filename().string().size()
                   ? a.file.filename().string().size() > b.file.filename().string().size()
                   : a.file.filename() > b.file.filename();
    });
    return points;
}

std::vector<fs::path> RestorePointStore::Prune(const RestoreLimits& limits)
{
    std::vector<fs::path> removed;
    for (const fs::path& file : pointsToPrune(List(), clock_(), limits)) {
        std::error_code ec;
        if (fs::remove(file, ec)) {
            removed.push_back(file);
        }
    }
    return removed;
}

} // namespace morvex
