// The hosted network of a Linux PC, below the Native Wi-Fi library layer: the
// access point runs on one interface, in one of three forms.
//
// - A radio (an interface nl80211 lists): hostapd with driver nl80211 and
//   WPA2-PSK, written from the hosted network's settings (SSID, pass phrase,
//   peer limit) and the options (channel, country). The interface can host a
//   network when its radio supports the AP interface type; its radio state is
//   that of its rfkill switches, and turning the software radio on lifts the
//   software block.
// - A wired port without authentication (an Ethernet port to share to, a veth
//   of the test bed): the link is brought up and the devices seen on it are
//   the stations. It has no radio to switch and no SSID on the air, but keeps
//   the settings, so the engine's start runs unchanged.
// - A wired port with IEEE 802.1X (when an EAP user file is given): hostapd
//   with its wired driver and its own EAP server.
//
// Which interface: RadioChooser's choice (the one the options name, wired when
// nl80211 does not list it; else a radio that can run an access point and
// does not carry the upstream connection). Around a run the PC hands the
// interface over (HostHandoff: NetworkManager, the firewall hole for DHCP and
// DNS, the hotspot's address removed at the stop) and gets it back, also
// after a run that was killed. hostapd's presence and the programs that would
// keep it from the interface (iwd, a wpa_supplicant of its own) are checked
// before anything is handed over. The state machine (unavailable, idle, active),
// settings, key and enable flag follow the system's hosted network; station
// joins and leaves and the access point ending on its own (hostapd dying, the
// port going away) become the state and peer notifications. Profiles and
// connections (ad hoc) are not supported (50).
//
// One card for both (RadioChooser): the access point runs on an interface the
// start makes beside the upstream's station (VirtualAp), deleted at the stop.
// On a card that allows one channel only, the run follows the station: a
// thread reads the station's channel every few seconds; when the station is on
// another channel the access point is restarted there; when the station has
// had no channel for a while the access point is taken down, so that the card
// can connect on any channel (while the access point holds one, the wireless
// stack refuses the station any other), and it comes back on the station's
// new channel. A channel closed to an access point ends the run with the reason.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AccessPoint.h"
#include "RadioChooser.h"
#include "platform/common/SystemClock.h"
#include "platform/wlan/HostedNetworkDriver.h"

namespace plat {

class HostHandoff;
class Netlink;
class VirtualAp;

struct LinuxHostedNetworkOptions {
    std::string apInterface;  // empty: the first wireless interface that can host the network
    std::string runtimeDir = "/run/lumari-hotspot";
    int channel = 0;            // 0: auto, from what the radio allows
    std::string band = "auto";  // "2.4", "5" or "auto"
    std::string countryCode;    // set: the regulatory domain is asked for it at the start
    std::string security;  // "wpa2", "wpa3", "wpa2-wpa3"; empty: WPA2/WPA3 where SAE is offered
    std::string hostapd = "hostapd";
    std::string eapUserFile;  // set: a wired port authenticates stations with 802.1X
    std::string sysfs = "/sys";
    std::string rfkillDevice = "/dev/rfkill";
    std::string procRoot = "/proc";  // where the programs holding an interface are looked for
    std::string busAddress;          // NetworkManager's bus; empty: the system bus
    // One card for both (an access point interface beside the upstream's
    // station): "auto" (when no other radio can), "on" or "off".
    std::string oneCard = "auto";
    // Opens a generic netlink socket for nl80211; empty: the kernel's.
    std::function<std::unique_ptr<Netlink>()> genl;
    // Makes the access point of a radio's run; empty: hostapd.
    std::function<std::shared_ptr<AccessPoint>()> radioAccessPoint;
    // The clock the start's waits and the run's watch of the station sleep
    // on; none: the system's.
    Clock* clock = nullptr;
    // The program's settings file: its section "lumari-hotspot" (what
    // lumari-hotspot stores) gives security, band, channel and country at
    // every start, so the window on Linux uses them too. Empty: the options.
    std::string settingsFile;
};

class LinuxHostedNetwork : public HostedNetworkDriver, private AccessPointEvents {
public:
    enum class Form { Radio, Wired, Wired8021x };

    struct Candidate {
        WlanInterfaceRecord record;
        std::string name;
        Form form = Form::Radio;
    };

    LinuxHostedNetwork();
    explicit LinuxHostedNetwork(LinuxHostedNetworkOptions options);
    ~LinuxHostedNetwork() override;

    void SetOptions(const LinuxHostedNetworkOptions& options);
    LinuxHostedNetworkOptions Options() const;
    // What went wrong at the last start, or why the access point ended, in
    // plain words; empty when nothing did.
    std::string LastFailure() const;
    // The channel, country and security of a start on `radio` (what nl80211
    // reports for it) under the regulatory domain `domain`; false with the
    // reason when the options cannot be met there. `settings` holds the key.
    // The radio settings stored in `file` over those of `options`.
    static LinuxHostedNetworkOptions WithStoredRadio(LinuxHostedNetworkOptions options,
                                                     const std::string& file);
    // `sharedChannels` set: one card for both, the access point beside the
    // station `radio` (1: on its channel only); `note` gets what of the
    // options could not be followed, and why.
    static bool Plan(const std::string& name, const WirelessInterface& radio,
                     const std::string& domain, const LinuxHostedNetworkOptions& options,
                     AccessPointSettings* settings, std::string* why,
                     std::uint32_t sharedChannels = 0, std::string* note = nullptr);

    // The interfaces that could carry the access point, as listed.
    std::vector<Candidate> Candidates() const;
    // The interface the next start would take, and why (or why none).
    RadioChoice Choice() const;
    // The interface of the run that is up or starting; empty without one.
    std::string RunInterface() const;
    // The security of the radio's run that is up ("wpa2", "wpa3",
    // "wpa2-wpa3"); empty without one or for a wired port.
    std::string Security() const;
    // The interface of the current or last start; empty before the first.
    std::string LastInterface() const;
    // Where notes about the hand-over go (what NetworkManager was told, a
    // firewall hole that could not be made, a killed run given back).
    void SetNote(std::function<void(const std::string&)> note);

    // HostedNetworkDriver.
    void Attach(HostedNetworkEvents* events) override;
    // No service stands between a program and hostapd: always running.
    bool ServiceRunning() const override { return true; }
    std::vector<WlanInterfaceRecord> Interfaces() const override;
    bool Interface(const GUID& guid, WlanInterfaceRecord* out) const override;
    DWORD SetAutoConf(const GUID& guid, bool enabled) override;
    DWORD SetSoftwareRadio(const GUID& guid, DWORD phyIndex, DOT11_RADIO_STATE state) override;
    DWORD SetBssType(const GUID& guid, DOT11_BSS_TYPE type) override;
    DWORD SetOperationMode(const GUID& guid, ULONG mode) override;
    DWORD SetProfile(const GUID& guid, const std::wstring& name, const std::wstring& xml,
                     bool overwrite) override;
    DWORD ProfileNames(const GUID& guid, std::vector<std::wstring>* names) const override;
    DWORD DeleteProfile(const GUID& guid, const std::wstring& name) override;
    DWORD Connect(const GUID& guid, WLAN_CONNECTION_MODE mode, const std::wstring& profile,
                  DOT11_BSS_TYPE bssType) override;
    DWORD Disconnect(const GUID& guid) override;
    DWORD Start(WLAN_HOSTED_NETWORK_REASON* reason) override;
    DWORD Stop(WLAN_HOSTED_NETWORK_REASON* reason) override;
    HostedNetworkStatusRecord Status() const override;
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS ConnectionSettings() const override;
    DWORD SetConnectionSettings(const WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS& settings,
                                WLAN_HOSTED_NETWORK_REASON* reason) override;
    bool Enabled() const override;
    DWORD SetEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON* reason) override;
    HostedNetworkKey SecondaryKey() const override;
    DWORD SetSecondaryKey(const HostedNetworkKey& key, WLAN_HOSTED_NETWORK_REASON* reason) override;
    std::wstring StationProfile() const override;
    DWORD RefreshSecuritySettings(WLAN_HOSTED_NETWORK_REASON* reason) override;

private:
    struct Pending {
        enum class Kind { Join, Leave, End } kind;
        MacAddress mac{};
    };

    // AccessPointEvents (from the run's thread).
    void StationJoined(AccessPoint* from, const MacAddress& mac) override;
    void StationLeft(AccessPoint* from, const MacAddress& mac) override;
    void Ended(AccessPoint* from, const std::string& why) override;

    bool Find(const GUID& guid, Candidate* out) const;
    std::unique_ptr<Netlink> Genl() const;
    // The clock of Options(), or the system's.
    Clock& TheClock();
    // The radio's channel, country and security for a start on `choice`;
    // false with the reason when none can be.
    bool RadioSettings(RadioChoice choice, const LinuxHostedNetworkOptions& options,
                       AccessPointSettings* settings, std::string* why);
    // Takes the current run down without changing the state (m_startStop held).
    void EndRun();
    // One card on one channel: the watch of the station's channel.
    void Follow(std::stop_token stop);
    // What the watch does when the station is on `channel` (0: none);
    // m_startStop held.
    void FollowStation(int channel);
    // Takes the access point down, its stations told to have left; the run
    // goes on (m_startStop held).
    void TakeDown();
    // Under m_lock.
    void MoveTo(WLAN_HOSTED_NETWORK_STATE next, WLAN_HOSTED_NETWORK_REASON reason);
    void Peer(const MacAddress& mac, bool joined);
    // Applies, under m_lock, what the run reported while it came up.
    void ReplayPending();

    std::mutex m_startStop;  // one start or stop at a time; taken before m_lock
    mutable std::mutex m_lock;
    LinuxHostedNetworkOptions m_options;
    HostedNetworkEvents* m_events = nullptr;
    bool m_enabled = true;
    WLAN_HOSTED_NETWORK_STATE m_state = kWlanHostedNetworkIdle;
    WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS m_settings{};
    HostedNetworkKey m_key;
    std::string m_failure;

    // The current run: starting (not up yet: its events wait in m_pending),
    // up, or ended on its own.
    std::shared_ptr<AccessPoint> m_ap;
    bool m_apUp = false;
    std::vector<Pending> m_pending;
    std::string m_interface;  // the interface of the last start
    Form m_form = Form::Radio;
    bool m_running = false;  // a run is up or starting on m_interface
    std::string m_security;  // of the radio's run that is up

    // Under m_startStop.
    void Note(const std::string& text) const;
    std::function<void(const std::string&)> m_note;  // under m_lock
    std::unique_ptr<HostHandoff> m_handoff;
    bool m_recovered = false;
    // One card for both: the access point interface of the run, and its socket.
    std::unique_ptr<Netlink> m_virtualGenl;
    std::unique_ptr<VirtualAp> m_virtual;
    // The watch of the station (one card on one channel), and what it keeps
    // (under m_startStop): the run's settings, the station, the domain, how
    // many watches found no channel in a row, whether the access point is down.
    std::jthread m_follow;
    AccessPointSettings m_runSettings;
    RadioChoice m_oneCard;
    std::string m_domain;
    int m_missed = 0;
    bool m_paused = false;
    SystemClock m_systemClock;
};

}  // namespace plat
