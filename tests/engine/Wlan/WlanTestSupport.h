// Shared pieces of the WLAN tests: adapter GUIDs, a simulated interface
// builder and a callback that records what the managers report, with the
// thread each report arrived on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Wlan/WiFiEventCallback.h"
#include "platform/sim/SimWlan.h"

namespace wlantest {

inline plat::GUID Guid(std::uint32_t n) {
    return plat::GUID{
        0x5A1D0000u + n, 0x1111, 0x2222, {0x33, 0x44, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(n)}};
}

inline plat::SimWlanInterface Interface(std::uint32_t n, const std::wstring& description) {
    plat::SimWlanInterface i;
    i.guid = Guid(n);
    i.description = description;
    return i;
}

// Records every report; waits for a number of them without timing anything.
class RecordingCallback : public CWiFiEventCallback {
public:
    struct Event {
        std::string what;
        std::thread::id thread;
    };

    void OnWiFiStarted() override { Add("started"); }
    void OnWiFiStopped() override { Add("stopped"); }
    void OnWiFiAvailable() override { Add("available"); }
    void OnWiFiNotAvailable() override { Add("notavailable"); }
    void OnStationJoin(const std::wstring& mac) override { Add("join " + Narrow(mac)); }
    void OnStationLeave(const std::wstring& mac) override { Add("leave " + Narrow(mac)); }

    bool WaitFor(std::size_t count, std::chrono::seconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, timeout, [&] { return m_events.size() >= count; });
    }
    std::vector<std::string> What() const {
        std::lock_guard<std::mutex> g(m_lock);
        std::vector<std::string> out;
        for (const auto& e : m_events)
            out.push_back(e.what);
        return out;
    }
    std::vector<Event> Events() const {
        std::lock_guard<std::mutex> g(m_lock);
        return m_events;
    }

private:
    static std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }
    void Add(const std::string& what) {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back(Event{what, std::this_thread::get_id()});
        m_changed.notify_all();
    }
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
};

}  // namespace wlantest
