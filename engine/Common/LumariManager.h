// The engine façade: what the window drives. It keeps the engine's state
// machine and options, runs each start on a worker thread of its own (the
// start sequence, then a wait for the stop request, then the stop sequence),
// watches the clients once a second while running, moves the sharing to a new
// upstream connection when the Internet moves, and reports every outcome
// through CLumariNotify. It is also the access-point managers' callback.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "Client/ClientManager.h"
#include "Common/DnsRelay.h"
#include "Common/LumariNotify.h"
#include "Connection/ConnectionManager.h"
#include "Connection/NetworkConnectivity.h"
#include "Wlan/WiFiEventCallback.h"
#include "platform/records/WinTypes.h"

// Result codes of the engine.
enum LumariResult {
    kLumariOk = 0,
    kLumariWiFiStoppedOutside = 1,
    kLumariRunning = 50,
    kLumariInterrupted = 1000,
    kLumariNoVirtualAdapter = 1009,
    kLumariNoWiFiManager = 1010,
    // A client operation the current access point cannot do (speed limits and
    // bans with the system's mobile hotspot).
    kLumariNoClientControl = 1011,
    kLumariShareInitFailed = 1201,
    kLumariShareFailed = 1203,
    kLumariDhcpFailed = 1401,
    kLumariConnectionInitFailed = 1500,
    kLumariSetIpFailed = 1502,
    kLumariWrongState = 1700,
    kLumariInvalidState = 5023,  // ERROR_INVALID_STATE
};

// Engine states.
enum LumariState {
    kStateCreated = 0,
    kStateInitialized = 1,
    kStateStarting = 2,
    kStateRunning = 3,
    kStateStopping = 4,
    kStateStopped = 5,
};

class CLumariManager : public CWiFiEventCallback {
public:
    explicit CLumariManager(CLumariNotify* notify);
    ~CLumariManager() override;
    CLumariManager(const CLumariManager&) = delete;
    CLumariManager& operator=(const CLumariManager&) = delete;

    int Init(int* mode);
    int Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding);
    int Stop();
    int GetStatus();
    std::wstring GetHostIp();
    bool GetFlow(std::uint64_t* down, std::uint64_t* up);
    std::wstring GetVirtualAdapterMac();
    bool SetOption(const std::wstring& key, const std::wstring& value);
    int GetWiFiMode();
    int IsDriverShare();

    // 0 when speed limits and bans work with the current access point, else
    // the code the client operations are refused with (1011).
    int ClientControl();
    bool SetSpeedLimit(const std::wstring& mac, int down, int up);
    bool BanClient(const std::wstring& mac);
    bool BlockClient(const std::wstring& mac);
    bool UnbanClient(const std::wstring& mac);
    bool DenyClient(const std::wstring& mac);
    bool AllowClient(const std::wstring& mac);
    bool DisallowClient(const std::wstring& mac);
    std::vector<std::wstring> GetAllowList();
    bool SetClientNickName(const std::wstring& mac, const std::wstring& nickName);
    bool SetClientFacePath(const std::wstring& mac, const std::wstring& facePath);
    void GetClients(std::vector<ClientInfo>& out);
    void GetBannedClients(std::vector<ClientInfo>& out);
    bool GetClient(const std::wstring& mac, ClientInfo& out);
    bool FindClient(const std::wstring& mac, ClientInfo& out);

    // CWiFiEventCallback
    void OnWiFiStarted() override {}
    void OnWiFiStopped() override;
    void OnWiFiAvailable() override {}
    void OnWiFiNotAvailable() override {}
    void OnStationJoin(const std::wstring&) override {}
    void OnStationLeave(const std::wstring& mac) override;

    // The state, for tests and the window's own checks.
    int State() const { return m_state.load(); }

private:
    void _WiFiThread(std::stop_token stop);
    // The worker's last step: state 5, and a start waiting for it goes on.
    void _Left();
    int _DoStart();
    void _DoNotifyStop(bool userStop);
    int _DoStop();
    int _Init(int mode);
    int _StartWiFi(plat::GUID* virtualGuid);
    int _StartAp();
    int _StopWiFi();
    int _GetPublicInterface(plat::GUID* publicGuid);
    int _StartShare(plat::GUID* publicGuid, plat::GUID* virtualGuid);
    int _StartDhcp();
    void _StartDns();
    void _StopDhcp();
    void _StopSharing();
    void _ClientThread(std::stop_token stop);
    void _ClientJoin(const ClientReport& report);
    void _ClientUpdateOrJoin(const ClientReport& report);
    void _ClientTimeout(const ClientReport& report);
    void _ClientLeave(const std::wstring& mac);
    void _SetInternetState(bool connected);
    void _OnConnectivityChanged(const plat::GUID& adapter, bool connected);
    int _Reshare(const plat::GUID& newGuid);
    bool _StopRequested();
    int _ShareMode() const;

    CLumariNotify* const m_notify;
    CConnectionManager m_connections;
    CNetworkConnectivity m_connectivity;
    CClientManager m_clients;
    CDnsRelay m_relay;
    bool m_dnsRelayRunning = false;

    // Settings and the adapters in use; guarded by m_fieldsLock.
    mutable std::mutex m_fieldsLock;
    std::string m_ip = "192.168.23.1";
    std::string m_dns;
    std::wstring m_ssid;
    std::wstring m_key;
    int m_ssidEncoding = 0;
    plat::GUID m_virtualGuid{};
    plat::GUID m_publicGuid{};
    bool m_dnsRelayAllowed = false;
    bool m_icsAllowed = true;
    bool m_driverAllowed = true;
    int m_wifiMode = 0;
    std::vector<int> m_allowPorts;
    // The run's flow in ICS mode, from the access point adapter's counters.
    struct AdapterFlow {
        bool primed = false;
        std::uint64_t lastReceived = 0;
        std::uint64_t lastSent = 0;
        std::uint64_t down = 0;
        std::uint64_t up = 0;
    };
    AdapterFlow m_adapterFlow;

    std::atomic<bool> m_wifiStarted{false};
    std::atomic<bool> m_internetConnected{false};
    std::atomic<int> m_state{kStateCreated};

    // The stop request: set under m_mutex, signalled on m_stopSignal.
    std::mutex m_mutex;
    std::condition_variable_any m_stopSignal;
    bool m_stopRequested = false;

    std::jthread m_worker;
    // The worker has undone its run and only reports it before it sets 5;
    // a start made on that report waits for the 5 (under m_mutex, signalled
    // on m_leftSignal) instead of being refused.
    std::atomic<bool> m_leaving{false};
    std::condition_variable m_leftSignal;
    std::jthread m_clientThread;
    // Keeps the stop sequence and the re-sharing apart.
    std::mutex m_stopLock;
};
