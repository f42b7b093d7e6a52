#include "DocumentFixture.h"
#include "RecordingMessages.h"

#include "document/DataFile.h"
#include "document/DocManager.h"
#include "document/MorvexDoc.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <random>

namespace morvex::test {
namespace {

std::string readAll(const std::filesystem::path& p)
{
    std::string bytes;
    std::error_code ec;
    EXPECT_TRUE(platform::readWholeFile(p, bytes, ec)) << ec.message();
    return bytes;
}

void writeAll(const std::filesystem::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

const platform::OleDateTime kSaveTime = platform::OleDateTime::fromParts({2025, 12, 24, 13, 45, 7});

class DataFile : public BoundAdapt {
protected:
    DataFile() : limits(shippedLimits()) {}

    std::unique_ptr<CMorvexDoc> newDoc()
    {
        auto doc = std::make_unique<CMorvexDoc>(adapt(), limits, info);
        doc->OnNewDocument();
        return doc;
    }

    // A new document written to text.
    std::string newDocText()
    {
        auto doc = newDoc();
        platform::IniFile file;
        EXPECT_TRUE(WriteDataFile(file, *doc, kSaveTime));
        return file.text();
    }

    // Reads `text` as a data file into a fresh document.
    std::unique_ptr<CMorvexDoc> readText(const std::string& text, bool expectOk = true)
    {
        auto doc = std::make_unique<CMorvexDoc>(adapt(), limits, info);
        doc->DeleteContents();
        EXPECT_EQ(ReadDataFile(platform::IniFile::fromText(text), *doc), expectOk);
        return doc;
    }

    static std::string replaced(std::string text, const std::string& from, const std::string& to)
    {
        const auto pos = text.find(from);
        EXPECT_NE(pos, std::string::npos) << from;
        if (pos != std::string::npos) {
            text.replace(pos, from.size(), to);
        }
        return text;
    }

    CLimits limits;
    CInfoRecords info;
    TempDir dir;
};

TEST_F(DataFile, WorkedExample)
{
    auto doc = newDoc();
    doc->GetBoxData(rec::REC_DATA_RECEIVED)[0] = 0x12;
    doc->GetBoxData(rec::REC_DATA_RECEIVED)[1] = 0xAB;
    info.file.comment = "first\r\nsecond";
    platform::IniFile file;
    ASSERT_TRUE(WriteDataFile(file, *doc, kSaveTime));
    const std::string text = file.text();
    EXPECT_NE(text.find("[PARAMETERS]\r\n32=006,005,000,000,000,000,000,000,000,000,000,000,000,000,000,000\r\n"),
              std::string::npos);
    EXPECT_EQ(file.getString("DataRecords", "DataReceived", {}, 4095).substr(0, 6), "CBLKAA");
    EXPECT_EQ(file.getString("FileComment", "CommentLines"), "2");
    EXPECT_EQ(file.getString("FileComment", "Comment1"), "first");
    EXPECT_EQ(file.getString("FileComment", "Comment2"), "second");
    EXPECT_EQ(file.getString("FileInfo", "LastSave"), "24.12.2025 13:45:07");
    // Sections in the order of writing, rows top row last.
    EXPECT_LT(text.find("[FileInfo]"), text.find("[FileComment]"));
    EXPECT_LT(text.find("[TAB_SFD_INT16]"), text.find("[TAB_DDZ_LINKS]"));
    EXPECT_LT(text.find("[TAB_RES]"), text.find("[TAB_TXT_SFI1]"));
    EXPECT_LT(text.find("[TAB_TXT_EX2]"), text.find("[DataRecords]"));
    EXPECT_LT(text.find("\r\n32=", text.find("[TAB_DDD_LINKS]")), text.find("\r\n01=", text.find("[TAB_DDD_LINKS]")));
    EXPECT_EQ(file.getString("TAB_TXT_SFI2", "03"), "IGMN");
    EXPECT_EQ(file.getString("TAB_DKI", "HI"), "000,000,001,001,002,003,003,004,004,005,006,006,007,008,008,009,"
                                               "009,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000");
}

// Every table and record survives a save and a load.
TEST_F(DataFile, RoundTripOfEveryTableAndRecord)
{
    auto doc = newDoc();
    std::mt19937 random(7);
    auto byte = [&](int max) { return static_cast<uint8_t>(random() % static_cast<unsigned>(max + 1)); };
    const auto image = doc->BoxSpan(0, kBoxImageSize);
    for (BoxAddress a = 0; a < box::LAMBDA_VALUES_LEFT; ++a) {
        image[static_cast<std::size_t>(a)] = byte(255);
    }
    for (BoxAddress map : {box::TAB_DDD_LINKS, box::TAB_DDD_RECHTS, box::TAB_DDZ_LINKS, box::TAB_DDZ_RECHTS}) {
        for (std::size_t i = 0; i < kMapBytes; ++i) {
            image[static_cast<std::size_t>(map) + i] = byte(250);
        }
    }
    for (int k = 0; k < kCells; ++k) {
        doc->SetFloat(box::MEASURE_COUNTS, k, static_cast<float>(20 * (random() % 1000)));
        doc->SetFloat(rec::REC_IGNITION_T, k, static_cast<float>(random() % 100000) / 1000.0f);
        doc->SetFloat(rec::REC_IGNITION_P, k, -static_cast<float>(random() % 1000) / 10.0f);
        doc->SetFloat(rec::REC_FUEL_CONSUMPTION, k, static_cast<float>(random() % 500) / 10.0f);
        doc->GetBoxData(rec::REC_DATA_RECEIVED)[k] = byte(7);
    }
    for (std::size_t i = 0; i < 512; ++i) {
        image[box::LAMBDA_FLAGS + i] = byte(1);
    }
    // Between PARAMETERS and the ignition maps lies memory no file stores.
    std::fill(image.begin() + box::PARAMETERS + 16, image.begin() + box::TAB_DDZ_LINKS, uint8_t{0});
    // Statistics as recording leaves them: some values set, the rest at the
    // empty bounds; and a count at its cap.
    for (int r = 0; r < kMinMaxRecords; ++r) {
        MinMaxRecord m = MinMaxRecord::empty();
        m.values[static_cast<std::size_t>(r % 8)] = 0.125f * static_cast<float>(r) - 1.0f;
        doc->SetMinMax(r, m);
    }
    doc->SetMinMax(3, MinMaxRecord{{1.f, 2.f, 3.f, 4.f, 5.f, 6.f, -7.f, 8.f}});
    doc->SetFloat(box::MEASURE_COUNTS, 5, 199980.0f);
    doc->SetText(TextTable::EX2, 31, "Boost \xB0"
                                     "C");
    doc->SetText(TextTable::SFI1, 0, "12345678901234567890");
    info.file.versions = {"v1.2", "ZB-60", "Duc 900"};
    info.file.comment = "line one\r\n\r\nline three";
    doc->ComputeLambdaValues();
    doc->ConvertIndexTables();

    const auto path = dir.path() / "tune.M60";
    ASSERT_TRUE(SaveDataFile(*doc, path, false, kSaveTime).ok);
    info.Clear();
    auto loaded = std::make_unique<CMorvexDoc>(adapt(), limits, info);
    const FileOutcome outcome = OpenDataFile(*loaded, path);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.message, "");
    EXPECT_FALSE(loaded->IsModified());

    const auto original = doc->BoxSpan(0, box::IGNITION_WORK_1);
    const auto reread = loaded->BoxSpan(0, box::IGNITION_WORK_1);
    for (std::size_t i = 0; i < original.size(); ++i) {
        ASSERT_EQ(reread[i], original[i]) << "box address " << i;
    }
    for (BoxAddress r : {rec::REC_IGNITION_T, rec::REC_IGNITION_P, rec::REC_FUEL_CONSUMPTION}) {
        for (int k = 0; k < kCells; ++k) {
            ASSERT_EQ(loaded->GetFloat(r, k), doc->GetFloat(r, k));
        }
    }
    for (int k = 0; k < kCells; ++k) {
        ASSERT_EQ(loaded->GetBoxData(rec::REC_DATA_RECEIVED)[k], doc->GetBoxData(rec::REC_DATA_RECEIVED)[k]);
    }
    for (int t = 0; t < kTextTableCount; ++t) {
        for (int i = 0; i < kTextEntries; ++i) {
            EXPECT_EQ(loaded->Text(static_cast<TextTable>(t), i), doc->Text(static_cast<TextTable>(t), i));
        }
    }
    EXPECT_EQ(loaded->IndexText(IndexTable::DZI, 3), doc->IndexText(IndexTable::DZI, 3));
    EXPECT_EQ(info.file.versions, (std::array<std::string, 3>{"v1.2", "ZB-60", "Duc 900"}));
    EXPECT_EQ(info.file.comment, "line one\r\n\r\nline three");
    EXPECT_EQ(info.file.lastSave, kSaveTime);
}

TEST_F(DataFile, SaveInPlaceKeepsForeignKeysSaveAsStartsEmpty)
{
    const auto path = dir.path() / "tune.M60";
    writeAll(path, newDocText() + "[DynoNotes]\r\nRun1=92 hp\r\n");
    platform::IniFile edited = platform::IniFile::fromText(readAll(path));
    edited.setString("TAB_DDD_LINKS", "Tuner", "Anna");
    std::error_code ec;
    ASSERT_TRUE(edited.save(path, ec));

    auto doc = newDoc();
    ASSERT_TRUE(OpenDataFile(*doc, path).ok);
    doc->GetBoxData(box::TAB_DDD_LINKS)[0] = 99;
    doc->SetModifiedFlag();
    ASSERT_TRUE(SaveDataFile(*doc, path, true, kSaveTime).ok);
    EXPECT_FALSE(doc->IsModified());
    platform::IniFile saved;
    ASSERT_TRUE(saved.load(path, ec));
    EXPECT_EQ(saved.getString("DynoNotes", "Run1"), "92 hp");
    EXPECT_EQ(saved.getString("TAB_DDD_LINKS", "Tuner"), "Anna");
    EXPECT_EQ(saved.getString("TAB_DDD_LINKS", "32").substr(0, 4), "099,");

    const auto copy = dir.path() / "copy.M60";
    writeAll(copy, "[Old]\r\nJunk=1\r\n");
    ASSERT_TRUE(SaveDataFile(*doc, copy, false, kSaveTime).ok);
    EXPECT_EQ(readAll(copy).find("[Old]"), std::string::npos);
}

TEST_F(DataFile, FailedSaveKeepsOldFileAndModifiedFlag)
{
    const auto path = dir.path() / "tune.M60";
    const std::string before = newDocText();
    writeAll(path, before);
    auto doc = newDoc();
    doc->SetModifiedFlag();
    // A folder where the file should go: the save cannot succeed.
    const auto blocked = dir.path() / "blocked.M60";
    std::filesystem::create_directory(blocked);
    const FileOutcome outcome = SaveDataFile(*doc, blocked, false, kSaveTime);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "Dateifehler : 100\nDatei: " + blocked.string() +
                                   "\n\nFehler beim Schreiben der Datei!\nDatei fehlerhaft!");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(readAll(path), before);
}

TEST_F(DataFile, OlderFilesWithoutLaterSectionsOpen)
{
    std::string text = newDocText();
    for (const char* section : {"[TAB_SFD_EX]", "[TAB_SFD_INT16]", "[PARAMETERS]", "[TAB_TXT_EX]", "[TAB_TXT_EX2]"}) {
        auto file = platform::IniFile::fromText(text);
        const std::string name(section + 1, std::strlen(section) - 2);
        ASSERT_TRUE(file.removeSection(name));
        text = file.text();
    }
    auto doc = readText(text);
    EXPECT_EQ(doc->TextCutCounter(), 0u);
    EXPECT_EQ(doc->GetBoxData(box::TAB_SFD_EX)[5], 0);
    EXPECT_EQ(doc->Text(TextTable::EX, 6), "07");
    EXPECT_EQ(doc->Text(TextTable::EX2, 31), "32");
    EXPECT_EQ(doc->GetBoxData(box::PARAMETERS)[0], 6);
    // The last of the tolerated failures is kept, not shown; missing texts
    // are no failure, they read as their key numbers.
    EXPECT_EQ(doc->FileErrorCode(), 1250u);
}

TEST_F(DataFile, MalformedTablesFailWithTheirCode)
{
    const std::string good = newDocText();
    struct Case {
        std::string from, to;
        uint32_t code;
    };
    const std::vector<Case> cases{
        // one value with four digits: the row is one character too long
        {"[TAB_DDD_LINKS]\r\n32=000,", "[TAB_DDD_LINKS]\r\n32=0000,", 100},
        {"[TAB_DDD_RECHTS]\r\n32=", "[TAB_DDD_RECHTS]\r\n32x=", 200},
        {"[TAB_LAD]\r\nLI=000,", "[TAB_LAD]\r\nLI=00,", 700},
        // three numbers run together: 30 numbers
        {"[TAB_INFO]\r\nLI=000,000,", "[TAB_INFO]\r\nLI=00000000", 1000},
        // a semicolon joins two numbers into one piece: 15 numbers
        {"[TAB_DDZ_RECHTS]\r\n32=000,", "[TAB_DDZ_RECHTS]\r\n32=000;", 1200},
        {"[TAB_LAI]\r\nHI=", "[TAB_LAI]\r\nHJ=", 1900},
        {"[TAB_RES]\r\nHI=", "[TAB_RES]\r\nH1=", 2000},
    };
    for (const Case& c : cases) {
        auto doc = readText(replaced(good, c.from, c.to), false);
        EXPECT_EQ(doc->FileErrorCode(), c.code) << c.to;
    }
    // A lowercase key name still matches: names are case-insensitive.
    auto doc = readText(replaced(good, "[TAB_LDI]\r\nHI=", "[tab_ldi]\r\nhi="));
    EXPECT_EQ(doc->FileErrorCode(), 0u);
}

TEST_F(DataFile, ValuesAreLimitedAndTextsCut)
{
    std::string text = replaced(newDocText(), "[TAB_DDD_LINKS]\r\n32=000,000", "[TAB_DDD_LINKS]\r\n32=251,255");
    text = replaced(text, "[TAB_MTD]\r\nLI=000", "[TAB_MTD]\r\nLI=256");
    text = replaced(text, "[TAB_LTD]\r\nLI=000", "[TAB_LTD]\r\nLI=253");
    text = replaced(text, "\r\n07=S 07\r\n", "\r\n07=ABCDEFGHIJKLMNOPQRSTUVWXY\r\n");
    const auto path = dir.path() / "bad.M60";
    writeAll(path, text);

    auto doc = newDoc();
    const FileOutcome outcome = OpenDataFile(*doc, path);
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(doc->GetBoxData(box::TAB_DDD_LINKS)[0], 250);
    EXPECT_EQ(doc->GetBoxData(box::TAB_DDD_LINKS)[1], 250);
    EXPECT_EQ(doc->GetBoxData(box::TAB_MTD)[0], 0);   // 256: low byte
    EXPECT_EQ(doc->GetBoxData(box::TAB_LTD)[0], 253); // not a map: kept
    EXPECT_EQ(doc->Text(TextTable::SFI1, 6), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(outcome.message, "Errors in Data File!\n2 value(s) greater than 250. Limited to 250.\n"
                               "1 text(s) too long. Cut at limit.\nAll errors corrected.\n\n");
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(DataFile, TextsEndAtANul)
{
    auto doc = readText(replaced(newDocText(), "\r\n03=W 03\r\n", std::string("\r\n03=END\0\0GIP\r\n", 16)));
    EXPECT_EQ(doc->Text(TextTable::EX, 2), "END");
    EXPECT_EQ(doc->TextCutCounter(), 0u);
}

TEST_F(DataFile, CountsAreStoredInTwenties)
{
    auto doc = newDoc();
    doc->SetFloat(box::MEASURE_COUNTS, 0, 39.0f);
    doc->SetFloat(box::MEASURE_COUNTS, 1, 40.0f);
    platform::IniFile file;
    ASSERT_TRUE(WriteDataFile(file, *doc, kSaveTime));
    const std::string count = file.getString("DataRecords", "Count", {}, 4095);
    EXPECT_EQ(count.substr(0, 8), "BAAACAAA"); // 1, then 2, little-endian

    std::string withOne = count;
    withOne.replace(0, 4, "BAAA");
    auto reread = readText(replaced(file.text(), count, withOne));
    EXPECT_FLOAT_EQ(reread->GetFloat(box::MEASURE_COUNTS, 0), 20.0f);
    EXPECT_FLOAT_EQ(reread->GetFloat(box::MEASURE_COUNTS, 1), 40.0f);
}

TEST_F(DataFile, DamagedRecordsAreReset)
{
    auto doc = newDoc();
    doc->SetFloat(rec::REC_IGNITION_T, 0, 3.5f);
    doc->SetWord(box::LAMBDA_RECORD_LEFT, 0, 400);
    platform::IniFile file;
    ASSERT_TRUE(WriteDataFile(file, *doc, kSaveTime));
    std::string text = file.text();
    const std::string ignition = file.getString("DataRecords", "Ignition_T", {}, 4095);
    const std::string lambda = file.getString("DataRecords", "Lambda", {}, 4095);
    text = replaced(text, ignition, ignition.substr(0, 2047));          // one letter short
    text = replaced(text, lambda, "Z" + lambda.substr(1) + "ABAB");     // a letter outside A..P
    const std::string mm = file.getString("DataRecords", "MM", {}, 4095);
    text = replaced(text, mm, mm + "PPPP"); // surplus letters are ignored
    auto reread = readText(text);
    EXPECT_FLOAT_EQ(reread->GetFloat(rec::REC_IGNITION_T, 0), 0.0f);
    EXPECT_EQ(reread->GetWord(box::LAMBDA_RECORD_LEFT, 0), 0);
    EXPECT_EQ(reread->FileErrorCode(), 0u);
    EXPECT_EQ(reread->GetMinMax(13).values, MinMaxRecord::empty().values);
}

TEST_F(DataFile, CommentKeysFollowTheComment)
{
    const auto path = dir.path() / "c.M60";
    auto doc = newDoc();
    info.file.comment = "1\r\n2\r\n3\r\n4\r\n5";
    ASSERT_TRUE(SaveDataFile(*doc, path, false, kSaveTime).ok);
    info.file.comment = "a\r\nb";
    ASSERT_TRUE(SaveDataFile(*doc, path, true, kSaveTime).ok);
    platform::IniFile file;
    std::error_code ec;
    ASSERT_TRUE(file.load(path, ec));
    EXPECT_EQ(file.keyNames("FileComment"), (std::vector<std::string>{"CommentLines", "Comment1", "Comment2"}));

    info.file.comment.clear();
    ASSERT_TRUE(SaveDataFile(*doc, path, true, kSaveTime).ok);
    ASSERT_TRUE(file.load(path, ec));
    EXPECT_EQ(file.keyNames("FileComment"), (std::vector<std::string>{"CommentLines"}));
    EXPECT_EQ(file.getString("FileComment", "CommentLines"), "0");

    for (const char* lines : {"0", "1"}) {
        readText(replaced(newDocText(), "CommentLines=0", std::string("CommentLines=") + lines + "\r\nComment1=solo"));
        EXPECT_EQ(info.file.comment, "solo") << lines;
    }
    // A damaged line count does not keep the program busy.
    readText(replaced(newDocText(), "CommentLines=0", "CommentLines=2000000000"));
    EXPECT_EQ(info.file.comment.size(), 2u * 999);
}

TEST_F(DataFile, UnreadableFilesFailTheOpen)
{
    auto doc = newDoc();
    const auto garbage = dir.path() / "garbage.M60";
    std::string bytes;
    for (int i = 0; i < 100000; ++i) {
        bytes += static_cast<char>((i * 7919) % 256);
    }
    writeAll(garbage, bytes);
    FileOutcome outcome = OpenDataFile(*doc, garbage);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "Dateifehler : 100\nDatei: " + garbage.string() +
                                   "\n\nFehler beim Einlesen der Datei!\nDaten fehlerhaft!");

    EXPECT_FALSE(OpenDataFile(*doc, dir.path() / "missing.M60").ok);
    EXPECT_FALSE(OpenDataFile(*doc, dir.path()).ok); // a folder

    const auto longLine = dir.path() / "long.M60";
    writeAll(longLine, "[TAB_DDD_LINKS]\r\n32=" + std::string(10 * 1024 * 1024, '1') + "\r\n");
    EXPECT_FALSE(OpenDataFile(*doc, longLine).ok);
}

class DocManager : public DataFile {
protected:
    DocManager() : doc(adapt(), limits, info), manager(doc, messages, dir.path() / "DATA", false)
    {
        doc.OnNewDocument();
    }
    CMorvexDoc doc;
    RecordingMessages messages;
    CMorvexDocManager manager;
};

TEST_F(DocManager, FailedOpenLeavesTheDocumentAsItWas)
{
    const auto good = dir.path() / "good.M60";
    writeAll(good, newDocText());
    ASSERT_TRUE(manager.OpenDocumentFile(good));
    const auto bad = dir.path() / "bad.M60";
    writeAll(bad, replaced(newDocText(), "[TAB_DZI]\r\nHI=", "[TAB_DZI]\r\nHI=1,"));
    doc.GetBoxData(box::TAB_DDD_LINKS)[3] = 42;
    info.file.comment = "mine";
    doc.SetModifiedFlag();
    EXPECT_FALSE(manager.OpenDocumentFile(bad));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, platform::UserMessage::Icon::Stop);
    EXPECT_NE(messages.shown[0].text.find("Dateifehler : 1300"), std::string::npos);
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDD_LINKS)[3], 42);
    EXPECT_EQ(info.file.comment, "mine");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(manager.PathName(), good);
}

TEST_F(DocManager, ReloadAsksAndReadsTheFileAgain)
{
    const auto path = dir.path() / "tune.M60";
    writeAll(path, newDocText());
    ASSERT_TRUE(manager.OpenDocumentFile(path));
    EXPECT_FALSE(manager.CanReload()); // nothing to lose
    doc.GetBoxData(box::TAB_DDZ_LINKS)[0] = 17;
    doc.SetModifiedFlag();
    ASSERT_TRUE(manager.CanReload());

    messages.answers.push_back(platform::UserAnswer::Cancel);
    EXPECT_FALSE(manager.Reload());
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDZ_LINKS)[0], 17);
    EXPECT_EQ(messages.shown.back().text, "Do you really want to reload this file?\n\n"
                                          "All changes since last save will be lost!\n");
    EXPECT_EQ(messages.shown.back().buttons, platform::UserMessage::Buttons::OkCancel);

    EXPECT_TRUE(manager.Reload());
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDZ_LINKS)[0], 0);
    EXPECT_FALSE(doc.IsModified());

    // A reload that fails keeps the edits marked as unsaved.
    doc.GetBoxData(box::TAB_DDZ_LINKS)[0] = 18;
    doc.SetModifiedFlag();
    std::filesystem::remove(path);
    EXPECT_FALSE(manager.Reload());
    EXPECT_EQ(doc.GetBoxData(box::TAB_DDZ_LINKS)[0], 18);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(DocManager, FileDialogsStartInData)
{
    const auto first = manager.StartFileDialog(false);
    EXPECT_EQ(first.folder, dir.path() / "DATA");
    EXPECT_TRUE(manager.StartFileDialog(false).folder.empty());

    CMorvexDocManager always(doc, messages, dir.path() / "DATA", true);
    const auto path = dir.path() / "elsewhere" / "race.M60";
    std::filesystem::create_directories(path.parent_path());
    writeAll(path, newDocText());
    ASSERT_TRUE(always.OpenDocumentFile(path));
    always.StartFileDialog(false);
    const auto saveAs = always.StartFileDialog(true);
    EXPECT_EQ(saveAs.folder, dir.path() / "DATA");
    EXPECT_EQ(saveAs.proposedFile, dir.path() / "DATA" / "race.M60");
}

} // namespace
} // namespace morvex::test
