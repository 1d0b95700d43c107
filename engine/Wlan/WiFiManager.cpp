#include "WiFiManager.h"

#include <glog/logging.h>

CWiFiManager::CWiFiManager(CWiFiEventCallback* callback) : m_pCallback(callback) {}

CWiFiManager::~CWiFiManager() = default;

int CWiFiManager::Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding) {
    if (!m_bInitialized)
        return kWiFiNotInitialized;
    SetSsidEncoding(ssidEncoding);
    if (!SetSsid(ssid)) {
        LOG(ERROR) << "set ssid failed";
        return kWiFiSetSsidFailed;
    }
    if (!SetKey(key)) {
        LOG(ERROR) << "set key failed";
        return kWiFiSetKeyFailed;
    }
    return StartAp();
}

bool CWiFiManager::IsApiReady() {
    return m_bApiReady;
}

bool CWiFiManager::IsStarted() {
    return m_bStarted;
}

bool CWiFiManager::SetSsid(const std::wstring& ssid) {
    m_strSsid = ssid;
    return true;
}

bool CWiFiManager::SetKey(const std::wstring& key) {
    m_strKey = key;
    return true;
}

std::wstring CWiFiManager::GetSsid() {
    return m_strSsid;
}

std::wstring CWiFiManager::GetKey() {
    return m_strKey;
}

bool CWiFiManager::SetAdapterGuid(const plat::GUID& guid) {
    m_guidAdapter = guid;
    return true;
}

int CWiFiManager::GetAdapterGuid(plat::GUID* out) {
    if (out != nullptr)
        *out = m_guidAdapter;
    return 0;
}

int CWiFiManager::SetSsidEncoding(int encoding) {
    m_nSsidEncoding = encoding;
    return encoding;
}

int CWiFiManager::GetSsidEncoding() {
    return m_nSsidEncoding;
}

int CWiFiManager::GetMode() {
    return m_nMode;
}
