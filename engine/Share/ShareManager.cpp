#include "ShareManager.h"

#include <glog/logging.h>

#include "Common/ProcessSingleton.h"
#include "platform/text/GuidText.h"

namespace {
using Guard = std::lock_guard<std::recursive_mutex>;
}

CShareManager* CShareManager::GetInstance() {
    return ProcessSingleton<CShareManager>::Get();
}

bool CShareManager::_TryDriver() {
    if (!m_driver.Open())
        return false;
    m_shareType = kTypeDriver;
    m_initialized = true;
    LOG(INFO) << "Current share mode is drv.";
    return true;
}

bool CShareManager::_TryIcs() {
    if (m_ics.Init() && m_ics.IsSupport()) {
        m_shareType = kTypeIcs;
        m_initialized = true;
        LOG(INFO) << "Current share mode is ics.";
        return true;
    }
    m_ics.ReleaseSharingManager();
    return false;
}

bool CShareManager::InitShare(int mode) {
    Guard g(m_lock);
    switch (mode) {
        case kModeAuto:
            return _TryDriver() || _TryIcs();
        case kModeDriverOnly:
            return _TryDriver();
        case kModeIcsOnly:
            return _TryIcs();
        default:
            return false;
    }
}

bool CShareManager::SwitchToIcs() {
    Guard g(m_lock);
    return _TryIcs();
}

bool CShareManager::EnableShare(const plat::GUID& privateGuid, const plat::GUID& publicGuid) {
    Guard g(m_lock);
    m_privateGuid = privateGuid;
    m_publicGuid = publicGuid;
    m_shared = false;
    LOG(INFO) << "Private GUID: " << plat::GuidText::ToString(privateGuid);
    LOG(INFO) << "Public GUID: " << plat::GuidText::ToString(publicGuid);
    if (m_shareType == kTypeDriver) {
        m_shared = m_driver.EnableShare(publicGuid, privateGuid);
        if (m_shared) {
            const plat::HRESULT hr = m_ics.DisableIcsUsingWMI();
            if (hr < 0)
                LOG(INFO) << "DisableIcsShareWMI failed " << std::hex
                          << static_cast<std::uint32_t>(hr);
        }
    } else if (m_shareType == kTypeIcs) {
        m_shared = m_ics.Enable(publicGuid, privateGuid);
    }
    const char* side = m_shareType == kTypeDriver ? "(drv)." : "(ICS).";
    if (m_shared)
        LOG(INFO) << "EnableShare Succeed" << side;
    else
        LOG(ERROR) << "EnableShare Failed" << side;
    return m_shared;
}

bool CShareManager::DisableShare() {
    Guard g(m_lock);
    bool ok = false;
    if (m_shareType == kTypeDriver)
        ok = m_driver.DisableShare();
    else if (m_shareType == kTypeIcs)
        ok = m_ics.Disable();
    if (!ok) {
        LOG(ERROR) << "DisableShare Failed.";
        return false;
    }
    m_publicGuid = plat::GUID_NULL_;
    m_privateGuid = plat::GUID_NULL_;
    m_shared = false;
    LOG(INFO) << "DisableShare Succeed.";
    return true;
}

void CShareManager::DeInitShare() {
    Guard g(m_lock);
    LOG(INFO) << "DeInitShare.";
    if (m_shared)
        DisableShare();
    if (m_initialized) {
        m_driver.Close();
        m_ics.ReleaseSharingManager();
    }
    m_initialized = false;
}

bool CShareManager::IsDriverMode() const {
    Guard g(m_lock);
    return m_shareType == kTypeDriver;
}

bool CShareManager::GetPeers(std::vector<plat::PEER_INFO>& peers) {
    Guard g(m_lock);
    return m_driver.GetPeers(peers);
}

bool CShareManager::SetSpeedLimit(const std::wstring& mac, int allowed, int downLimit,
                                  int upLimit) {
    Guard g(m_lock);
    return m_driver.SetSpeedLimit(mac, allowed, downLimit, upLimit);
}

bool CShareManager::SetAllowPorts(const std::vector<std::uint16_t>& ports) {
    Guard g(m_lock);
    return m_driver.SetAllowPorts(ports);
}

bool CShareManager::DeletePeers(const std::wstring& mac) {
    Guard g(m_lock);
    return m_driver.DeletePeers(mac);
}

bool CShareManager::IsShared() const {
    Guard g(m_lock);
    return m_shared;
}

int CShareManager::ShareType() const {
    Guard g(m_lock);
    return m_shareType;
}

bool CShareManager::IsInitialized() const {
    Guard g(m_lock);
    return m_initialized;
}

plat::GUID CShareManager::PublicGuid() const {
    Guard g(m_lock);
    return m_publicGuid;
}

plat::GUID CShareManager::PrivateGuid() const {
    Guard g(m_lock);
    return m_privateGuid;
}
