#pragma once

#include "platform/SerialLine.h"

namespace testing_support {

// A line on which the box never answers: online mode runs (and retries)
// without any box.
class SilentLine : public platform::SerialLine {
public:
    bool open(const std::string&, const platform::SerialSettings&, const platform::SerialTimeouts&,
              platform::OpenFailure&, std::error_code&) override
    {
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    platform::IoStatus writeByte(uint8_t, std::error_code&) override { return platform::IoStatus::Ok; }
    platform::IoStatus readByte(uint8_t&, std::error_code&) override { return platform::IoStatus::TimedOut; }
    bool purge(std::error_code&) override { return true; }

private:
    bool open_ = false;
};

} // namespace testing_support
