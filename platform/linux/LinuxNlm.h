// The Network List Manager on Linux: the interfaces as connections and their
// connectivity, and connection points whose sinks a route-netlink monitor
// calls when a connection gains or loses its default route or its link.
#pragma once

#include <memory>

#include "platform/facility/NetworkListManager.h"

namespace plat {

class ComApartments;
class LinuxConnectivityMonitor;

class LinuxNlm : public NetworkList {
public:
    explicit LinuxNlm(ComApartments& com);
    ~LinuxNlm() override;
    HRESULT CreateNetworkListManager(DWORD clsctx,
                                     std::unique_ptr<NetworkListManager>* out) override;

private:
    ComApartments& m_com;
    std::shared_ptr<LinuxConnectivityMonitor> m_monitor;
};

}  // namespace plat
