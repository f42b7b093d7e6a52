#pragma once

#include <functional>
#include <string_view>

namespace platform {

enum class LogLevel { Debug, Warning, Error };

// One category per module ("morvex.document", "morvex.comm" ...). Debug
// output is off unless MORVEX_LOG names the category or is "*"; warnings
// and errors always go to the sink (stderr unless replaced).
class LogCategory {
public:
    explicit LogCategory(const char* name);
    const char* name() const { return name_; }
    bool debugEnabled() const { return debug_; }
    void debug(std::string_view text) const;
    void warning(std::string_view text) const;
    void error(std::string_view text) const;

private:
    const char* name_;
    bool debug_;
};

using LogSink = std::function<void(const LogCategory&, LogLevel, std::string_view)>;
// Replaces where log lines go (the GUI forwards them to Qt's logging);
// an empty sink restores stderr. Returns the previous sink.
LogSink setLogSink(LogSink sink);

} // namespace platform
