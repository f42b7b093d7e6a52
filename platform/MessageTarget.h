#pragma once

#include <cstdint>

namespace platform {

// Where the port worker's window messages go: the frame and the views. The
// GUI delivers posted messages on the UI thread in order (queued); send()
// runs the handler and returns its answer (the worker calls it only from
// the thread that owns the target). Tests record.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void post(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual intptr_t send(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

} // namespace platform
