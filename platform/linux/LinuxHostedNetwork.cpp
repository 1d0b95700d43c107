#include "LinuxHostedNetwork.h"

#include <net/if.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "HostHandoff.h"
#include "HostapdAccessPoint.h"
#include "Netlink.h"
#include "Nl80211.h"
#include "RadioChannels.h"
#include "Rfkill.h"
#include "VirtualAp.h"
#include "WifiHolders.h"
#include "WiredAccessPoint.h"
#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"
#include "platform/vendor/Osmira.h"

namespace plat {

namespace {

constexpr std::uint32_t kIftypeMonitor = 6;  // NL80211_IFTYPE_MONITOR
constexpr unsigned kDefaultPeers = 31;
constexpr unsigned kMaxPeers = 2007;

WlanInterfaceRecord Record(const std::string& name, const std::wstring& description,
                           std::int32_t capable) {
    WlanInterfaceRecord r;
    r.guid = GuidText::FromName(name);
    r.description = description;
    r.hostedNetworkCapable = capable;
    return r;
}

std::wstring Wide(const std::string& text) {
    return TextCodec::Utf8ToWide(text);
}

}  // namespace

LinuxHostedNetwork::LinuxHostedNetwork() = default;

LinuxHostedNetwork::LinuxHostedNetwork(LinuxHostedNetworkOptions options)
    : m_options(std::move(options)) {}

LinuxHostedNetwork::~LinuxHostedNetwork() {
    std::lock_guard<std::mutex> g(m_startStop);
    EndRun();
}

void LinuxHostedNetwork::SetOptions(const LinuxHostedNetworkOptions& options) {
    std::lock_guard<std::mutex> g(m_lock);
    m_options = options;
}

LinuxHostedNetworkOptions LinuxHostedNetwork::Options() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_options;
}

Clock& LinuxHostedNetwork::TheClock() {
    Clock* given = Options().clock;
    return given != nullptr ? *given : m_systemClock;
}

std::unique_ptr<Netlink> LinuxHostedNetwork::Genl() const {
    const LinuxHostedNetworkOptions options = Options();
    if (options.genl)
        return options.genl();
    return std::make_unique<Netlink>(NETLINK_GENERIC);
}

RadioChoice LinuxHostedNetwork::Choice() const {
    const LinuxHostedNetworkOptions options = WithStoredRadio(Options(), Options().settingsFile);
    OneCardMode mode = OneCardMode::Auto;
    RadioChooser::ParseOneCard(options.oneCard, &mode);
    const std::unique_ptr<Netlink> genl = Genl();
    return RadioChooser::Choose(
        options.apInterface,
        RadioChooser::Gather(options.apInterface, options.sysfs, options.rfkillDevice, genl.get()),
        mode);
}

std::string LinuxHostedNetwork::RunInterface() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_running ? m_interface : std::string();
}

std::string LinuxHostedNetwork::Security() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_running && m_apUp ? m_security : std::string();
}

std::string LinuxHostedNetwork::LastInterface() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_interface;
}

void LinuxHostedNetwork::SetNote(std::function<void(const std::string&)> note) {
    std::lock_guard<std::mutex> g(m_lock);
    m_note = std::move(note);
}

void LinuxHostedNetwork::Note(const std::string& text) const {
    std::function<void(const std::string&)> note;
    {
        std::lock_guard<std::mutex> g(m_lock);
        note = m_note;
    }
    if (note)
        note(text);
}

std::string LinuxHostedNetwork::LastFailure() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_failure;
}

std::vector<LinuxHostedNetwork::Candidate> LinuxHostedNetwork::Candidates() const {
    const LinuxHostedNetworkOptions options = Options();
    std::vector<WirelessInterface> wireless;
    Nl80211::Interfaces(&wireless);  // none when the kernel has no nl80211
    const Rfkill rfkill(options.sysfs, options.rfkillDevice);

    auto radio = [&](const std::string& name, const std::string& phy, bool ap) {
        Candidate c;
        c.name = name;
        c.form = Form::Radio;
        c.record =
            Record(name, Wide(name + " (" + (phy.empty() ? "radio" : phy) + ")"), ap ? 1 : 0);
        WlanPhyRadio state;
        for (const RfkillSwitch& s : rfkill.Switches(name)) {
            if (s.soft)
                state.software = kDot11RadioStateOff;
            if (s.hard)
                state.hardware = kDot11RadioStateOff;
        }
        c.record.phys.assign(1, state);
        return c;
    };

    std::vector<Candidate> out;
    if (!options.apInterface.empty()) {
        const std::string& name = options.apInterface;
        for (const WirelessInterface& w : wireless)
            if (w.name == name)
                return {radio(name, w.phyName, w.apMode)};
        if (if_nametoindex(name.c_str()) == 0)
            return out;
        std::error_code ec;
        const std::filesystem::path net = std::filesystem::path(options.sysfs) / "class" / "net";
        if (std::filesystem::exists(net / name / "phy80211", ec) ||
            std::filesystem::exists(net / name / "wireless", ec)) {
            // A radio that nl80211 does not answer for cannot run an access point.
            out.push_back(radio(name, "", false));
            return out;
        }
        Candidate c;
        c.name = name;
        c.form = options.eapUserFile.empty() ? Form::Wired : Form::Wired8021x;
        c.record = Record(name, Wide(name + " (wired)"), 1);
        out.push_back(c);
        return out;
    }
    for (const WirelessInterface& w : wireless)
        if (w.iftype != kIftypeMonitor)
            out.push_back(radio(w.name, w.phyName, w.apMode));
    return out;
}

bool LinuxHostedNetwork::Find(const GUID& guid, Candidate* out) const {
    for (const Candidate& c : Candidates()) {
        if (c.record.guid == guid) {
            *out = c;
            return true;
        }
    }
    return false;
}

// ---- interfaces ----

void LinuxHostedNetwork::Attach(HostedNetworkEvents* events) {
    std::lock_guard<std::mutex> g(m_lock);
    m_events = events;
}

std::vector<WlanInterfaceRecord> LinuxHostedNetwork::Interfaces() const {
    std::vector<WlanInterfaceRecord> out;
    for (const Candidate& c : Candidates())
        out.push_back(c.record);
    return out;
}

bool LinuxHostedNetwork::Interface(const GUID& guid, WlanInterfaceRecord* out) const {
    Candidate c;
    if (!Find(guid, &c))
        return false;
    *out = c.record;
    return true;
}

DWORD LinuxHostedNetwork::SetSoftwareRadio(const GUID& guid, DWORD phyIndex,
                                           DOT11_RADIO_STATE state) {
    Candidate c;
    if (!Find(guid, &c))
        return kErrorNotFound;
    if (phyIndex >= c.record.phys.size())
        return kErrorInvalidParameter;
    if (c.form != Form::Radio)
        return state == kDot11RadioStateOn ? 0 : kErrorNotSupported;
    const LinuxHostedNetworkOptions options = Options();
    const Rfkill rfkill(options.sysfs, options.rfkillDevice);
    for (const RfkillSwitch& s : rfkill.Switches(c.name)) {
        if (const int e = rfkill.SetSoftBlock(s.index, state != kDot11RadioStateOn)) {
            return e == EACCES || e == EPERM ? kErrorAccessDenied : kErrorInvalidState;
        }
    }
    return 0;
}

// The interface settings and profiles of the ad-hoc way have no Linux counterpart.
DWORD LinuxHostedNetwork::SetAutoConf(const GUID& guid, bool) {
    Candidate c;
    return Find(guid, &c) ? kErrorNotSupported : kErrorNotFound;
}
DWORD LinuxHostedNetwork::SetBssType(const GUID& guid, DOT11_BSS_TYPE) {
    Candidate c;
    return Find(guid, &c) ? kErrorNotSupported : kErrorNotFound;
}
DWORD LinuxHostedNetwork::SetOperationMode(const GUID& guid, ULONG) {
    Candidate c;
    return Find(guid, &c) ? kErrorNotSupported : kErrorNotFound;
}
DWORD LinuxHostedNetwork::SetProfile(const GUID& guid, const std::wstring&, const std::wstring&,
                                     bool) {
    Candidate c;
    return Find(guid, &c) ? kErrorNotSupported : kErrorNotFound;
}
DWORD LinuxHostedNetwork::ProfileNames(const GUID& guid, std::vector<std::wstring>* names) const {
    Candidate c;
    if (!Find(guid, &c))
        return kErrorNotFound;
    names->clear();
    return 0;
}
DWORD LinuxHostedNetwork::DeleteProfile(const GUID&, const std::wstring&) {
    return kErrorNotFound;  // no profile exists
}
DWORD LinuxHostedNetwork::Connect(const GUID& guid, WLAN_CONNECTION_MODE, const std::wstring&,
                                  DOT11_BSS_TYPE) {
    Candidate c;
    return Find(guid, &c) ? kErrorNotSupported : kErrorNotFound;
}
DWORD LinuxHostedNetwork::Disconnect(const GUID& guid) {
    Candidate c;
    return Find(guid, &c) ? kErrorNotSupported : kErrorNotFound;
}

// ---- the hosted network ----

void LinuxHostedNetwork::MoveTo(WLAN_HOSTED_NETWORK_STATE next, WLAN_HOSTED_NETWORK_REASON reason) {
    if (next == m_state)
        return;
    if (m_events != nullptr)
        m_events->HostedNetworkStateChanged(m_state, next, reason);
    m_state = next;
}

void LinuxHostedNetwork::Peer(const MacAddress& mac, bool joined) {
    WLAN_HOSTED_NETWORK_PEER_STATE from{};
    WLAN_HOSTED_NETWORK_PEER_STATE to{};
    std::memcpy(from.PeerMacAddress, mac.data(), 6);
    std::memcpy(to.PeerMacAddress, mac.data(), 6);
    from.PeerAuthState =
        joined ? kWlanHostedNetworkPeerStateInvalid : kWlanHostedNetworkPeerStateAuthenticated;
    to.PeerAuthState =
        joined ? kWlanHostedNetworkPeerStateAuthenticated : kWlanHostedNetworkPeerStateInvalid;
    if (m_events != nullptr)
        m_events->PeerStateChanged(
            from, to,
            joined ? kWlanHostedNetworkReasonPeerArrived : kWlanHostedNetworkReasonPeerDeparted);
}

void LinuxHostedNetwork::StationJoined(AccessPoint* from, const MacAddress& mac) {
    std::lock_guard<std::mutex> g(m_lock);
    if (from != m_ap.get())
        return;
    if (!m_apUp)
        m_pending.push_back(Pending{Pending::Kind::Join, mac});
    else if (m_state == kWlanHostedNetworkActive)
        Peer(mac, true);
}

void LinuxHostedNetwork::StationLeft(AccessPoint* from, const MacAddress& mac) {
    std::lock_guard<std::mutex> g(m_lock);
    if (from != m_ap.get())
        return;
    if (!m_apUp)
        m_pending.push_back(Pending{Pending::Kind::Leave, mac});
    else if (m_state == kWlanHostedNetworkActive)
        Peer(mac, false);
}

void LinuxHostedNetwork::Ended(AccessPoint* from, const std::string& why) {
    std::lock_guard<std::mutex> g(m_lock);
    if (from != m_ap.get())
        return;
    m_failure = why;
    if (!m_apUp)
        m_pending.push_back(Pending{Pending::Kind::End, {}});
    else if (m_state == kWlanHostedNetworkActive)
        MoveTo(kWlanHostedNetworkIdle, kWlanHostedNetworkReasonInterfaceUnavailable);
}

void LinuxHostedNetwork::EndRun() {
    if (m_follow.joinable()) {
        // The watch only ever tries m_startStop, so it cannot hold this up.
        m_follow.request_stop();
        m_follow.join();
    }
    m_paused = false;
    m_missed = 0;
    std::shared_ptr<AccessPoint> ap;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ap = std::move(m_ap);
        m_ap.reset();
        m_apUp = false;
        m_running = false;
        m_pending.clear();
    }
    // Its events are ignored from here on; Stop waits for the one in progress.
    if (ap)
        ap->Stop();
    if (m_handoff)
        m_handoff->GiveBack();
    if (m_virtual) {
        m_virtual->Remove();
        m_virtual.reset();
    }
}

namespace {

// How often the station's channel is read, and after how many reads without
// one the access point makes way for the station.
constexpr auto kFollowPeriod = std::chrono::seconds(3);
constexpr int kMissedBeforeMakingWay = 3;

}  // namespace

// The access point is restarted on the station's new channel rather than moved
// with hostapd's CHAN_SWITCH: a channel switch announcement needs the driver's
// support for it beside a station, and with one channel for both the station
// cannot even join the new channel while the access point still holds the old
// one. A restart works on every driver; devices join again by themselves.
void LinuxHostedNetwork::Follow(std::stop_token stop) {
    Clock& clock = TheClock();
    const std::unique_ptr<Netlink> genl = Genl();
    const std::uint32_t station = m_oneCard.radio.ifindex;
    while (clock.SleepFor(kFollowPeriod, stop)) {
        WirelessInterface now;
        const int channel =
            Nl80211::Interface(*genl, station, &now) == 0 ? Nl80211::ChannelOf(now.frequency) : 0;
        // A start or stop under way (which ends this watch) goes first.
        std::unique_lock<std::mutex> serial(m_startStop, std::try_to_lock);
        if (!serial.owns_lock() || stop.stop_requested())
            continue;
        FollowStation(channel);
    }
}

void LinuxHostedNetwork::TakeDown() {
    std::shared_ptr<AccessPoint> ap;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ap = std::move(m_ap);
        m_ap.reset();
        m_apUp = false;
        m_pending.clear();
    }
    if (!ap)
        return;
    const std::vector<MacAddress> stations = ap->Stations();
    ap->Stop();
    std::lock_guard<std::mutex> g(m_lock);
    if (m_state == kWlanHostedNetworkActive)
        for (const MacAddress& mac : stations)
            Peer(mac, false);
}

void LinuxHostedNetwork::FollowStation(int channel) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_running || m_state != kWlanHostedNetworkActive)
            return;
    }
    const std::string& station = m_oneCard.station;
    if (channel == 0) {
        if (m_paused || ++m_missed < kMissedBeforeMakingWay)
            return;
        Note(station +
             " has no connection: the access point is taken down so that the card "
             "can connect on any channel, and comes back on the connection's channel");
        TakeDown();
        m_paused = true;
        return;
    }
    m_missed = 0;
    if (!m_paused && channel == m_runSettings.channel)
        return;
    ChannelRequest request;
    request.stationChannel = channel;
    request.stationChannelOnly = true;
    request.regulatoryDomain = m_domain;
    const ChannelChoice choice = RadioChannels::Choose(m_oneCard.radio.bands, request);
    if (!choice.ok) {
        TakeDown();
        m_paused = false;
        std::lock_guard<std::mutex> g(m_lock);
        m_failure = station + ": " + choice.why;
        MoveTo(kWlanHostedNetworkIdle, kWlanHostedNetworkReasonInterfaceUnavailable);
        return;
    }
    Note(station + (m_paused ? " is connected again, on channel " : " moved to channel ") +
         std::to_string(channel) + ": the access point follows it (restarted on channel " +
         std::to_string(channel) + "; devices join again by themselves)");
    TakeDown();
    m_paused = false;
    m_runSettings.channel = choice.channel;
    m_runSettings.ht = choice.ht;
    m_runSettings.vht = choice.vht;
    const LinuxHostedNetworkOptions options = Options();
    std::shared_ptr<AccessPoint> ap =
        options.radioAccessPoint
            ? options.radioAccessPoint()
            : std::make_shared<HostapdAccessPoint>(HostapdSettings::Driver::Nl80211);
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_ap = ap;
    }
    std::string failure;
    if (ap->Start(m_runSettings, this, &failure) != 0) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_ap.reset();
            m_pending.clear();
            m_failure = failure;
            MoveTo(kWlanHostedNetworkIdle, kWlanHostedNetworkReasonInterfaceUnavailable);
        }
        ap->Stop();
        return;
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_apUp = true;
    ReplayPending();
}

bool LinuxHostedNetwork::RadioSettings(RadioChoice choice, const LinuxHostedNetworkOptions& options,
                                       AccessPointSettings* settings, std::string* why) {
    const std::unique_ptr<Netlink> genl = Genl();
    std::string domain;
    Nl80211::RegulatoryDomain(*genl, &domain);
    if (!options.countryCode.empty() && options.countryCode != domain) {
        // The wireless core applies the country's rules a moment after it was asked.
        if (Nl80211::SetRegulatoryDomain(*genl, options.countryCode) == 0) {
            Clock& clock = TheClock();
            const Clock::Steady end = clock.Now() + std::chrono::seconds(2);
            Nl80211::RegulatoryDomain(*genl, &domain);
            while (domain != options.countryCode && clock.Now() < end) {
                clock.SleepFor(std::chrono::milliseconds(100));
                Nl80211::RegulatoryDomain(*genl, &domain);
            }
            Note(domain == options.countryCode
                     ? "the regulatory domain is now " + domain
                     : "the regulatory domain " + options.countryCode + " was asked for; " +
                           (domain.empty() ? std::string("none") : domain) + " is in force");
            const RadioChoice fresh = Choice();
            if (fresh.name == choice.name && fresh.station == choice.station)
                choice = fresh;
        } else {
            Note("the regulatory domain " + options.countryCode + " could not be asked for");
        }
    }
    if (choice.oneCard) {
        // The station's channel as it is now.
        WirelessInterface now;
        if (Nl80211::Interface(*genl, choice.radio.ifindex, &now) == 0)
            choice.radio.frequency = now.frequency;
    }
    std::string note;
    if (!Plan(choice.oneCard ? choice.station : choice.name, choice.radio, domain, options,
              settings, why, choice.oneCard ? choice.sharedChannels : 0, &note))
        return false;
    m_domain = domain;
    m_oneCard = choice;
    if (!note.empty())
        Note(note);
    Note(choice.name + ": channel " + std::to_string(settings->channel) + " (" +
         (settings->channel > 14 ? "5 GHz" : "2.4 GHz") + "), " + settings->security +
         (settings->countryCode.empty() ? std::string() : ", country " + settings->countryCode));
    return true;
}

LinuxHostedNetworkOptions LinuxHostedNetwork::WithStoredRadio(LinuxHostedNetworkOptions options,
                                                              const std::string& file) {
    if (file.empty())
        return options;
    auto read = [&](const char* key) {
        char buffer[64] = {};
        DWORD size = sizeof buffer;
        if (GetCipherStrVal(file.c_str(), key, "lumari-hotspot", buffer, &size) != 0)
            return std::string();
        buffer[sizeof buffer - 1] = 0;
        return std::string(buffer);
    };
    HostapdSettings::Security security;
    const std::string stored = read("security");
    if (stored.empty() || HostapdConfig::ParseSecurity(stored, &security))
        options.security = stored;
    const std::string band = read("band");
    if (RadioChannels::ValidBand(band))
        options.band = band;
    const std::string channel = read("channel");
    if (channel == "auto") {
        options.channel = 0;
    } else if (!channel.empty() && channel.size() <= 3 &&
               channel.find_first_not_of("0123456789") == std::string::npos) {
        const int n = std::stoi(channel);
        if ((n >= 1 && n <= 14) || (n >= 32 && n <= 177))
            options.channel = n;
    }
    OneCardMode mode;
    const std::string oneCard = read("oneCard");
    if (RadioChooser::ParseOneCard(oneCard, &mode))
        options.oneCard = oneCard;
    const std::string country = read("country");
    if (country.empty() || (country.size() == 2 && country[0] >= 'A' && country[0] <= 'Z' &&
                            country[1] >= 'A' && country[1] <= 'Z' && country != "00"))
        options.countryCode = country;
    return options;
}

bool LinuxHostedNetwork::Plan(const std::string& name, const WirelessInterface& radio,
                              const std::string& domain, const LinuxHostedNetworkOptions& options,
                              AccessPointSettings* settings, std::string* why,
                              std::uint32_t sharedChannels, std::string* note) {
    ChannelRequest request;
    request.band = options.band;
    request.channel = options.channel;
    request.regulatoryDomain = domain;
    if (sharedChannels != 0) {
        request.stationChannel = Nl80211::ChannelOf(radio.frequency);
        request.stationChannelOnly = sharedChannels == 1;
    }
    const ChannelChoice channel = RadioChannels::Choose(radio.bands, request);
    if (!channel.ok) {
        *why = name + ": " + channel.why;
        return false;
    }
    if (note != nullptr)
        *note = channel.note.empty() ? std::string() : name + ": " + channel.note;
    settings->channel = channel.channel;
    settings->ht = channel.ht;
    settings->vht = channel.vht;
    settings->countryCode =
        options.countryCode.empty() && domain != "00" ? domain : options.countryCode;
    if (settings->countryCode.size() != 2 || settings->countryCode[0] < 'A' ||
        settings->countryCode[0] > 'Z' || settings->countryCode[1] < 'A' ||
        settings->countryCode[1] > 'Z')
        settings->countryCode.clear();
    const bool passphrase = !settings->passphrase.empty();
    if (options.security.empty()) {
        settings->security = radio.sae && passphrase ? "wpa2-wpa3" : "wpa2";
    } else {
        settings->security = options.security;
        if (options.security != "wpa2" && !radio.sae) {
            *why = "the driver of " + name +
                   " does not offer WPA3 (SAE with protected management frames); use "
                   "--security wpa2";
            return false;
        }
        if (options.security != "wpa2" && !passphrase) {
            *why = "WPA3 needs a pass phrase, not a raw key";
            return false;
        }
    }
    return true;
}

DWORD LinuxHostedNetwork::Start(WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> serial(m_startStop);
    *reason = kWlanHostedNetworkReasonSuccess;
    auto refuse = [&](WLAN_HOSTED_NETWORK_REASON why, const std::string& text,
                      DWORD code = kErrorInvalidState) {
        std::lock_guard<std::mutex> g(m_lock);
        m_failure = text;
        *reason = why;
        return code;
    };
    AccessPointSettings settings;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_enabled) {
            m_failure = "the hosted network is disabled";
            *reason = kWlanHostedNetworkReasonInterfaceUnavailable;
            return kErrorInvalidState;
        }
        if (m_state == kWlanHostedNetworkActive && m_apUp)
            return 0;
        const auto& ssid = m_settings.hostedNetworkSSID;
        settings.ssid.assign(ssid.ucSSID, ssid.ucSSID + std::min<ULONG>(ssid.uSSIDLength, 32));
        const DWORD peers = m_settings.dwMaxNumberOfPeers;
        settings.maxStations = peers == 0 ? kDefaultPeers : std::min<unsigned>(peers, kMaxPeers);
        if (m_key.passPhrase) {
            std::string phrase(m_key.bytes.begin(), m_key.bytes.end());
            while (!phrase.empty() && phrase.back() == 0)
                phrase.pop_back();
            settings.passphrase = phrase;
        } else {
            settings.psk = m_key.bytes;
        }
        settings.runtimeDir = m_options.runtimeDir;
        settings.channel = m_options.channel;
        settings.countryCode = m_options.countryCode;
        settings.hostapd = m_options.hostapd;
        settings.eapUserFile = m_options.eapUserFile;
    }
    EndRun();  // a run that ended on its own

    const LinuxHostedNetworkOptions options = WithStoredRadio(Options(), Options().settingsFile);
    if (!m_handoff)
        m_handoff =
            std::make_unique<HostHandoff>(options.runtimeDir, options.busAddress, TheClock(),
                                          [this](const std::string& t) { Note(t); });
    if (!m_recovered) {
        // What a killed run left is given back before anything else.
        m_recovered = true;
        const std::string left = m_handoff->RecoverLeftover();
        if (!left.empty())
            HostapdAccessPoint::CleanStale(options.runtimeDir, left);
        const std::unique_ptr<Netlink> genl = Genl();
        for (const std::string& made : VirtualAp(options.runtimeDir, *genl).RemoveLeftover())
            Note("deleted " + made +
                 ", the access point interface a run that did not end cleanly left behind");
    }

    const RadioChoice choice = Choice();
    if (choice.form == RadioChoice::Form::None)
        return refuse(kWlanHostedNetworkReasonInterfaceUnavailable,
                      choice.why + (choice.fix.empty() ? "" : "; " + choice.fix));
    Note(choice.why);
    Candidate chosenOne;
    chosenOne.name = choice.name;
    chosenOne.form = choice.form == RadioChoice::Form::Radio ? Form::Radio
                     : options.eapUserFile.empty()           ? Form::Wired
                                                             : Form::Wired8021x;
    const Candidate* chosen = &chosenOne;
    settings.interface = chosen->name;
    if (settings.ssid.empty())
        return refuse(kWlanHostedNetworkReasonBadParameters, "the network has no name");
    if (chosen->form == Form::Radio && settings.passphrase.empty() && settings.psk.empty())
        return refuse(kWlanHostedNetworkReasonBadParameters, "the network has no key");
    // Checked before the interface is handed over: nothing is released for a
    // start that cannot happen.
    if (chosen->form != Form::Wired && ChildProcess::Find(settings.hostapd).empty())
        return refuse(kWlanHostedNetworkReasonInterfaceUnavailable,
                      "hostapd is not installed (install the package hostapd)", kErrorFileNotFound);
    if (chosen->form == Form::Radio && !choice.oneCard) {
        for (const WifiHolder& h : WifiHolders::Find(chosen->name, options.procRoot))
            return refuse(kWlanHostedNetworkReasonInterfaceUnavailable, h.what + "; " + h.fix);
    }
    if (choice.oneCard) {
        for (const WifiHolders::CardHolder& h : WifiHolders::FindOnCard(
                 choice.station, choice.radio.phyName, chosen->name, options.procRoot)) {
            if (!h.warning)
                return refuse(kWlanHostedNetworkReasonInterfaceUnavailable,
                              h.holder.what + "; " + h.holder.fix);
            Note(h.holder.what + "; " + h.holder.fix);
        }
    }
    if (chosen->form == Form::Radio && !choice.oneCard) {
        if (choice.softBlocked) {
            const Rfkill rfkill(options.sysfs, options.rfkillDevice);
            for (const RfkillSwitch& sw : rfkill.Switches(chosen->name))
                if (sw.soft && rfkill.SetSoftBlock(sw.index, false) != 0)
                    return refuse(kWlanHostedNetworkReasonInterfaceUnavailable,
                                  "the radio of " + chosen->name +
                                      " is blocked (rfkill) and could not be unblocked");
        }
    }
    if (chosen->form == Form::Radio) {
        std::string why;
        if (!RadioSettings(choice, options, &settings, &why))
            return refuse(kWlanHostedNetworkReasonBadParameters, why);
    }
    if (choice.oneCard) {
        // The access point's own interface on the station's card; the
        // station's interface itself is left as it is.
        m_virtualGenl = Genl();
        m_virtual = std::make_unique<VirtualAp>(options.runtimeDir, *m_virtualGenl);
        std::string why;
        if (m_virtual->Create(choice.radio, &why) != 0) {
            m_virtual.reset();
            return refuse(kWlanHostedNetworkReasonInterfaceUnavailable, why);
        }
    }
    m_handoff->Take(chosen->name, choice.oneCard);

    std::shared_ptr<AccessPoint> ap;
    if (chosen->form == Form::Wired)
        ap = std::make_shared<WiredAccessPoint>();
    else if (chosen->form == Form::Radio && options.radioAccessPoint)
        ap = options.radioAccessPoint();
    else
        ap = std::make_shared<HostapdAccessPoint>(chosen->form == Form::Radio
                                                      ? HostapdSettings::Driver::Nl80211
                                                      : HostapdSettings::Driver::Wired);
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_ap = ap;
        m_apUp = false;
        m_pending.clear();
        m_interface = chosen->name;
        m_form = chosen->form;
        m_running = true;
        m_security = chosen->form == Form::Radio ? settings.security : std::string();
    }
    std::string failure;
    const DWORD e = ap->Start(settings, this, &failure);
    if (e != 0) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_ap.reset();
            m_pending.clear();
            m_failure = failure;
            m_running = false;
        }
        ap->Stop();
        m_handoff->GiveBack();
        if (m_virtual) {
            m_virtual->Remove();
            m_virtual.reset();
        }
        *reason = kWlanHostedNetworkReasonInterfaceUnavailable;
        return e;
    }
    if (choice.oneCard && choice.sharedChannels == 1) {
        m_runSettings = settings;
        m_follow = std::jthread([this](std::stop_token stop) { Follow(stop); });
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_failure.clear();
    m_apUp = true;
    MoveTo(kWlanHostedNetworkActive, kWlanHostedNetworkReasonSuccess);
    ReplayPending();
    return 0;
}

void LinuxHostedNetwork::ReplayPending() {
    // What the run reported while it came up, in order.
    std::vector<Pending> pending;
    pending.swap(m_pending);
    for (const Pending& p : pending) {
        if (m_state != kWlanHostedNetworkActive)
            break;
        if (p.kind == Pending::Kind::End)
            MoveTo(kWlanHostedNetworkIdle, kWlanHostedNetworkReasonInterfaceUnavailable);
        else
            Peer(p.mac, p.kind == Pending::Kind::Join);
    }
}

DWORD LinuxHostedNetwork::Stop(WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> serial(m_startStop);
    *reason = kWlanHostedNetworkReasonSuccess;
    EndRun();
    std::lock_guard<std::mutex> g(m_lock);
    if (m_state == kWlanHostedNetworkActive)
        MoveTo(kWlanHostedNetworkIdle, kWlanHostedNetworkReasonUserAction);
    return 0;
}

HostedNetworkStatusRecord LinuxHostedNetwork::Status() const {
    HostedNetworkStatusRecord status;
    std::shared_ptr<AccessPoint> ap;
    std::string name;
    Form form;
    {
        std::lock_guard<std::mutex> g(m_lock);
        status.state = m_state;
        if (m_state == kWlanHostedNetworkActive && m_apUp)
            ap = m_ap;
        name = m_interface;
        form = m_form;
    }
    if (name.empty()) {
        const RadioChoice choice = Choice();
        name = choice.name;
        form = choice.form == RadioChoice::Form::Radio ? Form::Radio : Form::Wired;
    }
    if (!name.empty())
        status.device = GuidText::FromName(name);
    if (ap) {
        const AccessPointInfo info = ap->Info();
        status.bssid = info.bssid;
        status.channelFrequency = info.frequencyKhz;
        status.phyType = form == Form::Radio ? kDot11PhyTypeHt : 0;
        for (const MacAddress& mac : ap->Stations()) {
            WLAN_HOSTED_NETWORK_PEER_STATE peer{};
            std::memcpy(peer.PeerMacAddress, mac.data(), 6);
            peer.PeerAuthState = kWlanHostedNetworkPeerStateAuthenticated;
            status.peers.push_back(peer);
        }
    }
    return status;
}

WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS LinuxHostedNetwork::ConnectionSettings() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_settings;
}

DWORD LinuxHostedNetwork::SetConnectionSettings(
    const WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS& settings, WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> g(m_lock);
    *reason = kWlanHostedNetworkReasonSuccess;
    m_settings = settings;
    return 0;
}

bool LinuxHostedNetwork::Enabled() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_enabled;
}

DWORD LinuxHostedNetwork::SetEnabled(bool enabled, WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> serial(m_startStop);
    *reason = kWlanHostedNetworkReasonSuccess;
    if (!enabled)
        EndRun();
    std::lock_guard<std::mutex> g(m_lock);
    // Disabled, the hosted network is unavailable; enabled again, it is idle.
    m_enabled = enabled;
    if (!enabled)
        MoveTo(kWlanHostedNetworkUnavailable, kWlanHostedNetworkReasonPropertiesChange);
    else if (m_state == kWlanHostedNetworkUnavailable)
        MoveTo(kWlanHostedNetworkIdle, kWlanHostedNetworkReasonPropertiesChange);
    return 0;
}

HostedNetworkKey LinuxHostedNetwork::SecondaryKey() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_key;
}

DWORD LinuxHostedNetwork::SetSecondaryKey(const HostedNetworkKey& key,
                                          WLAN_HOSTED_NETWORK_REASON* reason) {
    std::lock_guard<std::mutex> g(m_lock);
    *reason = kWlanHostedNetworkReasonSuccess;
    if (key.bytes.empty()) {
        m_key.bytes.clear();  // removing the key keeps its kind
        return 0;
    }
    m_key = key;
    return 0;
}

std::wstring LinuxHostedNetwork::StationProfile() const {
    return {};
}

DWORD LinuxHostedNetwork::RefreshSecuritySettings(WLAN_HOSTED_NETWORK_REASON* reason) {
    *reason = kWlanHostedNetworkReasonSuccess;
    return 0;
}

}  // namespace plat
