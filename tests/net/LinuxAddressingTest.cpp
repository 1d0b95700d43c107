// Adapter addressing and neighbour queries of the exports on the Linux
// backend, on a veth pair between two namespaces.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <memory>

#include "NetNamespace.h"
#include "pellion/Pellion.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/text/GuidText.h"
#include "support/TempDir.h"

namespace {

using nettest::NetNamespace;

std::uint32_t Addr(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return a.s_addr;
}

class LinuxAddressingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        m_dir = std::make_unique<TempDir>();
        plat::Platform::ResetAll();
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(m_dir->File("registry")));
        m_near = std::make_unique<NetNamespace>("na");
        m_far = std::make_unique<NetNamespace>("fa");
        ASSERT_TRUE(m_near->Created() && m_far->Created());
        m_link = nettest::UniqueName("ad");
        m_guid = plat::GuidText::FromName(m_link);
        ASSERT_EQ(nettest::Run("ip link add " + m_link + " netns " + m_near->Name() +
                               " type veth peer name peer0 netns " + m_far->Name()),
                  0);
        ASSERT_EQ(m_far->Exec("ip link set peer0 address 02:00:00:00:66:02 && "
                              "ip addr add 10.66.0.2/24 dev peer0 && ip link set peer0 up"),
                  0);
    }
    void TearDown() override {
        if (m_dir == nullptr)
            return;
        m_far.reset();
        m_near.reset();
        plat::Platform::Uninstall();
    }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<NetNamespace> m_near;
    std::unique_ptr<NetNamespace> m_far;
    std::string m_link;
    plat::GUID m_guid{};
};

TEST_F(LinuxAddressingTest, StaticAddressIsSetReadBackAndRemovedBothWays) {
    ASSERT_TRUE(m_near->RunInside([&] {
        std::uint32_t ip = 0, mask = 0, gateway = 0;
        ASSERT_EQ(SetInterfaceIp(&m_guid, "10.66.0.1", "255.255.255.0", nullptr), 1);
        ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
        EXPECT_EQ(ip, Addr("10.66.0.1"));
        EXPECT_EQ(mask, Addr("255.255.255.0"));
        EXPECT_EQ(gateway, 0u);

        // A new address replaces the old one.
        ASSERT_EQ(SetInterfaceIp(&m_guid, "10.66.0.5", "255.255.0.0", nullptr), 1);
        ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
        EXPECT_EQ(ip, Addr("10.66.0.5"));
        EXPECT_EQ(mask, Addr("255.255.0.0"));
        EXPECT_EQ(nettest::Run("ip -4 addr show dev " + m_link + " | grep -c inet | grep -qx 1"),
                  0);

        ASSERT_EQ(SetInterfaceIp(&m_guid, nullptr, nullptr, nullptr), 1);
        ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
        EXPECT_EQ(ip, 0u);

        ASSERT_EQ(SetInterfaceIp2(&m_guid, "10.66.0.7", nullptr, nullptr), 1);
        ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
        EXPECT_EQ(ip, Addr("10.66.0.7"));
        EXPECT_EQ(mask, Addr("255.255.255.0")) << "the default mask";
        ASSERT_EQ(SetInterfaceIp2(&m_guid, nullptr, nullptr, nullptr), 1);
        ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
        EXPECT_EQ(ip, 0u);

        const plat::GUID unknown = plat::GuidText::FromName("no-such-if");
        EXPECT_EQ(SetInterfaceIp(&unknown, "10.66.0.1", "255.255.255.0", nullptr), 0);
        EXPECT_EQ(SetInterfaceIp(&m_guid, "10.66.0.1", "255.0.255.0", nullptr), 0)
            << "a mask with holes";
    }));
}

TEST_F(LinuxAddressingTest, GatewayIsSetOnAnInterfaceThatIsUp) {
    ASSERT_EQ(m_near->Exec("ip link set " + m_link + " up"), 0);
    ASSERT_TRUE(m_near->RunInside([&] {
        std::uint32_t ip = 0, mask = 0, gateway = 0;
        ASSERT_EQ(SetInterfaceIp(&m_guid, "10.66.0.1", "255.255.255.0", "10.66.0.2"), 1);
        ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
        EXPECT_EQ(ip, Addr("10.66.0.1"));
        EXPECT_EQ(gateway, Addr("10.66.0.2"));
    }));
}

TEST_F(LinuxAddressingTest, PingAndNeighbourTableAndReverseLookup) {
    ASSERT_EQ(m_near->Exec("ip addr add 10.66.0.1/24 dev " + m_link + " && ip link set " + m_link +
                           " up"),
              0);
    ASSERT_TRUE(m_near->RunInside([&] {
        int answered = 0;
        // The link needs a moment before the first echo gets through.
        for (int i = 0; i < 20 && answered == 0; ++i)
            answered = Ping(Addr("10.66.0.2"), 500);
        EXPECT_EQ(answered, 1);
        EXPECT_EQ(Ping(Addr("10.66.0.9"), 300), 0);
        EXPECT_EQ(GetIpByMac("02-00-00-00-66-02"), Addr("10.66.0.2"));
        EXPECT_EQ(GetIpByMac("02-00-00-00-66-03"), 0u);

        char name[256] = {};
        int len = sizeof name;
        ASSERT_EQ(GetHostname("127.0.0.1", name, &len), 1);
        EXPECT_GT(len, 0);
        EXPECT_EQ(static_cast<int>(std::string(name).size()), len);
    }));
}

}  // namespace
