// The service table of the simulated PC behind the maker's service library:
// services with their states (pending and paused included), services that
// cannot be opened, services that refuse to stop or start.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/vendor/Calvory.h"

namespace plat {

class SimFaults;

struct SimService {
    int state = 1;      // Windows service state; 0 = cannot be opened
    int startType = 3;  // 2 automatic, 3 manual, 4 disabled
    bool canStart = true;
    bool canStop = true;
};

class SimServices : public Calvory {
public:
    explicit SimServices(SimFaults& faults) : m_faults(faults) {}

    void Set(const std::string& name, const SimService& service);
    // State of a service; 0 when it does not exist.
    int State(const std::string& name) const;
    int StartType(const std::string& name) const;
    // Every call made, as "Function(name)", in order.
    std::vector<std::string> Log() const;

    int GetServiceStatus(const char* name) override;
    int StartServiceByNameEx(const char* name) override;
    int StartServiceByName(const char* name) override;
    int StopServiceByName(const char* name) override;
    int ChangeServiceStartType(const char* name, int startType) override;

private:
    int Start(const char* function, const char* name);
    static std::string Key(const char* name);
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    std::map<std::string, SimService> m_services;
    std::vector<std::string> m_log;
};

}  // namespace plat
