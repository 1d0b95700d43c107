// The system's tables as Windows hands them out: read again while they grow
// (bounded), an empty table as an empty list, 32-bit counters carried past
// their wrap; on the simulated PC, which changes its tables while they are
// read, as a hotspot start does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/common/CounterWrap.h"
#include "platform/common/GrowingTable.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"
#include "support/SimTest.h"

namespace {

using plat::DWORD;
using plat::ULONG;

// A table of `rows` rows whose size grows by one after each of the first
// `growths` answers "too small".
struct ChurningTable {
    ULONG rows = 0;
    int growths = 0;
    int calls = 0;
    DWORD Read(std::vector<int>* out, ULONG* capacity) {
        ++calls;
        if (rows == 0)
            return plat::kErrorNoData;
        if (*capacity < rows) {
            *capacity = rows;
            if (growths > 0) {
                --growths;
                ++rows;
            }
            return plat::kErrorBufferOverflow;
        }
        out->assign(rows, 7);
        return 0;
    }
};

TEST(GrowingTable, ReadsAgainWhileTheTableGrowsAndGivesUpAfterABound) {
    using Table = plat::GrowingTable<int>;
    auto run = [](ChurningTable& t, std::vector<int>* out, ULONG hint) {
        return Table::Fill([&](std::vector<int>* r, ULONG* c) { return t.Read(r, c); }, out, hint);
    };
    std::vector<int> out;
    // Rows arrive between the size answer and the read, three times.
    ChurningTable growing{4, 3};
    EXPECT_EQ(run(growing, &out, 0), 0u);
    EXPECT_EQ(out.size(), 7u);
    EXPECT_EQ(growing.calls, 5);
    // A hint large enough reads at once.
    ChurningTable fits{4, 0};
    EXPECT_EQ(run(fits, &out, 16), 0u);
    EXPECT_EQ(fits.calls, 1);
    // A table that never stops growing: the last "too small" after the bound.
    ChurningTable endless{1, 1000};
    EXPECT_EQ(run(endless, &out, 0), plat::kErrorBufferOverflow);
    EXPECT_EQ(endless.calls, Table::kMaxTries);
    // An empty table is an empty list, not a failure.
    ChurningTable empty{0, 0};
    out.assign(3, 1);
    EXPECT_EQ(run(empty, &out, 8), 0u);
    EXPECT_TRUE(out.empty());
    // Another error is passed on at once.
    int calls = 0;
    EXPECT_EQ(Table::Fill(
                  [&](std::vector<int>*, ULONG*) {
                      ++calls;
                      return plat::kErrorNotSupported;
                  },
                  &out),
              plat::kErrorNotSupported);
    EXPECT_EQ(calls, 1);
}

TEST(CounterWrap, TotalsGoOnPastTheWrapOfEachCounter) {
    plat::CounterWrap wrap;
    std::uint64_t in = 0, out = 0;
    wrap.Extend(3, 0xFFFFFF00u, 10, &in, &out);
    EXPECT_EQ(in, 0xFFFFFF00u);
    wrap.Extend(3, 0x100u, 20, &in, &out);  // received wrapped, sent did not
    EXPECT_EQ(in, 0x100000100ull);
    EXPECT_EQ(out, 20u);
    wrap.Extend(3, 0xFFFFFFFFu, 5, &in, &out);
    wrap.Extend(3, 0, 6, &in, &out);
    EXPECT_EQ(in, 0x200000000ull);
    EXPECT_EQ(out, 0x100000006ull);
    // Interfaces count apart; a forgotten one starts afresh.
    wrap.Extend(4, 1, 1, &in, &out);
    EXPECT_EQ(in, 1u);
    wrap.Forget(3);
    wrap.Extend(3, 9, 9, &in, &out);
    EXPECT_EQ(in, 9u);
}

class SimTablesTest : public SimTest {
protected:
    static std::uint32_t Ip(const char* text) {
        std::uint32_t ip = 0;
        plat::Ipv4Text::Parse(text, &ip);
        return ip;
    }
    static plat::NeighbourRow Row(const char* ip, plat::BYTE last) {
        return {10, Ip(ip), {0x02, 0, 0, 0, 0, last}};
    }
};

TEST_F(SimTablesTest, TablesThatGrowWhileReadAreReadWhole) {
    std::vector<plat::NeighbourRow> rows;
    EXPECT_EQ(Pc().network.Neighbours(&rows), 0u);  // empty: ERROR_NO_DATA inside
    EXPECT_TRUE(rows.empty());

    Pc().network.AddNeighbour(Row("192.168.23.9", 9));
    Pc().network.AddDuringRead(Row("192.168.23.2", 2));
    Pc().network.AddDuringRead(Row("192.168.23.3", 3));
    ASSERT_EQ(Pc().network.Neighbours(&rows), 0u);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.front().ip, Ip("192.168.23.2"));  // sorted

    // A table that outgrows every read ends in the system's answer.
    for (int i = 0; i < 20; ++i)
        Pc().network.AddDuringRead(Row("10.0.0.1", static_cast<plat::BYTE>(i)));
    EXPECT_EQ(Pc().network.Neighbours(&rows), plat::kErrorInsufficientBuffer);

    plat::AdapterInfo a;
    a.guid = plat::GuidText::FromName("ap0");
    a.name = "ap0";
    a.ipv4.push_back({"192.168.23.1", "255.255.255.0"});
    Pc().network.AddAdapter(a);
    Pc().network.AddDuringRead(a.guid, {"192.168.24.1", "255.255.255.0"});
    std::vector<plat::AdapterInfo> adapters;
    ASSERT_EQ(Pc().network.Adapters(&adapters), 0u);
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters[0].ipv4.size(), 2u);
}

TEST_F(SimTablesTest, CountersOfAnOldWindowsAreCarriedPastTheirWrap) {
    plat::AdapterInfo a;
    a.guid = plat::GuidText::FromName("ap0");
    const plat::DWORD index = Pc().network.AddAdapter(a);
    std::uint64_t in = 0, out = 0;
    // Windows XP has only the 32-bit counters.
    Pc().os.SetWindows(plat::SimWindows::XpSp3);
    Pc().network.SetCounters(index, 0xFFFFF000ull, 100);
    ASSERT_EQ(Pc().network.InterfaceCounters(index, &in, &out), 0u);
    Pc().network.SetCounters(index, 0x100001000ull, 200);
    ASSERT_EQ(Pc().network.InterfaceCounters(index, &in, &out), 0u);
    EXPECT_EQ(in, 0x100001000ull);
    EXPECT_EQ(out, 200u);
    // Windows 7 counts in 64 bits.
    Pc().os.SetWindows(plat::SimWindows::Seven);
    Pc().network.SetCounters(index, 0x500000000ull, 1);
    ASSERT_EQ(Pc().network.InterfaceCounters(index, &in, &out), 0u);
    EXPECT_EQ(in, 0x500000000ull);
}

TEST_F(SimTablesTest, OnlyTheHostsOwnReplyIsAnAnswer) {
    plat::AdapterInfo a;
    a.guid = plat::GuidText::FromName("ap0");
    a.ipv4.push_back({"192.168.23.1", "255.255.255.0"});
    Pc().network.AddAdapter(a);
    Pc().network.SetPingable(Ip("192.168.23.4"), true);
    plat::DWORD status = 0;
    EXPECT_EQ(Pc().network.Echo(Ip("192.168.23.4"), 100, &status), 1u);
    EXPECT_EQ(status, plat::kIpSuccess);
    // A missing host of the local subnet: the system replies itself.
    EXPECT_EQ(Pc().network.Echo(Ip("192.168.23.5"), 100, &status), 1u);
    EXPECT_EQ(status, plat::kIpDestHostUnreachable);
    // Elsewhere the echo times out.
    EXPECT_EQ(Pc().network.Echo(Ip("10.9.9.9"), 100, &status), 0u);
    EXPECT_EQ(status, plat::kIpReqTimedOut);
}

}  // namespace
