// COM's bookkeeping of apartments and process security where the system has
// no COM of its own (the simulated PC, Linux): which apartment each thread
// entered and how often, whether the process security is fixed, and the
// classes known by ProgID. Each instance keeps its own threads' state, so a
// fresh simulated PC starts with threads outside any apartment.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "platform/facility/ComRuntime.h"

namespace plat {

class ComApartments : public ComRuntime {
public:
    ComApartments();
    void RegisterProgId(const std::wstring& progId, const GUID& clsid);
    // Whether the calling thread is in an apartment (objects can be created).
    bool InApartment() const;
    // Creating or reaching an object out of process fixes the security.
    void MarkSecurityFixed() { m_securityFixed = true; }

    HRESULT CoInitializeEx(DWORD coinit) override;
    void CoUninitialize() override;
    HRESULT CoInitializeSecurity(DWORD authnLevel, DWORD impLevel, DWORD capabilities) override;
    HRESULT CLSIDFromProgID(const std::wstring& progId, GUID* clsid) override;

private:
    std::uint64_t m_id;
    std::atomic<bool> m_securityFixed{false};
    mutable std::mutex m_lock;
    std::map<std::wstring, GUID> m_progIds;
};

}  // namespace plat
