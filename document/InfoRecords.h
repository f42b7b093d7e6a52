#pragma once

#include "platform/OleDate.h"

#include <array>
#include <string>

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

} // namespace morvex
