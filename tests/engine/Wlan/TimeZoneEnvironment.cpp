// glog stamps every line with the local time, and glibc re-reads the time zone
// on each stamp when TZ is unset, replacing its cached name under a lock of its
// own that ThreadSanitizer cannot see. With TZ fixed before any test thread
// starts the cached name is only compared, so lines logged from the
// notification threads and the test thread at once stay race-free under TSan.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

class TimeZoneEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (std::getenv("TZ") == nullptr)
            setenv("TZ", "UTC", 0);
        tzset();
    }
};

[[maybe_unused]] ::testing::Environment* const g_timeZone =
    ::testing::AddGlobalTestEnvironment(new TimeZoneEnvironment);

}  // namespace
