#include "Wlan/WiFiCreator.h"

#include <gtest/gtest.h>

#include <string>

#include "support/SimTest.h"

namespace {

class CreatorTest : public SimTest {
protected:
    CWiFiCreator& Creator() { return *CWiFiCreator::GetInstance(); }
    void AddRalinkAdapter() {
        Pc().ralink.InstallLibrary();
        plat::SimRalinkAdapter a;
        a.guid = {0xB0000001, 0x3070, 0x11E0, {1, 2, 3, 4, 5, 6, 7, 8}};
        Pc().ralink.AddAdapter(a);
    }
    CWiFiEventCallback events;
};

TEST_F(CreatorTest, AutomaticModeFollowsTheWindowsVersion) {
    struct Case {
        plat::SimWindows windows;
        int mode;
    } cases[] = {{plat::SimWindows::Seven, 1},
                 {plat::SimWindows::EightOne, 1},
                 {plat::SimWindows::Vista, 2},
                 {plat::SimWindows::XpSp2, 2}};
    for (const auto& c : cases) {
        Pc().os.SetWindows(c.windows);
        Creator().Create(0, &events, false);
        ASSERT_NE(Creator().GetManager(), nullptr);
        EXPECT_EQ(Creator().GetManager()->GetMode(), c.mode);
        EXPECT_EQ(Creator().GetMode(), c.mode);
        EXPECT_TRUE(Log().Has("I Current Wifi mode: " + std::to_string(c.mode)));
    }
}

TEST_F(CreatorTest, RalinkFirstFallsBackWhenThereIsNoRalinkAdapter) {
    Pc().os.SetWindows(plat::SimWindows::Seven);
    // No library at all, then the library without an adapter.
    Creator().Create(0, &events, true);
    EXPECT_EQ(Creator().GetMode(), 1);

    Pc().ralink.InstallLibrary();
    Creator().Create(0, &events, true);
    EXPECT_EQ(Creator().GetMode(), 1);
    EXPECT_TRUE(Log().Has("E Find no Ralink usb nic."));
    // The probing manager is gone with its library.
    EXPECT_EQ(Pc().modules.LoadCount(L"RAAPAPI.dll"), 0);

    Pc().os.SetWindows(plat::SimWindows::XpSp3);
    Creator().Create(0, &events, true);
    EXPECT_EQ(Creator().GetMode(), 2);
}

TEST_F(CreatorTest, RalinkFirstKeepsAnAdapterThatInitialisesAndInitialisesItTwice) {
    Pc().os.SetWindows(plat::SimWindows::XpSp2);
    AddRalinkAdapter();

    EXPECT_EQ(Creator().Create(0, &events, true), 0);

    EXPECT_EQ(Creator().GetMode(), 3);
    ASSERT_NE(Creator().GetManager(), nullptr);
    EXPECT_EQ(Creator().GetManager()->GetMode(), 3);
    // One manager, initialised twice: the second Init found its adapter still there.
    EXPECT_EQ(Pc().faults.Calls("RAAP_Initial"), 1);
    EXPECT_EQ(Pc().faults.Calls("RAAP_GetAvailableAdapters"), 1);
    EXPECT_EQ(Pc().faults.Calls("RAAP_IsDeviceExist"), 2);
}

TEST_F(CreatorTest, UnknownModeLeavesNoManagerAndStopsThePreviousOne) {
    AddRalinkAdapter();
    ASSERT_EQ(Creator().Create(3, &events, false), 0);
    ASSERT_EQ(Creator().Start(L"Lumari", L"12345678", 0), 0);
    ASSERT_EQ(Pc().ralink.OpMode(), 1);

    EXPECT_EQ(Creator().Create(7, &events, false), 1010);

    EXPECT_EQ(Creator().GetManager(), nullptr);
    EXPECT_EQ(Pc().ralink.OpMode(), 0);
    EXPECT_TRUE(Log().Has("I StopAp End"));
    EXPECT_FALSE(Pc().ralink.Initialized());
    plat::GUID guid{};
    EXPECT_EQ(Creator().Start(L"Lumari", L"12345678", 0), 1010);
    EXPECT_EQ(Creator().StopAp(), 1010);
    EXPECT_EQ(Creator().GetAdapterGuid(&guid), 1010);
}

TEST_F(CreatorTest, ManagerWhoseInitFailedIsKeptAndRefusesToStart) {
    Pc().ralink.InstallLibrary();

    EXPECT_EQ(Creator().Create(3, &events, false), 1001);

    ASSERT_NE(Creator().GetManager(), nullptr);
    EXPECT_EQ(Creator().GetMode(), 3);
    EXPECT_EQ(Creator().Start(L"Lumari", L"12345678", 0), 1002);
    EXPECT_EQ(Pc().ralink.ConfigWrites(), 0);
}

TEST_F(CreatorTest, ForwardersReachTheManager) {
    AddRalinkAdapter();
    ASSERT_EQ(Creator().Create(3, &events, false), 0);
    ASSERT_EQ(Creator().Start(L"Lumari", L"12345678", 0), 0);
    plat::GUID guid{};
    EXPECT_EQ(Creator().GetAdapterGuid(&guid), 0);
    EXPECT_EQ(guid, Pc().ralink.SelectedAdapter());
    EXPECT_EQ(Creator().StopAp(), 0);
    EXPECT_FALSE(Creator().GetManager()->IsStarted());
}

TEST_F(CreatorTest, ReleaseStopsAndForgetsTheManager) {
    AddRalinkAdapter();
    ASSERT_EQ(Creator().Create(3, &events, false), 0);
    ASSERT_EQ(Creator().Start(L"Lumari", L"12345678", 0), 0);

    Creator().Release();

    EXPECT_EQ(Creator().GetManager(), nullptr);
    EXPECT_EQ(Creator().GetMode(), 0);
    EXPECT_EQ(Pc().ralink.OpMode(), 0);
    EXPECT_EQ(Pc().modules.LoadCount(L"RAAPAPI.dll"), 0);
    // A second release has nothing to do.
    Creator().Release();
    EXPECT_EQ(Creator().GetManager(), nullptr);
}

TEST_F(CreatorTest, SwitchingManagersStopsTheRunningOne) {
    Pc().os.SetWindows(plat::SimWindows::Seven);
    AddRalinkAdapter();
    ASSERT_EQ(Creator().Create(3, &events, false), 0);
    ASSERT_EQ(Creator().Start(L"Lumari", L"12345678", 0), 0);

    Creator().Create(1, &events, false);

    EXPECT_EQ(Creator().GetMode(), 1);
    EXPECT_EQ(Pc().ralink.OpMode(), 0);
    EXPECT_EQ(Pc().ralink.VistaProfile(), "");
}

}  // namespace
