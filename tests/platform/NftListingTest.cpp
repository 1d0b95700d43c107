// Reading nft's listing of the Linux NAT driver's counting sets.
#include <gtest/gtest.h>

#include "platform/linux/LinuxPacketEngine.h"

namespace {

using plat::LinuxPacketEngine;

const char kListing[] = R"(table inet lumari {
	set clients {
		type ether_addr . ipv4_addr
		size 65535
		flags dynamic,timeout
		timeout 5m
		elements = { 02:00:00:00:00:01 . 192.168.50.2 expires 4m59s988ms,
			     02:00:00:00:00:01 . 192.168.50.9 timeout 5m expires 1h2s,
			     0a:1b:2c:3d:4e:5f . 0.0.0.0 expires 12s,
			     zz:00:00:00:00:01 . 192.168.50.7 expires 1s,
			     02:00:00:00:00:02 . 192.168.50.3 expires 4x }
	}
}
table inet lumari {
	set up {
		type ether_addr
		size 65535
		flags dynamic
		counter
		elements = { 02:00:00:00:00:01 counter packets 10 bytes 123456,
			     0a:1b:2c:3d:4e:5f counter packets 1 bytes 328 }
	}
}
table inet lumari {
	set down {
		type ipv4_addr
		size 65535
		flags dynamic
		counter
	}
}
)";

TEST(NftListingTest, PairsCountsAndTheirExpiryAreRead) {
    LinuxPacketEngine::Snapshot s;
    ASSERT_TRUE(LinuxPacketEngine::ParseSnapshot(kListing, &s));
    ASSERT_EQ(s.clients.size(), 4u);  // the pair with a bad MAC is skipped
    EXPECT_EQ(s.clients[0].ip, 0x0232A8C0u);
    EXPECT_EQ(s.clients[0].expiresMs, 299988u);
    EXPECT_EQ(s.clients[1].expiresMs, 3602000u);
    EXPECT_EQ(s.clients[2].mac[5], 0x5F);
    EXPECT_EQ(s.clients[2].ip, 0u);
    EXPECT_EQ(s.clients[3].expiresMs, 0u);  // an expiry it cannot read counts as oldest
    ASSERT_EQ(s.up.size(), 2u);
    EXPECT_EQ(s.up.begin()->second, 123456u);
    EXPECT_TRUE(s.down.empty());
}

TEST(NftListingTest, AListingWithoutTheClientsSetIsRefused) {
    LinuxPacketEngine::Snapshot s;
    EXPECT_FALSE(LinuxPacketEngine::ParseSnapshot("", &s));
    EXPECT_FALSE(LinuxPacketEngine::ParseSnapshot("table inet lumari { set up { } }", &s));
    // A listing cut short is not read as an empty one.
    EXPECT_FALSE(LinuxPacketEngine::ParseSnapshot("set clients { elements = { 02:00", &s));
    EXPECT_TRUE(
        LinuxPacketEngine::ParseSnapshot("set clients { type ether_addr . ipv4_addr }", &s));
    EXPECT_TRUE(s.clients.empty());
}

}  // namespace
