#pragma once

#include "platform/SerialLine.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace morvex::comm {

// The message forms of the box: every byte the program sends is echoed by
// the box, every reply byte is echoed back by the program, and a reply ends
// with the command byte. Numbers travel as three ASCII digits per byte.
class BoxLink {
public:
    explicit BoxLink(platform::SerialLine& line) : line_(line) {}

    // Sends `bytes` byte by byte, each confirmed by its echo. Calls
    // `commandConfirmed` once the first byte's echo came. On failure sets
    // `reason` (PTERR_WRITE, PTERR_READ or PTERR_CONFIRM).
    bool sendMessage(std::span<const uint8_t> bytes, uint32_t& reason,
                     const std::function<void()>& commandConfirmed = {});
    // The request byte 255 alone, without echo.
    bool sendRequest(uint32_t& reason);
    // After `command`: the request byte, `length` reply bytes each echoed
    // back (`perByte` after each), then the terminator, which must be the
    // command.
    bool receiveReply(uint8_t command, std::size_t length, std::string& reply, uint32_t& reason,
                      const std::function<void(std::size_t)>& perByte = {});
    // Drops whatever is in flight, so that a late echo is not taken for the
    // next answer.
    bool purge(std::error_code& ec) { return line_.purge(ec); }

    // Set once a byte failed because the device hung up or went away: no
    // retry can succeed on this open line. Holds the system's error.
    bool lineLost() const { return static_cast<bool>(lost_); }
    const std::error_code& lostCause() const { return lost_; }
    void forgetLoss() { lost_.clear(); }

private:
    bool writeByte(uint8_t byte, uint32_t& reason);
    bool readByte(uint8_t& byte, uint32_t& reason);

    void noteStatus(platform::IoStatus status, const std::error_code& ec);

    platform::SerialLine& line_;
    std::error_code lost_;
};

// Command 140: write `value` to `lineAddress` (10 bytes).
std::array<uint8_t, 10> writeValueMessage(uint16_t lineAddress, uint8_t value);
// Command 144: read the byte at `lineAddress` (7 bytes).
std::array<uint8_t, 7> readValueMessage(uint16_t lineAddress);
// "%03i" of a byte.
void appendThreeDigits(std::string& out, unsigned value);
// Three decimal digits at `text` (0..255), or false.
bool parseThreeDigits(std::string_view text, uint8_t& value);

} // namespace morvex::comm
