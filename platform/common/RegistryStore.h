// A registry held in memory: keys by path (case-insensitive) with named values.
// The simulated PC uses it as is; the Linux backend persists it to a file.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/facility/Registry.h"

namespace plat {

class RegistryStore : public Registry {
public:
    LONG CreateKey(RegRoot root, const std::string& path) override;
    bool KeyExists(RegRoot root, const std::string& path) override;
    LONG QueryValue(RegRoot root, const std::string& path, const std::string& name,
                    RegValue* out) override;
    LONG SetValue(RegRoot root, const std::string& path, const std::string& name,
                  const RegValue& value) override;
    LONG DeleteValue(RegRoot root, const std::string& path, const std::string& name) override;

    // Text form: one line per value, "root|key|name|type|hex data". Lines that do
    // not parse are skipped.
    std::string Serialize() const;
    void Deserialize(const std::string& text);

    static RegValue Dword(DWORD v);
    static RegValue String(const std::string& s);

protected:
    // Called after every change, under no lock (the Linux backend saves here).
    virtual void Changed() {}

private:
    static std::string Key(RegRoot root, const std::string& path);
    static std::string Lower(const std::string& s);
    mutable std::mutex m_lock;
    // key path -> (lower-case value name -> value)
    std::map<std::string, std::map<std::string, RegValue>> m_keys;
};

}  // namespace plat
