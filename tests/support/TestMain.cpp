// Entry of every test program: glog is set up to write nowhere but to the
// sinks the tests add, so tests can assert on the exact log lines.
#include <glog/logging.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    google::InitGoogleLogging(argv[0]);
    FLAGS_logtostderr = false;
    FLAGS_stderrthreshold = google::GLOG_FATAL;
    for (int s = google::GLOG_INFO; s < google::NUM_SEVERITIES; ++s)
        google::SetLogDestination(s, "");
    return RUN_ALL_TESTS();
}
