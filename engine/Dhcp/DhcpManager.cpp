#include "DhcpManager.h"

#include <glog/logging.h>

#include <cstring>
#include <mutex>

#include "Common/ProcessSingleton.h"
#include "Common/StringConv.h"
#include "pellion/Pellion.h"
#include "platform/text/MacText.h"

namespace {
// Room for this many records in one listing of the leases.
constexpr int kMaxClients = 256;
}  // namespace

CDhcpManager* CDhcpManager::GetInstance() {
    return ProcessSingleton<CDhcpManager>::Get();
}

bool CDhcpManager::Start(const std::string& ip, const std::string& dns) {
    StopDHCP();
    LOG(INFO) << "start dhcp ip: " << ip << " dns: " << dns;
    if (SetDNS(dns.c_str()) == 0)
        LOG(ERROR) << "dhcp set dns failed";
    const int result = StartDHCP(ip.c_str(), nullptr);
    if (result != 1)
        LOG(ERROR) << "dhcp start failed";
    return result == 1;
}

void CDhcpManager::GetAllClients(std::vector<DhcpClientEntry>& out) {
    std::vector<_DHCP_CLIENT> records(kMaxClients);
    int bytes = static_cast<int>(records.size() * sizeof(_DHCP_CLIENT));
    const int count = GetAllDhcpClients(records.data(), &bytes);
    for (int i = 0; i < count && i < kMaxClients; ++i) {
        const _DHCP_CLIENT& r = records[static_cast<std::size_t>(i)];
        out.push_back({r.ip, plat::MacText::FormatWide(r.mac)});
    }
}

std::wstring CDhcpManager::GetClientHostName(const std::wstring& mac) {
    _DHCP_CLIENT record{};
    if (GetDhcpClient(WideToAnsi(mac).c_str(), &record) != 1)
        return std::wstring();
    return AnsiToWide(
        std::string(record.hostname, strnlen(record.hostname, sizeof record.hostname)));
}

bool CDhcpManager::RemoveClient(const std::wstring& mac) {
    return RemoveClientItem(WideToAnsi(mac).c_str()) == 1;
}
