// The maker's service-control library. Service states are the Windows ones:
// 0 the service cannot be opened, 1 stopped, 2 start pending, 3 stop pending,
// 4 running, 5 continue pending, 6 pause pending, 7 paused.
#pragma once

#include "platform/records/WinTypes.h"

namespace plat {

class Calvory {
public:
    virtual ~Calvory() = default;
    virtual int GetServiceStatus(const char* name) = 0;
    virtual int StartServiceByNameEx(const char* name) = 0;
    virtual int StartServiceByName(const char* name) = 0;
    virtual int StopServiceByName(const char* name) = 0;
    virtual int ChangeServiceStartType(const char* name, int startType) = 0;
};

namespace calvory {
int GetServiceStatus(const char* name);
int StartServiceByNameEx(const char* name);
int StartServiceByName(const char* name);
int StopServiceByName(const char* name);
int ChangeServiceStartType(const char* name, int startType);
}  // namespace calvory

}  // namespace plat
