#pragma once

#include "platform/OleDate.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace morvex {

// Where the parameter set was saved last, with its version texts and comment.
struct CFileInfo {
    platform::OleDateTime lastSave;
    std::array<std::string, 3> versions; // FileVersion1..3
    std::string comment;                 // lines separated by "\r\n"
};

// What the connected box reported about itself.
struct CBoxInfo {
    platform::OleDateTime lastTransfer;
    std::array<std::string, 7> versions; // box version 1..7
    std::string ieCounter;
    std::string startCounter;
    // Only a flag: while invalid, the box info counts as not received.
    platform::OleDateTime received;
};

// The application-wide file and box info, emptied with the document.
class CInfoRecords {
public:
    // Both dates become invalid and all texts empty; the box-info
    // received date keeps its value.
    void Clear();

    CFileInfo file;
    CBoxInfo box;
};

// Turns a valid date into display text. The Info dialog passes the user's
// default locale format (COleDateTime::Format in the original), which is
// not platform::formatGermanDate (that one is the data file's form).
using DateFormatter = std::function<std::string(platform::OleDateTime)>;

// A counter as the Info dialog shows it: "%lu", then grouped in threes from
// the right with the user's thousands separator (GetNumberFormatA without
// decimals): 12345 -> "12,345" with ",", "12.345" with ".", "12345" with
// no separator.
std::string formatCounter(unsigned long value, std::string_view groupSeparator);

// The dialog texts of the two date fields: "Not saved yet" / "No transfer
// yet" while the date is invalid, else the date through `format` (which
// must be callable).
std::string fileSaveText(const CFileInfo& file, const DateFormatter& format);
std::string lastTransferText(const CBoxInfo& box, const DateFormatter& format);
// "Not received yet" while the box-info date is invalid, else box version 1.
std::string boxVersion1Text(const CBoxInfo& box);

} // namespace morvex
