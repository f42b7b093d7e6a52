#include "Commands.h"

#include "Json.h"
#include "document/DataFile.h"
#include "document/DocDiff.h"
#include "platform/Encoding.h"
#include "platform/IniFile.h"
#include "platform/NumberFormat.h"
#include "platform/OleDate.h"

#include <array>
#include <fstream>
#include <iostream>
#include <sstream>

namespace cli {
namespace {

using morvex::BoxAddress;
using morvex::CMorvexDoc;
using morvex::IndexTable;
using morvex::TableInfo;
using morvex::TableShape;
using morvex::TextTable;

std::string utf8(std::string_view fileText) { return platform::cp1252ToUtf8(fileText); }

std::string_view textSection(TextTable t) { return morvex::kTextTableSections[static_cast<std::size_t>(t)]; }

constexpr std::array<TextTable, morvex::kTextTableCount> kTextTables{TextTable::SFI1, TextTable::SFI2, TextTable::EX,
                                                                     TextTable::EX2};

const morvex::IndexTableInfo* indexTableAt(BoxAddress address)
{
    for (const auto& info : morvex::kIndexTables) {
        if (info.address == address) {
            return &info;
        }
    }
    return nullptr;
}

const TextTable* findTextTable(std::string_view section)
{
    for (const TextTable& t : kTextTables) {
        if (textSection(t) == section) {
            return &t;
        }
    }
    return nullptr;
}

// ---- dump -------------------------------------------------------------

void appendFloats(std::string& json, const CMorvexDoc& doc, BoxAddress record)
{
    json += '[';
    for (int k = 0; k < morvex::kCells; ++k) {
        json += k == 0 ? "" : ",";
        appendJsonNumber(json, static_cast<double>(doc.GetFloat(record, k)));
    }
    json += ']';
}

std::string dumpJson(const CMorvexDoc& doc)
{
    std::string json = "{\"image\":\"";
    static constexpr char kHex[] = "0123456789abcdef";
    for (const uint8_t b : doc.BoxSpan(0, morvex::kBoxImageSize)) {
        json += kHex[b >> 4];
        json += kHex[b & 0x0F];
    }
    json += "\",\"texts\":{";
    for (std::size_t t = 0; t < kTextTables.size(); ++t) {
        json += t == 0 ? "" : ",";
        appendJsonString(json, textSection(kTextTables[t]));
        json += ":[";
        for (int i = 0; i < morvex::kTextEntries; ++i) {
            json += i == 0 ? "" : ",";
            appendJsonString(json, utf8(doc.Text(kTextTables[t], i)));
        }
        json += ']';
    }
    const morvex::CFileInfo& info = doc.Info().file;
    json += "},\"fileInfo\":{\"LastSave\":";
    appendJsonString(json, platform::formatGermanDate(info.lastSave));
    for (std::size_t i = 0; i < info.versions.size(); ++i) {
        json += ",\"FileVersion" + std::to_string(i + 1) + "\":";
        appendJsonString(json, utf8(info.versions[i]));
    }
    json += "},\"comment\":";
    appendJsonString(json, utf8(info.comment));
    json += ",\"fileErrorCode\":" + std::to_string(doc.FileErrorCode());
    json += ",\"corrections\":{\"values\":" + std::to_string(doc.ValueLimitCounter()) +
            ",\"texts\":" + std::to_string(doc.TextCutCounter()) + "}";
    for (const bool values : {true, false}) {
        json += values ? ",\"indexValues\":{" : ",\"indexTexts\":{";
        for (std::size_t t = 0; t < morvex::kIndexTables.size(); ++t) {
            const auto& table = morvex::kIndexTables[t];
            json += t == 0 ? "" : ",";
            appendJsonString(json, table.section);
            json += ":[";
            for (int i = 0; i < morvex::kIndexEntries; ++i) {
                json += i == 0 ? "" : ",";
                if (values) {
                    appendJsonNumber(json, doc.IndexValue(table.table, i));
                } else {
                    appendJsonString(json, doc.IndexText(table.table, i));
                }
            }
            json += ']';
        }
        json += '}';
    }
    json += ",\"records\":{\"Ignition_T\":";
    appendFloats(json, doc, morvex::rec::REC_IGNITION_T);
    json += ",\"Ignition_P\":";
    appendFloats(json, doc, morvex::rec::REC_IGNITION_P);
    json += ",\"FuelConsumption\":";
    appendFloats(json, doc, morvex::rec::REC_FUEL_CONSUMPTION);
    json += ",\"DataReceived\":[";
    const uint8_t* received = doc.GetBoxData(morvex::rec::REC_DATA_RECEIVED);
    for (int k = 0; k < morvex::kCells; ++k) {
        json += (k == 0 ? "" : ",") + std::to_string(received[k]);
    }
    json += "]}}";
    return json;
}

// ---- diff -------------------------------------------------------------

class Differ {
public:
    Differ(const DiffSide& a, const DiffSide& b, const morvex::CAppCore& core, std::ostream& out)
        : a_(a), b_(b), core_(core), out_(out)
    {
    }

    int run()
    {
        morvex::ForEachDifference(*a_.doc, a_.info.file, *b_.doc, b_.info.file,
                                  [this](const morvex::DocDifference& d) { report(d); });
        if (differences_ == 0) {
            out_ << "identical\n";
        }
        return differences_ == 0 ? kExitOk : kExitFailure;
    }

private:
    void report(const morvex::DocDifference& d)
    {
        using Kind = morvex::DocDifference::Kind;
        const std::string name(d.name);
        switch (d.kind) {
        case Kind::Table: table(*d.table, d); break;
        case Kind::Text: text(name + " " + twoDigits(d.index + 1), d.fromText, d.toText); break;
        case Kind::FileInfo: text(name, d.fromText, d.toText); break;
        case Kind::Record:
            if (d.index < 0) {
                line(name, "(min/max statistics)", "(other statistics)");
            } else if (d.floating) {
                line(name + " cell " + std::to_string(d.index), number(d.from), number(d.to));
            } else {
                line(name + " cell " + std::to_string(d.index), whole(d.from), whole(d.to));
            }
            break;
        }
    }

    static std::string whole(double v) { return std::to_string(static_cast<long>(v)); }

    static std::string twoDigits(int n)
    {
        char key[16];
        std::snprintf(key, sizeof key, "%02d", n);
        return key;
    }

    void line(const std::string& where, const std::string& from, const std::string& to)
    {
        out_ << where << ": " << from << " -> " << to << "\n";
        ++differences_;
    }

    void text(const std::string& where, std::string_view from, std::string_view to)
    {
        std::string f;
        std::string t;
        appendJsonString(f, utf8(from));
        appendJsonString(t, utf8(to));
        line(where, f, t);
    }

    // A map cell is named by its rpm and throttle axis values (of file A)
    // where it lies on the shown part of the map: the bottom row is the
    // lowest revolutions point, as the editor's grids show it.
    std::string mapCell(int row, int column) const { return mapCellName(*a_.doc, core_, row, column); }

    void table(const TableInfo& t, const morvex::DocDifference& d)
    {
        const std::string name(t.section);
        const auto i = static_cast<std::size_t>(d.index);
        switch (t.shape) {
        case TableShape::Rows: {
            const int row = d.index / 16;
            const int column = d.index % 16;
            line(name + " " + (t.rows == 1 ? "byte " + std::to_string(i) : mapCell(row, column)), whole(d.from),
                 whole(d.to));
            break;
        }
        case TableShape::LeftRight:
            line(name + (i < 32 ? " left " : " right ") + std::to_string(i % 32 + 1), whole(d.from), whole(d.to));
            break;
        case TableShape::Words:
            line(name + " " + std::to_string(i + 1), word(t.address, static_cast<uint16_t>(d.from)),
                 word(t.address, static_cast<uint16_t>(d.to)));
            break;
        }
    }

    // Index words in physical units with their raw value; other words raw.
    std::string word(BoxAddress table, uint16_t raw) const
    {
        const morvex::IndexTableInfo* index = indexTableAt(table);
        if (index == nullptr) {
            return std::to_string(raw);
        }
        const double value = core_.adapt().indexToPc(index->table)(raw);
        return core_.limits().indexFormat(index->table).format(value) + " (raw " + std::to_string(raw) + ")";
    }

    static std::string number(double f)
    {
        std::string s;
        appendJsonNumber(s, f);
        return s;
    }

    const DiffSide& a_;
    const DiffSide& b_;
    const morvex::CAppCore& core_;
    std::ostream& out_;
    int differences_ = 0;
};

// ---- CSV --------------------------------------------------------------

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",;\t\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// Splits CSV text into rows of fields (quotes, doubled quotes, CRLF or LF).
std::vector<std::vector<std::string>> parseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ',' || c == ';' || c == '\t') {
            row.push_back(field);
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            if (any || !field.empty()) {
                row.push_back(field);
                rows.push_back(row);
            }
            row.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

// The table as rows of CSV fields: maps as 32 rows of 16, PARAMETERS one
// row, left/right tables 32 rows of left and right, word tables 32 raw
// words, text tables 32 texts.
std::vector<std::vector<std::string>> tableRows(const CMorvexDoc& doc, const TableInfo& t)
{
    std::vector<std::vector<std::string>> rows;
    const auto bytes = doc.BoxSpan(t.address, morvex::tableBytes(t));
    switch (t.shape) {
    case TableShape::Rows:
        for (int r = 0; r < t.rows; ++r) {
            rows.emplace_back();
            for (std::size_t c = 0; c < 16; ++c) {
                rows.back().push_back(std::to_string(bytes[static_cast<std::size_t>(r) * 16 + c]));
            }
        }
        break;
    case TableShape::LeftRight:
        for (std::size_t i = 0; i < 32; ++i) {
            rows.push_back({std::to_string(bytes[i]), std::to_string(bytes[32 + i])});
        }
        break;
    case TableShape::Words:
        for (int i = 0; i < 32; ++i) {
            rows.push_back({std::to_string(doc.GetWord(t.address, i))});
        }
        break;
    }
    return rows;
}

bool parseNumber(const std::string& field, long max, long& value)
{
    const std::string_view s = field;
    const auto begin = s.find_first_not_of(' ');
    const auto end = s.find_last_not_of(' ');
    if (begin == std::string_view::npos) {
        return false;
    }
    const std::string_view digits = s.substr(begin, end - begin + 1);
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return result.ec == std::errc() && result.ptr == digits.data() + digits.size() && value >= 0 && value <= max;
}

} // namespace

std::string mapCellName(const CMorvexDoc& doc, const morvex::CAppCore& core, int row, int column)
{
    std::string where = "row " + std::to_string(row + 1) + " col " + std::to_string(column + 1);
    if (row >= 16) {
        where += " (" + doc.IndexText(IndexTable::DZI, 31 - row) + " " +
                 utf8(core.labels().unit(morvex::Channel::Revolutions)) + ", " + doc.IndexText(IndexTable::DKI, column) +
                 " " + utf8(core.labels().unit(morvex::Channel::ThrottlePosition)) + ")";
    }
    return where;
}

std::unique_ptr<CMorvexDoc> Context::newDocument() const
{
    auto doc = std::make_unique<CMorvexDoc>(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    doc->OnNewDocument();
    return doc;
}

std::unique_ptr<CMorvexDoc> Context::open(const std::filesystem::path& path) const
{
    auto doc = std::make_unique<CMorvexDoc>(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
    const morvex::FileOutcome outcome = morvex::OpenDataFile(*doc, path);
    if (!outcome.ok) {
        err << outcome.message << "\n";
        return nullptr;
    }
    if (!outcome.message.empty()) {
        err << outcome.message;
    }
    return doc;
}

int summary(const Context& ctx)
{
    const auto doc = ctx.newDocument();
    const morvex::CLabels& labels = ctx.core.labels();
    ctx.out << "New parameter set (installation " << ctx.core.paths().program.string() << ")\n\n";
    const std::array<std::pair<IndexTable, morvex::Channel>, 7> axes{{
        {IndexTable::DZI, morvex::Channel::Revolutions},
        {IndexTable::DKI, morvex::Channel::ThrottlePosition},
        {IndexTable::MTI, morvex::Channel::MotorTemperature},
        {IndexTable::LTI, morvex::Channel::AirTemperature},
        {IndexTable::LDI, morvex::Channel::AirPressure},
        {IndexTable::TDI, morvex::Channel::TurboPressure},
        {IndexTable::LAI, morvex::Channel::Lambda},
    }};
    for (const auto& [table, channel] : axes) {
        const auto& info = morvex::indexTableInfo(table);
        ctx.out << info.section << "  " << utf8(labels.label(channel)) << " [" << utf8(labels.unit(channel))
                << "]\n  values:";
        for (int i = 0; i < info.defaultPoints; ++i) {
            ctx.out << ' ' << doc->IndexText(table, i);
        }
        ctx.out << "\n  words: ";
        for (int i = 0; i < info.defaultPoints; ++i) {
            ctx.out << ' ' << doc->GetWord(info.address, i);
        }
        ctx.out << "\n";
    }
    const uint8_t* params = doc->GetBoxData(morvex::box::PARAMETERS);
    ctx.out << "\nPARAMETERS  teeth " << int{params[0]} << ", static ignition point " << int{params[1]} << "\n";
    for (TextTable t : kTextTables) {
        ctx.out << textSection(t) << ":";
        for (int i = 0; i < 8; ++i) {
            ctx.out << " \"" << utf8(doc->Text(t, i)) << '"';
        }
        ctx.out << " ...\n";
    }
    return kExitOk;
}

int newFile(const Context& ctx, const std::filesystem::path& out)
{
    const auto doc = ctx.newDocument();
    const morvex::FileOutcome outcome = morvex::SaveDataFile(*doc, out, false, platform::OleDateTime::now());
    if (!outcome.ok) {
        ctx.err << outcome.message << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

int dump(const Context& ctx, const std::filesystem::path& file)
{
    const auto doc = ctx.open(file);
    if (!doc) {
        return kExitFailure;
    }
    ctx.out << dumpJson(*doc) << "\n";
    return kExitOk;
}

int resave(const Context& ctx, const std::filesystem::path& file)
{
    const auto doc = ctx.open(file);
    if (!doc) {
        return kExitFailure;
    }
    const morvex::FileOutcome outcome = morvex::SaveDataFile(*doc, file, true, platform::OleDateTime::now());
    if (!outcome.ok) {
        ctx.err << outcome.message << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

int diff(const Context& ctx, const std::filesystem::path& a, const std::filesystem::path& b)
{
    DiffSide sides[2];
    const std::filesystem::path* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        sides[i].doc = ctx.open(*paths[i]);
        if (!sides[i].doc) {
            return kExitUsage; // trouble, as diff reports it
        }
        sides[i].info = ctx.core.info();
    }
    return listDifferences(ctx, sides[0], sides[1]);
}

int listDifferences(const Context& ctx, const DiffSide& a, const DiffSide& b)
{
    return Differ(a, b, ctx.core, ctx.out).run();
}

int exportCsv(const Context& ctx, const std::filesystem::path& file, const std::string& table,
              const std::filesystem::path& out)
{
    const TableInfo* byteTable = morvex::findTable(table);
    const TextTable* textTable = findTextTable(table);
    if (byteTable == nullptr && textTable == nullptr) {
        ctx.err << "unknown table " << table << "\n";
        return kExitUsage;
    }
    const auto doc = ctx.open(file);
    if (!doc) {
        return kExitFailure;
    }
    std::vector<std::vector<std::string>> rows;
    if (byteTable != nullptr) {
        rows = tableRows(*doc, *byteTable);
    } else {
        for (int i = 0; i < morvex::kTextEntries; ++i) {
            rows.push_back({utf8(doc->Text(*textTable, i))});
        }
    }
    std::ostringstream csv;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            csv << (i == 0 ? "" : ",") << csvField(row[i]);
        }
        csv << "\r\n";
    }
    if (out.empty() || out == "-") {
        ctx.out << csv.str();
        return kExitOk;
    }
    std::error_code ec;
    if (!platform::writeFileAtomically(out, csv.str(), ec)) {
        ctx.err << "cannot write " << out.string() << ": " << ec.message() << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

int importCsv(const Context& ctx, const std::filesystem::path& file, const std::string& table,
              const std::filesystem::path& csvPath)
{
    const TableInfo* byteTable = morvex::findTable(table);
    const TextTable* textTable = findTextTable(table);
    if (byteTable == nullptr && textTable == nullptr) {
        ctx.err << "unknown table " << table << "\n";
        return kExitUsage;
    }
    std::string text;
    std::error_code ec;
    if (!platform::readWholeFile(csvPath, text, ec)) {
        ctx.err << "cannot read " << csvPath.string() << ": " << ec.message() << "\n";
        return kExitFailure;
    }
    const auto rows = parseCsv(text);
    const auto doc = ctx.open(file);
    if (!doc) {
        return kExitFailure;
    }
    auto fail = [&](std::size_t row, const std::string& why) {
        ctx.err << csvPath.string() << ":" << row + 1 << ": " << why << "\n";
        return kExitFailure;
    };
    if (textTable != nullptr) {
        if (rows.size() != morvex::kTextEntries) {
            return fail(rows.size(), "expected 32 rows of one text");
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string value = platform::utf8ToCp1252(rows[i].empty() ? "" : rows[i][0]);
            if (rows[i].size() > 1 || value.size() > morvex::kMaxTextLength) {
                return fail(i, "one text of at most 20 characters expected");
            }
            doc->SetText(*textTable, static_cast<int>(i), value);
        }
    } else {
        const std::vector<std::vector<std::string>> shape = tableRows(*doc, *byteTable);
        if (rows.size() != shape.size()) {
            return fail(rows.size(), "expected " + std::to_string(shape.size()) + " rows");
        }
        const long max = byteTable->shape == TableShape::Words ? 65535 : byteTable->isMap ? morvex::kMaxMapValue : 255;
        const auto bytes = doc->BoxSpan(byteTable->address, morvex::tableBytes(*byteTable));
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (rows[r].size() != shape[r].size()) {
                return fail(r, "expected " + std::to_string(shape[r].size()) + " values");
            }
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                long value = 0;
                if (!parseNumber(rows[r][c], max, value)) {
                    return fail(r, "value '" + rows[r][c] + "' is not a number 0.." + std::to_string(max));
                }
                switch (byteTable->shape) {
                case TableShape::Rows: bytes[r * 16 + c] = static_cast<uint8_t>(value); break;
                case TableShape::LeftRight: bytes[c * 32 + r] = static_cast<uint8_t>(value); break;
                case TableShape::Words:
                    doc->SetWord(byteTable->address, static_cast<int>(r), static_cast<uint16_t>(value));
                    break;
                }
            }
        }
        doc->ConvertIndexTables();
    }
    const morvex::FileOutcome outcome = morvex::SaveDataFile(*doc, file, true, platform::OleDateTime::now());
    if (!outcome.ok) {
        ctx.err << outcome.message << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace cli
