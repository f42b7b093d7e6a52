#pragma once

#include "platform/OleDate.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace platform {
class IniFile;
}

namespace morvex {

class CMorvexDoc;

// File error codes: the table whose read or write failed.
namespace fileerr {
inline constexpr uint32_t None = 0;
inline constexpr uint32_t TAB_DDD_LINKS = 100;
inline constexpr uint32_t TAB_INFO = 1000;
inline constexpr uint32_t TAB_SFD_INT16 = 3100;
inline constexpr uint32_t TAB_SFD_EX = 3200;
inline constexpr uint32_t PARAMETERS = 1250;
inline constexpr uint32_t Lambda = 2500;
inline constexpr uint32_t Count = 2600;
inline constexpr uint32_t MM = 2700;
inline constexpr uint32_t DataReceived = 2799;
inline constexpr uint32_t Ignition_T = 2800;
inline constexpr uint32_t Ignition_P = 2801;
inline constexpr uint32_t FuelConsumption = 2900;
inline constexpr uint32_t TargetLambda = 3400;
inline constexpr uint32_t CorrectionLocks = 3500;
} // namespace fileerr

// Map bytes above this are limited to it when a file is read.
inline constexpr uint8_t kMaxMapValue = 250;
// Texts of the text tables are at most this long in a data file.
inline constexpr std::size_t kMaxTextLength = 20;

// Reads a data file into a document that DeleteContents has emptied. Sets
// the document's file error code and its value-limit and text-cut counters.
// Returns false when a table that ends the read failed.
bool ReadDataFile(const platform::IniFile& file, CMorvexDoc& doc);

// Writes the document into `file` (in memory; the caller saves it). `now`
// becomes the file-save date. Returns false with the document's file error
// code set when a value could not be written.
bool WriteDataFile(platform::IniFile& file, CMorvexDoc& doc, platform::OleDateTime now);

// The messages of the data file, UTF-8.
std::string readFailureMessage(uint32_t code, const std::filesystem::path& path);
std::string writeFailureMessage(uint32_t code, const std::filesystem::path& path);
std::string correctionMessage(uint32_t valuesLimited, uint32_t textsCut);

// Open and save of a whole file, as the framework runs them.
struct FileOutcome {
    bool ok = false;
    std::string message;      // the failure message when !ok, else the correction message or empty
    std::error_code systemError; // what the file system said, for the log
};

// Empties the document and reads `path`. On success the document is
// unmodified unless errors were corrected.
FileOutcome OpenDataFile(CMorvexDoc& doc, const std::filesystem::path& path);

// Saves the document. In place (plain Save) keeps every section and key of
// the existing file that the writer does not produce; otherwise (Save As)
// the file starts empty. The file is replaced atomically: on failure the
// previous file is intact and the document stays modified.
FileOutcome SaveDataFile(CMorvexDoc& doc, const std::filesystem::path& path, bool inPlace,
                         platform::OleDateTime now);

} // namespace morvex
