#include "comm/InfoExchange.h"
#include "comm/Operation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace morvex::test {
namespace {

using namespace comm;

template <std::size_t N> std::array<uint8_t, N> bytesOf(const char (&text)[N + 1])
{
    std::array<uint8_t, N> out{};
    std::memcpy(out.data(), text, N);
    return out;
}

CBoxInfo sampleBox()
{
    CBoxInfo box;
    box.versions = {"ignored",
                    "V2",
                    "ABCDEFGH",
                    "",
                    "\xC3\xA4"
                    "rger",
                    "x",
                    "Sixteen chars ok"};
    return box;
}

TEST(InfoBytesForSending, TextsArePaddedWithNulInTheirFields)
{
    InfoBytes bytes;
    bytes.texts.fill(0x55); // leftovers of an earlier block must not go out
    bytes.text7.fill(0x55);
    infoBytesFromRecords(sampleBox(), bytes);

    EXPECT_EQ(bytes.texts, bytesOf<40>("V2\0\0\0\0\0\0"
                                       "ABCDEFGH"
                                       "\0\0\0\0\0\0\0\0"
                                       "\xE4rger\0\0\0"
                                       "x\0\0\0\0\0\0\0"));
    EXPECT_EQ(bytes.text7, bytesOf<16>("Sixteen chars ok"));
}

TEST(InfoBytesForSending, NeverTouchesStampVersionOneOrCounters)
{
    InfoBytes bytes;
    bytes.timeStamp.fill(1);
    bytes.boxVersion.fill(2);
    bytes.counters.fill(3);
    infoBytesFromRecords(sampleBox(), bytes);
    EXPECT_EQ(bytes.timeStamp, (std::array<uint8_t, 8>{1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(bytes.boxVersion, (std::array<uint8_t, 8>{2, 2, 2, 2, 2, 2, 2, 2}));
    EXPECT_EQ(bytes.counters, (std::array<uint8_t, 8>{3, 3, 3, 3, 3, 3, 3, 3}));
}

TEST(InfoBytesForSending, OverlongAndForeignTextsStayInsideTheirField)
{
    CBoxInfo box;
    box.versions[1] = "123456789"; // one too many
    box.versions[2] = "\xCE\xBB"
                      "1";                    // lambda has no Windows-1252 form
    box.versions[6] = "01234567890123456789"; // 20 for a field of 16
    InfoBytes bytes;
    infoBytesFromRecords(box, bytes);
    EXPECT_EQ(std::memcmp(bytes.texts.data(), "12345678", 8), 0);
    EXPECT_EQ(std::memcmp(bytes.texts.data() + 8, "?1\0\0\0\0\0\0", 8), 0);
    EXPECT_EQ(bytes.text7, bytesOf<16>("0123456789012345"));
}

InfoBytes receivedBlock()
{
    InfoBytes bytes;
    const double stamp = 45678.75; // 2025-01-22 18:00
    uint64_t bits = 0;
    std::memcpy(&bits, &stamp, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i) {
        bytes.timeStamp[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    bytes.boxVersion = bytesOf<8>("ZB-1.07\0");
    bytes.texts = bytesOf<40>("V2\0\0\0\0\0\0"
                              "ABCDEFGH"
                              "\0\0\0\0\0\0\0\0"
                              "\xE4rger\0\0\0"
                              "x\0y\0\0\0\0\0");
    bytes.text7 = bytesOf<16>("Sixteen chars ok");
    bytes.counters = {0x00, 0x00, 0x30, 0x39, 0xFF, 0xFF, 0xFF, 0xFF};
    return bytes;
}

TEST(ReceivedInfo, FillsDatesTextsAndGroupedCounters)
{
    CBoxInfo box;
    const auto now = platform::OleDateTime::fromDays(46000.25);
    applyReceivedInfo(receivedBlock(), box, ",", now);

    EXPECT_TRUE(box.lastTransfer.valid);
    EXPECT_EQ(box.lastTransfer.days, 45678.75);
    EXPECT_EQ(box.versions[0], "ZB-1.07");
    EXPECT_EQ(box.versions[1], "V2");
    EXPECT_EQ(box.versions[2], "ABCDEFGH"); // a full field has no NUL
    EXPECT_EQ(box.versions[3], "");
    EXPECT_EQ(box.versions[4], "\xC3\xA4rger");
    EXPECT_EQ(box.versions[5], "x"); // the text ends at its first NUL
    EXPECT_EQ(box.versions[6], "Sixteen chars ok");
    EXPECT_EQ(box.ieCounter, "12,345");
    EXPECT_EQ(box.startCounter, "4,294,967,295"); // unsigned, most significant byte first
    EXPECT_EQ(box.received, now);
}

TEST(ReceivedInfo, GroupsWithTheUsersSeparator)
{
    CBoxInfo box;
    applyReceivedInfo(receivedBlock(), box, ".", platform::OleDateTime::fromDays(1.0));
    EXPECT_EQ(box.ieCounter, "12.345");
    applyReceivedInfo(receivedBlock(), box, "", platform::OleDateTime::fromDays(1.0));
    EXPECT_EQ(box.ieCounter, "12345");
}

TEST(ReceivedInfo, AStampThatIsNoDateMeansNoTransferYet)
{
    CBoxInfo box;
    InfoBytes bytes = receivedBlock();
    bytes.timeStamp.fill(0xFF); // a box that was never written: NaN
    applyReceivedInfo(bytes, box, ",", platform::OleDateTime::fromDays(1.0));
    EXPECT_FALSE(box.lastTransfer.valid);
    EXPECT_EQ(lastTransferText(box, [](platform::OleDateTime) { return std::string("date"); }), "No transfer yet");

    const double farAway = 1e300;
    std::memcpy(bytes.timeStamp.data(), &farAway, 8);
    applyReceivedInfo(bytes, box, ",", platform::OleDateTime::fromDays(1.0));
    EXPECT_FALSE(box.lastTransfer.valid);
    EXPECT_TRUE(box.received.valid); // the rest of the block still counts
}

TEST(InfoRoundTrip, WhatIsSentComesBackWithTheSendTime)
{
    TransferBuffers buffers;
    const CBoxInfo sent = sampleBox();
    infoBytesFromRecords(sent, buffers.info);
    planInfo(true, nullptr, buffers, 46001.5); // puts the send time into the block

    CBoxInfo back;
    applyReceivedInfo(buffers.info, back, ",", platform::OleDateTime::fromDays(46002.0));
    for (std::size_t i = 1; i < 7; ++i) {
        EXPECT_EQ(back.versions[i], sent.versions[i]) << "box version " << i + 1;
    }
    EXPECT_EQ(back.lastTransfer, platform::OleDateTime::fromDays(46001.5));
}

} // namespace
} // namespace morvex::test
