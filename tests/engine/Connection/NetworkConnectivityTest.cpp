#include "Connection/NetworkConnectivity.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ConnectionTestSupport.h"
#include "support/SimTest.h"

namespace {

using conntest::Adapter;
using conntest::GuidOf;

// Waits (real time, for the listening thread to reach a point) until `ready`.
template <class F>
bool Eventually(F ready) {
    for (int i = 0; i < 5000 && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return ready();
}

struct Report {
    plat::GUID adapter{};
    plat::DWORD internet = 0;
    std::thread::id thread;
};

class NetworkConnectivityTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        plat::AdapterInfo wan = Adapter("WAN", {"192.168.1.20"});
        wan.gateway = "192.168.1.1";
        Pc().network.AddAdapter(wan);
        Pc().network.AddAdapter(Adapter("LAN", {"10.0.0.5"}));
        // The engine's worker thread is in an apartment when it starts the monitor.
        Pc().com.CoInitializeEx(plat::kCoinitMultithreaded);
    }
    void TearDown() override {
        monitor.Stop();
        SimTest::TearDown();
    }
    bool Start() {
        const bool ok = monitor.Init([this](const plat::GUID& adapter, plat::DWORD internet) {
            std::lock_guard<std::mutex> g(m_lock);
            m_reports.push_back({adapter, internet, std::this_thread::get_id()});
        });
        return ok && Eventually([this] {
                   return Log().HasMessage("Start connectivity ListenProc 1") ||
                          Log().HasMessage("Start connectivity ListenProc 0");
               });
    }
    std::vector<Report> Reports() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_reports;
    }
    void Raise(const std::string& adapter, plat::DWORD connectivity) {
        Pc().nlm.RaiseConnectionConnectivityChanged(plat::SimNlm::ConnectionIdOf(GuidOf(adapter)),
                                                    connectivity);
    }

    CNetworkConnectivity monitor;

private:
    std::mutex m_lock;
    std::vector<Report> m_reports;
};

TEST_F(NetworkConnectivityTest, ListensUntilStoppedAndReleasesEverything) {
    ASSERT_TRUE(Start());

    EXPECT_TRUE(monitor.EventsAdvised());
    EXPECT_EQ(Pc().nlm.Subscriptions(plat::kIidNetworkListManagerEvents), 1);
    EXPECT_EQ(Pc().nlm.Subscriptions(plat::kIidNetworkEvents), 1);
    EXPECT_EQ(Pc().nlm.Subscriptions(plat::kIidNetworkConnectionEvents), 1);
    const auto snapshot = monitor.Connections();
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_EQ(snapshot[0].adapterId, GuidOf("WAN"));
    EXPECT_TRUE(snapshot[0].connectedToInternet);
    EXPECT_EQ(snapshot[0].connectivity, plat::kNlmConnectivityIpv4Internet);
    EXPECT_FALSE(snapshot[1].connectedToInternet);

    monitor.Stop();

    EXPECT_EQ(Pc().nlm.Subscriptions(plat::kIidNetworkConnectionEvents), 0);
    EXPECT_TRUE(Log().Has("I connectivity ListenProc exit."));
    EXPECT_TRUE(DebugHas("[Lumari] CNetworkConnectivity::Stop Enter"));
    EXPECT_TRUE(DebugHas("[Lumari] CNetworkConnectivity::Stop Leave"));
    int traces = 0;
    for (const auto& line : Debug())
        if (line.rfind("[Lumari] Thread:", 0) == 0 &&
            line.find(" CNetworkConnectivity::_ListenProc ") != std::string::npos)
            ++traces;
    EXPECT_EQ(traces, 2);  // Enter and Leave
    EXPECT_EQ(Pc().com.LiveObjects(), 0);
    // A second stop, and a stop without a start, do nothing more.
    monitor.Stop();
    CNetworkConnectivity never;
    never.Stop();
}

TEST_F(NetworkConnectivityTest, WithoutTheNetworkListManagerItDoesNotStart) {
    Pc().os.SetWindows(plat::SimWindows::XpSp2);

    EXPECT_FALSE(monitor.Init([](const plat::GUID&, plat::DWORD) {}));

    EXPECT_TRUE(Log().Has("E Init NLM failed 80040154"));
    EXPECT_FALSE(Log().HasMessage("Start connectivity ListenProc 1"));
}

TEST_F(NetworkConnectivityTest, OnlyIpv4InternetCountsAndReportsArriveOnAnotherThread) {
    ASSERT_TRUE(Start());

    Raise("WAN", plat::kNlmConnectivityIpv4Internet | plat::kNlmConnectivityIpv6NoTraffic);
    Raise("WAN", plat::kNlmConnectivityIpv6Internet | plat::kNlmConnectivityIpv4LocalNetwork);

    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].adapter, GuidOf("WAN"));
    EXPECT_EQ(reports[0].internet, 64u);
    EXPECT_EQ(reports[1].internet, 0u);
    EXPECT_NE(reports[0].thread, std::this_thread::get_id());
    const std::string wan = plat::GuidText::ToString(GuidOf("WAN"));
    EXPECT_TRUE(Log().Has("I Connectivity changed adpater:<" + wan + "> 66, internet? 64"));
    EXPECT_TRUE(Log().Has("I Connectivity changed adpater:<" + wan + "> 1056, internet? 0"));
}

TEST_F(NetworkConnectivityTest, AConnectionTheSystemNoLongerReportsIsFoundInTheSnapshot) {
    ASSERT_TRUE(Start());
    Pc().network.RemoveAdapter(GuidOf("WAN"));

    Raise("WAN", plat::kNlmConnectivityDisconnected);
    // An id neither the system nor the snapshot knows.
    Pc().nlm.RaiseConnectionConnectivityChanged(GuidOf("stranger"), 0);

    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].adapter, GuidOf("WAN"));
    EXPECT_EQ(reports[1].adapter, plat::GUID_NULL_);
    EXPECT_TRUE(Log().Has("I Connectivity changed adpater:<" +
                          plat::GuidText::ToString(plat::GUID_NULL_) + "> 0, internet? 0"));
}

TEST_F(NetworkConnectivityTest, FailedSubscriptionsShowInTheStartLineOnly) {
    Pc().faults.FailAlways("Advise", static_cast<std::int32_t>(0x80040202u));
    ASSERT_TRUE(Start());

    EXPECT_FALSE(monitor.EventsAdvised());
    EXPECT_TRUE(Log().Has("I Start connectivity ListenProc 0"));
    Raise("WAN", plat::kNlmConnectivityIpv4Internet);
    EXPECT_TRUE(Reports().empty());
    Pc().faults.Clear("Advise");
    monitor.Stop();
    EXPECT_EQ(Pc().com.LiveObjects(), 0);
}

TEST_F(NetworkConnectivityTest, OnlyTheConnectionSubscriptionDecidesTheFlag) {
    Pc().faults.FailNext("Advise", static_cast<std::int32_t>(0x80040202u));  // list manager events
    ASSERT_TRUE(Start());

    EXPECT_TRUE(monitor.EventsAdvised());
    EXPECT_EQ(Pc().nlm.Subscriptions(plat::kIidNetworkListManagerEvents), 0);
    EXPECT_EQ(Pc().nlm.Subscriptions(plat::kIidNetworkConnectionEvents), 1);
}

TEST_F(NetworkConnectivityTest, AListeningThreadOutsideAnApartmentWarnsAndGoesOn) {
    Pc().faults.FailNext("CoInitializeEx", static_cast<std::int32_t>(0x80004005u));
    ASSERT_TRUE(Start());

    EXPECT_TRUE(Log().Has("W CNetworkConnectivity::_ListenProc CoInitializeEx return" +
                          std::to_string(static_cast<std::int32_t>(0x80004005u))));
    Raise("WAN", plat::kNlmConnectivityIpv4Internet);
    EXPECT_EQ(Reports().size(), 1u);
}

TEST_F(NetworkConnectivityTest, AnUnreadableConnectionListLeavesAnEmptySnapshot) {
    ASSERT_TRUE(Start());
    Pc().faults.FailNext("GetNetworkConnections", static_cast<std::int32_t>(0x80004005u));

    EXPECT_FALSE(monitor.RefreshConnectionTable());
    EXPECT_TRUE(monitor.Connections().empty());
    EXPECT_TRUE(monitor.RefreshConnectionTable());
    EXPECT_EQ(monitor.Connections().size(), 2u);
}

// Every event reaches the slot of its name; only slot 5 reports.
class SlotRecorder : public CNetworkConnectivity {
public:
    ~SlotRecorder() override { Stop(); }
    plat::HRESULT ConnectivityChanged(plat::DWORD) override { return Hit("ConnectivityChanged"); }
    plat::HRESULT NetworkAdded(const plat::GUID&) override { return Hit("NetworkAdded"); }
    plat::HRESULT NetworkDeleted(const plat::GUID&) override { return Hit("NetworkDeleted"); }
    plat::HRESULT NetworkConnectivityChanged(const plat::GUID&, plat::DWORD) override {
        return Hit("NetworkConnectivityChanged");
    }
    plat::HRESULT NetworkPropertyChanged(const plat::GUID&, plat::DWORD) override {
        return Hit("NetworkPropertyChanged");
    }
    plat::HRESULT NetworkConnectionConnectivityChanged(const plat::GUID& id,
                                                       plat::DWORD c) override {
        Hit("NetworkConnectionConnectivityChanged");
        return CNetworkConnectivity::NetworkConnectionConnectivityChanged(id, c);
    }
    plat::HRESULT NetworkConnectionPropertyChanged(const plat::GUID&, plat::DWORD) override {
        return Hit("NetworkConnectionPropertyChanged");
    }
    std::vector<std::string> hits;

private:
    plat::HRESULT Hit(const char* name) {
        hits.push_back(name);
        return static_cast<plat::HRESULT>(0x80004005u);  // the sink answers S_OK regardless
    }
};

TEST_F(NetworkConnectivityTest, TheSinkForwardsEveryEventToItsSlotAndAnswersOk) {
    SlotRecorder recorder;
    int reports = 0;
    ASSERT_TRUE(recorder.Init([&](const plat::GUID&, plat::DWORD) { ++reports; }));
    ASSERT_TRUE(Eventually([&] { return Log().HasMessage("Start connectivity ListenProc 1"); }));
    const plat::GUID id = GuidOf("network");
    std::vector<plat::HRESULT> answers;
    auto record = [&](plat::HRESULT hr) { answers.push_back(hr); };

    Pc().nlm.Raise(plat::kIidNetworkListManagerEvents,
                   [&](plat::NetworkEventSink& s) { record(s.ConnectivityChanged(0x40)); });
    Pc().nlm.Raise(plat::kIidNetworkEvents, [&](plat::NetworkEventSink& s) {
        record(s.NetworkAdded(id));
        record(s.NetworkDeleted(id));
        record(s.NetworkConnectivityChanged(id, 0x40));
        record(s.NetworkPropertyChanged(id, 1));
    });
    Pc().nlm.Raise(plat::kIidNetworkConnectionEvents, [&](plat::NetworkEventSink& s) {
        record(s.NetworkConnectionConnectivityChanged(id, 0x40));
        record(s.NetworkConnectionPropertyChanged(id, 1));
    });

    EXPECT_EQ(recorder.hits,
              (std::vector<std::string>{"ConnectivityChanged", "NetworkAdded", "NetworkDeleted",
                                        "NetworkConnectivityChanged", "NetworkPropertyChanged",
                                        "NetworkConnectionConnectivityChanged",
                                        "NetworkConnectionPropertyChanged"}));
    EXPECT_EQ(answers, std::vector<plat::HRESULT>(7, plat::kSOk));
    EXPECT_EQ(reports, 1);
}

// The system holds the sink itself and may be on its way into it when the
// monitor stops and is freed: the event must find nobody home.
TEST_F(NetworkConnectivityTest, AnEventTheSystemDeliversAfterTheMonitorIsGoneReachesNothing) {
    auto gone = std::make_unique<CNetworkConnectivity>();
    std::atomic<int> reports{0};
    ASSERT_TRUE(gone->Init([&](const plat::GUID&, plat::DWORD) { ++reports; }));
    ASSERT_TRUE(Eventually([&] { return Log().HasMessage("Start connectivity ListenProc 1"); }));
    Pc().nlm.HoldDeliveries();
    std::thread system([&] { Raise("WAN", plat::kNlmConnectivityIpv4Internet); });
    ASSERT_TRUE(Eventually([&] { return Pc().nlm.HeldDeliveries() == 1; }));

    gone.reset();
    Pc().nlm.ReleaseDeliveries();
    system.join();

    EXPECT_EQ(reports.load(), 0);
    EXPECT_FALSE(Log().Has("I Connectivity changed adpater:<" +
                           plat::GuidText::ToString(GuidOf("WAN")) + "> 64, internet? 64"));
}

// A callback already running keeps its monitor: the stop returns only after it.
TEST_F(NetworkConnectivityTest, StopWaitsForTheCallbackThatIsRunning) {
    std::mutex m;
    std::condition_variable cv;
    bool entered = false, released = false;
    std::atomic<bool> stopped{false};
    bool stoppedUnderIt = true;
    ASSERT_TRUE(monitor.Init([&](const plat::GUID&, plat::DWORD) {
        std::unique_lock<std::mutex> lock(m);
        entered = true;
        cv.notify_all();
        cv.wait(lock, [&] { return released; });
        lock.unlock();
        // A stop that does not wait has everything it needs to return now;
        // give it the time to show it.
        for (int i = 0; i < 200 && !stopped.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stoppedUnderIt = stopped.load();
    }));
    ASSERT_TRUE(Eventually([&] { return Log().HasMessage("Start connectivity ListenProc 1"); }));
    std::thread system([&] { Raise("WAN", plat::kNlmConnectivityIpv4Internet); });
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return entered; });
    }
    std::thread stopper([&] {
        monitor.Stop();
        stopped = true;
    });
    // The listening thread has let the subscriptions go: the stop is past it.
    ASSERT_TRUE(
        Eventually([&] { return Pc().nlm.Subscriptions(plat::kIidNetworkConnectionEvents) == 0; }));
    {
        std::lock_guard<std::mutex> g(m);
        released = true;
    }
    cv.notify_all();
    stopper.join();
    system.join();

    EXPECT_FALSE(stoppedUnderIt);
    EXPECT_EQ(Pc().com.LiveObjects(), 0);
}

}  // namespace
