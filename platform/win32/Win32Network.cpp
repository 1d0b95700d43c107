#include "Win32Network.h"

// Winsock first, then IP Helper and ICMP, which build on it.
#include <winsock2.h>

#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "../Backend.h"
#include "../Platform.h"
#include "platform/common/GrowingTable.h"
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
    // 15 KB holds the table of most PCs at the first call; an address that
    // appears meanwhile makes the table larger than the size just asked for.
    // IP_ADAPTER_ADDRESSES holds 64-bit fields: the buffer is kept aligned.
    std::vector<unsigned long long> storage;
    std::vector<unsigned char> buffer;
    const DWORD rc = GrowingTable<unsigned char>::Fill(
        [&](std::vector<unsigned char>* bytes, ULONG* capacity) -> DWORD {
            storage.assign(
                (bytes->size() + sizeof(unsigned long long) - 1) / sizeof(unsigned long long), 0);
            ::ULONG size = *capacity;
            const ::ULONG e = ::GetAdaptersAddresses(
                AF_INET, flags, nullptr,
                storage.empty() ? nullptr : reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()),
                &size);
            *capacity = size;
            return e;
        },
        &buffer, 15 * 1024);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (buffer.empty())  // ERROR_NO_DATA: no adapter at all
        return ERROR_SUCCESS;
    auto* list = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data());
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
    // GetIfEntry2 (Windows Vista and later) counts in 64 bits; GetIfEntry's
    // counters wrap at 4 GiB, which a long run passes.
    using GetIfEntry2Fn = ::DWORD(WINAPI*)(PMIB_IF_ROW2);
    static const auto getIfEntry2 = [] {
        ::HMODULE iphlpapi = ::GetModuleHandleW(L"iphlpapi.dll");
        return iphlpapi != nullptr ? reinterpret_cast<GetIfEntry2Fn>(reinterpret_cast<void*>(
                                         ::GetProcAddress(iphlpapi, "GetIfEntry2")))
                                   : nullptr;
    }();
    if (getIfEntry2 != nullptr) {
        MIB_IF_ROW2 row{};
        row.InterfaceIndex = ifIndex;
        const ::DWORD rc = getIfEntry2(&row);
        if (rc != NO_ERROR)
            return rc;
        if (inOctets != nullptr)
            *inOctets = row.InOctets;
        if (outOctets != nullptr)
            *outOctets = row.OutOctets;
        return NO_ERROR;
    }
    MIB_IFROW row{};
    row.dwIndex = ifIndex;
    const ::DWORD rc = ::GetIfEntry(&row);
    if (rc != NO_ERROR)
        return rc;
    m_wrap.Extend(ifIndex, row.dwInOctets, row.dwOutOctets, inOctets, outOctets);
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
    // MIB_IPNETTABLE starts with a 32-bit count: the buffer is kept aligned.
    std::vector<::DWORD> storage;
    std::vector<unsigned char> buffer;
    const DWORD rc = GrowingTable<unsigned char>::Fill(
        [&](std::vector<unsigned char>* bytes, ULONG* capacity) -> DWORD {
            storage.assign((bytes->size() + sizeof(::DWORD) - 1) / sizeof(::DWORD), 0);
            ::ULONG size = *capacity;
            const ::ULONG e = ::GetIpNetTable(
                storage.empty() ? nullptr : reinterpret_cast<MIB_IPNETTABLE*>(storage.data()),
                &size, TRUE);
            *capacity = size;
            return e;
        },
        &buffer);
    if (rc != NO_ERROR)
        return rc;
    if (buffer.empty())  // ERROR_NO_DATA: no neighbour at all
        return NO_ERROR;
    const auto* table = reinterpret_cast<const MIB_IPNETTABLE*>(storage.data());
    for (::DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_IPNETROW& r = table->table[i];
        NeighbourRow row;
        row.ifIndex = r.dwIndex;
        row.ip = r.dwAddr;
        row.mac.assign(r.bPhysAddr,
                       r.bPhysAddr + std::min<::DWORD>(r.dwPhysAddrLen, MAXLEN_PHYSADDR));
        row.type = r.dwType;
        out->push_back(row);
    }
    return NO_ERROR;
}

DWORD Win32Network::Echo(std::uint32_t ip, DWORD timeoutMs, DWORD* status) {
    if (status != nullptr)
        *status = IP_REQ_TIMED_OUT;
    ::HANDLE icmp = ::IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE)
        return 0;
    char payload[] = "Data Buffer";
    // One ICMP_ECHO_REPLY, the echoed payload and room for an ICMP error.
    alignas(ICMP_ECHO_REPLY) unsigned char reply[sizeof(ICMP_ECHO_REPLY) + sizeof payload + 8] = {};
    const ::DWORD n = ::IcmpSendEcho2(icmp, nullptr, nullptr, nullptr, ip, payload, sizeof payload,
                                      nullptr, reply, sizeof reply, timeoutMs);
    ::IcmpCloseHandle(icmp);
    if (n > 0 && status != nullptr)
        *status = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->Status;
    return n;
}

namespace {
// Winsock for the duration of one call: getnameinfo fails with
// WSANOTINITIALISED in a process (or after a cleanup) that holds none.
class WinsockHold {
public:
    WinsockHold() {
        WSADATA data{};
        m_held = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockHold() {
        if (m_held)
            ::WSACleanup();
    }
    WinsockHold(const WinsockHold&) = delete;
    WinsockHold& operator=(const WinsockHold&) = delete;
    bool Held() const { return m_held; }

private:
    bool m_held = false;
};
}  // namespace

bool Win32Network::ReverseLookup(std::uint32_t ip, std::string* name) {
    const WinsockHold winsock;
    if (!winsock.Held())
        return false;
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
