// The access point as the system's own mobile hotspot (Windows 10 and later),
// for the many current wireless drivers that no longer offer the hosted
// network. It shares the connection that reaches the Internet: Windows itself
// shares it and hands out the addresses, so the engine starts neither ICS nor
// the NAT driver nor its DHCP server in this mode. Every operation of the
// system completes asynchronously; the manager waits for it on the engine's
// worker thread, where a user stop ends the wait. A thread of the manager
// reads the system's client list once a second and reports joins and leaves,
// and reports the hotspot going off from outside.
#pragma once

#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "WiFiManager.h"
#include "platform/facility/MobileHotspot.h"

class CMobileHotspotManager : public CWiFiManager {
public:
    // One device the mobile hotspot serves.
    struct Station {
        std::wstring mac;  // "%02X-%02X-%02X-%02X-%02X-%02X"
        std::vector<std::wstring> hostNames;
    };

    explicit CMobileHotspotManager(CWiFiEventCallback* callback);
    // Ends the client poll; an operation still pending completes into state
    // of its own, never into this object.
    ~CMobileHotspotManager() override;

    int Init() override;
    int StartAp() override;
    int StopAp() override;
    // The system takes SSIDs of 1 to 32 bytes (UTF-8) and pass phrases of 8
    // to 63 characters; anything else is refused here, before it is sent.
    bool SetSsid(const std::wstring& ssid) override;
    bool SetKey(const std::wstring& key) override;
    // The system's configuration as it stands.
    std::wstring GetSsid() override;
    std::wstring GetKey() override;
    // The system does not name the adapter that carries the hotspot: GUID_NULL.
    int GetAdapterGuid(plat::GUID* out) override;

    // The stations of the last poll.
    std::vector<Station> GetStations();

    struct Wait;

private:
    // Waits for `operation` to complete. `interruptible`: a stop request of
    // the worker ends the wait (the operation is canceled, 1000). Returns 0
    // with the AsyncStatus and, for start and stop, the operation's status;
    // or the code of the failure.
    int Await(plat::TetheringOperation& operation, bool interruptible, std::int32_t* asyncStatus,
              std::int32_t* status, const char* what);
    int MapStatus(std::int32_t status, const char* what);
    int MapCapability(std::int32_t capability);
    // Stops the system's hotspot without being interrupted; used by StopAp and
    // after an interrupted start that completed anyway.
    int StopTethering();
    void KeepUpWithoutClients();
    void RestoreTimeout();
    void StartPolling();
    void StopPolling();
    void _PollThread(std::stop_token token);

    plat::MobileHotspot& m_hotspot;
    std::unique_ptr<plat::ConnectionProfile> m_profile;
    std::unique_ptr<plat::TetheringManager> m_manager;
    std::wstring m_profileName;
    // The no-connections timeout was on and this manager turned it off.
    bool m_timeoutDisabledHere = false;

    std::mutex m_stationsLock;
    std::vector<Station> m_stations;
    std::jthread m_pollThread;
};
