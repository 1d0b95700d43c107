#include "Share/ShareManager.h"

#include <gtest/gtest.h>

#include <string>

#include "../Connection/ConnectionTestSupport.h"
#include "support/SimTest.h"

namespace {

using conntest::Adapter;
using conntest::GuidOf;

class ShareManagerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        for (const char* name : {"WAN", "AP", "LAN"})
            Pc().network.AddAdapter(Adapter(name));
        plat::SimService stopped;
        stopped.state = 1;
        Pc().services.Set("solvanewfp", stopped);
        share = CShareManager::GetInstance();
    }
    // The WFP driver installed; its device answers enable and disable with
    // `enable` and `disable`, everything else with TRUE.
    void Driver(plat::BOOL enable = 1, plat::BOOL disable = 1) {
        Pc().nat.AddDevice("SOLVANEWFP");
        Pc().nat.SetHandler([=](const plat::SimNatRequest& r, std::vector<plat::BYTE>*) {
            if (r.code == plat::kNatIoctlEnableShare)
                return enable;
            if (r.code == plat::kNatIoctlDisableShare)
                return disable;
            return 1;
        });
    }
    int RequestsOf(plat::DWORD code) {
        int n = 0;
        for (const auto& r : Pc().nat.Requests())
            n += r.code == code ? 1 : 0;
        return n;
    }
    CShareManager* share = nullptr;
};

TEST_F(ShareManagerTest, TheProcessHasOneShareManager) {
    EXPECT_EQ(CShareManager::GetInstance(), share);
}

TEST_F(ShareManagerTest, AutomaticModePrefersTheDriverAndFallsBackToIcs) {
    // No driver on this PC: ICS.
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    EXPECT_EQ(share->ShareType(), CShareManager::kTypeIcs);
    EXPECT_FALSE(share->IsDriverMode());
    EXPECT_TRUE(Log().Has("I Current share mode is ics."));
    share->DeInitShare();

    // With the driver's device present the driver wins, though ICS is there too.
    Driver();
    Log().Clear();
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    EXPECT_TRUE(share->IsDriverMode());
    EXPECT_TRUE(Log().Has("I Current share mode is drv."));
    EXPECT_FALSE(Log().HasMessage("Current share mode is ics."));
    EXPECT_EQ(Pc().ics.LiveManagers(), 0);
}

TEST_F(ShareManagerTest, ASingleModeTriesOnlyItsSideAndKeepsTheTypeOnFailure) {
    EXPECT_FALSE(share->InitShare(CShareManager::kModeDriverOnly));
    EXPECT_EQ(share->ShareType(), CShareManager::kTypeNone);
    EXPECT_EQ(Pc().ics.LiveManagers(), 0);

    ASSERT_TRUE(share->InitShare(CShareManager::kModeIcsOnly));
    share->DeInitShare();
    // ICS not installed: the manager created for the question is released.
    Pc().ics.SetInstalled(false);
    Driver();
    EXPECT_FALSE(share->InitShare(CShareManager::kModeIcsOnly));
    EXPECT_EQ(share->ShareType(), CShareManager::kTypeIcs);
    EXPECT_EQ(Pc().ics.LiveManagers(), 0);
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
}

TEST_F(ShareManagerTest, DriverSharingClearsTheIcsFlagsOfEveryConnection) {
    Driver();
    Pc().ics.SetFlags(GuidOf("LAN"), true, false);
    Pc().ics.SetFlags(GuidOf("AP"), false, true);
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));

    ASSERT_TRUE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));

    EXPECT_TRUE(share->IsShared());
    EXPECT_EQ(RequestsOf(plat::kNatIoctlEnableShare), 1);
    for (const char* name : {"WAN", "AP", "LAN"})
        EXPECT_FALSE(Pc().ics.IsPublic(GuidOf(name)) || Pc().ics.IsPrivate(GuidOf(name))) << name;
    EXPECT_TRUE(Log().Has("I Private GUID: " + plat::GuidText::ToString(GuidOf("AP"))));
    EXPECT_TRUE(Log().Has("I Public GUID: " + plat::GuidText::ToString(GuidOf("WAN"))));
    EXPECT_TRUE(Log().Has("I EnableShare Succeed(drv)."));
}

TEST_F(ShareManagerTest, AFailedWmiClearAfterDriverSharingIsOnlyLogged) {
    Driver();
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    Pc().faults.FailNext("ConnectServer", static_cast<std::int32_t>(0x8004100Eu));

    EXPECT_TRUE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));
    EXPECT_TRUE(Log().Has("I DisableIcsShareWMI failed 8004100e"));
}

TEST_F(ShareManagerTest, AFailedEnableKeepsTheGuidsAndTheStopDoesNotDisable) {
    Driver(/*enable=*/0);
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));

    EXPECT_FALSE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));
    EXPECT_TRUE(Log().Has("E EnableShare Failed(drv)."));
    EXPECT_FALSE(share->IsShared());
    EXPECT_EQ(share->PublicGuid(), GuidOf("WAN"));
    EXPECT_EQ(share->PrivateGuid(), GuidOf("AP"));

    share->DeInitShare();

    EXPECT_TRUE(Log().Has("I DeInitShare."));
    EXPECT_EQ(RequestsOf(plat::kNatIoctlDisableShare), 0);
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
    EXPECT_EQ(Pc().services.State("solvanewfp"), 1);
    EXPECT_FALSE(share->IsInitialized());
    EXPECT_EQ(share->ShareType(), CShareManager::kTypeDriver);  // chosen again at the next start
}

TEST_F(ShareManagerTest, StoppingASharedRunDisablesFirst) {
    Driver();
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    ASSERT_TRUE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));

    share->DeInitShare();

    EXPECT_EQ(RequestsOf(plat::kNatIoctlDisableShare), 1);
    EXPECT_TRUE(Log().Has("I DisableShare Succeed."));
    EXPECT_FALSE(share->IsShared());
    EXPECT_EQ(share->PublicGuid(), plat::GUID_NULL_);
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
}

TEST_F(ShareManagerTest, DisableWithoutAChosenSideOrRefusedKeepsTheState) {
    EXPECT_FALSE(share->DisableShare());
    EXPECT_TRUE(Log().Has("E DisableShare Failed."));

    Driver(1, /*disable=*/0);
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    ASSERT_TRUE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));
    EXPECT_FALSE(share->DisableShare());
    EXPECT_TRUE(share->IsShared());
    EXPECT_EQ(share->PublicGuid(), GuidOf("WAN"));
}

TEST_F(ShareManagerTest, IcsModeSharesThroughIcs) {
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    ASSERT_TRUE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));
    EXPECT_TRUE(Pc().ics.IsPublic(GuidOf("WAN")));
    EXPECT_TRUE(Pc().ics.IsPrivate(GuidOf("AP")));
    EXPECT_TRUE(Log().Has("I EnableShare Succeed(ICS)."));

    share->DeInitShare();
    EXPECT_FALSE(Pc().ics.IsPublic(GuidOf("WAN")));
    EXPECT_EQ(Pc().ics.LiveManagers(), 0);

    // Neither way can share: the configuration manager and WMI both refuse.
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    Pc().ics.Refuse(GuidOf("AP"), static_cast<plat::HRESULT>(0x80040201u));
    Pc().faults.FailNext("ConnectServer", static_cast<std::int32_t>(0x8004100Eu));
    EXPECT_FALSE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));
    EXPECT_TRUE(Log().Has("E EnableShare Failed(ICS)."));
}

TEST_F(ShareManagerTest, SwitchingToIcsLeavesTheDriverOpen) {
    Driver(/*enable=*/0);
    ASSERT_TRUE(share->InitShare(CShareManager::kModeAuto));
    ASSERT_FALSE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));

    ASSERT_TRUE(share->SwitchToIcs());
    EXPECT_EQ(share->ShareType(), CShareManager::kTypeIcs);
    EXPECT_EQ(Pc().nat.OpenHandles(), 1);
    EXPECT_TRUE(share->EnableShare(GuidOf("AP"), GuidOf("WAN")));

    share->DeInitShare();
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);

    Pc().ics.SetInstalled(false);
    EXPECT_FALSE(share->SwitchToIcs());
    EXPECT_EQ(Pc().ics.LiveManagers(), 0);
}

TEST_F(ShareManagerTest, PerClientRequestsNeedTheDriversDevice) {
    ASSERT_TRUE(share->InitShare(CShareManager::kModeIcsOnly));
    std::vector<plat::PEER_INFO> peers;

    EXPECT_FALSE(share->GetPeers(peers));
    EXPECT_FALSE(share->SetSpeedLimit(L"02-00-00-00-00-01", 1, 100, 50));
    EXPECT_FALSE(share->DeletePeers(L"02-00-00-00-00-01"));
    EXPECT_FALSE(share->SetAllowPorts({80}));
    EXPECT_TRUE(Log().Has("E Driver handle check failed.."));

    share->DeInitShare();
    Driver();
    ASSERT_TRUE(share->InitShare(CShareManager::kModeDriverOnly));
    EXPECT_TRUE(share->SetSpeedLimit(L"02-00-00-00-00-01", 1, 100, 50));
    EXPECT_TRUE(share->SetAllowPorts({80, 443}));
    EXPECT_EQ(RequestsOf(plat::kNatIoctlSetSpeedLimit), 1);
}

}  // namespace
