#include "Win32ModuleLoader.h"

#include <windows.h>

#include "Win32SystemFolder.h"
#include "platform/winapi/Win32Api.h"

namespace plat {

HMODULE Win32ModuleLoader::Load(const std::wstring& name) {
    // A library the system has comes from the system folder (with the
    // libraries it needs), never from the program's folder, which the
    // ordinary search tries first. Other libraries (a vendor's, the crash
    // reporter beside the program) are searched as usual.
    const std::wstring system = Win32SystemFolder::File(name);
    HMODULE h = reinterpret_cast<HMODULE>(
        system.empty() ? ::LoadLibraryW(name.c_str())
                       : ::LoadLibraryExW(system.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (h == nullptr)
        SetLastError(::GetLastError());
    return h;
}

void* Win32ModuleLoader::Find(HMODULE module, const std::string& function) {
    ::FARPROC f = ::GetProcAddress(static_cast<::HMODULE>(module), function.c_str());
    if (f == nullptr)
        SetLastError(::GetLastError());
    return reinterpret_cast<void*>(f);
}

bool Win32ModuleLoader::Free(HMODULE module) {
    if (::FreeLibrary(static_cast<::HMODULE>(module)) != 0)
        return true;
    SetLastError(::GetLastError());
    return false;
}

}  // namespace plat
