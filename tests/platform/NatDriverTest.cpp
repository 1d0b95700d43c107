// The NAT driver's device as callers see it on the simulated PC: its control
// codes with their records, what it refuses, and what it keeps across a
// re-share.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/Platform.h"
#include "platform/common/NatDriver.h"
#include "platform/records/NatRecords.h"
#include "platform/sim/SimPc.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace {

using namespace plat;

const char kMac1[] = "02-00-00-00-00-01";
const char kMac2[] = "02-00-00-00-00-02";

MacAddress Mac(const char* text) {
    MacAddress m{};
    MacText::Parse(text, &m);
    return m;
}

class NatDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        Platform::ResetAll();
        m_pc = &SimPc::Install();
        for (const char* name : {"wan0", "br0", "eth1"}) {
            AdapterInfo a;
            a.guid = GuidText::FromName(name);
            a.name = name;
            m_pc->network.AddAdapter(a);
        }
        m_pc->nat.AddDevice("SOLVANEWFP");
        m_device = m_pc->nat.Open(kNatWfpDeviceName);
        ASSERT_NE(m_device, nullptr);
    }
    void TearDown() override {
        m_pc->nat.Close(m_device);
        Platform::Uninstall();
    }
    SimPacketEngine& Engine() { return m_pc->nat.Engine(); }

    // One request; the last error when it fails, 0 when it succeeds.
    DWORD Send(DWORD code, const void* in, DWORD inSize, void* out = nullptr, DWORD outSize = 0,
               DWORD* returned = nullptr) {
        DWORD n = 0;
        SetLastError(0);
        const BOOL ok = m_pc->nat.Control(m_device, code, in, inSize, out, outSize, &n);
        if (returned != nullptr)
            *returned = n;
        if (ok == TRUE_)
            return 0;
        EXPECT_EQ(n, 0u) << "a failed request hands no bytes back";
        return GetLastError();
    }
    DWORD Enable(const char* pub = "wan0", const char* priv = "br0") {
        const auto r = NatRecords::MakeEnable(GuidText::FromName(pub), GuidText::FromName(priv));
        char status[20] = {};
        return Send(kNatIoctlEnableShare, &r, sizeof r, status, sizeof status);
    }
    DWORD Disable() { return Send(kNatIoctlDisableShare, nullptr, 0); }
    DWORD Speed(const char* mac, std::uint8_t allowed, std::uint32_t up, std::uint32_t down) {
        const auto r = NatRecords::MakeSpeed(Mac(mac), allowed, up, down);
        return Send(kNatIoctlSetSpeedLimit, &r, sizeof r);
    }
    DWORD Delete(const char* mac) {
        const auto r = NatRecords::MakeMac(Mac(mac));
        return Send(kNatIoctlDeletePeer, &r, sizeof r);
    }
    DWORD Ports(std::vector<std::uint16_t> ports) {
        const auto list = NatRecords::MakePorts(ports);
        char status[20] = {};
        return Send(kNatIoctlSetAllowPorts, list.data(), static_cast<DWORD>(list.size() * 2),
                    status, sizeof status);
    }
    std::vector<PEER_INFO> Peers(DWORD bufferSize = kNatPeerBufferSize) {
        std::vector<std::uint8_t> buffer(bufferSize);
        DWORD n = 0;
        EXPECT_EQ(Send(kNatIoctlGetPeers, nullptr, 0, buffer.data(), bufferSize, &n), 0u);
        EXPECT_EQ(n % sizeof(PEER_INFO), 0u);
        return NatRecords::ReadPeers(buffer.data(), n);
    }
    const PEER_INFO* Find(const std::vector<PEER_INFO>& peers, const char* mac) {
        const MacAddress m = Mac(mac);
        for (const auto& p : peers)
            if (std::memcmp(p.mac, m.data(), 6) == 0)
                return &p;
        return nullptr;
    }

    SimPc* m_pc = nullptr;
    HANDLE m_device = nullptr;
};

TEST_F(NatDriverTest, RecordsOfTheWrongSizeOrContentAreRefusedAsADriverWould) {
    std::uint8_t bytes[200] = {};
    std::uint8_t out[kNatPeerBufferSize] = {};
    EXPECT_EQ(Send(kNatIoctlEnableShare, bytes, 159), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlEnableShare, bytes, 160), kErrorInvalidParameter);  // no GUID text
    auto enable = NatRecords::MakeEnable(GuidText::FromName("wan0"), GuidText::FromName("br0"));
    for (auto& c : enable.privateGuid)
        c = 'A';  // never NUL-terminated
    EXPECT_EQ(Send(kNatIoctlEnableShare, &enable, sizeof enable), kErrorInvalidParameter);
    EXPECT_EQ(Enable("wan0", "wan0"), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlDisableShare, bytes, 1), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlGetPeers, bytes, 4, out, sizeof out), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlGetPeers, nullptr, 0, out, 33), kErrorInsufficientBuffer);
    EXPECT_EQ(Send(kNatIoctlDeletePeer, bytes, 6), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlDeletePeer, bytes, 8), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlSetSpeedLimit, bytes, 19), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlSetSpeedLimit, bytes, 21), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlSetAllowPorts, bytes, 0), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlSetAllowPorts, bytes, 3), kErrorInvalidParameter);
    EXPECT_EQ(Send(kNatIoctlSetSpeedLimit, nullptr, 20), kErrorInvalidParameter);
    EXPECT_EQ(Send(NatControlCode(26), nullptr, 0), kErrorInvalidFunction);
    EXPECT_FALSE(Engine().Sharing());
}

TEST_F(NatDriverTest, EnableNeedsBothConnectionsAndAnswersItsStatus) {
    EXPECT_EQ(Enable("wan0", "wlan9"), kNatErrorNotFound);
    EXPECT_FALSE(Engine().Sharing());

    const auto r = NatRecords::MakeEnable(GuidText::FromName("wan0"), GuidText::FromName("br0"));
    char status[20];
    std::memset(status, 'x', sizeof status);
    DWORD n = 0;
    ASSERT_EQ(Send(kNatIoctlEnableShare, &r, sizeof r, status, sizeof status, &n), 0u);
    EXPECT_EQ(NatRecords::ReadStatus(status, n), "sharing");
    EXPECT_EQ(n, 8u);
    EXPECT_TRUE(Engine().Sharing());
    EXPECT_EQ(Engine().PublicAdapter(), GuidText::FromName("wan0"));
    EXPECT_EQ(Engine().PrivateAdapter(), GuidText::FromName("br0"));
    EXPECT_EQ(Enable(), 0u);  // the same pair again changes nothing

    // Another upstream: the driver moves the share.
    EXPECT_EQ(Enable("eth1", "br0"), 0u);
    EXPECT_EQ(Engine().PublicAdapter(), GuidText::FromName("eth1"));

    EXPECT_EQ(Disable(), 0u);
    EXPECT_FALSE(Engine().Sharing());
    EXPECT_EQ(Disable(), 0u);  // not sharing: nothing to undo
}

TEST_F(NatDriverTest, PoliciesOutliveTheShareAndForgettingAClientKeepsItsBlock) {
    // Set before sharing (a banned client blocked before it joins).
    ASSERT_EQ(Speed(kMac1, 0, 0, 0), 0u);
    ASSERT_EQ(Speed(kMac2, 1, 100, 1024), 0u);
    ASSERT_EQ(Ports({8089}), 0u);
    EXPECT_FALSE(Engine().HostPorts().restricted);  // nothing applied while not sharing

    ASSERT_EQ(Enable(), 0u);
    EXPECT_FALSE(Engine().Policy(kMac1).allowed);
    EXPECT_EQ(Engine().Policy(kMac2).upKBps, 100u);
    EXPECT_EQ(Engine().Policy(kMac2).downKBps, 1024u);
    EXPECT_TRUE(Engine().HostPorts().restricted);
    EXPECT_EQ(Engine().HostPorts().ports, (std::vector<std::uint16_t>{8089}));

    Engine().AddPeer(kMac1, "192.168.50.2");
    EXPECT_EQ(Engine().Traffic(kMac1, 1000, 1000).up, 0u);
    ASSERT_EQ(Delete(kMac1), 0u);
    ASSERT_EQ(Disable(), 0u);
    ASSERT_EQ(Enable(), 0u);
    EXPECT_FALSE(Engine().Policy(kMac1).allowed);
    EXPECT_FALSE(Engine().CanReach(kMac1));

    // Unblocking with no limits, and an empty port list, open everything again.
    ASSERT_EQ(Speed(kMac1, 1, 0, 0), 0u);
    ASSERT_EQ(Ports({}), 0u);
    Engine().AddPeer(kMac1, "192.168.50.2");
    EXPECT_TRUE(Engine().CanReach(kMac1));
    EXPECT_FALSE(Engine().HostPorts().restricted);

    // A policy the engine refuses is not kept.
    m_pc->faults.FailNext("NatSetPolicy", kErrorNotEnoughMemory);
    EXPECT_EQ(Speed(kMac1, 0, 0, 0), kErrorNotEnoughMemory);
    ASSERT_EQ(Disable(), 0u);
    ASSERT_EQ(Enable(), 0u);
    EXPECT_TRUE(Engine().Policy(kMac1).allowed);
}

TEST_F(NatDriverTest, CountsAreKilobytesThatSurviveAReshareAndRestartWhenTheClientIsDeleted) {
    ASSERT_EQ(Enable(), 0u);
    Engine().AddPeer(kMac1, "192.168.50.2");
    Engine().Traffic(kMac1, 10 * 1024 + 1000, 20 * 1024);
    auto peers = Peers();
    ASSERT_EQ(peers.size(), 1u);
    EXPECT_EQ(peers[0].ip, 0x0232A8C0u);
    EXPECT_EQ(std::uint64_t{peers[0].upKb}, 10u);
    EXPECT_EQ(std::uint64_t{peers[0].downKb}, 20u);

    // The client changes its address and the upstream changes: its counts stay.
    Engine().AddPeer(kMac1, "192.168.50.9");
    ASSERT_EQ(Enable("eth1", "br0"), 0u);
    Engine().Traffic(kMac1, 1024, 1024);
    peers = Peers();
    ASSERT_EQ(peers.size(), 1u);
    EXPECT_EQ(peers[0].ip, 0x0932A8C0u);
    EXPECT_EQ(std::uint64_t{peers[0].upKb}, 11u);
    EXPECT_EQ(std::uint64_t{peers[0].downKb}, 21u);

    ASSERT_EQ(Delete(kMac1), 0u);
    EXPECT_TRUE(Peers().empty());
    Engine().Traffic(kMac1, 2048, 0);
    peers = Peers();
    ASSERT_EQ(peers.size(), 1u);
    EXPECT_EQ(std::uint64_t{peers[0].upKb}, 2u);
    EXPECT_EQ(std::uint64_t{peers[0].downKb}, 0u);

    // Nothing is reported while the PC does not share.
    ASSERT_EQ(Disable(), 0u);
    EXPECT_TRUE(Peers().empty());
}

TEST_F(NatDriverTest, RatesAreBytesPerSecondBetweenTwoReads) {
    ASSERT_EQ(Enable(), 0u);
    Engine().AddPeer(kMac1, "192.168.50.2");
    Peers();
    Engine().Traffic(kMac1, 4000, 10000, 2.0);
    m_pc->clock.Advance(std::chrono::seconds(2));
    const auto peers = Peers();
    ASSERT_EQ(peers.size(), 1u);
    EXPECT_EQ(std::uint32_t{peers[0].upRate}, 2000u);
    EXPECT_EQ(std::uint32_t{peers[0].downRate}, 5000u);
}

TEST_F(NatDriverTest, APeerAnswerHoldsWholeRecordsAndAtMost256) {
    ASSERT_EQ(Enable(), 0u);
    char mac[18];
    for (int i = 0; i < 300; ++i) {
        std::snprintf(mac, sizeof mac, "02-00-00-00-%02X-%02X", i / 256, i % 256);
        Engine().AddPeer(mac);
    }
    EXPECT_EQ(Peers().size(), 256u);
    EXPECT_EQ(Peers(kNatPeerBufferSize * 2).size(), 256u);
    EXPECT_EQ(Peers(34 * 3 + 20).size(), 3u);
}

TEST_F(NatDriverTest, LimitsCapWhatPassesAndTheOtherClientIsUnlimited) {
    ASSERT_EQ(Enable(), 0u);
    Engine().AddPeer(kMac1);
    Engine().AddPeer(kMac2);
    ASSERT_EQ(Speed(kMac1, 1, 0, 1024), 0u);
    const auto limited = Engine().Traffic(kMac1, 5 << 20, 5 << 20, 2.0);
    EXPECT_EQ(limited.down, 2u * 1024 * 1024);
    EXPECT_EQ(limited.up, 5u << 20);
    EXPECT_EQ(Engine().Traffic(kMac2, 0, 5 << 20, 2.0).down, 5u << 20);
}

TEST_F(NatDriverTest, EngineFailuresReachTheCaller) {
    m_pc->faults.FailNext("NatShare", kErrorAccessDenied);
    EXPECT_EQ(Enable(), kErrorAccessDenied);
    ASSERT_EQ(Enable(), 0u);
    m_pc->faults.FailNext("NatUnshare", kErrorBusy);
    EXPECT_EQ(Disable(), kErrorBusy);
    EXPECT_TRUE(Engine().Sharing());
    std::uint8_t out[64];
    m_pc->faults.FailNext("NatPeers", kErrorNotEnoughMemory);
    EXPECT_EQ(Send(kNatIoctlGetPeers, nullptr, 0, out, sizeof out), kErrorNotEnoughMemory);
}

TEST(NatDriverLifetime, ADriverThatGoesAwayStopsSharing) {
    SimPc pc;
    AdapterInfo a;
    a.guid = GuidText::FromName("wan0");
    pc.network.AddAdapter(a);
    a.guid = GuidText::FromName("br0");
    pc.network.AddAdapter(a);
    SimPacketEngine engine(pc.faults, pc.network);
    {
        NatDriver driver(engine, pc.clock);
        ASSERT_EQ(driver.Start(), 0u);
        const auto r =
            NatRecords::MakeEnable(GuidText::FromName("wan0"), GuidText::FromName("br0"));
        DWORD n = 0;
        ASSERT_EQ(driver.Control(kNatIoctlEnableShare, &r, sizeof r, nullptr, 0, &n), TRUE_);
        EXPECT_TRUE(engine.Sharing());
    }
    EXPECT_FALSE(engine.Sharing());
}

TEST(NatDriverLifetime, ADriverThatCannotStartCannotBeOpened) {
    Platform::ResetAll();
    SimPc& pc = SimPc::Install();
    pc.nat.AddDevice("SOLVANE");
    pc.faults.FailNext("NatStart", kErrorAccessDenied);
    EXPECT_EQ(pc.nat.Open(kNatNdisDeviceName), nullptr);
    EXPECT_EQ(GetLastError(), kErrorAccessDenied);
    HANDLE h = pc.nat.Open(kNatNdisDeviceName);
    EXPECT_NE(h, nullptr);
    pc.nat.Close(h);
    Platform::Uninstall();
}

}  // namespace
