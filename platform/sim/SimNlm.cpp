#include "SimNlm.h"

#include <algorithm>
#include <thread>

#include "SimFaults.h"

namespace plat {

SimNlm::~SimNlm() {
    Unadvise();
}

void SimNlm::SetConnection(const NlmConnection& connection) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& c : m_connections) {
        if (c.connectionId == connection.connectionId) {
            c = connection;
            return;
        }
    }
    m_connections.push_back(connection);
}

void SimNlm::RemoveConnection(const GUID& connectionId) {
    std::lock_guard<std::mutex> g(m_lock);
    m_connections.erase(
        std::remove_if(m_connections.begin(), m_connections.end(),
                       [&](const NlmConnection& c) { return c.connectionId == connectionId; }),
        m_connections.end());
}

void SimNlm::RaiseConnectivityChanged(const GUID& connectionId, DWORD connectivity) {
    std::thread t([this, connectionId, connectivity] {
        std::lock_guard<std::mutex> d(m_deliver);
        ConnectivityHandler handler;
        {
            std::lock_guard<std::mutex> g(m_lock);
            handler = m_handler;
        }
        if (handler)
            handler(connectionId, connectivity);
    });
    t.join();
}

bool SimNlm::Advised() const {
    std::lock_guard<std::mutex> g(m_lock);
    return static_cast<bool>(m_handler);
}

HRESULT SimNlm::Create() {
    if (auto f = m_faults.Take("CoCreateInstance(NetworkListManager)"))
        return static_cast<HRESULT>(*f);
    return kSOk;
}

void SimNlm::Release() {}

HRESULT SimNlm::Connections(std::vector<NlmConnection>* out) {
    if (auto f = m_faults.Take("GetNetworkConnections"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (out != nullptr)
        *out = m_connections;
    return kSOk;
}

HRESULT SimNlm::AdapterOf(const GUID& connectionId, GUID* adapterId) {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& c : m_connections) {
        if (c.connectionId == connectionId) {
            if (adapterId != nullptr)
                *adapterId = c.adapterId;
            return kSOk;
        }
    }
    return kEInvalidArg;
}

HRESULT SimNlm::Advise(ConnectivityHandler handler) {
    if (auto f = m_faults.Take("Advise"))
        return static_cast<HRESULT>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    m_handler = std::move(handler);
    return kSOk;
}

void SimNlm::Unadvise() {
    std::lock_guard<std::mutex> d(m_deliver);
    std::lock_guard<std::mutex> g(m_lock);
    m_handler = nullptr;
}

}  // namespace plat
