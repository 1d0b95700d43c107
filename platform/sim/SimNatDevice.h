// The NAT filter driver's device on the simulated PC: which device names exist,
// and a handler that answers each control code with bytes (the driver model
// itself is scripted by the tests that need it).
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/facility/NatDevice.h"

namespace plat {

class SimFaults;

struct SimNatRequest {
    DWORD code = 0;
    std::vector<BYTE> input;
};

class SimNatDevice : public NatDevice {
public:
    // Answers a request: TRUE/FALSE and the output bytes.
    using Handler = std::function<BOOL(const SimNatRequest& request, std::vector<BYTE>* output)>;
    explicit SimNatDevice(SimFaults& faults) : m_faults(faults) {}

    void AddDevice(const std::string& name);  // "SOLVANE", "SOLVANEWFP"
    void RemoveDevice(const std::string& name);
    void SetHandler(Handler handler);
    std::vector<SimNatRequest> Requests() const;
    int OpenHandles() const;

    HANDLE Open(const std::string& deviceName) override;
    void Close(HANDLE device) override;
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned) override;

private:
    SimFaults& m_faults;
    mutable std::mutex m_lock;
    std::set<std::string> m_devices;
    std::map<HANDLE, std::string> m_open;
    std::uintptr_t m_next = 0x100;
    Handler m_handler;
    std::vector<SimNatRequest> m_requests;
};

}  // namespace plat
