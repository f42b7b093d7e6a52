#include "document/DataFile.h"

#include "document/DocumentLog.h"
#include "document/MorvexDoc.h"
#include "platform/Encoding.h"
#include "platform/IniFile.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace morvex {
namespace {

// Failure codes per table of kTables, and whether a failed read ends the
// read. Older files lack TAB_SFD_EX, TAB_SFD_INT16 and PARAMETERS: their
// failure is tolerated. A failed write of the two special-function tables
// reports the code of TAB_INFO.
struct TableCodes {
    uint32_t read;
    bool endsRead;
    uint32_t write;
};
constexpr std::array<TableCodes, kTables.size()> kTableCodes{{
    {100, true, 100},   {200, true, 200},   {300, true, 300},   {400, true, 400},   {500, true, 500},
    {600, true, 600},   {700, true, 700},   {800, true, 800},   {900, true, 900},   {1000, true, 1000},
    {3200, false, 1000}, {3100, false, 1000}, {1100, true, 1100}, {1200, true, 1200}, {1250, false, 1250},
    {1300, true, 1300}, {1400, true, 1400}, {1500, true, 1500}, {1600, true, 1600}, {1700, true, 1700},
    {1800, true, 1800}, {1900, true, 1900}, {2000, true, 2000},
}};

struct TextSpec {
    TextTable table;
    uint32_t code;
    bool endsRead;
};
constexpr std::array<TextSpec, kTextTableCount> kTextTables{{
    {TextTable::SFI1, 2100, true},
    {TextTable::SFI2, 2200, true},
    {TextTable::EX, 3200, false},
    {TextTable::EX2, 3300, false},
}};

enum class RecordKind { Lambda, Count, MM, DataReceived, IgnitionT, IgnitionP, FuelConsumption };
struct RecordSpec {
    std::string_view key;
    RecordKind kind;
    std::size_t bytes;
    uint32_t writeCode;
};
constexpr std::array<RecordSpec, 7> kRecords{{
    {"Lambda", RecordKind::Lambda, 1024, fileerr::Lambda},
    {"Count", RecordKind::Count, 1024, fileerr::Count},
    {"MM", RecordKind::MM, kMinMaxRecords * sizeof(MinMaxRecord), fileerr::MM},
    {"DataReceived", RecordKind::DataReceived, rec::kDataReceivedSize, fileerr::DataReceived},
    {"Ignition_T", RecordKind::IgnitionT, rec::kFloatRecordSize, fileerr::Ignition_T},
    {"Ignition_P", RecordKind::IgnitionP, rec::kFloatRecordSize, fileerr::Ignition_P},
    {"FuelConsumption", RecordKind::FuelConsumption, rec::kFloatRecordSize, fileerr::FuelConsumption},
}};

constexpr std::size_t kListValues = 32;
constexpr std::size_t kRowValues = 16;
constexpr std::size_t kTextReadSize = 1023;
constexpr std::size_t kRecordReadSize = 4095;
// Older comments have at most a few dozen lines; far more is a damaged file
// that must not keep the program busy for minutes.
constexpr int kMaxCommentLines = 1000;

std::string twoDigits(int n)
{
    char key[16];
    std::snprintf(key, sizeof key, "%02d", n);
    return key;
}

// "%03d" per byte, joined by commas.
std::string numberList(std::span<const uint8_t> bytes)
{
    std::string text;
    text.reserve(bytes.size() * 4);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%03d", int{bytes[i]});
        if (i != 0) {
            text += ',';
        }
        text += piece;
    }
    return text;
}

struct ReadCounters {
    uint32_t valuesLimited = 0;
    uint32_t textsCut = 0;
};

// Reads a number list of `count` values into `dest`, each stored as its low
// byte as soon as it is read. The value must be exactly 4 * count - 1
// characters; surplus numbers are ignored.
bool readList(const platform::IniFile& file, std::string_view section, std::string_view key, uint8_t* dest,
              std::size_t count, bool isMap, ReadCounters& counters)
{
    const std::string value = file.getString(section, key, "-1");
    if (value.size() != 4 * count - 1) {
        return false;
    }
    std::size_t taken = 0;
    std::size_t pos = 0;
    while (taken < count && pos < value.size()) {
        std::size_t comma = value.find(',', pos);
        if (comma == std::string::npos) {
            comma = value.size();
        }
        if (comma > pos) {
            auto byte = static_cast<uint8_t>(platform::parseInt(std::string_view(value).substr(pos, comma - pos)) & 0xFF);
            if (isMap && byte > kMaxMapValue) {
                byte = kMaxMapValue;
                ++counters.valuesLimited;
            }
            dest[taken++] = byte;
        }
        pos = comma + 1;
    }
    return taken == count;
}

bool readTable(const platform::IniFile& file, const TableInfo& t, CMorvexDoc& doc, ReadCounters& counters)
{
    switch (t.shape) {
    case TableShape::Rows: {
        const auto bytes = doc.BoxSpan(t.address, static_cast<std::size_t>(t.rows) * kRowValues);
        for (int r = 0; r < t.rows; ++r) {
            // Memory row r is stored under the key 32 - r: the top row last.
            if (!readList(file, t.section, twoDigits(32 - r), bytes.data() + static_cast<std::size_t>(r) * kRowValues,
                          kRowValues, t.isMap, counters)) {
                return false;
            }
        }
        return true;
    }
    case TableShape::LeftRight: {
        const auto bytes = doc.BoxSpan(t.address, 2 * kListValues);
        return readList(file, t.section, "LI", bytes.data(), kListValues, false, counters) &&
               readList(file, t.section, "RE", bytes.data() + kListValues, kListValues, false, counters);
    }
    case TableShape::Words: {
        std::array<uint8_t, kListValues> high{};
        std::array<uint8_t, kListValues> low{};
        const bool highOk = readList(file, t.section, "HI", high.data(), kListValues, false, counters);
        const bool lowOk = highOk && readList(file, t.section, "LO", low.data(), kListValues, false, counters);
        // What was read before a failure stays, as with the byte tables.
        const auto bytes = doc.BoxSpan(t.address, 2 * kListValues);
        for (std::size_t i = 0; i < kListValues; ++i) {
            bytes[2 * i] = high[i];
            bytes[2 * i + 1] = low[i];
        }
        return highOk && lowOk;
    }
    }
    return false;
}

void writeTable(platform::IniFile& file, const TableInfo& t, const CMorvexDoc& doc, bool& ok)
{
    auto put = [&](const std::string& key, std::span<const uint8_t> bytes) {
        ok = ok && file.setString(t.section, key, numberList(bytes));
    };
    switch (t.shape) {
    case TableShape::Rows: {
        const auto bytes = doc.BoxSpan(t.address, static_cast<std::size_t>(t.rows) * kRowValues);
        for (int r = 0; r < t.rows; ++r) {
            put(twoDigits(32 - r), bytes.subspan(static_cast<std::size_t>(r) * kRowValues, kRowValues));
        }
        break;
    }
    case TableShape::LeftRight: {
        const auto bytes = doc.BoxSpan(t.address, 2 * kListValues);
        put("LI", bytes.first(kListValues));
        put("RE", bytes.subspan(kListValues, kListValues));
        break;
    }
    case TableShape::Words: {
        const auto bytes = doc.BoxSpan(t.address, 2 * kListValues);
        std::array<uint8_t, kListValues> high{};
        std::array<uint8_t, kListValues> low{};
        for (std::size_t i = 0; i < kListValues; ++i) {
            high[i] = bytes[2 * i];
            low[i] = bytes[2 * i + 1];
        }
        put("HI", high);
        put("LO", low);
        break;
    }
    }
}

// Letter pairs: "A" + low nibble, then "A" + high nibble.
std::string letterPairs(std::span<const uint8_t> bytes)
{
    std::string text(bytes.size() * 2, 'A');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = static_cast<char>('A' + (bytes[i] & 0x0F));
        text[2 * i + 1] = static_cast<char>('A' + (bytes[i] >> 4));
    }
    return text;
}

// The bytes of a letter-pair record, or nothing when the text is too short
// or holds letters outside A..P (a damaged record is reset, never decoded
// into garbage). Letters beyond the record's size are ignored.
std::optional<std::vector<uint8_t>> fromLetterPairs(const std::string& text, std::size_t size)
{
    if (text.size() < 2 * size) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        const char lowLetter = text[2 * i];
        const char highLetter = text[2 * i + 1];
        if (lowLetter < 'A' || lowLetter > 'P' || highLetter < 'A' || highLetter > 'P') {
            return std::nullopt;
        }
        bytes[i] = static_cast<uint8_t>((lowLetter - 'A') + 16 * (highLetter - 'A'));
    }
    return bytes;
}

void fill(std::span<uint8_t> bytes, uint8_t value) { std::fill(bytes.begin(), bytes.end(), value); }

BoxAddress recordAddress(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Lambda: return box::LAMBDA_RECORD_LEFT;
    case RecordKind::Count: return box::MEASURE_COUNTS;
    case RecordKind::MM: return box::MM;
    case RecordKind::DataReceived: return rec::REC_DATA_RECEIVED;
    case RecordKind::IgnitionT: return rec::REC_IGNITION_T;
    case RecordKind::IgnitionP: return rec::REC_IGNITION_P;
    case RecordKind::FuelConsumption: return rec::REC_FUEL_CONSUMPTION;
    }
    return kNoAddress;
}

// The counts are kept as floats but stored divided by 20 as 16-bit words.
std::vector<uint8_t> countRecord(const CMorvexDoc& doc)
{
    std::vector<uint8_t> bytes(1024);
    for (int k = 0; k < kCells; ++k) {
        const double stored = std::trunc(static_cast<double>(doc.GetFloat(box::MEASURE_COUNTS, k)) * 0.05);
        const auto word = static_cast<uint16_t>(std::clamp(stored, 0.0, 65535.0));
        bytes[2 * static_cast<std::size_t>(k)] = static_cast<uint8_t>(word & 0xFF);
        bytes[2 * static_cast<std::size_t>(k) + 1] = static_cast<uint8_t>(word >> 8);
    }
    const auto flags = doc.BoxSpan(box::LAMBDA_FLAGS, 512);
    std::copy(flags.begin(), flags.end(), bytes.begin() + 512);
    return bytes;
}

void readRecord(const platform::IniFile& file, const RecordSpec& r, CMorvexDoc& doc)
{
    const std::string text = file.getString("DataRecords", r.key, {}, kRecordReadSize);
    const std::optional<std::vector<uint8_t>> bytes = fromLetterPairs(text, r.bytes);
    if (!bytes && !text.empty()) {
        documentLog().warning("data file: record " + std::string(r.key) + " damaged, reset");
    }
    switch (r.kind) {
    case RecordKind::Count:
        if (!bytes) {
            fill(doc.BoxSpan(box::MEASURE_COUNTS, 1536), 0);
            return;
        }
        for (int k = 0; k < kCells; ++k) {
            const auto i = 2 * static_cast<std::size_t>(k);
            const int stored = (*bytes)[i] | ((*bytes)[i + 1] << 8);
            doc.SetFloat(box::MEASURE_COUNTS, k, static_cast<float>(stored * 20));
        }
        std::copy(bytes->begin() + 512, bytes->end(), doc.BoxSpan(box::LAMBDA_FLAGS, 512).begin());
        return;
    case RecordKind::Lambda:
        if (!bytes) {
            fill(doc.BoxSpan(box::LAMBDA_RECORD_LEFT, 1024), 0);
            fill(doc.BoxSpan(box::LAMBDA_VALUES_LEFT, 3072), 0);
            return;
        }
        std::copy(bytes->begin(), bytes->end(), doc.BoxSpan(box::LAMBDA_RECORD_LEFT, 1024).begin());
        doc.ComputeLambdaValues();
        return;
    case RecordKind::MM:
        if (!bytes) {
            doc.EmptyMinMaxRecords();
            return;
        }
        std::copy(bytes->begin(), bytes->end(), doc.BoxSpan(box::MM, r.bytes).begin());
        return;
    case RecordKind::DataReceived:
    case RecordKind::IgnitionT:
    case RecordKind::IgnitionP:
    case RecordKind::FuelConsumption: {
        const auto dest = doc.BoxSpan(recordAddress(r.kind), r.bytes);
        if (!bytes) {
            fill(dest, 0);
            return;
        }
        std::copy(bytes->begin(), bytes->end(), dest.begin());
        return;
    }
    }
}

std::vector<uint8_t> recordBytes(const RecordSpec& r, const CMorvexDoc& doc)
{
    if (r.kind == RecordKind::Count) {
        return countRecord(doc);
    }
    const auto bytes = doc.BoxSpan(recordAddress(r.kind), r.bytes);
    return {bytes.begin(), bytes.end()};
}

void readComment(const platform::IniFile& file, CMorvexDoc& doc)
{
    const int lines = std::min(file.getInt("FileComment", "CommentLines", 0), kMaxCommentLines);
    std::string comment;
    for (int i = 1; i < lines; ++i) {
        comment += file.getString("FileComment", "Comment" + std::to_string(i), {}, kTextReadSize);
        comment += "\r\n";
    }
    comment += file.getString("FileComment", "Comment" + std::to_string(lines > 1 ? lines : 1), {}, kTextReadSize);
    doc.Info().file.comment = std::move(comment);
}

// A line break inside a one-line value would break the file apart.
std::string oneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

// The comment's lines; a lone CR or LF counts as a line break too.
std::vector<std::string> commentLines(const std::string& comment)
{
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < comment.size(); ++i) {
        const char c = comment[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < comment.size() && comment[i + 1] == '\n') {
                ++i;
            }
            lines.emplace_back();
        } else {
            lines.back() += c == '\0' ? ' ' : c;
        }
    }
    return lines;
}

void writeComment(platform::IniFile& file, CMorvexDoc& doc)
{
    const int oldLines = platform::parseInt(file.getString("FileComment", "CommentLines", {}, 19));
    // Delete the old comment keys by name rather than counting up to a
    // number that a damaged file may make huge.
    for (const std::string& key : file.keyNames("FileComment")) {
        if (key.size() > 7 && platform::equalsNoCase(std::string_view(key).substr(0, 7), "Comment") &&
            key.find_first_not_of("0123456789", 7) == std::string::npos) {
            const int n = platform::parseInt(std::string_view(key).substr(7));
            if (n >= 1 && n <= oldLines) {
                file.setString("FileComment", key, std::nullopt);
            }
        }
    }
    const std::string& comment = doc.Info().file.comment;
    int written = 0;
    if (!comment.empty()) {
        for (const std::string& line : commentLines(comment)) {
            file.setString("FileComment", "Comment" + std::to_string(++written), line);
        }
    }
    file.setString("FileComment", "CommentLines", std::to_string(written));
}

} // namespace

bool ReadDataFile(const platform::IniFile& file, CMorvexDoc& doc)
{
    ReadCounters counters;
    doc.SetValueLimitCounter(0);
    doc.SetTextCutCounter(0);
    doc.SetFileErrorCode(fileerr::None);

    CFileInfo& info = doc.Info().file;
    info.lastSave = platform::parseGermanDate(file.getString("FileInfo", "LastSave", {}, kTextReadSize));
    for (std::size_t i = 0; i < info.versions.size(); ++i) {
        info.versions[i] = file.getString("FileInfo", "FileVersion" + std::to_string(i + 1), {}, kTextReadSize);
    }
    readComment(file, doc);

    auto finish = [&](bool ok) {
        doc.SetValueLimitCounter(counters.valuesLimited);
        doc.SetTextCutCounter(counters.textsCut);
        return ok;
    };

    for (std::size_t i = 0; i < kTables.size(); ++i) {
        const TableInfo& t = kTables[i];
        if (!readTable(file, t, doc, counters)) {
            doc.SetFileErrorCode(kTableCodes[i].read);
            if (kTableCodes[i].endsRead) {
                documentLog().warning("data file: section " + std::string(t.section) + " unreadable");
                return finish(false);
            }
        }
    }
    doc.ConvertIndexTables();

    for (const TextSpec& t : kTextTables) {
        const std::string_view section = kTextTableSections[static_cast<std::size_t>(t.table)];
        for (int k = kTextEntries; k >= 1; --k) {
            const std::string key = twoDigits(k);
            std::string text = file.getString(section, key, key);
            if (text.size() > kMaxTextLength) {
                text.resize(kMaxTextLength);
                ++counters.textsCut;
            }
            doc.SetText(t.table, k - 1, std::move(text));
        }
        // A loaded file answers every read; a text table cannot fail here.
    }

    for (const RecordSpec& r : kRecords) {
        readRecord(file, r, doc);
    }
    doc.TargetLambda().Read(file);
    doc.CorrectionLocks().Read(file);
    return finish(true);
}

bool WriteDataFile(platform::IniFile& file, CMorvexDoc& doc, platform::OleDateTime now)
{
    doc.SetFileErrorCode(fileerr::None);
    CFileInfo& info = doc.Info().file;
    info.lastSave = now;
    file.setString("FileInfo", "LastSave", platform::formatGermanDate(now));
    for (std::size_t i = 0; i < info.versions.size(); ++i) {
        file.setString("FileInfo", "FileVersion" + std::to_string(i + 1), oneLine(info.versions[i]));
    }
    writeComment(file, doc);

    for (std::size_t i = 0; i < kTables.size(); ++i) {
        bool ok = true;
        writeTable(file, kTables[i], doc, ok);
        if (!ok) {
            doc.SetFileErrorCode(kTableCodes[i].write);
            return false;
        }
    }
    for (const TextSpec& t : kTextTables) {
        const std::string_view section = kTextTableSections[static_cast<std::size_t>(t.table)];
        for (int k = kTextEntries; k >= 1; --k) {
            if (!file.setString(section, twoDigits(k), oneLine(doc.Text(t.table, k - 1)))) {
                doc.SetFileErrorCode(t.code);
                return false;
            }
        }
    }
    for (const RecordSpec& r : kRecords) {
        if (!file.setString("DataRecords", r.key, letterPairs(recordBytes(r, doc)))) {
            doc.SetFileErrorCode(r.writeCode);
            return false;
        }
    }
    if (!doc.TargetLambda().Write(file)) {
        doc.SetFileErrorCode(fileerr::TargetLambda);
        return false;
    }
    if (!doc.CorrectionLocks().Write(file)) {
        doc.SetFileErrorCode(fileerr::CorrectionLocks);
        return false;
    }
    return true;
}

std::string readFailureMessage(uint32_t code, const std::filesystem::path& path)
{
    return "Dateifehler : " + std::to_string(code) + "\nDatei: " + path.string() +
           "\n\nFehler beim Einlesen der Datei!\nDaten fehlerhaft!";
}

std::string writeFailureMessage(uint32_t code, const std::filesystem::path& path)
{
    return "Dateifehler : " + std::to_string(code) + "\nDatei: " + path.string() +
           "\n\nFehler beim Schreiben der Datei!\nDatei fehlerhaft!";
}

std::string correctionMessage(uint32_t valuesLimited, uint32_t textsCut)
{
    return "Errors in Data File!\n" + std::to_string(valuesLimited) + " value(s) greater than 250. Limited to 250.\n" +
           std::to_string(textsCut) + " text(s) too long. Cut at limit.\nAll errors corrected.\n\n";
}

FileOutcome OpenDataFile(CMorvexDoc& doc, const std::filesystem::path& path)
{
    FileOutcome outcome;
    doc.DeleteContents();
    doc.SetModifiedFlag(false);
    platform::IniFile file;
    std::error_code ec;
    // A file that cannot be read at all fails like one without its first table.
    if (!file.load(path, ec) || !std::filesystem::is_regular_file(path, ec)) {
        outcome.systemError = ec;
        doc.SetFileErrorCode(fileerr::TAB_DDD_LINKS);
        outcome.message = readFailureMessage(doc.FileErrorCode(), path);
        return outcome;
    }
    if (!ReadDataFile(file, doc)) {
        outcome.message = readFailureMessage(doc.FileErrorCode(), path);
        return outcome;
    }
    outcome.ok = true;
    if (doc.ValueLimitCounter() != 0 || doc.TextCutCounter() != 0) {
        outcome.message = correctionMessage(doc.ValueLimitCounter(), doc.TextCutCounter());
        doc.SetModifiedFlag(true);
    }
    return outcome;
}

FileOutcome SaveDataFile(CMorvexDoc& doc, const std::filesystem::path& path, bool inPlace, platform::OleDateTime now)
{
    FileOutcome outcome;
    platform::IniFile file;
    std::error_code ec;
    if (inPlace && !file.load(path, ec)) {
        // The existing file's other sections must survive; without reading
        // it the save would drop them.
        outcome.systemError = ec;
        doc.SetFileErrorCode(fileerr::TAB_DDD_LINKS);
        outcome.message = writeFailureMessage(doc.FileErrorCode(), path);
        return outcome;
    }
    const platform::OleDateTime previousSave = doc.Info().file.lastSave;
    if (!WriteDataFile(file, doc, now) || !file.save(path, ec)) {
        if (doc.FileErrorCode() == fileerr::None) {
            // Nothing reached the disk: the first checked write failed.
            doc.SetFileErrorCode(fileerr::TAB_DDD_LINKS);
        }
        doc.Info().file.lastSave = previousSave;
        outcome.systemError = ec;
        outcome.message = writeFailureMessage(doc.FileErrorCode(), path);
        return outcome;
    }
    doc.SetModifiedFlag(false);
    outcome.ok = true;
    return outcome;
}

} // namespace morvex
