#include "live/DiagnosticRules.h"

#include "comm/PortCodes.h"

#include <algorithm>
#include <cstdio>

namespace morvex::live {
namespace {

bool unreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

void appendEncoded(std::string& out, std::string_view text, bool keepSlash)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (unreserved(c) || (keepSlash && c == '/')) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
}

} // namespace

std::string percentEncode(std::string_view text)
{
    std::string out;
    appendEncoded(out, text, false);
    return out;
}

std::string pageAddress(const std::filesystem::path& page, const QueryItems& query)
{
    std::string address = "file://";
    appendEncoded(address, std::filesystem::absolute(page).generic_string(), true);
    char separator = '?';
    for (const auto& [name, value] : query) {
        address += separator;
        address += percentEncode(name);
        address += '=';
        address += percentEncode(value);
        separator = '&';
    }
    return address;
}

std::string boxVersionText(const std::string& received)
{
    return received.substr(0, std::min(received.find('\0'), std::size_t{8}));
}

std::string resultAddress(const std::filesystem::path& dir, int index, const std::array<std::string, 4>& texts,
                          int port, uint32_t baud)
{
    const DiagnosticTopic& topic = kTopics.at(static_cast<std::size_t>(index));
    QueryItems query;
    if (topic.command == kBoxVersionCommand) {
        query = {{"boxversion", boxVersionText(texts[0])}, {"port", std::to_string(port)}, {"baud", std::to_string(baud)}};
    } else {
        for (std::size_t k = 0; k < topic.measured.size() && topic.measured[k] != nullptr; ++k) {
            query.emplace_back(topic.measured[k], texts[k]);
        }
    }
    return pageAddress(dir / (topic.resultPage != nullptr ? topic.resultPage : topic.page), query);
}

std::string communicationErrorAddress(const std::filesystem::path& dir, int port, uint32_t baud)
{
    return pageAddress(dir / kCommunicationErrorPage, {{"port", std::to_string(port)}, {"baud", std::to_string(baud)}});
}

std::string notFoundAddress(const std::filesystem::path& dir, std::string_view failed, int32_t status)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", static_cast<uint32_t>(status));
    return pageAddress(dir / kNotFoundPage, {{"page", std::string(failed)}, {"error", hex}});
}

std::string elapsedText(int64_t milliseconds)
{
    const int64_t seconds = std::max<int64_t>(0, milliseconds) / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

DiagnosticSequence::DiagnosticSequence(uint8_t command, std::string caption, PanelTexts texts)
    : command_(command), caption_(std::move(caption)), texts_(std::move(texts)), status_(texts_.start)
{
    for (const DiagnosticTopic& topic : kTopics) {
        if (topic.command == command_) {
            seconds_ = topic.seconds;
        }
    }
}

DiagnosticSequence::Action DiagnosticSequence::opened(bool started, int total)
{
    if (!started) {
        return close(Action::CloseFailed);
    }
    started_ = true;
    status_ = "Port opened\nPlease wait...";
    barMax_ = total;
    barValue_ = 0;
    return Action::None;
}

void DiagnosticSequence::step(const char* second)
{
    // Begin and value reports both step: the bar stops at its end.
    barValue_ = std::min(barValue_ + 1, barMax_);
    status_ = std::to_string(barValue_) + " [" + std::to_string(barMax_) + "] completed" + second;
}

DiagnosticSequence::Action DiagnosticSequence::notify(uint32_t code, int64_t nowMs)
{
    if (finished_) {
        return Action::None;
    }
    switch (code) {
    case comm::PT_VALUE_READ:
    case comm::PT_READ_BEGIN: step("\nReceiving data..."); return Action::None;
    case comm::PT_VALUE_WRITTEN:
    case comm::PT_WRITE_BEGIN: step("\nSending data..."); return Action::None;
    case comm::PT_ABORTED:
        status_ = "Transfer aborted\nPlease wait for closing port...";
        return close(Action::CloseFailed);
    case comm::PT_READ_DONE:
    case comm::PT_WRITE_DONE:
        if (!running_) {
            return firstCompletion(nowMs);
        }
        return replying_ ? close(Action::CloseOk) : Action::None;
    default: return Action::None;
    }
}

DiagnosticSequence::Action DiagnosticSequence::firstCompletion(int64_t nowMs)
{
    startMs_ = nowMs;
    status_ = texts_.info + "\n";
    barValue_ = 0;
    if (command_ == kBoxVersionCommand) {
        return close(Action::CloseOk);
    }
    status_ += caption_;
    if (seconds_ > 0) {
        barMax_ = seconds_;
    }
    // A cancel asked for while the command went out is moot now: the user
    // ends the test with End.
    cancelling_ = false;
    running_ = true;
    elapsed_ = elapsedText(0);
    return Action::None;
}

DiagnosticSequence::Action DiagnosticSequence::tick(int64_t nowMs)
{
    if (!timerRunning() || finished_) {
        return Action::None;
    }
    const int64_t ms = nowMs - startMs_;
    elapsed_ = elapsedText(ms);
    if (seconds_ > 0) {
        barValue_ = static_cast<int>(std::min<int64_t>(ms / 1000, seconds_));
        if (ms >= int64_t{seconds_} * 1000) {
            return end();
        }
    }
    return Action::None;
}

DiagnosticSequence::Action DiagnosticSequence::end()
{
    if (finished_) {
        return Action::None;
    }
    if (running_ && !replying_) {
        replying_ = true;
        return Action::StartReply;
    }
    if (!started_) {
        return close(Action::CloseFailed);
    }
    // An exchange runs (the command, or the reply): it is cancelled, and its
    // abort report closes the panel. Closing at once would leave the worker
    // reporting to a panel that is gone.
    if (cancelling_) {
        return Action::None;
    }
    cancelling_ = true;
    status_ = "Cancel transfer\nPlease wait...";
    return Action::CancelLink;
}

DiagnosticSequence::Action DiagnosticSequence::replyStarted(bool started)
{
    return started ? Action::None : close(Action::CloseFailed);
}

DiagnosticSequence::Action DiagnosticSequence::close(Action action)
{
    finished_ = true;
    return action;
}

double zoomFactor(int level)
{
    static constexpr std::array<double, kZoomLevels> kFactors{0.8, 0.9, 1.0, 1.2, 1.45};
    return kFactors[static_cast<std::size_t>(validZoomLevel(level))];
}

int validZoomLevel(int level)
{
    return level >= 0 && level < kZoomLevels ? level : kDefaultZoomLevel;
}

} // namespace morvex::live
