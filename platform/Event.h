#pragma once

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>

namespace platform {

// A Windows-style event: set by one thread, waited for by another. An
// auto-reset event is cleared by the wait that it wakes; a manual-reset
// event stays set until reset(). An event must outlive every wait on it.
class Event {
public:
    enum class Reset { Auto, Manual };
    explicit Event(Reset reset);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // A timeout that never passes (INFINITE); any negative timeout means so.
    static constexpr std::chrono::milliseconds kInfinite{-1};

    void set();
    void reset();

    // WaitForSingleObject: true when the event is (or becomes) set within
    // `timeout`, clearing it if auto-reset.
    bool wait(std::chrono::milliseconds timeout);

    // WaitForMultipleObjects(any): the index of the first set event in
    // `events` (clearing it if auto-reset), or -1 when `timeout` passed.
    // A zero timeout only polls.
    static int waitAny(std::span<Event* const> events, std::chrono::milliseconds timeout);
    static int waitAny(std::initializer_list<Event*> events, std::chrono::milliseconds timeout);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
