// The NAT filter driver's device on Linux: the driver runs in the program's
// own process, over nftables and tc (LinuxPacketEngine). Both device names
// open it. It cannot be opened where nftables is not usable (no library
// context, or no right to change the kernel's tables); the first open removes
// what a crashed run left behind. The driver works in the network namespace
// of the thread that opens it first.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "LinuxPacketEngine.h"
#include "platform/common/NatDriver.h"
#include "platform/common/SystemClock.h"
#include "platform/facility/NatDevice.h"

namespace plat {

class LinuxNatDevice : public NatDevice {
public:
    LinuxNatDevice() : m_engine(&m_clock), m_driver(m_engine, m_clock) {}

    HANDLE Open(const std::string& deviceName) override;
    void Close(HANDLE device) override;
    BOOL Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned) override;

    NatDriver& Driver() { return m_driver; }
    LinuxPacketEngine& Engine() { return m_engine; }

private:
    SystemClock m_clock;
    LinuxPacketEngine m_engine;
    NatDriver m_driver;
    std::mutex m_lock;
    std::set<HANDLE> m_open;
    std::uintptr_t m_next = 0x100;
};

}  // namespace plat
