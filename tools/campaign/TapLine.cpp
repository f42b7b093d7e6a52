#include "tools/campaign/TapLine.h"

namespace campaign {

void TapLine::arm(uint64_t atByte, std::function<void()> trigger)
{
    armedAt_ = atByte;
    trigger_ = std::move(trigger);
}

bool TapLine::open(const std::string& device, const platform::SerialSettings& settings,
                   const platform::SerialTimeouts& timeouts, platform::OpenFailure& failure, std::error_code& ec)
{
    return inner_->open(device, settings, timeouts, failure, ec);
}

void TapLine::close()
{
    if (triggered() && closedAt_.load() == kNever) {
        closedAt_ = Clock::now().time_since_epoch().count();
    }
    inner_->close();
}

platform::IoStatus TapLine::writeByte(uint8_t byte, std::error_code& ec)
{
    const platform::IoStatus status = inner_->writeByte(byte, ec);
    if (status == platform::IoStatus::Ok) {
        counted();
    }
    return status;
}

platform::IoStatus TapLine::readByte(uint8_t& byte, std::error_code& ec)
{
    const platform::IoStatus status = inner_->readByte(byte, ec);
    if (status == platform::IoStatus::Ok) {
        counted();
    }
    return status;
}

void TapLine::counted()
{
    const uint64_t n = ++bytes_;
    if (armedAt_ != 0 && n == armedAt_) {
        trigger_();
        triggeredAt_ = Clock::now().time_since_epoch().count();
    }
}

} // namespace campaign
