// The connection folder on Windows. The COM client of INetConnectionManager
// comes with the connection manager; until then this build answers from the
// adapter table, as the engine does when the folder cannot be enumerated.
#pragma once

#include "platform/facility/ConnectionFolder.h"

namespace plat {

class Win32Connections : public ConnectionFolder {
public:
    HRESULT Enumerate(std::vector<NetconProperties>* out) override;
    HRESULT BindFreeProperties() override;
};

}  // namespace plat
