// The client manager on the simulated PC: joins and leaves with the clock,
// the driver told about bans and limits, the table kept in the client database
// across runs, makers from the manufacturer table, and a database that fails.
#include "Client/ClientManager.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "Client/ClientDb.h"
#include "Common/LumariConfig.h"
#include "Share/ShareManager.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/TextCodec.h"
#include "support/SimTest.h"

namespace {

using namespace std::chrono_literals;

constexpr plat::DWORD kSetSpeedLimit = 0x170060;

std::uint32_t Ip(const char* text) {
    std::uint32_t ip = 0;
    plat::Ipv4Text::Parse(text, &ip);
    return ip;
}

ClientReport Report(const std::wstring& mac, const char* ip) {
    ClientReport r;
    r.mac = mac;
    r.ip = Ip(ip);
    return r;
}

// A speed record as the driver received it.
struct SpeedRecord {
    std::string mac;
    int up = 0;
    int down = 0;
    int allowed = 0;
};

std::string TableFile(const std::string& body, std::size_t entries) {
    char sum[17];
    std::snprintf(
        sum, sizeof sum, "%016llx",
        static_cast<unsigned long long>(CManufactoryTable::Checksum(body.data(), body.size())));
    std::string text = std::string(CManufactoryTable::kMagic) + "|" + std::to_string(entries) +
                       "|" + sum + "|1\r" + body;
    CManufactoryTable::Scramble(&text);
    return text;
}

class ClientManagerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Dir().Write("mac.dat", TableFile("A44519|Xiaomi|Xiaomi Communications Co Ltd|phone\r", 1));
    }
    // The share manager in driver mode over a device that accepts everything.
    void DriverMode() {
        plat::SimService stopped;
        stopped.state = 1;
        Pc().services.Set("solvanewfp", stopped);
        Pc().nat.AddDevice("SOLVANEWFP");
        ASSERT_TRUE(CShareManager::GetInstance()->InitShare(CShareManager::kModeDriverOnly));
    }
    std::vector<SpeedRecord> SpeedRecords() {
        std::vector<SpeedRecord> out;
        for (const auto& r : Pc().nat.Requests()) {
            if (r.code != kSetSpeedLimit || r.input.size() != 20)
                continue;
            SpeedRecord s;
            char mac[18];
            std::snprintf(mac, sizeof mac, "%02X-%02X-%02X-%02X-%02X-%02X", r.input[0], r.input[1],
                          r.input[2], r.input[3], r.input[4], r.input[5]);
            s.mac = mac;
            std::memcpy(&s.up, &r.input[8], 4);
            std::memcpy(&s.down, &r.input[12], 4);
            s.allowed = r.input[16];
            out.push_back(s);
        }
        return out;
    }
    std::int64_t Now() { return Pc().clock.UnixSeconds(); }
};

TEST_F(ClientManagerTest, ClientThatLeavesAndRejoinsCountsBothPeriods) {
    CClientManager clients;
    ASSERT_TRUE(clients.Init());
    ClientInfo info;
    const std::int64_t t0 = Now();
    ASSERT_TRUE(clients.Add(Report(L"a4-45-19-00-00-01", "192.168.23.2"), &info));
    EXPECT_EQ(info.mac, L"A4-45-19-00-00-01") << "kept in upper case";
    EXPECT_EQ(info.ip, L"192.168.23.2");
    EXPECT_EQ(info.addressState, 2);
    EXPECT_EQ(info.manufactory, L"Xiaomi");
    EXPECT_EQ(info.type, L"phone");
    EXPECT_GT(info.uid, 0) << "inserted into the database at its first join";
    EXPECT_TRUE(
        DebugHas("[Lumari] mac:A4-45-19-00-00-01 ip:192.168.23.2 hostname: "
                 "manufactory:Xiaomi compnay:Xiaomi Communications Co Ltd type:phone"));
    EXPECT_FALSE(clients.Add(Report(L"A4-45-19-00-00-01", "192.168.23.2"), &info))
        << "already online: no second join";

    ClientReport counts = Report(L"A4-45-19-00-00-01", "192.168.23.2");
    counts.periodUp = 100;
    counts.periodDown = 900;
    Pc().clock.Advance(30s);
    bool changed = false;
    ASSERT_TRUE(clients.Update(counts, &info, &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(info.lastSeen, Now());
    ASSERT_TRUE(clients.Update(counts, &info, &changed));
    EXPECT_FALSE(changed) << "nothing new";
    std::uint64_t down = 0, up = 0;
    clients.GetTotalFlow(&down, &up);
    EXPECT_EQ(down, 900u);
    EXPECT_EQ(up, 100u);

    ASSERT_TRUE(clients.Remove(L"a4-45-19-00-00-01", &info));
    EXPECT_TRUE(Log().Has("I unlogin client:A4-45-19-00-00-01"));
    EXPECT_EQ(info.online, 0);
    EXPECT_EQ(info.totalOnlineTime, 30);
    EXPECT_EQ(info.lastJoinTime, t0);
    EXPECT_EQ(info.downCount, 900);
    EXPECT_FALSE(clients.Remove(L"A4-45-19-00-00-01", &info)) << "not online any more";

    Pc().clock.Advance(10s);
    ASSERT_TRUE(clients.Add(Report(L"A4-45-19-00-00-01", "192.168.23.9"), &info));
    EXPECT_EQ(info.joinCount, 2);
    EXPECT_EQ(info.online, 1);
    EXPECT_EQ(info.totalOnlineTime, 30);
    EXPECT_EQ(info.ip, L"192.168.23.9");
    // This period got no report of its own: its end adds nothing twice.
    Pc().clock.Advance(5s);
    ASSERT_TRUE(clients.Remove(L"A4-45-19-00-00-01", &info));
    EXPECT_EQ(info.totalOnlineTime, 35);
    EXPECT_EQ(info.downCount, 900);
    EXPECT_EQ(info.upCount, 100);

    EXPECT_FALSE(clients.SetSpeedLimit(L"00-00-00-00-00-09", 1, 1)) << "unknown MAC";
    EXPECT_FALSE(clients.Update(Report(L"00-00-00-00-00-09", "192.168.23.3"), &info, &changed));
}

// The run's flow and each client's totals count every kilobyte once: across
// a leave and a return (the driver forgets a leaving client and counts it
// from zero), a driver that starts counting again within a period, and a new
// run, whose flow starts from zero without the last run's counts.
TEST_F(ClientManagerTest, FlowCountsEachKilobyteOnceAcrossLeavesRejoinsAndRuns) {
    CClientManager clients;
    ASSERT_TRUE(clients.Init());
    const std::wstring mac = L"A4-45-19-00-00-01";
    const std::wstring other = L"A4-45-19-00-00-02";
    auto report = [&](const std::wstring& who, std::uint64_t up, std::uint64_t down) {
        ClientReport r = Report(who, "192.168.23.2");
        r.periodUp = up;
        r.periodDown = down;
        ClientInfo info;
        bool changed = false;
        clients.Update(r, &info, &changed);
    };
    auto flow = [&] {
        std::uint64_t down = 0, up = 0;
        clients.GetTotalFlow(&down, &up);
        return std::pair{down, up};
    };
    ClientInfo info;
    ASSERT_TRUE(clients.Add(Report(mac, "192.168.23.2"), &info));
    ASSERT_TRUE(clients.Add(Report(other, "192.168.23.3"), &info));
    report(mac, 10, 100);
    report(other, 20, 200);
    report(mac, 10, 100);  // the same reading again adds nothing
    EXPECT_EQ(flow(), std::pair(std::uint64_t{300}, std::uint64_t{30}));
    report(other, 2, 20);  // the driver started again: all of it is new
    EXPECT_EQ(flow(), std::pair(std::uint64_t{320}, std::uint64_t{32}));

    ASSERT_TRUE(clients.Remove(mac, &info));
    EXPECT_EQ(info.downCount, 100);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{320}, std::uint64_t{32})) << "a leave keeps the flow";
    ASSERT_TRUE(clients.Add(Report(mac, "192.168.23.2"), &info));
    report(mac, 15, 150);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{470}, std::uint64_t{47}));
    ASSERT_TRUE(clients.Remove(mac, &info));
    EXPECT_EQ(info.downCount, 250);
    EXPECT_EQ(info.upCount, 25);
    // The next run: its flow starts from zero. The driver kept its counts
    // across the stop: a client online at the stop adds only what it moves
    // after it, one that left counts from zero.
    clients.UnInit();
    ASSERT_TRUE(clients.GetClient(other, info));
    EXPECT_EQ(info.downCount, 220) << "200, then 20 after the driver started again";
    ASSERT_TRUE(clients.Init());
    EXPECT_EQ(flow(), std::pair(std::uint64_t{0}, std::uint64_t{0}));
    ASSERT_TRUE(clients.Add(Report(mac, "192.168.23.2"), &info));
    ASSERT_TRUE(clients.Add(Report(other, "192.168.23.3"), &info));
    report(other, 2, 20);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{0}, std::uint64_t{0})) << "the last run's counts";
    report(other, 3, 25);
    report(mac, 1, 7);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{12}, std::uint64_t{2}));
    clients.UnInit();
    ASSERT_TRUE(clients.GetClient(mac, info));
    EXPECT_EQ(info.downCount, 257);
}

// A reverse lookup that hangs holds up neither the window's readings nor its
// changes; the name lands when the lookup answers, and the client still has
// one row.
TEST_F(ClientManagerTest, SlowNameLookupHoldsUpNoReaderOfTheTable) {
    CClientManager clients;
    ASSERT_TRUE(clients.Init());
    const std::uint32_t ip = Ip("192.168.23.2");
    Pc().network.SetReverseName(ip, "kitchen-tablet");
    Pc().network.HoldReverse(ip);
    ClientInfo joined;
    std::thread monitor(
        [&] { EXPECT_TRUE(clients.Add(Report(L"A4-45-19-00-00-01", "192.168.23.2"), &joined)); });
    while (Pc().network.ReverseLookupsWaiting() == 0)
        std::this_thread::yield();

    // Should a reader be stuck behind the lookup, a watchdog frees it so that
    // the test fails instead of hanging.
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    bool stuck = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> l(m);
        if (!cv.wait_for(l, 20s, [&] { return done; })) {
            stuck = true;
            Pc().network.ReleaseReverse(ip);
        }
    });
    std::uint64_t down = 1, up = 1;
    clients.GetTotalFlow(&down, &up);
    std::vector<ClientInfo> all;
    clients.GetClients(all);
    const bool renamed = clients.SetClientNickName(L"A4-45-19-00-00-01", L"tablet");
    {
        std::lock_guard<std::mutex> l(m);
        done = true;
    }
    cv.notify_all();
    watchdog.join();
    EXPECT_FALSE(stuck) << "a reader waited for the resolver";
    EXPECT_TRUE(renamed);
    EXPECT_EQ(down, 0u);
    ASSERT_EQ(all.size(), 1u);

    Pc().network.ReleaseReverse(ip);
    monitor.join();
    EXPECT_EQ(joined.name, L"kitchen-tablet");
    EXPECT_EQ(joined.nickName, L"tablet");
    EXPECT_GT(joined.uid, 0);
    CClientDb db;
    std::vector<ClientInfo> rows;
    std::wstring error;
    ASSERT_TRUE(db.Open(CLumariConfig::GetInstance()->GetDbPath(), &error));
    ASSERT_TRUE(db.LoadAll(&rows, &error));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].nickName, L"tablet");
}

TEST_F(ClientManagerTest, BansLimitsNamesAndCountersSurviveARestartAndReachTheDriver) {
    DriverMode();
    {
        CClientManager clients;
        ASSERT_TRUE(clients.Init());
        ClientInfo info;
        clients.Add(Report(L"A4-45-19-00-00-01", "192.168.23.2"), &info);
        clients.Add(Report(L"A4-45-19-00-00-02", "192.168.23.3"), &info);
        clients.Add(Report(L"A4-45-19-00-00-03", "192.168.23.4"), &info);
        ASSERT_TRUE(clients.BanClient(L"a4-45-19-00-00-01"));
        ASSERT_TRUE(clients.SetSpeedLimit(L"A4-45-19-00-00-02", 512, 128));
        ASSERT_TRUE(clients.SetClientNickName(L"A4-45-19-00-00-02", L"Bob's \"tablet\" 🚀"));
        ASSERT_TRUE(clients.BlockClient(L"A4-45-19-00-00-03"));
        ClientReport counts = Report(L"A4-45-19-00-00-02", "192.168.23.3");
        counts.periodDown = 4000;
        bool changed;
        clients.Update(counts, &info, &changed);
        Pc().clock.Advance(60s);

        const auto sent = SpeedRecords();
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[0].mac, "A4-45-19-00-00-01");
        EXPECT_EQ(sent[0].allowed, 0);
        EXPECT_EQ(sent[1].down, 512);
        EXPECT_EQ(sent[1].up, 128);
        EXPECT_EQ(sent[1].allowed, 1);
        EXPECT_EQ(sent[2].allowed, 0) << "blocked";
        clients.UnInit();
    }
    const std::size_t before = SpeedRecords().size();

    // The next run: before anybody joins, the ban and the limits are applied
    // again; the block was for the last run only.
    CClientManager clients;
    ASSERT_TRUE(clients.Init());
    const auto all = SpeedRecords();
    const std::vector<SpeedRecord> sent(all.begin() + static_cast<long>(before), all.end());
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].allowed, 0);
    EXPECT_EQ(sent[1].allowed, 1);
    EXPECT_EQ(sent[1].down, 512);
    EXPECT_EQ(sent[2].allowed, 1);
    EXPECT_EQ(sent[2].down, 0);

    std::vector<ClientInfo> banned;
    clients.GetBannedClients(banned);
    ASSERT_EQ(banned.size(), 1u);
    EXPECT_EQ(banned[0].mac, L"A4-45-19-00-00-01");
    ClientInfo bob;
    ASSERT_TRUE(clients.FindClient(L"a4-45-19-00-00-02", bob));
    EXPECT_EQ(bob.nickName, L"Bob's \"tablet\" 🚀");
    EXPECT_EQ(bob.speedLimitedDown, 512);
    EXPECT_EQ(bob.totalOnlineTime, 60);
    EXPECT_EQ(bob.downCount, 4000);
    EXPECT_EQ(bob.joinCount, 1);
    EXPECT_EQ(bob.online, 0);
    ClientInfo blocked;
    ASSERT_TRUE(clients.GetClient(L"A4-45-19-00-00-03", blocked));
    EXPECT_EQ(blocked.blocked, 0);

    ASSERT_TRUE(clients.UnbanClient(L"A4-45-19-00-00-01"));
    EXPECT_EQ(SpeedRecords().back().allowed, 1);
    clients.GetBannedClients(banned);
    EXPECT_TRUE(banned.empty());
}

// The deny list takes a MAC never seen; the allow list, once it holds a
// device, cuts every other one in the driver (a newcomer at its first report)
// and holds in the next run; emptied, it keeps nobody out. Joins of devices the
// database did not know are marked new.
TEST_F(ClientManagerTest, DenyAndAllowListsReachTheDriverAndSurviveARestart) {
    DriverMode();
    const auto last = [&](const std::string& mac) {
        int allowed = -1;
        for (const SpeedRecord& r : SpeedRecords())
            if (r.mac == mac)
                allowed = r.allowed;
        return allowed;
    };
    {
        CClientManager clients;
        ASSERT_TRUE(clients.Init());
        ClientInfo info;
        ASSERT_TRUE(clients.Add(Report(L"A4-45-19-00-00-01", "192.168.23.2"), &info));
        EXPECT_EQ(info.isNew, 1);
        clients.Add(Report(L"A4-45-19-00-00-02", "192.168.23.3"), &info);
        EXPECT_FALSE(clients.DenyClient(L"A4-45-19-00-00"));
        ASSERT_TRUE(clients.DenyClient(L"a4-45-19-00-00-09"));
        EXPECT_EQ(last("A4-45-19-00-00-09"), 0);
        std::vector<ClientInfo> banned;
        clients.GetBannedClients(banned);
        ASSERT_EQ(banned.size(), 1u);
        EXPECT_EQ(banned[0].mac, L"A4-45-19-00-00-09");

        ASSERT_TRUE(clients.AllowClient(L"A4-45-19-00-00-01"));
        EXPECT_EQ(last("A4-45-19-00-00-01"), 1);
        EXPECT_EQ(last("A4-45-19-00-00-02"), 0) << "not on the list";
        ASSERT_TRUE(clients.Add(Report(L"A4-45-19-00-00-03", "192.168.23.4"), &info));
        EXPECT_EQ(last("A4-45-19-00-00-03"), 0) << "cut at its first report";
        clients.UnInit();
    }
    CClientManager clients;
    const std::size_t before = SpeedRecords().size();
    ASSERT_TRUE(clients.Init());
    EXPECT_EQ(clients.GetAllowList(), std::vector<std::wstring>{L"A4-45-19-00-00-01"});
    EXPECT_EQ(SpeedRecords().size(), before + 4);
    EXPECT_EQ(last("A4-45-19-00-00-01"), 1);
    EXPECT_EQ(last("A4-45-19-00-00-02"), 0);
    EXPECT_EQ(last("A4-45-19-00-00-03"), 0);
    EXPECT_EQ(last("A4-45-19-00-00-09"), 0);
    ClientInfo info;
    ASSERT_TRUE(clients.Add(Report(L"A4-45-19-00-00-01", "192.168.23.2"), &info));
    EXPECT_EQ(info.isNew, 0);

    // Denying a listed device takes it off; the empty list lets the others in.
    ASSERT_TRUE(clients.DenyClient(L"A4-45-19-00-00-01"));
    EXPECT_TRUE(clients.GetAllowList().empty());
    EXPECT_EQ(last("A4-45-19-00-00-01"), 0);
    EXPECT_EQ(last("A4-45-19-00-00-02"), 1);
    EXPECT_EQ(last("A4-45-19-00-00-09"), 0) << "still denied";
    EXPECT_FALSE(clients.DisallowClient(L"A4-45-19-00-00-01"));
    ASSERT_TRUE(clients.UnbanClient(L"A4-45-19-00-00-01"));
    EXPECT_EQ(last("A4-45-19-00-00-01"), 1);
}

TEST_F(ClientManagerTest, MakersUnknownAndPrivateAddressesAndHostNames) {
    Pc().network.SetReverseName(Ip("192.168.23.7"), "laptop.lan");
    CClientManager clients;
    ASSERT_TRUE(clients.Init());
    ClientInfo info;
    clients.Add(Report(L"00-00-5E-00-00-01", "192.168.23.7"), &info);
    EXPECT_TRUE(Log().Has("E Unknow Device mac:00-00-5E-00-00-01"));
    EXPECT_TRUE(info.manufactory.empty());
    EXPECT_EQ(info.name, L"laptop.lan") << "no DHCP name: the reverse lookup names it";

    clients.Add(Report(L"DA-A1-19-00-00-01", "0.0.0.0"), &info);
    EXPECT_FALSE(Log().HasMessage("Unknow Device mac:DA-A1-19-00-00-01"));
    EXPECT_EQ(info.type, L"random");
    EXPECT_EQ(info.addressState, 1) << "joined without an address";
    bool changed = false;
    ASSERT_TRUE(clients.Update(Report(L"DA-A1-19-00-00-01", "192.168.23.8"), &info, &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(info.addressState, 2);
    EXPECT_EQ(info.ip, L"192.168.23.8");
}

TEST_F(ClientManagerTest, BrokenDatabaseIsLoggedAndTheTableLivesOnInMemory) {
    Dir().Write("lumari.dat", std::string(2048, 'x'));
    {
        CClientManager clients;
        EXPECT_FALSE(clients.Init());
        EXPECT_TRUE(Log().Has("E init db error:file is not a database"));
        ClientInfo info;
        ASSERT_TRUE(clients.Add(Report(L"A4-45-19-00-00-05", "192.168.23.5"), &info));
        EXPECT_EQ(info.uid, 0);
        EXPECT_TRUE(clients.SetClientNickName(L"A4-45-19-00-00-05", L"kept"));
        clients.UnInit();
        EXPECT_EQ(Dir().Read("lumari.dat"), std::string(2048, 'x')) << "never overwritten";

        // The file is repaired while the program runs: the next save writes
        // the client that never had a row.
        std::remove(Dir().File("lumari.dat").c_str());
        ASSERT_TRUE(clients.Init());
        clients.UnInit();
    }
    CClientManager clients;
    ASSERT_TRUE(clients.Init());
    ClientInfo info;
    ASSERT_TRUE(clients.GetClient(L"A4-45-19-00-00-05", info));
    EXPECT_EQ(info.nickName, L"kept");
    EXPECT_GT(info.uid, 0);
    EXPECT_EQ(info.joinCount, 1);
}

// The database cannot be read at the next start: the table in memory still
// holds the ban and the limits, and the driver must be told them again, or a
// banned device gets in and a limited one runs free.
TEST_F(ClientManagerTest, UnreadableDatabaseAtTheNextStartStillAppliesBansAndLimits) {
    DriverMode();
    Dir().Write("lumari.dat", std::string(2048, 'x'));
    CClientManager clients;
    EXPECT_FALSE(clients.Init());
    ClientInfo info;
    clients.Add(Report(L"A4-45-19-00-00-01", "192.168.23.2"), &info);
    clients.Add(Report(L"A4-45-19-00-00-02", "192.168.23.3"), &info);
    ASSERT_TRUE(clients.BanClient(L"A4-45-19-00-00-01"));
    ASSERT_TRUE(clients.SetSpeedLimit(L"A4-45-19-00-00-02", 300, 100));
    clients.UnInit();
    const std::size_t before = SpeedRecords().size();

    EXPECT_FALSE(clients.Init());
    const auto all = SpeedRecords();
    const std::vector<SpeedRecord> sent(all.begin() + static_cast<long>(before), all.end());
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].mac, "A4-45-19-00-00-01");
    EXPECT_EQ(sent[0].allowed, 0);
    EXPECT_EQ(sent[1].mac, "A4-45-19-00-00-02");
    EXPECT_EQ(sent[1].allowed, 1);
    EXPECT_EQ(sent[1].down, 300);
    EXPECT_EQ(sent[1].up, 100);
}

// A row another version wrote with a lower-case MAC is the same device as the
// upper-case MAC the driver and the DHCP server report: it keeps its row. A ban
// stored as another non-zero number is a ban the black list shows (and so the
// user can lift), not a block nobody can see.
TEST_F(ClientManagerTest, StoredRowsWithLowerCaseMacOrOddBanMarkAreReadAsMeant) {
    const std::wstring path = plat::TextCodec::Utf8ToWide(Dir().File("lumari.dat"));
    std::int32_t uid = 0;
    {
        CClientDb db;
        std::wstring error;
        ASSERT_TRUE(db.Open(path, &error));
        ASSERT_TRUE(db.InitTable(&error));
        ClientInfo row;
        row.mac = L"a4-45-19-00-00-0a";
        row.nickName = L"tablet";
        ASSERT_TRUE(db.Insert(row, &uid, &error));
        row.uid = uid;
        row.joinCount = 3;
        row.isBan = 1;
        ASSERT_TRUE(db.Update(row, &error));
        ClientInfo odd;
        odd.mac = L"A4-45-19-00-00-0B";
        ASSERT_TRUE(db.Insert(odd, &odd.uid, &error));
        odd.isBan = 2;
        ASSERT_TRUE(db.Update(odd, &error));
    }
    {
        CClientManager clients;
        ASSERT_TRUE(clients.Init());
        std::vector<ClientInfo> banned;
        clients.GetBannedClients(banned);
        ASSERT_EQ(banned.size(), 2u);
        EXPECT_EQ(banned[0].mac, L"A4-45-19-00-00-0A");
        EXPECT_EQ(banned[1].isBan, 1);
        ClientInfo info;
        ASSERT_TRUE(clients.Add(Report(L"A4-45-19-00-00-0A", "192.168.23.2"), &info));
        EXPECT_EQ(info.uid, uid);
        EXPECT_EQ(info.joinCount, 4);
        EXPECT_EQ(info.nickName, L"tablet");
        clients.UnInit();
    }
    CClientDb db;
    std::wstring error;
    std::vector<ClientInfo> rows;
    ASSERT_TRUE(db.Open(path, &error));
    ASSERT_TRUE(db.LoadAll(&rows, &error));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].joinCount, 4);
    EXPECT_EQ(rows[0].isBan, 1);
    EXPECT_EQ(rows[1].isBan, 1);
}

}  // namespace
