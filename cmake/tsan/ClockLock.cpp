// ThreadSanitizer builds only. The C++ library locks a timed mutex with a
// steady-clock deadline through pthread_mutex_clocklock, which the
// sanitizer runtimes of GCC 12 and Clang 14 do not intercept: they miss
// the lock, then report its unlock as "unlock of an unlocked mutex" and the
// data it guards as raced. This definition, linked into every executable
// of the build, turns the call into pthread_mutex_timedlock, which they do
// intercept, with the same deadline on the real-time clock.

#include <pthread.h>
#include <time.h>

#include <cstdint>

namespace {

constexpr int64_t kNanosPerSecond = 1'000'000'000;

int64_t nanosOf(const timespec& t)
{
    return int64_t{t.tv_sec} * kNanosPerSecond + t.tv_nsec;
}

timespec timespecOf(int64_t ns)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(ns / kNanosPerSecond);
    t.tv_nsec = static_cast<long>(ns % kNanosPerSecond);
    return t;
}

} // namespace

extern "C" int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock, const timespec* deadline)
{
    if (clock == CLOCK_REALTIME) {
        return pthread_mutex_timedlock(mutex, deadline);
    }
    timespec now{};
    timespec realNow{};
    clock_gettime(clock, &now);
    clock_gettime(CLOCK_REALTIME, &realNow);
    const timespec realDeadline = timespecOf(nanosOf(realNow) + (nanosOf(*deadline) - nanosOf(now)));
    return pthread_mutex_timedlock(mutex, &realDeadline);
}
