#include "ModuleRegistry.h"

#include <cwctype>

#include "platform/winapi/Win32Api.h"

namespace plat {

std::wstring ModuleRegistry::Key(const std::wstring& name) {
    std::wstring k = name;
    for (auto& c : k)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return k;
}

void ModuleRegistry::Add(const std::wstring& name, FunctionTable functions) {
    std::lock_guard<std::mutex> g(m_lock);
    Entry& e = m_modules[Key(name)];
    e.name = name;
    e.functions = std::move(functions);
}

void ModuleRegistry::Remove(const std::wstring& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_modules.erase(Key(name));
}

void ModuleRegistry::RemoveFunction(const std::wstring& name, const std::string& function) {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_modules.find(Key(name));
    if (it != m_modules.end())
        it->second.functions.erase(function);
}

bool ModuleRegistry::Has(const std::wstring& name) const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_modules.count(Key(name)) != 0;
}

int ModuleRegistry::LoadCount(const std::wstring& name) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_modules.find(Key(name));
    return it == m_modules.end() ? 0 : it->second.loads;
}

HMODULE ModuleRegistry::Load(const std::wstring& name) {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_modules.find(Key(name));
    if (it == m_modules.end()) {
        SetLastError(kErrorModNotFound);
        return nullptr;
    }
    ++it->second.loads;
    return &it->second;
}

void* ModuleRegistry::Find(HMODULE module, const std::string& function) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& [key, entry] : m_modules) {
        if (&entry != module)
            continue;
        auto f = entry.functions.find(function);
        if (f == entry.functions.end())
            break;
        return f->second;
    }
    SetLastError(kErrorProcNotFound);
    return nullptr;
}

bool ModuleRegistry::Free(HMODULE module) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& [key, entry] : m_modules) {
        if (&entry == module) {
            if (entry.loads > 0)
                --entry.loads;
            return true;
        }
    }
    SetLastError(kErrorInvalidHandle);
    return false;
}

}  // namespace plat
