#include "shell/WebEngineCheck.h"

#include "platform/DynamicLibrary.h"

#include <unistd.h>

namespace morvex::shell {

WebEngineInfo probeWebEngine(const std::string& library, const std::filesystem::path& processFolder)
{
    WebEngineInfo info;
    platform::DynamicLibrary lib;
    if (lib.open(library)) {
        // const char* qWebEngineVersion() of the library itself.
        using VersionFn = const char* (*)();
        if (void* symbol = lib.symbol("_Z17qWebEngineVersionv")) {
            const auto version = reinterpret_cast<VersionFn>(symbol);
            if (const char* text = version(); text != nullptr && *text != '\0') {
                info.version = text;
            }
        }
    }
    const std::filesystem::path process = processFolder / "QtWebEngineProcess";
    info.processFound = ::access(process.c_str(), X_OK) == 0;
    return info;
}

std::optional<platform::UserMessage> webEngineMessage(const WebEngineInfo& info)
{
    if (info.usable()) {
        return std::nullopt;
    }
    platform::UserMessage m;
    m.text = "Program requires MS Internet Explorer Version 5 or above.\nYour version is " + info.version +
             ".\n\nDiagnostic functions will not work properly!\n\nPlease install a newer version of MS Internet "
             "Explorer! ";
    m.icon = platform::UserMessage::Icon::Exclamation;
    return m;
}

} // namespace morvex::shell
