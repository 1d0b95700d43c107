#include "LinuxRegistry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace plat {

LinuxRegistry::LinuxRegistry(std::string file) : m_file(std::move(file)) {
    std::ifstream in(m_file, std::ios::binary);
    if (!in)
        return;
    std::ostringstream ss;
    ss << in.rdbuf();
    Deserialize(ss.str());
}

std::string LinuxRegistry::DefaultFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = xdg != nullptr && *xdg != 0 ? xdg
                       : home != nullptr           ? std::string(home) + "/.config"
                                                   : "/tmp";
    return base + "/lumari/registry";
}

void LinuxRegistry::Changed() {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_file).parent_path(), ec);
    const std::string tmp = m_file + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return;
        out << Serialize();
        if (!out)
            return;
    }
    std::filesystem::rename(tmp, m_file, ec);
}

}  // namespace plat
