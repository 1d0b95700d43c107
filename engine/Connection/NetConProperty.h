// One network connection of the PC as the connection manager keeps it: what
// the connection folder says of it (GUID, names, status, media type) and what
// the adapter table says (interface index and type, IPv4 addresses, MAC), with
// the operations that re-read its addresses, DNS servers and traffic and set
// a static IPv4 address on it. Records are shared; the adapter fields may be
// read from another thread while the worker thread refreshes them.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/facility/IpHelper.h"
#include "platform/records/NetconTypes.h"

class CNetConProperty {
public:
    static constexpr int kNoIndex = -1;

    // A record of the connection folder: GUID, names, status and media type.
    explicit CNetConProperty(const plat::NETCON_PROPERTIES& properties);
    // A record of the adapter table alone: no names, status or media type; its
    // GUID is the adapter's on Windows Vista and later, GUID_NULL before.
    explicit CNetConProperty(const plat::AdapterInfo& adapter);

    CNetConProperty(const CNetConProperty&) = delete;
    CNetConProperty& operator=(const CNetConProperty&) = delete;

    void UpdateFromAdapter(const plat::AdapterInfo& adapter);
    // Re-reads the adapter table and updates this record from its entry.
    void RefreshAddresses();
    // The adapter's DNS servers in order; true when there is at least one.
    bool GetDnsServers(std::vector<std::string>& servers) const;
    // Sets `ip` (empty: automatic addressing) through the adapter-address
    // exports; true when the final result is success.
    bool SetInterfaceAddress(const std::string& ip, const std::string& mask,
                             const std::string& gateway, bool retry);
    // Whether the adapter now carries `expected`.
    bool CheckIP(const std::string& expected);
    // Kilobytes received and sent by the interface.
    bool GetFlow(std::uint64_t& receivedKb, std::uint64_t& sentKb) const;

    // Binds netshell.dll's NcFreeNetconProperties: S_OK, or the HRESULT of the
    // load or lookup error.
    static plat::HRESULT NSModInit();
    // The bound function, or null when NSModInit has not succeeded.
    static plat::NcFreeNetconPropertiesFn FreeNetconProperties();

    const plat::GUID& guid() const { return m_guid; }
    const std::wstring& name() const { return m_name; }
    const std::wstring& deviceName() const { return m_deviceName; }
    plat::DWORD status() const { return m_status; }
    plat::DWORD mediaType() const { return m_mediaType; }
    int ifIndex() const;
    plat::DWORD ifType() const;
    plat::GUID adapterGuid() const;
    std::vector<std::string> ipAddresses() const;
    std::wstring mac() const;

    // "%02X-%02X-%02X-%02X-%02X-%02X" for 6 bytes, else the first 8 bytes in
    // 8 groups (missing bytes as 00).
    static std::wstring FormatMac(const std::vector<plat::BYTE>& address);

private:
    plat::GUID m_guid{};
    std::wstring m_name;
    std::wstring m_deviceName;
    plat::DWORD m_status = 0;
    plat::DWORD m_mediaType = 0;

    mutable std::mutex m_lock;  // the fields below, written from the adapter table
    int m_ifIndex = kNoIndex;
    plat::DWORD m_ifType = 0;
    plat::GUID m_adapterGuid{};
    std::vector<std::string> m_ipAddresses;
    std::wstring m_mac;
};
