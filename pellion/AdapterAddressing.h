// Sets and reads the IPv4 configuration of an adapter named by its GUID. On
// Windows (the system facility says which it is) the address and DNS servers
// are set with netsh (the connection name from the registry) and the second
// way goes through WMI; elsewhere both ways set the address in the platform's
// adapter table.
#pragma once

#include <cstdint>

#include "platform/records/WinTypes.h"

namespace pellion {

class AdapterAddressing {
public:
    // Static address, or automatic addressing when `ip` is null. 1 done, 0 not.
    static int SetAddress(const plat::GUID* adapter, const char* ip, const char* mask,
                          const char* gateway);
    // The same through Win32_NetworkAdapterConfiguration (EnableStatic and
    // SetGateways, or EnableDHCP). 1 when the configuration accepted it.
    static int SetAddressWmi(const plat::GUID* adapter, const char* ip, const char* mask,
                             const char* gateway);
    // Address, mask and gateway of the adapter (network byte order; 0 when it
    // has none). 1 when the adapter exists.
    static int GetAddress(const plat::GUID* adapter, std::uint32_t* ip, std::uint32_t* mask,
                          std::uint32_t* gateway);
    static int SetDns(const plat::GUID* adapter, const char* dnsList);
    // The adapter's first DNS server. 1 found, 0 not.
    static int GetDns(const plat::GUID* adapter, std::uint32_t* dns);

private:
    // A Windows system (real or simulated) configures adapters with netsh and
    // WMI; the others set the address in their adapter table directly.
    static bool UsesWindowsMechanics();
    static int SetStatic(const plat::GUID& adapter, const char* ip, const char* mask,
                         const char* gateway);
};

}  // namespace pellion
