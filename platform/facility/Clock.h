// Time as the program sees it: steady time for intervals and timeouts, wall
// time for the stamps it stores, and waits that end early on a stop request.
// The real backends answer with the system clocks; the simulated PC with a
// manual clock that a test advances, so a two-minute timeout runs in
// milliseconds.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>

namespace plat {

class Clock {
public:
    using Steady = std::chrono::steady_clock::time_point;
    using Wall = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;

    virtual Steady Now() = 0;
    virtual Wall WallNow() = 0;

    // Waits on `cv` with `lock` held until `ready` holds, `stop` is requested or
    // `deadline` has passed on this clock; answers `ready()`. The thread that
    // notifies `cv` must change what `ready` reads under the same mutex.
    virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                           std::stop_token stop, Steady deadline,
                           const std::function<bool()>& ready) = 0;

    // As WaitUntil, with no deadline.
    bool Wait(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
              std::stop_token stop, const std::function<bool()>& ready) {
        return WaitUntil(lock, cv, std::move(stop), Steady::max(), ready);
    }

    // Sleeps for `duration`; false when `stop` was requested before or during
    // the sleep, which ends it at once.
    bool SleepFor(std::chrono::nanoseconds duration, std::stop_token stop = {});

    // Seconds since 1970 of the wall clock.
    long long UnixSeconds() {
        return std::chrono::duration_cast<std::chrono::seconds>(WallNow().time_since_epoch())
            .count();
    }
};

inline bool Clock::SleepFor(std::chrono::nanoseconds duration, std::stop_token stop) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock<std::mutex> lock(m);
    const Steady now = Now();
    const Steady deadline = duration >= Steady::max() - now
                                ? Steady::max()
                                : now + std::chrono::duration_cast<Steady::duration>(duration);
    WaitUntil(lock, cv, stop, deadline, [] { return false; });
    return !stop.stop_requested();
}

}  // namespace plat
