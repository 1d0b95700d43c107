#include "LinuxModuleLoader.h"

#include <dlfcn.h>

#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

namespace plat {

LinuxModuleLoader::~LinuxModuleLoader() {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& [h, n] : m_dlHandles)
        for (int i = 0; i < n; ++i)
            dlclose(h);
}

HMODULE LinuxModuleLoader::Load(const std::wstring& name) {
    if (m_registered.Has(name))
        return m_registered.Load(name);
    std::string file = TextCodec::WideToUtf8(name);
    // "Foo.dll" is looked for as "libFoo.so" beside the usual search path.
    const auto dot = file.rfind(".dll");
    if (dot != std::string::npos && dot + 4 == file.size())
        file = "lib" + file.substr(0, dot) + ".so";
    void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        SetLastError(kErrorModNotFound);
        return nullptr;
    }
    std::lock_guard<std::mutex> g(m_lock);
    ++m_dlHandles[h];
    return h;
}

void* LinuxModuleLoader::Find(HMODULE module, const std::string& function) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_dlHandles.count(module) != 0) {
            void* f = dlsym(module, function.c_str());
            if (f == nullptr)
                SetLastError(kErrorProcNotFound);
            return f;
        }
    }
    return m_registered.Find(module, function);
}

bool LinuxModuleLoader::Free(HMODULE module) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        auto it = m_dlHandles.find(module);
        if (it != m_dlHandles.end()) {
            dlclose(module);
            if (--it->second == 0)
                m_dlHandles.erase(it);
            return true;
        }
    }
    return m_registered.Free(module);
}

}  // namespace plat
