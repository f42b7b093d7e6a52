#pragma once

#include "comm/PortThread.h"
#include "comm/TransferJob.h"
#include "platform/UserMessages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvex {
class CMorvexDoc;
}

namespace morvex::comm {

// Operations of the frame.
enum class OperationId : int32_t {
    None = 0,
    Online = 141,
    SendPane = 510,
    ReceivePane = 511,
    SendAll = 512,
    ReceiveAll = 513,
    InfoSend = 514,
    InfoReceive = 515,
    Diagnostic = 516,
};

// View ids of the panes.
inline constexpr int32_t kFuelMapView = 501;
inline constexpr int32_t kFunctionView = 502;
inline constexpr int32_t kIgnitionView = 503;
inline constexpr int32_t kDataRecordView = 504;
inline constexpr int32_t kIndexView = 505;
inline constexpr int32_t kDiagnosticView = 506;
inline constexpr int32_t kNoView = -1;

// Where the panes' views receive their messages (null: not shown).
struct PaneTargets {
    platform::MessageTarget* fuelMap = nullptr;
    platform::MessageTarget* function = nullptr;
    platform::MessageTarget* ignition = nullptr;
    platform::MessageTarget* dataRecord = nullptr;
    platform::MessageTarget* index = nullptr;
    platform::MessageTarget* onlineValues = nullptr;

    platform::MessageTarget* forView(int32_t viewId) const;
};

// The bytes that travel besides the box image: names, info block, time stamp.
struct TransferBuffers {
    NameBytes names{};
    InfoBytes info{};
    DiagnosticTexts diagnostic;
};

// A job list ready for the worker.
struct TransferPlan {
    CPortThread::Kind kind = CPortThread::Kind::Receive;
    std::vector<TransferJob> jobs;
    int32_t progressTotal = 0;
    int32_t returnView = kNoView;
    bool showFuelMapFirst = false;
};

// The jobs of a table transfer (Send/Receive Pane or All Data) for the
// document's image; `activeView` is the pane shown. Sending fills the
// buffers from the document first (names, time stamp `now`). Empty when
// the active pane has no table job.
std::optional<TransferPlan> planTableTransfer(OperationId op, int32_t activeView, CMorvexDoc& doc,
                                              const PaneTargets& panes, TransferBuffers& buffers, double nowOleDate);
// The online list: the live view, the Data Record view, the four table views.
TransferPlan planOnline(CMorvexDoc& doc, const PaneTargets& panes, TransferBuffers& buffers);
// Info block send (from the info records already put into `buffers`) or receive.
TransferPlan planInfo(bool sending, platform::MessageTarget* owner, TransferBuffers& buffers, double nowOleDate);
// A diagnostic command (158..165) or the reply of one (159..165).
TransferPlan planDiagnostic(uint8_t command, bool reply, platform::MessageTarget* owner, TransferBuffers& buffers);

// After a received index job: the names into the document (with the fixed
// names that the program always uses). After a send: nothing to do.
void applyReceivedNames(const NameBytes& names, CMorvexDoc& doc);
// The document's names as they travel: 4 characters, NUL-padded. False
// (and nothing sent) when a name is longer than 4 characters.
bool namesForSending(const CMorvexDoc& doc, NameBytes& names);

// What the frame shows after a worker message.
struct FrameUpdate {
    std::optional<std::string> transferText;
    bool transferIsError = false;
    std::optional<std::string> linkText; // "SEND", "RECEIVE", "ONLINE", "OFFLINE"
    bool pulse = false;
    bool pulseIsError = false;
    std::optional<int32_t> switchToView;
    std::optional<platform::UserMessage> message;
    bool endOperation = false; // stop the worker and clear the operation
};

// The frame's side of the worker's messages, without any window: status
// texts, link state, pane switching and the end of an operation.
class COperationController {
public:
    void Begin(OperationId op, int32_t progressTotal, int32_t returnView, uint32_t startTickMs);
    // The transfer text once the worker took the job list.
    std::string StartText() const;
    FrameUpdate OnPortNotify(uint32_t code, intptr_t lParam, uint32_t nowTickMs);
    // What to show for WM_PORT_ERROR on `port` ("COM3", or a device path).
    // While an operation runs at most one port error is shown; a lost line
    // is not shown at once but by End(), together with the values that
    // could not be written.
    std::optional<platform::UserMessage> OnPortError(uint32_t code, intptr_t systemError, const std::string& port);
    // The message of WM_PORT_ERROR (systemError is an errno), or nothing
    // when the system has no text for it.
    static std::optional<platform::UserMessage> PortErrorMessage(uint32_t code, intptr_t systemError,
                                                                 const std::string& port);
    // After the worker stopped: the lost line, or the warning when values
    // could not be sent (each listed).
    std::optional<platform::UserMessage> End(const std::vector<UpdateEntry>& pending);

    OperationId operation() const { return op_; }
    int32_t progressCount() const { return count_; }
    int32_t progressTotal() const { return total_; }
    bool busy() const { return op_ != OperationId::None; }
    bool lineLost() const { return lineLost_.has_value(); }

private:
    std::string resultText(uint32_t nowTickMs) const;

    OperationId op_ = OperationId::None;
    int32_t total_ = 0;
    int32_t count_ = 0;
    int32_t returnView_ = kNoView;
    uint32_t startTick_ = 0;
    bool portErrorShown_ = false;
    std::optional<platform::UserMessage> lineLost_;
};

// A message box text as one line for a terminal: line breaks become
// spaces, empty lines go.
std::string oneLine(const std::string& text);

// When a changed value cannot be queued for the box.
inline constexpr const char* kUpdateListLockMessage = "Konnte UpdateList nicht locken!!!";

inline constexpr const char* kValuesNotSentMessage =
    "Some of the new values could not be send!\nPlease send or receive the pane data again to synchronoize PC and "
    "Zamo-Box!";

} // namespace morvex::comm
