#include "DocumentFixture.h"
#include "RecordingMessages.h"

#include "document/DataFile.h"
#include "document/DocDiff.h"
#include "document/DocManager.h"
#include "document/FuelCorrection.h"
#include "document/MorvexDoc.h"
#include "document/RestorePoints.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace morvex::test {
namespace {

const platform::OleDateTime kSaveTime = platform::OleDateTime::fromParts({2026, 3, 1, 9, 30, 0});

class Correction : public BoundAdapt {
protected:
    Correction() : limits(shippedLimits()) {}

    std::unique_ptr<CMorvexDoc> newDoc()
    {
        auto doc = std::make_unique<CMorvexDoc>(adapt(), limits, info);
        doc->OnNewDocument();
        return doc;
    }
    std::unique_ptr<CMorvexDoc> open(const std::filesystem::path& path)
    {
        auto doc = std::make_unique<CMorvexDoc>(adapt(), limits, info);
        EXPECT_TRUE(OpenDataFile(*doc, path).ok) << path;
        return doc;
    }
    static std::string fileText(const std::filesystem::path& path)
    {
        platform::IniFile file;
        std::error_code ec;
        EXPECT_TRUE(file.load(path, ec));
        return file.text();
    }

    // A ride's recording of one cylinder in cell k; the test's sensor reads
    // lambda as box value / 1000.
    static void record(CMorvexDoc& doc, int cylinder, int k, double lambda, float samples)
    {
        doc.SetWord(cylinder == 0 ? box::LAMBDA_RECORD_LEFT : box::LAMBDA_RECORD_RIGHT, k,
                    static_cast<uint16_t>(lambda * 1000.0 + 0.5));
        doc.GetBoxData(box::LAMBDA_FLAGS)[2 * k + cylinder] = 1;
        doc.SetFloat(box::MEASURE_COUNTS, k, samples);
    }
    static double sensor(uint16_t raw) { return raw / 1000.0; }

    CLimits limits;
    CInfoRecords info;
    TempDir dir;
};

TEST_F(Correction, LeanCellsRiseByTheirRatioWithinTheLimitOthersStay)
{
    auto doc = newDoc();
    std::fill_n(doc->GetBoxData(box::TAB_DDD_LINKS), 512, uint8_t{100});
    std::fill_n(doc->GetBoxData(box::TAB_DDD_RECHTS), 512, uint8_t{80});
    record(*doc, 0, 0, 1.10, 40); // 10 % lean
    record(*doc, 0, 1, 1.05, 40);
    record(*doc, 0, 2, 1.25, 40);  // beyond the 10 % of one pass
    record(*doc, 0, 3, 1.10, 19);  // too few samples
    record(*doc, 0, 4, 1.10, 400); // locked
    record(*doc, 0, 5, 1.35, 400); // outside the window
    record(*doc, 0, 6, 0.92, 60);  // rich
    record(*doc, 0, 7, 1.05, 60);  // on its own target
    ASSERT_TRUE(doc->SetTargetLambda(0, 7, 1.05));
    doc->GetBoxData(FuelMapAddress(0, 8))[0] = 240;
    record(*doc, 0, 8, 1.10, 60); // 264 limited to the map's 250
    record(*doc, 1, 0, 0.95, 40); // the right sensor sees its own cylinder rich
    record(*doc, 1, 9, 1.10, 40);
    doc->SetModifiedFlag(false);
    LockedCells locked;
    locked[0].set(4);

    const CorrectionProposal p = ProposeCorrection(*doc, {}, locked, sensor);
    ASSERT_EQ(p.cells.size(), 512u);
    EXPECT_EQ(p.cells[3].outcome, CellOutcome::TooFewSamples);
    EXPECT_EQ(p.cells[4].outcome, CellOutcome::Locked);
    EXPECT_EQ(p.cells[5].outcome, CellOutcome::OutsideWindow);
    EXPECT_EQ(p.cells[7].outcome, CellOutcome::Unchanged);
    EXPECT_EQ(p.cells[10].outcome, CellOutcome::NotRecorded);
    EXPECT_EQ(p.count(CellOutcome::Changed), 7);
    EXPECT_EQ(p.cells[256 + 0].oldValue, 80);

    // Nothing changes before the proposal is applied.
    EXPECT_EQ(doc->GetBoxData(FuelMapAddress(0, 0))[0], 100);
    EXPECT_EQ(ApplyCorrection(*doc, p), 7);
    EXPECT_TRUE(doc->IsModified());
    std::array<uint8_t, 512> left{};
    std::array<uint8_t, 512> right{};
    left.fill(100);
    right.fill(80);
    left[256 + 0] = 110;
    left[256 + 1] = 105;
    left[256 + 2] = 110;
    left[256 + 6] = 92;
    left[256 + 8] = 250;
    right[256 + 0] = 76;
    right[256 + 9] = 88;
    EXPECT_TRUE(std::equal(left.begin(), left.end(), doc->GetBoxData(box::TAB_DDD_LINKS)));
    EXPECT_TRUE(std::equal(right.begin(), right.end(), doc->GetBoxData(box::TAB_DDD_RECHTS)));

    // Lambda correction mode: the right map is the box's correction map.
    CorrectionSettings leftOnly;
    leftOnly.leftOnly = true;
    leftOnly.limitPercent = 3.0;
    leftOnly.minSamples = 50;
    const CorrectionProposal q = ProposeCorrection(*doc, leftOnly, {}, sensor);
    EXPECT_EQ(q.cells.size(), 256u);
    EXPECT_EQ(q.cells[0].outcome, CellOutcome::TooFewSamples);
    EXPECT_EQ(q.cells[4].proposed, 103); // 1.10 x 100, three per cent per pass
    EXPECT_EQ(q.cells[6].proposed, 89);  // 0.92 x 92 = 84.6, limited to 89.24
    ApplyCorrection(*doc, q);
    EXPECT_TRUE(std::equal(right.begin(), right.end(), doc->GetBoxData(box::TAB_DDD_RECHTS)));
}

TEST_F(Correction, RecordedFileProposesTheSame)
{
    // Counts survive a file in steps of 20: 40 stays, 39 becomes 20.
    auto doc = newDoc();
    std::fill_n(doc->GetBoxData(box::TAB_DDD_LINKS), 512, uint8_t{50});
    record(*doc, 0, 20, 1.10, 40);
    record(*doc, 0, 21, 1.10, 39);
    const auto path = dir.path() / "ride.M60";
    ASSERT_TRUE(SaveDataFile(*doc, path, false, kSaveTime).ok);
    CorrectionSettings settings;
    settings.minSamples = 40;
    const CorrectionProposal p = ProposeCorrection(*open(path), settings, {}, sensor);
    EXPECT_EQ(p.cells[20].proposed, 55);
    EXPECT_EQ(p.cells[21].outcome, CellOutcome::TooFewSamples);
    EXPECT_EQ(p.count(CellOutcome::Changed), 1);
}

TEST_F(Correction, TargetsSurviveSaveSaveInPlaceReloadAndRestorePoints)
{
    auto doc = newDoc();
    EXPECT_FALSE(doc->SetTargetLambda(0, 1, 2.5));
    EXPECT_FALSE(doc->SetTargetLambda(0, 1, 0.3));
    EXPECT_FALSE(doc->SetTargetLambda(2, 1, 1.0));
    EXPECT_FALSE(doc->SetTargetLambda(0, 256, 1.0));
    EXPECT_FALSE(doc->IsModified());
    ASSERT_TRUE(doc->SetTargetLambda(0, 0, 0.95));
    ASSERT_TRUE(doc->SetTargetLambda(1, 255, 1.049)); // hundredths
    EXPECT_TRUE(doc->IsModified());
    EXPECT_DOUBLE_EQ(doc->TargetLambda().Get(1, 255), 1.05);
    EXPECT_DOUBLE_EQ(doc->TargetLambda().Get(1, 0), 1.00);

    const auto path = dir.path() / "tune.M60";
    ASSERT_TRUE(SaveDataFile(*doc, path, false, kSaveTime).ok);
    platform::IniFile saved = platform::IniFile::fromText(fileText(path));
    EXPECT_EQ(saved.getString(kTargetLambdaSection, "LI16").substr(0, 8), "095,100,");
    EXPECT_EQ(saved.getString(kTargetLambdaSection, "RE01").substr(56), "100,105");

    // Every existing table reads as it did without the section.
    platform::IniFile without = saved;
    ASSERT_TRUE(without.removeSection(kTargetLambdaSection));
    auto plain = std::make_unique<CMorvexDoc>(adapt(), limits, info);
    ASSERT_TRUE(ReadDataFile(without, *plain));
    auto withTargets = open(path);
    std::vector<std::string> differences;
    ForEachDifference(*plain, info.file, *withTargets, info.file,
                      [&](const DocDifference& d) { differences.push_back(std::string(d.name) + " " + std::to_string(d.index)); });
    EXPECT_EQ(differences, (std::vector<std::string>{"TargetLambda left 0", "TargetLambda right 255"}));

    // Save in place keeps foreign sections and writes the new targets.
    saved.setString("DynoNotes", "Run1", "92 hp");
    std::error_code ec;
    ASSERT_TRUE(saved.save(path, ec));
    withTargets->SetTargetLambda(0, 17, 0.9);
    ASSERT_TRUE(SaveDataFile(*withTargets, path, true, kSaveTime).ok);
    auto again = open(path);
    EXPECT_DOUBLE_EQ(again->TargetLambda().Get(0, 17), 0.90);
    EXPECT_DOUBLE_EQ(again->TargetLambda().Get(0, 0), 0.95);
    EXPECT_EQ(platform::IniFile::fromText(fileText(path)).getString("DynoNotes", "Run1"), "92 hp");

    // Reload brings the saved targets back over an edit.
    CMorvexDoc shown(adapt(), limits, info);
    RecordingMessages messages;
    CMorvexDocManager manager(shown, messages, dir.path(), false);
    ASSERT_TRUE(manager.OpenDocumentFile(path));
    shown.SetTargetLambda(0, 17, 1.2);
    ASSERT_TRUE(manager.Reload());
    EXPECT_DOUBLE_EQ(shown.TargetLambda().Get(0, 17), 0.90);

    // A restore point is a data file with the targets.
    RestorePointStore store(dir.path() / "restore");
    const auto point = store.Write(shown, RestoreReason::Save, path);
    ASSERT_TRUE(point.ok);
    EXPECT_TRUE(open(point.file)->TargetLambda() == shown.TargetLambda());

    // Targets set back to 1.00 take the section out of the file in place.
    for (int k : {0, 17}) {
        shown.SetTargetLambda(0, k, 1.0);
    }
    shown.SetTargetLambda(1, 255, 1.0);
    ASSERT_TRUE(SaveDataFile(shown, path, true, kSaveTime).ok);
    EXPECT_FALSE(platform::IniFile::fromText(fileText(path)).hasSection(kTargetLambdaSection));
}

TEST_F(Correction, DamagedTargetRowReadsAsDefaultWithoutFailingTheFile)
{
    auto doc = newDoc();
    doc->SetTargetLambda(0, 0, 0.9);
    doc->SetTargetLambda(0, 16, 0.8);
    platform::IniFile file;
    ASSERT_TRUE(WriteDataFile(file, *doc, kSaveTime));
    file.setString(kTargetLambdaSection, "LI16", "090,1x0");
    file.setString(kTargetLambdaSection, "RE16", "090," + std::string(59, '9'));
    auto read = std::make_unique<CMorvexDoc>(adapt(), limits, info);
    ASSERT_TRUE(ReadDataFile(file, *read));
    EXPECT_EQ(read->FileErrorCode(), fileerr::None);
    EXPECT_DOUBLE_EQ(read->TargetLambda().Get(0, 0), 1.0);
    EXPECT_DOUBLE_EQ(read->TargetLambda().Get(1, 0), 1.0);
    EXPECT_DOUBLE_EQ(read->TargetLambda().Get(0, 16), 0.8);
}

TEST_F(Correction, LockedCellsAreKeptInTheFileAndLeftAloneByTheProposal)
{
    auto doc = newDoc();
    for (int k : {0, 1}) {
        *doc->GetBoxData(FuelMapAddress(0, k)) = 100;
        record(*doc, 0, k, 1.10, 40.0F);
    }
    EXPECT_FALSE(doc->SetCorrectionLocked(2, 0, true));
    ASSERT_TRUE(doc->SetCorrectionLocked(0, 1, true));
    ASSERT_TRUE(doc->SetCorrectionLocked(1, 255, true));
    EXPECT_TRUE(doc->IsModified());

    const auto path = dir.path() / "locked.M60";
    ASSERT_TRUE(SaveDataFile(*doc, path, false, kSaveTime).ok);
    platform::IniFile saved = platform::IniFile::fromText(fileText(path));
    EXPECT_EQ(saved.getString(kCorrectionLocksSection, "LI16"), "0100000000000000");
    EXPECT_EQ(saved.getString(kCorrectionLocksSection, "RE01"), "0000000000000001");
    auto read = open(path);
    EXPECT_TRUE(read->CorrectionLocks() == doc->CorrectionLocks());
    const CorrectionProposal p = ProposeCorrection(*read, {}, read->CorrectionLocks().cells(), sensor);
    EXPECT_EQ(p.cells[0].outcome, CellOutcome::Changed);
    EXPECT_EQ(p.cells[1].outcome, CellOutcome::Locked);
    EXPECT_EQ(p.cells[1].proposed, 100);

    // A damaged row reads unlocked without failing the file; lifting every
    // lock takes the section out of the file saved in place.
    saved.setString(kCorrectionLocksSection, "LI16", "01x");
    ASSERT_TRUE(ReadDataFile(saved, *read));
    EXPECT_EQ(read->FileErrorCode(), fileerr::None);
    EXPECT_FALSE(read->CorrectionLocks().IsLocked(0, 1));
    EXPECT_TRUE(read->CorrectionLocks().IsLocked(1, 255));
    read->SetCorrectionLocked(1, 255, false);
    ASSERT_TRUE(SaveDataFile(*read, path, true, kSaveTime).ok);
    EXPECT_FALSE(platform::IniFile::fromText(fileText(path)).hasSection(kCorrectionLocksSection));
}

} // namespace
} // namespace morvex::test
