// One contract for the hosted network behind the Native Wi-Fi library's entry
// points, run on the simulated PC and on Linux: the wired form on a veth, and
// hostapd with its wired driver and a station that authenticates with
// wpa_supplicant (IEEE 802.1X) in a namespace of its own.
#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "NetNamespace.h"
#include "platform/Platform.h"
#include "platform/linux/HostapdAccessPoint.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/sim/SimPc.h"
#include "platform/text/GuidText.h"
#include "support/TempDir.h"

namespace {

using plat::DWORD;
using plat::GUID;
using Mac = std::array<std::uint8_t, 6>;
using nettest::NetNamespace;

constexpr auto kWait = std::chrono::seconds(10);

// The notifications a client handle received, in order.
class Notes {
public:
    struct Note {
        DWORD code = 0;
        plat::WLAN_HOSTED_NETWORK_STATE from = 0;
        plat::WLAN_HOSTED_NETWORK_STATE to = 0;
        Mac mac{};
        plat::WLAN_HOSTED_NETWORK_PEER_AUTH_STATE auth = 0;
    };

    static void LUMARI_WINAPI Callback(plat::WLAN_NOTIFICATION_DATA* data, plat::PVOID context) {
        auto* self = static_cast<Notes*>(context);
        Note n;
        n.code = data->NotificationCode;
        if (n.code == plat::kWlanHostedNetworkStateChange &&
            data->dwDataSize == sizeof(plat::WLAN_HOSTED_NETWORK_STATE_CHANGE)) {
            plat::WLAN_HOSTED_NETWORK_STATE_CHANGE c{};
            std::memcpy(&c, data->pData, sizeof c);
            n.from = c.OldState;
            n.to = c.NewState;
        } else if (n.code == plat::kWlanHostedNetworkPeerStateChange &&
                   data->dwDataSize == sizeof(plat::WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE)) {
            plat::WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE c{};
            std::memcpy(&c, data->pData, sizeof c);
            std::memcpy(n.mac.data(), c.NewState.PeerMacAddress, 6);
            n.auth = c.NewState.PeerAuthState;
        } else {
            return;
        }
        std::lock_guard<std::mutex> g(self->m_lock);
        self->m_notes.push_back(n);
        self->m_changed.notify_all();
    }

    // Waits for a state change from `from` to `to`; true when it came.
    bool WaitState(plat::WLAN_HOSTED_NETWORK_STATE from, plat::WLAN_HOSTED_NETWORK_STATE to) {
        return WaitFor([&](const Note& n) {
            return n.code == plat::kWlanHostedNetworkStateChange && n.from == from && n.to == to;
        });
    }
    bool WaitPeer(const Mac& mac, plat::WLAN_HOSTED_NETWORK_PEER_AUTH_STATE auth) {
        return WaitFor([&](const Note& n) {
            return n.code == plat::kWlanHostedNetworkPeerStateChange && n.mac == mac &&
                   n.auth == auth;
        });
    }

private:
    // Takes the first matching note (and the ones before it) off the list.
    bool WaitFor(const std::function<bool(const Note&)>& match) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, kWait, [&] {
            for (std::size_t i = 0; i < m_notes.size(); ++i) {
                if (match(m_notes[i])) {
                    m_notes.erase(m_notes.begin(), m_notes.begin() + static_cast<long>(i) + 1);
                    return true;
                }
            }
            return false;
        });
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Note> m_notes;
};

// Where the contract runs.
class ApBed {
public:
    virtual ~ApBed() = default;
    virtual plat::WlanLibrary& Library() = 0;
    // The interface that can host the network, and the adapter carrying it.
    virtual GUID InterfaceGuid() = 0;
    virtual GUID DeviceGuid() = 0;
    // A station connects (and is authorised); its MAC.
    virtual Mac JoinStation() = 0;
    virtual void LeaveStation() = 0;
    // The access point goes down from outside the program.
    virtual void EndAccessPoint() = 0;
};

const Mac kStation = {0x02, 0x4C, 0x55, 0x00, 0x00, 0x21};

class SimBed : public ApBed {
public:
    SimBed() : m_pc(plat::SimPc::Install()) {
        plat::SimWlanInterface i;
        i.guid = Guid(1);
        i.description = L"Simulated Wi-Fi";
        m_pc.wlan.AddInterface(i);
        m_pc.wlan.SetHostedNetworkDevice(Guid(9));
    }
    ~SimBed() override { plat::Platform::Uninstall(); }
    plat::WlanLibrary& Library() override { return m_pc.wlan.Library(); }
    GUID InterfaceGuid() override { return Guid(1); }
    GUID DeviceGuid() override { return Guid(9); }
    Mac JoinStation() override {
        m_pc.wlan.PeerJoin(kStation);
        return kStation;
    }
    void LeaveStation() override { m_pc.wlan.PeerLeave(kStation); }
    void EndAccessPoint() override {
        m_pc.wlan.ChangeHostedNetworkState(plat::kWlanHostedNetworkIdle,
                                           plat::kWlanHostedNetworkReasonInterfaceUnavailable);
    }

private:
    static GUID Guid(std::uint8_t n) {
        return GUID{0x51A70000u + n, 1, 2, {3, 4, 5, 6, 7, 8, 9, n}};
    }
    plat::SimPc& m_pc;
};

// Linux: the access point's namespace (this thread) and a station's namespace
// joined by a veth pair; the Linux backend installed.
class LinuxBed : public ApBed {
public:
    LinuxBed(const NetNamespace& station, const std::string& link, const TempDir& dir, bool hostapd)
        : m_station(station), m_link(link), m_dir(dir), m_hostapd(hostapd) {
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(dir.File("registry")));
        m_backend = static_cast<plat::LinuxBackend*>(&plat::Platform::Current());
        plat::LinuxHostedNetworkOptions options;
        options.apInterface = link;
        options.runtimeDir = dir.File("run");
        if (hostapd) {
            dir.Write("eap_user", "\"alice\" MD5 \"secret123\"\n");
            options.eapUserFile = dir.File("eap_user");
        }
        m_backend->HostedNetwork().SetOptions(options);
        nettest::Run("ip addr add 10.77.0.1/24 dev " + link);
        station.Exec(
            "ip link set eth0 address 02:4c:55:00:00:21 && ip addr add 10.77.0.2/24 dev "
            "eth0 && ip link set eth0 up");
    }
    ~LinuxBed() override { plat::Platform::Uninstall(); }

    plat::LinuxBackend& Backend() { return *m_backend; }
    plat::WlanLibrary& Library() override { return m_backend->Wlan(); }
    GUID InterfaceGuid() override { return plat::GuidText::FromName(m_link); }
    GUID DeviceGuid() override { return plat::GuidText::FromName(m_link); }

    Mac JoinStation() override {
        if (m_hostapd) {
            m_dir.Write("wpa.conf",
                        "ctrl_interface=" + m_dir.File("wpa") +
                            "\nap_scan=0\nnetwork={\n key_mgmt=IEEE8021X\n eap=MD5\n"
                            " identity=\"alice\"\n password=\"secret123\"\n eapol_flags=0\n}\n");
            EXPECT_EQ(m_station.Exec("wpa_supplicant -B -D wired -i eth0 -c " +
                                     m_dir.File("wpa.conf") + " >/dev/null"),
                      0);
        } else {
            // Any frame of the station makes it a neighbour of the port.
            m_station.Exec("busybox ping -c 1 -W 1 10.77.0.1 >/dev/null");
        }
        return kStation;
    }
    void LeaveStation() override {
        if (m_hostapd)
            EXPECT_EQ(
                m_station.Exec("wpa_cli -p " + m_dir.File("wpa") + " -i eth0 logoff >/dev/null"),
                0);
        else
            m_station.Exec("ip link set eth0 down");  // the port loses its carrier
    }
    void EndAccessPoint() override {
        if (m_hostapd) {
            std::ifstream in(plat::HostapdAccessPoint::PidPath(m_dir.File("run"), m_link));
            pid_t pid = 0;
            in >> pid;
            ASSERT_GT(pid, 1);
            kill(pid, SIGKILL);
        } else {
            nettest::Run("ip link set " + m_link + " down");
        }
    }

private:
    const NetNamespace& m_station;
    std::string m_link;
    const TempDir& m_dir;
    bool m_hostapd;
    plat::LinuxBackend* m_backend = nullptr;
};

class HostedNetworkContract : public ::testing::TestWithParam<std::string> {
protected:
    void OnBed(const std::function<void(ApBed&)>& body) {
        if (GetParam() == "sim") {
            SimBed bed;
            body(bed);
            return;
        }
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        const bool hostapd = GetParam() == "hostapd";
        if (hostapd && nettest::Run("command -v hostapd wpa_supplicant wpa_cli >/dev/null") != 0)
            GTEST_SKIP() << "needs hostapd and wpa_supplicant";
        TempDir dir;
        NetNamespace ap("ap");
        NetNamespace station("st");
        ASSERT_TRUE(ap.Created() && station.Created());
        const std::string link = nettest::UniqueName("ap");
        ASSERT_EQ(nettest::Run("ip link add " + link + " netns " + ap.Name() +
                               " type veth peer name eth0 netns " + station.Name()),
                  0);
        ASSERT_TRUE(ap.RunInside([&] {
            LinuxBed bed(station, link, dir, hostapd);
            body(bed);
        }));
    }

    // A client handle of the library registered for hosted-network notifications.
    struct Client {
        explicit Client(plat::WlanLibrary& library) : lib(library) {
            DWORD negotiated = 0;
            EXPECT_EQ(lib.OpenHandle(plat::kWlanClientVersionVista, &negotiated, &handle), 0u);
            EXPECT_EQ(lib.RegisterNotification(handle, plat::kWlanNotificationSourceHnwk,
                                               &Notes::Callback, &notes, nullptr),
                      0u);
        }
        ~Client() { lib.CloseHandle(handle); }

        void Configure() {
            plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS s{};
            const char ssid[] = "Lumari Test";
            std::memcpy(s.hostedNetworkSSID.ucSSID, ssid, sizeof ssid - 1);
            s.hostedNetworkSSID.uSSIDLength = sizeof ssid - 1;
            s.dwMaxNumberOfPeers = 8;
            plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
            EXPECT_EQ(
                lib.HostedSetProperty(handle, plat::kWlanHostedNetworkOpcodeConnectionSettings,
                                      sizeof s, &s, &reason),
                0u);
            const plat::UCHAR key[] = "secret123";
            EXPECT_EQ(lib.HostedSetSecondaryKey(handle, sizeof key, key, 1, 1, &reason), 0u);
        }
        DWORD Start() {
            plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
            return lib.HostedForceStart(handle, &reason, "WlanHostedNetworkForceStart");
        }
        DWORD Stop() {
            plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
            return lib.HostedForceStop(handle, &reason, "WlanHostedNetworkForceStop");
        }
        DWORD Enable(bool on) {
            const plat::BOOL v = on ? 1 : 0;
            plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
            return lib.HostedSetProperty(handle, plat::kWlanHostedNetworkOpcodeEnable, sizeof v, &v,
                                         &reason);
        }
        // The status as the library hands it out (and takes it back).
        plat::WLAN_HOSTED_NETWORK_STATE State(GUID* device = nullptr,
                                              std::vector<Mac>* peers = nullptr) {
            plat::WLAN_HOSTED_NETWORK_STATUS* status = nullptr;
            EXPECT_EQ(lib.HostedQueryStatus(handle, &status), 0u);
            if (status == nullptr)
                return 0;
            const plat::WLAN_HOSTED_NETWORK_STATE state = status->HostedNetworkState;
            if (device != nullptr)
                *device = status->IPDeviceID;
            if (peers != nullptr) {
                peers->clear();
                for (DWORD i = 0; i < status->dwNumberOfPeers; ++i) {
                    Mac m;
                    std::memcpy(m.data(), status->PeerList[i].PeerMacAddress, 6);
                    if (status->PeerList[i].PeerAuthState ==
                        plat::kWlanHostedNetworkPeerStateAuthenticated)
                        peers->push_back(m);
                }
            }
            lib.FreeMemory(status);
            return state;
        }

        plat::WlanLibrary& lib;
        plat::HANDLE handle = nullptr;
        Notes notes;
    };
};

TEST_P(HostedNetworkContract, ListsTheInterfaceThatCanHostTheNetworkWithItsRadioOn) {
    OnBed([](ApBed& bed) {
        Client c(bed.Library());
        plat::WLAN_INTERFACE_INFO_LIST* list = nullptr;
        ASSERT_EQ(c.lib.EnumInterfaces(c.handle, &list), 0u);
        ASSERT_EQ(list->dwNumberOfItems, 1u);
        EXPECT_EQ(list->InterfaceInfo[0].InterfaceGuid, bed.InterfaceGuid());
        c.lib.FreeMemory(list);

        const GUID guid = bed.InterfaceGuid();
        DWORD size = 0;
        plat::PVOID data = nullptr;
        ASSERT_EQ(c.lib.QueryInterface(c.handle, &guid, plat::kWlanIntfOpcodeHostedNetworkCapable,
                                       &size, &data, nullptr),
                  0u);
        plat::BOOL capable = 0;
        std::memcpy(&capable, data, sizeof capable);
        EXPECT_EQ(capable, 1);
        c.lib.FreeMemory(data);

        ASSERT_EQ(c.lib.QueryInterface(c.handle, &guid, plat::kWlanIntfOpcodeRadioState, &size,
                                       &data, nullptr),
                  0u);
        plat::WLAN_RADIO_STATE radio{};
        std::memcpy(&radio, data, std::min<std::size_t>(size, sizeof radio));
        ASSERT_GE(radio.dwNumberOfPhys, 1u);
        EXPECT_EQ(radio.PhyRadioState[0].dot11SoftwareRadioState, plat::kDot11RadioStateOn);
        EXPECT_EQ(radio.PhyRadioState[0].dot11HardwareRadioState, plat::kDot11RadioStateOn);
        c.lib.FreeMemory(data);
        EXPECT_EQ(c.lib.OutstandingAllocations(), 0u);
    });
}

TEST_P(HostedNetworkContract, StartsWithItsSettingsAndStops) {
    OnBed([](ApBed& bed) {
        Client c(bed.Library());
        c.Configure();
        DWORD size = 0;
        plat::PVOID data = nullptr;
        plat::WLAN_OPCODE_VALUE_TYPE type = 0;
        ASSERT_EQ(
            c.lib.HostedQueryProperty(c.handle, plat::kWlanHostedNetworkOpcodeConnectionSettings,
                                      &size, &data, &type),
            0u);
        plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS s{};
        std::memcpy(&s, data, sizeof s);
        c.lib.FreeMemory(data);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.hostedNetworkSSID.ucSSID),
                              s.hostedNetworkSSID.uSSIDLength),
                  "Lumari Test");
        EXPECT_EQ(s.dwMaxNumberOfPeers, 8u);

        EXPECT_EQ(c.State(), plat::kWlanHostedNetworkIdle);
        ASSERT_EQ(c.Start(), 0u);
        EXPECT_TRUE(
            c.notes.WaitState(plat::kWlanHostedNetworkIdle, plat::kWlanHostedNetworkActive));
        GUID device{};
        std::vector<Mac> peers;
        EXPECT_EQ(c.State(&device, &peers), plat::kWlanHostedNetworkActive);
        EXPECT_EQ(device, bed.DeviceGuid());
        EXPECT_TRUE(peers.empty());
        // A second start of a running network changes nothing.
        EXPECT_EQ(c.Start(), 0u);

        EXPECT_EQ(c.Stop(), 0u);
        EXPECT_TRUE(
            c.notes.WaitState(plat::kWlanHostedNetworkActive, plat::kWlanHostedNetworkIdle));
        EXPECT_EQ(c.State(), plat::kWlanHostedNetworkIdle);
        EXPECT_EQ(c.lib.OutstandingAllocations(), 0u);
    });
}

TEST_P(HostedNetworkContract, ReportsStationsJoiningAndLeaving) {
    OnBed([](ApBed& bed) {
        Client c(bed.Library());
        c.Configure();
        ASSERT_EQ(c.Start(), 0u);
        const Mac mac = bed.JoinStation();
        EXPECT_TRUE(c.notes.WaitPeer(mac, plat::kWlanHostedNetworkPeerStateAuthenticated));
        std::vector<Mac> peers;
        c.State(nullptr, &peers);
        EXPECT_EQ(peers, std::vector<Mac>{mac});

        bed.LeaveStation();
        EXPECT_TRUE(c.notes.WaitPeer(mac, plat::kWlanHostedNetworkPeerStateInvalid));
        c.State(nullptr, &peers);
        EXPECT_TRUE(peers.empty());
        EXPECT_EQ(c.Stop(), 0u);
    });
}

TEST_P(HostedNetworkContract, ReportsTheAccessPointEndingFromOutsideAndStartsAgain) {
    OnBed([](ApBed& bed) {
        Client c(bed.Library());
        c.Configure();
        ASSERT_EQ(c.Start(), 0u);
        ASSERT_TRUE(
            c.notes.WaitState(plat::kWlanHostedNetworkIdle, plat::kWlanHostedNetworkActive));
        bed.EndAccessPoint();
        EXPECT_TRUE(
            c.notes.WaitState(plat::kWlanHostedNetworkActive, plat::kWlanHostedNetworkIdle));
        EXPECT_EQ(c.State(), plat::kWlanHostedNetworkIdle);

        ASSERT_EQ(c.Start(), 0u);
        EXPECT_TRUE(
            c.notes.WaitState(plat::kWlanHostedNetworkIdle, plat::kWlanHostedNetworkActive));
        EXPECT_EQ(c.Stop(), 0u);
    });
}

TEST_P(HostedNetworkContract, DisabledNetworkIsUnavailableAndRefusesToStart) {
    OnBed([](ApBed& bed) {
        Client c(bed.Library());
        c.Configure();
        ASSERT_EQ(c.Start(), 0u);
        // Disabling a running network takes it down at once.
        ASSERT_EQ(c.Enable(false), 0u);
        EXPECT_TRUE(
            c.notes.WaitState(plat::kWlanHostedNetworkActive, plat::kWlanHostedNetworkUnavailable));
        EXPECT_EQ(c.State(), plat::kWlanHostedNetworkUnavailable);
        EXPECT_EQ(c.Start(), plat::kErrorInvalidState);

        ASSERT_EQ(c.Enable(true), 0u);
        EXPECT_TRUE(
            c.notes.WaitState(plat::kWlanHostedNetworkUnavailable, plat::kWlanHostedNetworkIdle));
        EXPECT_EQ(c.Start(), 0u);
        EXPECT_EQ(c.Stop(), 0u);
    });
}

INSTANTIATE_TEST_SUITE_P(Beds, HostedNetworkContract, ::testing::Values("sim", "wired", "hostapd"));

}  // namespace
