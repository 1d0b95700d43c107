// hostapd's configuration as the hosted network's settings make it: the exact
// file, values that could break out of their line refused, and hostapd's own
// parser accepting what is written (it runs here without a radio: with no
// nl80211 it stops at the driver, after the whole file was read and checked).
#include "platform/linux/HostapdConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "platform/linux/LinuxProcessLauncher.h"
#include "support/TempDir.h"

namespace {

using plat::HostapdConfig;
using plat::HostapdSettings;

HostapdSettings Radio() {
    HostapdSettings s;
    s.interface = "wlan0";
    s.controlDir = "/run/lumari-hotspot/hostapd";
    const std::string ssid = "Caf\xC3\xA9 Lumari";
    s.ssid.assign(ssid.begin(), ssid.end());
    s.passphrase = "secret 123#";
    s.maxStations = 31;
    return s;
}

std::string Written(const HostapdSettings& s) {
    std::string text;
    std::string error;
    EXPECT_TRUE(HostapdConfig::Write(s, &text, &error)) << error;
    return text;
}

TEST(HostapdConfig, RadioWithPassPhraseIsWrittenExactly) {
    HostapdSettings s = Radio();
    s.countryCode = "DE";
    EXPECT_EQ(Written(s),
              "# hostapd configuration of the hotspot; rewritten at every start\n"
              "interface=wlan0\n"
              "ctrl_interface=/run/lumari-hotspot/hostapd\n"
              "ctrl_interface_group=0\n"
              "driver=nl80211\n"
              "ssid2=436166c3a9204c756d617269\n"
              "country_code=DE\n"
              "ieee80211d=1\n"
              "hw_mode=g\n"
              "channel=6\n"
              "ieee80211n=1\n"
              "wmm_enabled=1\n"
              "max_num_sta=31\n"
              "auth_algs=1\n"
              "ignore_broadcast_ssid=0\n"
              "wpa=2\n"
              "wpa_key_mgmt=WPA-PSK\n"
              "rsn_pairwise=CCMP\n"
              "wpa_passphrase=secret 123#\n");
}

TEST(HostapdConfig, RawKeyFiveGigahertzAndWiredForms) {
    HostapdSettings s = Radio();
    s.passphrase.clear();
    s.psk.assign(32, 0xAB);
    s.channel = 36;
    const std::string radio = Written(s);
    EXPECT_NE(radio.find("hw_mode=a\nchannel=36\n"), std::string::npos);
    std::string hex;
    for (int i = 0; i < 32; ++i)
        hex += "ab";
    EXPECT_NE(radio.find("\nwpa_psk=" + hex + "\n"), std::string::npos) << radio;
    EXPECT_EQ(radio.find("country_code"), std::string::npos);

    HostapdSettings w;
    w.interface = "eth1";
    w.driver = HostapdSettings::Driver::Wired;
    w.controlDir = "/run/x";
    w.eapUserFile = "/etc/lumari/eap_user";
    EXPECT_EQ(Written(w),
              "# hostapd configuration of the hotspot; rewritten at every start\n"
              "interface=eth1\n"
              "ctrl_interface=/run/x\n"
              "ctrl_interface_group=0\n"
              "driver=wired\n"
              "ieee8021x=1\n"
              "eapol_version=2\n"
              "use_pae_group_addr=1\n"
              "eap_server=1\n"
              "eap_user_file=/etc/lumari/eap_user\n");
}

TEST(HostapdConfig, RefusesValuesThatDoNotFitTheirLine) {
    auto refused = [](HostapdSettings s) {
        std::string text = "untouched";
        std::string error;
        const bool ok = HostapdConfig::Write(s, &text, &error);
        return !ok && !error.empty() && text == "untouched";
    };
    HostapdSettings s = Radio();
    s.passphrase = "secret12\nwpa=0";
    EXPECT_TRUE(refused(s));
    s.passphrase = "short12";
    EXPECT_TRUE(refused(s));
    s.passphrase = std::string(64, 'x');
    EXPECT_TRUE(refused(s));
    s.passphrase = "pass\xC3\xA9word";
    EXPECT_TRUE(refused(s));
    s = Radio();
    s.psk.assign(31, 1);
    s.passphrase.clear();
    EXPECT_TRUE(refused(s));
    s = Radio();
    s.ssid.assign(33, 'a');
    EXPECT_TRUE(refused(s));
    s.ssid.clear();
    EXPECT_TRUE(refused(s));
    s = Radio();
    s.interface = "wlan0\ndriver=wired";
    EXPECT_TRUE(refused(s));
    s.interface = "a-name-too-long0";
    EXPECT_TRUE(refused(s));
    s.interface = "wl\"an0";
    EXPECT_TRUE(refused(s));
    s = Radio();
    s.channel = 15;
    EXPECT_TRUE(refused(s));
    s.channel = 6;
    s.countryCode = "de";
    EXPECT_TRUE(refused(s));
    s.countryCode = "";
    s.maxStations = 0;
    EXPECT_TRUE(refused(s));
    s = Radio();
    s.controlDir = "relative/dir";
    EXPECT_TRUE(refused(s));

    // An SSID is bytes: a newline or a NUL in it is written in hexadecimal.
    s = Radio();
    s.ssid = {'a', '\n', 0, 'b'};
    EXPECT_NE(Written(s).find("ssid2=610a0062\n"), std::string::npos);
}

// hostapd reads the file; the answer tells whether its parser found errors.
std::string HostapdReads(const TempDir& dir, const std::string& text) {
    dir.Write("hostapd.conf", text);
    plat::LinuxProcessLauncher launcher;
    const plat::ProcessResult r = launcher.Run("timeout 10 hostapd " + dir.File("hostapd.conf"));
    return r.output;
}

TEST(HostapdConfig, HostapdItselfAcceptsTheRadioConfiguration) {
    if (std::system("command -v hostapd >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs hostapd";
    TempDir dir;
    HostapdSettings s = Radio();
    s.interface = "lumtest0";  // no such interface: hostapd ends after reading the file
    s.controlDir = dir.File("ctrl");
    s.countryCode = "DE";
    const std::string accepted = HostapdReads(dir, Written(s));
    EXPECT_EQ(accepted.find("errors found in configuration file"), std::string::npos) << accepted;
    EXPECT_EQ(accepted.find("Line "), std::string::npos) << accepted;
    EXPECT_NE(accepted.find("nl80211"), std::string::npos) << accepted;

    s.passphrase.clear();
    s.psk.assign(32, 0x5A);
    s.channel = 40;
    const std::string raw = HostapdReads(dir, Written(s));
    EXPECT_EQ(raw.find("errors found in configuration file"), std::string::npos) << raw;

    // The check tells a bad file from a good one.
    std::string bad = Written(Radio());
    bad.replace(bad.find("wpa_passphrase=secret 123#"), 26, "wpa_passphrase=short");
    const std::string refused = HostapdReads(dir, bad);
    EXPECT_NE(refused.find("errors found in configuration file"), std::string::npos) << refused;
}

}  // namespace

namespace {

// The three kinds of security, each as the file ends after the station limit;
// hostapd's own parser accepts each.
TEST(RadioSecurity, ThreeModesAreWrittenExactlyAndHostapdReadsThem) {
    const std::string head =
        "# hostapd configuration of the hotspot; rewritten at every start\n"
        "interface=lumtest0\n"
        "ctrl_interface=/run/lumari-hotspot/hostapd\n"
        "ctrl_interface_group=0\n"
        "driver=nl80211\n"
        "ssid2=436166c3a9204c756d617269\n"
        "hw_mode=a\n"
        "channel=36\n"
        "ieee80211n=1\n"
        "ieee80211ac=1\n"
        "wmm_enabled=1\n"
        "max_num_sta=31\n"
        "auth_algs=1\n"
        "ignore_broadcast_ssid=0\n"
        "wpa=2\n";
    HostapdSettings s = Radio();
    s.interface = "lumtest0";
    s.channel = 36;
    s.vht = true;
    s.passphrase = "a|b secret";  // '|' separates sae_password's parameters
    const std::map<HostapdSettings::Security, std::string> tails = {
        {HostapdSettings::Security::Wpa2, "wpa_key_mgmt=WPA-PSK\n"},
        {HostapdSettings::Security::Wpa3, "wpa_key_mgmt=SAE\nieee80211w=2\nsae_require_mfp=1\n"},
        {HostapdSettings::Security::Wpa2Wpa3,
         "wpa_key_mgmt=WPA-PSK SAE\nieee80211w=1\nsae_require_mfp=1\n"},
    };
    const bool haveHostapd = std::system("command -v hostapd >/dev/null 2>&1") == 0;
    TempDir dir;
    for (const auto& [security, tail] : tails) {
        s.security = security;
        const std::string text = Written(s);
        EXPECT_EQ(text, head + tail + "rsn_pairwise=CCMP\nwpa_passphrase=a|b secret\n");
        HostapdSettings::Security back;
        ASSERT_TRUE(HostapdConfig::ParseSecurity(HostapdConfig::SecurityName(security), &back));
        EXPECT_EQ(back, security);
        if (haveHostapd) {
            std::string local = text;
            local.replace(local.find("/run/lumari-hotspot/hostapd"), 27, dir.File("ctrl"));
            const std::string read = HostapdReads(dir, local);
            EXPECT_EQ(read.find("errors found in configuration file"), std::string::npos) << read;
        }
    }
    HostapdSettings::Security unused;
    EXPECT_FALSE(HostapdConfig::ParseSecurity("wpa3-only", &unused));

    // SAE has no raw key; 802.11ac has no 2.4 GHz.
    std::string text;
    std::string error;
    s.passphrase.clear();
    s.psk.assign(32, 1);
    EXPECT_FALSE(HostapdConfig::Write(s, &text, &error));
    s.security = HostapdSettings::Security::Wpa2;
    EXPECT_TRUE(HostapdConfig::Write(s, &text, &error)) << error;
    s.channel = 6;
    EXPECT_FALSE(HostapdConfig::Write(s, &text, &error));
}

}  // namespace
