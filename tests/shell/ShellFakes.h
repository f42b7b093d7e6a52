#pragma once

#include "comm/PortCodes.h"
#include "platform/MessageTarget.h"
#include "platform/UserMessages.h"
#include "tests/document/RecordingMessages.h"
#include "shell/OperationHost.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

namespace morvex::test {

// One worker report: notification code and lParam.
using Report = std::pair<uint32_t, intptr_t>;

// The frame as an info transfer sees it. Each start takes the next script:
// whether the port opens, what the frame does at the start (fill the info
// block, take a received one over) and the reports the worker then posts
// to the owner. A cancel posts the worker's abort report, as the real
// worker does at its next check.
class FakeHost : public shell::OperationHost {
public:
    struct Script {
        bool opens = true;
        std::vector<Report> reports;
        std::function<void()> atStart;
    };

    bool StartInfoTransfer(bool sending, platform::MessageTarget& owner) override
    {
        starts.push_back(sending);
        if (scripts.empty()) {
            return false;
        }
        Script script = std::move(scripts.front());
        scripts.pop_front();
        if (!script.opens) {
            return false;
        }
        owner_ = &owner;
        if (script.atStart) {
            script.atStart();
        }
        for (const Report& r : script.reports) {
            owner.post(comm::WM_PORT_NOTIFY, r.first, r.second);
        }
        return true;
    }

    void CancelOperation() override
    {
        ++cancels;
        if (owner_ != nullptr) {
            owner_->post(comm::WM_PORT_NOTIFY, comm::PT_ABORTED, comm::PTERR_CANCELED);
        }
    }

    int32_t ProgressTotal() const override { return total; }

    std::deque<Script> scripts;
    std::vector<bool> starts; // sending flag of each start
    int cancels = 0;
    int32_t total = 4;

private:
    platform::MessageTarget* owner_ = nullptr;
};

// Records every message box and answers from a script (Cancel when the
// script has run out, which never closes anything).
class ScriptedMessages : public RecordingMessages {
public:
    ScriptedMessages() { whenEmpty = platform::UserAnswer::Cancel; }
};

} // namespace morvex::test
