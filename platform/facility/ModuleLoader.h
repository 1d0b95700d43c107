// Loading a library by name and finding a function in it by name.
// Win32: LoadLibraryW/GetProcAddress. Simulated PC and Linux: a registry of
// in-process modules whose functions have the exact signatures of the Windows
// functions they stand for (Linux also falls back to dlopen).
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

class ModuleLoader {
public:
    virtual ~ModuleLoader() = default;
    // Returns null and sets the thread's last error (126 when absent) on failure.
    virtual HMODULE Load(const std::wstring& name) = 0;
    // Returns null and sets the last error (127) when the module has no such function.
    virtual void* Find(HMODULE module, const std::string& function) = 0;
    virtual bool Free(HMODULE module) = 0;
};

}  // namespace plat
