// Restore points on disk: what a point holds when it is opened again, how
// the folder is kept small without losing the last state of any file.
#include "DocumentFixture.h"

#include "document/DataFile.h"
#include "document/DocDiff.h"
#include "document/MorvexDoc.h"
#include "document/RestorePoints.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace morvex::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::hours;
using std::chrono::milliseconds;
using std::chrono::system_clock;

// 2025-03-01 12:00:00 UTC.
const system_clock::time_point kStart = system_clock::from_time_t(1740830400);

class RestorePoints : public BoundAdapt {
protected:
    RestorePoints() : limits(shippedLimits()), store(dir.path() / "restore", [this] { return now; }) {}

    std::unique_ptr<CMorvexDoc> newDoc()
    {
        auto doc = std::make_unique<CMorvexDoc>(adapt(), limits, info);
        doc->OnNewDocument();
        return doc;
    }

    // Writes a point of a new document from `source` at `time`.
    fs::path pointAt(system_clock::time_point time, const fs::path& source)
    {
        now = time;
        auto doc = newDoc();
        const auto written = store.Write(*doc, RestoreReason::ReceiveAll, source);
        EXPECT_TRUE(written.ok) << written.error.message();
        return written.file;
    }

    static std::vector<fs::path> files(const std::vector<RestorePoint>& points)
    {
        std::vector<fs::path> result;
        for (const RestorePoint& p : points) {
            result.push_back(p.file);
        }
        return result;
    }

    TempDir dir;
    CLimits limits;
    CInfoRecords info;
    system_clock::time_point now = kStart;
    RestorePointStore store;
};

TEST_F(RestorePoints, APointOpensAsTheDocumentItWasWithoutChangingTheDocument)
{
    auto doc = newDoc();
    doc->GetBoxData(box::TAB_DDD_LINKS)[16 * 20 + 3] = 177;
    doc->SetWord(box::TAB_DZI, 4, 0x1234);
    doc->SetText(TextTable::SFI2, 7, "Quick");
    doc->SetFloat(rec::REC_IGNITION_T, 9, 12.5F);
    info.file.versions[1] = "dyno run 3";
    info.file.lastSave = platform::OleDateTime::fromParts({2024, 6, 2, 8, 30, 0});
    doc->SetFileErrorCode(fileerr::TAB_SFD_EX);
    doc->SetModifiedFlag(true);
    const CFileInfo before = info.file;

    now = kStart + milliseconds(42);
    const fs::path source = dir.path() / "tunes" / "Track day.M60";
    const auto written = store.Write(*doc, RestoreReason::ReceivePane, source);
    ASSERT_TRUE(written.ok) << written.error.message();
    EXPECT_EQ(written.file.filename(), "2025-03-01_12-00-00-042Z_receive-pane_Track day~" +
                                           [&] {
                                               char key[9];
                                               std::snprintf(key, sizeof key, "%08x", sourceKeyOf(source));
                                               return std::string(key);
                                           }() +
                                           ".M60");
    // The document is as it was: still modified, its own save date and code.
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->FileErrorCode(), fileerr::TAB_SFD_EX);
    EXPECT_EQ(info.file.lastSave.days, before.lastSave.days);

    // Opened as any data file, it holds every table, text and record, and
    // the file info it had; the source's full path is inside.
    CInfoRecords otherInfo;
    CMorvexDoc restored(adapt(), limits, otherInfo);
    const FileOutcome opened = OpenDataFile(restored, written.file);
    ASSERT_TRUE(opened.ok) << opened.message;
    EXPECT_TRUE(opened.message.empty());
    EXPECT_TRUE(CountTableDifferences(*doc, restored).empty());
    int fileInfoDifferences = 0;
    ForEachDifference(*doc, before, restored, otherInfo.file, [&](const DocDifference&) { ++fileInfoDifferences; });
    EXPECT_EQ(fileInfoDifferences, 0);
    EXPECT_EQ(otherInfo.file.lastSave.days, before.lastSave.days);
    platform::IniFile ini;
    std::error_code ec;
    ASSERT_TRUE(ini.load(written.file, ec));
    EXPECT_EQ(restorePointSource(ini), source);

    // The list reads it back from the name alone.
    const auto listed = store.List();
    ASSERT_EQ(listed.size(), 1U);
    EXPECT_EQ(listed[0].time, kStart + milliseconds(42));
    EXPECT_EQ(listed[0].reason, RestoreReason::ReceivePane);
    EXPECT_EQ(listed[0].sourceName, "Track day");
    EXPECT_EQ(listed[0].sourceKey, sourceKeyOf(source));
}

TEST_F(RestorePoints, KeepCopiesTheFileAboutToBeOverwrittenAndTheListIgnoresStrangers)
{
    const fs::path file = dir.path() / "Demo.M60";
    auto doc = newDoc();
    doc->GetBoxData(box::TAB_MTD)[5] = 99;
    ASSERT_TRUE(SaveDataFile(*doc, file, false, platform::OleDateTime::now()).ok);
    // A key this program does not write stays in the saved file and so in
    // the copy.
    {
        std::ofstream(file, std::ios::app) << "[Tuner]\r\nBike=red one\r\n";
    }
    const auto kept = store.Keep(file, RestoreReason::Save);
    ASSERT_TRUE(kept.ok) << kept.error.message();
    platform::IniFile copy;
    std::error_code ec;
    ASSERT_TRUE(copy.load(kept.file, ec));
    EXPECT_EQ(copy.getString("Tuner", "Bike"), "red one");
    EXPECT_EQ(restorePointSource(copy), file);
    CMorvexDoc restored(adapt(), limits, info);
    ASSERT_TRUE(OpenDataFile(restored, kept.file).ok);
    EXPECT_EQ(restored.GetBoxData(box::TAB_MTD)[5], 99);

    // Nothing to keep of a file that is not there yet; two points in one
    // millisecond both stay, the later one listed first.
    const auto none = store.Keep(dir.path() / "New.M60", RestoreReason::Save);
    EXPECT_TRUE(none.ok);
    EXPECT_TRUE(none.file.empty());
    const fs::path second = store.Keep(file, RestoreReason::Save).file;
    EXPECT_NE(second, kept.file);
    std::ofstream(dir.path() / "restore" / "notes.M60") << "x";
    std::ofstream(dir.path() / "restore" / "2025-03-01_12-00-00-000Z_bake_Demo~00000000.M60") << "x";
    EXPECT_EQ(files(store.List()), (std::vector<fs::path>{second, kept.file}));
}

TEST_F(RestorePoints, PruningKeepsTheNewestOfEveryFile)
{
    const fs::path a = dir.path() / "a" / "Race.M60";
    const fs::path b = dir.path() / "b" / "Race.M60"; // same name, another file
    const fs::path old = dir.path() / "Winter.M60";
    const fs::path winter = pointAt(kStart - hours(24 * 200), old);
    const fs::path untitled = pointAt(kStart - hours(24 * 100), {});
    const fs::path bOnly = pointAt(kStart - hours(24 * 95), b);
    std::vector<fs::path> race; // newest last
    for (int i = 0; i < 5; ++i) {
        race.push_back(pointAt(kStart - hours(24 * 91) + hours(i), a));
    }
    const fs::path recent = pointAt(kStart, a);
    ASSERT_EQ(store.List().size(), 9U);

    // Everything but `recent` is older than 90 days; only the newest point
    // of each of the four sources survives.
    now = kStart;
    const auto removed = store.Prune({.maxCount = 200, .maxAgeDays = 90});
    EXPECT_EQ(removed.size(), 5U);
    EXPECT_EQ(files(store.List()), (std::vector<fs::path>{recent, bOnly, untitled, winter}));

    // By count: two allowed, and each file's newest beyond them stays.
    std::vector<fs::path> later;
    for (int i = 1; i <= 4; ++i) {
        later.push_back(pointAt(kStart + hours(i), a));
    }
    EXPECT_EQ(store.Prune({.maxCount = 2, .maxAgeDays = 0}).size(), 3U);
    EXPECT_EQ(files(store.List()), (std::vector<fs::path>{later[3], later[2], bOnly, untitled, winter}));
}

} // namespace
} // namespace morvex::test
