#include "DocumentFixture.h"

#include "document/Labels.h"
#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <fstream>

namespace morvex::test {
namespace {

std::string readAll(const std::filesystem::path& p)
{
    std::string bytes;
    std::error_code ec;
    EXPECT_TRUE(platform::readWholeFile(p, bytes, ec)) << ec.message();
    return bytes;
}

TEST(Labels, EmptyFileGetsEveryWrittenBackCaption)
{
    platform::IniFile file;
    CLabels labels;
    labels.Read(file);

    const auto grid = file.keyNames("GridLabels");
    ASSERT_EQ(grid.size(), 28u);
    EXPECT_EQ(grid.front(), "FunctionLeft");
    EXPECT_EQ(grid.back(), "DataRecordPane7");
    EXPECT_EQ(file.getString("GridLabels", "CylinderRight%Short"), "%");
    EXPECT_EQ(file.getString("GridLabels", "IndexTop"), "Function name / Unit");

    // Only the channels without a usable default are written back.
    EXPECT_EQ(file.keyNames("Labels"), (std::vector<std::string>{"Special-Function3", "Special-Function4"}));
    EXPECT_EQ(file.getString("Labels", "Special-Function3"), "Voodoo");
    EXPECT_EQ(file.getString("Labels", "Special-Function4"), "16Bit");
    EXPECT_EQ(file.keyNames("Units"),
              (std::vector<std::string>{"Special-Function3", "Special-Function4", "Lambda-Analog"}));
    EXPECT_EQ(file.getString("Units", "Lambda-Analog"), "[La]");
    EXPECT_EQ(file.getString("Units", "Special-Function4"), "(text)");
    EXPECT_EQ(file.keyNames("Info"), (std::vector<std::string>{"IE-Counter", "Start-Counter"}));
    EXPECT_FALSE(file.hasSection("Diagnostic"));

    EXPECT_EQ(labels.label(Channel::Revolutions), "REV");
    EXPECT_EQ(labels.unit(Channel::SpecialFunction2), "Very Special");
    EXPECT_EQ(labels.label(Channel::LambdaAnalog), "La");
    EXPECT_EQ(labels.info(InfoLabel::FileVersion2), "For Box version");
    EXPECT_EQ(labels.info(InfoLabel::BoxVersion7), "Box version7");
    EXPECT_EQ(labels.diagnostic(DiagnosticLabel::DiagInfoText), "Diagnostic in progress...");
}

TEST(Labels, FileValuesReplaceDefaults)
{
    auto file = platform::IniFile::fromText("[Labels]\r\n"
                                            "Revolutions=RPM\r\n"
                                            "Lambda-Analog=ignored\r\n"
                                            "[Units]\r\n"
                                            "Revolutions=rpm\r\n"
                                            "Motor-Temperature=\xB0"
                                            "C\r\n"
                                            "[GridLabels]\r\n"
                                            "CylinderLeft=Linker Zylinder\r\n"
                                            "FuelmapLC=\r\n"
                                            "[Info]\r\n"
                                            "FileVersion3=Motorrad\r\n"
                                            "IE-Counter=Einspritzungen\r\n"
                                            "[Diagnostic]\r\n"
                                            "Fuel Pump=Benzinpumpe\r\n");
    CLabels labels;
    labels.Read(file);
    EXPECT_EQ(labels.label(Channel::Revolutions), "RPM");
    EXPECT_EQ(labels.unit(Channel::Revolutions), "rpm");
    EXPECT_EQ(labels.unit(Channel::MotorTemperature), "\xB0"
                                                      "C"); // bytes kept as in the file
    // Units without an entry default to the built-in label, not the file's.
    EXPECT_EQ(labels.unit(Channel::ThrottlePosition), "TPS");
    EXPECT_EQ(labels.label(Channel::LambdaAnalog), "La"); // fixed
    EXPECT_EQ(labels.grid(GridLabel::CylinderLeft), "Linker Zylinder");
    // An empty caption counts as missing and is written back.
    EXPECT_EQ(labels.grid(GridLabel::FuelmapLC), "Fuel Map");
    EXPECT_EQ(file.getString("GridLabels", "FuelmapLC"), "Fuel Map");
    EXPECT_EQ(labels.info(InfoLabel::FileVersion3), "Motorrad");
    EXPECT_EQ(labels.info(InfoLabel::IECounter), "Einspritzungen");
    EXPECT_EQ(labels.info(InfoLabel::StartCounter), "Start-Counter");
    EXPECT_EQ(labels.diagnostic(DiagnosticLabel::FuelPump), "Benzinpumpe");
    EXPECT_EQ(labels.diagnostic(DiagnosticLabel::Throttle), "Throttle");
}

TEST(Labels, WriteBackKeepsTheRestOfTheFile)
{
    TempDir dir;
    const auto path = dir.path() / "Labels.en";
    const std::string original = "; Morvex labels\r\n"
                                 "[GridLabels]\r\n"
                                 "FunctionLeft=Idx\r\n"
                                 "\r\n"
                                 "[Custom]\r\n"
                                 "Keep=this\n";
    {
        std::ofstream out(path, std::ios::binary);
        out << original;
    }
    CLabels labels;
    LoadLabels(path, labels);
    EXPECT_EQ(labels.grid(GridLabel::FunctionLeft), "Idx");
    const std::string written = readAll(path);
    EXPECT_EQ(written.rfind("; Morvex labels\r\n[GridLabels]\r\nFunctionLeft=Idx\r\nFunctionTop=Function name\r\n", 0),
              0u);
    EXPECT_NE(written.find("\r\n\r\n[Custom]\r\nKeep=this\n"), std::string::npos);

    // A complete file is left alone the second time.
    CLabels again;
    LoadLabels(path, again);
    EXPECT_EQ(readAll(path), written);
}

// Bytes of a file saved as "Unicode" by a Windows editor (UTF-16LE with its
// mark), built here rather than with the code under test.
std::string utf16LeFile(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST(Labels, UnicodeFileIsReadAndExtendedInUnicode)
{
    TempDir dir;
    const auto path = dir.path() / "Labels.de";
    const std::u16string original = u"[Labels]\r\n"
                                    u"Revolutions=Drehzahl\r\n"
                                    u"[Units]\r\n"
                                    u"Motor-Temperature=\u00B0C\r\n"
                                    u"[GridLabels]\r\n"
                                    u"CylinderLeft=Linker Zylinder\r\n"
                                    u"[Notizen]\r\n"
                                    u"Sonde=\u03BB-Sonde\r\n";
    {
        std::ofstream out(path, std::ios::binary);
        out << utf16LeFile(original);
    }
    CLabels labels;
    LoadLabels(path, labels);
    EXPECT_EQ(labels.label(Channel::Revolutions), "Drehzahl");
    EXPECT_EQ(labels.unit(Channel::MotorTemperature), "\xB0"
                                                      "C");
    EXPECT_EQ(labels.grid(GridLabel::CylinderLeft), "Linker Zylinder");

    // The missing captions were added in UTF-16 too: the whole file is one
    // UTF-16 text that holds the old lines and the new ones.
    const std::string written = readAll(path);
    ASSERT_EQ(written.size() % 2, 0u);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < written.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(written[i]) |
                                      static_cast<unsigned char>(written[i + 1]) << 8);
    }
    EXPECT_EQ(text.rfind(u"\uFEFF[Labels]\r\nRevolutions=Drehzahl\r\n", 0), 0u);
    const std::u16string_view lines[] = {
        u"CylinderLeft=Linker Zylinder\r\n", u"FunctionLeft=Index\r\n", u"LambdaCorrection=Lambda Correction\r\n",
        u"Special-Function3=Voodoo\r\n",     u"Lambda-Analog=[La]\r\n", u"[Notizen]\r\nSonde=\u03BB-Sonde\r\n"};
    for (std::size_t i = 0; i < std::size(lines); ++i) {
        EXPECT_NE(text.find(lines[i]), std::u16string::npos) << "line " << i;
    }

    // Read again: everything is there and nothing more is written.
    CLabels again;
    LoadLabels(path, again);
    EXPECT_EQ(readAll(path), written);
    EXPECT_EQ(again.label(Channel::Revolutions), "Drehzahl");
    EXPECT_EQ(again.grid(GridLabel::FunctionTop), "Function name");
}

TEST(Labels, MissingFileIsCreated)
{
    TempDir dir;
    const auto path = labelFilePath(dir.path(), "de");
    EXPECT_EQ(path.filename(), "Labels.de");
    CLabels labels;
    LoadLabels(path, labels);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_NE(readAll(path).find("[GridLabels]\r\nFunctionLeft=Index\r\n"), std::string::npos);
}

TEST(Labels, LanguageCodeCannotLeaveTheFolder)
{
    EXPECT_EQ(labelFilePath("/opt/cnf", "en"), std::filesystem::path("/opt/cnf/Labels.en"));
    EXPECT_EQ(labelFilePath("/opt/cnf", "../../etc/passwd"), std::filesystem::path("/opt/cnf/Labels.en"));
    EXPECT_EQ(labelFilePath("/opt/cnf", ""), std::filesystem::path("/opt/cnf/Labels.en"));
}

TEST(Labels, ShippedLabelFilesNeedNoWriteBack)
{
    for (const char* language : {"en", "de"}) {
        platform::IniFile file;
        std::error_code ec;
        ASSERT_TRUE(file.load(labelFilePath(shippedCnf(), language), ec)) << language;
        CLabels labels;
        labels.Read(file);
        EXPECT_FALSE(file.isModified()) << language;
        for (int c = 0; c < kChannelCount; ++c) {
            const auto key = channelKey(static_cast<Channel>(c));
            EXPECT_TRUE(file.hasKey("Labels", key)) << language << " " << key;
            EXPECT_TRUE(file.hasKey("Units", key)) << language << " " << key;
        }
        EXPECT_EQ(file.keyNames("Diagnostic").size(), 11u) << language;
    }
}

} // namespace
} // namespace morvex::test
