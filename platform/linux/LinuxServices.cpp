#include "LinuxServices.h"

#include <cctype>
#include <cstring>
#include <map>
#include <sstream>

#include "../Backend.h"
#include "../Platform.h"
#include "platform/facility/ProcessLauncher.h"

namespace plat {

namespace {

constexpr int kCannotOpen = 0;
constexpr int kStopped = 1;
constexpr int kStartPending = 2;
constexpr int kStopPending = 3;
constexpr int kRunning = 4;
constexpr int kContinuePending = 5;
constexpr int kPausePending = 6;
constexpr int kPaused = 7;

// "Key=value" lines of `systemctl show`.
std::map<std::string, std::string> Properties(const std::string& text) {
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string value = line.substr(eq + 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
            value.pop_back();
        out[line.substr(0, eq)] = value;
    }
    return out;
}

}  // namespace

std::string LinuxServices::UnitName(const char* name) {
    if (name == nullptr || name[0] == 0 || name[0] == '-' || std::strlen(name) > 200)
        return {};
    for (const char* p = name; *p != 0; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (!std::isalnum(c) && std::strchr(":_.@-", c) == nullptr)
            return {};
    }
    std::string unit = name;
    if (unit.find('.') == std::string::npos)
        unit += ".service";
    return unit;
}

ProcessLauncher& LinuxServices::Launcher() {
    return m_launcher != nullptr ? *m_launcher : Platform::Current().Processes();
}

bool LinuxServices::Systemctl(const std::string& arguments, const std::string& unit,
                              std::string* output) {
    const ProcessResult r = Launcher().Run("systemctl " + arguments + " " + unit);
    if (output != nullptr)
        *output = r.output;
    return r.started && r.exitCode == 0;
}

int LinuxServices::GetServiceStatus(const char* name) {
    const int state = UnitState(UnitName(name));
    // Windows' connection sharing service has no counterpart here, so nothing
    // of it can run beside our NAT: without a unit of that name (or without
    // systemd) it is stopped, and asking to stop it has nothing to wait for.
    if (state == kCannotOpen && name != nullptr && std::strcmp(name, "SharedAccess") == 0)
        return kStopped;
    return state;
}

int LinuxServices::UnitState(const std::string& unit) {
    if (unit.empty())
        return kCannotOpen;
    std::string text;
    // `show` answers for units that do not exist as well (LoadState=not-found).
    if (!Systemctl("show --property=LoadState,ActiveState,FreezerState", unit, &text))
        return kCannotOpen;
    auto p = Properties(text);
    const std::string& load = p["LoadState"];
    // A masked unit exists but cannot start, like a disabled Windows service.
    if (load.empty() || load == "not-found" || load == "bad-setting" || load == "error")
        return kCannotOpen;
    const std::string& freezer = p["FreezerState"];
    if (freezer == "frozen")
        return kPaused;
    if (freezer == "freezing")
        return kPausePending;
    if (freezer == "thawing")
        return kContinuePending;
    const std::string& active = p["ActiveState"];
    if (active == "active" || active == "reloading" || active == "refreshing")
        return kRunning;
    if (active == "activating")
        return kStartPending;
    if (active == "deactivating")
        return kStopPending;
    if (active == "inactive" || active == "failed" || active == "maintenance")
        return kStopped;
    return kCannotOpen;
}

int LinuxServices::StartServiceByNameEx(const char* name) {
    // Waits until the unit has started (or failed to).
    const std::string unit = UnitName(name);
    return !unit.empty() && Systemctl("start", unit) ? 1 : 0;
}

int LinuxServices::StartServiceByName(const char* name) {
    // Queues the start and returns, as the service control manager does.
    const std::string unit = UnitName(name);
    return !unit.empty() && Systemctl("start --no-block", unit) ? 1 : 0;
}

int LinuxServices::StopServiceByName(const char* name) {
    const std::string unit = UnitName(name);
    return !unit.empty() && Systemctl("stop", unit) ? 1 : 0;
}

int LinuxServices::ChangeServiceStartType(const char* name, int startType) {
    const std::string unit = UnitName(name);
    if (unit.empty())
        return 0;
    const char* verb = nullptr;
    switch (startType) {
        case 2:
            verb = "enable";
            break;
        case 3:
        case 4:
            verb = "disable";
            break;
        default:
            return 0;
    }
    return Systemctl(verb, unit) ? 1 : 0;
}

}  // namespace plat
