// The NAT filter driver's device on the simulated PC: which device names exist
// (none until a test installs the driver), every request made, and the driver
// that answers them over the simulated packet engine (`Engine()`, scripted by
// tests). A test that needs answers no driver would give sets a handler.
// As DeviceIoControl, a failed request hands back no bytes unless its error is
// ERROR_MORE_DATA.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "SimPacketEngine.h"
#include "platform/common/NatDriver.h"
#include "platform/facility/NatDevice.h"

namespace plat {

class Clock;
class SimFaults;
class SimNetwork;

struct SimNatRequest {
    DWORD code = 0;
    std::vector<BYTE> input;
};

class SimNatDevice : public NatDevice {
public:
    // Answers a request: TRUE/FALSE and the output bytes.
    using Handler = std::function<BOOL(const SimNatRequest& request, std::vector<BYTE>* output)>;
    SimNatDevice(SimFaults& faults, SimNetwork& network, Clock& clock);

    void AddDevice(const std::string& name);  // "SOLVANE", "SOLVANEWFP"
    void RemoveDevice(const std::string& name);
    // Answers every request with `handler` instead of the driver; an empty
    // handler gives the requests back to the driver.
    void SetHandler(Handler handler);
    SimPacketEngine& Engine() { return m_engine; }
    NatDriver& Driver() { return m_driver; }
    std::vector<SimNatRequest> Requests() const;
    // Forgets the requests recorded so far (a long soak keeps its memory flat).
    void ClearRequests();
    int OpenHandles() const;

    HANDLE Open(const std::string& deviceName) override;
    void Close(HANDLE device) override;
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned) override;

private:
    SimFaults& m_faults;
    SimPacketEngine m_engine;
    NatDriver m_driver;
    mutable std::mutex m_lock;
    std::set<std::string> m_devices;
    std::map<HANDLE, std::string> m_open;
    std::uintptr_t m_next = 0x100;
    Handler m_handler;
    std::vector<SimNatRequest> m_requests;
};

}  // namespace plat
