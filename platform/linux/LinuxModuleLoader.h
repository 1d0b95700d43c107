// Modules on Linux: the in-process modules the Linux build registers (its own
// implementations of Windows library entry points), then shared objects found
// with dlopen.
#pragma once

#include <map>
#include <mutex>

#include "platform/facility/ModuleRegistry.h"

namespace plat {

class LinuxModuleLoader : public ModuleLoader {
public:
    ~LinuxModuleLoader() override;
    ModuleRegistry& Registered() { return m_registered; }

    HMODULE Load(const std::wstring& name) override;
    void* Find(HMODULE module, const std::string& function) override;
    bool Free(HMODULE module) override;

private:
    ModuleRegistry m_registered;
    std::mutex m_lock;
    std::map<void*, int> m_dlHandles;  // dlopen handles and their load counts
};

}  // namespace plat
