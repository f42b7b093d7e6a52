#pragma once

#include "platform/UserMessages.h"

#include <filesystem>
#include <optional>
#include <string>

namespace morvex::shell {

// The web engine the diagnostic pages are shown with: its library, its
// version and the helper process it starts for every page.
struct WebEngineInfo {
    std::string version = "unknown";
    bool processFound = false;
    bool usable() const { return version != "unknown" && processFound; }
};

inline constexpr const char* kWebEngineLibrary = "libQt6WebEngineCore.so.6";

WebEngineInfo probeWebEngine(const std::string& library, const std::filesystem::path& processFolder);

// The start-up warning when the diagnostic pages cannot work; the program
// goes on without them.
std::optional<platform::UserMessage> webEngineMessage(const WebEngineInfo& info);

} // namespace morvex::shell
