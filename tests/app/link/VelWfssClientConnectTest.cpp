// The phone link over real sockets on loopback, with the test phone speaking
// the wire format. The link listens on 127.0.0.1, the address of the
// simulated PC's hotspot adapter, whose neighbour table says which device
// each address belongs to. The authorised phone talks from 127.0.0.2;
// strangers from other addresses of 127.0.0.0/8.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "PhoneClient.h"
#include "VelWfssClientConnect.h"
#include "platform/Platform.h"
#include "platform/sim/SimPc.h"
#include "platform/text/MacText.h"
#include "platform/winapi/DebugOutput.h"

namespace {

constexpr const char* kPhoneIp = "127.0.0.2";
constexpr const char* kPhoneMac = "00-11-22-33-44-55";

constexpr const char* kHotspotIp = "127.0.0.1";

std::uint32_t Ip(const char* text) {
    return inet_addr(text);
}

// A simulated PC whose hotspot adapter carries kHotspotIp.
class HotspotPc {
public:
    HotspotPc() : m_pc(plat::SimPc::Install()) {
        plat::AdapterInfo ap;
        ap.name = "ap0";
        ap.guid.Data1 = 0xAB;
        ap.ipv4.push_back({kHotspotIp, "255.0.0.0"});
        m_ap = m_pc.network.AddAdapter(ap);
        plat::AdapterInfo wan;
        wan.name = "wan0";
        wan.guid.Data1 = 0xCD;
        wan.ipv4.push_back({"10.0.0.5", "255.255.255.0"});
        m_wan = m_pc.network.AddAdapter(wan);
    }
    ~HotspotPc() { plat::Platform::Uninstall(); }

    plat::SimPc& Pc() { return m_pc; }
    // The neighbour table gives `ip` the hardware address `mac` (on the
    // hotspot's adapter unless `ifIndex` says another).
    void Neighbour(const char* ip, const char* mac, plat::DWORD ifIndex = 0) {
        plat::MacAddress bytes{};
        ASSERT_TRUE(plat::MacText::Parse(mac, &bytes));
        m_pc.network.AddNeighbour(
            {ifIndex != 0 ? ifIndex : m_ap, Ip(ip), {bytes.begin(), bytes.end()}});
    }
    void Gone(const char* ip) { m_pc.network.RemoveNeighbour(m_ap, Ip(ip)); }
    plat::DWORD Wan() const { return m_wan; }

private:
    plat::SimPc& m_pc;
    plat::DWORD m_ap = 0;
    plat::DWORD m_wan = 0;
};

// Waits in real time for something the link's thread does, processing the
// queued signals meanwhile.
bool Eventually(const std::function<bool()>& done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr)
            ++n;
        closedir(d);
    }
    return n;
}

struct Received {
    QString command;
    QString data;
    bool operator==(const Received&) const = default;
};

class PhoneLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::DebugOutput::Instance().Clear();
        plat::DebugOutput::Instance().StartCapture();
        m_link = std::make_unique<VelWfssClientConnect>();
        QObject::connect(m_link.get(), &VelWfssClientConnect::OnJsonReceived, &m_receiver,
                         [this](QString cmd, QString data) {
                             m_received.push_back({cmd, data});
                         });
        ASSERT_TRUE(m_link->Listen(Ip(kHotspotIp), 0));
        m_bed.Neighbour(kPhoneIp, kPhoneMac);
        m_link->RegisterIdentity(Ip(kPhoneIp), kPhoneMac);
        m_link->SetAuthorisedId(kPhoneMac);
    }
    void TearDown() override {
        m_link.reset();
        plat::DebugOutput::Instance().StopCapture();
        plat::DebugOutput::Instance().Clear();
    }

    PhoneClient Connect(const char* from) {
        PhoneClient c;
        EXPECT_TRUE(c.Connect(m_link->Port(), from));
        return c;
    }
    // Sends a command and reads its 8-byte answer.
    std::uint32_t Ask(PhoneClient& phone, const std::string& json) {
        std::uint32_t type = 0;
        std::uint32_t status = 0;
        EXPECT_TRUE(phone.Send(PhoneClient::Command(json)));
        EXPECT_TRUE(phone.ReadReply(&type, &status)) << json;
        EXPECT_EQ(type, 32u);
        return status;
    }
    // The commands the window got, after the queued signals are delivered.
    std::vector<Received> Delivered() {
        QCoreApplication::processEvents();
        return m_received;
    }
    bool DebugHas(const std::string& text) { return plat::DebugOutput::Instance().Contains(text); }

    HotspotPc m_bed;
    QObject m_receiver;
    std::vector<Received> m_received;
    std::unique_ptr<VelWfssClientConnect> m_link;
};

}  // namespace

TEST(PhoneLinkListen, APortHeldByAnotherProgramMovesTheLinkUp) {
    // Whoever holds 8089 on the hotspot's address (this test, or another
    // program), the link must go on to a port above it and serve there.
    // The holder must really hold it: a connection of another test to that
    // port may still be closing (which SO_REUSEADDR lets a bind pass), or
    // another test may listen there for a moment (the bind is tried again).
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(VelWfssClientConnect::kPort);
    a.sin_addr.s_addr = Ip(kHotspotIp);
    bool held = false;
    for (int i = 0; i < 500 && !held; ++i) {
        held = bind(holder, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        if (!held)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(held) << "port " << VelWfssClientConnect::kPort << " stayed in use";
    ASSERT_EQ(listen(holder, 1), 0);

    VelWfssClientConnect link;
    ASSERT_TRUE(link.Listen(Ip(kHotspotIp), VelWfssClientConnect::kPort));
    EXPECT_GT(link.Port(), VelWfssClientConnect::kPort);
    EXPECT_LT(link.Port(), VelWfssClientConnect::kPort + 64);
    PhoneClient phone;
    EXPECT_TRUE(phone.Connect(link.Port()));
    EXPECT_FALSE(link.Listen(Ip(kHotspotIp), VelWfssClientConnect::kPort));  // once is enough
    close(holder);
}

TEST(PhoneLinkListen, OnlyTheHotspotAddressIsServedAndOnlyWhileOpen) {
    VelWfssClientConnect link;
    // The wildcard would serve the PC's other networks too.
    EXPECT_FALSE(link.Listen(0, 0));
    ASSERT_TRUE(link.Listen(Ip(kHotspotIp), 0));
    EXPECT_EQ(link.Address(), Ip(kHotspotIp));
    const std::uint16_t port = link.Port();
    PhoneClient phone;
    EXPECT_TRUE(phone.Connect(port, "127.0.0.2", kHotspotIp));
    // Another address of the same PC: nobody listens there.
    PhoneClient elsewhere;
    EXPECT_FALSE(elsewhere.Connect(port, "127.0.0.2", "127.0.0.3"));

    // The hotspot stops: open connections end and new ones are refused.
    link.Close();
    EXPECT_FALSE(link.IsListening());
    EXPECT_EQ(link.Port(), 0);
    EXPECT_TRUE(phone.ClosedByLink());
    EXPECT_FALSE(elsewhere.Connect(port, "127.0.0.2", kHotspotIp));
    // And it starts again.
    ASSERT_TRUE(link.Listen(Ip(kHotspotIp), port));
    EXPECT_TRUE(phone.Connect(link.Port(), "127.0.0.2", kHotspotIp));
    EXPECT_TRUE(Eventually([&] { return link.PeerCount() == 1; }));
}

TEST_F(PhoneLinkTest, HelloIsAnsweredWhenItsCheckMatchesInEitherCase) {
    AppID seen;
    int hellos = 0;
    QObject::connect(
        m_link.get(), &VelWfssClientConnect::OnAppConnect, &m_receiver,
        [&](AppID& id) {
            seen = id;
            ++hellos;
        },
        Qt::DirectConnection);
    for (bool upper : {false, true}) {
        PhoneClient phone = Connect(kPhoneIp);
        ASSERT_TRUE(phone.Send(PhoneClient::Hello(-2, 0x01020304, "Mi 9", "Zentavo 2.1", upper)));
        const auto reply = phone.Read(104);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->substr(0, 8), PhoneClient::Le32(1) + PhoneClient::Le32(0));
        EXPECT_EQ(reply->substr(8), std::string(96, '\0'));
        // The connection stays for commands.
        EXPECT_EQ(Ask(phone, R"({"command":"cancel"})"), 0u);
    }
    EXPECT_TRUE(Eventually([&] { return hellos == 2; }));
    EXPECT_EQ(seen.kind, -2);
    EXPECT_EQ(seen.value, 0x01020304u);
    EXPECT_EQ(seen.text1, QString("Mi 9"));
    EXPECT_EQ(seen.text2, QString("Zentavo 2.1"));
    EXPECT_EQ(seen.ip, QString(kPhoneIp));
    EXPECT_TRUE(DebugHas("[Zentavo] Mobile Connect ip:127.0.0.2"));

    // A wrong check: no answer, the connection closes.
    PhoneClient liar = Connect(kPhoneIp);
    ASSERT_TRUE(liar.Send(
        PhoneClient::Hello(1, 1, "Mi 9", "app", false, PhoneClient::Md5Hex("something else"))));
    EXPECT_TRUE(liar.ClosedByLink());
    PhoneClient empty = Connect(kPhoneIp);
    ASSERT_TRUE(empty.Send(PhoneClient::Hello(1, 1, "", "", false, std::string())));
    EXPECT_TRUE(empty.ClosedByLink());
}

TEST_F(PhoneLinkTest, CommandsAreAnsweredAndPassedOnByTheirRules) {
    PhoneClient phone = Connect(kPhoneIp);
    EXPECT_EQ(Ask(phone, R"({"command":"shutdown","data":"1800"})"), 0u);
    EXPECT_EQ(Ask(phone, R"({"command":"shutdown","data":"0"})"), 0u);
    EXPECT_EQ(Ask(phone, R"({"data":"30"})"), 0xFFFFFFFFu);
    EXPECT_EQ(Ask(phone, R"({"command":"","data":"30"})"), 0xFFFFFFFFu);
    EXPECT_EQ(Ask(phone, R"([1,2])"), 0xFFFFFFFFu);
    EXPECT_EQ(Ask(phone, R"({"command":"shutdown","data":90,"extra":[1]})"), 0u);
    EXPECT_EQ(Ask(phone, R"({"command":"cancel","data":"whatever"})"), 0u);
    EXPECT_EQ(Ask(phone, R"({"command":"未知","data":"é"})"), 0u);
    // Malformed JSON gets no answer and the connection stays: the next
    // answer is that of the next command.
    ASSERT_TRUE(phone.Send(PhoneClient::Command(R"({"command":"shutdown",)")));
    EXPECT_EQ(Ask(phone, R"({"command":"cancel"})"), 0u);
    const std::vector<Received> expected = {
        {"shutdown", "1800"}, {"shutdown", "90"}, {"cancel", "whatever"},
        {"未知", "é"},        {"cancel", ""},
    };
    EXPECT_TRUE(Eventually([&] { return m_received.size() >= expected.size(); }));
    EXPECT_EQ(Delivered(), expected);
    // A type the link does not know ends the phone's connection unanswered.
    EXPECT_FALSE(DebugHas("Unknown message"));
    ASSERT_TRUE(phone.Send(PhoneClient::Le32(7) + PhoneClient::Command(R"({"command":"x"})")));
    EXPECT_TRUE(phone.ClosedByLink());
    EXPECT_TRUE(DebugHas("Unknown message"));
    EXPECT_EQ(Delivered(), expected);
}

TEST_F(PhoneLinkTest, AMessageInPiecesIsReadWholeWhileOtherPhonesAreServed) {
    PhoneClient slow = Connect(kPhoneIp);
    const std::string command = PhoneClient::Command(R"({"command":"shutdown","data":"60"})");
    ASSERT_TRUE(slow.Send(command.substr(0, 15)));
    // Another connection of the phone and a stranger are answered while the
    // first one is part-way through its message.
    PhoneClient other = Connect(kPhoneIp);
    EXPECT_EQ(Ask(other, R"({"command":"cancel"})"), 0u);
    PhoneClient stranger = Connect("127.0.0.9");
    std::uint32_t type = 0;
    std::uint32_t status = 0;
    ASSERT_TRUE(stranger.Send(PhoneClient::Le32(0)));
    ASSERT_TRUE(stranger.ReadReply(&type, &status));
    ASSERT_TRUE(slow.Send(command.substr(15)));
    ASSERT_TRUE(slow.ReadReply(&type, &status));
    EXPECT_EQ(type, 32u);
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(Eventually([&] { return m_received.size() == 2; }));
    EXPECT_EQ(Delivered(), (std::vector<Received>{{"cancel", ""}, {"shutdown", "60"}}));
}

TEST_F(PhoneLinkTest, StrangersAreRefusedAndTheirBodiesNeverReadAsMessages) {
    // An address no client join reported.
    PhoneClient stranger = Connect("127.0.0.3");
    std::uint32_t type = 0;
    std::uint32_t status = 0;
    // A command whose JSON holds what would be a further command, then a
    // hello: each is refused once, as its own type.
    const std::string inner = PhoneClient::Command(R"({"command":"shutdown","data":"5"})");
    ASSERT_TRUE(stranger.Send(PhoneClient::Command(inner)));
    ASSERT_TRUE(stranger.Send(PhoneClient::Hello(1, 1, "a", "b")));
    ASSERT_TRUE(stranger.ReadReply(&type, &status));
    EXPECT_EQ(type, 32u);
    EXPECT_EQ(status, 1u);
    ASSERT_TRUE(stranger.ReadReply(&type, &status));
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(status, 1u);
    EXPECT_TRUE(DebugHas("Unauthorized client: "));
    // Still connected: the next refusal comes too.
    ASSERT_TRUE(stranger.Send(PhoneClient::Command(R"({"command":"cancel"})")));
    ASSERT_TRUE(stranger.ReadReply(&type, &status));
    EXPECT_EQ(status, 1u);
    // An unknown type is refused, and then the connection ends: nothing
    // after it can be framed.
    ASSERT_TRUE(stranger.Send(PhoneClient::Le32(99) + inner));
    ASSERT_TRUE(stranger.ReadReply(&type, &status));
    EXPECT_EQ(type, 99u);
    EXPECT_EQ(status, 1u);
    EXPECT_TRUE(stranger.ClosedByLink());

    // Another client of the hotspot that is not the phone.
    m_link->RegisterIdentity(Ip("127.0.0.4"), "AA-BB-CC-DD-EE-FF");
    PhoneClient laptop = Connect("127.0.0.4");
    ASSERT_TRUE(laptop.Send(PhoneClient::Command(R"({"command":"shutdown","data":"5"})")));
    ASSERT_TRUE(laptop.ReadReply(&type, &status));
    EXPECT_EQ(status, 1u);
    EXPECT_TRUE(DebugHas("Unauthorized client: AA-BB-CC-DD-EE-FF"));
    // The authorised phone's oversized command: closed without an answer.
    PhoneClient phone = Connect(kPhoneIp);
    ASSERT_TRUE(phone.Send(PhoneClient::Le32(32) + PhoneClient::Le32(1u << 30) +
                           PhoneClient::Le32(0) + std::string(100, 'x')));
    EXPECT_TRUE(phone.ClosedByLink());
    EXPECT_TRUE(Delivered().empty());
}

TEST_F(PhoneLinkTest, OnlyTheLatestMarkedPhoneAtItsCurrentAddressIsObeyed) {
    PhoneClient old = Connect(kPhoneIp);
    EXPECT_EQ(Ask(old, R"({"command":"cancel"})"), 0u);

    // A new phone is marked: the old one is refused from its next message.
    m_bed.Neighbour("127.0.0.5", "66-77-88-99-AA-BB");
    m_bed.Neighbour("127.0.0.6", "66-77-88-99-AA-BB");
    m_link->RegisterIdentity(Ip("127.0.0.5"), "66-77-88-99-AA-BB");
    m_link->SetAuthorisedId("66-77-88-99-AA-BB");
    m_link->SetAuthorisedId("");  // an empty identity changes nothing
    EXPECT_EQ(m_link->AuthorisedId(), QByteArray("66-77-88-99-AA-BB"));
    EXPECT_EQ(Ask(old, R"({"command":"cancel"})"), 1u);
    PhoneClient current = Connect("127.0.0.5");
    EXPECT_EQ(Ask(current, R"({"command":"cancel"})"), 0u);

    // The phone moves to another address: the one it left counts no more,
    // even for a device that takes it before its own join is reported.
    m_link->RegisterIdentity(Ip("127.0.0.6"), "66-77-88-99-AA-BB");
    EXPECT_EQ(Ask(current, R"({"command":"cancel"})"), 1u);
    PhoneClient moved = Connect("127.0.0.6");
    EXPECT_EQ(Ask(moved, R"({"command":"cancel"})"), 0u);

    // It leaves the hotspot: its address is nobody's.
    m_link->ForgetIdentity(Ip("127.0.0.6"), "66-77-88-99-AA-BB");
    EXPECT_EQ(Ask(moved, R"({"command":"cancel"})"), 1u);

    // Revoked: nobody is obeyed.
    m_link->RegisterIdentity(Ip("127.0.0.6"), "66-77-88-99-AA-BB");
    EXPECT_EQ(Ask(moved, R"({"command":"cancel"})"), 0u);
    m_link->RevokeAuthorisation();
    EXPECT_EQ(Ask(moved, R"({"command":"cancel"})"), 1u);
    EXPECT_TRUE(Eventually([&] { return m_received.size() == 4; }));
}

TEST_F(PhoneLinkTest, WhoeverTakesThePhonesAddressIsRefusedAtTheLinkLayer) {
    PhoneClient phone = Connect(kPhoneIp);
    EXPECT_EQ(Ask(phone, R"({"command":"cancel"})"), 0u);

    // The phone leaves; a guest takes its address before any leave is
    // reported (a static address, an ARP announcement).
    m_bed.Neighbour(kPhoneIp, "02-00-00-00-00-66");
    PhoneClient intruder = Connect(kPhoneIp);
    EXPECT_EQ(Ask(intruder, R"({"command":"shutdown","data":"1"})"), 1u);
    EXPECT_EQ(Ask(phone, R"({"command":"cancel"})"), 1u);
    EXPECT_TRUE(
        DebugHas("Unauthorized client: 00-11-22-33-44-55 (hardware address 02-00-00-00-00-66)"));
    // No entry for the address, the phone's MAC only on another adapter, or
    // a table that cannot be read: nobody is taken for the phone.
    m_bed.Gone(kPhoneIp);
    EXPECT_EQ(Ask(intruder, R"({"command":"cancel"})"), 1u);
    m_bed.Neighbour(kPhoneIp, kPhoneMac, m_bed.Wan());
    EXPECT_EQ(Ask(intruder, R"({"command":"cancel"})"), 1u);
    m_bed.Neighbour(kPhoneIp, kPhoneMac);
    m_bed.Pc().faults.FailNext("GetIpNetTable", 122);
    EXPECT_EQ(Ask(intruder, R"({"command":"cancel"})"), 1u);
    // The phone itself again.
    EXPECT_EQ(Ask(phone, R"({"command":"shutdown","data":"90"})"), 0u);
    EXPECT_TRUE(Eventually([&] { return m_received.size() == 2; }));
    EXPECT_EQ(Delivered(), (std::vector<Received>{{"cancel", ""}, {"shutdown", "90"}}));

    // A phone MAC kept in lower case is the same phone.
    m_bed.Neighbour("127.0.0.5", "66-77-88-99-AA-BB");
    m_link->RegisterIdentity(Ip("127.0.0.5"), "66-77-88-99-AA-BB");
    m_link->SetAuthorisedId("66-77-88-99-aa-bb");
    PhoneClient lower = Connect("127.0.0.5");
    EXPECT_EQ(Ask(lower, R"({"command":"cancel"})"), 0u);
}

TEST_F(PhoneLinkTest, ADisownedPhoneLosesItsConnectionsAndItsRights) {
    PhoneClient first = Connect(kPhoneIp);
    PhoneClient second = Connect(kPhoneIp);
    EXPECT_EQ(Ask(first, R"({"command":"cancel"})"), 0u);
    EXPECT_EQ(Ask(second, R"({"command":"cancel"})"), 0u);
    m_bed.Neighbour("127.0.0.4", "AA-BB-CC-DD-EE-FF");
    m_link->RegisterIdentity(Ip("127.0.0.4"), "AA-BB-CC-DD-EE-FF");
    PhoneClient laptop = Connect("127.0.0.4");
    EXPECT_EQ(Ask(laptop, R"({"command":"cancel"})"), 1u);

    // Put on the black list (the window passes the MAC in its own case).
    m_link->Disown("00-11-22-33-44-55");
    EXPECT_TRUE(first.ClosedByLink());
    EXPECT_TRUE(second.ClosedByLink());
    EXPECT_EQ(m_link->IdentityCount(), 1u);
    PhoneClient again = Connect(kPhoneIp);
    EXPECT_EQ(Ask(again, R"({"command":"shutdown","data":"60"})"), 1u);
    // Other clients' connections stay.
    EXPECT_EQ(Ask(laptop, R"({"command":"cancel"})"), 1u);
    EXPECT_TRUE(Eventually([&] { return m_link->PeerCount() == 2; }));
}

TEST_F(PhoneLinkTest, AThousandBadConnectionsLeaveThePhoneServedAndNothingBehind) {
    const std::size_t identitiesBefore = m_link->IdentityCount();
    std::mt19937 random(8089);
    auto garbage = [&](std::size_t size) {
        std::string s(size, '\0');
        for (char& c : s)
            c = static_cast<char>(random());
        return s;
    };
    // The phone connects first and stays connected through the flood.
    PhoneClient phone = Connect(kPhoneIp);
    EXPECT_EQ(Ask(phone, R"({"command":"cancel"})"), 0u);
    Delivered();
    // Counted once the link's thread and the event loop have all they use.
    const int descriptorsBefore = OpenDescriptors();

    auto flood = [&] {
        std::vector<PhoneClient> peers;
        const std::uint64_t acceptedBefore = m_link->Accepted();
        std::uint64_t connected = 0;
        for (int i = 0; i < 1000; ++i) {
            // Strangers from many addresses, and some from the phone's own.
            const std::string from = i % 7 == 0 ? kPhoneIp
                                                : "127.0." + std::to_string(1 + i / 200) + "." +
                                                      std::to_string(10 + i % 200);
            // Paced so that the system's queue of connections not yet taken
            // never overflows (an overflow delays a connection by a second).
            if (i % 32 == 0) {
                ASSERT_TRUE(
                    Eventually([&] { return m_link->Accepted() - acceptedBefore >= connected; }));
            }
            PhoneClient c;
            if (!c.Connect(m_link->Port(), from.c_str()))
                continue;
            ++connected;
            switch (i % 5) {
                case 0:
                    break;  // silent
                case 1:
                    c.Send(garbage(1 + random() % 300));
                    break;
                case 2:  // a command that promises more than it sends
                    c.Send(PhoneClient::Le32(32) + PhoneClient::Le32(4000) + PhoneClient::Le32(0) +
                           "{\"command\":");
                    break;
                case 3:  // a hello cut short
                    c.Send(PhoneClient::Hello(1, 1, "x", "y").substr(0, 50));
                    break;
                default:
                    c.Send(PhoneClient::Le32(32) + PhoneClient::Le32(0xFFFFFFF0));
                    break;
            }
            peers.push_back(std::move(c));
            // The test keeps its own descriptors in bounds; the link sees a
            // thousand connections either way.
            if (peers.size() > 400)
                peers.erase(peers.begin());
            if (i % 100 == 99) {
                EXPECT_EQ(Ask(phone, R"({"command":"cancel"})"), 0u) << "after " << i + 1;
            }
            EXPECT_LE(m_link->PeerCount(), VelWfssClientConnect::kMaxPeers);
        }
        // A new connection of the phone gets in however full the link is.
        PhoneClient again = Connect(kPhoneIp);
        EXPECT_EQ(Ask(again, R"({"command":"shutdown","data":"30"})"), 0u);
    };
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    flood();
    // The heap of the second flood ends where the first one's did.
    ASSERT_TRUE(Eventually([&] { return m_link->PeerCount() == 1; }));
    Delivered();
    const std::size_t heapAfterFirst = mallinfo2().uordblks;
    flood();
    ASSERT_TRUE(Eventually([&] { return m_link->PeerCount() == 1; }));
    Delivered();
    EXPECT_LT(mallinfo2().uordblks, heapAfterFirst + 256 * 1024);
#else
    flood();
#endif
    // Every flood connection is gone from the link; the phone's is served.
    EXPECT_TRUE(Eventually([&] { return m_link->PeerCount() == 1; }));
    EXPECT_TRUE(Eventually([&] { return OpenDescriptors() == descriptorsBefore; }))
        << OpenDescriptors() << " open, " << descriptorsBefore << " before";
    EXPECT_EQ(m_link->IdentityCount(), identitiesBefore);
    EXPECT_EQ(Ask(phone, R"({"command":"cancel"})"), 0u);
}
