#include "comm/InfoExchange.h"

#include "platform/Encoding.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

namespace morvex::comm {
namespace {

constexpr std::size_t kTextWidth = 8;
constexpr std::size_t kText7Width = 16;

void putText(const std::string& utf8, uint8_t* field, std::size_t width)
{
    const std::string bytes = platform::utf8ToCp1252(utf8);
    const std::size_t n = std::min(bytes.size(), width);
    std::fill(field, field + width, uint8_t{0});
    std::transform(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), field,
                   [](char c) { return static_cast<uint8_t>(c); });
}

// Up to the first NUL, at most `width` bytes, as UTF-8.
std::string textOf(const uint8_t* field, std::size_t width)
{
    const uint8_t* end = std::find(field, field + width, uint8_t{0});
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(end - field));
    for (const uint8_t* p = field; p != end; ++p) {
        bytes += static_cast<char>(*p);
    }
    return platform::cp1252ToUtf8(bytes);
}

// Most significant byte first.
unsigned long counterAt(const InfoBytes& bytes, std::size_t at)
{
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | bytes.counters[at + i];
    }
    return value;
}

// Least significant byte first.
platform::OleDateTime dateOf(const std::array<uint8_t, 8>& stamp)
{
    uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        bits |= static_cast<uint64_t>(stamp[i]) << (8 * i);
    }
    const platform::OleDateTime date = platform::OleDateTime::fromDays(std::bit_cast<double>(bits));
    return date.toParts() ? date : platform::OleDateTime::invalid();
}

} // namespace

void infoBytesFromRecords(const CBoxInfo& box, InfoBytes& bytes)
{
    for (std::size_t i = 0; i < 5; ++i) {
        putText(box.versions[i + 1], bytes.texts.data() + kTextWidth * i, kTextWidth);
    }
    putText(box.versions[6], bytes.text7.data(), kText7Width);
}

void applyReceivedInfo(const InfoBytes& bytes, CBoxInfo& box, std::string_view groupSeparator,
                       platform::OleDateTime now)
{
    box.lastTransfer = dateOf(bytes.timeStamp);
    box.versions[0] = textOf(bytes.boxVersion.data(), bytes.boxVersion.size());
    for (std::size_t i = 0; i < 5; ++i) {
        box.versions[i + 1] = textOf(bytes.texts.data() + kTextWidth * i, kTextWidth);
    }
    box.versions[6] = textOf(bytes.text7.data(), kText7Width);
    box.ieCounter = formatCounter(counterAt(bytes, 0), groupSeparator);
    box.startCounter = formatCounter(counterAt(bytes, 4), groupSeparator);
    box.received = now;
}

} // namespace morvex::comm
