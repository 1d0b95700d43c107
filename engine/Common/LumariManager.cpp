#include "LumariManager.h"

#include <glog/logging.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwctype>

#include "Common/Interruption.h"
#include "Common/LumariConfig.h"
#include "Common/LumariLog.h"
#include "Common/StringConv.h"
#include "Common/WinVersion.h"
#include "Dhcp/DhcpManager.h"
#include "Environment/NicDeviceManager.h"
#include "Environment/ServiceManager.h"
#include "Share/ShareManager.h"
#include "Wlan/MobileHotspotManager.h"
#include "Wlan/WiFiCreator.h"
#include "pellion/Pellion.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/socket/UdpSocket.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/MacText.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

namespace {

using namespace std::chrono_literals;

// A client the driver has not reported for this long has left.
constexpr std::int64_t kClientTimeoutSeconds = 120;

// The DNS servers every client gets when the upstream names none, and the one
// added when it is missing.
const char kDefaultDns[] = "114.114.114.114,8.8.8.8";
const char kFallbackDns[] = "114.114.114.114";

// The descriptions of the hosted network's virtual adapter, in the languages
// Windows names it in.
const wchar_t* const kVirtualAdapterNames[] = {
    L"Microsoft 托管网络虚拟适配器", L"Microsoft Virtual WiFi Miniport Adapter",
    L"Microsoft 主控網路虛擬介面卡", L"Microsoft Hosted Network Virtual Adapter"};

bool IsNull(const plat::GUID& g) {
    return g == plat::GUID_NULL_;
}

std::string Utf8(const std::wstring& text) {
    return plat::TextCodec::WideToUtf8(text);
}

std::wstring Lower(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return out;
}

CShareManager* Share() {
    return CShareManager::GetInstance();
}

// Windows' mobile hotspot shares the connection and hands out the addresses
// itself: the engine's own sharing, addresses and per-client control stay out.
bool MobileHotspotMode() {
    return CWiFiCreator::GetInstance()->GetMode() == kWiFiModeMobileHotspot;
}

// The client operations the system's mobile hotspot cannot do are refused,
// never pretended.
bool RefusedInHotspotMode(const char* what) {
    if (!MobileHotspotMode())
        return false;
    LOG(WARNING) << what << " refused: the mobile hotspot has no per-client control ("
                 << kLumariNoClientControl << ")";
    return true;
}

ClientReport FromPeer(const plat::PEER_INFO& peer) {
    ClientReport r;
    r.ip = peer.ip;
    r.mac = AnsiToWide(plat::MacText::Format(peer.mac));
    r.upRate = peer.upRate;
    r.periodUp = peer.upKb;
    r.downRate = peer.downRate;
    r.periodDown = peer.downKb;
    return r;
}

}  // namespace

CLumariManager::CLumariManager(CLumariNotify* notify) : m_notify(notify) {}

CLumariManager::~CLumariManager() {
    LOG(INFO) << "CLumariManager::~CLumariManager";
    m_worker.request_stop();
    const int state = m_state.load();
    if (state == kStateStarting || state == kStateRunning || state == kStateStopping)
        _DoNotifyStop(true);
    if (m_worker.joinable())
        m_worker.join();
    CShareManager* share = Share();
    if (share != nullptr && share->IsShared())
        share->DisableShare();
    CWiFiCreator* creator = CWiFiCreator::GetInstance();
    if (creator != nullptr)
        creator->Release();  // stops a started access point, deletes the manager
    m_clients.UnInit();
    // An engine never initialised has not read the settings: saving would
    // write the defaults over what the file holds.
    if (m_state.load() != kStateCreated) {
        {
            std::lock_guard<std::mutex> g(m_fieldsLock);
            CLumariConfig::GetInstance()->SetIp(m_ip);
            CLumariConfig::GetInstance()->SetDns(m_dns);
        }
        CLumariConfig::GetInstance()->Save();
    }
    FlushLog();
}

int CLumariManager::Init(int* mode) {
    const int state = m_state.load();
    if (state != kStateCreated) {
        char text[64];
        std::snprintf(text, sizeof text, "Init Error:wrong State %d.", state);
        plat::OutputDebugStringA(text);
        return kLumariWrongState;
    }
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        if (mode != nullptr)
            m_wifiMode = *mode;
    }
    if (mode != nullptr)
        *mode = IsWindowsVersionOrGreater(6, 1, 0) ? kWiFiModeHosted : kWiFiModeAdHoc;
    CLumariConfig* config = CLumariConfig::GetInstance();
    Share();
    CWiFiCreator::GetInstance();
    CNicDeviceManager::GetInstance();
    config->Load();
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_ip = config->GetIp();
        m_dns = config->GetDns();
    }
    m_state.exchange(kStateInitialized);
    return kLumariOk;
}

int CLumariManager::Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding) {
    // The last run is reporting its end: wait the moment until it has left
    // (not on the worker itself, which may be the one asking).
    if (m_state.load() == kStateStopping && m_leaving.load()) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_worker.get_id() != std::this_thread::get_id())
            m_leftSignal.wait(lock, [this] { return m_state.load() != kStateStopping; });
    }
    // One atomic step from 1 or 5 to 2: two starts, or a start against the
    // leaving worker, cannot both pass.
    int state = m_state.load();
    do {
        if (state != kStateInitialized && state != kStateStopped) {
            LOG(ERROR) << "CLumariManager::Start"
                       << " state wrong " << state;
            if (m_notify != nullptr)
                m_notify->NetworkStarted(kLumariWrongState);
            return kLumariWrongState;
        }
    } while (!m_state.compare_exchange_weak(state, kStateStarting));
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_ssid = ssid;
        m_key = key;
        m_ssidEncoding = ssidEncoding;
    }
    // The worker is replaced under the stop request's lock, so that a stop
    // made meanwhile reaches the new worker: either through the state the
    // worker reads first or through its stop token.
    std::lock_guard<std::mutex> g(m_mutex);
    // The previous run's worker has set state 5 and is leaving.
    if (m_worker.joinable())
        m_worker.join();
    m_stopRequested = false;
    m_leaving = false;
    try {
        m_worker = std::jthread([this](std::stop_token stop) { _WiFiThread(stop); });
    } catch (const std::system_error&) {
        m_state.store(kStateStopped);
        if (m_notify != nullptr)
            m_notify->NetworkStarted(kLumariInterrupted);
        return kLumariInterrupted;
    }
    return kLumariOk;
}

int CLumariManager::Stop() {
    LOG(INFO) << "CLumariManager::Stop";
    // Read and written in one step: a worker that sets 5 meanwhile is never
    // overwritten with 4, which no worker would leave again.
    int state = m_state.load();
    while (state == kStateStarting || state == kStateRunning) {
        if (m_state.compare_exchange_weak(state, kStateStopping))
            break;
    }
    if (state == kStateStarting || state == kStateRunning || state == kStateStopping) {
        _DoNotifyStop(true);
        return kLumariOk;
    }
    if (m_notify != nullptr)
        m_notify->NetworkStopped(0);
    LOG(ERROR) << "CLumariManager::Stop"
               << " state wrong " << state;
    return kLumariWrongState;
}

int CLumariManager::GetStatus() {
    return m_state.load() == kStateRunning ? kLumariRunning : kLumariWrongState;
}

std::wstring CLumariManager::GetHostIp() {
    if (m_state.load() != kStateRunning)
        return std::wstring();
    std::lock_guard<std::mutex> g(m_fieldsLock);
    return AnsiToWide(m_ip);
}

bool CLumariManager::GetFlow(std::uint64_t* down, std::uint64_t* up) {
    if (m_state.load() != kStateRunning)
        return false;
    CShareManager* share = Share();
    if (share != nullptr && share->IsDriverMode()) {
        m_clients.GetTotalFlow(down, up);
        return true;
    }
    plat::GUID virtualGuid;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        virtualGuid = m_virtualGuid;
    }
    auto record = m_connections.FindConnection(virtualGuid);
    if (record == nullptr)
        return false;
    std::uint64_t received = 0, sent = 0;
    if (!m_connections.GetFlow(record, received, sent))
        return false;
    // The adapter counts from when it came up and wraps: the run's flow is
    // what it moved between the readings of this run, which only grows.
    std::lock_guard<std::mutex> g(m_fieldsLock);
    AdapterFlow& f = m_adapterFlow;
    if (f.primed) {
        f.down += CClientManager::Moved(f.lastReceived, received);
        f.up += CClientManager::Moved(f.lastSent, sent);
    }
    f.primed = true;
    f.lastReceived = received;
    f.lastSent = sent;
    if (down != nullptr)
        *down = f.down;
    if (up != nullptr)
        *up = f.up;
    return true;
}

std::wstring CLumariManager::GetVirtualAdapterMac() {
    if (m_state.load() != kStateRunning)
        return std::wstring();
    plat::GUID virtualGuid;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        virtualGuid = m_virtualGuid;
    }
    if (IsNull(virtualGuid))
        return std::wstring();
    auto record = m_connections.FindConnection(virtualGuid);
    return record == nullptr ? std::wstring() : record->mac();
}

bool CLumariManager::SetOption(const std::wstring& key, const std::wstring& value) {
    const int state = m_state.load();
    if (state == kStateStarting || state == kStateStopping)
        return false;
    const std::wstring k = Lower(key);
    const std::wstring v = Lower(value);
    std::unique_lock<std::mutex> g(m_fieldsLock);
    if (k == L"ssid") {
        m_ssid = value;
    } else if (k == L"key") {
        m_key = value;
    } else if (k == L"ssidencoding") {
        m_ssidEncoding = (v == L"utf-8" || v == L"utf8") ? kSsidEncodingUtf8 : kSsidEncodingAnsi;
    } else if (k == L"disableics") {
        m_icsAllowed = v == L"false";
    } else if (k == L"allowics") {
        m_icsAllowed = v == L"true";
    } else if (k == L"allowdriver") {
        m_driverAllowed = v == L"true";
    } else if (k == L"allowport") {
        if (value.empty())
            m_allowPorts.clear();
        else
            m_allowPorts.push_back(static_cast<int>(std::wcstol(value.c_str(), nullptr, 10)) &
                                   0xFFFF);
        if (m_state.load() == kStateRunning && !MobileHotspotMode()) {
            const std::vector<std::uint16_t> ports(m_allowPorts.begin(), m_allowPorts.end());
            g.unlock();
            if (CShareManager* share = Share())
                share->SetAllowPorts(ports);
        }
    } else if (k == L"wifimode") {
        m_wifiMode = static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
    } else if (k == L"allowdnsproxy") {
        m_dnsRelayAllowed = v == L"true";
    } else {
        return false;
    }
    return true;
}

int CLumariManager::GetWiFiMode() {
    if (m_state.load() != kStateRunning)
        return kLumariWrongState;
    return CWiFiCreator::GetInstance()->GetMode();
}

int CLumariManager::IsDriverShare() {
    if (m_state.load() != kStateRunning)
        return kLumariWrongState;
    if (MobileHotspotMode())
        return 0;
    CShareManager* share = Share();
    return share != nullptr && share->IsDriverMode() ? 1 : 0;
}

int CLumariManager::ClientControl() {
    return MobileHotspotMode() ? kLumariNoClientControl : kLumariOk;
}
bool CLumariManager::SetSpeedLimit(const std::wstring& mac, int down, int up) {
    if (RefusedInHotspotMode("SetSpeedLimit"))
        return false;
    return m_clients.SetSpeedLimit(mac, down, up);
}
bool CLumariManager::BanClient(const std::wstring& mac) {
    if (RefusedInHotspotMode("BanClient"))
        return false;
    return m_clients.BanClient(mac);
}
bool CLumariManager::BlockClient(const std::wstring& mac) {
    if (RefusedInHotspotMode("BlockClient"))
        return false;
    return m_clients.BlockClient(mac);
}
bool CLumariManager::UnbanClient(const std::wstring& mac) {
    if (RefusedInHotspotMode("UnbanClient"))
        return false;
    return m_clients.UnbanClient(mac);
}
bool CLumariManager::DenyClient(const std::wstring& mac) {
    if (RefusedInHotspotMode("DenyClient"))
        return false;
    return m_clients.DenyClient(mac);
}
bool CLumariManager::AllowClient(const std::wstring& mac) {
    if (RefusedInHotspotMode("AllowClient"))
        return false;
    return m_clients.AllowClient(mac);
}
bool CLumariManager::DisallowClient(const std::wstring& mac) {
    if (RefusedInHotspotMode("DisallowClient"))
        return false;
    return m_clients.DisallowClient(mac);
}
std::vector<std::wstring> CLumariManager::GetAllowList() {
    return m_clients.GetAllowList();
}
bool CLumariManager::SetClientNickName(const std::wstring& mac, const std::wstring& nickName) {
    return m_clients.SetClientNickName(mac, nickName);
}
bool CLumariManager::SetClientFacePath(const std::wstring& mac, const std::wstring& facePath) {
    return m_clients.SetClientFacePath(mac, facePath);
}
void CLumariManager::GetClients(std::vector<ClientInfo>& out) {
    m_clients.GetClients(out);
}
void CLumariManager::GetBannedClients(std::vector<ClientInfo>& out) {
    m_clients.GetBannedClients(out);
}
bool CLumariManager::GetClient(const std::wstring& mac, ClientInfo& out) {
    return m_clients.GetClient(mac, out);
}
bool CLumariManager::FindClient(const std::wstring& mac, ClientInfo& out) {
    return m_clients.FindClient(mac, out);
}

// ---- access-point events -------------------------------------------------

void CLumariManager::OnWiFiStopped() {
    if (m_wifiStarted.load() && m_state.load() == kStateRunning) {
        // Raised before the worker is woken: its own NetworkStopped with the
        // stop's result must come after this one, never before.
        if (m_notify != nullptr)
            m_notify->NetworkStopped(kLumariWiFiStoppedOutside);
        _DoNotifyStop(false);
    }
    m_wifiStarted.exchange(false);
}

void CLumariManager::OnStationLeave(const std::wstring& mac) {
    if (mac.empty())
        return;
    CShareManager* share = Share();
    if (share != nullptr && !MobileHotspotMode())
        share->DeletePeers(mac);
    _ClientLeave(mac);
}

// ---- the worker ---------------------------------------------------------

void CLumariManager::_WiFiThread(std::stop_token stop) {
    CInterruption::Scope interruption(stop);
    LOG(INFO) << "CLumariManager::_WiFiThread"
              << " Enter..";
    const int state = m_state.load();
    if (state != kStateStarting) {
        LOG(ERROR) << "Wifi state error " << state;
        if (state == kStateStopping) {
            // Stopped before the start began: nothing ran, nothing to undo.
            m_leaving = true;
            if (m_notify != nullptr)
                m_notify->NetworkStarted(kLumariInterrupted);
            _Left();
        }
        return;
    }
    int code;
    try {
        code = _DoStart();
    } catch (...) {
        code = kLumariInterrupted;
    }
    LOG(INFO) << " _DoStart return " << code;
    if (code != kLumariOk) {
        _DoStop();
        m_leaving = true;
        if (m_notify != nullptr)
            m_notify->NetworkStarted(code);
    } else {
        // Running before the window hears of it, so that what it asks next
        // is answered; a stop that came meanwhile keeps the state 4.
        int starting = kStateStarting;
        m_state.compare_exchange_strong(starting, kStateRunning);
        if (m_notify != nullptr)
            m_notify->NetworkStarted(kLumariOk);
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_stopRequested)
                plat::Platform::Current().Time().Wait(lock, m_stopSignal, stop,
                                                      [this] { return m_stopRequested; });
        }
        const int result = _DoStop();
        m_leaving = true;
        if (m_notify != nullptr)
            m_notify->NetworkStopped(result);
    }
    _Left();
    LOG(INFO) << "CLumariManager::_WiFiThread"
              << " Leave..";
    FlushLog();
}

void CLumariManager::_Left() {
    {
        std::lock_guard<std::mutex> g(m_mutex);
        m_state.exchange(kStateStopped);
    }
    m_leftSignal.notify_all();
}

void CLumariManager::_DoNotifyStop(bool userStop) {
    LOG(INFO) << "CLumariManager::_DoNotifyStop" << (userStop ? ": user stop" : "");
    {
        std::lock_guard<std::mutex> g(m_mutex);
        if (userStop)
            m_worker.request_stop();
        m_stopRequested = true;
    }
    m_stopSignal.notify_all();
}

bool CLumariManager::_StopRequested() {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_stopRequested;
}

int CLumariManager::_ShareMode() const {
    // Automatic; ICS only when the driver is not allowed; the driver only when
    // ICS is not allowed (tested last, so also when neither is allowed).
    std::lock_guard<std::mutex> g(m_fieldsLock);
    int mode = 0;
    if (!m_driverAllowed)
        mode = 2;
    if (!m_icsAllowed)
        mode = 1;
    return mode;
}

int CLumariManager::_DoStart() {
    LOG(INFO) << "CLumariManager::_DoStart"
              << "Begin ";
    int mode;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        mode = m_wifiMode;
    }
    int code = _Init(mode);
    if (code != kLumariOk) {
        CShareManager* share = Share();
        CServiceManager().StartRequiredServices(share == nullptr || !share->IsDriverMode());
        code = _Init(mode);
        if (code != kLumariOk)
            return code;
    }
    if (!m_clients.Init())
        LOG(ERROR) << "init client error";
    {
        // The adapter's counters are read relative to this run.
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_adapterFlow = AdapterFlow{};
    }

    plat::GUID virtualGuid = plat::GUID_NULL_;
    plat::GUID publicGuid = plat::GUID_NULL_;
    if ((code = _StartWiFi(&virtualGuid)) != kLumariOk)
        return code;
    _GetPublicInterface(&publicGuid);
    if (MobileHotspotMode()) {
        LOG(INFO) << "Mobile hotspot: Windows shares the connection and gives out the addresses";
        m_clientThread = std::jthread([this](std::stop_token stop) { _ClientThread(stop); });
        _SetInternetState(!IsNull(publicGuid));
        LOG(INFO) << "CLumariManager::_DoStart"
                  << "End ";
        FlushLog();
        return kLumariOk;
    }
    code = _StartShare(&publicGuid, &virtualGuid);
    CShareManager* share = Share();
    bool icsAllowed;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        icsAllowed = m_icsAllowed;
    }
    if (code == kLumariShareFailed && share != nullptr && share->IsDriverMode() && icsAllowed) {
        LOG(INFO) << "StartShare using ICS...";
        if (!share->SwitchToIcs())
            return kLumariShareFailed;
        code = _StartShare(&publicGuid, &virtualGuid);
    }
    if (code != kLumariOk)
        return code;
    if ((code = _StartDhcp()) != kLumariOk)
        return code;
    std::vector<std::uint16_t> ports;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        ports.assign(m_allowPorts.begin(), m_allowPorts.end());
    }
    if (!ports.empty())
        share->SetAllowPorts(ports);
    m_clientThread = std::jthread([this](std::stop_token stop) { _ClientThread(stop); });
    if (IsWindowsVersionOrGreater(6, 0, 0)) {
        if (m_connectivity.Init([this](const plat::GUID& adapter, plat::DWORD internet) {
                _OnConnectivityChanged(adapter, internet != 0);
            }))
            LOG(INFO) << "Connectivity detective start succeed";
        else
            LOG(INFO) << "Connectivity detective start failed..";
    }
    bool shared;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        shared = !IsNull(m_publicGuid);
    }
    _SetInternetState(shared);
    LOG(INFO) << "CLumariManager::_DoStart"
              << "End ";
    FlushLog();
    return kLumariOk;
}

int CLumariManager::_Init(int mode) {
    CLumariConfig* config = CLumariConfig::GetInstance();
    config->Load();
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_ip = config->GetIp();
        m_dns = config->GetDns();
    }
    if (!m_connections.Init()) {
        LOG(ERROR) << "ConnectionManager init failed";
        return kLumariConnectionInitFailed;
    }
    CShareManager* share = Share();
    if (share == nullptr) {
        LOG(ERROR) << "ShareManager allocate failed";
        return kLumariShareInitFailed;
    }
    // On Windows 10 and later the access point is chosen first: with the
    // system's mobile hotspot the engine opens no sharing of its own.
    const bool chooseFirst = IsWindowsVersionOrGreater(10, 0, 0);
    CWiFiCreator* creator = CWiFiCreator::GetInstance();
    if (chooseFirst) {
        if (creator == nullptr) {
            LOG(ERROR) << "CWiFiCreator allocate failed";
            return kLumariNoWiFiManager;
        }
        const int code = creator->Create(mode, this, !IsWindowsVersionOrGreater(6, 1, 0));
        if (code != kWiFiOk) {
            LOG(ERROR) << "Error not support WiFi.";
            return code;
        }
    }
    if (!(chooseFirst && MobileHotspotMode()) && !share->InitShare(_ShareMode())) {
        LOG(ERROR) << "ShareManager init failed";
        return kLumariShareInitFailed;
    }
    CNicDeviceManager* devices = CNicDeviceManager::GetInstance();
    devices->GetAllAdapters();
    if (devices->GetWirelessAdapterCount() < 1)
        LOG(ERROR) << "No wireless adapater.";
    if (!chooseFirst) {
        if (creator == nullptr) {
            LOG(ERROR) << "CWiFiCreator allocate failed";
            return kLumariNoWiFiManager;
        }
        const int code = creator->Create(mode, this, !IsWindowsVersionOrGreater(6, 1, 0));
        if (code != kWiFiOk) {
            LOG(ERROR) << "Error not support WiFi.";
            return code;
        }
    }
    // Both device-health services are stopped first, then both disabled.
    CServiceManager services;
    for (const char* name : {"DeviceHealth", "DeviceHealthPluginMgr"})
        services.StopService(name);
    for (const char* name : {"DeviceHealth", "DeviceHealthPluginMgr"}) {
        const int result = plat::calvory::ChangeServiceStartType(name, 4);
        if (result != 1)
            services.LogStartTypeFailure(name, result);
    }
    LOG(INFO) << "Init succeed";
    return kLumariOk;
}

// Starts the current manager with the engine's name, key and encoding.
int CLumariManager::_StartAp() {
    CWiFiCreator* creator = CWiFiCreator::GetInstance();
    if (creator->GetManager() == nullptr)
        return kLumariNoWiFiManager;
    std::wstring ssid, key;
    int encoding;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        ssid = m_ssid;
        key = m_key;
        encoding = m_ssidEncoding;
    }
    return creator->Start(ssid, key, encoding);
}

int CLumariManager::_StartWiFi(plat::GUID* virtualGuid) {
    CWiFiCreator* creator = CWiFiCreator::GetInstance();
    if (creator->GetManager() == nullptr)
        return kLumariNoWiFiManager;
    const int currentMode = creator->GetMode();
    int code = _StartAp();
    if (code == kLumariInvalidState) {
        LOG(ERROR) << "StartWiFi failed ERROR_INVALID_STATE, wait.";
        if (!CInterruption::Sleep(5s)) {
            LOG(INFO) << "CLumariManager::_StartWiFi"
                      << " thread_interrupted";
            return kLumariInterrupted;
        }
        code = _StartAp();
    }
    if (code != kLumariOk) {
        LOG(ERROR) << "StartWiFi failed ret " << code << ", ReEnable wireless adapter.";
        CNicDeviceManager::GetInstance()->ReEnableWirelessAdapters();
        if (!CInterruption::Sleep(2s)) {
            LOG(INFO) << "CLumariManager::_StartWiFi"
                      << " thread_interrupted";
            return kLumariInterrupted;
        }
        code = _StartAp();
    }
    int mode;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        mode = m_wifiMode;
    }
    // A driver that refuses the hosted network on Windows 10 and later: the
    // system's mobile hotspot instead, without the engine's own sharing.
    if (code != kLumariOk && currentMode == kWiFiModeHosted && mode == kWiFiModeAuto &&
        IsWindowsVersionOrGreater(10, 0, 0)) {
        _StopWiFi();
        if (creator->Create(kWiFiModeMobileHotspot, this, false) == kWiFiOk) {
            LOG(INFO) << "StartWiFi Using mobile hotspot.";
            if (CShareManager* share = Share())
                share->DeInitShare();
            code = _StartAp();
        }
    }
    if (code != kLumariOk && IsWindowsVersionOrGreater(6, 1, 0) && currentMode != kWiFiModeRalink) {
        _StopWiFi();
        if (creator->Create(mode, this, true) == kWiFiOk) {
            LOG(INFO) << "StartWiFi Using RalinkAP.";
            code = _StartAp();
        }
    }
    if (code != kLumariOk) {
        LOG(ERROR) << "StartWiFi failed return " << code << " mode: " << creator->GetMode();
        return code;
    }
    m_wifiStarted.exchange(true);
    plat::GUID guid = plat::GUID_NULL_;
    creator->GetAdapterGuid(&guid);
    // The system does not name the mobile hotspot's adapter, and the engine
    // puts no address on it.
    if (IsNull(guid) && creator->GetMode() != kWiFiModeMobileHotspot) {
        m_connections.RefreshConnections();
        for (const auto& record : m_connections.Connections()) {
            for (const wchar_t* name : kVirtualAdapterNames) {
                if (record->deviceName().find(name) != std::wstring::npos) {
                    guid = record->guid();
                    break;
                }
            }
            if (!IsNull(guid))
                break;
        }
        if (IsNull(guid)) {
            LOG(INFO) << "GetVirtualGuid failed..";
            return kLumariNoVirtualAdapter;
        }
    }
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_virtualGuid = guid;
    }
    *virtualGuid = guid;
    return kLumariOk;
}

int CLumariManager::_StopWiFi() {
    CWiFiCreator* creator = CWiFiCreator::GetInstance();
    if (creator != nullptr && m_wifiStarted.load()) {
        m_wifiStarted.exchange(false);
        if (creator->GetManager() == nullptr)
            return kLumariNoWiFiManager;
        const int code = creator->StopAp();
        if (code == kWiFiOk) {
            {
                std::lock_guard<std::mutex> g(m_fieldsLock);
                m_virtualGuid = plat::GUID_NULL_;
            }
            plat::OutputDebugStringA("[Lumari]WiFi Stopped");
            LOG(INFO) << "WiFi Stopped.";
        }
        return code;
    }
    LOG(INFO) << "WiFi has not start.";
    return kLumariOk;
}

int CLumariManager::_GetPublicInterface(plat::GUID* publicGuid) {
    std::string servers;
    if (!m_connections.GetBestOutInterface(CLumariConfig::GetInstance()->GetOutAddress(),
                                           publicGuid, &servers))
        LOG(WARNING) << "GetBestOutInterface failed.";
    std::string dns;
    if (servers.empty())
        dns = kDefaultDns;
    else if (servers.find(kFallbackDns) == std::string::npos)
        dns = servers + "," + kFallbackDns;
    else
        dns = servers;
    std::lock_guard<std::mutex> g(m_fieldsLock);
    m_dns = dns;
    return kLumariOk;
}

int CLumariManager::_StartShare(plat::GUID* publicGuid, plat::GUID* virtualGuid) {
    CShareManager* share = Share();
    if (share == nullptr)
        return kLumariShareInitFailed;
    if (!share->EnableShare(*virtualGuid, *publicGuid)) {
        if (share->IsDriverMode())
            return kLumariShareFailed;
        LOG(INFO) << "Retry EnableShare(ics) 2s later";
        if (!CInterruption::Sleep(2s)) {
            LOG(INFO) << "CLumariManager::_StartShare"
                      << " thread_interrupted";
            return kLumariInterrupted;
        }
        if (!share->EnableShare(*virtualGuid, *publicGuid))
            return kLumariShareFailed;
    }
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_publicGuid = *publicGuid;
    }
    if (share->IsDriverMode()) {
        CServiceManager services;
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (services.StopService("SharedAccess")) {
                LOG(INFO) << "Stop SharedAccess succeed.";
                break;
            }
            if (!CInterruption::Sleep(1s)) {
                LOG(INFO) << "CLumariManager::_StartShare"
                          << " thread_interrupted";
                return kLumariInterrupted;
            }
        }
    }
    return kLumariOk;
}

int CLumariManager::_StartDhcp() {
    plat::GUID virtualGuid;
    std::string ip;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        virtualGuid = m_virtualGuid;
        ip = m_ip;
    }
    const bool check = CWiFiCreator::GetInstance()->GetMode() != kWiFiModeAdHoc;
    const bool set = m_connections.SetIp(virtualGuid, ip, check);
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_ip = ip;  // the address finally used
    }
    if (!set) {
        // A user stop ends the address check's pauses: the start was interrupted.
        return CInterruption::Requested() ? kLumariInterrupted : kLumariSetIpFailed;
    }
    _StartDns();
    std::string dns;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        dns = m_dns;
    }
    if (!CDhcpManager::GetInstance()->Start(ip, dns))
        return kLumariDhcpFailed;
    // The server refuses denied devices, and with an allow list every other one.
    m_clients.ApplyListsToDhcp();
    return kLumariOk;
}

void CLumariManager::_StartDns() {
    CShareManager* share = Share();
    std::string ip;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        if (share == nullptr || !share->IsDriverMode() || !m_dnsRelayAllowed)
            return;
        ip = m_ip;
    }
    int code = m_relay.StartRelay(ip);
    if (code == plat::kWsaEAddrNotAvail && CInterruption::Sleep(1500ms))
        code = m_relay.StartRelay(ip);
    if (code == 0) {
        // Where the clients have IPv6, the relay answers on the hotspot's IPv6 address too.
        const std::string ip6 = plat::Platform::Current().ClientIpv6Address();
        if (!ip6.empty())
            if (const int e = m_relay.StartRelay6(ip6))
                LOG(ERROR) << "StartDns on " << ip6 << " failed ret " << e;
    }
    std::lock_guard<std::mutex> g(m_fieldsLock);
    if (code == 0) {
        m_dns = ip + "," + m_dns;
        m_dnsRelayRunning = true;
    } else {
        LOG(ERROR) << "StartDns failed ret " << code;
        m_dnsRelayRunning = false;
    }
}

void CLumariManager::_StopDhcp() {
    bool relay;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        relay = m_dnsRelayRunning;
    }
    if (relay) {
        m_relay.Stop();
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_dnsRelayRunning = false;
    }
    StopDHCP();
    plat::OutputDebugStringA("[Lumari]DHCP Stopped");
    LOG(INFO) << "DHCP Stopped.";
}

void CLumariManager::_StopSharing() {
    CShareManager* share = Share();
    if (share != nullptr && share->IsShared())
        share->DisableShare();
    std::lock_guard<std::mutex> g(m_fieldsLock);
    m_publicGuid = plat::GUID_NULL_;
}

int CLumariManager::_DoStop() {
    LOG(INFO) << "CLumariManager::_DoStop"
              << "Begin ";
    m_state.exchange(kStateStopping);
    std::lock_guard<std::mutex> stopLock(m_stopLock);
    // The ICS and connection calls below need COM on this thread; a thread
    // already in the other apartment (the worker is, from the start) keeps it.
    plat::ComRuntime& com = plat::Platform::Current().Com();
    const bool comEntered = plat::Succeeded(com.CoInitializeEx(plat::kCoinitApartmentThreaded));
    _StopDhcp();
    m_connectivity.Stop();
    _StopSharing();
    if (CShareManager* share = Share())
        share->DeInitShare();
    plat::OutputDebugStringA("[Lumari]Share Stopped");
    LOG(INFO) << "Share Stopped";
    CWiFiCreator* creator = CWiFiCreator::GetInstance();
    if (creator->GetMode() != kWiFiModeHosted && creator->GetMode() != kWiFiModeMobileHotspot) {
        plat::GUID virtualGuid;
        {
            std::lock_guard<std::mutex> g(m_fieldsLock);
            virtualGuid = m_virtualGuid;
        }
        m_connections.EnableDhcp(virtualGuid);
    }
    const int result = _StopWiFi();
    if (m_clientThread.joinable()) {
        m_clientThread.request_stop();
        m_clientThread.join();
    }
    m_clients.UnInit();
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        CLumariConfig::GetInstance()->SetIp(m_ip);
        CLumariConfig::GetInstance()->SetDns(m_dns);
    }
    CLumariConfig::GetInstance()->Save();
    if (comEntered)
        com.CoUninitialize();
    LOG(INFO) << "CLumariManager::_DoStop"
              << "End ";
    FlushLog();
    return result;
}

// ---- clients -------------------------------------------------------------

void CLumariManager::_ClientThread(std::stop_token stop) {
    CInterruption::Scope interruption(stop);
    while (!_StopRequested() && !stop.stop_requested()) {
        CShareManager* share = Share();
        auto* hotspot =
            dynamic_cast<CMobileHotspotManager*>(CWiFiCreator::GetInstance()->GetManager());
        if (hotspot != nullptr) {
            // The mobile hotspot's stations: joins here, leaves through OnStationLeave.
            for (const CMobileHotspotManager::Station& s : hotspot->GetStations()) {
                ClientReport r;
                r.mac = s.mac;
                for (const std::wstring& name : s.hostNames) {
                    std::uint32_t ip = 0;
                    if (r.ip == 0 && plat::Ipv4Text::Parse(WideToAnsi(name), &ip))
                        r.ip = ip;
                    else if (r.name.empty() && !plat::Ipv4Text::Parse(WideToAnsi(name), &ip))
                        r.name = name;
                }
                _ClientUpdateOrJoin(r);
            }
        } else if (share != nullptr && share->IsDriverMode()) {
            std::vector<plat::PEER_INFO> peers;
            share->GetPeers(peers);
            for (const plat::PEER_INFO& peer : peers)
                _ClientUpdateOrJoin(FromPeer(peer));
            std::vector<ClientInfo> clients;
            m_clients.GetClients(clients);
            for (const ClientInfo& c : clients) {
                ClientReport r;
                plat::Ipv4Text::Parse(WideToAnsi(c.ip), &r.ip);
                r.mac = c.mac;
                _ClientTimeout(r);
            }
        } else {
            std::vector<DhcpClientEntry> leases;
            CDhcpManager::GetInstance()->GetAllClients(leases);
            for (const DhcpClientEntry& lease : leases) {
                ClientReport r;
                r.ip = lease.ip;
                r.mac = lease.mac;
                _ClientUpdateOrJoin(r);
            }
        }
        if (!CInterruption::Sleep(1s))
            break;
    }
}

void CLumariManager::_ClientJoin(const ClientReport& report) {
    ClientInfo info;
    if (m_clients.Add(report, &info)) {
        LOG(INFO) << "Client Join MAC:" << Utf8(info.mac) << " IP:" << Utf8(info.ip);
        if (m_notify != nullptr)
            m_notify->ClientJoin(info);
    } else if (m_notify != nullptr) {
        m_notify->ClientUpdate(info);
    }
}

void CLumariManager::_ClientUpdateOrJoin(const ClientReport& report) {
    ClientInfo info;
    bool changed = false;
    if (m_clients.Update(report, &info, &changed)) {
        if (changed && m_notify != nullptr)
            m_notify->ClientUpdate(info);
        return;
    }
    _ClientJoin(report);
}

void CLumariManager::_ClientTimeout(const ClientReport& report) {
    // Read without refreshing: a refresh would make the client seen now.
    ClientInfo info;
    if (!m_clients.GetClient(report.mac, info) || info.online == 0)
        return;
    const std::int64_t now = plat::Platform::Current().Time().UnixSeconds();
    if (now - info.lastSeen < kClientTimeoutSeconds)
        return;
    // The driver forgets the peer too, so a return starts a fresh period there.
    if (CShareManager* share = Share())
        share->DeletePeers(report.mac);
    _ClientLeave(report.mac);
}

void CLumariManager::_ClientLeave(const std::wstring& mac) {
    ClientInfo info;
    if (!m_clients.Remove(mac, &info))
        return;
    CDhcpManager::GetInstance()->RemoveClient(info.mac);
    LOG(INFO) << "Client Leave MAC:" << Utf8(info.mac) << " IP:" << Utf8(info.ip);
    if (m_notify != nullptr)
        m_notify->ClientLeave(info);
}

// ---- Internet state and re-sharing ---------------------------------------

void CLumariManager::_SetInternetState(bool connected) {
    m_internetConnected.exchange(connected);
    if (m_notify != nullptr)
        m_notify->InternetStateChanged(connected ? 1 : 0);
}

void CLumariManager::_OnConnectivityChanged(const plat::GUID& adapter, bool connected) {
    if (m_state.load() != kStateRunning || Share() == nullptr)
        return;
    // A stop may hold the stop lock while it waits for this very thread to
    // finish; give up when the engine leaves the running state meanwhile.
    std::unique_lock<std::mutex> stopLock(m_stopLock, std::defer_lock);
    while (!stopLock.try_lock()) {
        if (m_state.load() != kStateRunning)
            return;
        std::this_thread::sleep_for(5ms);
    }
    if (m_state.load() != kStateRunning)
        return;
    auto nameOf = [this](const plat::GUID& g) {
        auto record = m_connections.FindConnection(g);
        return record == nullptr ? std::string() : Utf8(record->name());
    };
    plat::GUID publicGuid;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        publicGuid = m_publicGuid;
    }
    if (connected) {
        if (m_internetConnected.load())
            return;
        LOG(INFO) << "Connection " << nameOf(adapter) << " connect to internet.";
        // Connected only when the sharing follows; otherwise the next event
        // tries again.
        _SetInternetState(_Reshare(adapter) == kLumariOk);
        return;
    }
    m_connectivity.RefreshConnectionTable();
    std::vector<plat::GUID> online;
    for (const CNetworkConnectivity::Connection& c : m_connectivity.Connections())
        if (c.connectedToInternet)
            online.push_back(c.adapterId);
    const bool publicOnline = std::find(online.begin(), online.end(), publicGuid) != online.end();
    const bool concerns =
        adapter == publicGuid || IsNull(publicGuid) || (IsNull(adapter) && !publicOnline);
    if (!concerns)
        return;
    LOG(WARNING) << "Wan adapter" << nameOf(publicGuid) << " is disconnect from internet.";
    for (const plat::GUID& other : online) {
        if (other == publicGuid || IsNull(other))
            continue;
        LOG(INFO) << "Get new wan adapter succeed: " << plat::GuidText::ToString(other);
        _SetInternetState(_Reshare(other) == kLumariOk);
        return;
    }
    _SetInternetState(false);
}

int CLumariManager::_Reshare(const plat::GUID& newGuid) {
    plat::GUID publicGuid, virtualGuid;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        publicGuid = m_publicGuid;
        virtualGuid = m_virtualGuid;
    }
    if (newGuid == publicGuid) {
        LOG(INFO) << "public guid not change, abort reshare.";
        return kLumariOk;
    }
    LOG(INFO) << "Begin Reshare.";
    _StopSharing();
    plat::GUID target = newGuid;
    const int code = _StartShare(&target, &virtualGuid);
    if (code != kLumariOk)
        return code;
    bool relay;
    {
        std::lock_guard<std::mutex> g(m_fieldsLock);
        relay = m_dnsRelayRunning;
    }
    if (!relay) {
        std::string dns;
        if (!m_connections.GetDns(target, dns) || dns.empty())
            dns = kDefaultDns;
        SetDNS(dns.c_str());
        std::lock_guard<std::mutex> g(m_fieldsLock);
        m_dns = dns;
    }
    CShareManager* share = Share();
    if (share != nullptr && !share->IsDriverMode())
        _StartDhcp();
    return code;
}
