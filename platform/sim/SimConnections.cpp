#include "SimConnections.h"

#include "SimFaults.h"

namespace plat {

void SimConnections::Add(const NetconProperties& connection) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& c : m_connections) {
        if (c.guidId == connection.guidId) {
            c = connection;
            return;
        }
    }
    m_connections.push_back(connection);
}

void SimConnections::SetStatus(const GUID& guid, DWORD status) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& c : m_connections)
        if (c.guidId == guid)
            c.status = status;
}

HRESULT SimConnections::Enumerate(std::vector<NetconProperties>* out) {
    if (auto f = m_faults.Take("EnumConnections"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (out != nullptr)
        *out = m_connections;
    return kSOk;
}

HRESULT SimConnections::BindFreeProperties() {
    if (auto f = m_faults.Take("NcFreeNetconProperties"))
        return static_cast<HRESULT>(*f);
    return kSOk;
}

}  // namespace plat
