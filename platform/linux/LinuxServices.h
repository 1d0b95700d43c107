// Services on Linux, behind the maker's service-library interface: systemd
// units controlled with systemctl. A name without a unit suffix means the
// ".service" unit of that name. Unit states map to the Windows service states:
// active or reloading 4 (running), activating 2, deactivating 3, inactive or
// failed 1 (stopped), a frozen unit 7 (paused) with freezing 6 and thawing 5,
// and 0 for a unit that does not exist or a name that is not a unit name.
// Start types: 2 (automatic) enables the unit, 3 (manual) and 4 (disabled)
// disable it.
#pragma once

#include <string>

#include "platform/vendor/Calvory.h"

namespace plat {

class ProcessLauncher;

class LinuxServices : public Calvory {
public:
    // `launcher` runs systemctl; null means the installed backend's launcher.
    explicit LinuxServices(ProcessLauncher* launcher = nullptr) : m_launcher(launcher) {}

    int GetServiceStatus(const char* name) override;
    int StartServiceByNameEx(const char* name) override;
    int StartServiceByName(const char* name) override;
    int StopServiceByName(const char* name) override;
    int ChangeServiceStartType(const char* name, int startType) override;

    // The unit a service name stands for; empty when the name cannot be one
    // (it is passed on a command line, so only unit-name characters pass).
    static std::string UnitName(const char* name);

private:
    // Runs "systemctl <arguments> <unit>"; true when it exits with 0.
    bool Systemctl(const std::string& arguments, const std::string& unit,
                   std::string* output = nullptr);
    ProcessLauncher& Launcher();
    // The service state of `unit` as systemd reports it.
    int UnitState(const std::string& unit);

    ProcessLauncher* m_launcher;
};

}  // namespace plat
