#include "comm/BoxLink.h"

#include "comm/PortCodes.h"

namespace morvex::comm {

void appendThreeDigits(std::string& out, unsigned value)
{
    out += static_cast<char>('0' + value / 100 % 10);
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

bool parseThreeDigits(std::string_view text, uint8_t& value)
{
    if (text.size() < 3) {
        return false;
    }
    unsigned v = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        v = v * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (v > 255) {
        return false;
    }
    value = static_cast<uint8_t>(v);
    return true;
}

std::array<uint8_t, 10> writeValueMessage(uint16_t lineAddress, uint8_t value)
{
    std::string digits;
    appendThreeDigits(digits, lineAddress >> 8);
    appendThreeDigits(digits, lineAddress & 0xFFu);
    appendThreeDigits(digits, value);
    std::array<uint8_t, 10> message{CMD_WRITE};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        message[i + 1] = static_cast<uint8_t>(digits[i]);
    }
    return message;
}

std::array<uint8_t, 7> readValueMessage(uint16_t lineAddress)
{
    std::string digits;
    appendThreeDigits(digits, lineAddress >> 8);
    appendThreeDigits(digits, lineAddress & 0xFFu);
    std::array<uint8_t, 7> message{CMD_READ};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        message[i + 1] = static_cast<uint8_t>(digits[i]);
    }
    return message;
}

void BoxLink::noteStatus(platform::IoStatus status, const std::error_code& ec)
{
    if (status == platform::IoStatus::Lost && !lost_) {
        lost_ = ec ? ec : std::make_error_code(std::errc::no_such_device);
    }
}

bool BoxLink::writeByte(uint8_t byte, uint32_t& reason)
{
    std::error_code ec;
    const platform::IoStatus status = line_.writeByte(byte, ec);
    if (status != platform::IoStatus::Ok) {
        noteStatus(status, ec);
        reason = PTERR_WRITE;
        return false;
    }
    return true;
}

bool BoxLink::readByte(uint8_t& byte, uint32_t& reason)
{
    std::error_code ec;
    const platform::IoStatus status = line_.readByte(byte, ec);
    if (status != platform::IoStatus::Ok) {
        noteStatus(status, ec);
        reason = PTERR_READ;
        return false;
    }
    return true;
}

bool BoxLink::sendMessage(std::span<const uint8_t> bytes, uint32_t& reason,
                          const std::function<void()>& commandConfirmed)
{
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        uint8_t echo = 0;
        if (!writeByte(bytes[i], reason) || !readByte(echo, reason)) {
            return false;
        }
        if (echo != bytes[i]) {
            reason = PTERR_CONFIRM;
            return false;
        }
        if (i == 0 && commandConfirmed) {
            commandConfirmed();
        }
    }
    return true;
}

bool BoxLink::sendRequest(uint32_t& reason)
{
    return writeByte(REQUEST_BYTE, reason);
}

bool BoxLink::receiveReply(uint8_t command, std::size_t length, std::string& reply, uint32_t& reason,
                           const std::function<void(std::size_t)>& perByte)
{
    reply.clear();
    if (!sendRequest(reason)) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        uint8_t byte = 0;
        if (!readByte(byte, reason) || !writeByte(byte, reason)) {
            return false;
        }
        reply += static_cast<char>(byte);
        if (perByte) {
            perByte(i);
        }
    }
    uint8_t terminator = 0;
    if (!readByte(terminator, reason)) {
        return false;
    }
    if (terminator != command) {
        reason = PTERR_CONFIRM;
        return false;
    }
    return true;
}

} // namespace morvex::comm
