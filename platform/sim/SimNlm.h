// The Network List Manager of the simulated PC: connections with their
// connectivity; a test raises a connectivity change, which arrives on a thread
// of its own as the system's events do.
#pragma once

#include <mutex>
#include <vector>

#include "platform/facility/NetworkListManager.h"

namespace plat {

class SimFaults;

class SimNlm : public NetworkListManager {
public:
    explicit SimNlm(SimFaults& faults) : m_faults(faults) {}
    ~SimNlm() override;

    void SetConnection(const NlmConnection& connection);
    void RemoveConnection(const GUID& connectionId);
    // Delivers the event on a new thread and waits until the handler returned.
    void RaiseConnectivityChanged(const GUID& connectionId, DWORD connectivity);
    bool Advised() const;

    HRESULT Create() override;
    void Release() override;
    HRESULT Connections(std::vector<NlmConnection>* out) override;
    HRESULT AdapterOf(const GUID& connectionId, GUID* adapterId) override;
    HRESULT Advise(ConnectivityHandler handler) override;
    void Unadvise() override;

private:
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    std::mutex m_deliver;  // held while an event is delivered; Unadvise waits on it
    std::vector<NlmConnection> m_connections;
    ConnectivityHandler m_handler;
};

}  // namespace plat
