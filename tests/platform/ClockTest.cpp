// The clock facility: the simulated PC's manual clock and the system clock.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/common/SystemClock.h"
#include "platform/sim/SimClock.h"

namespace {

using namespace std::chrono_literals;
using plat::SimClock;

TEST(SimClockTest, TimeStandsStillUntilAdvanced) {
    SimClock clock;
    const auto start = clock.Now();
    const auto wall = clock.WallNow();
    std::this_thread::sleep_for(5ms);
    EXPECT_EQ(clock.Now(), start);

    clock.Advance(120s);
    EXPECT_EQ(clock.Now() - start, 120s);
    EXPECT_EQ(clock.WallNow() - wall, 120s);
    EXPECT_EQ(clock.Elapsed(), 120s);

    clock.SetWall(std::chrono::system_clock::time_point(1000s));
    EXPECT_EQ(clock.UnixSeconds(), 1000);
    clock.Advance(1s);
    EXPECT_EQ(clock.UnixSeconds(), 1001);
    EXPECT_EQ(clock.Now() - start, 121s);
}

TEST(SimClockTest, SleepersWakeInTheOrderOfTheirDeadlines) {
    SimClock clock;
    std::mutex m;
    std::vector<int> order;
    std::vector<std::jthread> threads;
    for (int seconds : {3, 1, 2}) {
        threads.emplace_back([&, seconds] {
            clock.SleepFor(std::chrono::seconds(seconds));
            std::lock_guard<std::mutex> g(m);
            order.push_back(seconds);
        });
    }
    ASSERT_TRUE(clock.WaitForSleepers(3));
    clock.Advance(1500ms);
    {
        std::lock_guard<std::mutex> g(m);
        EXPECT_EQ(order, std::vector<int>{1});
    }
    clock.Advance(10s);
    threads.clear();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// A thread that sleeps a second per round runs exactly one round per simulated
// second: each step waits for it to come back to its sleep.
TEST(SimClockTest, EachStepLetsTheWokenThreadFinishItsRound) {
    SimClock clock;
    std::atomic<int> rounds{0};
    std::jthread poller([&](std::stop_token stop) {
        while (clock.SleepFor(1s, stop))
            ++rounds;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(120s);
    EXPECT_EQ(rounds.load(), 120);
    EXPECT_TRUE(clock.AdvanceUntil([&] { return rounds.load() >= 125; }, 10s));
    EXPECT_EQ(rounds.load(), 125);
}

TEST(SimClockTest, AStopEndsASleepAtOnce) {
    SimClock clock;
    std::atomic<bool> woke{false};
    std::atomic<bool> answer{true};
    std::jthread sleeper([&](std::stop_token stop) {
        answer = clock.SleepFor(5s, stop);
        woke = true;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    sleeper.request_stop();
    sleeper.join();
    EXPECT_TRUE(woke.load());
    EXPECT_FALSE(answer.load());
    EXPECT_EQ(clock.Elapsed(), 0s);
}

TEST(SimClockTest, ConditionWaitsEndOnTheirConditionOrTheirDeadline) {
    SimClock clock;
    std::mutex m;
    std::condition_variable_any cv;
    bool flag = false;
    std::atomic<int> result{-1};
    std::jthread waiter([&] {
        std::unique_lock<std::mutex> lock(m);
        result = clock.WaitUntil(lock, cv, {}, clock.Now() + 10s, [&] { return flag; }) ? 1 : 0;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    {
        std::lock_guard<std::mutex> g(m);
        flag = true;
    }
    cv.notify_all();
    waiter.join();
    EXPECT_EQ(result.load(), 1);

    flag = false;
    result = -1;
    std::jthread timeout([&] {
        std::unique_lock<std::mutex> lock(m);
        result = clock.WaitUntil(lock, cv, {}, clock.Now() + 10s, [&] { return flag; }) ? 1 : 0;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(9s);
    EXPECT_EQ(result.load(), -1);
    clock.Advance(1s);
    timeout.join();
    EXPECT_EQ(result.load(), 0);
}

TEST(SimClockTest, AdvanceUntilGivesUpWhenNobodySleeps) {
    SimClock clock;
    clock.SetSettleLimit(20ms);
    EXPECT_FALSE(clock.AdvanceUntil([] { return false; }, 60s));
    EXPECT_EQ(clock.Elapsed(), 0s);
}

TEST(SystemClockTest, SleepsInRealTimeAndEndsOnAStop) {
    plat::SystemClock clock;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(clock.SleepFor(20ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);

    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(clock.SleepFor(1h, stop.get_token()));
    EXPECT_LT(std::chrono::system_clock::now() - clock.WallNow(), 1s);
}

}  // namespace
