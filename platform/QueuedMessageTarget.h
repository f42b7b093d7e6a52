#pragma once

#include "platform/MessageTarget.h"

#include <QObject>

#include <functional>

namespace platform {

// A window's message queue for the port worker: post() may come from any
// thread and is delivered in order on the thread that owns this object (the
// UI thread); send() is only called on that thread and answers directly.
// Messages still queued when the object is destroyed are dropped.
class QueuedMessageTarget : public QObject, public platform::MessageTarget {
public:
    using Handler = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

    explicit QueuedMessageTarget(Handler handler, QObject* parent = nullptr);

    void post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    intptr_t send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

private:
    Handler handler_;
};

} // namespace platform
