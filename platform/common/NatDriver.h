// The NAT driver as its device answers: it reads the records of each control
// request (refusing a record of the wrong size or content with the error a
// driver gives), keeps what must outlive a re-share (client policies, the
// allowed ports, the clients' counts) and drives a packet engine. Written once;
// the simulated PC and Linux each put their own packet engine below it.
//
// Errors, as a Windows driver would report them through DeviceIoControl:
// ERROR_INVALID_FUNCTION for an unknown code, ERROR_INVALID_PARAMETER for a
// record of the wrong size or content, ERROR_INSUFFICIENT_BUFFER for a peer
// buffer that holds no record, and the packet engine's own errors.
//
// The peer record's two rate fields carry bytes per second, measured between
// the last two peer-list requests.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/common/NatPacketEngine.h"
#include "platform/facility/Clock.h"
#include "platform/records/NatRecords.h"

namespace plat {

class NatDriver {
public:
    NatDriver(NatPacketEngine& engine, Clock& clock) : m_engine(engine), m_clock(clock) {}
    // A driver that goes away stops sharing and leaves nothing behind.
    ~NatDriver();
    NatDriver(const NatDriver&) = delete;
    NatDriver& operator=(const NatDriver&) = delete;

    // Runs the packet engine's start-up once (removing what a crashed run left
    // behind); 0, or the error that keeps the device from opening.
    DWORD Start();

    // Answers one control request as DeviceIoControl: TRUE with the number of
    // bytes written to `out`, or FALSE with the thread's last error set.
    BOOL Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                 DWORD* returned);

    bool Sharing() const;
    // Stops sharing as a disable request would (the device going away).
    void Stop();

private:
    struct Policy {
        bool allowed = true;
        std::uint32_t upKBps = 0;
        std::uint32_t downKBps = 0;
    };
    struct Counts {
        std::uint64_t upBase = 0;  // bytes counted before the engine's current share
        std::uint64_t downBase = 0;
        bool sampled = false;  // last* hold a sample
        std::uint64_t lastUp = 0;
        std::uint64_t lastDown = 0;
        Clock::Steady lastTime{};
        std::uint32_t upRate = 0;
        std::uint32_t downRate = 0;
    };

    DWORD Enable(const void* in, DWORD inSize, std::string* status);
    DWORD Disable(std::string* status);
    DWORD GetPeers(void* out, DWORD outSize, DWORD* returned);
    DWORD DeletePeer(const void* in, DWORD inSize);
    DWORD SetSpeed(const void* in, DWORD inSize);
    DWORD SetPorts(const void* in, DWORD inSize, std::string* status);
    // Folds the engine's counts into the bases and removes its state.
    DWORD UnshareLocked();

    NatPacketEngine& m_engine;
    Clock& m_clock;
    mutable std::mutex m_lock;
    bool m_started = false;
    bool m_sharing = false;
    GUID m_public = GUID_NULL_;
    GUID m_private = GUID_NULL_;
    std::map<MacAddress, Policy> m_policies;
    bool m_restricted = false;
    std::vector<std::uint16_t> m_ports;
    std::map<MacAddress, Counts> m_counts;
};

}  // namespace plat
