// The Windows way of configuring an adapter from the command line: the
// connection name comes from the network class key of the registry, and
// "netsh interface ip" is run through "cmd.exe".
#pragma once

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace pellion {

class NetshCommand {
public:
    // The value "Name" of the adapter's Connection key; false when missing.
    static bool ConnectionName(const plat::GUID& adapter, std::string* name);
    // "netsh interface ip set address": static with the given address, or DHCP
    // when `ip` is null. Address texts must be dotted IPv4 (they become part of
    // a command line). True when netsh ended with exit code 0.
    static bool SetAddress(const plat::GUID& adapter, const char* ip, const char* mask,
                           const char* gateway);
    // "netsh interface ip set dnsservers": the first server static, the others
    // added after it.
    static bool SetDnsServers(const plat::GUID& adapter, const std::vector<std::string>& servers);

private:
    static bool Run(const std::string& arguments);
};

}  // namespace pellion
