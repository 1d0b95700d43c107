#include "NetConProperty.h"

#include <glog/logging.h>

#include <cstdio>

#include "Common/ProcessSingleton.h"
#include "Common/StringConv.h"
#include "Common/WinVersion.h"
#include "pellion/Pellion.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

namespace {

// netshell.dll, loaded once its function is bound, and that function.
class NetshellBinding {
public:
    ~NetshellBinding() {
        if (m_module != nullptr)
            plat::FreeLibrary(m_module);
    }
    plat::HRESULT Bind() {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_free != nullptr)
            return plat::kSOk;
        plat::HMODULE module = plat::LoadLibraryW(L"netshell.dll");
        if (module == nullptr)
            return plat::HresultFromWin32(plat::GetLastError());
        auto free = plat::GetProcAddressAs<plat::NcFreeNetconPropertiesFn>(
            module, "NcFreeNetconProperties");
        if (free == nullptr) {
            const plat::DWORD error = plat::GetLastError();
            plat::FreeLibrary(module);
            return plat::HresultFromWin32(error);
        }
        m_module = module;
        m_free = free;
        return plat::kSOk;
    }
    plat::NcFreeNetconPropertiesFn Free() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_free;
    }

private:
    std::mutex m_lock;
    plat::HMODULE m_module = nullptr;
    plat::NcFreeNetconPropertiesFn m_free = nullptr;
};

std::wstring Text(const plat::WCHAR* text) {
    return plat::TextCodec::FromWchars(text, static_cast<std::size_t>(-1));
}

}  // namespace

CNetConProperty::CNetConProperty(const plat::NETCON_PROPERTIES& properties)
    : m_guid(properties.guidId),
      m_name(Text(properties.pszwName)),
      m_deviceName(Text(properties.pszwDeviceName)),
      m_status(properties.Status),
      m_mediaType(properties.MediaType) {}

CNetConProperty::CNetConProperty(const plat::AdapterInfo& adapter) {
    UpdateFromAdapter(adapter);
    m_guid = IsWindowsVersionOrGreater(6, 0, 0) ? adapterGuid() : plat::GUID_NULL_;
}

void CNetConProperty::UpdateFromAdapter(const plat::AdapterInfo& adapter) {
    std::vector<std::string> addresses;
    for (const auto& a : adapter.ipv4)
        addresses.push_back(a.ip);
    std::lock_guard<std::mutex> g(m_lock);
    m_ifIndex = static_cast<int>(adapter.ifIndex);
    m_ifType = adapter.ifType;
    m_adapterGuid = adapter.guid;
    m_ipAddresses = std::move(addresses);
    m_mac = FormatMac(adapter.mac);
}

void CNetConProperty::RefreshAddresses() {
    std::vector<plat::AdapterInfo> adapters;
    if (plat::Platform::Current().Net().Adapters(&adapters) != 0)
        return;
    const int index = ifIndex();
    for (const auto& a : adapters)
        if (a.guid == m_guid || static_cast<int>(a.ifIndex) == index)
            UpdateFromAdapter(a);
}

bool CNetConProperty::GetDnsServers(std::vector<std::string>& servers) const {
    std::vector<std::string> found;
    if (plat::Platform::Current().Net().DnsServers(static_cast<plat::DWORD>(ifIndex()), &found) ==
        0)
        servers.insert(servers.end(), found.begin(), found.end());
    return !servers.empty();
}

bool CNetConProperty::SetInterfaceAddress(const std::string& ip, const std::string& mask,
                                          const std::string& gateway, bool retry) {
    LOG(INFO) << "set interface " << WideToAnsiReplacing(m_name) << " ip " << ip;
    const char* address = ip.empty() ? nullptr : ip.c_str();
    int result = SetInterfaceIp(&m_guid, address, mask.c_str(), gateway.c_str());
    if (result == 0 || !retry)
        result = SetInterfaceIp2(&m_guid, address, mask.c_str(), gateway.c_str());
    if (result == 0)
        LOG(ERROR) << "set ip failed:" << ip;
    else
        LOG(INFO) << "set ip succeed:" << ip;
    return result == 1;
}

bool CNetConProperty::CheckIP(const std::string& expected) {
    RefreshAddresses();
    const std::vector<std::string> addresses = ipAddresses();
    if (addresses.empty()) {
        LOG(ERROR) << "Get ip failed!!";
        return false;
    }
    for (const auto& current : addresses) {
        LOG(INFO) << "CheckIP Expected ip:" << expected << " Current ip:" << current;
        if (current == expected)
            return true;
    }
    return false;
}

bool CNetConProperty::GetFlow(std::uint64_t& receivedKb, std::uint64_t& sentKb) const {
    std::uint64_t in = 0, out = 0;
    const plat::DWORD e = plat::Platform::Current().Net().InterfaceCounters(
        static_cast<plat::DWORD>(ifIndex()), &in, &out);
    if (e != 0) {
        char text[32];
        std::snprintf(text, sizeof text, "GetFlow failed %d\n", static_cast<int>(e));
        plat::OutputDebugStringA(text);
        return false;
    }
    receivedKb = in / 1024;
    sentKb = out / 1024;
    return true;
}

plat::HRESULT CNetConProperty::NSModInit() {
    return ProcessSingleton<NetshellBinding>::Get()->Bind();
}

plat::NcFreeNetconPropertiesFn CNetConProperty::FreeNetconProperties() {
    return ProcessSingleton<NetshellBinding>::Get()->Free();
}

int CNetConProperty::ifIndex() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_ifIndex;
}

plat::DWORD CNetConProperty::ifType() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_ifType;
}

plat::GUID CNetConProperty::adapterGuid() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_adapterGuid;
}

std::vector<std::string> CNetConProperty::ipAddresses() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_ipAddresses;
}

std::wstring CNetConProperty::mac() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_mac;
}

std::wstring CNetConProperty::FormatMac(const std::vector<plat::BYTE>& address) {
    const std::size_t groups = address.size() == 6 ? 6 : 8;
    std::wstring out;
    for (std::size_t i = 0; i < groups; ++i) {
        wchar_t group[4];
        std::swprintf(group, 4, i == 0 ? L"%02X" : L"-%02X", i < address.size() ? address[i] : 0);
        out += group;
    }
    return out;
}
