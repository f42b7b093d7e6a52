#include "shell/FrameRules.h"

#include <array>

namespace morvex::shell {

CommandUi commandState(int id, const FrameState& s)
{
    const bool idle = !s.busy && !s.online;
    const bool diagnostic = s.activeView == kDiagnosticPane;
    const bool tablePaneWithData = s.activeView != kDataRecordPane && !diagnostic;
    CommandUi ui;
    switch (id) {
    case cmd::kOnline:
        ui.enabled = !s.busy && !(!s.online && diagnostic) && (s.online || !s.operationRunning);
        ui.checked = s.online;
        break;
    case cmd::kSendPane:
    case cmd::kReceivePane:
    case cmd::kSendAll:
    case cmd::kReceiveAll: ui.enabled = idle && !s.operationRunning && tablePaneWithData; break;
    case cmd::kCancel: ui.enabled = s.busy; break;
    case cmd::kPortSettings: ui.enabled = s.selectedPortPresent && idle && !s.operationRunning; break;
    case cmd::kNextWindow:
    case cmd::kPreviousWindow:
    case cmd::kResetBars:
    case cmd::kHideBars:
    case cmd::kHelp: ui.enabled = true; break;
    case cmd::kOnlineValues:
        ui.enabled = !diagnostic;
        ui.checked = s.onlineValuesShown;
        break;
    case cmd::kTableWindow:
        ui.enabled = !diagnostic;
        ui.checked = s.tableWindowShown;
        break;
    case cmd::kShowInfo:
    case cmd::kEditInfo: ui.enabled = idle && !s.operationRunning && !diagnostic; break;
    default:
        if (id >= kFirstPane && id <= kDiagnosticPane) {
            ui.enabled = id != kDiagnosticPane || (idle && !s.operationRunning);
            ui.checked = id == s.activeView;
        }
        break;
    }
    return ui;
}

bool isMapToolCommand(int id)
{
    return id >= cmd::kScaleCells && id <= cmd::kInterpolateCells;
}

bool mapToolsAllowed(const FrameState& s)
{
    return !s.busy && (s.online || !s.operationRunning);
}

int nextPane(int active, bool onlineOrBusy)
{
    if ((active == kIndexPane && onlineOrBusy) || active >= kDiagnosticPane || active < kFirstPane) {
        return kFirstPane;
    }
    return active + 1;
}

int previousPane(int active, bool onlineOrBusy)
{
    if (active <= kFirstPane || active > kDiagnosticPane) {
        return onlineOrBusy ? kIndexPane : kDiagnosticPane;
    }
    return active - 1;
}

std::string paneShortName(int view)
{
    static constexpr std::array<const char*, 6> names = {"Fuel Map",    "Function", "Ignition",
                                                         "Data Record", "Index",    "Diagnostic"};
    if (view < kFirstPane || view > kDiagnosticPane) {
        return {};
    }
    return names[static_cast<std::size_t>(view - kFirstPane)];
}

std::string windowTitle(int view)
{
    return std::string(kAppTitle) + " 02-2008 [" + paneShortName(view) + "]";
}

std::vector<PortItem> buildPortList(int selected, const std::function<PortItem::State(int)>& probe)
{
    std::vector<PortItem> items;
    for (int n = 1; n <= 256; ++n) {
        PortItem item;
        item.number = n;
        item.state = probe(n);
        const std::string name = "COM " + std::to_string(n);
        switch (item.state) {
        case PortItem::State::Present: item.text = name; break;
        case PortItem::State::InUse: item.text = name + " (not available)"; break;
        case PortItem::State::Absent:
            if (n != selected) {
                continue;
            }
            item.text = name + " (not installed)";
            break;
        }
        items.push_back(item);
    }
    return items;
}

} // namespace morvex::shell
