// The connection folder of the simulated PC.
#pragma once

#include <mutex>
#include <vector>

#include "platform/facility/ConnectionFolder.h"

namespace plat {

class SimFaults;

class SimConnections : public ConnectionFolder {
public:
    explicit SimConnections(SimFaults& faults) : m_faults(faults) {}
    void Add(const NetconProperties& connection);
    void SetStatus(const GUID& guid, DWORD status);

    HRESULT Enumerate(std::vector<NetconProperties>* out) override;
    HRESULT BindFreeProperties() override;

private:
    SimFaults& m_faults;
    std::mutex m_lock;
    std::vector<NetconProperties> m_connections;
};

}  // namespace plat
