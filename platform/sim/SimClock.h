// The simulated PC's clock: manual. Time stands still until a test advances
// it; the threads sleeping on it then wake in the order of their deadlines, and
// each step lets the woken threads run until they wait on the clock again (or
// end) before time moves on. A stop request still ends a sleep at once.
//
// A thread takes part once it has waited on the clock. Advance waits, in real
// time, for every such thread to settle (sleeping, waiting without a deadline,
// or gone); a thread that blocks somewhere else delays each step by at most
// the settle limit, and a warning on standard error names the step.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

#include "platform/facility/Clock.h"

namespace plat {

class SimClock : public Clock {
public:
    SimClock();
    ~SimClock() override;
    SimClock(const SimClock&) = delete;
    SimClock& operator=(const SimClock&) = delete;

    Steady Now() override;
    Wall WallNow() override;
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                   std::stop_token stop, Steady deadline,
                   const std::function<bool()>& ready) override;

    // Moves time forward by `duration`, waking sleepers deadline by deadline.
    void Advance(std::chrono::nanoseconds duration);
    // Moves time to each next deadline in turn until `done()` holds or `limit`
    // has passed; answers done(). Stops early when nobody sleeps and done()
    // still fails after the threads have settled.
    bool AdvanceUntil(const std::function<bool()>& done, std::chrono::nanoseconds limit);
    // Waits in real time, at most `timeout`, until `count` threads sleep on the
    // clock with a deadline. Lets a test meet a background thread at its sleep.
    bool WaitForSleepers(std::size_t count = 1,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Threads sleeping on the clock with a deadline now.
    std::size_t Sleepers() const;
    // Time since the clock was made.
    std::chrono::nanoseconds Elapsed() const;
    // Sets the wall time of now; steady time is not touched.
    void SetWall(Wall now);
    // The longest a step waits for a woken thread to settle.
    void SetSettleLimit(std::chrono::milliseconds limit);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace plat
