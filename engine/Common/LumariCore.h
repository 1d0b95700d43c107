// The engine handle the window owns: it owns one CLumariManager and forwards
// every call to it. When the manager could not be made, every operation
// answers its neutral value and does nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Common/ClientInfo.h"
#include "Common/LumariNotify.h"

class CLumariManager;

class CLumariCore {
public:
    explicit CLumariCore(CLumariNotify* notify);
    ~CLumariCore();
    CLumariCore(const CLumariCore&) = delete;
    CLumariCore& operator=(const CLumariCore&) = delete;

    int Init(int* mode);
    void Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding);
    void Stop();
    int GetStatus();
    std::wstring GetHostIp();
    bool GetFlow(std::uint64_t* down, std::uint64_t* up);
    std::wstring GetVirtualAdapterMac();
    bool SetOption(const std::wstring& key, const std::wstring& value);
    int GetWiFiMode();
    // 0, or the code speed limits and bans are refused with in the current
    // access-point mode (1011: the system's mobile hotspot).
    int ClientControl();
    bool SetSpeedLimit(const std::wstring& mac, int down, int up);
    bool BanClient(const std::wstring& mac);
    bool BlockClient(const std::wstring& mac);
    bool UnbanClient(const std::wstring& mac);
    // The deny list is the banned clients; a MAC never seen can be put on it.
    // While the allow list holds any device, only those on it get a lease or
    // traffic. Both lists are kept in the client database.
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

private:
    CLumariManager* m_manager = nullptr;
};
