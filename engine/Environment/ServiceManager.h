// The Windows services the hotspot needs running or stopped, controlled
// through the maker's service library. Holds no state.
#pragma once

#include <string>
#include <vector>

class CServiceManager {
public:
    bool StartRequiredServices(bool withSharing);
    bool StartService(const char* name);
    bool StopService(const char* name);
    void LogStartTypeFailure(const char* name, int code);

    // The services StartRequiredServices starts, in order.
    static std::vector<std::string> RequiredServices(bool withSharing);
};
