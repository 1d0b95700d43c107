// How the access-point managers report to the engine. Calls may arrive on any
// thread (platform notification threads, a manager's own poll thread).
#pragma once

#include <string>

class CWiFiEventCallback {
public:
    virtual ~CWiFiEventCallback() = default;
    virtual void OnWiFiStarted() {}
    virtual void OnWiFiStopped() {}
    virtual void OnWiFiAvailable() {}
    virtual void OnWiFiNotAvailable() {}
    // `mac` is "%02X-%02X-%02X-%02X-%02X-%02X".
    virtual void OnStationJoin(const std::wstring& mac) { (void)mac; }
    virtual void OnStationLeave(const std::wstring& mac) { (void)mac; }
};
