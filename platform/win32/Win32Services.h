// Service control on Windows through the service control manager, behind the
// maker's service-library interface.
#pragma once

#include "platform/vendor/Calvory.h"

namespace plat {

class Win32Services : public Calvory {
public:
    int GetServiceStatus(const char* name) override;
    int StartServiceByNameEx(const char* name) override;
    int StartServiceByName(const char* name) override;
    int StopServiceByName(const char* name) override;
    int ChangeServiceStartType(const char* name, int startType) override;
};

}  // namespace plat
