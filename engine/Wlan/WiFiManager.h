// The access-point manager interface: one implementation per way of turning
// the wireless adapter into an access point (hosted network, ad hoc, Ralink).
#pragma once

#include <string>

#include "WiFiEventCallback.h"
#include "platform/records/WinTypes.h"

// WiFiMode values.
// 4: the system's mobile hotspot (Windows 10 and later).
enum WiFiMode {
    kWiFiModeAuto = 0,
    kWiFiModeHosted = 1,
    kWiFiModeAdHoc = 2,
    kWiFiModeRalink = 3,
    kWiFiModeMobileHotspot = 4
};
// SsidEncoding values.
enum SsidEncoding { kSsidEncodingAnsi = 0, kSsidEncodingUtf8 = 1 };

// Result codes of the access-point subsystem.
enum WiFiResult {
    kWiFiOk = 0,
    kWiFiInterrupted = 1000,
    kWiFiNoInterface = 1001,
    kWiFiNotInitialized = 1002,
    kWiFiHardRadioOff = 1003,
    kWiFiSoftRadioOff = 1004,
    kWiFiSetSsidFailed = 1005,
    kWiFiSetKeyFailed = 1006,
    kWiFiRalinkStartFailed = 1007,
    kWiFiAdHocStartFailed = 1008,
    kWiFiNoManager = 1010,
};

class CWiFiManager {
public:
    explicit CWiFiManager(CWiFiEventCallback* callback);
    virtual ~CWiFiManager();
    CWiFiManager(const CWiFiManager&) = delete;
    CWiFiManager& operator=(const CWiFiManager&) = delete;

    virtual int Init() = 0;
    virtual int StartAp() = 0;
    virtual int Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding);
    virtual int StopAp() = 0;
    virtual bool IsApiReady();
    virtual bool IsStarted();
    virtual bool SetSsid(const std::wstring& ssid);
    virtual bool SetKey(const std::wstring& key);
    virtual std::wstring GetSsid();
    virtual std::wstring GetKey();
    virtual bool SetAdapterGuid(const plat::GUID& guid);
    virtual int GetAdapterGuid(plat::GUID* out);
    virtual int SetSsidEncoding(int encoding);
    virtual int GetSsidEncoding();
    virtual int GetMode();

protected:
    bool m_bInitialized = false;
    bool m_bApiReady = false;
    bool m_bStarted = false;
    int m_nSsidEncoding = 0;
    std::wstring m_strSsid;
    std::wstring m_strKey;
    int m_nMode = 0;
    plat::GUID m_guidAdapter{};
    CWiFiEventCallback* m_pCallback = nullptr;
};
