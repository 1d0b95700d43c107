#include "Win32Session.h"

#include <windows.h>

namespace plat {

namespace {
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
}

Win32Session::~Win32Session() {
    for (auto& [name, h] : m_mutexes)
        ::CloseHandle(h);
}

DWORD Win32Session::Shutdown(bool force) {
    // The shutdown privilege first; when it cannot be had the shutdown is
    // still asked for, and ExitWindowsEx answers why it refused.
    ::HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token) !=
        0) {
        TOKEN_PRIVILEGES tp{};
        if (::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &tp.Privileges[0].Luid) != 0) {
            tp.PrivilegeCount = 1;
            tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            ::AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
        }
        ::CloseHandle(token);
    }
    const UINT flags = EWX_SHUTDOWN | (force ? EWX_FORCE : 0);
    if (::ExitWindowsEx(flags, SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OPERATINGSYSTEM |
                                   SHTDN_REASON_MINOR_UPGRADE) == 0)
        return ::GetLastError();
    return 0;
}

void Win32Session::KeepAwake(bool on) {
    if (!on) {
        ::SetThreadExecutionState(ES_CONTINUOUS);
        return;
    }
    // Away mode keeps the system running with the display off; systems
    // without it keep the display on instead.
    if (::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_AWAYMODE_REQUIRED) == 0)
        ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
}

DWORD Win32Session::SetRunAtLogon(const std::string& name, const std::string& command, bool on) {
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return static_cast<DWORD>(rc);
    if (on)
        rc = ::RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(command.c_str()),
                              static_cast<::DWORD>(command.size() + 1));
    else
        rc = ::RegDeleteValueA(key, name.c_str());
    ::RegCloseKey(key);
    return static_cast<DWORD>(rc);
}

bool Win32Session::IsRunAtLogon(const std::string& name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool found =
        ::RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return found;
}

bool Win32Session::AcquireInstanceLock(const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_mutexes.count(name) != 0)
        return false;
    ::HANDLE h = ::CreateMutexA(nullptr, FALSE, name.c_str());
    if (h == nullptr)
        return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(h);
        return false;
    }
    m_mutexes[name] = h;
    return true;
}

HRESULT Win32Session::AddFirewallException(const std::wstring&, const std::wstring&) {
    // The firewall rule is written through the firewall's COM interfaces by
    // the program's start-up; this build does not carry them yet.
    return kENotImpl;
}

bool Win32Session::SignalInstance(const std::string& channel) {
    const UINT id = ::RegisterWindowMessageA(channel.c_str());
    if (id == 0)
        return false;
    ::SendMessageA(HWND_BROADCAST, id, 0, 0);
    return true;
}

bool Win32Session::WatchSession(const std::string& channel, SessionListener* listener) {
    std::lock_guard<std::mutex> g(m_lock);
    m_listener = listener;
    m_handOverId = listener != nullptr ? ::RegisterWindowMessageA(channel.c_str()) : 0;
    return listener == nullptr || m_handOverId != 0;
}

bool Win32Session::DispatchWindowMessage(void* message, std::intptr_t* result) {
    const MSG* msg = static_cast<const MSG*>(message);
    SessionListener* listener = nullptr;
    UINT handOver = 0;
    {
        std::lock_guard<std::mutex> g(m_lock);
        listener = m_listener;
        handOver = m_handOverId;
    }
    if (listener == nullptr || msg == nullptr)
        return false;
    if (handOver != 0 && msg->message == handOver) {
        listener->OnSessionEvent(SessionEvent::HandOver);
        *result = 0;
        return true;
    }
    switch (msg->message) {
        case WM_QUERYENDSESSION:
            listener->OnSessionEvent(SessionEvent::QueryEndSession);
            *result = 1;
            return true;
        case WM_ENDSESSION:
            listener->OnSessionEvent(SessionEvent::EndSession);
            *result = 0;
            return true;
        case WM_POWERBROADCAST:
            switch (msg->wParam) {
                case 0:  // PBT_APMQUERYSUSPEND
                case 1:  // PBT_APMQUERYSTANDBY
                    *result = listener->OnSessionEvent(SessionEvent::QuerySuspend)
                                  ? BROADCAST_QUERY_DENY
                                  : TRUE;
                    return true;
                case 4:  // PBT_APMSUSPEND
                case 5:  // PBT_APMSTANDBY
                    listener->OnSessionEvent(SessionEvent::Suspend);
                    *result = TRUE;
                    return true;
                case 7:  // PBT_APMRESUMESUSPEND
                case 8:  // PBT_APMRESUMESTANDBY
                    listener->OnSessionEvent(SessionEvent::Resume);
                    *result = TRUE;
                    return true;
                default:
                    return false;
            }
        default:
            return false;
    }
}

}  // namespace plat
