#pragma once

#include "platform/SerialLine.h"

#include <deque>
#include <vector>

namespace morvex::test {

// A serial line whose incoming bytes are scripted: each readByte takes the
// next scripted byte; kSilence (or an empty script) reads as a time-out.
// Everything written is recorded.
class ScriptedLine : public platform::SerialLine {
public:
    static constexpr int kSilence = -1;

    bool open(const std::string&, const platform::SerialSettings&, const platform::SerialTimeouts&,
              platform::OpenFailure& failure, std::error_code&) override
    {
        failure = platform::OpenFailure::None;
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }

    platform::IoStatus writeByte(uint8_t byte, std::error_code&) override
    {
        if (failWrites) {
            return platform::IoStatus::Failed;
        }
        written.push_back(byte);
        return platform::IoStatus::Ok;
    }
    platform::IoStatus readByte(uint8_t& byte, std::error_code&) override
    {
        if (input.empty()) {
            return platform::IoStatus::TimedOut;
        }
        const int next = input.front();
        input.pop_front();
        if (next == kSilence) {
            return platform::IoStatus::TimedOut;
        }
        byte = static_cast<uint8_t>(next);
        return platform::IoStatus::Ok;
    }
    bool purge(std::error_code&) override
    {
        ++purges;
        return true;
    }

    void script(std::initializer_list<int> bytes) { input.insert(input.end(), bytes); }
    void scriptText(const std::string& text)
    {
        for (char c : text) {
            input.push_back(static_cast<uint8_t>(c));
        }
    }

    std::deque<int> input;
    std::vector<uint8_t> written;
    int purges = 0;
    bool failWrites = false;

private:
    bool open_ = false;
};

} // namespace morvex::test
