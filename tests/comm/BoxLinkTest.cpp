#include "ScriptedLine.h"

#include "comm/BoxLink.h"
#include "comm/PortCodes.h"

#include <gtest/gtest.h>

namespace morvex::test {
namespace {

using comm::BoxLink;

std::vector<uint8_t> bytesOf(std::initializer_list<int> values)
{
    std::vector<uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}


TEST(BoxMessages, NumbersAreThreeDigitsPerByte)
{
    const auto write = comm::writeValueMessage(1024, 37);
    EXPECT_EQ(std::vector<uint8_t>(write.begin(), write.end()), bytesOf({140, '0', '0', '4', '0', '0', '0', '0', '3', '7'}));
    const auto zero = comm::writeValueMessage(0, 0);
    EXPECT_EQ(std::string(zero.begin() + 1, zero.end()), "000000000");
    const auto high = comm::writeValueMessage(1232, 255);
    EXPECT_EQ(std::string(high.begin() + 1, high.end()), "004208255");
    const auto read = comm::readValueMessage(1232);
    EXPECT_EQ(std::vector<uint8_t>(read.begin(), read.end()), bytesOf({144, '0', '0', '4', '2', '0', '8'}));

    uint8_t v = 0;
    EXPECT_TRUE(comm::parseThreeDigits("037", v));
    EXPECT_EQ(v, 37);
    EXPECT_FALSE(comm::parseThreeDigits("256", v));
    EXPECT_FALSE(comm::parseThreeDigits("0a7", v));
    EXPECT_FALSE(comm::parseThreeDigits("07", v));
}

// Writing 37 to line address 1024 and reading it back, byte for byte.
TEST(BoxMessages, WorkedExchange)
{
    ScriptedLine line;
    BoxLink link(line);
    const auto write = comm::writeValueMessage(1024, 37);
    line.script({140, '0', '0', '4', '0', '0', '0', '0', '3', '7'}); // the box's echoes
    uint32_t reason = 0;
    int confirmed = 0;
    ASSERT_TRUE(link.sendMessage(write, reason, [&] { ++confirmed; }));
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(line.written, bytesOf({140, '0', '0', '4', '0', '0', '0', '0', '3', '7'}));

    line.written.clear();
    line.script({144, '0', '0', '4', '0', '0', '0'}); // echoes of the read message
    line.script({'0', '3', '7', 144});                // the reply and its terminator
    ASSERT_TRUE(link.sendMessage(comm::readValueMessage(1024), reason));
    std::string reply;
    std::vector<std::size_t> perByte;
    ASSERT_TRUE(link.receiveReply(144, 3, reply, reason, [&](std::size_t i) { perByte.push_back(i); }));
    EXPECT_EQ(reply, "037");
    EXPECT_EQ(perByte, (std::vector<std::size_t>{0, 1, 2}));
    // The message, the request byte 255, then each reply byte echoed back.
    EXPECT_EQ(line.written, bytesOf({144, '0', '0', '4', '0', '0', '0', 255, '0', '3', '7'}));
}

TEST(BoxMessages, FailuresCarryTheirReason)
{
    ScriptedLine line;
    BoxLink link(line);
    uint32_t reason = 0;

    line.script({140, '1'}); // the second echo is wrong
    EXPECT_FALSE(link.sendMessage(comm::writeValueMessage(0, 0), reason));
    EXPECT_EQ(reason, comm::PTERR_CONFIRM);

    line.input.clear();
    line.script({140, ScriptedLine::kSilence});
    EXPECT_FALSE(link.sendMessage(comm::writeValueMessage(0, 0), reason));
    EXPECT_EQ(reason, comm::PTERR_READ);

    line.input.clear();
    line.failWrites = true;
    EXPECT_FALSE(link.sendMessage(comm::writeValueMessage(0, 0), reason));
    EXPECT_EQ(reason, comm::PTERR_WRITE);
    line.failWrites = false;

    // A reply whose terminator is not the command.
    line.input.clear();
    line.script({'0', '0', '1', 145});
    std::string reply;
    EXPECT_FALSE(link.receiveReply(144, 3, reply, reason));
    EXPECT_EQ(reason, comm::PTERR_CONFIRM);

    // A reply that stops short.
    line.input.clear();
    line.script({'0', '0'});
    EXPECT_FALSE(link.receiveReply(144, 3, reply, reason));
    EXPECT_EQ(reason, comm::PTERR_READ);
}

} // namespace
} // namespace morvex::test
