#include "NamespaceResolvConf.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace nettest {

NamespaceResolvConf::NamespaceResolvConf(const std::string& ns, const std::string& text)
    : m_dir("/etc/netns/" + ns) {
    std::filesystem::create_directories(m_dir);
    std::ofstream(m_dir + "/resolv.conf") << text;
}

NamespaceResolvConf::~NamespaceResolvConf() {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
}

}  // namespace nettest
