#pragma once

#include <cstdint>

namespace platform {
class MessageTarget;
}

namespace morvex::shell {

// What a dialog that runs its own transfer (the info block, the diagnostic
// pages) needs from the frame, which owns the port worker.
class OperationHost {
public:
    virtual ~OperationHost() = default;
    // Starts the transfer of the info block (send or receive) with `owner`
    // as the owner view of its job, so that the worker's progress reaches
    // it. False when it could not start; the frame has then told the user
    // why (port error) and posted nothing more to `owner`.
    virtual bool StartInfoTransfer(bool sending, platform::MessageTarget& owner) = 0;
    // Cancels the running operation; the worker's abort report follows.
    virtual void CancelOperation() = 0;
    // The number of progress steps of the running operation.
    virtual int32_t ProgressTotal() const = 0;
};

} // namespace morvex::shell
