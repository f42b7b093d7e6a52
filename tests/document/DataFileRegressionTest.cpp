// The data files kept in the source tree: the fuzzer's seed files in
// corpus/ (written by the program) and inputs that once broke the reader in
// regressions/. Every one is opened as the program opens a file.

#include "DocumentFixture.h"

#include "document/DataFile.h"
#include "document/MorvexDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace morvex::test {
namespace {

std::filesystem::path dataDir(const char* name)
{
    return std::filesystem::path(MORVEX_SOURCE_DIR) / "tests" / "document" / name;
}

// The regular files of `dir` in name order; none when it does not exist.
std::vector<std::filesystem::path> filesIn(const std::filesystem::path& dir)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class DataFileRegression : public BoundAdapt {
protected:
    DataFileRegression() : limits(shippedLimits()) {}

    // Saves `doc` to a new file, opens that again and expects the same
    // parameter set; the texts and the comment too unless the file was
    // damaged (a damaged text may come back normalised).
    void expectSurvivesSaveAndOpen(CMorvexDoc& doc, const std::filesystem::path& name, bool textsToo)
    {
        const auto copy = dir.path() / name.filename();
        const FileOutcome saved =
            SaveDataFile(doc, copy, false, platform::OleDateTime::fromParts({2024, 11, 2, 8, 15, 30}));
        ASSERT_TRUE(saved.ok) << saved.message;
        CInfoRecords reopenedInfo;
        CMorvexDoc reopened(adapt(), limits, reopenedInfo);
        const FileOutcome opened = OpenDataFile(reopened, copy);
        ASSERT_TRUE(opened.ok) << opened.message;
        EXPECT_EQ(opened.message, "");
        EXPECT_EQ(reopened.FileErrorCode(), 0u);

        const auto before = doc.BoxSpan(0, box::IGNITION_WORK_1);
        const auto after = reopened.BoxSpan(0, box::IGNITION_WORK_1);
        for (std::size_t i = 0; i < before.size(); ++i) {
            ASSERT_EQ(after[i], before[i]) << "box address " << i;
        }
        for (BoxAddress r : {rec::REC_IGNITION_T, rec::REC_IGNITION_P, rec::REC_FUEL_CONSUMPTION}) {
            for (int k = 0; k < kCells; ++k) {
                ASSERT_EQ(reopened.GetFloat(r, k), doc.GetFloat(r, k)) << "record " << r << " cell " << k;
            }
        }
        for (int k = 0; k < kCells; ++k) {
            ASSERT_EQ(reopened.GetBoxData(rec::REC_DATA_RECEIVED)[k], doc.GetBoxData(rec::REC_DATA_RECEIVED)[k]);
        }
        if (!textsToo) {
            return;
        }
        for (int t = 0; t < kTextTableCount; ++t) {
            for (int i = 0; i < kTextEntries; ++i) {
                EXPECT_EQ(reopened.Text(static_cast<TextTable>(t), i), doc.Text(static_cast<TextTable>(t), i))
                    << kTextTableSections[static_cast<std::size_t>(t)] << " " << i + 1;
            }
        }
        EXPECT_EQ(reopenedInfo.file.comment, info.file.comment);
        EXPECT_EQ(reopenedInfo.file.versions, info.file.versions);
    }

    CLimits limits;
    CInfoRecords info;
    TempDir dir;
};

// Written by the program: they open without an error or a correction and
// come back unchanged from a save.
TEST_F(DataFileRegression, SeedFilesOpenAndSurviveASave)
{
    const auto files = filesIn(dataDir("corpus"));
    // A new set, recorded data, the older format, a comment, a full set.
    ASSERT_GE(files.size(), 5u) << dataDir("corpus");
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        CMorvexDoc doc(adapt(), limits, info);
        const FileOutcome outcome = OpenDataFile(doc, path);
        ASSERT_TRUE(outcome.ok) << outcome.message;
        EXPECT_EQ(outcome.message, "");
        EXPECT_FALSE(doc.IsModified());
        expectSurvivesSaveAndOpen(doc, path, true);
    }
}

// Damaged files that once broke the reader: each either opens (and then
// survives a save) or fails with the data-file message; neither may crash.
TEST_F(DataFileRegression, DamagedFilesOpenOrFailCleanly)
{
    const auto files = filesIn(dataDir("regressions"));
    if (files.empty()) {
        GTEST_SKIP() << "no inputs in " << dataDir("regressions");
    }
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        CMorvexDoc doc(adapt(), limits, info);
        const FileOutcome outcome = OpenDataFile(doc, path);
        if (!outcome.ok) {
            EXPECT_EQ(outcome.message.rfind("Dateifehler : ", 0), 0u) << outcome.message;
            EXPECT_NE(doc.FileErrorCode(), 0u);
            continue;
        }
        expectSurvivesSaveAndOpen(doc, path, false);
    }
}

} // namespace
} // namespace morvex::test
