#include "DocumentFixture.h"

#include "document/Premap.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace morvex::test {
namespace {

// A row of 35 two-digit numbers: base, base+1, ... (mod 100).
std::string row(int base)
{
    std::string text;
    for (int j = 0; j < 35; ++j) {
        char piece[4];
        std::snprintf(piece, sizeof piece, "%02d", (base + j) % 100);
        text += (j == 0 ? "" : ",");
        text += piece;
    }
    return text;
}

std::string premapFile(const std::string& offsets, int badRow = 0, const std::string& badText = {})
{
    std::string text = "[Premap-rows]\r\n";
    for (int k = 1; k <= 16; ++k) {
        char key[4];
        std::snprintf(key, sizeof key, "%02d", k);
        text += std::string(key) + "=" + (k == badRow ? badText : row(k)) + "\r\n";
    }
    return text + "[Throttle]\r\nOFFSET=" + offsets + "\r\n";
}

struct Records {
    std::array<uint8_t, rec::kPremapRowsSize> rows{};
    std::array<uint8_t, rec::kPremapOffsetSize> offsets{};
    std::array<uint8_t, rec::kIgnitionWorkSize> work{};
};

TEST(Premap, LoadsRowsAndLimitsOffsets)
{
    Records r;
    const auto ini = platform::IniFile::fromText(premapFile("0,1,2,3,4,5,6,7,8,12,0,0,0,0,0,-3"));
    ASSERT_EQ(row(1).size(), 104u);
    EXPECT_TRUE(LoadPremap(ini, r.rows, r.offsets));
    EXPECT_EQ(r.rows[0], 1);
    EXPECT_EQ(r.rows[34], 35);
    EXPECT_EQ(r.rows[35], 2);     // key 02 starts at byte 35
    EXPECT_EQ(r.rows[559], 50);   // key 16, number 34: 16 + 34
    EXPECT_EQ(r.offsets[8], 8);
    EXPECT_EQ(r.offsets[9], 8);   // 12 is stored as 8
    EXPECT_EQ(r.offsets[15], 0);  // a negative offset would leave the record
}

TEST(Premap, MalformedRowStopsTheLoad)
{
    Records r;
    std::string threeDigits = row(3);
    threeDigits.replace(0, 2, "100"); // one number with three digits: 105 characters
    const auto ini = platform::IniFile::fromText(premapFile("1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1", 3, threeDigits));
    EXPECT_FALSE(LoadPremap(ini, r.rows, r.offsets));
    EXPECT_EQ(r.rows[35], 2);   // rows before the bad one are kept
    EXPECT_EQ(r.rows[70], 0);   // the bad row and all after it stay zero
    EXPECT_EQ(r.rows[559], 0);
    EXPECT_EQ(r.offsets[0], 0); // offsets are not read
}

TEST(Premap, RowWithTooManyNumbersDoesNotSpill)
{
    Records r;
    // 104 characters, but 52 numbers: storing them would run past the record.
    std::string many;
    for (int j = 0; j < 52; ++j) {
        many += (j == 0 ? "9" : ",9");
    }
    many += ",";
    ASSERT_EQ(many.size(), 104u);
    const auto ini = platform::IniFile::fromText(premapFile("0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0", 16, many));
    EXPECT_FALSE(LoadPremap(ini, r.rows, r.offsets));
    EXPECT_EQ(r.rows[525], 0);
    EXPECT_EQ(r.rows[524], 34 + 15);
}

TEST(Premap, WrongOffsetCountLeavesOffsetsZero)
{
    Records r;
    EXPECT_FALSE(LoadPremap(platform::IniFile::fromText(premapFile("1,2,3")), r.rows, r.offsets));
    EXPECT_EQ(r.rows[559], 50);
    EXPECT_EQ(r.offsets[0], 0);
    EXPECT_FALSE(LoadPremap(platform::IniFile(), r.rows, r.offsets));
    EXPECT_EQ(r.rows[0], 0); // zeroed before loading
}

TEST(Premap, ComputeLaysTheCurveIntoTheUpperRows)
{
    Records r;
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        r.rows[i] = static_cast<uint8_t>(i % 251);
    }
    r.offsets.fill(8);
    int shown = -1;
    ASSERT_TRUE(ComputePremap(26, shown, r.rows, r.offsets, 5, r.work));
    EXPECT_EQ(shown, 26);
    // Premap 26 with all offsets 8 reads the last block, bytes 544..559.
    EXPECT_EQ(r.work[256], (559 % 251) + 5);       // row 0 reads byte 16*34 + 15
    EXPECT_EQ(r.work[256 + 16 * 15], (544 % 251) + 5);
    EXPECT_EQ(r.work[0], 0);                        // rows 0..15 untouched

    // The static ignition point is added modulo 256.
    r.rows[16 * 8 + 15] = 254;
    shown = -1;
    ASSERT_TRUE(ComputePremap(0, shown, r.rows, r.offsets, 5, r.work));
    EXPECT_EQ(r.work[256], 3);
}

TEST(Premap, ComputeIgnoresInvalidOrShownNumbers)
{
    Records r;
    r.rows.fill(7);
    int shown = 4;
    EXPECT_FALSE(ComputePremap(27, shown, r.rows, r.offsets, 5, r.work));
    EXPECT_FALSE(ComputePremap(-1, shown, r.rows, r.offsets, 5, r.work));
    EXPECT_FALSE(ComputePremap(4, shown, r.rows, r.offsets, 5, r.work));
    EXPECT_EQ(r.work[256], 0);
    EXPECT_TRUE(ComputePremap(3, shown, r.rows, r.offsets, 5, r.work));
    EXPECT_EQ(r.work[256], 12);
}

TEST(Premap, ShippedFileLoadsCompletely)
{
    Records r;
    EXPECT_TRUE(LoadPremapFile(shippedCnf() / "Premap.cfg", r.rows, r.offsets));
    for (uint8_t o : r.offsets) {
        EXPECT_LE(o, kPremapMaxOffset);
    }
}

} // namespace
} // namespace morvex::test
