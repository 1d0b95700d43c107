// Entry of every test program: glog is set up to write nowhere but to the
// sinks the tests add, so tests can assert on the exact log lines.
#include <glog/logging.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    // glog stamps every line with the local time; with TZ unset glibc re-reads
    // the zone on each stamp and replaces its cached name under a lock of its
    // own that ThreadSanitizer cannot see. A fixed TZ, set before any test
    // thread starts, leaves the cached name only compared.
    if (std::getenv("TZ") == nullptr) {
#if defined(_WIN32)
        _putenv_s("TZ", "UTC");
#else
        setenv("TZ", "UTC", 0);
#endif
    }
#if defined(_WIN32)
    _tzset();
#else
    tzset();
#endif
    ::testing::InitGoogleTest(&argc, argv);
    google::InitGoogleLogging(argv[0]);
    FLAGS_logtostderr = false;
    FLAGS_stderrthreshold = google::GLOG_FATAL;
    for (int s = google::GLOG_INFO; s < google::NUM_SEVERITIES; ++s)
        google::SetLogDestination(s, "");
    return RUN_ALL_TESTS();
}
