// Modules on Windows: LoadLibraryW, GetProcAddress, FreeLibrary.
#pragma once

#include "platform/facility/ModuleLoader.h"

namespace plat {

class Win32ModuleLoader : public ModuleLoader {
public:
    HMODULE Load(const std::wstring& name) override;
    void* Find(HMODULE module, const std::string& function) override;
    bool Free(HMODULE module) override;
};

}  // namespace plat
