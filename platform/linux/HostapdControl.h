// hostapd's control interface through libwpa-client: one connection for
// requests (STATUS, STA-FIRST/STA-NEXT) and one attached connection that
// receives hostapd's events ("<3>AP-STA-CONNECTED 02:11:22:33:44:55").
//
// The parsers of hostapd's answers are separate static functions: hostapd
// runs as another process, and what it answers is checked like any input.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct wpa_ctrl;

namespace plat {

struct HostapdStation {
    std::array<std::uint8_t, 6> mac{};
    bool authorized = false;  // flags hold [AUTHORIZED]
};

struct HostapdEvent {
    enum class Kind {
        Other,
        StationConnected,     // AP-STA-CONNECTED <mac>
        StationDisconnected,  // AP-STA-DISCONNECTED <mac>
        Enabled,              // AP-ENABLED
        Disabled,             // AP-DISABLED
        Terminating,          // CTRL-EVENT-TERMINATING
    };
    Kind kind = Kind::Other;
    std::array<std::uint8_t, 6> mac{};
    std::string text;  // the event without its priority prefix
};

class HostapdControl {
public:
    HostapdControl() = default;
    ~HostapdControl();
    HostapdControl(const HostapdControl&) = delete;
    HostapdControl& operator=(const HostapdControl&) = delete;

    // Connects to the socket at `path` (control folder + interface name),
    // twice: for requests and for events. 0 or an errno value.
    int Open(const std::string& path);
    void Close();
    bool IsOpen() const;

    // Sends a command; false when hostapd did not answer.
    bool Request(const std::string& command, std::string* reply);
    // STATUS as key=value pairs.
    bool Status(std::map<std::string, std::string>* values);
    // Every station hostapd knows.
    bool Stations(std::vector<HostapdStation>* stations);

    // The descriptor of the event connection (readable when an event waits).
    int EventFd() const;
    // Takes the events that wait; false when the connection is broken.
    bool ReceiveEvents(std::vector<HostapdEvent>* events);

    // Parsers of hostapd's answers.
    static std::map<std::string, std::string> ParseKeyValues(const std::string& text);
    // An answer to STA-FIRST/STA-NEXT: the MAC on the first line, then key=value lines.
    static bool ParseStation(const std::string& text, HostapdStation* station);
    static HostapdEvent ParseEvent(const std::string& message);
    static bool ParseMac(const std::string& text, std::array<std::uint8_t, 6>* mac);

private:
    std::mutex m_lock;  // one request at a time on the request connection
    wpa_ctrl* m_request = nullptr;
    wpa_ctrl* m_events = nullptr;
};

}  // namespace plat
