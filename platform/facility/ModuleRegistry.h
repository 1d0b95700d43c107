// A table of in-process modules: a module is a name and a set of named
// functions. The simulated PC registers its stand-ins for wlanapi.dll,
// wzcsapi.dll and RAAPAPI.dll here; the Linux backend registers its own
// implementations of the same entry points.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ModuleLoader.h"

namespace plat {

class ModuleRegistry : public ModuleLoader {
public:
    using FunctionTable = std::map<std::string, void*>;

    // Adds (or replaces) a module; names compare without regard to case, as on Windows.
    void Add(const std::wstring& name, FunctionTable functions);
    void Remove(const std::wstring& name);
    // Removes one function from a registered module (a library of an older version).
    void RemoveFunction(const std::wstring& name, const std::string& function);
    bool Has(const std::wstring& name) const;
    // Number of modules currently loaded (reference counts added up).
    int LoadCount(const std::wstring& name) const;

    HMODULE Load(const std::wstring& name) override;
    void* Find(HMODULE module, const std::string& function) override;
    bool Free(HMODULE module) override;

    template <class F>
    static void* Fn(F* f) {
        return reinterpret_cast<void*>(f);
    }

private:
    struct Entry {
        std::wstring name;
        FunctionTable functions;
        int loads = 0;
    };
    static std::wstring Key(const std::wstring& name);
    mutable std::mutex m_lock;
    std::map<std::wstring, Entry> m_modules;
};

}  // namespace plat
