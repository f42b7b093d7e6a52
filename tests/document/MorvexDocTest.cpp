#include "DocumentFixture.h"

#include "document/MorvexDoc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace morvex::test {
namespace {

class NewDocument : public BoundAdapt {
protected:
    NewDocument() : limits(shippedLimits()), doc(adapt(), limits, info, shippedCnf() / "Premap.cfg") {}

    std::vector<uint16_t> words(BoxAddress table, int count) const
    {
        std::vector<uint16_t> result;
        for (int i = 0; i < count; ++i) {
            result.push_back(doc.GetWord(table, i));
        }
        return result;
    }

    CLimits limits;
    CInfoRecords info;
    CMorvexDoc doc;
};

TEST(RoundRpm, TwentyFiveStepsUpTo12000FiftyAbove)
{
    EXPECT_DOUBLE_EQ(RoundRpm(0), 0);
    EXPECT_DOUBLE_EQ(RoundRpm(1288), 1300);
    EXPECT_DOUBLE_EQ(RoundRpm(1237), 1225);
    EXPECT_DOUBLE_EQ(RoundRpm(1238), 1250);
    EXPECT_DOUBLE_EQ(RoundRpm(1212), 1200);
    EXPECT_DOUBLE_EQ(RoundRpm(1213), 1225);
    EXPECT_DOUBLE_EQ(RoundRpm(1262.9), 1250);
    EXPECT_DOUBLE_EQ(RoundRpm(1287), 1275);
    EXPECT_DOUBLE_EQ(RoundRpm(12000), 12000);
    // 12,0xx: 12000 itself still rounds in 25-steps, anything above in 50-steps.
    EXPECT_DOUBLE_EQ(RoundRpm(11990), 12000);
    EXPECT_DOUBLE_EQ(RoundRpm(12001), 12000);
    EXPECT_DOUBLE_EQ(RoundRpm(12030), 12050);
    EXPECT_DOUBLE_EQ(RoundRpm(12024), 12000);
    EXPECT_DOUBLE_EQ(RoundRpm(12076), 12100);
}

TEST_F(NewDocument, HoldsTheDefaultParameterSet)
{
    ASSERT_TRUE(doc.OnNewDocument());
    const uint8_t* params = doc.GetBoxData(box::PARAMETERS);
    EXPECT_EQ(params[0], 6);
    EXPECT_EQ(params[1], 5);
    for (int i = 2; i < 16; ++i) {
        EXPECT_EQ(params[i], 0) << i;
    }
    for (BoxAddress map : {box::TAB_DDD_LINKS, box::TAB_DDD_RECHTS, box::TAB_DDZ_LINKS, box::TAB_DDZ_RECHTS}) {
        const auto bytes = doc.BoxSpan(map, kMapBytes);
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), static_cast<long>(kMapBytes));
    }
    EXPECT_EQ(words(box::TAB_RES, 32), std::vector<uint16_t>(32, 0));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.FileErrorCode(), 0u);
}

// Words of a new document with the shipped limits, worked out by hand from
// the conversion formulas (intermediate points rounded to whole units, exact
// halves away from zero, rpm to 25 rpm).
TEST_F(NewDocument, IndexDefaultsWithShippedLimits)
{
    ASSERT_TRUE(doc.OnNewDocument());
    auto expectTable = [&](BoxAddress table, std::vector<uint16_t> expected) {
        expected.resize(32, 0); // entries past the defaults stay zero
        EXPECT_EQ(words(table, 32), expected);
    };
    expectTable(box::TAB_DZI, {13824, 8253, 5945, 4608, 3761, 3196, 2764, 2435, 2185, 1974, 1801, 1660, 1536, 1428,
                               1338, 1256});
    expectTable(box::TAB_DKI, {0, 153, 331, 484, 637, 790, 969, 1122, 1275, 1428, 1606, 1759, 1912, 2065, 2244, 2397,
                               2550});
    expectTable(box::TAB_MTI, {1918, 2013, 2117, 2210, 2301, 2400, 2487, 2572, 2663, 2742, 2819, 2902, 2974, 3043,
                               3117, 3180});
    expectTable(box::TAB_LTI, {1918, 1971, 2034, 2086, 2138, 2200, 2251, 2301, 2361, 2410, 2458, 2515, 2562, 2608,
                               2663, 2707});
    expectTable(box::TAB_LDI, {1208, 1295, 1385, 1473, 1560, 1650, 1738, 1825, 1915, 2002, 2090, 2180, 2267, 2354,
                               2444, 2532});
    expectTable(box::TAB_TDI, {2267, 2444, 2619, 2797, 2974, 3149, 3326, 3503, 3678, 3856, 4033, 4208, 4385, 4562,
                               4737, 4915});
    expectTable(box::TAB_LAI, {100, 153, 207, 260, 313, 367, 420, 473, 527, 580, 633, 687, 740, 793, 847, 900});
}

TEST_F(NewDocument, IndexValuesAndTextsFollowTheWords)
{
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_DOUBLE_EQ(doc.IndexValue(IndexTable::DZI, 0), 1000.0);
    EXPECT_EQ(doc.IndexText(IndexTable::DZI, 0), "1000");
    EXPECT_EQ(doc.IndexText(IndexTable::DZI, 1), "1675"); // 13824000 / 8253 = 1675.03
    EXPECT_EQ(doc.IndexText(IndexTable::DZI, 15), "11000");
    EXPECT_DOUBLE_EQ(doc.IndexValue(IndexTable::DKI, 2), 13.0); // 331 -> 12.98 -> 13.0
    EXPECT_EQ(doc.IndexText(IndexTable::DKI, 16), "100");
    EXPECT_EQ(doc.IndexText(IndexTable::MTI, 0), "-20");
    EXPECT_EQ(doc.IndexText(IndexTable::MTI, 15), "120");
    EXPECT_EQ(doc.IndexText(IndexTable::LDI, 0), "600");
    EXPECT_EQ(doc.IndexText(IndexTable::LAI, 15), "900");
    // Unused entries convert from zero words.
    EXPECT_DOUBLE_EQ(doc.IndexValue(IndexTable::DZI, 31), 0.0);
    EXPECT_EQ(doc.IndexText(IndexTable::DKI, 17), "0");
    EXPECT_EQ(doc.IndexText(IndexTable::LDI, 31), "144");

    // The record area holds the same doubles, table after table.
    const uint8_t* area = doc.GetBoxData(rec::REC_INDEX_VALUES);
    double mti0 = 0.0;
    std::memcpy(&mti0, area + (2 * 32 + 0) * sizeof(double), sizeof mti0);
    EXPECT_DOUBLE_EQ(mti0, -20.0);
}

TEST_F(NewDocument, SensorLambdaFormatChangesTheLambdaTexts)
{
    limits.setLambdaFormat(DisplayFormat{2});
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.IndexText(IndexTable::LAI, 0), "100.00");
    EXPECT_EQ(doc.IndexText(IndexTable::DZI, 0), "1000");
}

TEST_F(NewDocument, MissingMinimumGivesAnAxisFromZero)
{
    limits.record(Limit::Revolutions).minimum = 0.0;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.GetWord(box::TAB_DZI, 0), 0);
    EXPECT_EQ(doc.IndexText(IndexTable::DZI, 0), "0");
    // 11000 / 15 = 733.3 -> 733 -> 725 rpm
    EXPECT_EQ(doc.GetWord(box::TAB_DZI, 1), 13824000 / 725);

    limits.record(Limit::AirPressure) = LimitRecord{};
    doc.IndexDefaults(IndexTable::LDI);
    // Both ends zero: a flat table of the conversion of 0.
    EXPECT_EQ(words(box::TAB_LDI, 16), std::vector<uint16_t>(16, static_cast<uint16_t>(-380)));
}

TEST_F(NewDocument, DefaultTexts)
{
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.Text(TextTable::SFI1, 0), "LTRH");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 1), "IPCS");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 2), "");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 3), "RLI");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 4), "S 05");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 31), "S 32");
    EXPECT_EQ(doc.Text(TextTable::SFI2, 0), "V 01");
    EXPECT_EQ(doc.Text(TextTable::SFI2, 2), "IGMN");
    EXPECT_EQ(doc.Text(TextTable::SFI2, 31), "V 32");
    EXPECT_EQ(doc.Text(TextTable::EX, 9), "W 10");
    EXPECT_EQ(doc.Text(TextTable::EX2, 31), "X 32");
}

TEST_F(NewDocument, EmptyMinMaxPattern)
{
    ASSERT_TRUE(doc.OnNewDocument());
    for (int r = 0; r < kMinMaxRecords; ++r) {
        const MinMaxRecord mm = doc.GetMinMax(r);
        uint32_t bits[8];
        std::memcpy(bits, mm.values.data(), sizeof bits);
        const uint32_t low = 0x7F7FC99Eu;
        const uint32_t high = 0xFF7FC99Eu;
        const uint32_t expected[8] = {low, low, low, high, high, high, low, high};
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(bits[i], expected[i]) << "record " << r << " value " << i;
        }
    }
    // The 64 bytes after the records are not part of any record.
    const auto tail = doc.BoxSpan(box::MM + kMinMaxRecords * 32, 64);
    EXPECT_EQ(std::count(tail.begin(), tail.end(), 0), 64);
}

TEST_F(NewDocument, DeleteContentsEmptiesButKeepsPremap)
{
    ASSERT_TRUE(doc.OnNewDocument());
    const std::vector<uint8_t> premapBefore(doc.GetBoxData(rec::REC_PREMAP_ROWS),
                                            doc.GetBoxData(rec::REC_PREMAP_ROWS) + rec::kPremapRowsSize);
    ASSERT_NE(std::count(premapBefore.begin(), premapBefore.end(), 0), static_cast<long>(premapBefore.size()));
    const uint8_t offset3 = doc.GetBoxData(rec::REC_PREMAP_OFFSET)[15];

    doc.GetBoxData(box::TAB_DDD_LINKS)[17] = 120;
    doc.SetFloat(rec::REC_IGNITION_T, 255, 2.5f);
    doc.GetBoxData(rec::REC_DATA_RECEIVED)[3] = kReceivedIgnitionP;
    doc.SetFileErrorCode(2500);
    info.file.comment = "dyno run 3";
    info.file.lastSave = platform::OleDateTime::fromDays(46000.5);
    info.box.received = platform::OleDateTime::fromDays(46001.0);
    info.box.versions[0] = "ZB 2.13";

    doc.DeleteContents();
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDD_LINKS)[17], 0);
    EXPECT_EQ(doc.GetWord(box::TAB_DZI, 0), 0);
    EXPECT_EQ(doc.GetBoxData(box::PARAMETERS)[0], 6);
    EXPECT_FLOAT_EQ(doc.GetFloat(rec::REC_IGNITION_T, 255), 0.0f);
    EXPECT_EQ(doc.GetBoxData(rec::REC_DATA_RECEIVED)[3], 0);
    EXPECT_EQ(doc.FileErrorCode(), 0u);
    EXPECT_EQ(doc.Text(TextTable::SFI1, 0), "");
    EXPECT_EQ(doc.IndexText(IndexTable::DZI, 0), "");
    EXPECT_EQ(info.file.comment, "");
    EXPECT_FALSE(info.file.lastSave.valid);
    EXPECT_EQ(info.box.versions[0], "");
    EXPECT_TRUE(info.box.received.valid); // only a flag, kept

    const std::vector<uint8_t> premapAfter(doc.GetBoxData(rec::REC_PREMAP_ROWS),
                                           doc.GetBoxData(rec::REC_PREMAP_ROWS) + rec::kPremapRowsSize);
    EXPECT_EQ(premapAfter, premapBefore);
    EXPECT_EQ(doc.GetBoxData(rec::REC_PREMAP_OFFSET)[15], offset3);
}

TEST_F(NewDocument, AddressesReachTablesAndRecords)
{
    EXPECT_EQ(doc.GetBoxData(kNoAddress), nullptr);
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDD_RECHTS), doc.GetBoxData(0) + 0x200);
    EXPECT_EQ(doc.BoxSpan(box::IGNITION_WORK_2, 512).size(), 512u);
    EXPECT_EQ(doc.BoxSpan(rec::REC_PREMAP_ROWS, 560).size(), 560u);
    EXPECT_EQ(doc.BoxSpan(rec::REC_INDEX_VALUES, 4096).size(), 4096u);
    EXPECT_EQ(doc.BoxSpan(rec::REC_DATA_RECEIVED, 256).size(), 256u);

    // Word tables are big-endian.
    doc.SetWord(box::TAB_DKI, 3, 0x1234);
    EXPECT_EQ(doc.GetBoxData(box::TAB_DKI)[6], 0x12);
    EXPECT_EQ(doc.GetBoxData(box::TAB_DKI)[7], 0x34);

    // Records are arrays of their own, not box memory.
    doc.SetFloat(rec::REC_FUEL_CONSUMPTION, 0, 1.5f);
    EXPECT_FLOAT_EQ(doc.GetFloat(rec::REC_FUEL_CONSUMPTION, 0), 1.5f);
    EXPECT_FLOAT_EQ(doc.GetFloat(rec::REC_IGNITION_P, 0), 0.0f);
}

TEST_F(NewDocument, AccessOutsideTheImageIsCaught)
{
    // A programming error: asserts in debug builds, never touches memory.
    EXPECT_DEBUG_DEATH(EXPECT_TRUE(doc.BoxSpan(box::IGNITION_WORK_2, 513).empty()), "outside");
    EXPECT_DEBUG_DEATH(EXPECT_EQ(doc.GetBoxData(0x28C0), nullptr), "outside");
    EXPECT_DEBUG_DEATH(EXPECT_TRUE(doc.BoxSpan(rec::REC_DATA_RECEIVED, 257).empty()), "outside");
    EXPECT_DEBUG_DEATH(EXPECT_EQ(doc.GetWord(box::IGNITION_WORK_2 + 510, 1), 0), "outside");
}

TEST_F(NewDocument, LambdaValuesAndRatio)
{
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetWord(box::LAMBDA_RECORD_LEFT, 0, 0);
    doc.SetWord(box::LAMBDA_RECORD_RIGHT, 0, 450);
    doc.SetWord(box::LAMBDA_RECORD_LEFT, 1, 400);
    doc.SetWord(box::LAMBDA_RECORD_RIGHT, 1, 420);
    doc.SetWord(box::LAMBDA_RECORD_LEFT, 2, 100);
    doc.SetWord(box::LAMBDA_RECORD_RIGHT, 2, 600); // 600 %
    doc.SetWord(box::LAMBDA_RECORD_LEFT, 255, 800);
    doc.SetWord(box::LAMBDA_RECORD_RIGHT, 255, 200);
    doc.ComputeLambdaValues();

    EXPECT_FLOAT_EQ(doc.GetFloat(box::LAMBDA_VALUES_LEFT, 1), 400.0f);
    EXPECT_FLOAT_EQ(doc.GetFloat(box::LAMBDA_VALUES_RIGHT, 1), 420.0f);
    // No left value: the ratio is the right value itself.
    EXPECT_FLOAT_EQ(doc.GetFloat(box::LAMBDA_RATIO, 0), 450.0f);
    EXPECT_FLOAT_EQ(doc.GetFloat(box::LAMBDA_RATIO, 1), 105.0f);
    EXPECT_FLOAT_EQ(doc.GetFloat(box::LAMBDA_RATIO, 2), 500.0f);
    EXPECT_FLOAT_EQ(doc.GetFloat(box::LAMBDA_RATIO, 255), 25.0f);
    // Both zero: zero.
    EXPECT_FLOAT_EQ(doc.GetFloat(box::LAMBDA_RATIO, 100), 0.0f);
}

} // namespace
} // namespace morvex::test
