#include "platform/Event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

using platform::Event;
using namespace std::chrono_literals;

namespace {

TEST(Event, AutoResetIsClearedByTheWaitItWakesAndDoesNotCount)
{
    Event e(Event::Reset::Auto);
    EXPECT_EQ(Event::waitAny({&e}, 0ms), -1);
    e.set();
    e.set(); // two sets before a wait are one wake-up
    EXPECT_EQ(Event::waitAny({&e}, 0ms), 0);
    EXPECT_EQ(Event::waitAny({&e}, 0ms), -1);

    e.set();
    e.reset();
    EXPECT_FALSE(e.wait(0ms));
    e.set();
    EXPECT_TRUE(e.wait(0ms));
    EXPECT_FALSE(e.wait(0ms));
}

TEST(Event, ManualResetStaysSetUntilReset)
{
    Event e(Event::Reset::Manual);
    e.set();
    EXPECT_EQ(Event::waitAny({&e}, 0ms), 0);
    EXPECT_EQ(Event::waitAny({&e}, 10ms), 0);
    EXPECT_TRUE(e.wait(0ms));
    e.reset();
    EXPECT_EQ(Event::waitAny({&e}, 0ms), -1);
}

TEST(Event, TheLowestSetIndexWinsAndOnlyItIsCleared)
{
    Event work(Event::Reset::Auto);
    Event cancel(Event::Reset::Auto);
    Event stop(Event::Reset::Manual);

    work.set();
    stop.set();
    EXPECT_EQ(Event::waitAny({&work, &stop}, 0ms), 0);
    EXPECT_EQ(Event::waitAny({&work, &stop}, 0ms), 1);
    EXPECT_EQ(Event::waitAny({&work, &stop}, 0ms), 1) << "manual reset stays set";

    // A set manual event at a lower index hides an auto event behind it,
    // which stays set for a later wait.
    cancel.set();
    EXPECT_EQ(Event::waitAny({&stop, &cancel}, 0ms), 0);
    stop.reset();
    EXPECT_EQ(Event::waitAny({&stop, &cancel}, 0ms), 1);
    EXPECT_EQ(Event::waitAny({&stop, &cancel}, 0ms), -1);

    // The same through a span.
    Event* const set[] = {&work, &cancel, &stop};
    cancel.set();
    EXPECT_EQ(Event::waitAny(set, 0ms), 1);
}

TEST(Event, AWaitWithNothingSetTimesOut)
{
    Event a(Event::Reset::Auto);
    Event b(Event::Reset::Manual);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Event::waitAny({&a, &b}, 50ms), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
}

TEST(Event, ASetFromAnotherThreadWakesAWaiterOnSeveralEvents)
{
    Event work(Event::Reset::Auto);
    Event cancel(Event::Reset::Auto);
    Event stop(Event::Reset::Manual);
    std::promise<void> waiting;
    auto result = std::async(std::launch::async, [&] {
        waiting.set_value();
        return Event::waitAny({&work, &cancel, &stop}, 5000ms);
    });
    waiting.get_future().wait();
    cancel.set();
    ASSERT_EQ(result.wait_for(4000ms), std::future_status::ready);
    EXPECT_EQ(result.get(), 1);
    EXPECT_FALSE(cancel.wait(0ms)) << "the wait that returned it cleared it";
    EXPECT_FALSE(work.wait(0ms));
}

TEST(Event, AnEndlessWaitEndsWhenTheEventIsSet)
{
    // The waiter's state outlives the test, so that a broken wait can be
    // left behind instead of hanging the test.
    struct Shared {
        Event e{Event::Reset::Auto};
        Event escape{Event::Reset::Manual};
        std::promise<void> waiting;
        std::promise<int> result;
    };
    auto shared = std::make_shared<Shared>();
    std::future<int> result = shared->result.get_future();
    std::thread waiter([shared] {
        shared->waiting.set_value();
        shared->result.set_value(Event::waitAny({&shared->e, &shared->escape}, Event::kInfinite));
    });
    shared->waiting.get_future().wait();
    shared->e.set();
    const bool ended = result.wait_for(4000ms) == std::future_status::ready;
    if (!ended) {
        shared->escape.set();
    }
    if (ended || result.wait_for(1000ms) == std::future_status::ready) {
        waiter.join();
    } else {
        waiter.detach();
    }
    ASSERT_TRUE(ended);
    EXPECT_EQ(result.get(), 0);
}

TEST(Event, OneSetOfAnAutoResetEventReleasesExactlyOneOfTwoWaiters)
{
    Event e(Event::Reset::Auto);
    auto first = std::async(std::launch::async, [&] { return e.wait(300ms); });
    auto second = std::async(std::launch::async, [&] { return e.wait(300ms); });
    e.set();
    EXPECT_EQ(int{first.get()} + int{second.get()}, 1);
    EXPECT_FALSE(e.wait(0ms));
}

TEST(Event, AManualResetEventReleasesEveryWaiter)
{
    Event e(Event::Reset::Manual);
    std::future<bool> waiters[3];
    for (auto& w : waiters) {
        w = std::async(std::launch::async, [&] { return e.wait(2000ms); });
    }
    e.set();
    for (auto& w : waiters) {
        EXPECT_TRUE(w.get());
    }
}

TEST(Event, NoWakeUpIsLostBetweenTwoThreads)
{
    // Ping-pong: every set must wake the other side exactly once.
    Event ping(Event::Reset::Auto);
    Event pong(Event::Reset::Auto);
    Event stop(Event::Reset::Manual);
    constexpr int kRounds = 2000;
    int answered = 0;
    std::thread partner([&] {
        // Bounded, so that an event that never clears cannot spin forever.
        while (answered < 2 * kRounds && Event::waitAny({&ping, &stop}, 2000ms) == 0) {
            ++answered;
            pong.set();
        }
    });
    int rounds = 0;
    while (rounds < kRounds) {
        ping.set();
        if (!pong.wait(2000ms)) {
            break;
        }
        ++rounds;
    }
    stop.set();
    partner.join();
    EXPECT_EQ(rounds, kRounds);
    EXPECT_EQ(answered, kRounds);
}

} // namespace
