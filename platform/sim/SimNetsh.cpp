#include "SimNetsh.h"

#include <strings.h>

#include <algorithm>

#include "SimNetwork.h"
#include "SimProcesses.h"
#include "platform/common/RegistryStore.h"
#include "platform/facility/OsInfo.h"
#include "platform/text/Ipv4Text.h"

namespace plat {

namespace {

const char kSyntax[] =
    "The syntax supplied for this command is not valid. Check help for the correct syntax.\r\n";
const char kNoInterface[] =
    "The filename, directory name, or volume label syntax is incorrect.\r\n";

ProcessResult Answer(DWORD exitCode, const std::string& output) {
    ProcessResult r;
    r.exitCode = exitCode;
    r.output = output;
    return r;
}

bool Is(const std::string& text, const char* word) {
    return strcasecmp(text.c_str(), word) == 0;
}

bool IsAddress(const std::string& text) {
    return Ipv4Text::Parse(text, nullptr);
}

std::string BadAddress(const std::string& text) {
    return "Invalid address parameter (" + text + "). It should be a valid IPv4 address.\r\n";
}

}  // namespace

SimNetsh::SimNetsh(SimProcesses& processes, SimNetwork& network, RegistryStore& registry,
                   OsInfo* token)
    : m_network(network), m_registry(registry), m_token(token) {
    processes.Install("cmd.exe",
                      [this](const std::vector<std::string>& args) { return Run(args); });
}

ProcessResult SimNetsh::Run(const std::vector<std::string>& args) {
    // cmd.exe /c <program> <arguments>
    if (args.size() < 3 || !Is(args[1], "/c"))
        return Answer(1, "");
    if (!Is(args[2], "netsh") && !Is(args[2], "netsh.exe"))
        return Answer(1, "'" + args[2] +
                             "' is not recognized as an internal or external command,\r\n"
                             "operable program or batch file.\r\n");
    return Netsh(std::vector<std::string>(args.begin() + 3, args.end()));
}

ProcessResult SimNetsh::Netsh(const std::vector<std::string>& args) {
    std::string joined;
    for (const auto& a : args)
        joined += (joined.empty() ? "" : " ") + a;
    const ProcessResult notFound =
        Answer(1, "The following command was not found: " + joined + ".\r\n");
    if (args.size() < 4 || !Is(args[0], "interface") || !(Is(args[1], "ip") || Is(args[1], "ipv4")))
        return notFound;
    const std::vector<std::string> rest(args.begin() + 4, args.end());
    const bool changes = Is(args[2], "set") || Is(args[2], "add");
    if (changes && m_token != nullptr && !m_token->IsElevated())
        return Answer(1, "The requested operation requires elevation (Run as administrator).\r\n");
    if (Is(args[2], "set") && Is(args[3], "address"))
        return SetAddress(rest);
    if (Is(args[2], "set") && Is(args[3], "dnsservers"))
        return SetDnsServers(rest);
    if (Is(args[2], "add") && Is(args[3], "dnsservers"))
        return AddDnsServer(rest);
    return notFound;
}

bool SimNetsh::Connection(const std::string& name, GUID* adapter) const {
    std::vector<AdapterInfo> adapters;
    m_network.Snapshot(&adapters);
    for (const auto& a : adapters) {
        RegValue value;
        if (m_registry.QueryValue(RegRoot::LocalMachine, SimNetwork::ConnectionKey(a.guid), "Name",
                                  &value) != 0)
            continue;
        std::string text(value.data.begin(), value.data.end());
        text = text.substr(0, text.find('\0'));
        if (strcasecmp(text.c_str(), name.c_str()) == 0) {
            *adapter = a.guid;
            return true;
        }
    }
    return false;
}

// set address <name> dhcp | static <address> <mask> [<gateway> [<metric>]]
ProcessResult SimNetsh::SetAddress(const std::vector<std::string>& args) {
    if (args.size() < 2)
        return Answer(1, kSyntax);
    const bool dhcp = Is(args[1], "dhcp");
    if (dhcp ? args.size() != 2 : (!Is(args[1], "static") || args.size() < 4 || args.size() > 6))
        return Answer(1, kSyntax);
    GUID adapter{};
    if (!Connection(args[0], &adapter))
        return Answer(1, kNoInterface);
    if (dhcp)
        return Answer(m_network.Assign(adapter, nullptr, nullptr, nullptr) == 0 ? 0 : 1, "");
    for (std::size_t i = 2; i < args.size() && i < 5; ++i)
        if (!IsAddress(args[i]))
            return Answer(1, BadAddress(args[i]));
    const char* gateway = args.size() > 4 ? args[4].c_str() : nullptr;
    if (m_network.Assign(adapter, args[2].c_str(), args[3].c_str(), gateway) != 0)
        return Answer(1, "The parameter is incorrect.\r\n");
    return Answer(0, "");
}

// set dnsservers <name> dhcp | static <address> [primary|none|both]
ProcessResult SimNetsh::SetDnsServers(const std::vector<std::string>& args) {
    if (args.size() < 2)
        return Answer(1, kSyntax);
    const bool dhcp = Is(args[1], "dhcp");
    if (dhcp ? args.size() != 2 : (!Is(args[1], "static") || args.size() < 3 || args.size() > 4))
        return Answer(1, kSyntax);
    GUID adapter{};
    if (!Connection(args[0], &adapter))
        return Answer(1, kNoInterface);
    if (dhcp)
        return Answer(m_network.AssignDns(adapter, {}) == 0 ? 0 : 1, "");
    if (!IsAddress(args[2]))
        return Answer(1, BadAddress(args[2]));
    return Answer(m_network.AssignDns(adapter, {args[2]}) == 0 ? 0 : 1, "");
}

// add dnsservers <name> <address> [index=<n>]
ProcessResult SimNetsh::AddDnsServer(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3)
        return Answer(1, kSyntax);
    GUID adapter{};
    if (!Connection(args[0], &adapter))
        return Answer(1, kNoInterface);
    if (!IsAddress(args[1]))
        return Answer(1, BadAddress(args[1]));
    AdapterInfo info;
    if (!m_network.FindAdapter(adapter, &info))
        return Answer(1, kNoInterface);
    std::vector<std::string> servers = info.dns;
    if (std::find(servers.begin(), servers.end(), args[1]) != servers.end())
        return Answer(1, "The object already exists.\r\n");
    std::size_t at = servers.size();
    if (args.size() == 3) {
        const std::string& option = args[2];
        if (option.size() <= 6 || strncasecmp(option.c_str(), "index=", 6) != 0)
            return Answer(1, kSyntax);
        const std::string number = option.substr(6);
        if (number.empty() || number.size() > 3 ||
            !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return Answer(1, kSyntax);
        const std::size_t index = static_cast<std::size_t>(std::stoul(number));
        if (index == 0)
            return Answer(1, kSyntax);
        at = std::min(index - 1, servers.size());
    }
    servers.insert(servers.begin() + static_cast<std::ptrdiff_t>(at), args[1]);
    return Answer(m_network.AssignDns(adapter, servers) == 0 ? 0 : 1, "");
}

}  // namespace plat
