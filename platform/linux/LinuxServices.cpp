#include "LinuxServices.h"

namespace plat {

int LinuxServices::GetServiceStatus(const char*) {
    return 0;
}
int LinuxServices::StartServiceByNameEx(const char*) {
    return 0;
}
int LinuxServices::StartServiceByName(const char*) {
    return 0;
}
int LinuxServices::StopServiceByName(const char*) {
    return 0;
}
int LinuxServices::ChangeServiceStartType(const char*, int) {
    return 0;
}

}  // namespace plat
