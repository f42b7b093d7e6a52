#include "views/DataRecording.h"

#include "document/DataFile.h"
#include "document/MorvexDoc.h"
#include "tests/document/DocumentFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

using namespace morvex;
using namespace morvex::views;
using namespace morvex::views::recording;

namespace {

// A lambda conversion in thousandths (raw 905 is 0.905), so that lambda
// values as a sensor shows them go through the recording arithmetic.
double fromThousandths(uint32_t raw)
{
    return (raw & 0xFFFFu) * 0.001;
}
uint16_t toThousandths(double lambda)
{
    return static_cast<uint16_t>(std::lround(lambda * 1000.0));
}

const platform::OleDateTime kSaveTime = platform::OleDateTime::fromParts({2025, 6, 1, 9, 30, 0});

class Recording : public test::BoundAdapt {
protected:
    Recording() : limits(shippedLimits())
    {
        doc = std::make_unique<CMorvexDoc>(adapt(), limits, info);
        doc->OnNewDocument();
    }

    // The live cell of a revolutions index and a throttle index.
    static LiveCell at(int revolutionsIndex, int throttleIndex)
    {
        LiveCell live;
        applyLiveValue(live, kLiveRevolutionsIndex, revolutionsIndex);
        applyLiveValue(live, kLiveThrottleIndex, throttleIndex);
        return live;
    }
    bool flag(int cell, bool left) const { return doc->GetBoxData(box::LAMBDA_FLAGS)[2 * cell + (left ? 0 : 1)] != 0; }
    float count(int cell) const { return doc->GetFloat(box::MEASURE_COUNTS, cell); }

    CLimits limits;
    CInfoRecords info;
    std::unique_ptr<CMorvexDoc> doc;
};

constexpr uint8_t bit(int column)
{
    return static_cast<uint8_t>(1u << column);
}

} // namespace

TEST_F(Recording, LambdaIsARunningAverageInDisplayUnits)
{
    AdaptFunctions thousandths = adapt();
    thousandths.BOX_TO_PC_Lambda = &fromThousandths;
    thousandths.PC_TO_BOX_Lambda = &toThousandths;
    limits.record(Limit::Lambda).minimum = 0.7;
    limits.record(Limit::Lambda).maximum = 1.4;
    DataRecorder recorder(*doc, thousandths, limits);
    const LiveCell live = at(0, 15); // grid row 32, column 1
    const int cell = 240;
    ASSERT_EQ(recordedCell(live), cell);

    RecordingChange change = recorder.Record(kLiveLambdaLeft, 900, live);
    EXPECT_TRUE(change.modified);
    EXPECT_EQ(change.cell, cell);
    EXPECT_EQ(change.tables, tableBit(kGridLeft) | tableBit(kGridMeasureCount));
    EXPECT_NEAR(doc->GetFloat(box::LAMBDA_VALUES_LEFT, cell), 0.90, 1e-6);
    EXPECT_EQ(doc->GetWord(box::LAMBDA_RECORD_LEFT, cell), 900);
    recorder.Record(kLiveLambdaLeft, 1000, live);
    EXPECT_NEAR(doc->GetFloat(box::LAMBDA_VALUES_LEFT, cell), 0.91, 1e-6);
    EXPECT_EQ(doc->GetWord(box::LAMBDA_RECORD_LEFT, cell), 910);
    EXPECT_TRUE(flag(cell, true));
    EXPECT_FALSE(flag(cell, false));
    EXPECT_EQ(count(cell), 2.0f);

    // Samples closer to the average than one box unit in ten still move
    // it: the average does not stop at 910.
    for (int i = 0; i < 80; ++i) {
        recorder.Record(kLiveLambdaLeft, 905, live);
    }
    EXPECT_EQ(doc->GetWord(box::LAMBDA_RECORD_LEFT, cell), 905);

    // The right side: its percentage of the left one.
    change = recorder.Record(kLiveLambdaRight, 1000, live);
    EXPECT_EQ(change.tables, tableBit(kGridRight) | tableBit(kGridMeasureCount) | tableBit(kGridPercent));
    EXPECT_NEAR(doc->GetFloat(box::LAMBDA_RATIO, cell), 1000.0 / 905.0 * 100.0, 1e-3);
    EXPECT_EQ(cellText(*doc, kGridPercent, cell, {}), "110");
    // A right side three times richer than the left one is limited.
    doc->SetWord(box::LAMBDA_RECORD_LEFT, cell, 300);
    doc->SetFloat(box::LAMBDA_VALUES_LEFT, cell, 0.3f);
    recorder.Record(kLiveLambdaRight, 1000, live);
    EXPECT_EQ(doc->GetFloat(box::LAMBDA_RATIO, cell), 300.0f);

    // The count stops below 199,980.
    doc->SetFloat(box::MEASURE_COUNTS, cell, 199979.0f);
    recorder.Record(kLiveLambdaLeft, 1000, live);
    change = recorder.Record(kLiveLambdaLeft, 1000, live);
    EXPECT_EQ(count(cell), 199980.0f);
    EXPECT_EQ(change.tables & tableBit(kGridMeasureCount), 0);
}

TEST_F(Recording, LambdaOutsideTheDisplayRangeOnlyReachesTheErrorColumns)
{
    DataRecorder recorder(*doc, adapt(), limits); // lambda 100..900 box units
    const LiveCell live = at(3, 3);
    RecordingChange change = recorder.Record(kLiveLambdaLeft, 950, live);
    EXPECT_TRUE(change.modified);
    EXPECT_EQ(change.cell, -1);
    EXPECT_EQ(change.statistics[static_cast<int>(Statistic::LambdaLeft)], bit(kAboveRange));
    change = recorder.Record(kLiveLambdaLeft, 60, live);
    EXPECT_EQ(change.statistics[static_cast<int>(Statistic::LambdaLeft)], bit(kBelowRange));
    change = recorder.Record(kLiveLambdaLeft, 80, live); // not below the lowest error
    EXPECT_EQ(change.statistics[static_cast<int>(Statistic::LambdaLeft)], 0);

    MinMaxRecord expected = MinMaxRecord::empty();
    expected.values[kBelowRange] = 60.0f;
    expected.values[kAboveRange] = 950.0f;
    EXPECT_EQ(doc->GetMinMax(static_cast<int>(Statistic::LambdaLeft)).values, expected.values);
    for (int k = 0; k < kCells; ++k) {
        ASSERT_FALSE(flag(k, true));
        ASSERT_EQ(count(k), 0.0f);
    }
    // The box's "no value" is no value at all.
    EXPECT_FALSE(recorder.Record(kLiveLambdaLeft, kNoValue, live).modified);
    EXPECT_FALSE(recorder.Record(kLiveRevolutions, kNoValue, live).modified);
    EXPECT_EQ(doc->GetMinMax(static_cast<int>(Statistic::LambdaLeft)).values, expected.values);
}

TEST_F(Recording, TheHiddenHalfAndAMissingRevolutionsValueRecordNoCell)
{
    DataRecorder recorder(*doc, adapt(), limits);
    const LiveCell hidden = at(20, 3); // grid row 12
    EXPECT_EQ(recordedCell(hidden), -1);
    const std::vector<uint8_t> before(doc->BoxSpan(box::LAMBDA_RECORD_LEFT, box::MM - box::LAMBDA_RECORD_LEFT).begin(),
                                      doc->BoxSpan(box::LAMBDA_RECORD_LEFT, box::MM - box::LAMBDA_RECORD_LEFT).end());

    // Injection time before any revolutions: only its statistics.
    RecordingChange change = recorder.Record(kLiveInjectionTime, 4608, at(0, 0)); // 5 ms
    EXPECT_EQ(change.cell, -1);
    EXPECT_NE(change.statistics[static_cast<int>(Statistic::InjectionTime)], 0);
    EXPECT_EQ(change.statistics[static_cast<int>(Statistic::InjectionPercent)], 0);
    // Below the revolutions range (500 rpm) no revolutions value is kept.
    recorder.Record(kLiveRevolutions, 27648, hidden);
    EXPECT_EQ(recorder.LastRevolutions(), -1.0);
    recorder.Record(kLiveRevolutions, 2304, hidden); // 6000 rpm
    EXPECT_EQ(recorder.LastRevolutions(), 6000.0);

    change = recorder.Record(kLiveInjectionTime, 4608, hidden);
    EXPECT_EQ(change.cell, -1);
    EXPECT_EQ(doc->GetMinMax(static_cast<int>(Statistic::InjectionPercent)).values[kLowest], 25.0f);
    recorder.Record(kLiveLambdaLeft, 450, hidden);
    recorder.Record(kLiveLambdaRight, 450, hidden);
    const auto after = doc->BoxSpan(box::LAMBDA_RECORD_LEFT, box::MM - box::LAMBDA_RECORD_LEFT);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), before.begin()));
    for (int k = 0; k < kCells; ++k) {
        ASSERT_EQ(doc->GetBoxData(rec::REC_DATA_RECEIVED)[k], 0);
        ASSERT_EQ(doc->GetFloat(rec::REC_IGNITION_T, k), 0.0f);
    }
}

TEST_F(Recording, InjectionTimeDutyAndConsumptionOfTheLiveCell)
{
    uint8_t* flow = doc->GetBoxData(box::TAB_SFD1);
    flow[0] = 20;
    flow[1] = 30;
    DataRecorder recorder(*doc, adapt(), limits);
    const LiveCell live = at(5, 10); // grid row 27, column 6
    const int cell = 16 * 10 + 5;
    recorder.Record(kLiveRevolutions, 2304, live);                            // 6000 rpm
    RecordingChange change = recorder.Record(kLiveInjectionTime, 4608, live); // 5.000 ms
    EXPECT_EQ(change.cell, cell);
    EXPECT_EQ(change.tables,
              tableBit(kGridInjectionTime) | tableBit(kGridInjectionDuty) | tableBit(kGridFuelConsumption));
    EXPECT_EQ(doc->GetBoxData(rec::REC_DATA_RECEIVED)[cell], 7);
    EXPECT_FLOAT_EQ(doc->GetFloat(rec::REC_IGNITION_T, cell), 5.0f);
    EXPECT_FLOAT_EQ(doc->GetFloat(rec::REC_IGNITION_P, cell), 25.0f);       // 6000 x 5 / 1200
    EXPECT_FLOAT_EQ(doc->GetFloat(rec::REC_FUEL_CONSUMPTION, cell), 15.0f); // 20 x 30 x 0.1 x 25 x 0.01

    recorder.Record(kLiveInjectionTime, 5760, live); // 6.25 ms
    EXPECT_FLOAT_EQ(doc->GetFloat(rec::REC_IGNITION_T, cell), 5.125f);
    EXPECT_FLOAT_EQ(doc->GetFloat(rec::REC_IGNITION_P, cell), 25.625f);
    EXPECT_FLOAT_EQ(doc->GetFloat(rec::REC_FUEL_CONSUMPTION, cell), 15.375f);
    EXPECT_NEAR(recorder.LastInjectionTime(), 6.25, 1e-9);
    EXPECT_EQ(cellText(*doc, kGridInjectionTime, cell, {}), "5.125");
    EXPECT_EQ(cellText(*doc, kGridFuelConsumption, cell, {}), "15.4");
    EXPECT_EQ(cellText(*doc, kGridInjectionTime, cell + 1, {}), "");
    EXPECT_DOUBLE_EQ(recordedMaximum(*doc, kGridInjectionDuty), 25.625);
    EXPECT_EQ(chartUpperBound(25.625), 28);
    const MinMaxRecord time = doc->GetMinMax(static_cast<int>(Statistic::InjectionTime));
    EXPECT_EQ(time.values[kLowest], 5.0f);
    EXPECT_EQ(time.values[kHighest], 6.25f);
}

TEST(RecordingStatistics, ThreeDistinctLowestAndHighestAndTheExtremesBeyond)
{
    const QuantityScale scale{DisplayFormat{1}, 0.0, 100.0};
    MinMaxRecord m = MinMaxRecord::empty();
    for (double x : {50.0, 30.0, 70.0}) {
        updateStatistics(m, x, scale);
    }
    auto lows = [&] { return std::array<float, 3>{m.values[0], m.values[1], m.values[2]}; };
    auto highs = [&] { return std::array<float, 3>{m.values[3], m.values[4], m.values[5]}; };
    EXPECT_EQ(lows(), (std::array<float, 3>{30, 50, 70}));
    EXPECT_EQ(highs(), (std::array<float, 3>{30, 50, 70}));
    EXPECT_EQ(updateStatistics(m, 30.04, scale), 0) << "equal once shown with the format";
    EXPECT_EQ(updateStatistics(m, 90.0, scale), bit(3) | bit(4) | bit(5));
    EXPECT_EQ(highs(), (std::array<float, 3>{50, 70, 90}));
    EXPECT_EQ(updateStatistics(m, 60.0, scale), bit(2) | bit(3));
    EXPECT_EQ(highs(), (std::array<float, 3>{60, 70, 90}));
    EXPECT_EQ(lows(), (std::array<float, 3>{30, 50, 60}));
    EXPECT_EQ(updateStatistics(m, 10.0, scale), bit(0) | bit(1) | bit(2));
    EXPECT_EQ(lows(), (std::array<float, 3>{10, 30, 50}));
    EXPECT_EQ(updateStatistics(m, 20.0, scale), bit(1) | bit(2));
    EXPECT_EQ(lows(), (std::array<float, 3>{10, 20, 30}));

    EXPECT_EQ(updateStatistics(m, 120.0, scale), bit(kAboveRange));
    EXPECT_EQ(updateStatistics(m, 110.0, scale), 0);
    EXPECT_EQ(updateStatistics(m, -5.0, scale), bit(kBelowRange));
    EXPECT_EQ(lows(), (std::array<float, 3>{10, 20, 30}));

    // Emptied values close up; the record stays in order for what follows.
    EXPECT_EQ(clearStatistics(m, bit(kLowest) | bit(kHighest)), bit(0) | bit(1) | bit(2) | bit(3) | bit(4) | bit(5));
    EXPECT_EQ(lows()[0], 20.0f);
    EXPECT_EQ(lows()[1], 30.0f);
    EXPECT_TRUE(isUnset(lows()[2]));
    EXPECT_TRUE(isUnset(highs()[0]));
    EXPECT_EQ(highs()[2], 70.0f);
    updateStatistics(m, 15.0, scale);
    EXPECT_EQ(lows(), (std::array<float, 3>{15, 20, 30}));
}

TEST_F(Recording, ResetsClearWhatTheirGridShows)
{
    DataRecorder recorder(*doc, adapt(), limits);
    const LiveCell live = at(0, 15);
    const int cell = 240;
    for (int i = 0; i < 20; ++i) {
        recorder.Record(kLiveLambdaLeft, 450, live);
        recorder.Record(kLiveLambdaRight, 500, live);
        recorder.Record(kLiveLambdaLeft, 450, at(1, 15)); // cell 224: left only
    }
    ASSERT_EQ(count(cell), 40.0f);
    resetCell(*doc, kGridLeft, cell);
    EXPECT_FALSE(flag(cell, true));
    EXPECT_EQ(doc->GetWord(box::LAMBDA_RECORD_LEFT, cell), 0);
    EXPECT_EQ(doc->GetFloat(box::LAMBDA_RATIO, cell), 0.0f);
    EXPECT_TRUE(flag(cell, false));
    EXPECT_EQ(doc->GetWord(box::LAMBDA_RECORD_RIGHT, cell), 500);
    EXPECT_EQ(count(cell), 20.0f);
    resetCell(*doc, kGridLeft, 224);
    EXPECT_EQ(count(224), 0.0f);

    recorder.Record(kLiveRevolutions, 2304, live);
    recorder.Record(kLiveInjectionTime, 4608, live);
    resetGrid(*doc, kGridInjectionDuty);
    EXPECT_EQ(doc->GetBoxData(rec::REC_DATA_RECEIVED)[cell], kReceivedIgnitionT | kReceivedFuelConsumption);
    EXPECT_EQ(doc->GetFloat(rec::REC_IGNITION_P, cell), 0.0f);
    resetGrid(*doc, kGridMeasureCount);
    EXPECT_EQ(count(cell), 0.0f);
    EXPECT_TRUE(flag(cell, false)) << "the counts only";

    doc->GetBoxData(box::IGNITION_WORK_1)[0] = 7;
    doc->GetBoxData(box::TAB_RES)[63] = 9;
    resetAll(*doc);
    const auto records = doc->BoxSpan(box::LAMBDA_RECORD_LEFT, box::MM - box::LAMBDA_RECORD_LEFT);
    EXPECT_TRUE(std::all_of(records.begin(), records.end(), [](uint8_t b) { return b == 0; }));
    for (int r = 0; r < kMinMaxRecords; ++r) {
        ASSERT_EQ(doc->GetMinMax(r).values, MinMaxRecord::empty().values);
    }
    EXPECT_EQ(doc->GetBoxData(rec::REC_DATA_RECEIVED)[cell], 0);
    EXPECT_EQ(doc->GetFloat(rec::REC_IGNITION_T, cell), 0.0f);
    EXPECT_EQ(doc->GetBoxData(box::IGNITION_WORK_1)[0], 7);
    EXPECT_EQ(doc->GetBoxData(box::TAB_RES)[63], 9);
}

// A ride recorded, saved and opened again shows the same in every grid.
TEST_F(Recording, RecordingsShowTheSameAfterTheDataFile)
{
    DataRecorder recorder(*doc, adapt(), limits);
    doc->GetBoxData(box::TAB_SFD1)[0] = 25;
    doc->GetBoxData(box::TAB_SFD1)[1] = 40;
    std::mt19937 random(11);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int i = 0; i < 20000; ++i) {
        const LiveCell live = at(pick(0, 17), pick(0, 15));
        const int parameter = pick(kLiveRevolutions, kLiveInjectionTime);
        const int raw = parameter == kLiveRevolutions     ? pick(1100, 14000)
                        : parameter == kLiveInjectionTime ? pick(500, 20000)
                        : parameter == kLiveLambdaLeft    ? pick(80, 950)
                        : parameter == kLiveLambdaRight   ? pick(80, 950)
                                                          : pick(0, 5000);
        recorder.Record(parameter, static_cast<uint16_t>(raw), live);
    }
    test::TempDir dir;
    const auto path = dir.path() / "ride.M60";
    ASSERT_TRUE(SaveDataFile(*doc, path, false, kSaveTime).ok);
    CMorvexDoc reread(adapt(), limits, info);
    ASSERT_TRUE(OpenDataFile(reread, path).ok);

    const LambdaDisplay raw{[&](uint16_t v) { return adapt().BOX_TO_PC_Lambda(v); }, DisplayFormat{0}};
    int recorded = 0;
    for (int grid = kGridLeft; grid <= kGridFuelConsumption; ++grid) {
        for (int k = 0; k < kCells; ++k) {
            ASSERT_EQ(cellText(reread, grid, k, raw), cellText(*doc, grid, k, raw)) << grid << " cell " << k;
            recorded += cellText(*doc, grid, k, raw).empty() ? 0 : 1;
        }
    }
    EXPECT_GT(recorded, 6 * 100);
    // Counts are kept in twenties.
    for (int k = 0; k < kCells; ++k) {
        ASSERT_EQ(reread.GetFloat(box::MEASURE_COUNTS, k), std::trunc(count(k) / 20.0f) * 20.0f);
    }
    for (int r = 0; r < kMinMaxRecords; ++r) {
        ASSERT_EQ(reread.GetMinMax(r).values, doc->GetMinMax(r).values) << "statistics record " << r;
    }
}
