// The exported functions of the library. Table operations run under the DHCP
// server's lock; the adapter and neighbour operations keep no state.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "AdapterAddressing.h"
#include "DhcpServer.h"
#include "Pellion.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/MacText.h"

using pellion::DhcpServer;
using pellion::Lease;
using pellion::LeaseTable;
using plat::MacAddress;
using plat::MacText;

namespace {

constexpr int kRecordBytes = static_cast<int>(sizeof(_DHCP_CLIENT));

_DHCP_CLIENT Record(const Lease& lease) {
    _DHCP_CLIENT c{};
    c.ip = lease.bound ? lease.ip : 0;
    std::memcpy(c.mac, lease.mac.data(), sizeof c.mac);
    std::memcpy(c.hostname, lease.hostname.data(), sizeof c.hostname);
    return c;
}

// Copies `name` for the host-name queries: 122 and *len unchanged when the
// buffer is short, else the name with its terminator and *len its length + 1.
int CopyHostname(const std::string& name, char* out, int* len) {
    const int needed = static_cast<int>(name.size()) + 1;
    if (*len < needed)
        return static_cast<int>(plat::kErrorInsufficientBuffer);
    if (out == nullptr)
        return static_cast<int>(plat::kErrorInvalidParameter);
    std::memcpy(out, name.c_str(), static_cast<std::size_t>(needed));
    *len = needed;
    return 0;
}

}  // namespace

extern "C" {

PELLION_API int StartDHCP(const char* serverIp, PELLION_ACK_CALLBACK onAck) {
    return DhcpServer::Instance().Start(serverIp, onAck);
}

PELLION_API int StopDHCP() {
    return DhcpServer::Instance().Stop();
}

PELLION_API int SetDNS(const char* dnsList) {
    return DhcpServer::Instance().SetDns(dnsList);
}

PELLION_API void AddBlackList(const char* macText) {
    MacAddress mac;
    if (!MacText::Parse(macText, &mac))
        return;
    DhcpServer::Instance().WithTable([&](LeaseTable& t) { t.AddBlack(mac); });
}

PELLION_API void RemoveFromBlackList(const char* macText) {
    MacAddress mac;
    if (!MacText::Parse(macText, &mac))
        return;
    DhcpServer::Instance().WithTable([&](LeaseTable& t) { t.RemoveBlack(mac); });
}

PELLION_API void ClearBlackList() {
    DhcpServer::Instance().WithTable([](LeaseTable& t) { t.ClearBlack(); });
}

PELLION_API void SetAllowListOn(int on) {
    DhcpServer::Instance().WithTable([&](LeaseTable& t) { t.SetAllowOnly(on != 0); });
}

PELLION_API void AddAllowList(const char* macText) {
    MacAddress mac;
    if (!MacText::Parse(macText, &mac))
        return;
    DhcpServer::Instance().WithTable([&](LeaseTable& t) { t.AddAllowed(mac); });
}

PELLION_API void RemoveFromAllowList(const char* macText) {
    MacAddress mac;
    if (!MacText::Parse(macText, &mac))
        return;
    DhcpServer::Instance().WithTable([&](LeaseTable& t) { t.RemoveAllowed(mac); });
}

PELLION_API int GetAllDhcpClients(void* buffer, int* bufferBytes) {
    if (buffer == nullptr || bufferBytes == nullptr)
        return 0;
    return DhcpServer::Instance().WithTable([&](LeaseTable& t) {
        // The buffer must hold every entry, bound or not.
        if (*bufferBytes < 0 ||
            static_cast<std::size_t>(*bufferBytes) < t.Size() * sizeof(_DHCP_CLIENT))
            return 0;
        auto* out = static_cast<unsigned char*>(buffer);
        int written = 0;
        for (const Lease* lease : t.Ordered()) {
            if (!lease->bound)
                continue;
            const _DHCP_CLIENT c = Record(*lease);
            std::memcpy(out + written * kRecordBytes, &c, sizeof c);
            ++written;
        }
        return written;
    });
}

PELLION_API int GetDhcpClient(const char* macText, _DHCP_CLIENT* out) {
    MacAddress mac;
    if (out == nullptr || !MacText::Parse(macText, &mac))
        return 0;
    return DhcpServer::Instance().WithTable([&](LeaseTable& t) {
        const Lease* lease = t.Find(mac);
        if (lease == nullptr)
            return 0;
        *out = Record(*lease);
        return 1;
    });
}

PELLION_API int RemoveClientItem(const char* macText) {
    MacAddress mac;
    if (!MacText::Parse(macText, &mac))
        return 0;
    return DhcpServer::Instance().WithTable([&](LeaseTable& t) { return t.Unbind(mac) ? 1 : 0; });
}

PELLION_API int GetDhcpHostnameByMac(const char* macText, char* out, int* len) {
    if (len == nullptr)
        return static_cast<int>(plat::kErrorInvalidParameter);
    MacAddress mac;
    if (!MacText::Parse(macText, &mac))
        return static_cast<int>(plat::kErrorFileNotFound);
    return DhcpServer::Instance().WithTable([&](LeaseTable& t) {
        const Lease* lease = t.Find(mac);
        if (lease == nullptr)
            return static_cast<int>(plat::kErrorFileNotFound);
        return CopyHostname(lease->Hostname(), out, len);
    });
}

PELLION_API int GetDhcpHostnameByIp(std::uint32_t ip, char* out, int* len) {
    if (len == nullptr)
        return static_cast<int>(plat::kErrorInvalidParameter);
    return DhcpServer::Instance().WithTable([&](LeaseTable& t) {
        // Entries without an address (black-list marks) never match. The
        // client that holds the address answers before those that held it.
        if (ip == 0)
            return static_cast<int>(plat::kErrorFileNotFound);
        std::uint8_t b[4];
        plat::Ipv4Text::ToBytes(ip, b);
        if (const Lease* holder = t.Holder(b[3]); holder != nullptr && holder->ip == ip)
            return CopyHostname(holder->Hostname(), out, len);
        for (const Lease* lease : t.Ordered()) {
            if (lease->ip == ip)
                return CopyHostname(lease->Hostname(), out, len);
        }
        return static_cast<int>(plat::kErrorFileNotFound);
    });
}

PELLION_API std::uint32_t GetIpByMac(const char* macText) {
    MacAddress mac;
    if (!MacText::Parse(macText, &mac))
        return 0;
    std::vector<plat::NeighbourRow> rows;
    if (plat::Platform::Current().Net().Neighbours(&rows) != 0)
        return 0;
    for (const auto& row : rows) {
        // An invalid row keeps a neighbour's former address: no answer.
        if (row.type == plat::kNeighbourInvalid)
            continue;
        if (row.mac.size() == mac.size() && std::equal(mac.begin(), mac.end(), row.mac.begin()))
            return row.ip;
    }
    return 0;
}

PELLION_API int Ping(std::uint32_t ip, std::uint32_t timeoutMs) {
    // The system replies itself for a missing host of a local subnet; only
    // a reply of the host counts.
    plat::DWORD status = plat::kIpReqTimedOut;
    const plat::DWORD replies = plat::Platform::Current().Net().Echo(ip, timeoutMs, &status);
    return replies > 0 && status == plat::kIpSuccess ? 1 : 0;
}

PELLION_API int GetHostname(const char* ipText, char* out, int* len) {
    std::uint32_t ip = 0;
    if (ipText == nullptr || len == nullptr || !plat::Ipv4Text::Parse(ipText, &ip))
        return 0;
    std::string name;
    if (!plat::Platform::Current().Net().ReverseLookup(ip, &name))
        return 0;
    const int capacity = *len;
    *len = static_cast<int>(name.size());
    if (out != nullptr && capacity >= *len + 1)
        std::memcpy(out, name.c_str(), name.size() + 1);
    return 1;
}

PELLION_API int SetInterfaceIp(const plat::GUID* adapter, const char* ip, const char* mask,
                               const char* gateway) {
    return pellion::AdapterAddressing::SetAddress(adapter, ip, mask, gateway);
}

PELLION_API int SetInterfaceIp2(const plat::GUID* adapter, const char* ip, const char* mask,
                                const char* gateway) {
    return pellion::AdapterAddressing::SetAddressWmi(adapter, ip, mask, gateway);
}

PELLION_API int SetInterfaceIpAddress(const plat::GUID* adapter, const std::uint32_t* ip,
                                      const std::uint32_t* mask, const std::uint32_t* gateway) {
    if (ip == nullptr)
        return pellion::AdapterAddressing::SetAddress(adapter, nullptr, nullptr, nullptr);
    const std::string ipText = plat::Ipv4Text::Format(*ip);
    const std::string maskText = mask != nullptr ? plat::Ipv4Text::Format(*mask) : "";
    const std::string gatewayText =
        gateway != nullptr && *gateway != 0 ? plat::Ipv4Text::Format(*gateway) : "";
    return pellion::AdapterAddressing::SetAddress(
        adapter, ipText.c_str(), mask != nullptr ? maskText.c_str() : nullptr,
        gateway != nullptr ? gatewayText.c_str() : nullptr);
}

PELLION_API int GetInterfaceIp(const plat::GUID* adapter, std::uint32_t* ip, std::uint32_t* mask,
                               std::uint32_t* gateway) {
    return pellion::AdapterAddressing::GetAddress(adapter, ip, mask, gateway);
}

PELLION_API int SetInterfaceDns(const plat::GUID* adapter, const char* dnsList) {
    return pellion::AdapterAddressing::SetDns(adapter, dnsList);
}

PELLION_API int GetInterfaceDns(const plat::GUID* adapter, std::uint32_t* dns) {
    return pellion::AdapterAddressing::GetDns(adapter, dns);
}

}  // extern "C"
