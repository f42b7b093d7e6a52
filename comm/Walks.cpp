#include "comm/Walks.h"

#include <algorithm>

namespace morvex::comm {
namespace {

// Offsets of the tables after TAB_MTD in the box image.
constexpr std::size_t kLtd = 0x40;
constexpr std::size_t kLdd = 0x80;
constexpr std::size_t kSfd1 = 0x140;
constexpr std::size_t kSfd2 = 0x180;
constexpr std::size_t kSfdEx = 0x200;
constexpr std::size_t kSfdInt16 = 0x240;

// Offsets of the index tables after TAB_DZI.
constexpr std::size_t kDki = 0x40;
constexpr std::size_t kMti = 0x80;
constexpr std::size_t kLti = 0xC0;
constexpr std::size_t kLdi = 0x100;

class Walk {
public:
    void byte(uint16_t address, uint8_t* at, bool progress = true)
    {
        steps.push_back({WalkStep::Kind::Byte, address, at, false, progress});
    }
    void bytes(uint16_t address, uint8_t* at, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) {
            byte(static_cast<uint16_t>(address + i), at + i);
        }
    }
    // A big-endian word: high byte at the lower line address.
    void word(uint16_t address, uint8_t* at)
    {
        byte(address, at, false);
        byte(static_cast<uint16_t>(address + 1), at + 1, true);
    }
    void text(uint16_t address, uint8_t* at, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i) {
            steps.push_back({WalkStep::Kind::Byte, static_cast<uint16_t>(address + i), at + i, true, i % 2 == 1});
        }
    }
    std::vector<WalkStep> steps;
};

void mapWalk(Walk& w, const TransferJob& job, int32_t count, uint16_t base)
{
    const int32_t half = count / 2;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t index = job.dataIndexBase + i + (i >= half ? half : 0);
        w.byte(static_cast<uint16_t>(base + i), job.data + index);
    }
}

} // namespace

std::optional<std::vector<WalkStep>> buildWalk(const TransferJob& job, bool sending)
{
    Walk w;
    switch (job.variant) {
    case variant::FuelMap:
        if (job.data == nullptr) {
            return std::nullopt;
        }
        mapWalk(w, job, job.count, static_cast<uint16_t>(job.addressBase));
        break;
    case variant::IgnitionMap:
        if (job.data == nullptr || job.secondData == nullptr) {
            return std::nullopt;
        }
        w.byte(1200, job.secondData);
        w.byte(1201, job.secondData + 1);
        mapWalk(w, job, job.count - 2, static_cast<uint16_t>(job.addressBase));
        break;
    case variant::SpecialFunctions:
        if (job.data == nullptr) {
            return std::nullopt;
        }
        w.bytes(1024, job.data, 16);
        w.bytes(1056, job.data + kLtd, 16);
        w.bytes(1088, job.data + kLdd, 16);
        w.bytes(1184, job.data + kSfd1, 16);
        w.bytes(1216, job.data + kSfd2, 16);
        w.bytes(1072, job.data + kSfdEx, 16);
        for (uint16_t k = 0; k < 16; ++k) {
            w.word(static_cast<uint16_t>(1232 + 2 * k), job.data + kSfdInt16 + 2 * k);
        }
        break;
    case variant::IndexTables: {
        if (job.data == nullptr || job.names == nullptr) {
            return std::nullopt;
        }
        for (uint16_t k = 0; k < 16; ++k) {
            w.word(static_cast<uint16_t>(1408 + 2 * k), job.data + 2 * k);
        }
        // These four go out in reversed word order.
        for (const auto& [address, offset] :
             {std::pair{1440, kDki}, std::pair{1472, kMti}, std::pair{1504, kLti}, std::pair{1536, kLdi}}) {
            for (uint16_t k = 0; k < 16; ++k) {
                w.word(static_cast<uint16_t>(address + 2 * (15 - k)), job.data + offset + 2 * k);
            }
        }
        uint8_t* names = job.names->data();
        for (const int address : {1280, 1344, 1728, 1792}) {
            w.text(static_cast<uint16_t>(address), names, 64);
            names += 64;
        }
        break;
    }
    case variant::TimeStamp:
        if (job.info == nullptr) {
            return std::nullopt;
        }
        w.bytes(1664, job.info->timeStamp.data(), 8);
        break;
    case variant::InfoBlock:
        if (job.info == nullptr) {
            return std::nullopt;
        }
        w.bytes(1664, job.info->timeStamp.data(), 8);
        if (!sending) {
            w.steps.push_back({WalkStep::Kind::BoxVersion, 0, job.info->boxVersion.data(), true, true});
        }
        for (uint16_t i = 0; i < 5; ++i) {
            w.text(static_cast<uint16_t>(1672 + 8 * i), job.info->texts.data() + 8 * i, 8);
        }
        w.text(1712, job.info->text7.data(), 16);
        if (!sending) {
            w.bytes(1202, job.info->counters.data(), 8);
        }
        break;
    default: return std::nullopt;
    }
    return w.steps;
}

int32_t progressSteps(const std::vector<WalkStep>& walk)
{
    int32_t steps = 0;
    for (const WalkStep& s : walk) {
        if (s.progress) {
            // The box version reports each of its characters.
            steps += s.kind == WalkStep::Kind::BoxVersion ? kBoxVersionLength : 1;
        }
    }
    return steps;
}

} // namespace morvex::comm
