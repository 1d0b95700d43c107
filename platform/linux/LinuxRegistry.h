// The registry on Linux: the in-memory store, kept in a file so values survive
// between runs ($XDG_CONFIG_HOME/lumari/registry, or ~/.config).
#pragma once

#include <string>

#include "platform/common/RegistryStore.h"

namespace plat {

class LinuxRegistry : public RegistryStore {
public:
    explicit LinuxRegistry(std::string file = DefaultFile());
    static std::string DefaultFile();

protected:
    void Changed() override;

private:
    std::string m_file;
};

}  // namespace plat
