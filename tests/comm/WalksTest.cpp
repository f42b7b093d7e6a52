#include "comm/Walks.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

namespace morvex::test {
namespace {

using comm::TransferJob;
using comm::WalkStep;

// A box image with every byte telling its own offset, so steps can be
// checked by where they point.
struct Image {
    std::array<uint8_t, 0x28C0> bytes{};
    std::size_t offsetOf(const uint8_t* p) const { return static_cast<std::size_t>(p - bytes.data()); }
};

TEST(Walks, FuelMapSendsRows16To31OfBothCylinders)
{
    Image image;
    TransferJob job{140, nullptr, 501, image.bytes.data(), nullptr, 0, 256, 512, comm::variant::FuelMap};
    const auto walk = comm::buildWalk(job, true);
    ASSERT_TRUE(walk);
    ASSERT_EQ(walk->size(), 512u);
    EXPECT_EQ((*walk)[0].lineAddress, 0);
    EXPECT_EQ(image.offsetOf((*walk)[0].byte), 256u);      // TAB_DDD_LINKS byte 256
    EXPECT_EQ(image.offsetOf((*walk)[255].byte), 511u);
    EXPECT_EQ((*walk)[256].lineAddress, 256);
    EXPECT_EQ(image.offsetOf((*walk)[256].byte), 0x200u + 256); // TAB_DDD_RECHTS byte 256
    EXPECT_EQ(image.offsetOf((*walk)[511].byte), 0x3FFu);
    EXPECT_EQ(comm::progressSteps(*walk), 512);
}

TEST(Walks, IgnitionMapStartsWithTheSetUpBytes)
{
    Image image;
    TransferJob job{140, nullptr, 503, image.bytes.data() + 0x6C0, image.bytes.data() + 0x680, 512, 256,
                    514, comm::variant::IgnitionMap};
    const auto walk = comm::buildWalk(job, false);
    ASSERT_TRUE(walk);
    ASSERT_EQ(walk->size(), 514u);
    EXPECT_EQ((*walk)[0].lineAddress, 1200);
    EXPECT_EQ(image.offsetOf((*walk)[0].byte), 0x680u);
    EXPECT_EQ((*walk)[1].lineAddress, 1201);
    EXPECT_EQ((*walk)[2].lineAddress, 512);
    EXPECT_EQ(image.offsetOf((*walk)[2].byte), 0x6C0u + 256);
    EXPECT_EQ((*walk)[513].lineAddress, 1023);
    EXPECT_EQ(image.offsetOf((*walk)[513].byte), 0x8C0u + 511);
    EXPECT_EQ(comm::progressSteps(*walk), 514);
}

TEST(Walks, SpecialFunctionsBlocksThenWords)
{
    Image image;
    TransferJob job{140, nullptr, 502, image.bytes.data() + 0x400, nullptr, 0, 0, 111,
                    comm::variant::SpecialFunctions};
    const auto walk = comm::buildWalk(job, true);
    ASSERT_TRUE(walk);
    ASSERT_EQ(walk->size(), 6u * 16 + 32);
    const std::map<uint16_t, std::size_t> expected{
        {1024, 0x400}, {1039, 0x40F}, {1056, 0x440}, {1088, 0x480}, {1184, 0x540},
        {1216, 0x580}, {1072, 0x600}, {1087, 0x60F}, {1232, 0x640}, {1233, 0x641}, {1263, 0x65F}};
    for (const WalkStep& s : *walk) {
        const auto it = expected.find(s.lineAddress);
        if (it != expected.end()) {
            EXPECT_EQ(image.offsetOf(s.byte), it->second) << s.lineAddress;
        }
    }
    EXPECT_EQ((*walk)[80].lineAddress, 1072); // TAB_SFD_EX comes after TAB_SFD2
    // Each word counts once: 96 bytes and 16 words.
    EXPECT_EQ(comm::progressSteps(*walk), 112);
}

TEST(Walks, IndexTablesWordOrderAndNames)
{
    Image image;
    comm::NameBytes names{};
    TransferJob job{140, nullptr, 505, image.bytes.data() + 0xAC0, nullptr, 0, 0, 208,
                    comm::variant::IndexTables};
    job.names = &names;
    const auto walk = comm::buildWalk(job, true);
    ASSERT_TRUE(walk);
    std::map<uint16_t, const WalkStep*> at;
    for (const WalkStep& s : *walk) {
        EXPECT_EQ(at.count(s.lineAddress), 0u) << "address twice: " << s.lineAddress;
        at[s.lineAddress] = &s;
    }
    // TAB_DZI ascending, high byte first.
    EXPECT_EQ(image.offsetOf(at[1408]->byte), 0xAC0u);
    EXPECT_EQ(image.offsetOf(at[1409]->byte), 0xAC1u);
    EXPECT_EQ(image.offsetOf(at[1438]->byte), 0xAC0u + 30);
    // TAB_DKI reversed: word 0 at the end of its block, still high byte first.
    EXPECT_EQ(image.offsetOf(at[1470]->byte), 0xB00u);
    EXPECT_EQ(image.offsetOf(at[1471]->byte), 0xB01u);
    EXPECT_EQ(image.offsetOf(at[1440]->byte), 0xB00u + 30);
    EXPECT_EQ(image.offsetOf(at[1566]->byte), 0xBC0u); // TAB_LDI word 0
    // Names: four characters per entry, four tables.
    EXPECT_EQ(at[1280]->byte, names.data());
    EXPECT_TRUE(at[1280]->text);
    EXPECT_EQ(at[1407]->byte, names.data() + 127);
    EXPECT_EQ(at[1728]->byte, names.data() + 128);
    EXPECT_EQ(at[1855]->byte, names.data() + 255);
    EXPECT_EQ(walk->size(), 5u * 32 + 256);
    EXPECT_EQ(comm::progressSteps(*walk), 208);
}

TEST(Walks, InfoBlockReceivesVersionAndCounters)
{
    comm::InfoBytes info;
    TransferJob job{140, nullptr, 0, nullptr, nullptr, 0, 0, 64, comm::variant::InfoBlock};
    job.info = &info;
    const auto send = comm::buildWalk(job, true);
    ASSERT_TRUE(send);
    EXPECT_EQ(send->size(), 8u + 40 + 16);
    EXPECT_EQ(send->front().lineAddress, 1664);
    EXPECT_EQ(send->back().lineAddress, 1727);
    const auto receive = comm::buildWalk(job, false);
    ASSERT_TRUE(receive);
    EXPECT_EQ((*receive)[8].kind, WalkStep::Kind::BoxVersion);
    EXPECT_EQ(receive->back().lineAddress, 1209);
    EXPECT_EQ(receive->back().byte, info.counters.data() + 7);

    TransferJob stamp = job;
    stamp.variant = comm::variant::TimeStamp;
    EXPECT_EQ(comm::buildWalk(stamp, true)->size(), 8u);
}

TEST(Walks, UnknownVariantOrMissingDataIsNoWalk)
{
    TransferJob job;
    job.variant = 3;
    EXPECT_FALSE(comm::buildWalk(job, true));
    job.variant = comm::variant::FuelMap; // no data
    EXPECT_FALSE(comm::buildWalk(job, true));
    job.variant = comm::variant::IndexTables;
    EXPECT_FALSE(comm::buildWalk(job, true));
}

} // namespace
} // namespace morvex::test
