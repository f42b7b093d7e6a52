#pragma once

#include "platform/SerialLine.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace campaign {

// A serial line that passes everything to the real one and counts the
// bytes that went over it in either direction. Armed with a byte number,
// it calls its trigger once, on the worker's thread, right after that byte
// went over the line: the simulator can be killed at an exact byte.
// The counters and times may be read from any thread.
class TapLine : public platform::SerialLine {
public:
    using Clock = std::chrono::steady_clock;

    explicit TapLine(std::unique_ptr<platform::SerialLine> inner) : inner_(std::move(inner)) {}

    // Before the worker starts: call `trigger` after byte `atByte` (1-based).
    void arm(uint64_t atByte, std::function<void()> trigger);

    uint64_t bytes() const { return bytes_.load(); }
    // When the trigger ran, or the epoch when it has not.
    Clock::time_point triggeredAt() const { return Clock::time_point(Clock::duration(triggeredAt_.load())); }
    bool triggered() const { return triggeredAt_.load() != kNever; }
    // When close() was first called after the trigger, or the epoch.
    Clock::time_point closedAfterTrigger() const { return Clock::time_point(Clock::duration(closedAt_.load())); }

    bool open(const std::string& device, const platform::SerialSettings& settings,
              const platform::SerialTimeouts& timeouts, platform::OpenFailure& failure, std::error_code& ec) override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    platform::IoStatus writeByte(uint8_t byte, std::error_code& ec) override;
    platform::IoStatus readByte(uint8_t& byte, std::error_code& ec) override;
    bool purge(std::error_code& ec) override { return inner_->purge(ec); }

private:
    static constexpr Clock::rep kNever = 0;

    void counted();

    std::unique_ptr<platform::SerialLine> inner_;
    std::atomic<uint64_t> bytes_{0};
    uint64_t armedAt_ = 0; // 0: not armed; set before the worker runs
    std::function<void()> trigger_;
    std::atomic<Clock::rep> triggeredAt_{kNever};
    std::atomic<Clock::rep> closedAt_{kNever};
};

} // namespace campaign
