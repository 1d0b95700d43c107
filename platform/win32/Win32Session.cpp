#include "Win32Session.h"

#include <windows.h>

#include <initguid.h>
#include <netfw.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>

#include "ComRef.h"
#include "platform/winapi/DebugOutput.h"

namespace plat {

namespace {
constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// How long the hand-over waits for any one window.
constexpr ::UINT kHandOverTimeoutMs = 1000;

// A BSTR owned here.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : m_s(::SysAllocString(text.c_str())) {}
    Bstr() = default;
    ~Bstr() { ::SysFreeString(m_s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return m_s; }
    BSTR* Put() {
        ::SysFreeString(m_s);
        m_s = nullptr;
        return &m_s;
    }
    std::wstring Text() const { return m_s != nullptr ? std::wstring(m_s) : std::wstring(); }

private:
    BSTR m_s = nullptr;
};

void DebugText(const char* text) {
    DebugOutput::Instance().Write(std::string(text));
}

constexpr ::LONG kAnyProtocol = 256;

// Brings an inbound rule in line: the program, every profile, allowed,
// enabled, any protocol, any address and port. A port list left empty under
// "any protocol" already means every port.
HRESULT AlignRule(INetFwRule* rule, const std::wstring& path) {
    Bstr text;
    HRESULT hr = rule->get_ApplicationName(text.Put());
    if (FAILED(hr))
        return hr;
    if (text.Text() != path) {
        Bstr app(path);
        if (app.Get() == nullptr) {
            DebugText("\nERROR: Insufficient memory\n");
            return E_OUTOFMEMORY;
        }
        if (FAILED(hr = rule->put_ApplicationName(app.Get())))
            return hr;
    }
    if (FAILED(hr = rule->put_Profiles(NET_FW_PROFILE2_ALL)) ||
        FAILED(hr = rule->put_Action(NET_FW_ACTION_ALLOW)) ||
        FAILED(hr = rule->put_Enabled(VARIANT_TRUE)) ||
        FAILED(hr = rule->put_Protocol(kAnyProtocol)))
        return hr;
    using Get = ::HRESULT (STDMETHODCALLTYPE INetFwRule::*)(BSTR*);
    using Put = ::HRESULT (STDMETHODCALLTYPE INetFwRule::*)(BSTR);
    struct Field {
        Get get;
        Put put;
        bool emptyIsAny;
    };
    const Field fields[] = {
        {&INetFwRule::get_LocalAddresses, &INetFwRule::put_LocalAddresses, false},
        {&INetFwRule::get_RemoteAddresses, &INetFwRule::put_RemoteAddresses, false},
        {&INetFwRule::get_LocalPorts, &INetFwRule::put_LocalPorts, true},
        {&INetFwRule::get_RemotePorts, &INetFwRule::put_RemotePorts, true},
    };
    for (const Field& f : fields) {
        if (FAILED(hr = (rule->*f.get)(text.Put())))
            return hr;
        const std::wstring now = text.Text();
        if (now == L"*" || (f.emptyIsAny && now.empty()))
            continue;
        Bstr any(L"*");
        if (any.Get() == nullptr) {
            DebugText("\nERROR: Insufficient memory\n");
            return E_OUTOFMEMORY;
        }
        if (FAILED(hr = (rule->*f.put)(any.Get())))
            return hr;
    }
    return S_OK;
}

// The first inbound rule called `name`, or null.
HRESULT FindInboundRule(INetFwRules* rules, const std::wstring& name, ComRef<INetFwRule>* found) {
    ComRef<IUnknown> unknown;
    HRESULT hr = rules->get__NewEnum(unknown.Put());
    if (FAILED(hr) || !unknown)
        return hr;
    ComRef<IEnumVARIANT> items;
    hr = unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(items.Put()));
    if (FAILED(hr) || !items)
        return hr;
    for (;;) {
        VARIANT item;
        ::VariantInit(&item);
        ::ULONG fetched = 0;
        if (items->Next(1, &item, &fetched) != S_OK || fetched == 0)
            return S_OK;
        ComRef<INetFwRule> rule;
        if (item.vt == VT_DISPATCH && item.pdispVal != nullptr)
            item.pdispVal->QueryInterface(IID_INetFwRule, reinterpret_cast<void**>(rule.Put()));
        ::VariantClear(&item);
        if (!rule)
            continue;
        Bstr ruleName;
        NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
        if (SUCCEEDED(rule->get_Name(ruleName.Put())) && ruleName.Text() == name &&
            SUCCEEDED(rule->get_Direction(&direction)) && direction == NET_FW_RULE_DIR_IN) {
            *found = std::move(rule);
            return S_OK;
        }
    }
}

HRESULT AddRule(INetFwRules* rules, const std::wstring& name, const std::wstring& path) {
    ComRef<INetFwRule> rule;
    HRESULT hr = ::CoCreateInstance(CLSID_NetFwRule, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwRule,
                                    reinterpret_cast<void**>(rule.Put()));
    if (FAILED(hr))
        return hr;
    Bstr ruleName(name);
    Bstr app(path);
    if (ruleName.Get() == nullptr || app.Get() == nullptr) {
        DebugText("\nERROR: Insufficient memory\n");
        return E_OUTOFMEMORY;
    }
    if (FAILED(hr = rule->put_Name(ruleName.Get())) ||
        FAILED(hr = rule->put_Direction(NET_FW_RULE_DIR_IN)) ||
        FAILED(hr = rule->put_Action(NET_FW_ACTION_ALLOW)) ||
        FAILED(hr = rule->put_ApplicationName(app.Get())) ||
        FAILED(hr = rule->put_Enabled(VARIANT_TRUE)))
        return hr;
    return rules->Add(rule.Get());
}

HRESULT AddWithPolicy2(INetFwPolicy2* policy, const std::wstring& name, const std::wstring& path) {
    ComRef<INetFwRules> rules;
    HRESULT hr = policy->get_Rules(rules.Put());
    if (FAILED(hr) || !rules)
        return FAILED(hr) ? hr : E_POINTER;
    ComRef<INetFwRule> existing;
    FindInboundRule(rules.Get(), name, &existing);
    if (existing && SUCCEEDED(AlignRule(existing.Get(), path)))
        return S_OK;
    return AddRule(rules.Get(), name, path);
}

// Windows XP: the program is authorised in the domain, standard and current
// profiles, in that order; the first failure ends it (the caller reports it).
HRESULT AddWithFwMgr(const std::wstring& name, const std::wstring& path) {
    ComRef<INetFwMgr> manager;
    HRESULT hr = ::CoCreateInstance(CLSID_NetFwMgr, nullptr, CLSCTX_INPROC_SERVER, IID_INetFwMgr,
                                    reinterpret_cast<void**>(manager.Put()));
    ComRef<INetFwPolicy> policy;
    if (SUCCEEDED(hr))
        hr = manager->get_LocalPolicy(policy.Put());
    for (int type = NET_FW_PROFILE_DOMAIN; SUCCEEDED(hr) && type <= NET_FW_PROFILE_CURRENT;
         ++type) {
        ComRef<INetFwProfile> profile;
        ComRef<INetFwAuthorizedApplications> apps;
        ComRef<INetFwAuthorizedApplication> app;
        if (FAILED(hr = policy->GetProfileByType(static_cast<NET_FW_PROFILE_TYPE>(type),
                                                 profile.Put())) ||
            FAILED(hr = profile->get_AuthorizedApplications(apps.Put())) ||
            FAILED(hr = ::CoCreateInstance(CLSID_NetFwAuthorizedApplication, nullptr,
                                           CLSCTX_INPROC_SERVER, IID_INetFwAuthorizedApplication,
                                           reinterpret_cast<void**>(app.Put()))))
            break;
        Bstr appName(name);
        Bstr image(path);
        if (appName.Get() == nullptr || image.Get() == nullptr) {
            DebugText("\nERROR: Insufficient memory\n");
            hr = E_OUTOFMEMORY;
            break;
        }
        if (FAILED(hr = app->put_ProcessImageFileName(image.Get())) ||
            FAILED(hr = app->put_Name(appName.Get())) ||
            FAILED(hr = app->put_Scope(NET_FW_SCOPE_ALL)) ||
            FAILED(hr = app->put_IpVersion(NET_FW_IP_VERSION_ANY)) ||
            FAILED(hr = app->put_Enabled(VARIANT_TRUE)))
            break;
        hr = apps->Add(app.Get());
    }
    return hr;
}

}  // namespace

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
    // EWX_POWEROFF cuts the power (EWX_SHUTDOWN only stops the system on
    // current PCs). The reason: a shutdown the user planned (the power-off
    // countdown or the phone), for no other cause the event log could name.
    const UINT flags = EWX_POWEROFF | (force ? EWX_FORCE : 0);
    if (::ExitWindowsEx(flags, SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OTHER |
                                   SHTDN_REASON_MINOR_OTHER) == 0)
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

HRESULT Win32Session::AddFirewallException(const std::wstring& name, const std::wstring& path) {
    const HRESULT init = ::CoInitialize(nullptr);
    if (FAILED(init) && init != RPC_E_CHANGED_MODE)
        return init;
    HRESULT hr = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    if (FAILED(hr) && hr != RPC_E_TOO_LATE) {
        if (SUCCEEDED(init))
            ::CoUninitialize();
        return hr;
    }
    {
        ComRef<INetFwPolicy2> policy;
        hr = ::CoCreateInstance(CLSID_NetFwPolicy2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_INetFwPolicy2, reinterpret_cast<void**>(policy.Put()));
        if (SUCCEEDED(hr) && policy) {
            hr = AddWithPolicy2(policy.Get(), name, path);
        } else {
            char line[64];
            std::snprintf(line, sizeof line, "CoCreateInstance for INetFwPolicy2 failed: 0x%08lx\n",
                          static_cast<unsigned long>(hr));
            DebugText(line);
            hr = AddWithFwMgr(name, path);
        }
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return hr;
}

bool Win32Session::SignalInstance(const std::string& channel) {
    const UINT id = ::RegisterWindowMessageA(channel.c_str());
    if (id == 0)
        return false;
    // Every top-level window of the desktop is asked; one hung window must
    // not hold this program: a hung one is skipped, and none is waited for
    // longer than the time-out.
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, id, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                          kHandOverTimeoutMs, &answer);
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
                case 18:  // PBT_APMRESUMEAUTOMATIC, on every resume
                    listener->OnSessionEvent(SessionEvent::ResumeAutomatic);
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
