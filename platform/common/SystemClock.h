// The clock of a real system: the steady and wall clocks of the C++ library,
// and waits on a condition variable with a stop token.
#pragma once

#include "platform/facility/Clock.h"

namespace plat {

class SystemClock : public Clock {
public:
    Steady Now() override;
    Wall WallNow() override;
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable_any& cv,
                   std::stop_token stop, Steady deadline,
                   const std::function<bool()>& ready) override;
};

}  // namespace plat
