// /etc/netns/NAME/resolv.conf, which `ip netns exec NAME` mounts over the
// system's resolver configuration; removed again with the object.
#pragma once

#include <string>

namespace nettest {

class NamespaceResolvConf {
public:
    NamespaceResolvConf(const std::string& ns, const std::string& text);
    ~NamespaceResolvConf();
    NamespaceResolvConf(const NamespaceResolvConf&) = delete;
    NamespaceResolvConf& operator=(const NamespaceResolvConf&) = delete;

private:
    std::string m_dir;
};

}  // namespace nettest
