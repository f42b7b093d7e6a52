#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace platform {
class MessageTarget;
}

namespace morvex::live {

// What the diagnostic pane needs from the frame, which owns the port worker.
class DiagnosticHost {
public:
    virtual ~DiagnosticHost() = default;
    // Starts the command exchange of `command` (158..165) or, with `reply`,
    // the reply exchange (159..165) with `owner` as the job's owner view.
    // False when it could not start; the frame has then told the user why
    // and nothing more reaches `owner`.
    virtual bool StartDiagnostic(uint8_t command, bool reply, platform::MessageTarget& owner) = 0;
    // True while the frame still ends an exchange whose last report the
    // panel already has (its port is closing): a start is refused now and
    // taken a moment later.
    virtual bool DiagnosticLinkClosing() const { return false; }
    // Cancels the running exchange; the worker's abort report follows.
    virtual void CancelDiagnostic() = 0;
    // Progress steps of the running exchange.
    virtual int32_t DiagnosticProgressTotal() const = 0;
    // What the last exchange left: the box version (text 0) or the
    // measured texts.
    virtual std::array<std::string, 4> DiagnosticTexts() const = 0;
    virtual int Port() const = 0;
    virtual uint32_t Baud() const = 0;
};

} // namespace morvex::live
