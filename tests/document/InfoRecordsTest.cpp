#include "document/InfoRecords.h"

#include "platform/OleDate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using morvex::CInfoRecords;
using morvex::DateFormatter;
using platform::OleDateTime;

// A formatter that shows what it was given, standing in for the user's locale.
const DateFormatter kDaysFormatter = [](OleDateTime d) { return "days " + std::to_string(d.days); };

TEST(InfoRecords, ClearEmptiesAllButTheBoxInfoDate)
{
    CInfoRecords info;
    info.file.lastSave = OleDateTime::fromDays(46000.5);
    info.file.versions = {"v1", "v2", "v3"};
    info.file.comment = "first\r\nsecond";
    info.box.lastTransfer = OleDateTime::fromDays(46001.25);
    for (std::size_t i = 0; i < info.box.versions.size(); ++i) {
        info.box.versions[i] = "box " + std::to_string(i + 1);
    }
    info.box.ieCounter = "12,345";
    info.box.startCounter = "678";
    info.box.received = OleDateTime::fromDays(46002.75);

    info.Clear();

    EXPECT_FALSE(info.file.lastSave.valid);
    EXPECT_FALSE(info.box.lastTransfer.valid);
    for (const std::string& v : info.file.versions) {
        EXPECT_EQ(v, "");
    }
    EXPECT_EQ(info.file.comment, "");
    for (const std::string& v : info.box.versions) {
        EXPECT_EQ(v, "");
    }
    EXPECT_EQ(info.box.ieCounter, "");
    EXPECT_EQ(info.box.startCounter, "");
    EXPECT_EQ(info.box.received, OleDateTime::fromDays(46002.75));
}

TEST(InfoRecords, CountersAreGroupedInThrees)
{
    using morvex::formatCounter;
    EXPECT_EQ(formatCounter(12345, ","), "12,345");
    EXPECT_EQ(formatCounter(12345, "."), "12.345");
    EXPECT_EQ(formatCounter(12345, ""), "12345");
    EXPECT_EQ(formatCounter(0, ","), "0");
    EXPECT_EQ(formatCounter(999, ","), "999");
    EXPECT_EQ(formatCounter(1000, ","), "1,000");
    EXPECT_EQ(formatCounter(100000, ","), "100,000");
    EXPECT_EQ(formatCounter(1000000, ","), "1,000,000");
    EXPECT_EQ(formatCounter(4294967295UL, ","), "4,294,967,295");
    EXPECT_EQ(formatCounter(4294967295UL, "\u202f"), "4\u202f294\u202f967\u202f295"); // a separator of 3 bytes
}

TEST(InfoRecords, NewRecordsShowTheNotYetTexts)
{
    const CInfoRecords info;
    EXPECT_EQ(morvex::fileSaveText(info.file, kDaysFormatter), "Not saved yet");
    EXPECT_EQ(morvex::lastTransferText(info.box, kDaysFormatter), "No transfer yet");
    EXPECT_EQ(morvex::boxVersion1Text(info.box), "Not received yet");
}

TEST(InfoRecords, FileSaveText)
{
    CInfoRecords info;
    int calls = 0;
    const DateFormatter counting = [&](OleDateTime d) {
        ++calls;
        return kDaysFormatter(d);
    };
    info.file.lastSave = OleDateTime{46000.5, false};
    EXPECT_EQ(morvex::fileSaveText(info.file, counting), "Not saved yet");
    EXPECT_EQ(calls, 0);

    info.file.lastSave = OleDateTime::fromDays(46000.5);
    EXPECT_EQ(morvex::fileSaveText(info.file, counting), "days 46000.500000");
    EXPECT_EQ(calls, 1);
    // The caller chooses the form; the data file's German form is one of them.
    info.file.lastSave = OleDateTime::fromParts({2025, 12, 24, 13, 45, 7});
    EXPECT_EQ(morvex::fileSaveText(info.file, platform::formatGermanDate), "24.12.2025 13:45:07");
}

TEST(InfoRecords, LastTransferText)
{
    CInfoRecords info;
    EXPECT_EQ(morvex::lastTransferText(info.box, kDaysFormatter), "No transfer yet");
    info.box.lastTransfer = OleDateTime::fromDays(46001.25);
    EXPECT_EQ(morvex::lastTransferText(info.box, kDaysFormatter), "days 46001.250000");
    // The file-save date plays no part.
    info.file.lastSave = OleDateTime::fromDays(1.0);
    info.box.lastTransfer = OleDateTime::invalid();
    EXPECT_EQ(morvex::lastTransferText(info.box, kDaysFormatter), "No transfer yet");
}

TEST(InfoRecords, BoxVersion1TextFollowsTheBoxInfoDate)
{
    CInfoRecords info;
    info.box.versions[0] = "ZB 2.13";
    EXPECT_EQ(morvex::boxVersion1Text(info.box), "Not received yet");
    info.box.received = OleDateTime::fromDays(46002.75);
    EXPECT_EQ(morvex::boxVersion1Text(info.box), "ZB 2.13");
    info.box.versions[0].clear();
    EXPECT_EQ(morvex::boxVersion1Text(info.box), "");
    // Clear keeps the box-info date, so a received box stays received.
    info.box.versions[0] = "ZB 2.13";
    info.Clear();
    EXPECT_EQ(morvex::boxVersion1Text(info.box), "");
}

} // namespace
