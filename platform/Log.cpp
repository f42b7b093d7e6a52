#include "platform/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

namespace platform {
namespace {

std::mutex& sinkMutex()
{
    static std::mutex m;
    return m;
}

LogSink& currentSink()
{
    static LogSink sink;
    return sink;
}

bool categoryEnabled(const char* name)
{
    const char* env = std::getenv("MORVEX_LOG");
    if (env == nullptr) {
        return false;
    }
    const std::string list = env;
    if (list == "*") {
        return true;
    }
    std::size_t pos = 0;
    while (pos <= list.size()) {
        const std::size_t comma = list.find(',', pos);
        const std::string item = list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (item == name) {
            return true;
        }
        if (comma == std::string::npos) {
            break;
        }
        pos = comma + 1;
    }
    return false;
}

void emit(const LogCategory& category, LogLevel level, std::string_view text)
{
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(category, level, text);
        return;
    }
    const char* tag = level == LogLevel::Debug ? "debug" : level == LogLevel::Warning ? "warning" : "error";
    std::fprintf(stderr, "%s: %s: %.*s\n", category.name(), tag, static_cast<int>(text.size()), text.data());
}

} // namespace

LogCategory::LogCategory(const char* name) : name_(name), debug_(categoryEnabled(name)) {}

void LogCategory::debug(std::string_view text) const
{
    if (debug_) {
        emit(*this, LogLevel::Debug, text);
    }
}

void LogCategory::warning(std::string_view text) const { emit(*this, LogLevel::Warning, text); }

void LogCategory::error(std::string_view text) const { emit(*this, LogLevel::Error, text); }

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex());
    return std::exchange(currentSink(), std::move(sink));
}

} // namespace platform
