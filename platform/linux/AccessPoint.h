// One run of an access point on Linux, below the hosted-network driver: hostapd
// on a radio or a wired port, or a wired port without authentication. A run
// starts once and stops once; its stations and its end are reported through
// `AccessPointEvents`, from a thread of the run.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/WinTypes.h"
#include "platform/text/MacText.h"

namespace plat {

struct AccessPointSettings {
    std::string interface;
    std::string runtimeDir;  // configuration, control sockets, process id and log files

    // The radio's network.
    std::vector<std::uint8_t> ssid;
    std::string passphrase;
    std::vector<std::uint8_t> psk;  // 32 bytes instead of a pass phrase
    unsigned maxStations = 31;
    int channel = 6;
    std::string countryCode;
    bool ht = true;                 // 802.11n
    bool vht = false;               // 802.11ac
    std::string security = "wpa2";  // "wpa2", "wpa3" or "wpa2-wpa3"

    // hostapd: the program, and for a wired port the EAP users of its 802.1X
    // authenticator.
    std::string hostapd = "hostapd";
    std::string eapUserFile;
};

// Where a run records that it brought the interface's link up.
inline std::string LinkRecord(const AccessPointSettings& s) {
    return s.runtimeDir + "/link-" + s.interface + ".down";
}

struct AccessPointInfo {
    MacAddress bssid{};
    ULONG frequencyKhz = 0;
};

class AccessPoint;

class AccessPointEvents {
public:
    virtual ~AccessPointEvents() = default;
    virtual void StationJoined(AccessPoint* from, const MacAddress& mac) = 0;
    virtual void StationLeft(AccessPoint* from, const MacAddress& mac) = 0;
    // The access point went down on its own; `why` says what happened.
    virtual void Ended(AccessPoint* from, const std::string& why) = 0;
};

class AccessPoint {
public:
    virtual ~AccessPoint() = default;
    // Brings the access point up. 0, or a Windows error code with `failure`
    // saying in plain words what went wrong. Events may arrive before it returns.
    virtual DWORD Start(const AccessPointSettings& settings, AccessPointEvents* events,
                        std::string* failure) = 0;
    // Takes it down; no event arrives once this returns.
    virtual void Stop() = 0;
    // The stations that are connected (authorised) now.
    virtual std::vector<MacAddress> Stations() = 0;
    virtual AccessPointInfo Info() = 0;
};

}  // namespace plat
