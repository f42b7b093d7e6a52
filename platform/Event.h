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
// event stays set until reset().
class Event {
public:
    enum class Reset { Auto, Manual };
    explicit Event(Reset reset);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();

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
