// The library as another program on Linux would use it: the exports drive the
// nftables NAT driver in the hotspot namespace of the driver's test bed.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "net/NatTestBed.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/text/GuidText.h"
#include "sorvane/Sorvane.h"
#include "support/TempDir.h"

namespace {

TEST(SorvaneLinux, TheExportsShareThroughTheNftablesDriver) {
    nettest::NatTestBed bed;
    std::string why;
    if (!bed.Ready(&why))
        GTEST_SKIP() << why;
    TempDir dir;
    const plat::GUID pub = plat::GuidText::FromName("wan0");
    const plat::GUID priv = plat::GuidText::FromName("br0");
    bed.Hotspot().RunInside([&] {
        plat::Platform::ResetAll();
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(dir.File("registry")));
        int type = 0;
        ASSERT_EQ(InitShare(&type), plat::kSOk);
        EXPECT_EQ(type, 1);  // the driver opens where nftables can be used
        ASSERT_EQ(SetPublic(&pub), plat::kSOk);
        ASSERT_EQ(SetPrivate(&priv), plat::kSOk);
        ASSERT_EQ(EnableShare(), plat::kSOk);
        EXPECT_TRUE(bed.Reaches(0));
        ASSERT_TRUE(bed.Move(1, 64 << 10, 256 << 10).ok);

        plat::PEER_INFO peers[4];
        int count = 4;
        ASSERT_EQ(GetPeers(peers, &count), plat::kSOk);
        ASSERT_EQ(count, 2);
        const plat::PEER_INFO& second = peers[0].mac[5] == 2 ? peers[0] : peers[1];
        EXPECT_GE(std::uint64_t{second.downKb}, 250u);

        ASSERT_EQ(SetSpeedLimited(nettest::NatTestBed::ClientMac(0).c_str(), 0, 0, 0), plat::kSOk);
        EXPECT_FALSE(bed.Reaches(0));
        EXPECT_TRUE(bed.Reaches(1));
        ASSERT_EQ(DisableShare(), plat::kSOk);
        DeInitShare();
        plat::Platform::Uninstall();
    });
    EXPECT_NE(bed.Hotspot().Exec("nft list tables | grep -q lumari"), 0);
}

}  // namespace
