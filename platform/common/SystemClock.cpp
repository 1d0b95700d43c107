#include "SystemClock.h"

namespace plat {

Clock::Steady SystemClock::Now() {
    return std::chrono::steady_clock::now();
}

Clock::Wall SystemClock::WallNow() {
    return std::chrono::system_clock::now();
}

bool SystemClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                            std::stop_token stop, Steady deadline,
                            const std::function<bool()>& ready) {
    if (deadline == Steady::max())
        return cv.wait(lock, stop, ready);
    return cv.wait_until(lock, stop, deadline, ready);
}

}  // namespace plat
