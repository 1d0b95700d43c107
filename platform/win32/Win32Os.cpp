#include "Win32Os.h"

#include <windows.h>
// windows.h first
#include <shlobj.h>

#include <string>

#include "Win32CodePage.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {
// RtlGetVersion reports the real version even to programs without a manifest.
OSVERSIONINFOEXW QueryVersion() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    ::HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto fn = ntdll != nullptr ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
                                     ::GetProcAddress(ntdll, "RtlGetVersion")))
                               : nullptr;
    if (fn == nullptr || fn(&info) != 0) {
        info = OSVERSIONINFOEXW{};
        info.dwOSVersionInfoSize = sizeof info;
        ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
    }
    return info;
}
}  // namespace

OsVersion Win32Os::Version() {
    const OSVERSIONINFOEXW info = QueryVersion();
    OsVersion v;
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.servicePackMajor = info.wServicePackMajor;
    v.build = info.dwBuildNumber;
    v.productType = info.wProductType;
    return v;
}

bool Win32Os::ProductInfo(DWORD* edition) {
    using GetProductInfoFn = BOOL(WINAPI*)(::DWORD, ::DWORD, ::DWORD, ::DWORD, ::PDWORD);
    ::HMODULE kernel = ::GetModuleHandleW(L"Kernel32.dll");
    auto fn = kernel != nullptr ? reinterpret_cast<GetProductInfoFn>(reinterpret_cast<void*>(
                                      ::GetProcAddress(kernel, "GetProductInfo")))
                                : nullptr;
    if (fn == nullptr)
        return false;
    const OSVERSIONINFOEXW info = QueryVersion();
    ::DWORD type = 0;
    if (fn(info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor, info.wServicePackMinor,
           &type) == 0)
        return false;
    if (edition != nullptr)
        *edition = type;
    return true;
}

std::string Win32Os::Description() {
    const OsVersion v = Version();
    return "Windows " + std::to_string(v.major) + "." + std::to_string(v.minor) + " build " +
           std::to_string(v.build);
}

std::string Win32Os::ComputerName() {
    char buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
    ::DWORD size = sizeof buf;
    if (::GetComputerNameA(buf, &size) == 0)
        return std::string();
    return std::string(buf, size);
}

std::string Win32Os::ModuleFileName() {
    char buf[MAX_PATH] = {};
    const ::DWORD n = ::GetModuleFileNameA(nullptr, buf, MAX_PATH);
    return std::string(buf, n);
}

bool Win32Os::AnsiToWide(const std::string& in, std::wstring* out) {
    return Win32CodePage::ToWide(CP_ACP, in, out);
}

bool Win32Os::WideToAnsi(const std::wstring& in, std::string* out) {
    return Win32CodePage::FromWide(CP_ACP, in, out);
}

std::string Win32Os::AppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    std::string out;
    TextCodec::WideToUtf8(path, &out);
    return out;
}

int Win32Os::NativeArchitecture() {
    SYSTEM_INFO si{};
    using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    ::HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    auto fn = kernel != nullptr ? reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void*>(
                                      ::GetProcAddress(kernel, "GetNativeSystemInfo")))
                                : nullptr;
    if (fn != nullptr)
        fn(&si);
    else
        ::GetSystemInfo(&si);
    return si.wProcessorArchitecture;
}

// The token's elevation (Windows Vista and later, where an administrator
// runs without rights until elevated); before, membership of the
// Administrators group.
bool Win32Os::IsElevated() {
    ::HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) == 0)
        return false;
    TOKEN_ELEVATION elevation{};
    ::DWORD size = 0;
    const bool known =
        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != 0;
    ::CloseHandle(token);
    if (known)
        return elevation.TokenIsElevated != 0;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    ::PSID administrators = nullptr;
    if (::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                   0, 0, 0, 0, 0, &administrators) == 0)
        return false;
    ::BOOL member = FALSE;
    if (::CheckTokenMembership(nullptr, administrators, &member) == 0)
        member = FALSE;
    ::FreeSid(administrators);
    return member != FALSE;
}

// IsWow64Process exists from Windows XP SP2 on; without it there is no WOW64.
bool Win32Os::IsWow64Process() {
    using IsWow64ProcessFn = ::BOOL(WINAPI*)(::HANDLE, ::PBOOL);
    ::HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    auto fn = kernel != nullptr ? reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(
                                      ::GetProcAddress(kernel, "IsWow64Process")))
                                : nullptr;
    ::BOOL wow64 = FALSE;
    if (fn == nullptr || fn(::GetCurrentProcess(), &wow64) == 0)
        return false;
    return wow64 != FALSE;
}

}  // namespace plat
