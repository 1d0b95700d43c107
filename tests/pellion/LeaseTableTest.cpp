// The lease table's bound, its indexes and its queues, without messages.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "pellion/LeaseTable.h"

using pellion::Lease;
using pellion::LeaseTable;
using pellion::MacAddress;
using pellion::SteadyTime;

namespace {

MacAddress Mac(int i) {
    return {0x02,
            0,
            0,
            static_cast<std::uint8_t>(i >> 16),
            static_cast<std::uint8_t>(i >> 8),
            static_cast<std::uint8_t>(i)};
}

std::uint32_t Ip(std::uint8_t octet) {
    return 0x0017A8C0u | (std::uint32_t(octet) << 24);  // 192.168.23.octet
}

const SteadyTime kT0 = SteadyTime{} + std::chrono::hours(1);

TEST(LeaseTableTest, MakesRoomByDroppingTheOldestEntriesWithoutAddress) {
    LeaseTable t;
    // 200 clients hold addresses, 100 more hold none.
    for (int i = 0; i < 200; ++i)
        t.Offer(Mac(i), Ip(static_cast<std::uint8_t>(i + 2)), static_cast<std::uint8_t>(i + 2),
                "held", kT0 + std::chrono::hours(1));
    for (int i = 200; i < 300; ++i)
        t.Offer(Mac(i), 0, 0, "none", kT0);
    ASSERT_EQ(t.Size(), LeaseTable::kCapacity);
    for (int i = 0; i < 200; ++i)
        EXPECT_NE(t.Find(Mac(i)), nullptr) << "holders are never dropped";
    EXPECT_EQ(t.Find(Mac(243)), nullptr);
    EXPECT_NE(t.Find(Mac(244)), nullptr) << "the 56 newest without address stay";

    // Black-list marks neither count nor go; once cleared they count again.
    for (int i = 1000; i < 1100; ++i)
        t.AddBlack(Mac(i));
    EXPECT_EQ(t.Size(), LeaseTable::kCapacity + 100);
    EXPECT_NE(t.Find(Mac(244)), nullptr);
    t.Offer(Mac(301), 0, 0, "late", kT0);
    EXPECT_NE(t.Find(Mac(1000)), nullptr);
    EXPECT_EQ(t.Find(Mac(244)), nullptr);
    t.ClearBlack();
    EXPECT_EQ(t.Size(), LeaseTable::kCapacity);
    EXPECT_TRUE(t.Consistent());
}

TEST(LeaseTableTest, OffersAndLeasesEndInTheOrderOfTheirTime) {
    LeaseTable t;
    t.Offer(Mac(1), Ip(2), 2, "a", kT0 + std::chrono::seconds(10));
    t.Offer(Mac(2), Ip(3), 3, "b", kT0 + std::chrono::seconds(20));
    t.Acknowledge(Mac(2), Ip(3), 3, kT0 + std::chrono::seconds(15));
    EXPECT_EQ(t.OldestOffer()->mac, Mac(1));
    EXPECT_EQ(t.Holder(3)->mac, Mac(2));

    EXPECT_EQ(t.Advance(kT0 + std::chrono::seconds(10)), kT0 + std::chrono::seconds(10));
    EXPECT_EQ(t.Find(Mac(1))->ip, 0u);
    EXPECT_EQ(t.Holder(2), nullptr);
    EXPECT_EQ(t.OldestOffer(), nullptr);
    EXPECT_TRUE(t.Find(Mac(2))->bound);
    // Time seen once does not run back.
    EXPECT_EQ(t.Advance(kT0), kT0 + std::chrono::seconds(10));

    t.Advance(kT0 + std::chrono::seconds(15));
    const Lease* ended = t.Find(Mac(2));
    EXPECT_FALSE(ended->bound);
    EXPECT_FALSE(ended->acknowledged);
    EXPECT_EQ(ended->ip, Ip(3)) << "an ended lease keeps its address in memory";
    EXPECT_TRUE(t.Held().Test(3));
    EXPECT_FALSE(t.Bound().Test(3));
    EXPECT_TRUE(t.Consistent());
}

TEST(LeaseTableTest, CopiesCompareEqualAndStayConsistentUnderRandomOperations) {
    std::mt19937 rng(7);
    LeaseTable t;
    SteadyTime now = kT0;
    for (int step = 0; step < 5000; ++step) {
        const MacAddress mac = Mac(static_cast<int>(rng() % 400));
        const auto octet = static_cast<std::uint8_t>(2 + rng() % 253);
        switch (rng() % 8) {
            case 0:
            case 1:
                if (const Lease* h = t.Holder(octet); h == nullptr || h->mac == mac)
                    t.Offer(mac, Ip(octet), octet, "x", now + std::chrono::seconds(rng() % 60));
                break;
            case 2:
                if (const Lease* h = t.Holder(octet); h == nullptr || h->mac == mac)
                    t.Acknowledge(mac, Ip(octet), octet, now + std::chrono::seconds(rng() % 600));
                break;
            case 3:
                t.Unbind(mac);
                break;
            case 4:
                t.Decline(mac);
                break;
            case 5:
                rng() % 2 ? t.AddBlack(mac) : t.RemoveBlack(mac);
                break;
            case 6:
                t.Drop(mac);
                break;
            default:
                now += std::chrono::seconds(rng() % 10);
                t.Advance(now);
        }
        ASSERT_TRUE(t.Consistent()) << "step " << step;
    }
    const LeaseTable copy = t;
    EXPECT_TRUE(copy == t);
    EXPECT_TRUE(copy.Consistent());
    LeaseTable advanced = t;
    advanced.Advance(now + std::chrono::hours(1));
    EXPECT_FALSE(advanced == t);
    t.Advance(now + std::chrono::hours(1));
    EXPECT_TRUE(advanced == t) << "the copy ends what the original ends";
}

TEST(LeaseTableTest, FirstFreeOctetSkipsBothSetsWithinTheRange) {
    pellion::OctetSet a, b;
    for (int o = 2; o < 130; ++o)
        a.Set(static_cast<std::uint8_t>(o));
    b.Set(130);
    EXPECT_EQ(a.FirstFree(2, 254, b), 131);
    EXPECT_EQ(a.FirstFree(2, 129, b), 0);
    EXPECT_EQ(a.FirstFree(1, 254, b), 1);
    for (int o = 131; o <= 254; ++o)
        b.Set(static_cast<std::uint8_t>(o));
    EXPECT_EQ(a.FirstFree(2, 254, b), 0);
    EXPECT_EQ(a.FirstFree(2, 255, b), 255);
}

}  // namespace
