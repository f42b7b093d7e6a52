#include "shell/MorvexApp.h"
#include "ProgramFolder.h"
#include "platform/IniFile.h"
#include "platform/UserMessages.h"
#include "tests/document/RecordingMessages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

using morvex::shell::CMorvexApp;
using testing_support::ScratchProgramFolder;
namespace fs = std::filesystem;

namespace {

CMorvexApp::Options optionsFor(const ScratchProgramFolder& folder)
{
    CMorvexApp::Options o;
    o.programDir = folder.path();
    o.userConfigDir = folder.path() / "user-config";
    return o;
}

} // namespace

TEST(MorvexApp, EmptySettingsStartWithTheDefaults)
{
    ScratchProgramFolder folder;
    folder.write("Morvex.ini", "");
    morvex::test::RecordingMessages messages;
    CMorvexApp app;
    ASSERT_TRUE(app.InitInstance(optionsFor(folder), messages));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(app.settings().lastUsedCom, 1);
    EXPECT_EQ(app.settings().lastUsedBaud, 19200);
    EXPECT_EQ(app.settings().language, "en");
    EXPECT_EQ(app.settings().mruCount, 4);
    EXPECT_TRUE(app.sensors().rawSelected());
    EXPECT_EQ(app.settings().useRightCylinderForLambdaCorrection, 1);
    EXPECT_EQ(app.timeouts().readTotalTimeoutConstant, 250u);
    EXPECT_EQ(app.settingsPath(), folder.path() / "Morvex.ini");
    app.OpenStartupDocument();
    EXPECT_TRUE(app.docManager().PathName().empty());

    // At exit every setting is written back; raw values as an empty sensor.
    app.ExitInstance();
    const platform::IniFile written = platform::IniFile::fromText(folder.read("Morvex.ini"));
    EXPECT_EQ(written.getInt("Misc", "LastUsedCom", 0), 1);
    EXPECT_EQ(written.getInt("Misc", "LastUsedBAUD", 0), 19200);
    EXPECT_TRUE(written.hasKey("Misc", "LamdaSensor"));
    EXPECT_EQ(written.getString("Misc", "LamdaSensor", "x"), "");
}

TEST(MorvexApp, MissingFolderOrLibraryEndsTheStart)
{
    {
        ScratchProgramFolder folder;
        fs::remove(folder.path() / "HELP");
        morvex::test::RecordingMessages messages;
        CMorvexApp app;
        EXPECT_FALSE(app.InitInstance(optionsFor(folder), messages));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Installation incomplete!\nNo data directory found!\n\nProgram aborted!");
        EXPECT_TRUE(messages.shown[0].systemModal);
        EXPECT_EQ(messages.shown[0].icon, platform::UserMessage::Icon::Stop);
        EXPECT_FALSE(fs::exists(folder.path() / "Morvex.ini")) << "nothing is written after a failed start";
    }
    {
        ScratchProgramFolder folder(false);
        morvex::test::RecordingMessages messages;
        CMorvexApp app;
        EXPECT_FALSE(app.InitInstance(optionsFor(folder), messages));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Konnte adapt.dll nicht finden!");
    }
}

TEST(MorvexApp, StartsWithTheFirstRecentFileThatStillExists)
{
    ScratchProgramFolder folder;
    const fs::path demo = folder.path() / "DATA" / "Demo.M60";
    folder.write("Morvex.ini", "[Recent File List]\r\nFile1=/nowhere/gone1.M60\r\nFile2=/nowhere/gone2.M60\r\n"
                               "File3=" +
                                   demo.string() + "\r\n");
    morvex::test::RecordingMessages messages;
    {
        CMorvexApp app;
        ASSERT_TRUE(app.InitInstance(optionsFor(folder), messages));
        app.OpenStartupDocument();
        EXPECT_EQ(app.docManager().PathName(), demo);
        EXPECT_EQ(app.settings().recentFiles, std::vector<std::string>{demo.string()});
        app.ExitInstance();
    }
    EXPECT_TRUE(messages.shown.empty());
    const platform::IniFile written = platform::IniFile::fromText(folder.read("Morvex.ini"));
    EXPECT_FALSE(written.hasKey("Recent File List", "File2"));

    // A file on the command line wins over the recent list.
    const fs::path other = folder.path() / "other.M60";
    fs::copy_file(demo, other);
    CMorvexApp app;
    CMorvexApp::Options o = optionsFor(folder);
    o.file = other;
    ASSERT_TRUE(app.InitInstance(o, messages));
    app.OpenStartupDocument();
    EXPECT_EQ(app.docManager().PathName(), other);
    EXPECT_EQ(app.settings().recentFiles.front(), other.string());
}

TEST(MorvexApp, ReadOnlyProgramFolderKeepsSettingsInTheUserFolder)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    ScratchProgramFolder folder;
    folder.write("Morvex.ini", "[Misc]\r\nLastUsedCom=4\r\n");
    fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::remove);
    morvex::test::RecordingMessages messages;
    CMorvexApp app;
    ASSERT_TRUE(app.InitInstance(optionsFor(folder), messages));
    EXPECT_EQ(app.settings().lastUsedCom, 4);
    app.ExitInstance();
    fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(app.settingsPath(), folder.path() / "user-config" / "Morvex.ini");
    EXPECT_TRUE(fs::exists(folder.path() / "user-config" / "Morvex.ini"));
}
