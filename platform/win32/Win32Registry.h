// The Windows registry.
#pragma once

#include "platform/facility/Registry.h"

namespace plat {

class Win32Registry : public Registry {
public:
    LONG CreateKey(RegRoot root, const std::string& path) override;
    bool KeyExists(RegRoot root, const std::string& path) override;
    LONG QueryValue(RegRoot root, const std::string& path, const std::string& name,
                    RegValue* out) override;
    LONG SetValue(RegRoot root, const std::string& path, const std::string& name,
                  const RegValue& value) override;
    LONG DeleteValue(RegRoot root, const std::string& path, const std::string& name) override;
};

}  // namespace plat
