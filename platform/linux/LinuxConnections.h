// The connection folder on Linux: every network interface except loopback is a
// connection, named after the interface, connected while it is up.
#pragma once

#include "platform/facility/ConnectionFolder.h"

namespace plat {

class LinuxConnections : public ConnectionFolder {
public:
    HRESULT Enumerate(std::vector<NetconProperties>* out) override;
    HRESULT BindFreeProperties() override { return kSOk; }
};

}  // namespace plat
