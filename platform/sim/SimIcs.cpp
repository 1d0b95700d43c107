#include "SimIcs.h"

#include "SimFaults.h"
#include "platform/text/GuidText.h"

namespace plat {

void SimIcs::SetInstalled(bool installed) {
    std::lock_guard<std::mutex> g(m_lock);
    m_installed = installed;
}

void SimIcs::AddConnection(const GUID& connection) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_flags.count(connection) == 0)
        m_order.push_back(connection);
    m_flags[connection];
}

bool SimIcs::IsPublic(const GUID& connection) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_flags.find(connection);
    return it != m_flags.end() && it->second.isPublic;
}

bool SimIcs::IsPrivate(const GUID& connection) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_flags.find(connection);
    return it != m_flags.end() && it->second.isPrivate;
}

bool SimIcs::ManagerAlive() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_manager;
}

std::string SimIcs::WmiAddress(const std::string& settingId) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_wmiAddress.find(settingId);
    return it == m_wmiAddress.end() ? std::string() : it->second;
}

HRESULT SimIcs::CreateSharingManager() {
    if (auto f = m_faults.Take("CoCreateInstance(HNetShare)"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_manager = true;
    return kSOk;
}

void SimIcs::ReleaseSharingManager() {
    std::lock_guard<std::mutex> g(m_lock);
    m_manager = false;
}

HRESULT SimIcs::SharingInstalled(bool* installed) {
    if (auto f = m_faults.Take("get_SharingInstalled"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (installed != nullptr)
        *installed = m_installed;
    return kSOk;
}

HRESULT SimIcs::EveryConnection(std::vector<GUID>* out) {
    if (auto f = m_faults.Take("get_EnumEveryConnection"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (out != nullptr)
        *out = m_order;
    return kSOk;
}

bool SimIcs::HasConfiguration(const GUID& connection) {
    std::lock_guard<std::mutex> g(m_lock);
    return m_manager && m_flags.count(connection) != 0;
}

HRESULT SimIcs::EnableSharing(const GUID& connection, int sharingType) {
    if (auto f = m_faults.Take("EnableSharing"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_flags.find(connection);
    if (it == m_flags.end())
        return kEInvalidArg;
    // Windows allows one public and one private connection at a time.
    for (auto& [guid, flags] : m_flags) {
        if (sharingType == kIcsSharingTypePublic)
            flags.isPublic = false;
        else
            flags.isPrivate = false;
    }
    if (sharingType == kIcsSharingTypePublic)
        it->second.isPublic = true;
    else
        it->second.isPrivate = true;
    return kSOk;
}

HRESULT SimIcs::DisableSharing(const GUID& connection) {
    if (auto f = m_faults.Take("DisableSharing"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_flags.find(connection);
    if (it == m_flags.end())
        return kEInvalidArg;
    it->second = Flags{};
    return kSOk;
}

HRESULT SimIcs::QueryHomeNet(std::vector<HomeNetConnection>* out) {
    if (auto f = m_faults.Take("ExecQuery(HomeNet)"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (out == nullptr)
        return kEPointer;
    out->clear();
    for (const auto& guid : m_order) {
        HomeNetConnection c;
        c.connection = "HNet_Connection.Guid=\"" + GuidText::ToString(guid) + "\"";
        c.isIcsPublic = m_flags[guid].isPublic;
        c.isIcsPrivate = m_flags[guid].isPrivate;
        out->push_back(c);
    }
    return kSOk;
}

HRESULT SimIcs::PutHomeNet(const HomeNetConnection& instance) {
    if (auto f = m_faults.Take("PutInstance(HomeNet)"))
        return static_cast<HRESULT>(*f);
    const auto open = instance.connection.find('{');
    const auto close = instance.connection.find('}', open == std::string::npos ? 0 : open);
    GUID guid{};
    if (open == std::string::npos || close == std::string::npos ||
        !GuidText::Parse(instance.connection.substr(open, close - open + 1), &guid))
        return kEInvalidArg;
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_flags.find(guid);
    if (it == m_flags.end())
        return kEInvalidArg;
    it->second.isPublic = instance.isIcsPublic;
    it->second.isPrivate = instance.isIcsPrivate;
    return kSOk;
}

HRESULT SimIcs::EnableStatic(const std::string& settingId, const std::string& ip,
                             const std::string&) {
    if (auto f = m_faults.Take("EnableStatic"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_wmiAddress[settingId] = ip;
    return kSOk;
}

HRESULT SimIcs::SetGateways(const std::string&, const std::string&) {
    if (auto f = m_faults.Take("SetGateways"))
        return static_cast<HRESULT>(*f);
    return kSOk;
}

HRESULT SimIcs::EnableDhcp(const std::string& settingId) {
    if (auto f = m_faults.Take("EnableDHCP"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_wmiAddress[settingId] = "";
    return kSOk;
}

}  // namespace plat
