// The service library's functions, answered by the installed backend.
#include "platform/Backend.h"
#include "platform/Platform.h"

namespace plat {

namespace calvory {
static Calvory& C() {
    return Platform::Current().Services();
}
int GetServiceStatus(const char* name) {
    return C().GetServiceStatus(name);
}
int StartServiceByNameEx(const char* name) {
    return C().StartServiceByNameEx(name);
}
int StartServiceByName(const char* name) {
    return C().StartServiceByName(name);
}
int StopServiceByName(const char* name) {
    return C().StopServiceByName(name);
}
int ChangeServiceStartType(const char* name, int startType) {
    return C().ChangeServiceStartType(name, startType);
}
}  // namespace calvory

}  // namespace plat
