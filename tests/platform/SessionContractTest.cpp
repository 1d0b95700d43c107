// The single instance and its hand-over, on the simulated PC and on Linux
// (a lock file and a local socket in a private runtime folder).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/linux/LinuxSession.h"
#include "platform/sim/SimPc.h"

namespace {

class Listener : public plat::SessionListener {
public:
    bool OnSessionEvent(plat::SessionEvent event) override {
        if (event == plat::SessionEvent::HandOver)
            ++handOvers;
        return false;
    }
    bool WaitFor(int count) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (handOvers.load() < count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return handOvers.load() >= count;
    }
    std::atomic<int> handOvers{0};
};

struct SimSide {
    static void Install(const TempDir&) { plat::SimPc::Install(); }
    // Another process of the program on the same machine.
    static std::unique_ptr<plat::SessionControl> OtherProcess() { return nullptr; }
};

struct LinuxSide {
    static void Install(const TempDir& dir) {
        setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(dir.File("registry")));
    }
    static std::unique_ptr<plat::SessionControl> OtherProcess() {
        return std::make_unique<plat::LinuxSession>();
    }
};

template <class Side>
class SessionContract : public ::testing::Test {
protected:
    void SetUp() override { Side::Install(m_dir); }
    void TearDown() override {
        Session().WatchSession("lumtest-handover", nullptr);
        plat::Platform::Uninstall();
    }
    plat::SessionControl& Session() { return plat::Platform::Current().Session(); }
    TempDir m_dir;
};

using Sides = ::testing::Types<SimSide, LinuxSide>;
TYPED_TEST_SUITE(SessionContract, Sides);

TYPED_TEST(SessionContract, OneInstanceHoldsTheLock) {
    EXPECT_TRUE(this->Session().AcquireInstanceLock("lumtest-instance"));
    EXPECT_FALSE(this->Session().AcquireInstanceLock("lumtest-instance"));
    EXPECT_TRUE(this->Session().AcquireInstanceLock("lumtest-other"));
    if (auto other = TypeParam::OtherProcess()) {
        EXPECT_FALSE(other->AcquireInstanceLock("lumtest-instance"));
    }
}

TYPED_TEST(SessionContract, TheSecondInstanceHandsOverToTheWatchingOne) {
    Listener listener;
    EXPECT_FALSE(this->Session().SignalInstance("lumtest-handover"));  // nobody watches yet
    ASSERT_TRUE(this->Session().WatchSession("lumtest-handover", &listener));
    EXPECT_FALSE(this->Session().SignalInstance("lumtest-elsewhere"));
    EXPECT_TRUE(this->Session().SignalInstance("lumtest-handover"));
    EXPECT_TRUE(listener.WaitFor(1));
    if (auto other = TypeParam::OtherProcess()) {
        EXPECT_TRUE(other->SignalInstance("lumtest-handover"));
        EXPECT_TRUE(listener.WaitFor(2));
    }
    // Watching again (a new window) replaces the old channel; stopping ends it.
    Listener second;
    ASSERT_TRUE(this->Session().WatchSession("lumtest-handover", &second));
    EXPECT_TRUE(this->Session().SignalInstance("lumtest-handover"));
    EXPECT_TRUE(second.WaitFor(1));
    ASSERT_TRUE(this->Session().WatchSession("lumtest-handover", nullptr));
    EXPECT_FALSE(this->Session().SignalInstance("lumtest-handover"));
}

// The logon entry runs the program also from a folder whose name has spaces,
// quotes or a percent sign, and a line break in it starts no line of its own.
TEST(LinuxSession, RunAtLogonEntryQuotesTheProgramPath) {
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    plat::LinuxSession session;
    const auto execLine = [&dir] {
        std::ifstream in(dir.File("autostart/lumtest.desktop"));
        std::string line;
        std::vector<std::string> execs;
        while (std::getline(in, line))
            if (line.rfind("Exec=", 0) == 0)
                execs.push_back(line);
        return execs;
    };
    ASSERT_EQ(session.SetRunAtLogon("lumtest", "/opt/hotspot/Zentavo", true), 0u);
    EXPECT_EQ(execLine(), std::vector<std::string>{"Exec=/opt/hotspot/Zentavo"});
    ASSERT_EQ(session.SetRunAtLogon("lumtest", "/opt/My Apps/Zen\"tavo 100%", true), 0u);
    EXPECT_EQ(execLine(), std::vector<std::string>{"Exec=\"/opt/My Apps/Zen\\\\\"tavo 100%%\""});
    ASSERT_EQ(session.SetRunAtLogon("lumtest", "/opt/a\nExec=/bin/evil", true), 0u);
    EXPECT_EQ(execLine().size(), 1u);
    EXPECT_TRUE(session.IsRunAtLogon("lumtest"));
    ASSERT_EQ(session.SetRunAtLogon("lumtest", "", false), 0u);
    EXPECT_FALSE(session.IsRunAtLogon("lumtest"));
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
