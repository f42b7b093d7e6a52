#include "shell/FrameRules.h"
#include "shell/WebEngineCheck.h"

#include <gtest/gtest.h>

using namespace morvex::shell;

TEST(PaneSwitching, DiagnosticIsSkippedWhileOnlineOrBusy)
{
    EXPECT_EQ(nextPane(505, true), 501);
    EXPECT_EQ(nextPane(505, false), 506);
    EXPECT_EQ(nextPane(506, false), 501);
    EXPECT_EQ(nextPane(502, true), 503);
    EXPECT_EQ(previousPane(501, true), 505);
    EXPECT_EQ(previousPane(501, false), 506);
    EXPECT_EQ(previousPane(506, false), 505);
    EXPECT_EQ(previousPane(503, true), 502);
}

TEST(PaneSwitching, TitleNamesTheActivePane)
{
    EXPECT_EQ(windowTitle(501), "Zorvane Morvex 02-2008 [Fuel Map]");
    EXPECT_EQ(windowTitle(504), "Zorvane Morvex 02-2008 [Data Record]");
    EXPECT_EQ(windowTitle(506), "Zorvane Morvex 02-2008 [Diagnostic]");
}

TEST(CommandRules, TransfersNeedIdleAndATablePane)
{
    FrameState s;
    for (int id : {cmd::kSendPane, cmd::kReceivePane, cmd::kSendAll, cmd::kReceiveAll}) {
        s = {};
        EXPECT_TRUE(commandState(id, s).enabled) << id;
        s.activeView = kDataRecordPane;
        EXPECT_FALSE(commandState(id, s).enabled) << id;
        s.activeView = kDiagnosticPane;
        EXPECT_FALSE(commandState(id, s).enabled) << id;
        s = {};
        s.online = true;
        EXPECT_FALSE(commandState(id, s).enabled) << id;
        s = {};
        s.busy = true;
        s.operationRunning = true;
        EXPECT_FALSE(commandState(id, s).enabled) << id;
    }
}

TEST(CommandRules, TransfersWaitForAnInfoTransfer)
{
    // An info transfer runs an operation without being a table transfer
    // (not busy) and without online mode: the port is taken all the same.
    FrameState s;
    s.operationRunning = true;
    for (int id : {cmd::kSendPane, cmd::kReceivePane, cmd::kSendAll, cmd::kReceiveAll}) {
        EXPECT_FALSE(commandState(id, s).enabled) << id;
    }
    EXPECT_FALSE(commandState(cmd::kCancel, s).enabled) << "Esc cancels table transfers only";
}

TEST(CommandRules, OnlineCancelAndPanes)
{
    FrameState s;
    EXPECT_TRUE(commandState(cmd::kOnline, s).enabled);
    EXPECT_FALSE(commandState(cmd::kCancel, s).enabled);
    s.activeView = kDiagnosticPane;
    EXPECT_FALSE(commandState(cmd::kOnline, s).enabled) << "offline on the Diagnostic pane";
    EXPECT_FALSE(commandState(cmd::kShowInfo, s).enabled);
    EXPECT_FALSE(commandState(cmd::kOnlineValues, s).enabled);

    s = {};
    s.online = true;
    s.operationRunning = true;
    EXPECT_TRUE(commandState(cmd::kOnline, s).enabled);
    EXPECT_TRUE(commandState(cmd::kOnline, s).checked);
    EXPECT_FALSE(commandState(kDiagnosticPane, s).enabled) << "Ctrl+6 is refused while online";
    EXPECT_TRUE(commandState(kIndexPane, s).enabled);
    EXPECT_FALSE(commandState(cmd::kCancel, s).enabled) << "Esc cancels table transfers only";

    s = {};
    s.busy = true;
    s.operationRunning = true;
    EXPECT_FALSE(commandState(cmd::kOnline, s).enabled);
    EXPECT_TRUE(commandState(cmd::kCancel, s).enabled);
    EXPECT_TRUE(commandState(502, s).enabled);
    EXPECT_FALSE(commandState(502, s).checked);
    EXPECT_TRUE(commandState(501, s).checked);
}

TEST(CommandRules, PortSettingsNeedsAPresentPortAndIdle)
{
    FrameState s;
    EXPECT_FALSE(commandState(cmd::kPortSettings, s).enabled);
    s.selectedPortPresent = true;
    EXPECT_TRUE(commandState(cmd::kPortSettings, s).enabled);
    s.online = true;
    EXPECT_FALSE(commandState(cmd::kPortSettings, s).enabled);
}

TEST(PortList, ListsPresentAndBusyPortsAndTheSelectedOne)
{
    const auto items = buildPortList(7, [](int n) {
        if (n == 1) {
            return PortItem::State::Present;
        }
        if (n == 3) {
            return PortItem::State::InUse;
        }
        return PortItem::State::Absent;
    });
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "COM 1");
    EXPECT_EQ(items[1].text, "COM 3 (not available)");
    EXPECT_EQ(items[2].text, "COM 7 (not installed)");
    EXPECT_EQ(items[2].state, PortItem::State::Absent);
}

TEST(PortList, NoPortsAtAllLeavesOnlyAValidSelection)
{
    auto none = [](int) { return PortItem::State::Absent; };
    ASSERT_EQ(buildPortList(1, none).size(), 1u);
    EXPECT_TRUE(buildPortList(0, none).empty());
    EXPECT_TRUE(buildPortList(257, none).empty());
}

TEST(WebEngine, MissingEngineWarnsWithTheVersionText)
{
    const WebEngineInfo missing = probeWebEngine("libmorvex-no-such-engine.so", "/nonexistent");
    EXPECT_FALSE(missing.usable());
    const auto m = webEngineMessage(missing);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text, "Program requires MS Internet Explorer Version 5 or above.\nYour version is unknown.\n\n"
                       "Diagnostic functions will not work properly!\n\nPlease install a newer version of MS "
                       "Internet Explorer! ");
    WebEngineInfo found;
    found.version = "6.4.2";
    found.processFound = true;
    EXPECT_FALSE(webEngineMessage(found));
    found.processFound = false;
    EXPECT_TRUE(webEngineMessage(found)) << "an engine without its page process cannot show pages";
}
