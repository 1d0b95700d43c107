// The simulated PC's command interpreter with the one program the project
// runs through it: netsh's IPv4 interface context. "cmd.exe /c netsh interface
// ip ..." sets the address, the gateway and the DNS servers of the adapter
// whose connection name (in the registry, as Windows keeps it) is given, in
// the adapter table. What Windows refuses it refuses, with netsh's texts and
// exit code 1: an unknown connection, a text that is no address, a mask with
// holes, a command it does not know.
#pragma once

#include <string>
#include <vector>

#include "platform/facility/ProcessLauncher.h"
#include "platform/records/WinTypes.h"

namespace plat {

class RegistryStore;
class SimNetwork;
class SimProcesses;
class OsInfo;

class SimNetsh {
public:
    // Installs itself as "cmd.exe" among the PC's programs.
    // With `token`, the commands that change an adapter need administrator
    // rights, as netsh's do.
    SimNetsh(SimProcesses& processes, SimNetwork& network, RegistryStore& registry,
             OsInfo* token = nullptr);

    ProcessResult Run(const std::vector<std::string>& args);

private:
    ProcessResult Netsh(const std::vector<std::string>& args);
    ProcessResult SetAddress(const std::vector<std::string>& args);
    ProcessResult SetDnsServers(const std::vector<std::string>& args);
    ProcessResult AddDnsServer(const std::vector<std::string>& args);
    // The adapter whose connection is called `name` (case ignored).
    bool Connection(const std::string& name, GUID* adapter) const;

    SimNetwork& m_network;
    RegistryStore& m_registry;
    OsInfo* m_token;
};

}  // namespace plat
