#include "Share/IcsShareManager.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "../Connection/ConnectionTestSupport.h"
#include "support/SimTest.h"

namespace {

using conntest::Adapter;
using conntest::GuidOf;

std::string Guid(const std::string& name) {
    return plat::GuidText::ToString(GuidOf(name));
}

class IcsShareManagerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        for (const char* name : {"WAN", "AP", "LAN"})
            Pc().network.AddAdapter(Adapter(name));
    }
    void TearDown() override {
        // Enumerators and configurations never outlive a call; only the
        // sharing manager is kept.
        EXPECT_EQ(Pc().com.LiveObjects(), ics.HasSharingManager() ? 1 : 0);
        ics.ReleaseSharingManager();
        SimTest::TearDown();
    }
    bool Public(const std::string& name) { return Pc().ics.IsPublic(GuidOf(name)); }
    bool Private(const std::string& name) { return Pc().ics.IsPrivate(GuidOf(name)); }

    CIcsShareManager ics;
};

TEST_F(IcsShareManagerTest, SupportNeedsTheManagerAndInstalledSharing) {
    EXPECT_FALSE(ics.IsSupport());
    EXPECT_TRUE(Log().Has("E CIcsShareManager::IsSupport: ics not init"));

    ASSERT_TRUE(ics.Init());
    EXPECT_TRUE(ics.IsSupport());
    Pc().ics.SetInstalled(false);
    EXPECT_FALSE(ics.IsSupport());
    Pc().faults.FailNext("get_SharingInstalled", static_cast<std::int32_t>(0x80004005u));
    Pc().ics.SetInstalled(true);
    EXPECT_FALSE(ics.IsSupport());

    // A second Init replaces the manager; the process security is fixed by then.
    ASSERT_TRUE(ics.Init());
    EXPECT_EQ(Pc().ics.LiveManagers(), 1);
}

TEST_F(IcsShareManagerTest, EachFailedStepOfCreatingTheManagerNamesItsCode) {
    const std::pair<const char*, std::uint32_t> steps[] = {
        {"CoInitializeEx", 0x80004005u},
        {"CoInitializeSecurity", 0x80070005u},
        {"CLSIDFromProgID", 0x800401F3u},
        {"CoCreateInstance(HNetShare)", 0x80040154u},
    };
    for (const auto& [hook, hr] : steps) {
        SCOPED_TRACE(hook);
        Log().Clear();
        Pc().faults.FailNext(hook, static_cast<std::int32_t>(hr));
        EXPECT_FALSE(ics.Init());
        char code[16];
        std::snprintf(code, sizeof code, "%x", hr);
        EXPECT_TRUE(Log().Has(std::string("I _GetINetSharingManager failed return ") + code));
        EXPECT_TRUE(Log().Has("E ICS Share init failed."));
        EXPECT_FALSE(ics.IsInitialized());
    }
    // A thread in the multithreaded apartment keeps it.
    std::thread worker([&] {
        ASSERT_EQ(Pc().com.CoInitializeEx(plat::kCoinitMultithreaded), plat::kSOk);
        EXPECT_TRUE(ics.Init());
        ics.ReleaseSharingManager();
    });
    worker.join();
}

TEST_F(IcsShareManagerTest, EnableMarksThePublicAndThePrivateConnection) {
    ASSERT_TRUE(ics.Init());

    ASSERT_TRUE(ics.Enable(GuidOf("WAN"), GuidOf("AP")));

    EXPECT_TRUE(Public("WAN"));
    EXPECT_TRUE(Private("AP"));
    EXPECT_FALSE(Public("LAN") || Private("LAN"));
    EXPECT_TRUE(Pc().wmi.Written().empty());  // no WMI fallback

    ASSERT_TRUE(ics.Disable());
    EXPECT_FALSE(Public("WAN") || Private("AP"));
}

TEST_F(IcsShareManagerTest, APublicConnectionIcsRefusesWithAnAcceptedPrivateOneIsSuccess) {
    ASSERT_TRUE(ics.Init());
    Pc().ics.Refuse(GuidOf("WAN"), static_cast<plat::HRESULT>(0x80040201u));

    EXPECT_TRUE(ics.Enable(GuidOf("WAN"), GuidOf("AP")));

    EXPECT_TRUE(Log().Has("I EnableShare public failed 0x80040201"));
    EXPECT_FALSE(Public("WAN"));
    EXPECT_TRUE(Private("AP"));
}

TEST_F(IcsShareManagerTest, AnUnknownPrivateConnectionFallsBackToWmiMarkingOnlyThePublicOne) {
    ASSERT_TRUE(ics.Init());
    Pc().ics.SetFlags(GuidOf("LAN"), false, true);  // shared before by someone else

    EXPECT_TRUE(ics.Enable(GuidOf("WAN"), GuidOf("Ghost")));

    EXPECT_TRUE(Log().Has("I _GetINetSharingCfg failed guid:" + Guid("Ghost")));
    EXPECT_TRUE(Log().Has("I EnableShare failed, private null pointer."));
    EXPECT_TRUE(Public("WAN"));
    EXPECT_FALSE(Private("WAN") || Private("AP") || Private("LAN"));
    EXPECT_EQ(Pc().wmi.Written().size(), 3u);
    EXPECT_TRUE(DebugHas("Get Connection HNet_Connection.Guid=\"" + Guid("WAN") + "\" ret:0x0"));
    // The last put's result is the answer: a failed put is the failure.
    Pc().faults.FailNext("PutInstance", static_cast<std::int32_t>(0x80041003u));
    EXPECT_FALSE(ics.Enable(GuidOf("WAN"), GuidOf("Ghost")));
    EXPECT_TRUE(Log().Has("I PutInstancessss error ret: 0x80041003"));
    EXPECT_TRUE(Log().Has("I EnableIcsUsingWMI failed return 0x80041003"));
}

TEST_F(IcsShareManagerTest, WithoutInitBothConfigurationPathsRefuseAndWmiDoesTheWork) {
    EXPECT_TRUE(ics.Enable(GuidOf("WAN"), GuidOf("AP")));
    EXPECT_TRUE(Log().Has("E CIcsShareManager::_Enable: ics not init"));
    EXPECT_TRUE(Public("WAN"));
    EXPECT_TRUE(Private("AP"));

    EXPECT_TRUE(ics.Disable());
    EXPECT_TRUE(Log().Has("E CIcsShareManager::_Disable: ics not init"));
    EXPECT_FALSE(Public("WAN") || Private("AP"));
}

TEST_F(IcsShareManagerTest, DisableReportsEachRefusedConnectionAndTheLastCallDecides) {
    ASSERT_TRUE(ics.Init());
    ASSERT_TRUE(ics.Enable(GuidOf("WAN"), GuidOf("AP")));
    Pc().faults.FailNext("DisableSharing", static_cast<std::int32_t>(0x80004005u));

    // The private call failed, the public one (the last) worked.
    EXPECT_TRUE(ics.Disable());
    EXPECT_TRUE(Log().Has("I DisableShare private failed 0x80004005"));
    EXPECT_TRUE(Pc().wmi.Written().empty());

    ASSERT_TRUE(ics.Enable(GuidOf("WAN"), GuidOf("AP")));
    Pc().faults.FailNext("DisableSharing", 0);
    Pc().faults.FailNext("DisableSharing", static_cast<std::int32_t>(0x80004005u));
    // The public call (the last) failed: WMI clears the flags instead.
    EXPECT_TRUE(ics.Disable());
    EXPECT_TRUE(Log().Has("I DisableShare public failed 0x80004005"));
    EXPECT_EQ(Pc().wmi.Written().size(), 3u);
    EXPECT_FALSE(Public("WAN") || Private("AP"));
}

TEST_F(IcsShareManagerTest, EnumerationFailuresLeaveNoConfiguration) {
    ASSERT_TRUE(ics.Init());
    Pc().faults.FailNext("get__NewEnum", static_cast<std::int32_t>(0x80004005u));
    EXPECT_FALSE(ics._GetINetSharingCfg(GuidOf("WAN")));
    EXPECT_TRUE(Log().Has("I Enumeration interface get__NewEnum failed 0x80004005"));

    Pc().faults.FailNext("QueryInterface(IEnumVARIANT)", static_cast<std::int32_t>(0x80004002u));
    EXPECT_FALSE(ics._GetINetSharingCfg(GuidOf("WAN")));
    EXPECT_TRUE(Log().Has("I Enumeration interface failed 0x80004002"));
    EXPECT_TRUE(Log().Has("I _GetINetSharingCfg failed guid:" + Guid("WAN")));

    // The first connection's properties come back empty: it is skipped, the
    // others are still found.
    Pc().faults.FailNext("get_NetConnectionProps", 0);
    EXPECT_FALSE(ics._GetINetSharingCfg(GuidOf("WAN")));
    EXPECT_TRUE(Log().Has("I ICS: get_NetConnectionProps failed 0x0"));
    Pc().faults.FailNext("get_NetConnectionProps", 0);
    EXPECT_TRUE(ics._GetINetSharingCfg(GuidOf("AP")));
}

TEST_F(IcsShareManagerTest, DisableUsingWmiClearsEveryConnectionIncludingOthersSharing) {
    Pc().ics.SetFlags(GuidOf("LAN"), true, false);
    Pc().ics.SetFlags(GuidOf("AP"), false, true);

    EXPECT_EQ(ics.DisableIcsUsingWMI(), plat::kSOk);

    for (const char* name : {"WAN", "AP", "LAN"})
        EXPECT_FALSE(Public(name) || Private(name)) << name;
    EXPECT_EQ(Pc().wmi.Written().size(), 3u);
}

TEST_F(IcsShareManagerTest, EachFailedWmiStepIsReportedWithItsCode) {
    struct Step {
        const char* hook;
        std::uint32_t hr;
        std::string debug;
        std::string log;
    };
    const Step steps[] = {
        {"CoInitializeEx", 0x80004005u, "Failed to initialize COM library. Code: 0x80004005", ""},
        {"CoInitializeSecurity", 0x80070005u, "Failed to initialize security. Code: 0x80070005",
         ""},
        {"CoCreateInstance(WbemLocator)", 0x80040154u, "",
         "I Failed to create IWbemLocator object. Code: 0x80040154"},
        {"ConnectServer", 0x8004100Eu, "", "I Failed to connect to server. Code: 0x8004100e"},
        {"CoSetProxyBlanket", 0x80070005u, "", "I Failed to set proxy blanket. Code: 0x80070005"},
        {"ExecQuery", 0x80041017u, "", "I Failed to exec query. Code: 0x80041017"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.hook);
        Log().Clear();
        Pc().faults.FailNext(s.hook, static_cast<std::int32_t>(s.hr));
        EXPECT_EQ(static_cast<std::uint32_t>(ics.DisableIcsUsingWMI()), s.hr);
        if (!s.debug.empty()) {
            EXPECT_TRUE(DebugHas(s.debug));
        }
        if (!s.log.empty()) {
            EXPECT_TRUE(Log().Has(s.log));
        }
        char code[16];
        std::snprintf(code, sizeof code, "%x", s.hr);
        EXPECT_TRUE(Log().Has(std::string("I Init WMI failed 0x") + code));
    }
    EXPECT_TRUE(Pc().wmi.Written().empty());
}

TEST_F(IcsShareManagerTest, AFailedPutEndsTheWalk) {
    Pc().faults.FailNext("IWbemClassObject::Put", static_cast<std::int32_t>(0x80041005u));
    EXPECT_EQ(static_cast<std::uint32_t>(ics.EnableIcsUsingWMI(GuidOf("WAN"), GuidOf("AP"))),
              0x80041005u);
    EXPECT_TRUE(Log().Has("I put IsIcsPublic error ret: 0x80041005"));
    EXPECT_TRUE(Pc().wmi.Written().empty());

    Pc().faults.FailNext("IWbemClassObject::Put", 0);
    Pc().faults.FailNext("IWbemClassObject::Put", static_cast<std::int32_t>(0x80041005u));
    EXPECT_EQ(static_cast<std::uint32_t>(ics.DisableIcsUsingWMI()), 0x80041005u);
    EXPECT_TRUE(Log().Has("I put IsIcsPrivate error ret: 0x80041005"));
    EXPECT_TRUE(Pc().wmi.Written().empty());
}

TEST_F(IcsShareManagerTest, AnInstanceWithAMissingOrMistypedConnectionIsSkippedWithItsLine) {
    Pc().network.AddAdapter(Adapter("Other"));
    Pc().ics.SetFlags(GuidOf("LAN"), true, false);
    Pc().ics.SetFlags(GuidOf("Other"), false, true);
    Pc().wmi.SetInstanceProperty(GuidOf("LAN"), L"Connection", plat::Variant{});
    plat::Variant number;
    number.vt = plat::kVtI4;
    number.lVal = 7;
    Pc().wmi.SetInstanceProperty(GuidOf("Other"), L"Connection", number);

    EXPECT_EQ(ics.EnableIcsUsingWMI(GuidOf("WAN"), GuidOf("AP")), plat::kSOk);

    EXPECT_TRUE(DebugHas("Get Connection  ret:0x80041002"));
    EXPECT_TRUE(DebugHas("Get Connection  ret:0x0"));
    EXPECT_TRUE(Public("WAN"));
    EXPECT_TRUE(Private("AP"));
    EXPECT_EQ(Pc().wmi.Written(), (std::vector<plat::GUID>{GuidOf("WAN"), GuidOf("AP")}));

    // Clearing skips them too and still clears every other connection.
    EXPECT_EQ(ics.DisableIcsUsingWMI(), plat::kSOk);
    EXPECT_FALSE(Public("WAN") || Private("AP"));
    EXPECT_TRUE(Public("LAN"));
}

TEST_F(IcsShareManagerTest, AConnectionReferenceOfAnyLengthIsReadWhole) {
    // A reference far longer than any fixed buffer, the GUID at its end; and
    // one whose braces hold no GUID, skipped like a missing one.
    const std::wstring reference =
        std::wstring(4000, L'x') + L"\u4E2D" + plat::GuidText::ToWString(GuidOf("WAN"));
    Pc().wmi.SetInstanceProperty(GuidOf("WAN"), L"Connection", plat::Variant::Text(reference));
    Pc().wmi.SetInstanceProperty(GuidOf("AP"), L"Connection",
                                 plat::Variant::Text(L"HNet_Connection.Guid=\"{not-a-guid}\""));

    EXPECT_EQ(ics.EnableIcsUsingWMI(GuidOf("WAN"), GuidOf("AP")), plat::kSOk);

    EXPECT_TRUE(Public("WAN"));
    EXPECT_EQ(Pc().wmi.Written(), (std::vector<plat::GUID>{GuidOf("WAN"), GuidOf("LAN")}));
}

}  // namespace
