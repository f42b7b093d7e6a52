#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace morvex::shell {

// Command ids of the main frame.
namespace cmd {
inline constexpr int kOnline = 141;
inline constexpr int kPortSettings = 152;
inline constexpr int kNoPorts = 199;
inline constexpr int kFirstPort = 200; // COM n is kFirstPort - 1 + n
inline constexpr int kLastPort = 455;
inline constexpr int kOnlineValues = 499;
inline constexpr int kSendPane = 510;
inline constexpr int kReceivePane = 511;
inline constexpr int kSendAll = 512;
inline constexpr int kReceiveAll = 513;
inline constexpr int kCancel = 518;
inline constexpr int kNextWindow = 530;
inline constexpr int kPreviousWindow = 531;
inline constexpr int kAdjustPane = 532;
inline constexpr int kTableWindow = 540;
inline constexpr int kResetBars = 1204;
inline constexpr int kHideBars = 1205;
inline constexpr int kShowInfo = 32897;
inline constexpr int kEditInfo = 32898;
inline constexpr int kHelp = 57666;
// Commands of the active table view.
inline constexpr int kNextGrid = 1210;
inline constexpr int kPreviousGrid = 32912;
inline constexpr int kFillRight = 32816;
inline constexpr int kFillDown = 32817;
inline constexpr int kLambdaCorrection = 32916;
inline constexpr int kGridFont = 1214;
// The online values' colours (the column's Font is kGridFont while it has
// the keyboard).
inline constexpr int kOnlineColors = 1215;
inline constexpr int kSetTeethAndOffset = 32910;
inline constexpr int kResetAllRecords = 32902;
inline constexpr int kResetGridRecords = 32903;
inline constexpr int kResetSelectedRecords = 32904;
// The map tools of the Edit menu.
inline constexpr int kScaleCells = 32930;
inline constexpr int kAddToCells = 32931;
inline constexpr int kSetCells = 32932;
inline constexpr int kSmoothCells = 32933;
inline constexpr int kInterpolateCells = 32934;
// View menu: the live trail of the Fuel Map and Ignition grids (checkable).
inline constexpr int kLiveTrail = 32949;
} // namespace cmd

inline constexpr int kFirstPane = 501; // Fuel Map
inline constexpr int kFuelMapPane = 501;
inline constexpr int kFunctionPane = 502;
inline constexpr int kIgnitionPane = 503;
inline constexpr int kIndexPane = 505;
inline constexpr int kDataRecordPane = 504;
inline constexpr int kDiagnosticPane = 506;

// What gates the frame's commands.
struct FrameState {
    int activeView = kFirstPane;
    bool busy = false;                // a table transfer runs
    bool online = false;              // online mode is on
    bool operationRunning = false;    // any operation, info and diagnostic included
    bool selectedPortPresent = false; // when the port menu was last built
    bool onlineValuesShown = false;   // the online values column has width
    bool tableWindowShown = false;    // the grid column of the active pane has width
};

struct CommandUi {
    bool enabled = false;
    bool checked = false;
};

// Enable and check state of a frame command (ids above and the panes
// 501..506). Commands the frame does not own give disabled.
CommandUi commandState(int id, const FrameState& state);

// The map tools write into the document like typing: also online, never
// while a table transfer (or another operation) writes into it.
bool isMapToolCommand(int id);
bool mapToolsAllowed(const FrameState& state);

// F8 and F7: the Diagnostic pane is skipped while online or busy.
int nextPane(int active, bool onlineOrBusy);
int previousPane(int active, bool onlineOrBusy);

// "Fuel Map" ... "Diagnostic".
std::string paneShortName(int view);
// "Zorvane Morvex 02-2008 [Fuel Map]".
std::string windowTitle(int view);
inline constexpr const char* kAppTitle = "Zorvane Morvex";

// The Port menu.
struct PortItem {
    enum class State { Present, InUse, Absent };
    int number = 0;
    State state = State::Absent;
    std::string text;
};
// Probes COM 1..256 and lists the ports as the menu shows them: present
// and in-use ports, and the selected port even when absent.
std::vector<PortItem> buildPortList(int selected, const std::function<PortItem::State(int)>& probe);

} // namespace morvex::shell
