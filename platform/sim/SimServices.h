// The service table of the simulated PC behind the maker's service library:
// services with their states (pending and paused included), services that
// cannot be opened, services that refuse to stop or start.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/vendor/Calvory.h"

namespace plat {

class SimFaults;
class OsInfo;

struct SimService {
    int state = 1;      // Windows service state; 0 = cannot be opened
    int startType = 3;  // 2 automatic, 3 manual, 4 disabled
    bool canStart = true;
    bool canStop = true;
};

// A Windows 7 PC with a wireless adapter: the WLAN service "WlanSvc" exists,
// starts with the system and runs.
class SimServices : public Calvory {
public:
    // With `token`, starting, stopping and reconfiguring a service need
    // administrator rights (the service control manager refuses the handle).
    explicit SimServices(SimFaults& faults, OsInfo* token = nullptr);

    // Told of every change of a service's state, with the service's name as
    // set (or as the caller wrote it). Called without the table's lock.
    using Listener = std::function<void(const std::string& name, int state)>;
    void OnChange(Listener listener);

    void Set(const std::string& name, const SimService& service);
    // State of a service; 0 when it does not exist.
    int State(const std::string& name) const;
    int StartType(const std::string& name) const;
    // Every call made, as "Function(name)", in order.
    std::vector<std::string> Log() const;
    // Forgets the calls recorded so far (a long soak keeps its memory flat).
    void ClearLog();

    int GetServiceStatus(const char* name) override;
    int StartServiceByNameEx(const char* name) override;
    int StartServiceByName(const char* name) override;
    int StopServiceByName(const char* name) override;
    int ChangeServiceStartType(const char* name, int startType) override;

private:
    int Start(const char* function, const char* name);
    void Announce(const std::string& name, int state);
    static std::string Key(const char* name);
    bool Refused() const;
    SimFaults& m_faults;
    OsInfo* m_token;
    mutable std::mutex m_lock;
    std::map<std::string, SimService> m_services;
    std::vector<std::string> m_log;
    std::mutex m_listenerLock;
    Listener m_listener;
};

}  // namespace plat
