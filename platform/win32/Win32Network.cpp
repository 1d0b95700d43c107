#include "Win32Network.h"

// Winsock first, then IP Helper and ICMP, which build on it.
#include <winsock2.h>

#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <cstring>
#include <vector>

#include "../Backend.h"
#include "../Platform.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {
std::string Dotted(const sockaddr* sa) {
    char buf[INET_ADDRSTRLEN] = {};
    if (sa == nullptr || sa->sa_family != AF_INET)
        return std::string();
    const auto* sin = reinterpret_cast<const sockaddr_in*>(sa);
    ::inet_ntop(AF_INET, const_cast<in_addr*>(&sin->sin_addr), buf, sizeof buf);
    return buf;
}

std::string MaskOf(::ULONG prefix) {
    const std::uint32_t bits = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
    in_addr a{};
    a.s_addr = htonl(bits);
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

bool Run(const std::string& command) {
    const ProcessResult r = Platform::Current().Processes().Run(command);
    return r.started && r.exitCode == 0;
}
}  // namespace

DWORD Win32Network::Adapters(std::vector<AdapterInfo>* out) {
    if (out == nullptr)
        return ERROR_INVALID_PARAMETER;
    out->clear();
    const ::ULONG flags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_INCLUDE_GATEWAYS;
    ::ULONG size = 0;
    ::ULONG rc = ::GetAdaptersAddresses(AF_INET, flags, nullptr, nullptr, &size);
    if (rc != ERROR_BUFFER_OVERFLOW && rc != ERROR_SUCCESS)
        return rc;
    std::vector<unsigned char> buffer(size == 0 ? 1 : size);
    auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    rc = ::GetAdaptersAddresses(AF_INET, flags, nullptr, list, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (auto* a = list; a != nullptr; a = a->Next) {
        AdapterInfo info;
        info.name = a->AdapterName != nullptr ? a->AdapterName : "";
        GuidText::Parse(info.name, &info.guid);
        info.friendlyName = a->FriendlyName != nullptr ? a->FriendlyName : L"";
        info.description = a->Description != nullptr ? a->Description : L"";
        info.ifIndex = a->IfIndex;
        info.ifType = a->IfType;
        info.mac.assign(a->PhysicalAddress, a->PhysicalAddress + a->PhysicalAddressLength);
        info.up = a->OperStatus == IfOperStatusUp;
        for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next)
            info.ipv4.push_back({Dotted(u->Address.lpSockaddr), MaskOf(u->OnLinkPrefixLength)});
        for (auto* d = a->FirstDnsServerAddress; d != nullptr; d = d->Next) {
            const std::string s = Dotted(d->Address.lpSockaddr);
            if (!s.empty())
                info.dns.push_back(s);
        }
        if (a->FirstGatewayAddress != nullptr)
            info.gateway = Dotted(a->FirstGatewayAddress->Address.lpSockaddr);
        out->push_back(info);
    }
    return ERROR_SUCCESS;
}

DWORD Win32Network::BestInterface(std::uint32_t destination, DWORD* ifIndex) {
    ::DWORD index = 0;
    const ::DWORD rc = ::GetBestInterface(destination, &index);
    if (rc == NO_ERROR && ifIndex != nullptr)
        *ifIndex = index;
    return rc;
}

DWORD Win32Network::InterfaceCounters(DWORD ifIndex, std::uint64_t* inOctets,
                                      std::uint64_t* outOctets) {
    MIB_IFROW row{};
    row.dwIndex = ifIndex;
    const ::DWORD rc = ::GetIfEntry(&row);
    if (rc != NO_ERROR)
        return rc;
    if (inOctets != nullptr)
        *inOctets = row.dwInOctets;
    if (outOctets != nullptr)
        *outOctets = row.dwOutOctets;
    return NO_ERROR;
}

DWORD Win32Network::DnsServers(DWORD ifIndex, std::vector<std::string>* out) {
    if (out == nullptr)
        return ERROR_INVALID_PARAMETER;
    out->clear();
    ::ULONG size = 0;
    ::DWORD rc = ::GetPerAdapterInfo(ifIndex, nullptr, &size);
    if (rc != ERROR_BUFFER_OVERFLOW)
        return rc;
    std::vector<unsigned char> buffer(size);
    auto* info = reinterpret_cast<IP_PER_ADAPTER_INFO*>(buffer.data());
    rc = ::GetPerAdapterInfo(ifIndex, info, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (const IP_ADDR_STRING* s = &info->DnsServerList; s != nullptr; s = s->Next) {
        const std::string text(s->IpAddress.String,
                               strnlen(s->IpAddress.String, sizeof s->IpAddress.String));
        if (!text.empty())
            out->push_back(text);
    }
    return ERROR_SUCCESS;
}

bool Win32Network::ConnectionName(const GUID& adapter, std::string* name) {
    RegValue v;
    const std::string key =
        "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\" +
        GuidText::ToString(adapter) + "\\Connection";
    if (Platform::Current().Reg().QueryValue(RegRoot::LocalMachine, key, "Name", &v) != 0)
        return false;
    name->assign(v.data.begin(), v.data.end());
    while (!name->empty() && name->back() == '\0')
        name->pop_back();
    return true;
}

DWORD Win32Network::SetStaticAddress(const GUID& adapter, const char* ip, const char* mask,
                                     const char* gateway) {
    std::string name;
    if (!ConnectionName(adapter, &name))
        return ERROR_FILE_NOT_FOUND;
    std::string cmd = "cmd.exe /c netsh interface ip set address \"" + name + "\" ";
    if (ip == nullptr)
        cmd += "dhcp";
    else
        cmd += std::string("static ") + ip + " " + (mask != nullptr ? mask : "255.255.255.0") +
               " " + (gateway != nullptr ? gateway : "");
    return Run(cmd) ? ERROR_SUCCESS : ERROR_GEN_FAILURE;
}

DWORD Win32Network::SetDnsServers(const GUID& adapter, const std::vector<std::string>& servers) {
    std::string name;
    if (!ConnectionName(adapter, &name))
        return ERROR_FILE_NOT_FOUND;
    std::string list;
    for (const auto& s : servers)
        list += (list.empty() ? "" : " ") + s;
    return Run("cmd.exe /c netsh interface ip set dnsservers  \"" + name + "\" static " + list +
               " ")
               ? ERROR_SUCCESS
               : ERROR_GEN_FAILURE;
}

DWORD Win32Network::Neighbours(std::vector<NeighbourRow>* out) {
    if (out == nullptr)
        return ERROR_INVALID_PARAMETER;
    out->clear();
    ::ULONG size = 0;
    ::ULONG rc = ::GetIpNetTable(nullptr, &size, TRUE);
    if (rc != ERROR_INSUFFICIENT_BUFFER && rc != NO_ERROR)
        return rc;
    std::vector<unsigned char> buffer(size == 0 ? sizeof(MIB_IPNETTABLE) : size);
    auto* table = reinterpret_cast<MIB_IPNETTABLE*>(buffer.data());
    rc = ::GetIpNetTable(table, &size, TRUE);
    if (rc != NO_ERROR)
        return rc;
    for (::DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPNETROW& r = table->table[i];
        NeighbourRow row;
        row.ifIndex = r.dwIndex;
        row.ip = r.dwAddr;
        row.mac.assign(r.bPhysAddr, r.bPhysAddr + r.dwPhysAddrLen);
        out->push_back(row);
    }
    return NO_ERROR;
}

bool Win32Network::Ping(std::uint32_t ip, DWORD timeoutMs) {
    ::HANDLE icmp = ::IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE)
        return false;
    char payload[] = "Data Buffer";
    unsigned char reply[48 + sizeof payload] = {};
    const ::DWORD n = ::IcmpSendEcho2(icmp, nullptr, nullptr, nullptr, ip, payload, sizeof payload,
                                      nullptr, reply, sizeof reply, timeoutMs);
    ::IcmpCloseHandle(icmp);
    return n > 0;
}

bool Win32Network::ReverseLookup(std::uint32_t ip, std::string* name) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(27015);
    sa.sin_addr.s_addr = ip;
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return false;
    if (name != nullptr)
        *name = host;
    return true;
}

}  // namespace plat
