#pragma once

#include "platform/MessageTarget.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace platform {

// One message as a target received it.
struct PostedMessage {
    const void* target;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

// A window's message queue for programs without windows (the command-line
// tool, the fault campaign): the port worker posts from its thread, the
// program's main loop takes the messages in order.
class MessageQueue {
public:
    void push(PostedMessage p)
    {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(p);
        }
        ready_.notify_one();
    }
    // The next message, or nothing once `until` has passed.
    std::optional<PostedMessage> pop(std::chrono::steady_clock::time_point until)
    {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_until(lock, until, [&] { return !queue_.empty(); })) {
            return std::nullopt;
        }
        PostedMessage p = queue_.front();
        queue_.pop_front();
        return p;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<PostedMessage> queue_;
};

// A target whose posted messages go into a queue, marked with the target;
// sent messages are answered 0 (nothing refuses a transfer).
class QueueTarget : public MessageTarget {
public:
    explicit QueueTarget(MessageQueue& queue) : queue_(queue) {}
    void post(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        queue_.push({this, message, wParam, lParam});
    }
    intptr_t send(uint32_t, uintptr_t, intptr_t) override { return 0; }

private:
    MessageQueue& queue_;
};

} // namespace platform
