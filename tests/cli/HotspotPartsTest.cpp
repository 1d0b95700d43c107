// The parts of lumari-hotspot around the engine: the command reader on a real
// pipe, the stored settings, the notifications as JSON lines and the words a
// failed start is told in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CommandReader.h"
#include "HotspotNotify.h"
#include "HotspotOutput.h"
#include "HotspotSettings.h"
#include "StartFailure.h"
#include "platform/vendor/Osmira.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pipe(m_pipe), 0); }
    void TearDown() override {
        if (m_pipe[1] >= 0)
            close(m_pipe[1]);
        close(m_pipe[0]);
    }
    void Write(const std::string& bytes) {
        ASSERT_EQ(write(m_pipe[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::unique_ptr<CommandReader> Reader() {
        return std::make_unique<CommandReader>(
            m_pipe[0], 16,
            [this](const std::string& line) {
                std::lock_guard<std::mutex> g(m_lock);
                m_got.push_back("line:" + line);
            },
            [this](const std::string& why) {
                std::lock_guard<std::mutex> g(m_lock);
                m_got.push_back("refused:" + why.substr(0, 13));
            },
            [this] {
                std::lock_guard<std::mutex> g(m_lock);
                m_got.push_back("end");
            });
    }
    std::vector<std::string> Got() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_got;
    }

    int m_pipe[2] = {-1, -1};
    std::mutex m_lock;
    std::vector<std::string> m_got;
};

TEST_F(ReaderTest, LinesInPiecesLongLinesRefusedOnceAndTheLastLineWithoutNewline) {
    auto reader = Reader();
    reader->Start();
    Write("stop");
    Write("\nclients\n\n");
    // A line far longer than the limit, in pieces: one refusal, then reading goes on.
    Write(std::string(10, 'x'));
    Write(std::string(100000, 'y'));
    Write("z\nban 1\npartial");
    close(m_pipe[1]);
    m_pipe[1] = -1;
    for (int i = 0; i < 500 && (Got().empty() || Got().back() != "end"); ++i)
        std::this_thread::sleep_for(2ms);
    EXPECT_EQ(Got(), (std::vector<std::string>{"line:stop", "line:clients",
                                               "line:", "refused:line too long", "line:ban 1",
                                               "line:partial", "end"}));
}

TEST_F(ReaderTest, StopEndsAReaderThatWaitsForInput) {
    auto reader = Reader();
    reader->Start();
    Write("clients\n");
    for (int i = 0; i < 500 && Got().empty(); ++i)
        std::this_thread::sleep_for(2ms);
    const auto before = std::chrono::steady_clock::now();
    reader->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_EQ(Got(), std::vector<std::string>{"line:clients"});  // no end: the input is open
}

TEST(HotspotSettings, KeptBetweenRunsWithOptionsOverStoredValues) {
    TempDir dir;
    const std::string file = dir.File("Lumari.cfg");
    HotspotSettings s = HotspotSettings::Load(file);
    EXPECT_TRUE(s.ssid.empty());
    EXPECT_TRUE(s.MakeMissing());
    EXPECT_EQ(s.ssid.rfind("Lumari-", 0), 0u);
    EXPECT_EQ(s.key.size(), 12u);
    std::string why;
    EXPECT_TRUE(HotspotOptions::ValidKey(s.key, &why));
    s.apInterface = "wlan1";
    ASSERT_TRUE(s.Save(file));

    HotspotOptions o;
    std::string error;
    ASSERT_TRUE(HotspotOptions::Parse({"--ssid", "Café", "--dns-relay"}, &o, &error));
    HotspotSettings again = HotspotSettings::Load(file);
    again.Apply(o);
    EXPECT_EQ(again.ssid, "Café");
    EXPECT_EQ(again.key, s.key);
    EXPECT_EQ(again.apInterface, "wlan1");
    EXPECT_TRUE(again.dnsRelay);
    EXPECT_FALSE(again.MakeMissing());

    // A stored value that does not pass the checks is left out.
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "key", HotspotSettings::kSection, "short"), 0);
    ASSERT_EQ(
        plat::SetCipherStrVal(file.c_str(), "apInterface", HotspotSettings::kSection, "wl\"an"), 0);
    const HotspotSettings damaged = HotspotSettings::Load(file);
    EXPECT_TRUE(damaged.key.empty());
    EXPECT_TRUE(damaged.apInterface.empty());
    EXPECT_EQ(damaged.ssid, s.ssid);
}

TEST(HotspotNotify, NotificationsBecomeJsonLinesAndStopsAreWaitedFor) {
    std::FILE* events = std::tmpfile();
    std::FILE* diagnostics = std::tmpfile();
    ASSERT_NE(events, nullptr);
    HotspotOutput out(events, diagnostics);
    HotspotNotify notify(out);
    int woken = 0;
    notify.SetWake([&] { ++woken; });
    ClientInfo c;
    c.mac = L"02-1A-2B-3C-4D-5E";
    c.name = L"anna";
    notify.NetworkStarted(0);
    notify.InternetStateChanged(1);
    notify.ClientJoin(c);
    notify.NetworkStopped(1);
    notify.NetworkStopped(0);
    out.Error("unknown command \"x\"");
    EXPECT_EQ(notify.WaitStarted(0ms), 0);
    EXPECT_TRUE(notify.StopPending());
    EXPECT_EQ(notify.WaitStopped(0ms), 1);
    EXPECT_EQ(notify.WaitStopped(0ms), 0);
    EXPECT_FALSE(notify.WaitStopped(1ms).has_value());
    EXPECT_EQ(woken, 3);  // the start and both stops

    std::rewind(events);
    std::vector<std::string> lines;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, events) != nullptr)
        lines.emplace_back(buffer);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "{\"event\":\"NetworkStarted\",\"code\":0}\n");
    EXPECT_EQ(lines[1], "{\"event\":\"InternetStateChanged\",\"connected\":1}\n");
    EXPECT_EQ(lines[2].find("{\"event\":\"ClientJoin\",\"client\":{\"uid\":0,\"name\":\"anna\","),
              0u);
    EXPECT_NE(lines[2].find("\"mac\":\"02-1A-2B-3C-4D-5E\""), std::string::npos);
    EXPECT_NE(lines[2].find("},\"new\":false}"), std::string::npos) << lines[2];
    EXPECT_EQ(lines[3], "{\"event\":\"NetworkStopped\",\"code\":1}\n");
    EXPECT_EQ(lines[5], "{\"event\":\"Error\",\"message\":\"unknown command \\\"x\\\"\"}\n");
    std::fclose(events);
    std::fclose(diagnostics);
}

TEST(StartFailure, SaysWhichStepFailedAndWhatToDo) {
    StartFailure f = StartFailure::Describe(1401, "", "wlan0");
    EXPECT_NE(f.what.find("DHCP server"), std::string::npos);
    EXPECT_NE(f.fix.find("dnsmasq"), std::string::npos);
    f = StartFailure::Describe(2, "hostapd is not installed (install the package hostapd)",
                               "wlan0");
    EXPECT_EQ(f.fix, "apt-get install hostapd");
    f = StartFailure::Describe(5023,
                               "hostapd could not start the access point on wlan0 (exit "
                               "status 1): nl80211: 'nl80211' generic netlink not found",
                               "wlan0");
    EXPECT_NE(f.what.find("nl80211"), std::string::npos);
    EXPECT_NE(f.fix.find("--doctor"), std::string::npos);
    f = StartFailure::Describe(1003, "", "wlan0");
    EXPECT_EQ(f.what, "the radio on wlan0 is switched off by its hardware switch");

    EXPECT_EQ(StartFailure::ExitStatus(1401), 1401 & 0xFF);
    EXPECT_EQ(StartFailure::ExitStatus(5023), 5023 & 0xFF);
    EXPECT_EQ(StartFailure::ExitStatus(1280), 1);  // a low byte of 0 would read as success
    EXPECT_EQ(StartFailure::ExitStatus(1), 1);
}

}  // namespace
