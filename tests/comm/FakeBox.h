#pragma once

#include "platform/SerialLine.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace morvex::test {

// An in-memory box on the far end of a serial line: echoes messages,
// keeps its memory by line address, answers reads, live queries and the
// version query. Faults can be scheduled. Used by one thread at a time.
class FakeBox : public platform::SerialLine {
public:
    bool open(const std::string&, const platform::SerialSettings&, const platform::SerialTimeouts&,
              platform::OpenFailure& failure, std::error_code&) override
    {
        if (refuseOpen) {
            failure = platform::OpenFailure::Occupied;
            return false;
        }
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool purge(std::error_code& ec) override
    {
        if (lost() || purgeFails) {
            ec = std::make_error_code(std::errc::io_error);
            return false;
        }
        out_.clear();
        message_.clear();
        awaitingEchoes_ = 0;
        ++purges;
        return true;
    }

    platform::IoStatus readByte(uint8_t& byte, std::error_code& ec) override
    {
        ++calls;
        if (lost()) {
            ec = std::make_error_code(std::errc::no_such_device);
            return platform::IoStatus::Lost;
        }
        if (silent || out_.empty()) {
            return platform::IoStatus::TimedOut;
        }
        byte = out_.front();
        out_.pop_front();
        return platform::IoStatus::Ok;
    }

    platform::IoStatus writeByte(uint8_t byte, std::error_code& ec) override
    {
        ++calls;
        if (lost()) {
            ec = std::make_error_code(std::errc::no_such_device);
            return platform::IoStatus::Lost;
        }
        ++bytesSeen;
        if (awaitingEchoes_ > 0) { // the program echoes our reply
            --awaitingEchoes_;
            return platform::IoStatus::Ok;
        }
        if (byte == 255) { // the request byte is never echoed
            if (!pendingReply_.empty()) {
                reply(pendingReply_, pendingCommand_);
                pendingReply_.clear();
            }
            return platform::IoStatus::Ok;
        }
        if (silent) {
            return platform::IoStatus::Ok;
        }
        if (wrongEchoes > 0) {
            --wrongEchoes;
            out_.push_back(static_cast<uint8_t>(byte ^ 0x01));
            message_.clear();
            return platform::IoStatus::Ok;
        }
        out_.push_back(byte);
        message_.push_back(byte);
        handle();
        return platform::IoStatus::Ok;
    }

    std::array<uint8_t, 2048> memory{};
    std::string version = "ZB60 2.1";
    int wrongEchoes = 0;
    bool silent = false;
    bool refuseOpen = false;
    int purges = 0;
    int bytesSeen = 0;
    // The device goes away once the program has written this many bytes
    // (as a pulled USB adapter: every call fails at once from then on).
    int vanishAfterBytes = -1;
    bool purgeFails = false;
    std::atomic<int> calls{0};
    std::vector<std::pair<uint16_t, uint8_t>> writes;

private:
    bool lost() const { return vanishAfterBytes >= 0 && bytesSeen >= vanishAfterBytes; }

    static int digits(const std::vector<uint8_t>& m, std::size_t at)
    {
        return (m[at] - '0') * 100 + (m[at + 1] - '0') * 10 + (m[at + 2] - '0');
    }
    static std::string three(int v)
    {
        char text[8];
        std::snprintf(text, sizeof text, "%03d", v & 0xFF);
        return text;
    }

    void reply(const std::string& text, uint8_t command)
    {
        for (char c : text) {
            out_.push_back(static_cast<uint8_t>(c));
        }
        out_.push_back(command);
        awaitingEchoes_ = text.size();
    }

    void handle()
    {
        const uint8_t command = message_.front();
        if (command == 140 && message_.size() == 10) {
            const auto address = static_cast<uint16_t>(digits(message_, 1) * 256 + digits(message_, 4));
            const auto value = static_cast<uint8_t>(digits(message_, 7));
            memory[address % memory.size()] = value;
            writes.emplace_back(address, value);
            message_.clear();
        } else if (command == 144 && message_.size() == 7) {
            const auto address = static_cast<std::size_t>(digits(message_, 1) * 256 + digits(message_, 4));
            pendingReply_ = three(memory[address % memory.size()]);
            pendingCommand_ = 144;
            message_.clear();
        } else if (command >= 130 && command <= 166 && command != 140 && command != 144) {
            pendingCommand_ = command;
            if (command == 158) {
                pendingReply_ = version;
            } else if (command == 166) {
                pendingReply_ = "42";
            } else if (command >= 159 && command <= 161) { // diagnostic replies: 18, 12, 24 digits
                pendingReply_ = std::string(command == 159 ? 18 : command == 160 ? 12 : 24, '1');
            } else if (command >= 162 && command <= 165) {
                pendingReply_.clear(); // an action: the request byte starts it, no reply
            } else if (command <= 134) {
                pendingReply_ = three(command) + three(1) + "17"; // raw 256 + command, cell 17
            } else {
                pendingReply_ = three(command) + three(2);
            }
            message_.clear();
        } else if (command != 140 && command != 144) {
            message_.clear();
        }
    }

    bool open_ = false;
    std::deque<uint8_t> out_;
    std::vector<uint8_t> message_;
    std::string pendingReply_;
    uint8_t pendingCommand_ = 0;
    std::size_t awaitingEchoes_ = 0;
};

} // namespace morvex::test
