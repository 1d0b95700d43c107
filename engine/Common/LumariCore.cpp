#include "LumariCore.h"

#include <new>

#include "LumariManager.h"

CLumariCore::CLumariCore(CLumariNotify* notify) {
    try {
        m_manager = new CLumariManager(notify);
    } catch (...) {
        m_manager = nullptr;
    }
}

CLumariCore::~CLumariCore() {
    delete m_manager;
}

int CLumariCore::Init(int* mode) {
    return m_manager != nullptr ? m_manager->Init(mode) : -1;
}

void CLumariCore::Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding) {
    if (m_manager != nullptr)
        m_manager->Start(ssid, key, ssidEncoding);
}

void CLumariCore::Stop() {
    if (m_manager != nullptr)
        m_manager->Stop();
}

int CLumariCore::GetStatus() {
    return m_manager != nullptr ? m_manager->GetStatus() : -1;
}

std::wstring CLumariCore::GetHostIp() {
    return m_manager != nullptr ? m_manager->GetHostIp() : std::wstring();
}

bool CLumariCore::GetFlow(std::uint64_t* down, std::uint64_t* up) {
    return m_manager != nullptr && m_manager->GetFlow(down, up);
}

std::wstring CLumariCore::GetVirtualAdapterMac() {
    return m_manager != nullptr ? m_manager->GetVirtualAdapterMac() : std::wstring();
}

bool CLumariCore::SetOption(const std::wstring& key, const std::wstring& value) {
    return m_manager != nullptr && m_manager->SetOption(key, value);
}

int CLumariCore::GetWiFiMode() {
    return m_manager != nullptr ? m_manager->GetWiFiMode() : 0;
}

int CLumariCore::ClientControl() {
    return m_manager != nullptr ? m_manager->ClientControl() : 0;
}

bool CLumariCore::SetSpeedLimit(const std::wstring& mac, int down, int up) {
    return m_manager != nullptr && m_manager->SetSpeedLimit(mac, down, up);
}

bool CLumariCore::BanClient(const std::wstring& mac) {
    return m_manager != nullptr && m_manager->BanClient(mac);
}

bool CLumariCore::BlockClient(const std::wstring& mac) {
    return m_manager != nullptr && m_manager->BlockClient(mac);
}

bool CLumariCore::UnbanClient(const std::wstring& mac) {
    return m_manager != nullptr && m_manager->UnbanClient(mac);
}

bool CLumariCore::DenyClient(const std::wstring& mac) {
    return m_manager != nullptr && m_manager->DenyClient(mac);
}

bool CLumariCore::AllowClient(const std::wstring& mac) {
    return m_manager != nullptr && m_manager->AllowClient(mac);
}

bool CLumariCore::DisallowClient(const std::wstring& mac) {
    return m_manager != nullptr && m_manager->DisallowClient(mac);
}

std::vector<std::wstring> CLumariCore::GetAllowList() {
    return m_manager != nullptr ? m_manager->GetAllowList() : std::vector<std::wstring>{};
}

bool CLumariCore::SetClientNickName(const std::wstring& mac, const std::wstring& nickName) {
    return m_manager != nullptr && m_manager->SetClientNickName(mac, nickName);
}

bool CLumariCore::SetClientFacePath(const std::wstring& mac, const std::wstring& facePath) {
    return m_manager != nullptr && m_manager->SetClientFacePath(mac, facePath);
}

void CLumariCore::GetClients(std::vector<ClientInfo>& out) {
    if (m_manager != nullptr)
        m_manager->GetClients(out);
}

void CLumariCore::GetBannedClients(std::vector<ClientInfo>& out) {
    if (m_manager != nullptr)
        m_manager->GetBannedClients(out);
}

bool CLumariCore::GetClient(const std::wstring& mac, ClientInfo& out) {
    return m_manager != nullptr && m_manager->GetClient(mac, out);
}

bool CLumariCore::FindClient(const std::wstring& mac, ClientInfo& out) {
    return m_manager != nullptr && m_manager->FindClient(mac, out);
}
