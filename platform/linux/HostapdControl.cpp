#include "HostapdControl.h"

#include <stddef.h>
// clang-format off
#include <wpa_ctrl.h>
// clang-format on

#include <cerrno>
#include <cstdio>
#include <sstream>

namespace plat {

namespace {

constexpr std::size_t kReplySize = 8192;

std::string Trim(const std::string& text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t' || text[b] == '\r' || text[b] == '\n'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r' ||
                     text[e - 1] == '\n'))
        --e;
    return text.substr(b, e - b);
}

std::string MacText(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

}  // namespace

HostapdControl::~HostapdControl() {
    Close();
}

int HostapdControl::Open(const std::string& path) {
    Close();
    std::lock_guard<std::mutex> g(m_lock);
    errno = 0;
    m_request = wpa_ctrl_open(path.c_str());
    if (m_request == nullptr)
        return errno != 0 ? errno : ECONNREFUSED;
    m_events = wpa_ctrl_open(path.c_str());
    if (m_events == nullptr || wpa_ctrl_attach(m_events) != 0) {
        const int e = errno != 0 ? errno : ECONNREFUSED;
        if (m_events != nullptr)
            wpa_ctrl_close(m_events);
        wpa_ctrl_close(m_request);
        m_events = m_request = nullptr;
        return e;
    }
    return 0;
}

void HostapdControl::Close() {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_events != nullptr) {
        wpa_ctrl_detach(m_events);
        wpa_ctrl_close(m_events);
        m_events = nullptr;
    }
    if (m_request != nullptr) {
        wpa_ctrl_close(m_request);
        m_request = nullptr;
    }
}

bool HostapdControl::IsOpen() const {
    return m_request != nullptr;
}

bool HostapdControl::Request(const std::string& command, std::string* reply) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_request == nullptr)
        return false;
    std::vector<char> buffer(kReplySize);
    std::size_t length = buffer.size() - 1;
    // Events are not attached on this connection, so no callback is needed.
    if (wpa_ctrl_request(m_request, command.data(), command.size(), buffer.data(), &length,
                         nullptr) != 0)
        return false;
    reply->assign(buffer.data(), length);
    return true;
}

bool HostapdControl::Status(std::map<std::string, std::string>* values) {
    std::string reply;
    if (!Request("STATUS", &reply) || reply.rfind("FAIL", 0) == 0)
        return false;
    *values = ParseKeyValues(reply);
    return true;
}

bool HostapdControl::Stations(std::vector<HostapdStation>* stations) {
    stations->clear();
    std::string reply;
    if (!Request("STA-FIRST", &reply))
        return false;
    // hostapd answers an empty text (or FAIL) after the last station; the walk
    // is bounded in case a broken answer repeats a station.
    for (int guard = 0; guard < 4096; ++guard) {
        HostapdStation station;
        if (!ParseStation(reply, &station))
            return true;
        stations->push_back(station);
        if (!Request("STA-NEXT " + MacText(station.mac), &reply))
            return false;
    }
    return true;
}

int HostapdControl::EventFd() const {
    return m_events != nullptr ? wpa_ctrl_get_fd(m_events) : -1;
}

bool HostapdControl::ReceiveEvents(std::vector<HostapdEvent>* events) {
    if (m_events == nullptr)
        return false;
    for (;;) {
        const int pending = wpa_ctrl_pending(m_events);
        if (pending < 0)
            return false;
        if (pending == 0)
            return true;
        std::vector<char> buffer(kReplySize);
        std::size_t length = buffer.size() - 1;
        if (wpa_ctrl_recv(m_events, buffer.data(), &length) != 0)
            return false;
        events->push_back(ParseEvent(std::string(buffer.data(), length)));
    }
}

std::map<std::string, std::string> HostapdControl::ParseKeyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0)
            continue;
        values[line.substr(0, eq)] = Trim(line.substr(eq + 1));
    }
    return values;
}

bool HostapdControl::ParseMac(const std::string& text, std::array<std::uint8_t, 6>* mac) {
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && text[i * 3 - 1] != ':')
            return false;
        unsigned value = 0;
        for (std::size_t j = 0; j < 2; ++j) {
            const char c = text[i * 3 + j];
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
            value = value * 16 + digit;
        }
        (*mac)[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

bool HostapdControl::ParseStation(const std::string& text, HostapdStation* station) {
    std::istringstream lines(text);
    std::string first;
    if (!std::getline(lines, first) || !ParseMac(Trim(first), &station->mac))
        return false;
    station->authorized = false;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("flags=", 0) == 0) {
            station->authorized = line.find("[AUTHORIZED]") != std::string::npos;
            break;
        }
    }
    return true;
}

HostapdEvent HostapdControl::ParseEvent(const std::string& message) {
    HostapdEvent event;
    std::string text = message;
    // A "<N>" priority prefix, and on a global interface "IFNAME=name " before
    // or after it.
    auto priority = [&] {
        if (!text.empty() && text[0] == '<') {
            const std::size_t close = text.find('>');
            if (close != std::string::npos && close <= 4)
                text = text.substr(close + 1);
        }
    };
    priority();
    if (text.rfind("IFNAME=", 0) == 0) {
        const std::size_t blank = text.find(' ');
        text = blank == std::string::npos ? std::string() : text.substr(blank + 1);
        priority();
    }
    text = Trim(text);
    event.text = text;
    std::istringstream words(text);
    std::string name;
    std::string argument;
    words >> name >> argument;
    if (name == "AP-STA-CONNECTED" || name == "AP-STA-DISCONNECTED") {
        if (ParseMac(argument, &event.mac))
            event.kind = name == "AP-STA-CONNECTED" ? HostapdEvent::Kind::StationConnected
                                                    : HostapdEvent::Kind::StationDisconnected;
    } else if (name == "AP-ENABLED") {
        event.kind = HostapdEvent::Kind::Enabled;
    } else if (name == "AP-DISABLED") {
        event.kind = HostapdEvent::Kind::Disabled;
    } else if (name == "CTRL-EVENT-TERMINATING") {
        event.kind = HostapdEvent::Kind::Terminating;
    }
    return event;
}

}  // namespace plat
