#include "platform/Event.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace platform {

namespace {

// One lock for the state of every event: a wait looks at several events at
// once and must take the first set one atomically, and the program has a
// handful of events and two threads, so finer locks would buy nothing.
std::mutex& eventsMutex()
{
    static std::mutex m;
    return m;
}

} // namespace

// A thread inside waitAny, registered with every event it waits for.
struct EventWaiter {
    std::condition_variable wake;
};

struct Event::Impl {
    Reset reset = Reset::Auto;
    bool signaled = false;
    std::vector<EventWaiter*> waiters;
};

Event::Event(Reset reset) : impl_(std::make_unique<Impl>())
{
    impl_->reset = reset;
}

Event::~Event() = default;

void Event::set()
{
    std::lock_guard lock(eventsMutex());
    impl_->signaled = true;
    // Every waiter looks again; only the first to take the lock clears an
    // auto-reset event, the others find it cleared and wait on.
    for (EventWaiter* waiter : impl_->waiters) {
        waiter->wake.notify_one();
    }
}

void Event::reset()
{
    std::lock_guard lock(eventsMutex());
    impl_->signaled = false;
}

bool Event::wait(std::chrono::milliseconds timeout)
{
    Event* const self = this;
    return waitAny(std::span<Event* const>(&self, 1), timeout) == 0;
}

int Event::waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout)
{
    return waitAny(std::span<Event* const>(events.begin(), events.size()), timeout);
}

int Event::waitAny(std::span<Event* const> events, std::chrono::milliseconds timeout)
{
    using Clock = std::chrono::steady_clock;

    // Called with the lock held: the lowest set index, cleared if auto-reset.
    const auto take = [&events]() -> int {
        for (std::size_t i = 0; i < events.size(); ++i) {
            Event* const e = events[i];
            if (e != nullptr && e->impl_->signaled) {
                if (e->impl_->reset == Reset::Auto) {
                    e->impl_->signaled = false;
                }
                return static_cast<int>(i);
            }
        }
        return -1;
    };

    std::unique_lock lock(eventsMutex());
    int index = take();
    if (index >= 0 || timeout.count() == 0) {
        return index;
    }

    std::optional<Clock::time_point> deadline;
    const Clock::time_point now = Clock::now();
    if (timeout.count() > 0 &&
        timeout < std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now)) {
        deadline = now + timeout;
    }

    EventWaiter waiter;
    for (Event* e : events) {
        if (e != nullptr) {
            e->impl_->waiters.push_back(&waiter);
        }
    }
    for (;;) {
        if (deadline) {
            if (waiter.wake.wait_until(lock, *deadline) == std::cv_status::timeout) {
                index = take(); // set at the last moment still counts
                break;
            }
        } else {
            waiter.wake.wait(lock);
        }
        index = take();
        if (index >= 0) {
            break;
        }
    }
    for (Event* e : events) {
        if (e != nullptr) {
            std::erase(e->impl_->waiters, &waiter);
        }
    }
    return index;
}

} // namespace platform
