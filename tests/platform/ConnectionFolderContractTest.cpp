// One contract for the connection folder, run on the simulated PC and on Linux
// (inside a private network namespace): the folder lists the adapters of the
// adapter table, hands out properties records that netshell.dll's entry point
// frees, and creates its manager only inside a COM apartment.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PrivateNetns.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/linux/LinuxProcessLauncher.h"
#include "platform/sim/SimPc.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

namespace {

class FolderBed {
public:
    virtual ~FolderBed() = default;
    virtual plat::Backend& Os() = 0;
    // A link that is up; false when it could not be made.
    virtual bool AddLink(const std::string& name) = 0;
    virtual bool SetDown(const std::string& name) = 0;
};

class SimBed : public FolderBed {
public:
    SimBed() : m_pc(plat::SimPc::Install()) {
        plat::AdapterInfo lo;
        lo.guid = plat::GuidText::FromName("lo");
        lo.name = "lo";
        lo.ifType = plat::kIfTypeLoopback;
        m_pc.network.AddAdapter(lo);
    }
    ~SimBed() override { plat::Platform::Uninstall(); }
    plat::Backend& Os() override { return plat::Platform::Current(); }
    bool AddLink(const std::string& name) override {
        plat::AdapterInfo a;
        a.guid = plat::GuidText::FromName(name);
        a.name = name;
        a.friendlyName = plat::TextCodec::Utf8ToWide(name);
        m_pc.network.AddAdapter(a);
        return true;
    }
    bool SetDown(const std::string& name) override {
        plat::AdapterInfo a;
        if (!m_pc.network.FindAdapter(plat::GuidText::FromName(name), &a))
            return false;
        a.up = false;
        m_pc.network.AddAdapter(a);
        return true;
    }

private:
    plat::SimPc& m_pc;
};

class LinuxBed : public FolderBed {
public:
    LinuxBed() { plat::Platform::Install(std::make_unique<plat::LinuxBackend>()); }
    ~LinuxBed() override { plat::Platform::Uninstall(); }
    plat::Backend& Os() override { return plat::Platform::Current(); }
    bool AddLink(const std::string& name) override {
        return Ok("ip link add " + name + " type veth peer name " + name + "p") &&
               Ok("ip link set " + name + "p up") && Ok("ip link set " + name + " up") &&
               testnet::WaitUntilUp(name);
    }
    bool SetDown(const std::string& name) override { return Ok("ip link set " + name + " down"); }

private:
    bool Ok(const std::string& command) {
        const auto r = m_launcher.Run(command);
        return r.started && r.exitCode == 0;
    }
    plat::LinuxProcessLauncher m_launcher;
};

struct Listed {
    plat::GUID guid{};
    std::wstring name;
    plat::DWORD status = 0;
};

// Enumerates the folder and frees every record through netshell.dll.
std::vector<Listed> Enumerate(plat::Backend& os) {
    std::vector<Listed> out;
    std::unique_ptr<plat::NetConnectionManager> manager;
    EXPECT_EQ(os.Connections().CreateConnectionManager(
                  plat::kClsctxLocalServer | plat::kClsctxNoCodeDownload, &manager),
              plat::kSOk);
    if (!manager)
        return out;
    std::unique_ptr<plat::EnumNetConnection> e;
    EXPECT_EQ(manager->EnumConnections(plat::kNcmeDefault, &e), plat::kSOk);
    plat::HMODULE netshell = os.Modules().Load(L"netshell.dll");
    EXPECT_NE(netshell, nullptr);
    auto freeProperties = reinterpret_cast<plat::NcFreeNetconPropertiesFn>(
        os.Modules().Find(netshell, "NcFreeNetconProperties"));
    EXPECT_NE(freeProperties, nullptr);
    std::unique_ptr<plat::NetConnection> c;
    plat::ULONG fetched = 0;
    while (e && e->Next(&c, &fetched) == plat::kSOk && fetched == 1) {
        plat::NETCON_PROPERTIES* p = nullptr;
        EXPECT_EQ(c->GetProperties(&p), plat::kSOk);
        if (p == nullptr)
            continue;
        out.push_back({p->guidId, plat::TextCodec::FromWchars(p->pszwName, 256), p->Status});
        if (freeProperties != nullptr)
            freeProperties(p);
    }
    EXPECT_EQ(fetched, 0u);
    os.Modules().Free(netshell);
    return out;
}

const Listed* Find(const std::vector<Listed>& all, const std::string& name) {
    for (const auto& l : all)
        if (l.guid == plat::GuidText::FromName(name))
            return &l;
    return nullptr;
}

class ConnectionFolderContract : public ::testing::TestWithParam<std::string> {
protected:
    void OnBed(const std::function<void(FolderBed&)>& body) {
        std::string why;
        if (!testnet::OnBed<FolderBed, SimBed, LinuxBed>(GetParam(), body, &why))
            GTEST_SKIP() << "no private network namespace: " << why;
    }
};

TEST_P(ConnectionFolderContract, ListsEveryAdapterButLoopbackConnectedWhileUp) {
    OnBed([](FolderBed& bed) {
        ASSERT_TRUE(bed.AddLink("lumcon0"));
        ASSERT_TRUE(bed.AddLink("lumcon1"));
        ASSERT_GE(bed.Os().Com().CoInitializeEx(plat::kCoinitMultithreaded), 0);

        std::vector<Listed> all = Enumerate(bed.Os());
        EXPECT_EQ(Find(all, "lo"), nullptr);
        ASSERT_NE(Find(all, "lumcon0"), nullptr);
        ASSERT_NE(Find(all, "lumcon1"), nullptr);
        EXPECT_EQ(Find(all, "lumcon0")->name, L"lumcon0");
        EXPECT_EQ(Find(all, "lumcon0")->status, plat::kNcsConnected);

        ASSERT_TRUE(bed.SetDown("lumcon1"));
        all = Enumerate(bed.Os());
        ASSERT_NE(Find(all, "lumcon1"), nullptr);
        EXPECT_NE(Find(all, "lumcon1")->status, plat::kNcsConnected);
        bed.Os().Com().CoUninitialize();
    });
}

TEST_P(ConnectionFolderContract, TheManagerIsALocalServerCreatedInsideAnApartment) {
    OnBed([](FolderBed& bed) {
        std::unique_ptr<plat::NetConnectionManager> manager;
        plat::ComRuntime& com = bed.Os().Com();
        std::thread outside([&] {
            EXPECT_EQ(
                bed.Os().Connections().CreateConnectionManager(plat::kClsctxLocalServer, &manager),
                plat::kCoENotInitialized);
        });
        outside.join();
        EXPECT_FALSE(manager);

        ASSERT_EQ(com.CoInitializeEx(plat::kCoinitApartmentThreaded), plat::kSOk);
        EXPECT_EQ(com.CoInitializeEx(plat::kCoinitMultithreaded), plat::kRpcEChangedMode);
        EXPECT_EQ(com.CoInitializeEx(plat::kCoinitApartmentThreaded), plat::kSFalse);
        EXPECT_EQ(
            bed.Os().Connections().CreateConnectionManager(plat::kClsctxInprocServer, &manager),
            plat::kRegdbEClassNotReg);
        EXPECT_EQ(
            bed.Os().Connections().CreateConnectionManager(plat::kClsctxLocalServer, &manager),
            plat::kSOk);
        EXPECT_TRUE(manager);
        com.CoUninitialize();
        com.CoUninitialize();
    });
}

INSTANTIATE_TEST_SUITE_P(Backends, ConnectionFolderContract, ::testing::Values("sim", "linux"),
                         [](const auto& p) { return p.param; });

// The simulated PC's folder shows only what its adapter table carries.
TEST(SimConnectionFolder, AConnectionExistsOnlyForAnAdapterOfTheTable) {
    plat::SimPc& pc = plat::SimPc::Install();
    const plat::GUID ghost = plat::GuidText::FromName("ghost");
    EXPECT_FALSE(pc.connections.SetMediaType(ghost, plat::kNcmTunnel));
    EXPECT_FALSE(pc.connections.SetStatus(ghost, plat::kNcsConnected));
    ASSERT_EQ(pc.com.CoInitializeEx(plat::kCoinitMultithreaded), plat::kSOk);
    EXPECT_TRUE(Enumerate(plat::Platform::Current()).empty());

    plat::AdapterInfo vpn;
    vpn.guid = plat::GuidText::FromName("vpn");
    vpn.friendlyName = L"VPN";
    vpn.ifType = plat::kIfTypePpp;
    pc.network.AddAdapter(vpn);
    EXPECT_TRUE(pc.connections.SetMediaType(vpn.guid, plat::kNcmTunnel));
    std::vector<Listed> all = Enumerate(plat::Platform::Current());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].name, L"VPN");

    pc.network.RemoveAdapter(vpn.guid);
    EXPECT_TRUE(Enumerate(plat::Platform::Current()).empty());
    EXPECT_EQ(pc.connections.LiveProperties(), 0);
    pc.com.CoUninitialize();
    plat::Platform::Uninstall();
}

}  // namespace
