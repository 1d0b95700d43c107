#include "Environment/ServiceManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SimTest.h"

namespace {

using Names = std::vector<std::string>;

class ServiceManagerTest : public SimTest {
protected:
    void Service(const std::string& name, int state, bool canStop = true) {
        plat::SimService s;
        s.state = state;
        s.canStop = canStop;
        Pc().services.Set(name, s);
    }
    // Every service of the list, stopped.
    void AllStopped(const Names& names) {
        for (const auto& n : names)
            Service(n, 1);
    }
    // The names passed to one library function, in call order.
    Names CallsOf(const std::string& function) {
        Names out;
        const std::string prefix = function + "(";
        for (const auto& call : Pc().services.Log())
            if (call.rfind(prefix, 0) == 0)
                out.push_back(call.substr(prefix.size(), call.size() - prefix.size() - 1));
        return out;
    }
    CServiceManager manager;
};

TEST_F(ServiceManagerTest, XpWithSharingStartsItsFiveServicesInOrder) {
    Pc().os.SetWindows(plat::SimWindows::XpSp2);
    const Names xp = {"Alg", "Winmgmt", "WzcSvc", "Rasman", "SharedAccess"};
    AllStopped(xp);

    EXPECT_TRUE(manager.StartRequiredServices(true));

    EXPECT_EQ(CallsOf("StartServiceByNameEx"), xp);
    for (const auto& n : xp)
        EXPECT_EQ(Pc().services.State(n), 4) << n;
    EXPECT_TRUE(Log().Has("I  start service Alg"));
    EXPECT_TRUE(Log().Has("I  Start service Algsucceed"));
}

TEST_F(ServiceManagerTest, SevenInDriverModeEndsWithIpHelper) {
    Pc().os.SetWindows(plat::SimWindows::Seven);
    const Names seven = {"Alg",    "Winmgmt", "BFE",     "Netman",  "MpsSvc",
                         "Wcmsvc", "WlanSvc", "WwanSvc", "iphlpsvc"};
    AllStopped(seven);

    EXPECT_TRUE(manager.StartRequiredServices(false));

    EXPECT_EQ(CallsOf("StartServiceByNameEx"), seven);
    EXPECT_EQ(CallsOf("GetServiceStatus"), seven);
}

TEST_F(ServiceManagerTest, MissingServiceEndsTheWalk) {
    // Windows 7 has no "Wcmsvc": nothing after it is asked for or started.
    Pc().os.SetWindows(plat::SimWindows::Seven);
    AllStopped({"Alg", "Winmgmt", "BFE", "Netman", "MpsSvc", "WlanSvc", "WwanSvc", "iphlpsvc",
                "Rasman", "SharedAccess"});

    EXPECT_FALSE(manager.StartRequiredServices(true));

    EXPECT_TRUE(Log().Has("I Open Service failed..Wcmsvc"));
    EXPECT_EQ(CallsOf("GetServiceStatus").back(), "Wcmsvc");
    EXPECT_EQ(CallsOf("StartServiceByNameEx"),
              (Names{"Alg", "Winmgmt", "BFE", "Netman", "MpsSvc"}));
    EXPECT_EQ(Pc().services.State("WlanSvc"), 1);
}

TEST_F(ServiceManagerTest, ServiceThatWillNotStartFailsTheWalk) {
    Pc().os.SetWindows(plat::SimWindows::XpSp3);
    AllStopped({"Alg", "Winmgmt", "WzcSvc"});
    plat::SimService alg;
    alg.canStart = false;
    Pc().services.Set("Alg", alg);

    EXPECT_FALSE(manager.StartRequiredServices(false));

    EXPECT_TRUE(Log().Has("E Start service Alg failed"));
    EXPECT_EQ(CallsOf("GetServiceStatus"), (Names{"Alg"}));
}

TEST_F(ServiceManagerTest, OnlyStoppedAndStopPendingServicesAreStarted) {
    // Running, start pending, continue pending, pause pending and paused all
    // count as started and are left alone.
    for (int state : {2, 4, 5, 6, 7}) {
        Service("Svc" + std::to_string(state), state);
        EXPECT_TRUE(manager.StartService(("Svc" + std::to_string(state)).c_str()));
        EXPECT_TRUE(Log().Has("I Service Svc" + std::to_string(state) +
                              " is start. status :" + std::to_string(state)));
    }
    EXPECT_TRUE(CallsOf("StartServiceByNameEx").empty());
    EXPECT_EQ(Pc().services.State("Svc7"), 7);

    Service("Leaving", 3);
    EXPECT_TRUE(manager.StartService("Leaving"));
    EXPECT_EQ(CallsOf("StartServiceByNameEx"), (Names{"Leaving"}));
}

TEST_F(ServiceManagerTest, StopServiceByState) {
    Service("Stopped", 1);
    EXPECT_TRUE(manager.StopService("Stopped"));
    EXPECT_TRUE(Log().Has("I Service Stopped is already stoped. status :1"));

    for (int state : {2, 3, 5, 6}) {
        const std::string name = "Pending" + std::to_string(state);
        Service(name, state);
        EXPECT_FALSE(manager.StopService(name.c_str()));
        EXPECT_TRUE(
            Log().Has("I Service " + name + " is pending..status :" + std::to_string(state)));
    }
    EXPECT_TRUE(CallsOf("StopServiceByName").empty());

    Service("Running", 4);
    Service("Paused", 7);
    EXPECT_TRUE(manager.StopService("Running"));
    EXPECT_TRUE(manager.StopService("Paused"));
    EXPECT_EQ(Pc().services.State("Running"), 1);
    EXPECT_EQ(Pc().services.State("Paused"), 1);

    // A service that cannot be opened is still asked to stop, and that fails.
    EXPECT_FALSE(manager.StopService("Missing"));
    EXPECT_EQ(CallsOf("StopServiceByName"), (Names{"Running", "Paused", "Missing"}));
    EXPECT_TRUE(Log().Has("I Service Missingstopped failed. return0"));
}

TEST_F(ServiceManagerTest, ServiceThatWillNotStopStaysRunning) {
    Service("DeviceHealth", 4, /*canStop=*/false);

    EXPECT_FALSE(manager.StopService("DeviceHealth"));

    EXPECT_EQ(Pc().services.State("DeviceHealth"), 4);
    EXPECT_TRUE(Log().Has("I Service DeviceHealthstopped failed. return0"));
}

TEST_F(ServiceManagerTest, StartTypeFailureText) {
    manager.LogStartTypeFailure("DeviceHealthPluginMgr", 0);
    EXPECT_TRUE(Log().Has("E ChangeServiceStartType <DeviceHealthPluginMgr> failed return 0"));
}

}  // namespace
