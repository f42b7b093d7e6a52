#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Result {
    int status = -1;
    std::string out;
};

// Runs morvex-cli with `args` (already quoted for the shell), stderr merged
// into stdout when `withErrors`.
Result cli(const std::string& args, bool withErrors = true)
{
    const std::string command = std::string(MORVEX_CLI) + " " + args + (withErrors ? " 2>&1" : " 2>/dev/null");
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.out.append(buffer.data(), n);
    }
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

class Cli : public ::testing::Test {
protected:
    Cli()
    {
        std::random_device rd;
        dir = std::filesystem::temp_directory_path() / ("morvex-cli-" + std::to_string(rd()));
        std::filesystem::create_directories(dir);
    }
    ~Cli() override { std::filesystem::remove_all(dir); }
    std::string file(const char* name) const { return "'" + (dir / name).string() + "'"; }
    void write(const char* name, const std::string& text) const
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::filesystem::path dir;
};

TEST_F(Cli, NewAndDumpGiveTheDefaultSet)
{
    ASSERT_EQ(cli("new " + file("a.M60")).status, 0);
    const Result dump = cli("dump " + file("a.M60"), false);
    ASSERT_EQ(dump.status, 0);
    for (const char* key : {"\"image\":\"", "\"texts\":{\"TAB_TXT_SFI1\":[\"LTRH\",\"IPCS\",\"\",\"RLI\"",
                            "\"fileInfo\":{\"LastSave\":\"", "\"comment\":\"\"", "\"fileErrorCode\":0",
                            "\"corrections\":{\"values\":0,\"texts\":0}", "\"indexValues\":{\"TAB_DZI\":[1000,",
                            "\"indexTexts\":{\"TAB_DZI\":[\"1000\",\"1675\"", "\"records\":{\"Ignition_T\":[0,",
                            "\"DataReceived\":[0,"}) {
        EXPECT_NE(dump.out.find(key), std::string::npos) << key;
    }
    // PARAMETERS (box address 0x680) in the hex image: 6 teeth, static point 5.
    const std::size_t image = dump.out.find("\"image\":\"") + 9;
    EXPECT_EQ(dump.out.substr(image + 2 * 0x680, 4), "0605");
    EXPECT_EQ(dump.out.find("\"", image) - image, 2u * 0x28C0);
}

TEST_F(Cli, CsvRoundTripAndDiff)
{
    ASSERT_EQ(cli("new " + file("a.M60")).status, 0);
    ASSERT_EQ(cli("new " + file("b.M60")).status, 0);
    EXPECT_EQ(cli("diff " + file("a.M60") + " " + file("b.M60")).out, "identical\n");

    std::string csv;
    for (int r = 0; r < 32; ++r) {
        for (int c = 0; c < 16; ++c) {
            csv += (c == 0 ? "" : ",") + std::to_string((r * 16 + c) % 251);
        }
        csv += "\r\n";
    }
    write("map.csv", csv);
    ASSERT_EQ(cli("import-csv " + file("b.M60") + " TAB_DDZ_RECHTS " + file("map.csv")).status, 0);
    const Result exported = cli("export-csv " + file("b.M60") + " TAB_DDZ_RECHTS", false);
    EXPECT_EQ(exported.out, csv);

    const Result d = cli("diff " + file("a.M60") + " " + file("b.M60"));
    EXPECT_EQ(d.status, 1);
    // Named as the grids show it: the bottom row is the lowest revolutions.
    EXPECT_NE(d.out.find("TAB_DDZ_RECHTS row 32 col 16 (1000 rpm, 94 %): 0 -> 9\n"), std::string::npos) << d.out;
    EXPECT_NE(d.out.find("TAB_DDZ_RECHTS row 17 col 1 (11000 rpm, 0 %): 0 -> 5\n"), std::string::npos) << d.out;

    // Axis words are shown in physical units.
    write("rpm.csv", "13824\r\n8253\r\n5945\r\n4608\r\n3761\r\n3196\r\n2764\r\n2435\r\n2185\r\n1974\r\n1801\r\n1660\r\n"
                     "1536\r\n1428\r\n1338\r\n1152\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    ASSERT_EQ(cli("import-csv " + file("a.M60") + " TAB_DZI " + file("rpm.csv")).status, 0);
    EXPECT_NE(cli("diff " + file("a.M60") + " " + file("b.M60")).out.find(
                  "TAB_DZI 16: 12000 (raw 1152) -> 11000 (raw 1256)"),
              std::string::npos);
}

TEST_F(Cli, BadInputIsRefusedWithoutChangingTheFile)
{
    ASSERT_EQ(cli("new " + file("a.M60")).status, 0);
    platform::IniFile before;
    std::error_code ec;
    ASSERT_TRUE(before.load(dir / "a.M60", ec));

    write("short.csv", "1,2,3\r\n");
    Result r = cli("import-csv " + file("a.M60") + " TAB_MTD " + file("short.csv"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("expected 32 rows"), std::string::npos);

    std::string tooBig;
    for (int i = 0; i < 32; ++i) {
        tooBig += i == 5 ? "251,7\n" : "1,2\n";
    }
    write("big.csv", tooBig);
    EXPECT_EQ(cli("import-csv " + file("a.M60") + " TAB_DDD_LINKS " + file("big.csv")).status, 1);
    r = cli("import-csv " + file("a.M60") + " TAB_MTD " + file("big.csv"));
    EXPECT_EQ(r.status, 0) << r.out; // correction tables take 0..255

    platform::IniFile after;
    ASSERT_TRUE(after.load(dir / "a.M60", ec));
    EXPECT_EQ(after.getString("TAB_DDD_LINKS", "32"), before.getString("TAB_DDD_LINKS", "32"));
    EXPECT_EQ(after.getString("TAB_MTD", "LI").substr(0, 24), "001,001,001,001,001,251,");

    EXPECT_EQ(cli("export-csv " + file("a.M60") + " TAB_NOPE").status, 2);
    EXPECT_EQ(cli("frobnicate").status, 2);
    EXPECT_EQ(cli("dump").status, 2);
}

TEST_F(Cli, DataFileFailuresExitWithTheMessage)
{
    write("bad.M60", "[TAB_DDD_LINKS]\r\n32=1\r\n");
    const Result r = cli("dump " + file("bad.M60"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Dateifehler : 100\nDatei: "), std::string::npos);
    EXPECT_NE(r.out.find("Fehler beim Einlesen der Datei!\nDaten fehlerhaft!"), std::string::npos);
    EXPECT_EQ(cli("diff " + file("bad.M60") + " " + file("bad.M60")).status, 2);
}

TEST_F(Cli, ResaveKeepsForeignSectionsAndAppliesCorrections)
{
    ASSERT_EQ(cli("new " + file("a.M60")).status, 0);
    platform::IniFile ini;
    std::error_code ec;
    ASSERT_TRUE(ini.load(dir / "a.M60", ec));
    ini.setString("Workshop", "Customer", "Meier");
    std::string row = ini.getString("TAB_DDD_LINKS", "01");
    row.replace(0, 3, "253");
    ini.setString("TAB_DDD_LINKS", "01", row);
    ASSERT_TRUE(ini.save(dir / "a.M60", ec));

    const Result r = cli("resave " + file("a.M60"));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("1 value(s) greater than 250. Limited to 250."), std::string::npos);
    ASSERT_TRUE(ini.load(dir / "a.M60", ec));
    EXPECT_EQ(ini.getString("Workshop", "Customer"), "Meier");
    EXPECT_EQ(ini.getString("TAB_DDD_LINKS", "01").substr(0, 4), "250,");
}

// The data file's record text: per byte "A" + low nibble, "A" + high nibble.
std::string letterPairs(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (const uint8_t b : bytes) {
        text += static_cast<char>('A' + (b & 0x0F));
        text += static_cast<char>('A' + (b >> 4));
    }
    return text;
}

TEST_F(Cli, ProposeWritesTheCorrectedFileAndReportsTheCells)
{
    ASSERT_EQ(cli("new " + file("ride.M60")).status, 0);
    platform::IniFile sensor;
    std::error_code ec;
    ASSERT_TRUE(sensor.load(std::filesystem::path(MORVEX_SOURCE_DIR) / "install/CNF/WB_linear.ldt", ec));
    auto raw = [&](const char* lambda) { return sensor.getInt("SensorTable", lambda, -1); };

    // A ride on the bottom row of the shown map (grid row 17), both maps 100:
    // cell 0 left 10 % lean and right 5 % rich, cell 1 left lean with too few
    // samples, cell 2 left 20 % lean.
    platform::IniFile ini;
    ASSERT_TRUE(ini.load(dir / "ride.M60", ec));
    std::string hundreds = "100";
    for (int i = 1; i < 16; ++i) {
        hundreds += ",100";
    }
    ini.setString("TAB_DDD_LINKS", "16", hundreds);
    ini.setString("TAB_DDD_RECHTS", "16", hundreds);
    std::vector<uint8_t> lambda(1024, 0);
    std::vector<uint8_t> count(1024, 0);
    auto put = [&](int cylinder, int cell, int value, int twenties) {
        const auto word = static_cast<std::size_t>(256 * cylinder + cell);
        lambda[2 * word] = static_cast<uint8_t>(value >> 8); // big-endian words
        lambda[2 * word + 1] = static_cast<uint8_t>(value & 0xFF);
        count[2 * static_cast<std::size_t>(cell)] = static_cast<uint8_t>(twenties);
        count[512 + 2 * static_cast<std::size_t>(cell) + static_cast<std::size_t>(cylinder)] = 1;
    };
    put(0, 0, raw("1.100"), 3);
    put(1, 0, raw("0.950"), 3);
    put(0, 1, raw("1.100"), 1);
    put(0, 2, raw("1.200"), 3);
    ini.setString("DataRecords", "Lambda", letterPairs(lambda));
    ini.setString("DataRecords", "Count", letterPairs(count));
    ini.setString("Workshop", "Customer", "Meier");
    ASSERT_TRUE(ini.save(dir / "ride.M60", ec));

    const Result r = cli("propose --target 1.0 --min-samples 40 --window 0.7:1.3 --limit 10 --sensor WB_linear " +
                         file("ride.M60") + " " + file("out.M60"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("TAB_DDD_LINKS row 17 col 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(": 100 -> 110 (lambda 1.100, target 1.00, 60 samples)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("TAB_DDD_RECHTS row 17 col 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 cells changed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 with too few samples"), std::string::npos) << r.out;

    platform::IniFile out;
    ASSERT_TRUE(out.load(dir / "out.M60", ec));
    EXPECT_EQ(out.getString("TAB_DDD_LINKS", "16").substr(0, 16), "110,100,110,100,");
    EXPECT_EQ(out.getString("TAB_DDD_RECHTS", "16").substr(0, 8), "095,100,");
    EXPECT_EQ(out.getString("Workshop", "Customer"), "Meier");
    EXPECT_EQ(out.getString("DataRecords", "Lambda", {}, 4095), letterPairs(lambda));
    ASSERT_TRUE(ini.load(dir / "ride.M60", ec));
    EXPECT_EQ(ini.getString("TAB_DDD_LINKS", "16"), hundreds);

    // The right map is left alone in lambda correction mode.
    ASSERT_EQ(cli("propose --lambda-correction --sensor WB_linear " + file("ride.M60") + " " + file("lc.M60")).status, 0);
    ASSERT_TRUE(out.load(dir / "lc.M60", ec));
    EXPECT_EQ(out.getString("TAB_DDD_LINKS", "16").substr(0, 12), "110,110,110,");
    EXPECT_EQ(out.getString("TAB_DDD_RECHTS", "16"), hundreds);

    EXPECT_EQ(cli("propose " + file("missing.M60") + " " + file("x.M60")).status, 1);
    EXPECT_EQ(cli("propose --window 1.3:0.7 " + file("ride.M60") + " " + file("x.M60")).status, 2);
    EXPECT_EQ(cli("propose --sensor NoSuchProbe " + file("ride.M60") + " " + file("x.M60")).status, 2);
    EXPECT_EQ(cli("propose " + file("ride.M60")).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.M60"));
}

TEST_F(Cli, ShippedDemoOpensCleanly)
{
    const Result r = cli("dump '" + std::string(MORVEX_SOURCE_DIR) + "/install/DATA/Demo.M60'", true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("Errors in Data File"), std::string::npos);
    EXPECT_NE(r.out.find("\"FileVersion3\":\"Twin 900 cc\""), std::string::npos);
}

} // namespace
