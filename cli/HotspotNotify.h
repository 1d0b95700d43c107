// The engine's notifications as lumari-hotspot's events: each becomes a JSON
// line named as the notification, with its code or client record. The
// program waits here for the start's outcome and for the stops.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "Common/LumariNotify.h"
#include "HotspotOutput.h"

class HotspotNotify : public CLumariNotify {
public:
    explicit HotspotNotify(HotspotOutput& output) : m_output(output) {}

    void NetworkStarted(int code) override;
    void NetworkStopped(int code) override;
    void InternetStateChanged(int connected) override;
    void NetworkError(int code) override;
    void ClientJoin(const ClientInfo& client) override;
    void ClientLeave(const ClientInfo& client) override;
    void ClientUpdate(const ClientInfo& client) override;

    // The code of the start's outcome; none when the time ran out.
    std::optional<int> WaitStarted(std::chrono::milliseconds timeout);
    // The code of the next NetworkStopped not yet taken; none when the time ran out.
    std::optional<int> WaitStopped(std::chrono::milliseconds timeout);
    // A NetworkStopped is waiting to be taken (the hotspot ended on its own).
    bool StopPending();
    // Something to wake the program's main loop when the start ends or a stop arrives.
    void SetWake(std::function<void()> wake);

private:
    HotspotOutput& m_output;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::optional<int> m_started;
    std::deque<int> m_stopped;
    std::function<void()> m_wake;
};
