#include "NetshCommand.h"

#include <cstdio>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"

namespace pellion {

using plat::Ipv4Text;

namespace {

bool IsAddress(const char* text) {
    return text != nullptr && Ipv4Text::Parse(text, nullptr);
}

// A connection name is quoted on the command line; a quote or a line break
// inside it would end the argument early.
bool IsQuotable(const std::string& name) {
    return !name.empty() && name.find_first_of("\"\r\n") == std::string::npos;
}

}  // namespace

bool NetshCommand::ConnectionName(const plat::GUID& adapter, std::string* name) {
    char path[160];
    std::snprintf(path, sizeof path,
                  "SYSTEM\\CurrentControlSet\\Control\\Network\\"
                  "{4D36E972-E325-11CE-BFC1-08002BE10318}\\%s\\Connection",
                  plat::GuidText::ToString(adapter).c_str());
    plat::RegValue value;
    if (plat::Platform::Current().Reg().QueryValue(plat::RegRoot::LocalMachine, path, "Name",
                                                   &value) != 0 ||
        value.type != plat::kRegSz)
        return false;
    std::string text(value.data.begin(), value.data.end());
    text = text.substr(0, text.find('\0'));
    if (name != nullptr)
        *name = text;
    return true;
}

bool NetshCommand::SetAddress(const plat::GUID& adapter, const char* ip, const char* mask,
                              const char* gateway) {
    std::string name;
    if (!ConnectionName(adapter, &name) || !IsQuotable(name))
        return false;
    if (ip == nullptr)
        return Run("/c netsh interface ip set address \"" + name + "\" dhcp");
    const char* useMask = mask != nullptr ? mask : "255.255.255.0";
    if (!IsAddress(ip) || !IsAddress(useMask))
        return false;
    std::string arguments =
        "/c netsh interface ip set address \"" + name + "\" static " + ip + " " + useMask;
    if (gateway != nullptr && *gateway != '\0') {
        if (!IsAddress(gateway))
            return false;
        arguments += std::string(" ") + gateway;
    }
    return Run(arguments);
}

bool NetshCommand::SetDnsServers(const plat::GUID& adapter,
                                 const std::vector<std::string>& servers) {
    std::string name;
    if (servers.empty() || !ConnectionName(adapter, &name) || !IsQuotable(name))
        return false;
    for (const auto& s : servers)
        if (!IsAddress(s.c_str()))
            return false;
    if (!Run("/c netsh interface ip set dnsservers  \"" + name + "\" static " + servers[0] + " "))
        return false;
    for (std::size_t i = 1; i < servers.size(); ++i) {
        if (!Run("/c netsh interface ip add dnsservers \"" + name + "\" " + servers[i] +
                 " index=" + std::to_string(i + 1)))
            return false;
    }
    return true;
}

bool NetshCommand::Run(const std::string& arguments) {
    const plat::ProcessResult r = plat::Platform::Current().Processes().Run("cmd.exe " + arguments);
    return r.started && r.exitCode == 0;
}

}  // namespace pellion
