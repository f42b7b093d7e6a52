#include "views/IndexTable.h"

#include "adapt/adapt.h"
#include "comm/PortCodes.h"
#include "comm/Walks.h"
#include "tools/boxsim/BoxMemory.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

using namespace morvex;
using namespace morvex::views::indextable;

namespace {

// The index transfer over axis tables and names of our own.
struct IndexWalk {
    std::array<uint8_t, kLastIndexColumn * kTableBytes> axes{};
    comm::NameBytes names{};
    std::vector<comm::WalkStep> steps;

    explicit IndexWalk(bool sending)
    {
        comm::TransferJob job;
        job.command = sending ? comm::CMD_WRITE : comm::CMD_READ;
        job.data = axes.data();
        job.names = &names;
        job.variant = comm::variant::IndexTables;
        steps = *comm::buildWalk(job, sending);
    }
    bool isAxisByte(const comm::WalkStep& s) const
    {
        return s.byte >= axes.data() && s.byte < axes.data() + axes.size();
    }
};

} // namespace

TEST(IndexTable, EveryStepOfTheIndexTransferLandsInTheCellOfItsWordOrName)
{
    for (const bool sending : {true, false}) {
        const IndexWalk walk(sending);
        std::set<std::pair<int, int>> cells;
        for (std::size_t i = 0; i < walk.steps.size(); ++i) {
            const comm::WalkStep& step = walk.steps[i];
            const int position = positionOfStep(static_cast<int>(i));
            ASSERT_GE(position, 0) << "step " << i;
            const int row = rowOfPosition(position);
            const int column = columnOfPosition(position);
            if (walk.isAxisByte(step)) {
                // Both bytes of a word, the reversed axes included, name the
                // cell whose word they carry.
                const int offset = static_cast<int>(step.byte - walk.axes.data());
                EXPECT_EQ(column, offset / kTableBytes + 1) << "step " << i;
                EXPECT_EQ(wordOffset(row, column), offset & ~1) << "step " << i;
            } else {
                // Each name's four characters name its cell.
                const int offset = static_cast<int>(step.byte - walk.names.data());
                EXPECT_EQ(column, kFirstTextColumn + offset / 64) << "step " << i;
                EXPECT_EQ(pointOfRow(row), offset % 64 / kNameLength) << "step " << i;
            }
            EXPECT_GE(row, kFirstShownRow);
            EXPECT_FALSE(isHiddenColumn(column));
            cells.insert({row, column});
        }
        EXPECT_EQ(positionOfStep(static_cast<int>(walk.steps.size())), -1);
        // Every shown cell travels: five axes and four name sets, 16 points.
        EXPECT_EQ(cells.size(), std::size_t{9 * kBoxPoints});
    }
}

TEST(IndexTable, LiveMarkersShowTheWordTheBoxReportsForItsPoint)
{
    // The document's axes sent into the simulated box's memory, every word
    // a different one.
    IndexWalk walk(true);
    for (int i = 0; i < kLastIndexColumn * kPoints; ++i) {
        writeWordBE(&walk.axes[static_cast<std::size_t>(2 * i)], static_cast<uint16_t>(1000 + i));
    }
    boxsim::BoxMemory memory;
    for (const comm::WalkStep& step : walk.steps) {
        memory.set(step.lineAddress, *step.byte);
    }
    // "hold <axis>-index k": the box reports point k and the word at its
    // own axis address base + 2k.
    const std::array<uint16_t, kLiveColumns> bases{boxsim::line::DZI, boxsim::line::DKI, boxsim::line::MTI,
                                                   boxsim::line::LTI, boxsim::line::LDI};
    for (int parameter = kFirstLiveParameter; parameter <= kLastLiveParameter; ++parameter) {
        const int column = liveColumnOf(parameter);
        for (int k = 0; k < kBoxPoints; ++k) {
            const int row = liveMarkerRow(parameter, k);
            ASSERT_GE(row, kFirstShownRow) << parameter << " " << k;
            ASSERT_LE(row, kLastRow);
            EXPECT_EQ(readWordBE(&walk.axes[static_cast<std::size_t>(wordOffset(row, column))]),
                      memory.axisWord(bases[static_cast<std::size_t>(parameter - kFirstLiveParameter)], k))
                << parameter << " point " << k;
        }
        EXPECT_EQ(liveMarkerRow(parameter, 40), liveMarkerRow(parameter, 15));
        EXPECT_EQ(liveMarkerRow(parameter, 255), -1);
    }
    EXPECT_EQ(liveMarkerRow(135, 3), -1);
    // The fuel map's live cell stands on the same rpm and throttle points:
    // its row r shows rpm text 32 - r, its column c throttle text c - 1.
    views::LiveCell cell;
    views::applyLiveValue(cell, 130, 6);
    views::applyLiveValue(cell, 131, 4);
    EXPECT_EQ(pointOfRow(liveMarkerRow(130, 6)), 32 - (cell.row + 1));
    EXPECT_EQ(pointOfRow(liveMarkerRow(131, 4)), cell.column);
}

TEST(IndexTable, AxisValuesAreLimitedRoundedAndShownAsTheBoxWordReadsBack)
{
    // No number reads as 0: below the minimum.
    const AxisRules rpm{&PC_TO_BOX_Drehzahl, &BOX_TO_PC_Drehzahl_25, DisplayFormat{0}, 1000, 11000};
    AxisEdit e = axisEditOf("rpm", rpm);
    EXPECT_TRUE(e.limited);
    EXPECT_EQ(e.word, PC_TO_BOX_Drehzahl(1000));
    EXPECT_EQ(e.text, "1000");
    // Rounded to the precision shown before the conversion: 1000.4 is sent
    // as 1000 (2267), not as 2268.
    const AxisRules pressure{&PC_TO_BOX_Luftdruck, &BOX_TO_PC_Luftdruck, DisplayFormat{0}, 600, 1100};
    e = axisEditOf("1000.4", pressure);
    EXPECT_FALSE(e.limited);
    EXPECT_EQ(e.word, 2267);
    EXPECT_EQ(e.text, "1000");
    // Limits and shown value in the column's format.
    const AxisRules lambda{&PC_TO_BOX_Lambda, &BOX_TO_PC_Lambda, DisplayFormat{2}, 100, 900};
    EXPECT_EQ(limitMessage(lambda), "Please insert value between 100.00 and 900.00!");
    EXPECT_EQ(axisEditOf("901", lambda).text, "900.00");
}
