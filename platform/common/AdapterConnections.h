// The connections a system's adapter table describes: every adapter but
// loopback is a connection named after the adapter, connected while it is up.
// Serves as the connection folder where the system has none of its own.
#pragma once

#include <vector>

#include "platform/facility/ConnectionFolder.h"

namespace plat {

class AdapterConnections {
public:
    static HRESULT Enumerate(std::vector<NetconProperties>* out);
};

}  // namespace plat
