#pragma once

#include "platform/MessageTarget.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace morvex::test {

struct Message {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    bool sent; // send() rather than post()
};

// Records posted and sent messages from any thread; tests wait for one.
class RecordingTarget : public platform::MessageTarget {
public:
    void post(uint32_t message, uintptr_t wParam, intptr_t lParam) override { add({message, wParam, lParam, false}); }
    intptr_t send(uint32_t message, uintptr_t wParam, intptr_t lParam) override
    {
        add({message, wParam, lParam, true});
        return answer;
    }

    // Waits (bounded) until a message with this code arrived; true if so.
    bool waitFor(uint32_t code, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return countLocked(code) > 0; });
    }
    // Waits (bounded) until the codes together arrived `n` times.
    bool waitForTotal(std::initializer_list<uint32_t> codes, std::size_t n,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000))
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] {
            std::size_t total = 0;
            for (uint32_t code : codes) {
                total += countLocked(code);
            }
            return total >= n;
        });
    }
    std::size_t count(uint32_t code) const
    {
        std::lock_guard lock(mutex_);
        return countLocked(code);
    }
    std::vector<Message> all() const
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<intptr_t> params(uint32_t code) const
    {
        std::lock_guard lock(mutex_);
        std::vector<intptr_t> out;
        for (const Message& m : messages_) {
            if (m.wParam == code) {
                out.push_back(m.lParam);
            }
        }
        return out;
    }

    intptr_t answer = 0; // what send() returns (non-zero refuses a transfer)

private:
    void add(Message m)
    {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back(m);
        }
        changed_.notify_all();
    }
    std::size_t countLocked(uint32_t code) const
    {
        std::size_t n = 0;
        for (const Message& m : messages_) {
            n += m.wParam == code ? 1 : 0;
        }
        return n;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
};

} // namespace morvex::test
