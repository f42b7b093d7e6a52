#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace platform {
class IniFile;
}

namespace morvex {

class CMorvexDoc;

// Why a restore point was written: the operation that was about to replace
// the tables.
enum class RestoreReason { ReceivePane, ReceiveAll, Open, Reload, Save, New };

// "receive-all" as in a restore point's file name; nullopt for a word that
// names no reason.
std::string_view reasonToken(RestoreReason reason);
std::optional<RestoreReason> reasonFromToken(std::string_view token);
// "Receive All" as the list shows it.
std::string_view reasonText(RestoreReason reason);

// A restore point is an ordinary data file in the restore folder, named
//   2024-05-01_13-45-12-345Z_receive-all_Demo~1a2b3c4d.M60
// by its UTC time to the millisecond, its reason, the name of the file the
// document came from ("Untitled" without one) and a key of that file's full
// path, so that two Demo.M60 in different folders stay apart; "-2", "-3"
// before the extension when one millisecond saw several. The name alone
// carries what the list and the pruning need. Inside, a section
// "RestorePoint" holds the source's full path; the data-file reader ignores
// it, so the file opens like any other.
struct RestorePoint {
    std::filesystem::path file;
    std::chrono::system_clock::time_point time;
    RestoreReason reason = RestoreReason::Open;
    std::string sourceName; // the source file's name without extension
    uint32_t sourceKey = 0; // one per source file
};

inline constexpr std::string_view kRestoreSection = "RestorePoint";
inline constexpr std::string_view kUntitledSource = "Untitled";

// The file name of a restore point (`counter` > 1 adds "-<counter>").
std::string restorePointName(std::chrono::system_clock::time_point time, RestoreReason reason,
                             const std::filesystem::path& source, int counter = 1);
// What a file name says; nullopt for a file that is no restore point.
std::optional<RestorePoint> parseRestorePointName(const std::filesystem::path& file);
// The key of a source file: FNV-1a of its path as given (empty: untitled).
uint32_t sourceKeyOf(const std::filesystem::path& source);
// The source path recorded inside a restore point (empty when untitled or
// not recorded).
std::filesystem::path restorePointSource(const platform::IniFile& file);

// How many restore points are kept. A limit of 0 or less does not apply.
struct RestoreLimits {
    int maxCount = 200;
    int maxAgeDays = 90;
};

// The points to delete from `points` (newest first): those beyond the
// newest `maxCount` and those older than `maxAgeDays` before `now` - except
// the newest point of each source file, which always stays.
std::vector<std::filesystem::path> pointsToPrune(const std::vector<RestorePoint>& newestFirst,
                                                 std::chrono::system_clock::time_point now,
                                                 const RestoreLimits& limits);

// $XDG_DATA_HOME/morvex/restore, else ~/.local/share/morvex/restore; empty
// when neither variable gives an absolute folder.
std::filesystem::path defaultRestoreFolder();

// The restore folder: writes, lists and prunes restore points. GUI-free;
// the clock is injectable for tests.
class RestorePointStore {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    explicit RestorePointStore(std::filesystem::path folder, Clock clock = {});

    const std::filesystem::path& folder() const { return folder_; }

    struct Written {
        bool ok = false;
        std::filesystem::path file; // the restore point, when ok
        std::error_code error;      // what the file system said, when not
    };
    // Writes `doc` as a data file coming from `source` (empty: untitled).
    // The document is left as it was: its save date, file error code and
    // modified flag do not change, and the save date it carries is the one
    // the document had. Creates the folder when needed; atomic.
    Written Write(CMorvexDoc& doc, RestoreReason reason, const std::filesystem::path& source);
    // Keeps a copy of the data file `file` before it is overwritten; its
    // source is the file itself. A file that does not exist is no error:
    // ok with an empty `file`.
    Written Keep(const std::filesystem::path& file, RestoreReason reason);

    // Every restore point in the folder, newest first (an empty list when
    // there is no folder); other files are left out.
    std::vector<RestorePoint> List() const;
    // Deletes what pointsToPrune names; returns the deleted files.
    std::vector<std::filesystem::path> Prune(const RestoreLimits& limits);

private:
    Written writeText(std::string_view text, RestoreReason reason, const std::filesystem::path& source);

    std::filesystem::path folder_;
    Clock clock_;
};

} // namespace morvex
