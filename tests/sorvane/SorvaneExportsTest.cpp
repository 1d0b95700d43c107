// The share control library through its exports, on the simulated PC: the
// choice of ICS or the NAT driver, the driver's requests each on a device
// handle of its own, and ICS with its WMI fallback.
#include "sorvane/Sorvane.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/text/GuidText.h"
#include "support/SimTest.h"

namespace {

using plat::HRESULT;

const plat::GUID kPublic = plat::GuidText::FromName("wan0");
const plat::GUID kPrivate = plat::GuidText::FromName("br0");
const plat::GUID kOther = plat::GuidText::FromName("eth9");

class SorvaneTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        for (const char* name : {"wan0", "br0"}) {
            plat::AdapterInfo a;
            a.guid = plat::GuidText::FromName(name);
            a.name = name;
            Pc().network.AddAdapter(a);
        }
    }
    // The driver installed (its NDIS build, which the library uses).
    void Driver() { Pc().nat.AddDevice("SOLVANE"); }
    int Opens() { return Pc().faults.Calls("CreateFileA"); }
    std::vector<plat::SimNatRequest> Requests() { return Pc().nat.Requests(); }
};

TEST_F(SorvaneTest, EveryExportButInitAnswersEPointerBeforeAWayIsChosen) {
    int out = 0;
    SHARINGTYPE type;
    plat::PEER_INFO peers[1];
    EXPECT_EQ(IsSupportSharing(&out), plat::kEPointer);
    EXPECT_EQ(IsSharingEnable(&kPublic, &out), plat::kEPointer);
    EXPECT_EQ(GetSharingType(&kPublic, &type), plat::kEPointer);
    EXPECT_EQ(SetPublic(&kPublic), plat::kEPointer);
    EXPECT_EQ(SetPrivate(&kPrivate), plat::kEPointer);
    EXPECT_EQ(EnableShare(), plat::kEPointer);
    EXPECT_EQ(DisableShare(), plat::kEPointer);
    EXPECT_EQ(SetSpeedLimited("02-00-00-00-00-01", 1, 0, 0), plat::kEPointer);
    EXPECT_EQ(GetPeers(peers, &out), plat::kEPointer);
    EXPECT_EQ(RemovePeers("02-00-00-00-00-01"), plat::kEPointer);
    DeInitShare();  // harmless
    EXPECT_EQ(EnableShare(), plat::kEPointer);
}

TEST_F(SorvaneTest, TheChoiceFollowsTheTypeAskedForOrStored) {
    // Automatic without the driver: ICS.
    int type = 0;
    EXPECT_EQ(InitShare(&type), plat::kSOk);
    EXPECT_EQ(type, 2);
    EXPECT_TRUE(DebugHas("init share succeed:2"));
    // A null type uses the stored one (ICS), even with the driver there now.
    Driver();
    EXPECT_EQ(InitShare(nullptr), plat::kSOk);
    int supported = -1;
    EXPECT_EQ(GetSharingType(&kPublic, nullptr), plat::kEInvalidArg);
    SHARINGTYPE side;
    EXPECT_EQ(GetSharingType(&kPublic, &side), plat::kENotImpl);  // ICS
    // Automatic with the driver there: the driver, its handle closed again.
    type = 0;
    EXPECT_EQ(InitShare(&type), plat::kSOk);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
    EXPECT_EQ(IsSupportSharing(&supported), plat::kSOk);
    EXPECT_EQ(supported, 1);
    // Driver only, without the driver: E_FAIL.
    Pc().nat.RemoveDevice("SOLVANE");
    type = 1;
    EXPECT_EQ(InitShare(&type), plat::kEFail);
    EXPECT_EQ(type, 1);
    DeInitShare();
    EXPECT_EQ(EnableShare(), plat::kEPointer);
    // After DeInitShare the stored type is -1: automatic again.
    EXPECT_EQ(InitShare(nullptr), plat::kSOk);
    EXPECT_TRUE(DebugHas("init share succeed:2"));
}

// A way asked for that cannot be had leaves the previous way in place, and
// DeInitShare still lets go of everything the library holds.
TEST_F(SorvaneTest, DeInitShareReleasesTheSharingObjectsWhateverTypeWasLastAskedFor) {
    const int before = Pc().com.LiveObjects();
    int type = 2;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    ASSERT_GT(Pc().com.LiveObjects(), before);
    type = 1;
    EXPECT_EQ(InitShare(&type), plat::kEFail);  // no driver
    DeInitShare();
    EXPECT_EQ(Pc().com.LiveObjects(), before);
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
}

TEST_F(SorvaneTest, DriverRequestsOpenTheNdisDeviceEachTimeAndCloseIt) {
    Driver();
    Pc().os.SetNativeArchitecture(9);
    int type = 1;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    ASSERT_EQ(SetPublic(&kPublic), plat::kSOk);
    ASSERT_EQ(SetPrivate(&kPrivate), plat::kSOk);
    const int before = Opens();

    EXPECT_EQ(EnableShare(), plat::kSOk);
    EXPECT_EQ(Pc().processes.History().back(), "snetcfg64.exe -x ms_solvane");
    EXPECT_TRUE(DebugHas("EnableDriver: "));
    EXPECT_TRUE(DebugHas("EnableDriver Failed.."));  // the tool is not there
    EXPECT_TRUE(DebugHas("EnableShare OutputBuffer:sharing,  dwOutput: 8\n"));
    EXPECT_EQ(Opens(), before + 1);
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
    EXPECT_TRUE(Pc().nat.Engine().Sharing());

    int enabled = -1;
    EXPECT_EQ(IsSharingEnable(&kPublic, &enabled), plat::kSOk);
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(IsSharingEnable(&kOther, &enabled), plat::kSOk);
    EXPECT_EQ(enabled, 0);
    SHARINGTYPE side;
    EXPECT_EQ(GetSharingType(&kPrivate, &side), plat::kSOk);
    EXPECT_EQ(side, SHARINGTYPE_PRIVATE);
    EXPECT_EQ(GetSharingType(&kOther, &side), plat::kEInvalidArg);

    EXPECT_EQ(DisableShare(), plat::kSOk);
    EXPECT_TRUE(DebugHas("DisableShare OutputBuffer:stopped,  dwOutput: 8\n"));
    EXPECT_EQ(IsSharingEnable(&kPublic, &enabled), plat::kSOk);
    EXPECT_EQ(enabled, 0);
    EXPECT_FALSE(Pc().nat.Engine().Sharing());
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
}

TEST_F(SorvaneTest, AWfpOnlyDriverLeavesTheLibraryWithoutADevice) {
    Pc().nat.AddDevice("SOLVANEWFP");
    int type = 1;
    EXPECT_EQ(InitShare(&type), plat::kEFail);
    Driver();
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    Pc().nat.RemoveDevice("SOLVANE");
    EXPECT_EQ(DisableShare(), plat::kEHandle);
    EXPECT_TRUE(DebugHas("Failed to Open Device : 2\n"));
}

TEST_F(SorvaneTest, SpeedLimitsAndRemovalCheckTheMacBeforeOpeningTheDevice) {
    Driver();
    int type = 1;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    const int before = Opens();
    EXPECT_EQ(SetSpeedLimited("02-00-00-00-00", 0, 0, 0), plat::kEInvalidArg);
    EXPECT_EQ(RemovePeers("02-00-00-00-00"), plat::kEInvalidArg);
    EXPECT_EQ(SetSpeedLimited(nullptr, 0, 0, 0), plat::kEInvalidArg);
    EXPECT_EQ(Opens(), before);

    EXPECT_EQ(SetSpeedLimited("0a-1b-2c-3d-4e-5f", 1, 200, 300), plat::kSOk);
    EXPECT_TRUE(DebugHas("Set SpeedLimit succeed 0a-1b-2c-3d-4e-5f, 1, 200, 300\n"));
    const auto record = Requests().back().input;
    ASSERT_EQ(record.size(), 20u);
    EXPECT_EQ(record[8], 200);  // upload
    EXPECT_EQ(record[12], 44);  // download 300
    EXPECT_EQ(record[13], 1);
    EXPECT_EQ(record[16], 1);  // allowed

    Pc().faults.FailNext("DeviceIoControl", 0);
    EXPECT_EQ(SetSpeedLimited("0A-1B-2C-3D-4E-5F", 0, 0, 0), plat::kEFail);
    EXPECT_TRUE(DebugHas("Set SpeedLimit failed 0\n"));
    Pc().faults.FailNext("DeviceIoControl", 0);
    EXPECT_EQ(RemovePeers("0A-1B-2C-3D-4E-5F"), plat::kEFail);
    EXPECT_TRUE(DebugHas("DeletePeers failed 0."));
    EXPECT_EQ(RemovePeers("0A-1B-2C-3D-4E-5F"), plat::kSOk);
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
}

TEST_F(SorvaneTest, GetPeersCopiesAtMostTheCountAndSaysWhenMoreAreKnown) {
    Driver();
    int type = 1;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    ASSERT_EQ(SetPublic(&kPublic), plat::kSOk);
    ASSERT_EQ(SetPrivate(&kPrivate), plat::kSOk);
    ASSERT_EQ(EnableShare(), plat::kSOk);
    for (const char* mac : {"02-00-00-00-00-01", "02-00-00-00-00-02", "02-00-00-00-00-03"})
        Pc().nat.Engine().AddPeer(mac);

    plat::PEER_INFO peers[4];
    std::memset(peers, 0xAB, sizeof peers);
    int count = 2;
    EXPECT_EQ(GetPeers(peers, &count), plat::kSFalse);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(peers[1].mac[5], 2);
    EXPECT_EQ(peers[2].mac[5], 0xAB);  // nothing beyond the room given
    EXPECT_TRUE(DebugHas("CShareDriver::GetPeers return size:3\n"));

    count = 4;
    EXPECT_EQ(GetPeers(peers, &count), plat::kSOk);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(peers[2].mac[5], 3);
    EXPECT_EQ(GetPeers(nullptr, &count), plat::kEInvalidArg);
    EXPECT_EQ(GetPeers(peers, nullptr), plat::kEInvalidArg);
    // A failure of the driver is passed on.
    Pc().nat.RemoveDevice("SOLVANE");
    EXPECT_EQ(GetPeers(peers, &count), plat::kEHandle);
}

TEST_F(SorvaneTest, InIcsModeTheClientOperationsAreNotImplemented) {
    int type = 2;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    plat::PEER_INFO peers[1];
    int count = 1;
    EXPECT_EQ(SetSpeedLimited("02-00-00-00-00-01", 1, 0, 0), plat::kENotImpl);
    EXPECT_EQ(GetPeers(peers, &count), plat::kENotImpl);
    EXPECT_EQ(RemovePeers("02-00-00-00-00-01"), plat::kENotImpl);
    int supported = 0;
    EXPECT_EQ(IsSupportSharing(&supported), plat::kSOk);
    EXPECT_EQ(supported, 1);
}

TEST_F(SorvaneTest, IcsSharesBothSidesAndFallsBackToWmiForARefusedPublicSide) {
    int type = 2;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    EXPECT_EQ(EnableShare(), plat::kEInvalidArg);  // no connections named yet
    ASSERT_EQ(SetPublic(&kPublic), plat::kSOk);
    ASSERT_EQ(SetPrivate(&kPrivate), plat::kSOk);
    const HRESULT refused = static_cast<HRESULT>(0x8004020Fu);
    Pc().ics.Refuse(kPublic, refused);

    EXPECT_EQ(EnableShare(), plat::kSOk);
    EXPECT_TRUE(DebugHas("EnableIcsUsingWMI Public, hr=0x8004020f"));
    EXPECT_TRUE(Pc().ics.IsPublic(kPublic));
    EXPECT_TRUE(Pc().ics.IsPrivate(kPrivate));
    int enabled = 0;
    EXPECT_EQ(IsSharingEnable(&kPrivate, &enabled), plat::kSOk);
    EXPECT_EQ(enabled, 1);

    Pc().ics.Refuse(kPublic, 0);
    EXPECT_EQ(DisableShare(), plat::kSOk);
    EXPECT_FALSE(Pc().ics.IsPublic(kPublic));
    EXPECT_FALSE(Pc().ics.IsPrivate(kPrivate));
    DeInitShare();
    EXPECT_EQ(Pc().ics.LiveManagers(), 0);
}

TEST_F(SorvaneTest, APrivateSideTheServiceCannotTakeIsReportedWithoutWmi) {
    int type = 2;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    ASSERT_EQ(SetPublic(&kPublic), plat::kSOk);
    ASSERT_EQ(SetPrivate(&kPrivate), plat::kSOk);
    const HRESULT cannot = static_cast<HRESULT>(0x80070425u);
    Pc().ics.Refuse(kPrivate, cannot);
    EXPECT_EQ(EnableShare(), cannot);
    EXPECT_FALSE(DebugHas("EnableIcsUsingWMI Private"));
    EXPECT_TRUE(DebugHas("ERROR: EnableShare()->启用失败private"));
    EXPECT_FALSE(Pc().ics.IsPrivate(kPrivate));
}

TEST_F(SorvaneTest, WithoutAdministratorRightsIcsSharingFailsInsteadOfPretending) {
    // Both ways of sharing are refused: the sharing call and the WMI write
    // behind it. The refusal comes back; nothing is shared.
    Pc().os.SetElevated(false);
    int type = 2;
    ASSERT_EQ(InitShare(&type), plat::kSOk);
    ASSERT_EQ(SetPublic(&kPublic), plat::kSOk);
    ASSERT_EQ(SetPrivate(&kPrivate), plat::kSOk);
    EXPECT_EQ(EnableShare(), plat::kWbemEAccessDenied);
    EXPECT_TRUE(DebugHas("EnableIcsUsingWMI Public, hr=0x80070005"));
    EXPECT_TRUE(DebugHas("ERROR: EnableShare()->启用失败public"));
    EXPECT_FALSE(Pc().ics.IsPublic(kPublic));
    EXPECT_FALSE(Pc().ics.IsPrivate(kPrivate));

    // With rights, one instance whose write is refused still fails the
    // fallback, though the others were written.
    Pc().os.SetElevated(true);
    Pc().ics.Refuse(kPublic, static_cast<HRESULT>(0x8004020Fu));
    const HRESULT busy = static_cast<HRESULT>(0x80041001u);
    Pc().faults.FailNext("PutInstance", busy);
    EXPECT_EQ(EnableShare(), busy);
    EXPECT_FALSE(Pc().ics.IsPrivate(kPrivate));
}

TEST_F(SorvaneTest, IcsWithoutItsSharingManagerIsChosenButDoesNothing) {
    Pc().faults.FailNext("CoCreateInstance(HNetShare)", static_cast<HRESULT>(0x80040154u));
    int type = 2;
    EXPECT_EQ(InitShare(&type), plat::kSOk);
    EXPECT_EQ(type, 2);
    ASSERT_EQ(SetPublic(&kPublic), plat::kSOk);
    ASSERT_EQ(SetPrivate(&kPrivate), plat::kSOk);
    EXPECT_EQ(EnableShare(), plat::kSFalse);
    int supported = 1;
    EXPECT_EQ(IsSupportSharing(&supported), plat::kSFalse);
    EXPECT_EQ(DisableShare(), plat::kSFalse);
}

}  // namespace
