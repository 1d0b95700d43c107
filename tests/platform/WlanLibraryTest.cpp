// The Native Wi-Fi library layer over the simulated PC's hosted network, called
// as a Windows program calls wlanapi.dll: through the module table, by name,
// with the Windows signatures.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SimTest.h"
#include "platform/records/WlanTypes.h"
#include "platform/sim/SimPc.h"
#include "platform/text/TextCodec.h"
#include "platform/vendor/Calvory.h"
#include "platform/vendor/Dunmere.h"

namespace {

using namespace plat;

constexpr GUID kRadio = {0x5A1D0001, 0x1111, 0x2222, {0x33, 0x44, 0, 0, 0, 0, 0, 1}};
constexpr GUID kVirtual = {0x5A1D0063, 0x1111, 0x2222, {0x33, 0x44, 0, 0, 0, 0, 0, 99}};
const char kVirtualId[] = "{5d624f94-8850-40c3-a3fa-a4fd2080baf3}\\vwifimp";
const char kRadioId[] = "PCI\\VEN_8086&DEV_4238\\1";

// A client of the library: its entry points, found by name.
struct Client {
    template <class F>
    F Fn(const char* name) {
        return reinterpret_cast<F>(SimPc::Current()->modules.Find(module, name));
    }
    HMODULE module = SimPc::Current()->modules.Load(L"wlanapi.dll");
    PFN_WlanOpenHandle open = Fn<PFN_WlanOpenHandle>("WlanOpenHandle");
    PFN_WlanCloseHandle close = Fn<PFN_WlanCloseHandle>("WlanCloseHandle");
    PFN_WlanRegisterNotification registerNotification =
        Fn<PFN_WlanRegisterNotification>("WlanRegisterNotification");
    PFN_WlanFreeMemory free = Fn<PFN_WlanFreeMemory>("WlanFreeMemory");
    PFN_WlanEnumInterfaces enumInterfaces = Fn<PFN_WlanEnumInterfaces>("WlanEnumInterfaces");
    PFN_WlanQueryInterface queryInterface = Fn<PFN_WlanQueryInterface>("WlanQueryInterface");
    PFN_WlanSetInterface setInterface = Fn<PFN_WlanSetInterface>("WlanSetInterface");
    PFN_WlanGetInterfaceCapability capability =
        Fn<PFN_WlanGetInterfaceCapability>("WlanGetInterfaceCapability");
    PFN_WlanGetProfileList profiles = Fn<PFN_WlanGetProfileList>("WlanGetProfileList");
    PFN_WlanDisconnect disconnect = Fn<PFN_WlanDisconnect>("WlanDisconnect");
    PFN_WlanSetProfile setProfile = Fn<PFN_WlanSetProfile>("WlanSetProfile");
    PFN_WlanHostedNetworkForceStart start =
        Fn<PFN_WlanHostedNetworkForceStart>("WlanHostedNetworkForceStart");
    PFN_WlanHostedNetworkForceStop stop =
        Fn<PFN_WlanHostedNetworkForceStop>("WlanHostedNetworkForceStop");
    PFN_WlanHostedNetworkQueryStatus status =
        Fn<PFN_WlanHostedNetworkQueryStatus>("WlanHostedNetworkQueryStatus");
    PFN_WlanHostedNetworkQueryProperty queryProperty =
        Fn<PFN_WlanHostedNetworkQueryProperty>("WlanHostedNetworkQueryProperty");
    PFN_WlanHostedNetworkSetProperty setProperty =
        Fn<PFN_WlanHostedNetworkSetProperty>("WlanHostedNetworkSetProperty");
    PFN_WlanHostedNetworkSetSecondaryKey setKey =
        Fn<PFN_WlanHostedNetworkSetSecondaryKey>("WlanHostedNetworkSetSecondaryKey");
    PFN_WlanHostedNetworkQuerySecondaryKey queryKey =
        Fn<PFN_WlanHostedNetworkQuerySecondaryKey>("WlanHostedNetworkQuerySecondaryKey");
    PFN_WlanHostedNetworkInitSettings initSettings =
        Fn<PFN_WlanHostedNetworkInitSettings>("WlanHostedNetworkInitSettings");
    PFN_WlanHostedNetworkRefreshSecuritySettings refresh =
        Fn<PFN_WlanHostedNetworkRefreshSecuritySettings>(
            "WlanHostedNetworkRefreshSecuritySettings");

    ~Client() { SimPc::Current()->modules.Free(module); }

    HANDLE Open(DWORD version = kWlanClientVersionVista) {
        DWORD negotiated = 0;
        HANDLE h = nullptr;
        EXPECT_EQ(open(version, nullptr, &negotiated, &h), 0u);
        EXPECT_EQ(negotiated, version);
        return h;
    }
    WLAN_HOSTED_NETWORK_STATE State(HANDLE h) {
        WLAN_HOSTED_NETWORK_STATUS* s = nullptr;
        EXPECT_EQ(status(h, &s, nullptr), 0u);
        const WLAN_HOSTED_NETWORK_STATE state = s != nullptr ? s->HostedNetworkState : 99;
        free(s);
        return state;
    }
    DWORD SetSsid(HANDLE h, const char* ssid, DWORD peers = 8) {
        WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS settings{};
        settings.hostedNetworkSSID.uSSIDLength = static_cast<ULONG>(std::strlen(ssid));
        std::memcpy(settings.hostedNetworkSSID.ucSSID, ssid, std::strlen(ssid));
        settings.dwMaxNumberOfPeers = peers;
        WLAN_HOSTED_NETWORK_REASON reason = 0;
        return setProperty(h, kWlanHostedNetworkOpcodeConnectionSettings, sizeof settings,
                           &settings, &reason, nullptr);
    }
    DWORD SetPassphrase(HANDLE h, const std::string& key) {
        std::vector<UCHAR> bytes(key.begin(), key.end());
        bytes.push_back(0);
        WLAN_HOSTED_NETWORK_REASON reason = 0;
        return setKey(h, static_cast<DWORD>(bytes.size()), bytes.data(), TRUE_, TRUE_, &reason,
                      nullptr);
    }
    DWORD Allow(HANDLE h, bool allowed) {
        BOOL v = allowed ? TRUE_ : FALSE_;
        WLAN_HOSTED_NETWORK_REASON reason = 0;
        return setProperty(h, kWlanHostedNetworkOpcodeEnable, sizeof v, &v, &reason, nullptr);
    }
    DWORD SoftRadio(HANDLE h, DOT11_RADIO_STATE state) {
        WLAN_PHY_RADIO_STATE phy{0, state, kDot11RadioStateOn};
        return setInterface(h, &kRadio, kWlanIntfOpcodeRadioState, sizeof phy, &phy, nullptr);
    }
};

// Hosted-network notifications as they arrive on the library's thread.
class Recorder {
public:
    struct Change {
        DWORD code;
        DWORD from;
        DWORD to;
        DWORD reason;
    };
    static void LUMARI_WINAPI Callback(WLAN_NOTIFICATION_DATA* data, PVOID context) {
        auto* self = static_cast<Recorder*>(context);
        Change c{data->NotificationCode, 0, 0, 0};
        if (data->NotificationCode == kWlanHostedNetworkStateChange &&
            data->dwDataSize == sizeof(WLAN_HOSTED_NETWORK_STATE_CHANGE)) {
            WLAN_HOSTED_NETWORK_STATE_CHANGE s{};
            std::memcpy(&s, data->pData, sizeof s);
            c = {data->NotificationCode, s.OldState, s.NewState, s.StateChangeReason};
        } else if (data->NotificationCode == kWlanHostedNetworkRadioStateChange &&
                   data->dwDataSize == sizeof(WLAN_HOSTED_NETWORK_RADIO_STATE)) {
            WLAN_HOSTED_NETWORK_RADIO_STATE r{};
            std::memcpy(&r, data->pData, sizeof r);
            c = {data->NotificationCode, r.dot11SoftwareRadioState, r.dot11HardwareRadioState, 0};
        }
        std::lock_guard<std::mutex> g(self->m_lock);
        self->m_changes.push_back(c);
    }
    std::vector<Change> Changes() {
        EXPECT_TRUE(SimPc::Current()->wlan.WaitDelivered());
        std::lock_guard<std::mutex> g(m_lock);
        return m_changes;
    }
    void Clear() {
        EXPECT_TRUE(SimPc::Current()->wlan.WaitDelivered());
        std::lock_guard<std::mutex> g(m_lock);
        m_changes.clear();
    }

private:
    std::mutex m_lock;
    std::vector<Change> m_changes;
};

bool operator==(const Recorder::Change& a, const Recorder::Change& b) {
    return a.code == b.code && a.from == b.from && a.to == b.to && a.reason == b.reason;
}
std::ostream& operator<<(std::ostream& os, const Recorder::Change& c) {
    return os << "{" << std::hex << c.code << std::dec << " " << c.from << "->" << c.to << " "
              << c.reason << "}";
}

Recorder::Change StateChange(DWORD from, DWORD to, DWORD reason) {
    return {kWlanHostedNetworkStateChange, from, to, reason};
}

class WlanLibraryTest : public SimTest {
protected:
    SimWlan& Wlan() { return Pc().wlan; }
    static SimWlanInterface Radio() {
        SimWlanInterface i;
        i.guid = kRadio;
        i.description = L"Intel Centrino";
        return i;
    }
    static SimDevice Adapter(const char* id, const GUID& guid, bool enabled) {
        SimDevice d;
        d.id = id;
        d.wireless = true;
        d.enabled = enabled;
        d.interfaceGuid = guid;
        return d;
    }
    // A PC whose hosted network can run: a capable radio, its adapter and
    // the virtual adapter enabled; a client registered for its notifications.
    HANDLE Ready() {
        Wlan().AddInterface(Radio());
        Wlan().SetHostedNetworkDevice(kVirtual);
        Pc().devices.Add(Adapter(kRadioId, kRadio, true));
        Pc().devices.Add(Adapter(kVirtualId, kVirtual, true));
        HANDLE h = C().Open();
        EXPECT_EQ(C().registerNotification(h, kWlanNotificationSourceHnwk, TRUE_,
                                           &Recorder::Callback, &m_recorder, nullptr, nullptr),
                  0u);
        return h;
    }
    HANDLE Active() {
        HANDLE h = Ready();
        EXPECT_EQ(C().SetSsid(h, "Lumari"), 0u);
        EXPECT_EQ(C().SetPassphrase(h, "password1"), 0u);
        WLAN_HOSTED_NETWORK_REASON reason = 9;
        EXPECT_EQ(C().start(h, &reason, nullptr), 0u);
        EXPECT_EQ(C().State(h), kWlanHostedNetworkActive);
        m_recorder.Clear();
        return h;
    }
    void SetUp() override {
        SimTest::SetUp();
        m_clientOwner = std::make_unique<Client>();
    }
    void TearDown() override {
        m_clientOwner.reset();
        EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
        EXPECT_EQ(Wlan().BadFrees(), 0u);
        SimTest::TearDown();
    }
    Client& C() { return *m_clientOwner; }
    std::unique_ptr<Client> m_clientOwner;
    Recorder m_recorder;
};

TEST_F(WlanLibraryTest, TheHostedNetworkIsUnavailableUntilItHasWhatItNeeds) {
    HANDLE h = C().Open();
    // No wireless interface at all.
    EXPECT_EQ(C().State(h), kWlanHostedNetworkUnavailable);
    WLAN_HOSTED_NETWORK_REASON reason = 0;
    EXPECT_EQ(C().start(h, &reason, nullptr), kErrorInvalidState);
    EXPECT_EQ(reason, kWlanHostedNetworkReasonInterfaceUnavailable);

    // An interface with its radio off, then on.
    SimWlanInterface radio = Radio();
    radio.phys[0].software = kDot11RadioStateOff;
    Wlan().AddInterface(radio);
    EXPECT_EQ(C().State(h), kWlanHostedNetworkUnavailable);
    ASSERT_EQ(C().SoftRadio(h, kDot11RadioStateOn), 0u);
    EXPECT_EQ(C().State(h), kWlanHostedNetworkIdle);

    // Its adapter disabled in the device table: the interface is gone too.
    Pc().devices.Add(Adapter(kRadioId, kRadio, false));
    EXPECT_EQ(C().State(h), kWlanHostedNetworkUnavailable);
    WLAN_INTERFACE_INFO_LIST* list = nullptr;
    ASSERT_EQ(C().enumInterfaces(h, nullptr, &list), 0u);
    EXPECT_EQ(list->dwNumberOfItems, 0u);
    C().free(list);
    int restart = 0;
    ASSERT_EQ(dunmere::EnableDevice(kRadioId, &restart), 1);
    EXPECT_EQ(C().State(h), kWlanHostedNetworkIdle);

    // The virtual adapter disabled.
    Wlan().SetHostedNetworkDevice(kVirtual);
    Pc().devices.Add(Adapter(kVirtualId, kVirtual, false));
    EXPECT_EQ(C().State(h), kWlanHostedNetworkUnavailable);
    EXPECT_EQ(C().start(h, &reason, nullptr), kErrorInvalidState);
    EXPECT_EQ(reason, kWlanHostedNetworkReasonMiniportStopped);
    ASSERT_EQ(dunmere::EnableDevice(kVirtualId, &restart), 1);
    EXPECT_EQ(C().State(h), kWlanHostedNetworkIdle);

    // The mode disallowed, then allowed.
    ASSERT_EQ(C().Allow(h, false), 0u);
    EXPECT_EQ(C().State(h), kWlanHostedNetworkUnavailable);
    ASSERT_EQ(C().Allow(h, true), 0u);
    EXPECT_EQ(C().State(h), kWlanHostedNetworkIdle);
    C().close(h, nullptr);
}

TEST_F(WlanLibraryTest, DisablingTheVirtualAdapterTakesAnActiveNetworkDown) {
    HANDLE h = Active();
    int restart = 0;
    ASSERT_EQ(dunmere::DisableDevice(kVirtualId, &restart), 1);
    EXPECT_EQ(m_recorder.Changes(), (std::vector<Recorder::Change>{StateChange(
                                        kWlanHostedNetworkActive, kWlanHostedNetworkUnavailable,
                                        kWlanHostedNetworkReasonMiniportStopped)}));
    ASSERT_EQ(dunmere::EnableDevice(kVirtualId, &restart), 1);
    EXPECT_EQ(m_recorder.Changes().back(),
              StateChange(kWlanHostedNetworkUnavailable, kWlanHostedNetworkIdle,
                          kWlanHostedNetworkReasonMiniportStarted));
    C().close(h, nullptr);
}

TEST_F(WlanLibraryTest, TurningTheRadioOffTakesAnActiveNetworkDown) {
    HANDLE h = Active();
    ASSERT_EQ(C().SoftRadio(h, kDot11RadioStateOff), 0u);
    EXPECT_EQ(m_recorder.Changes(),
              (std::vector<Recorder::Change>{
                  {kWlanHostedNetworkRadioStateChange, kDot11RadioStateOff, kDot11RadioStateOn, 0},
                  StateChange(kWlanHostedNetworkActive, kWlanHostedNetworkUnavailable,
                              kWlanHostedNetworkReasonInterfaceUnavailable)}));
    C().close(h, nullptr);
}

TEST_F(WlanLibraryTest, StoppingTheServiceTakesAnActiveNetworkDownAndEveryHandleWithIt) {
    HANDLE h = Active();
    ASSERT_EQ(calvory::StopServiceByName("WlanSvc"), 1);
    EXPECT_EQ(m_recorder.Changes(), (std::vector<Recorder::Change>{StateChange(
                                        kWlanHostedNetworkActive, kWlanHostedNetworkUnavailable,
                                        kWlanHostedNetworkReasonServiceShuttingDown)}));
    EXPECT_EQ(Wlan().Registrations(), 0u);
    DWORD negotiated = 0;
    HANDLE none = nullptr;
    EXPECT_EQ(C().open(kWlanClientVersionVista, nullptr, &negotiated, &none),
              kErrorServiceNotActive);
    EXPECT_EQ(C().close(h, nullptr), kErrorInvalidHandle);
}

TEST_F(WlanLibraryTest, AfterTheServiceRestartedEveryCallWithAnOldHandleAnswers6) {
    HANDLE old = Active();
    ASSERT_EQ(calvory::StopServiceByName("WlanSvc"), 1);
    ASSERT_EQ(calvory::StartServiceByName("WlanSvc"), 1);

    WLAN_HOSTED_NETWORK_REASON reason = 0;
    DWORD size = 0;
    PVOID data = nullptr;
    WLAN_OPCODE_VALUE_TYPE type = 0;
    WLAN_INTERFACE_INFO_LIST* list = nullptr;
    WLAN_INTERFACE_CAPABILITY* capability = nullptr;
    WLAN_PROFILE_INFO_LIST* profiles = nullptr;
    WLAN_HOSTED_NETWORK_STATUS* status = nullptr;
    DWORD length = 0;
    UCHAR* key = nullptr;
    BOOL passPhrase = 0, persistent = 0;
    const std::vector<std::pair<const char*, DWORD>> answers = {
        {"WlanRegisterNotification",
         C().registerNotification(old, kWlanNotificationSourceHnwk, TRUE_, &Recorder::Callback,
                                  &m_recorder, nullptr, nullptr)},
        {"WlanEnumInterfaces", C().enumInterfaces(old, nullptr, &list)},
        {"WlanQueryInterface",
         C().queryInterface(old, &kRadio, kWlanIntfOpcodeRadioState, nullptr, &size, &data, &type)},
        {"WlanSetInterface", C().SoftRadio(old, kDot11RadioStateOn)},
        {"WlanGetInterfaceCapability", C().capability(old, &kRadio, nullptr, &capability)},
        {"WlanGetProfileList", C().profiles(old, &kRadio, nullptr, &profiles)},
        {"WlanDisconnect", C().disconnect(old, &kRadio, nullptr)},
        {"WlanHostedNetworkInitSettings", C().initSettings(old, &reason, nullptr)},
        {"WlanHostedNetworkForceStart", C().start(old, &reason, nullptr)},
        {"WlanHostedNetworkForceStop", C().stop(old, &reason, nullptr)},
        {"WlanHostedNetworkQueryStatus", C().status(old, &status, nullptr)},
        {"WlanHostedNetworkQueryProperty",
         C().queryProperty(old, kWlanHostedNetworkOpcodeEnable, &size, &data, &type, nullptr)},
        {"WlanHostedNetworkSetProperty", C().Allow(old, true)},
        {"WlanHostedNetworkSetSecondaryKey", C().SetPassphrase(old, "password2")},
        {"WlanHostedNetworkQuerySecondaryKey",
         C().queryKey(old, &length, &key, &passPhrase, &persistent, &reason, nullptr)},
        {"WlanHostedNetworkRefreshSecuritySettings", C().refresh(old, &reason, nullptr)},
        {"WlanCloseHandle", C().close(old, nullptr)},
    };
    for (const auto& [function, answer] : answers)
        EXPECT_EQ(answer, kErrorInvalidHandle) << function;

    // A new handle works, and finds the network idle again.
    HANDLE fresh = C().Open();
    EXPECT_EQ(C().State(fresh), kWlanHostedNetworkIdle);
    C().close(fresh, nullptr);
}

TEST_F(WlanLibraryTest, SettingsSetWhileActiveTakeEffectAtTheNextStart) {
    HANDLE h = Active();
    const std::array<UCHAR, 6> phone = {0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f};
    ASSERT_EQ(C().SetSsid(h, "Renamed"), 0u);
    ASSERT_EQ(C().SetPassphrase(h, "password2"), 0u);
    // Asked, the system answers what was set...
    EXPECT_EQ(Wlan().HostedNetworkSettings().hostedNetworkSSID.uSSIDLength, 7u);
    // ...but the running network is the one that was started.
    EXPECT_EQ(Wlan().RunningSettings().hostedNetworkSSID.uSSIDLength, 6u);
    EXPECT_FALSE(Wlan().StationConnects(phone, "Renamed", "password2"));
    EXPECT_FALSE(Wlan().StationConnects(phone, "Lumari", "password2"));
    EXPECT_TRUE(Wlan().StationConnects(phone, "Lumari", "password1"));

    WLAN_HOSTED_NETWORK_REASON reason = 0;
    ASSERT_EQ(C().stop(h, &reason, nullptr), 0u);
    EXPECT_FALSE(Wlan().StationConnects(phone, "Lumari", "password1"));
    ASSERT_EQ(C().start(h, &reason, nullptr), 0u);
    EXPECT_FALSE(Wlan().StationConnects(phone, "Lumari", "password1"));
    EXPECT_TRUE(Wlan().StationConnects(phone, "Renamed", "password2"));
    C().close(h, nullptr);
}

TEST_F(WlanLibraryTest, AStationBeyondThePeerLimitIsNotLetIn) {
    HANDLE h = Ready();
    ASSERT_EQ(C().SetSsid(h, "Lumari", 1), 0u);
    ASSERT_EQ(C().SetPassphrase(h, "password1"), 0u);
    WLAN_HOSTED_NETWORK_REASON reason = 0;
    ASSERT_EQ(C().start(h, &reason, nullptr), 0u);
    EXPECT_TRUE(Wlan().StationConnects({1, 2, 3, 4, 5, 6}, "Lumari", "password1"));
    EXPECT_FALSE(Wlan().StationConnects({1, 2, 3, 4, 5, 7}, "Lumari", "password1"));
    C().close(h, nullptr);
}

TEST_F(WlanLibraryTest, ClientVersionIsNegotiatedAsEachWindowsDoes) {
    Wlan().AddInterface(Radio());
    DWORD negotiated = 0;
    HANDLE h = nullptr;
    // Only versions 1 and 2 exist.
    EXPECT_EQ(C().open(3, nullptr, &negotiated, &h), kErrorInvalidParameter);

    // Windows 7 answers with the version asked for; on a version-1 handle
    // the calls XP's library does not have are not supported.
    HANDLE xp = C().Open(kWlanClientVersionXp);
    WLAN_HOSTED_NETWORK_REASON reason = 0;
    EXPECT_EQ(C().start(xp, &reason, nullptr), kErrorNotSupported);
    WLAN_HOSTED_NETWORK_STATUS* status = nullptr;
    EXPECT_EQ(C().status(xp, &status, nullptr), kErrorNotSupported);
    WLAN_INTERFACE_CAPABILITY* capability = nullptr;
    EXPECT_EQ(C().capability(xp, &kRadio, nullptr, &capability), kErrorNotSupported);
    WLAN_INTERFACE_INFO_LIST* list = nullptr;
    ASSERT_EQ(C().enumInterfaces(xp, nullptr, &list), 0u);
    C().free(list);
    C().close(xp, nullptr);

    // XP's library speaks version 1 only and refuses 2.
    Wlan().SetVersion(SimWlanVersion::Xp);
    Client onXp;
    EXPECT_EQ(onXp.open(kWlanClientVersionVista, nullptr, &negotiated, &h), kErrorInvalidParameter);
    HANDLE one = onXp.Open(kWlanClientVersionXp);
    onXp.close(one, nullptr);

    // Vista's speaks both.
    Wlan().SetVersion(SimWlanVersion::Vista);
    Client onVista;
    onVista.close(onVista.Open(kWlanClientVersionXp), nullptr);
    onVista.close(onVista.Open(kWlanClientVersionVista), nullptr);
}

TEST_F(WlanLibraryTest, ANotificationReachesOnlyTheClientsRegisteredWhenItHappened) {
    Wlan().AddInterface(Radio());  // unavailable -> idle, before anyone listens
    HANDLE h = C().Open();
    ASSERT_EQ(C().registerNotification(h, kWlanNotificationSourceHnwk, TRUE_, &Recorder::Callback,
                                       &m_recorder, nullptr, nullptr),
              0u);
    EXPECT_TRUE(m_recorder.Changes().empty());
    ASSERT_EQ(C().Allow(h, false), 0u);
    EXPECT_EQ(m_recorder.Changes(), (std::vector<Recorder::Change>{StateChange(
                                        kWlanHostedNetworkIdle, kWlanHostedNetworkUnavailable,
                                        kWlanHostedNetworkReasonPropertiesChange)}));
    C().close(h, nullptr);
}

}  // namespace

namespace {

// An ad-hoc profile whose security part is `security`, as the program writes one.
std::wstring Profile(const std::wstring& security) {
    return L"<?xml version=\"1.0\"?><WLANProfile><name>Lumari</name><SSIDConfig><SSID><name>"
           L"Lumari</name></SSID></SSIDConfig><connectionType>IBSS</connectionType><MSM>"
           L"<security>" +
           security + L"</security></MSM></WLANProfile>";
}

std::wstring Wep(const std::wstring& key, const wchar_t* keyType = L"networkKey",
                 const wchar_t* isProtected = L"false") {
    return L"<authEncryption><authentication>open</authentication><encryption>WEP</encryption>"
           L"<useOneX>false</useOneX></authEncryption><sharedKey><keyType>" +
           std::wstring(keyType) + L"</keyType><protected>" + isProtected +
           L"</protected><keyMaterial>" + key + L"</keyMaterial></sharedKey>";
}

std::wstring Wpa(const std::wstring& key, const wchar_t* keyType) {
    return L"<authEncryption><authentication>WPA2PSK</authentication><encryption>AES</encryption>"
           L"<useOneX>false</useOneX></authEncryption><sharedKey><keyType>" +
           std::wstring(keyType) + L"</keyType><protected>false</protected><keyMaterial>" + key +
           L"</keyMaterial></sharedKey>";
}

}  // namespace

// Windows refuses a profile whose clear-text key the cipher cannot take, with
// "bad profile" and the key-length reason; the simulated PC must not be kinder.
TEST_F(WlanLibraryTest, AProfileWhoseKeyTheCipherCannotTakeIsRefused) {
    Wlan().AddInterface(Radio());
    HANDLE h = C().Open();
    auto set = [&](const std::wstring& security, DWORD* reason) {
        const std::u16string xml = TextCodec::ToUtf16(Profile(security));
        *reason = 77;
        return C().setProfile(h, &kRadio, 0, reinterpret_cast<LPCWSTR>(xml.c_str()), nullptr, TRUE_,
                              nullptr, reason);
    };
    DWORD reason = 0;
    for (const std::wstring& good :
         {Wep(L"abcde"), Wep(L"abcdefghijklm"), Wep(L"12345ABCDE"),
          Wep(L"0123456789abcdef0123456789"), Wep(L"a&amp;b&lt;c"),
          Wep(L"AQID", L"networkKey", L"true"), Wpa(L"password", L"passPhrase"),
          Wpa(std::wstring(64, L'f'), L"networkKey"),
          std::wstring(L"<authEncryption><authentication>open</authentication><encryption>none"
                       L"</encryption><useOneX>false</useOneX></authEncryption>")}) {
        EXPECT_EQ(set(good, &reason), 0u) << TextCodec::WideToUtf8(good);
        EXPECT_EQ(reason, 0u);
    }
    for (const std::wstring& bad :
         {Wep(L"password1"), Wep(L"abcd"), Wep(L"12345ABCDG"), Wep(L"abcde", L"passPhrase"),
          Wpa(L"passwor", L"passPhrase"), Wpa(std::wstring(64, L'g'), L"networkKey"),
          Wpa(std::wstring(64, L'p'), L"passPhrase")}) {
        EXPECT_EQ(set(bad, &reason), 1206u) << TextCodec::WideToUtf8(bad);
        EXPECT_EQ(reason, 0x40003u);
    }
    C().close(h, nullptr);
}
