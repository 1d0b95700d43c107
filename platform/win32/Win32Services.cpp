#include "Win32Services.h"

#include <windows.h>

namespace plat {

namespace {
// Owns a service control manager or service handle.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h) : m_h(h) {}
    ~ScHandle() {
        if (m_h != nullptr)
            ::CloseServiceHandle(m_h);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE Get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }

private:
    SC_HANDLE m_h;
};

int QueryState(SC_HANDLE service) {
    SERVICE_STATUS status{};
    if (::QueryServiceStatus(service, &status) == 0)
        return 0;
    return static_cast<int>(status.dwCurrentState);
}

// Waits up to 30 seconds for the service to leave its pending state.
int WaitSettled(SC_HANDLE service) {
    int state = QueryState(service);
    for (int i = 0; i < 300 && (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING);
         ++i) {
        ::Sleep(100);
        state = QueryState(service);
    }
    return state;
}
}  // namespace

int Win32Services::GetServiceStatus(const char* name) {
    ScHandle scm(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm || name == nullptr)
        return 0;
    ScHandle service(::OpenServiceA(scm.Get(), name, SERVICE_QUERY_STATUS));
    if (!service)
        return 0;
    return QueryState(service.Get());
}

int Win32Services::StartServiceByNameEx(const char* name) {
    ScHandle scm(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm || name == nullptr)
        return 0;
    ScHandle service(::OpenServiceA(scm.Get(), name, SERVICE_START | SERVICE_QUERY_STATUS));
    if (!service)
        return 0;
    if (WaitSettled(service.Get()) == SERVICE_RUNNING)
        return 1;
    if (::StartServiceA(service.Get(), 0, nullptr) == 0 &&
        ::GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return 0;
    return WaitSettled(service.Get()) == SERVICE_RUNNING ? 1 : 0;
}

int Win32Services::StartServiceByName(const char* name) {
    return StartServiceByNameEx(name);
}

int Win32Services::StopServiceByName(const char* name) {
    ScHandle scm(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm || name == nullptr)
        return 0;
    ScHandle service(::OpenServiceA(scm.Get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service)
        return 0;
    SERVICE_STATUS status{};
    if (::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status) == 0 &&
        ::GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
        return 0;
    return WaitSettled(service.Get()) == SERVICE_STOPPED ? 1 : 0;
}

int Win32Services::ChangeServiceStartType(const char* name, int startType) {
    ScHandle scm(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm || name == nullptr)
        return 0;
    ScHandle service(::OpenServiceA(scm.Get(), name, SERVICE_CHANGE_CONFIG));
    if (!service)
        return 0;
    return ::ChangeServiceConfigA(service.Get(), SERVICE_NO_CHANGE, static_cast<::DWORD>(startType),
                                  SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr) != 0
               ? 1
               : 0;
}

}  // namespace plat
