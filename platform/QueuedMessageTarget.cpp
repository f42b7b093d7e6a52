#include "platform/QueuedMessageTarget.h"

#include <QMetaObject>

#include <utility>

namespace platform {

QueuedMessageTarget::QueuedMessageTarget(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler))
{
}

void QueuedMessageTarget::post(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    // The context object makes Qt drop the call if this target is gone by
    // the time the UI thread gets to it.
    QMetaObject::invokeMethod(
        this, [this, message, wParam, lParam] { handler_(message, wParam, lParam); }, Qt::QueuedConnection);
}

intptr_t QueuedMessageTarget::send(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return handler_(message, wParam, lParam);
}

} // namespace platform
