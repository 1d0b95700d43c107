// The simulated PC's mobile hotspot is as strict as Windows: what it refuses
// in a configuration, how its asynchronous operations behave before and after
// they complete, and that its configuration outlives the manager objects.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "support/SimTest.h"

namespace {

namespace tet = plat::tethering;

class MobileHotspotSimTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Pc().os.SetWindows(plat::SimWindows::Ten);
        plat::AdapterInfo wan;
        wan.guid = {0x1234, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
        wan.friendlyName = L"WAN";
        wan.ipv4.push_back({"10.0.0.5", "255.255.255.0"});
        wan.gateway = "10.0.0.1";
        Pc().network.AddAdapter(wan);
    }
    std::unique_ptr<plat::TetheringManager> Manager() {
        std::unique_ptr<plat::ConnectionProfile> profile;
        EXPECT_EQ(Pc().hotspot.GetInternetConnectionProfile(&profile), 0);
        std::unique_ptr<plat::TetheringManager> manager;
        if (profile != nullptr) {
            EXPECT_EQ(Pc().hotspot.CreateFromConnectionProfile(*profile, &manager), 0);
        }
        return manager;
    }
    // Configures and waits; the AsyncStatus and the error code.
    std::pair<std::int32_t, plat::HRESULT> Configure(plat::TetheringManager& m,
                                                     const plat::AccessPointConfig& c) {
        std::unique_ptr<plat::TetheringOperation> op;
        EXPECT_EQ(m.ConfigureAccessPointAsync(c, &op), 0);
        std::mutex lock;
        std::condition_variable done;
        std::int32_t status = -1;
        EXPECT_EQ(op->PutCompleted([&](std::int32_t s) {
            std::lock_guard<std::mutex> g(lock);
            status = s;
            done.notify_all();
        }),
                  0);
        std::unique_lock<std::mutex> l(lock);
        EXPECT_TRUE(done.wait_for(l, std::chrono::seconds(10), [&] { return status != -1; }));
        plat::HRESULT error = 0;
        op->GetErrorCode(&error);
        return {status, error};
    }
};

TEST_F(MobileHotspotSimTest, ConfigurationIsCheckedAsWindowsChecksItAndOutlivesItsManager) {
    auto m = Manager();
    ASSERT_NE(m, nullptr);
    const std::pair<std::int32_t, plat::HRESULT> refused{tet::kAsyncError, plat::kEInvalidArg};
    EXPECT_EQ(Configure(*m, {L"", L"password1"}), refused);
    EXPECT_EQ(Configure(*m, {std::wstring(11, L'\u70ed'), L"password1"}), refused) << "33 bytes";
    EXPECT_EQ(Configure(*m, {L"Lumari", L"pass123"}), refused);
    EXPECT_EQ(Configure(*m, {L"Lumari", std::wstring(64, L'k')}), refused);
    EXPECT_EQ(Configure(*m, {L"Lumari", L"password1", tet::kBand6GHz}), refused);
    // Refused configurations leave the system's own one.
    plat::AccessPointConfig current;
    ASSERT_EQ(m->GetCurrentAccessPointConfiguration(&current), 0);
    EXPECT_EQ(current.ssid, L"LUMARI-PC 4821");

    const std::pair<std::int32_t, plat::HRESULT> accepted{tet::kAsyncCompleted, 0};
    EXPECT_EQ(Configure(*m, {std::wstring(10, L'\u70ed') + L"ab", std::wstring(63, L'k'),
                             tet::kBand5GHz}),
              accepted);
    m.reset();
    ASSERT_EQ(Manager()->GetCurrentAccessPointConfiguration(&current), 0);
    EXPECT_EQ(current.ssid, std::wstring(10, L'\u70ed') + L"ab");
    EXPECT_EQ(current.band, tet::kBand5GHz);
}

TEST_F(MobileHotspotSimTest, PendingOperationsAnswerAsTheRuntimeDoes) {
    auto m = Manager();
    ASSERT_NE(m, nullptr);
    Pc().hotspot.HoldOperations();
    std::unique_ptr<plat::TetheringOperation> start;
    ASSERT_EQ(m->StartTetheringAsync(&start), 0);
    std::int32_t state = 0;
    ASSERT_EQ(m->GetOperationalState(&state), 0);
    EXPECT_EQ(state, tet::kStateInTransition);
    std::int32_t status = -1;
    EXPECT_EQ(start->GetResults(&status, nullptr), plat::kEIllegalMethodCall);
    std::atomic<std::thread::id> completedOn{};
    EXPECT_EQ(start->PutCompleted([&](std::int32_t) { completedOn = std::this_thread::get_id(); }),
              0);
    EXPECT_EQ(start->PutCompleted([](std::int32_t) {}), plat::kEIllegalDelegateAssignment);
    Pc().hotspot.ReleaseOperations();
    ASSERT_TRUE(Pc().hotspot.WaitIdle());
    ASSERT_EQ(start->GetResults(&status, nullptr), 0);
    EXPECT_EQ(status, tet::kStatusSuccess);
    EXPECT_NE(completedOn.load(), std::this_thread::get_id()) << "on a thread of the system";
    EXPECT_EQ(Pc().hotspot.OperationalState(), tet::kStateOn);

    // A handler given after completion runs at once, on the caller's thread.
    std::thread::id ranOn;
    EXPECT_EQ(start->PutCompleted([&](std::int32_t) { ranOn = std::this_thread::get_id(); }),
              plat::kEIllegalDelegateAssignment)
        << "still one handler per operation";
    std::unique_ptr<plat::TetheringOperation> stop;
    ASSERT_EQ(m->StopTetheringAsync(&stop), 0);
    ASSERT_TRUE(Pc().hotspot.WaitIdle());
    EXPECT_EQ(stop->PutCompleted([&](std::int32_t) { ranOn = std::this_thread::get_id(); }), 0);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(Pc().hotspot.OperationalState(), tet::kStateOff);

    // A canceled start changes nothing.
    Pc().hotspot.HoldOperations();
    ASSERT_EQ(m->StartTetheringAsync(&start), 0);
    EXPECT_EQ(start->Cancel(), 0);
    Pc().hotspot.ReleaseOperations();
    ASSERT_TRUE(Pc().hotspot.WaitIdle());
    EXPECT_EQ(start->GetResults(&status, nullptr), plat::kEAbort);
    EXPECT_EQ(Pc().hotspot.OperationalState(), tet::kStateOff);
}

}  // namespace
