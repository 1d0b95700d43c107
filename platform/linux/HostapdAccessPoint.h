// An access point run by hostapd: on a radio (driver nl80211, WPA2-PSK) or on a
// wired port (driver wired with IEEE 802.1X). The run's own thread starts
// hostapd (so hostapd ends with the thread, even when this program is killed),
// connects to its control interface, waits for the access point to be
// enabled, then turns hostapd's events into station and end reports. On a
// wired port the run brings the link up (hostapd's radio driver does so itself).
//
// Files of the run, in the runtime folder: "hostapd-IF.conf" (holds the pass
// phrase: mode 0600), "hostapd-IF.pid", "hostapd-IF.log", and the control
// sockets below "hostapd/". A run left behind by a program that was killed is
// ended and its files removed before a new one starts.
#pragma once

#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "AccessPoint.h"
#include "HostapdConfig.h"
#include "HostapdControl.h"

namespace plat {

class ChildProcess;

class HostapdAccessPoint : public AccessPoint {
public:
    explicit HostapdAccessPoint(HostapdSettings::Driver driver);
    ~HostapdAccessPoint() override;

    DWORD Start(const AccessPointSettings& settings, AccessPointEvents* events,
                std::string* failure) override;
    void Stop() override;
    std::vector<MacAddress> Stations() override;
    AccessPointInfo Info() override;

    // The files of a run on `interface`.
    static std::string ConfigPath(const std::string& runtimeDir, const std::string& interface);
    static std::string PidPath(const std::string& runtimeDir, const std::string& interface);
    static std::string LogPath(const std::string& runtimeDir, const std::string& interface);
    static std::string ControlDir(const std::string& runtimeDir);
    // Ends a hostapd left behind by an earlier run on `interface` and removes
    // its files; true when one was found.
    static bool CleanStale(const std::string& runtimeDir, const std::string& interface);
    // The last lines hostapd wrote, joined with "; ".
    static std::string LogTail(const std::string& logPath, std::size_t lines = 4);

private:
    struct Outcome {
        DWORD code = 0;
        std::string failure;
    };
    void Run(std::stop_token stop, std::promise<Outcome> started);
    // Waits for hostapd's control socket and for the access point to be
    // enabled; the outcome of the start.
    Outcome Startup(ChildProcess& child);
    // Reads the events that wait; false once the run has ended.
    bool Dispatch(bool* ended);
    void Report(const std::string& why);
    void RemoveFiles();

    HostapdSettings::Driver m_driver;
    AccessPointSettings m_settings;
    AccessPointEvents* m_events = nullptr;
    HostapdControl m_control;
    int m_stopFd = -1;  // an eventfd the thread waits on
    std::jthread m_thread;
    std::mutex m_lock;  // guards m_ended
    bool m_ended = false;
    // hostapd's wired driver does not set the port up itself: the run does,
    // and sets it down again at the stop when it was down.
    bool m_broughtUp = false;
};

}  // namespace plat
