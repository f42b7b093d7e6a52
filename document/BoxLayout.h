#pragma once

// Where every table lies in the document's image of the box's parameter
// memory ("box addresses"), and the record addresses that reach document
// arrays which are not box memory.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvex {

using BoxAddress = int32_t;

inline constexpr std::size_t kBoxImageSize = 0x28C0; // 10,432 bytes
inline constexpr BoxAddress kNoAddress = -1;

// 32 x 16 maps, row-major; the map views show rows 17..32.
inline constexpr std::size_t kMapBytes = 512;
inline constexpr int kMapRows = 32;
inline constexpr int kMapColumns = 16;
inline constexpr int kCells = 256; // one per cell of the 16 x 16 shown part

namespace box {
inline constexpr BoxAddress TAB_DDD_LINKS = 0x0000;
inline constexpr BoxAddress TAB_DDD_RECHTS = 0x0200;
inline constexpr BoxAddress TAB_MTD = 0x0400;
inline constexpr BoxAddress TAB_LTD = 0x0440;
inline constexpr BoxAddress TAB_LDD = 0x0480;
inline constexpr BoxAddress TAB_TDD = 0x04C0;
inline constexpr BoxAddress TAB_LAD = 0x0500;
inline constexpr BoxAddress TAB_SFD1 = 0x0540;
inline constexpr BoxAddress TAB_SFD2 = 0x0580;
inline constexpr BoxAddress TAB_INFO = 0x05C0;
inline constexpr BoxAddress TAB_SFD_EX = 0x0600;
inline constexpr BoxAddress TAB_SFD_INT16 = 0x0640;
inline constexpr BoxAddress PARAMETERS = 0x0680;
inline constexpr BoxAddress TAB_DDZ_LINKS = 0x06C0;
inline constexpr BoxAddress TAB_DDZ_RECHTS = 0x08C0;
inline constexpr BoxAddress TAB_DZI = 0x0AC0;
inline constexpr BoxAddress TAB_DKI = 0x0B00;
inline constexpr BoxAddress TAB_MTI = 0x0B40;
inline constexpr BoxAddress TAB_LTI = 0x0B80;
inline constexpr BoxAddress TAB_LDI = 0x0BC0;
inline constexpr BoxAddress TAB_TDI = 0x0C00;
inline constexpr BoxAddress TAB_LAI = 0x0C40;
inline constexpr BoxAddress TAB_RES = 0x0C80;
inline constexpr BoxAddress LAMBDA_RECORD_LEFT = 0x0CC0;  // 256 words
inline constexpr BoxAddress LAMBDA_RECORD_RIGHT = 0x0EC0; // 256 words
inline constexpr BoxAddress LAMBDA_VALUES_LEFT = 0x10C0;  // 256 floats, derived
inline constexpr BoxAddress LAMBDA_VALUES_RIGHT = 0x14C0; // 256 floats, derived
inline constexpr BoxAddress LAMBDA_RATIO = 0x18C0;        // 256 floats, derived
inline constexpr BoxAddress MEASURE_COUNTS = 0x1CC0;      // 256 floats
inline constexpr BoxAddress LAMBDA_FLAGS = 0x20C0;        // 2 bytes per cell
inline constexpr BoxAddress MM = 0x22C0;                  // 14 MinMaxRecords + 64 bytes
inline constexpr BoxAddress IGNITION_WORK_1 = 0x24C0;     // degrees, derived
inline constexpr BoxAddress IGNITION_WORK_2 = 0x26C0;     // degrees, derived
} // namespace box

// Document arrays outside the box image.
namespace rec {
inline constexpr BoxAddress REC_INDEX_VALUES = 0x2CC1;
inline constexpr BoxAddress REC_PREMAP_ROWS = 0x2CC2;
inline constexpr BoxAddress REC_PREMAP_OFFSET = 0x2CC3;
inline constexpr BoxAddress REC_IGNITION_WORK = 0x2CC4;
inline constexpr BoxAddress REC_IGNITION_T = 0x2CC5;
inline constexpr BoxAddress REC_IGNITION_P = 0x2CC6;
inline constexpr BoxAddress REC_FUEL_CONSUMPTION = 0x2CC7;
inline constexpr BoxAddress REC_DATA_RECEIVED = 0x2CC8;

inline constexpr std::size_t kIndexValuesAreaSize = 4096;
inline constexpr std::size_t kPremapRowsSize = 16 * 35;
inline constexpr std::size_t kPremapOffsetSize = 16;
inline constexpr std::size_t kIgnitionWorkSize = 512;
inline constexpr std::size_t kFloatRecordSize = 256 * sizeof(float);
inline constexpr std::size_t kDataReceivedSize = 256;
} // namespace rec

// DataReceived bits: which of a cell's recorded values are valid.
inline constexpr uint8_t kReceivedIgnitionT = 0x01;
inline constexpr uint8_t kReceivedIgnitionP = 0x02;
inline constexpr uint8_t kReceivedFuelConsumption = 0x04;

inline constexpr int kMinMaxRecords = 14;

// The seven converted index (axis) tables, in the order the document
// defaults and converts them.
enum class IndexTable : int { DZI, DKI, MTI, LTI, LDI, TDI, LAI };
inline constexpr int kIndexTableCount = 7;
inline constexpr int kIndexEntries = 32;

struct IndexTableInfo {
    IndexTable table;
    BoxAddress address;
    std::string_view section; // data-file section name
    int defaultPoints;
};

inline constexpr std::array<IndexTableInfo, kIndexTableCount> kIndexTables{{
    {IndexTable::DZI, box::TAB_DZI, "TAB_DZI", 16},
    {IndexTable::DKI, box::TAB_DKI, "TAB_DKI", 17},
    {IndexTable::MTI, box::TAB_MTI, "TAB_MTI", 16},
    {IndexTable::LTI, box::TAB_LTI, "TAB_LTI", 16},
    {IndexTable::LDI, box::TAB_LDI, "TAB_LDI", 16},
    {IndexTable::TDI, box::TAB_TDI, "TAB_TDI", 16},
    {IndexTable::LAI, box::TAB_LAI, "TAB_LAI", 16},
}};

constexpr const IndexTableInfo& indexTableInfo(IndexTable t) { return kIndexTables[static_cast<std::size_t>(t)]; }

// How a byte or word table is laid out.
enum class TableShape {
    Rows,      // rows of 16 bytes, row-major (the maps; PARAMETERS has one row)
    LeftRight, // 32 bytes of the left cylinder, then 32 of the right
    Words,     // 32 big-endian words
};

struct TableInfo {
    std::string_view section; // data-file section name
    BoxAddress address;
    TableShape shape;
    int rows;   // for TableShape::Rows
    bool isMap; // a 32 x 16 fuel or ignition map: bytes 0..250
};

// The byte and word tables of a parameter set, in data-file order.
inline constexpr std::array<TableInfo, 23> kTables{{
    {"TAB_DDD_LINKS", box::TAB_DDD_LINKS, TableShape::Rows, 32, true},
    {"TAB_DDD_RECHTS", box::TAB_DDD_RECHTS, TableShape::Rows, 32, true},
    {"TAB_MTD", box::TAB_MTD, TableShape::LeftRight, 0, false},
    {"TAB_LTD", box::TAB_LTD, TableShape::LeftRight, 0, false},
    {"TAB_LDD", box::TAB_LDD, TableShape::LeftRight, 0, false},
    {"TAB_TDD", box::TAB_TDD, TableShape::LeftRight, 0, false},
    {"TAB_LAD", box::TAB_LAD, TableShape::LeftRight, 0, false},
    {"TAB_SFD1", box::TAB_SFD1, TableShape::LeftRight, 0, false},
    {"TAB_SFD2", box::TAB_SFD2, TableShape::LeftRight, 0, false},
    {"TAB_INFO", box::TAB_INFO, TableShape::LeftRight, 0, false},
    {"TAB_SFD_EX", box::TAB_SFD_EX, TableShape::LeftRight, 0, false},
    {"TAB_SFD_INT16", box::TAB_SFD_INT16, TableShape::Words, 0, false},
    {"TAB_DDZ_LINKS", box::TAB_DDZ_LINKS, TableShape::Rows, 32, true},
    {"TAB_DDZ_RECHTS", box::TAB_DDZ_RECHTS, TableShape::Rows, 32, true},
    {"PARAMETERS", box::PARAMETERS, TableShape::Rows, 1, false},
    {"TAB_DZI", box::TAB_DZI, TableShape::Words, 0, false},
    {"TAB_DKI", box::TAB_DKI, TableShape::Words, 0, false},
    {"TAB_MTI", box::TAB_MTI, TableShape::Words, 0, false},
    {"TAB_LTI", box::TAB_LTI, TableShape::Words, 0, false},
    {"TAB_LDI", box::TAB_LDI, TableShape::Words, 0, false},
    {"TAB_TDI", box::TAB_TDI, TableShape::Words, 0, false},
    {"TAB_LAI", box::TAB_LAI, TableShape::Words, 0, false},
    {"TAB_RES", box::TAB_RES, TableShape::Words, 0, false},
}};

constexpr std::size_t tableBytes(const TableInfo& t)
{
    return t.shape == TableShape::Rows ? static_cast<std::size_t>(t.rows) * 16 : 64;
}

// The table of a section name (exact spelling), or null.
constexpr const TableInfo* findTable(std::string_view section)
{
    for (const TableInfo& t : kTables) {
        if (t.section == section) {
            return &t;
        }
    }
    return nullptr;
}

// The four text tables naming the special functions.
enum class TextTable : int { SFI1, SFI2, EX, EX2 };
inline constexpr int kTextTableCount = 4;
inline constexpr int kTextEntries = 32;
inline constexpr std::array<std::string_view, kTextTableCount> kTextTableSections{
    "TAB_TXT_SFI1", "TAB_TXT_SFI2", "TAB_TXT_EX", "TAB_TXT_EX2"};

// Word tables are big-endian: high byte at the lower address.
constexpr uint16_t readWordBE(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
constexpr void writeWordBE(uint8_t* p, uint16_t value)
{
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value & 0xFF);
}

} // namespace morvex
