#include "Win32ModuleLoader.h"

#include <windows.h>

#include "platform/winapi/Win32Api.h"

namespace plat {

HMODULE Win32ModuleLoader::Load(const std::wstring& name) {
    HMODULE h = reinterpret_cast<HMODULE>(::LoadLibraryW(name.c_str()));
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
