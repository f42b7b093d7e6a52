#include "views/FunctionTable.h"

#include "adapt/adapt.h"
#include "comm/PortCodes.h"
#include "comm/Walks.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

using namespace morvex;
using namespace morvex::views::functiontable;

namespace {

// The special function transfer over a function table of our own.
struct Walk {
    std::array<uint8_t, kTableSize> table{};
    std::vector<comm::WalkStep> steps;

    explicit Walk(bool sending)
    {
        comm::TransferJob job;
        job.command = sending ? comm::CMD_WRITE : comm::CMD_READ;
        job.data = table.data();
        job.variant = comm::variant::SpecialFunctions;
        steps = *comm::buildWalk(job, sending);
    }
    int offsetOf(const comm::WalkStep& step) const { return static_cast<int>(step.byte - table.data()); }
};

// The box numbering of a cell by row and column (column 8 and the words
// count down from the top row).
int rowColumnLineAddress(int row, int column, int byteIndex)
{
    if (column == 8) {
        return 1105 - row;
    }
    if (column == 9) {
        return (byteIndex == 0 ? 1298 : 1299) - 2 * row;
    }
    if (row == kRevLimitRow && column == kRevLimitColumn) {
        return byteIndex == 0 ? 1186 : 1187;
    }
    return 1024 + 32 * column + (33 - row);
}

RevConversions shippedConversions(double maximum)
{
    return {&PC_TO_BOX_Drehzahl, &BOX_TO_PC_Drehzahl_25, maximum};
}

} // namespace

TEST(FunctionTable, ReportsEveryByteUnderTheLineAddressTheTransferWritesItTo)
{
    const Walk walk(true);
    std::set<int> sent;
    for (const comm::WalkStep& step : walk.steps) {
        const int offset = walk.offsetOf(step);
        sent.insert(offset);
        EXPECT_EQ(lineAddressOf(offset), std::optional<uint16_t>(step.lineAddress)) << "byte " << offset;
    }
    EXPECT_EQ(sent.size(), 128u);
    // Nothing else goes to the box: a hidden column or a point above 15
    // would land on another table's bytes (column 7's bytes 448.. on the
    // words of column 9, LTD point 16 on SFD_EX, SFD1 point 16 on the
    // ignition set-up bytes).
    for (int offset = 0; offset < kTableSize; ++offset) {
        if (!sent.contains(offset)) {
            EXPECT_FALSE(lineAddressOf(offset)) << "byte " << offset;
        }
    }
    // Every visible cell: the row and column numbering agrees with the walk.
    for (int row = kFirstShownRow; row <= kLastRow; ++row) {
        for (int column : {0, 1, 2, 5, 6, 8, 9}) {
            if (isRevLimitHighCell(row, column)) {
                continue;
            }
            const CellBytes bytes = cellBytes(row, column);
            for (int i = 0; i < bytes.count; ++i) {
                EXPECT_EQ(lineAddressOf(bytes.offsets[static_cast<std::size_t>(i)]),
                          std::optional<uint16_t>(rowColumnLineAddress(row, column, i)))
                    << "cell " << row << "," << column;
            }
        }
    }
    EXPECT_EQ(rowColumnLineAddress(18, 7, 0), 1263); // why column 7 is not reported
}

TEST(FunctionTable, RevolutionLimitIsKeptWithinItsRangeAndChecked)
{
    // 2 becomes 300 rpm; above the display maximum (11000) it is 110.
    RevLimit r = revLimitFromTyped(2, 11000, &PC_TO_BOX_Drehzahl, &BOX_TO_PC_Drehzahl_25);
    EXPECT_EQ(r.shown, 3);
    EXPECT_EQ(r.raw, PC_TO_BOX_Drehzahl(300));
    EXPECT_TRUE(r.corrected);
    EXPECT_FALSE(r.roundTripFailed);
    r = revLimitFromTyped(200, 11000, &PC_TO_BOX_Drehzahl, &BOX_TO_PC_Drehzahl_25);
    EXPECT_EQ(r.shown, 110);
    EXPECT_TRUE(r.corrected);
    r = revLimitFromTyped(108, 11000, &PC_TO_BOX_Drehzahl, &BOX_TO_PC_Drehzahl_25);
    EXPECT_EQ(r.raw, 1280);
    EXPECT_FALSE(r.corrected);
    // Above a maximum of 30000 the limit becomes 250; a missing maximum (0)
    // still keeps the limit at 300 rpm rather than 0.
    EXPECT_EQ(revLimitFromTyped(320, 30000, &PC_TO_BOX_Drehzahl, &BOX_TO_PC_Drehzahl_25).shown, 250);
    EXPECT_EQ(revLimitFromTyped(50, 0, &PC_TO_BOX_Drehzahl, &BOX_TO_PC_Drehzahl_25).shown, 3);
    // A conversion that does not read back is reported, the value stored.
    r = revLimitFromTyped(50, 11000, &PC_TO_BOX_Drehzahl, [](uint32_t) { return 4900.0; });
    EXPECT_TRUE(r.roundTripFailed);
    EXPECT_EQ(r.raw, PC_TO_BOX_Drehzahl(5000));
}

TEST(FunctionTable, EditsStoreWithinTheCellLimits)
{
    std::array<uint8_t, kTableSize> table{};
    // Column 9 holds words up to 32000, high byte first; a number beyond
    // 16 bits is still above the maximum, not wrapped.
    FunctionEdit e = applyFunctionEdit(table, 33, 9, "40000", shippedConversions(11000));
    EXPECT_EQ(e.answer, -3);
    EXPECT_EQ(e.text, "32000");
    EXPECT_EQ(table[576], 32000 >> 8);
    EXPECT_EQ(table[577], 32000 & 0xFF);
    e = applyFunctionEdit(table, 18, 9, "258", shippedConversions(11000));
    EXPECT_EQ(e.answer, 0);
    EXPECT_EQ(table[576 + 30], 1);
    EXPECT_EQ(table[576 + 31], 2);
    // Byte columns: 0..250; "65536" is far above, not 0.
    e = applyFunctionEdit(table, 33, 8, "65536", shippedConversions(11000));
    EXPECT_EQ(table[512], 250);
    EXPECT_EQ(e.text, "250");
    e = applyFunctionEdit(table, 20, 1, "007", shippedConversions(11000));
    EXPECT_EQ(table[64 + 13], 7);
    EXPECT_EQ(e.text, "7");
    // The ignition map number goes up to 26 and is announced.
    e = applyFunctionEdit(table, kIgnitionMapRow, kIgnitionMapColumn, "30", shippedConversions(11000));
    EXPECT_EQ(table[384 + 2], 26);
    EXPECT_EQ(e.ignitionMap, 26);
    EXPECT_FALSE(applyFunctionEdit(table, 22, 6, "30", shippedConversions(11000)).ignitionMap);
    // The revolution limit's high byte cell is never edited.
    table[kRevLimitHigh] = 7;
    EXPECT_EQ(applyFunctionEdit(table, kRevLimitHighRow, kRevLimitColumn, "9", shippedConversions(11000)).answer, -1);
    EXPECT_EQ(table[kRevLimitHigh], 7);
    EXPECT_EQ(cellText(table, kRevLimitHighRow, kRevLimitColumn, &BOX_TO_PC_Drehzahl_25), "");
}

TEST(FunctionTable, OnlineTuningWalksTheShownColumnsAndPoints)
{
    OnlineTuning t;
    EXPECT_EQ(t.column(), 0);
    EXPECT_FALSE(t.movePoint(1)); // columns 0..2 follow their live point
    EXPECT_TRUE(t.setLive(kLiveEngineTemperature, 40));
    EXPECT_EQ(t.tunedRow(), 33);
    EXPECT_TRUE(t.setLive(kLiveEngineTemperature, kLiveNone));
    EXPECT_EQ(t.tunedRow(), -1);
    EXPECT_FALSE(t.setLive(130, 3));
    t.moveColumn(-1);
    EXPECT_EQ(t.column(), 0);
    t.moveColumn(1);
    t.moveColumn(1);
    t.moveColumn(1);
    EXPECT_EQ(t.column(), 5); // 3 and 4 are hidden
    EXPECT_EQ(t.tunedRow(), 18);
    // Down to point 3 (the revolution limit); point 2 is its high byte.
    for (int i = 0; i < 12; ++i) {
        t.movePoint(-1);
    }
    EXPECT_EQ(t.tunedRow(), kRevLimitRow);
    t.movePoint(-1);
    EXPECT_EQ(t.point(5), 1);
    t.movePoint(1);
    EXPECT_EQ(t.point(5), 3);
    // The point moves along to columns 6 and 8 (7 is hidden).
    t.moveColumn(1);
    t.moveColumn(1);
    EXPECT_EQ(t.column(), 8);
    EXPECT_EQ(t.point(8), 3);
    t.liveFailed();
    EXPECT_EQ(t.tunedRow(), -1);
    t.moveColumn(1);
    t.moveColumn(1);
    EXPECT_EQ(t.column(), 9);
}
