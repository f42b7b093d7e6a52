#include "tools/boxsim/BoxImage.h"

#include "document/BoxLayout.h"
#include "document/InfoRecords.h"
#include "document/MorvexDoc.h"
#include "platform/Log.h"

#include <array>
#include <cmath>

namespace boxsim {
namespace {

using morvex::BoxAddress;
namespace box = morvex::box;

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.boxsim");
    return category;
}

// Byte blocks that the box holds as they lie in the image.
struct ByteBlock {
    BoxAddress image;
    uint16_t line;
    uint16_t length;
};

constexpr uint16_t kHalfMap = 256; // the box holds map rows 16..31

constexpr std::array<ByteBlock, 13> kByteBlocks{{
    {box::TAB_DDD_LINKS + kHalfMap, line::FuelLeft, 256},
    {box::TAB_DDD_RECHTS + kHalfMap, line::FuelRight, 256},
    {box::TAB_DDZ_LINKS + kHalfMap, line::IgnLeft, 256},
    {box::TAB_DDZ_RECHTS + kHalfMap, line::IgnRight, 256},
    {box::TAB_MTD, line::MTD, 16},
    {box::TAB_LTD, line::LTD, 16},
    {box::TAB_SFD_EX, line::SFD_EX, 16},
    {box::TAB_LDD, line::LDD, 16},
    {box::TAB_SFD1, line::SFD1, 16},
    {box::PARAMETERS, line::Setup, 2},
    {box::TAB_SFD2, line::SFD2, 16},
    {box::TAB_SFD_INT16, line::SFD_INT16, 32}, // words 0..15, ascending
    {box::TAB_DZI, line::DZI, 32},             // words 0..15, ascending
}};

// Axes whose words the box holds in reversed order: word k of the table
// at line address base + 2 (15 - k).
struct ReversedAxis {
    BoxAddress image;
    uint16_t line;
};

constexpr std::array<ReversedAxis, 4> kReversedAxes{{
    {box::TAB_DKI, line::DKI},
    {box::TAB_MTI, line::MTI},
    {box::TAB_LTI, line::LTI},
    {box::TAB_LDI, line::LDI},
}};

struct NameTable {
    morvex::TextTable table;
    uint16_t line;
};

constexpr std::array<NameTable, 4> kNameTables{{
    {morvex::TextTable::SFI1, line::TxtSfi1},
    {morvex::TextTable::SFI2, line::TxtSfi2},
    {morvex::TextTable::EX, line::TxtEx},
    {morvex::TextTable::EX2, line::TxtEx2},
}};

uint16_t reversedLine(uint16_t base, int k)
{
    return static_cast<uint16_t>(base + 2 * (15 - k));
}

uint16_t nameLine(uint16_t base, int i)
{
    return static_cast<uint16_t>(base + line::kNameWidth * i);
}

constexpr int kInfoTexts = 6; // box versions 2..7

uint16_t infoLine(int j)
{
    return static_cast<uint16_t>(j < 5 ? line::InfoText1 + 8 * j : line::InfoText6);
}

int infoWidth(int j)
{
    return j < 5 ? 8 : 16;
}

} // namespace

void LoadFromDocument(const morvex::CMorvexDoc& doc, BoxMemory& memory)
{
    for (const ByteBlock& b : kByteBlocks) {
        const uint8_t* src = doc.GetBoxData(b.image);
        for (uint16_t i = 0; i < b.length; ++i) {
            memory.set(b.line + i, src[i]);
        }
    }
    for (const ReversedAxis& a : kReversedAxes) {
        for (int k = 0; k < line::kAxisWords; ++k) {
            memory.setWord(reversedLine(a.line, k), doc.GetWord(a.image, k));
        }
    }
    for (const NameTable& n : kNameTables) {
        for (int i = 0; i < line::kNames; ++i) {
            const std::string& text = doc.Text(n.table, i);
            if (text.size() > static_cast<std::size_t>(line::kNameWidth)) {
                log().warning("name \"" + text + "\" cut to 4 characters");
            }
            memory.setText(nameLine(n.line, i), line::kNameWidth, text);
        }
    }
}

void StoreIntoDocument(const BoxMemory& memory, morvex::CMorvexDoc& doc)
{
    for (const ByteBlock& b : kByteBlocks) {
        uint8_t* dst = doc.GetBoxData(b.image);
        for (uint16_t i = 0; i < b.length; ++i) {
            dst[i] = memory.at(b.line + i);
        }
    }
    for (const ReversedAxis& a : kReversedAxes) {
        for (int k = 0; k < line::kAxisWords; ++k) {
            doc.SetWord(a.image, k, memory.word(reversedLine(a.line, k)));
        }
    }
    for (const NameTable& n : kNameTables) {
        for (int i = 0; i < line::kNames; ++i) {
            doc.SetText(n.table, i, memory.text(nameLine(n.line, i), line::kNameWidth));
        }
    }
    doc.ConvertIndexTables();
}

void LoadInfo(const morvex::CBoxInfo& info, BoxMemory& memory)
{
    for (int j = 0; j < kInfoTexts; ++j) {
        memory.setText(infoLine(j), infoWidth(j), info.versions[static_cast<std::size_t>(j + 1)]);
    }
    if (info.lastTransfer.valid) {
        memory.setTimeStamp(info.lastTransfer.days);
    }
}

void StoreInfo(const BoxMemory& memory, morvex::CBoxInfo& info)
{
    for (int j = 0; j < kInfoTexts; ++j) {
        info.versions[static_cast<std::size_t>(j + 1)] = memory.text(infoLine(j), infoWidth(j));
    }
    const double days = memory.timeStamp();
    info.lastTransfer = std::isfinite(days) ? platform::OleDateTime::fromDays(days) : platform::OleDateTime::invalid();
}

} // namespace boxsim
