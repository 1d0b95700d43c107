#include "Win32Registry.h"

#include <windows.h>

namespace plat {

namespace {
HKEY Root(RegRoot root) {
    return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Owns an open registry key.
class Key {
public:
    Key(RegRoot root, const std::string& path, REGSAM access) {
        m_result = ::RegOpenKeyExA(Root(root), path.c_str(), 0, access, &m_key);
    }
    ~Key() {
        if (m_result == ERROR_SUCCESS)
            ::RegCloseKey(m_key);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    LONG Result() const { return m_result; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
    LONG m_result = ERROR_FILE_NOT_FOUND;
};
}  // namespace

LONG Win32Registry::CreateKey(RegRoot root, const std::string& path) {
    HKEY key = nullptr;
    const LONG rc = ::RegCreateKeyExA(Root(root), path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                      &key, nullptr);
    if (rc == ERROR_SUCCESS)
        ::RegCloseKey(key);
    return rc;
}

bool Win32Registry::KeyExists(RegRoot root, const std::string& path) {
    return Key(root, path, KEY_READ).Result() == ERROR_SUCCESS;
}

LONG Win32Registry::QueryValue(RegRoot root, const std::string& path, const std::string& name,
                               RegValue* out) {
    Key key(root, path, KEY_READ);
    if (key.Result() != ERROR_SUCCESS)
        return key.Result();
    ::DWORD type = 0, size = 0;
    LONG rc = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    RegValue v;
    v.type = type;
    v.data.resize(size);
    rc = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, v.data.data(), &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    v.data.resize(size);
    if (out != nullptr)
        *out = std::move(v);
    return ERROR_SUCCESS;
}

LONG Win32Registry::SetValue(RegRoot root, const std::string& path, const std::string& name,
                             const RegValue& value) {
    Key key(root, path, KEY_WRITE);
    if (key.Result() != ERROR_SUCCESS)
        return key.Result();
    return ::RegSetValueExA(key.Get(), name.c_str(), 0, value.type, value.data.data(),
                            static_cast<::DWORD>(value.data.size()));
}

LONG Win32Registry::DeleteValue(RegRoot root, const std::string& path, const std::string& name) {
    Key key(root, path, KEY_WRITE);
    if (key.Result() != ERROR_SUCCESS)
        return key.Result();
    return ::RegDeleteValueA(key.Get(), name.c_str());
}

}  // namespace plat
