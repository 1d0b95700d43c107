// nl80211 from real message bytes (the fixture radios of RadioFixture.h)
// answered by a stand-in for the kernel that checks every request. From the
// parsed radios follow the channel, the security and hostapd's file.
#include <linux/genetlink.h>
#include <linux/nl80211.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/AccessPoint.h"
#include "platform/linux/HostapdConfig.h"
#include "platform/linux/LinuxHostedNetwork.h"
#include "platform/linux/Netlink.h"
#include "platform/linux/Nl80211.h"
#include "platform/linux/RadioChannels.h"
#include "support/RadioFixture.h"

namespace {

using plat::RadioBand;
using plat::WirelessInterface;
using radiofixture::FakeGenl;
using radiofixture::Radios;

TEST(RadioNl80211, BandsChannelsFlagsAndSaeAreReadFromASplitDump) {
    FakeGenl genl(true);
    auto radios = Radios(genl);
    ASSERT_EQ(radios.size(), 2u);
    const WirelessInterface& w0 = radios["wlan0"];
    EXPECT_EQ(w0.phyName, "phy0");
    EXPECT_TRUE(w0.apMode);
    EXPECT_TRUE(w0.sae);
    ASSERT_EQ(w0.bands.count(RadioBand::k2GHz), 1u);
    const RadioBand& low = w0.bands.at(RadioBand::k2GHz);
    ASSERT_EQ(low.channels.size(), 14u);  // both messages
    EXPECT_TRUE(low.ht);
    EXPECT_EQ(low.channels[11].number, 12);
    EXPECT_TRUE(low.channels[11].noIr);
    EXPECT_TRUE(low.channels[13].disabled);
    EXPECT_EQ(plat::RadioChannels::Allowed(w0.bands, RadioBand::k2GHz),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));

    std::uint32_t channels = 0;
    EXPECT_TRUE(plat::Nl80211::ApBesideStation(w0.combinations, &channels));
    EXPECT_EQ(channels, 1u);
    ASSERT_EQ(w0.combinations.size(), 1u);
    EXPECT_EQ(w0.combinations[0].limits.size(), 2u);
    // One limit for both types needs room for two; a lone station limit is not enough.
    plat::InterfaceCombination shared;
    shared.maxInterfaces = 2;
    shared.channels = 2;
    shared.limits = {{1, (1u << NL80211_IFTYPE_STATION) | (1u << NL80211_IFTYPE_AP)}};
    EXPECT_FALSE(plat::Nl80211::ApBesideStation({shared}, &channels));
    shared.limits[0].max = 2;
    EXPECT_TRUE(plat::Nl80211::ApBesideStation({shared}, &channels));
    EXPECT_EQ(channels, 2u);

    const WirelessInterface& w1 = radios["wlan1"];
    EXPECT_FALSE(plat::Nl80211::ApBesideStation(w1.combinations, &channels));
    EXPECT_FALSE(w1.sae);  // no SAE feature, no BIP
    const RadioBand& high = w1.bands.at(RadioBand::k5GHz);
    EXPECT_TRUE(high.vht);
    EXPECT_EQ(high.channels[2].number, 52);
    EXPECT_TRUE(high.channels[2].radar);
    EXPECT_TRUE(plat::RadioChannels::Allowed(w1.bands, RadioBand::k5GHz).empty());
    EXPECT_EQ(genl.seen, (std::vector<int>{NL80211_CMD_GET_WIPHY, NL80211_CMD_GET_INTERFACE}));

    std::string domain;
    EXPECT_EQ(plat::Nl80211::RegulatoryDomain(genl, &domain), 0);
    EXPECT_EQ(domain, "00");
    EXPECT_EQ(plat::Nl80211::SetRegulatoryDomain(genl, "DE"), 0);
    EXPECT_EQ(genl.askedFor, std::string("DE\0", 3));
    genl.askedFor.clear();
    EXPECT_EQ(plat::Nl80211::SetRegulatoryDomain(genl, "de"), EINVAL);
    EXPECT_EQ(plat::Nl80211::SetRegulatoryDomain(genl, "D\nE"), EINVAL);
    EXPECT_TRUE(genl.askedFor.empty());  // nothing sent
}

// Channel choices on the fixtures' radios: never a no-IR, radar or disabled
// channel, the world domain named when it closes 5 GHz.
TEST(RadioChannels, NoIrRadarAndDisabledChannelsAreNeverChosen) {
    FakeGenl worldGenl(true);
    auto world = Radios(worldGenl);
    FakeGenl germanyGenl(false);
    auto germany = Radios(germanyGenl);
    auto choose = [](const WirelessInterface& w, const std::string& band, int channel,
                     const std::string& domain, int station = 0) {
        plat::ChannelRequest r;
        r.band = band;
        r.channel = channel;
        r.regulatoryDomain = domain;
        r.stationChannel = station;
        return plat::RadioChannels::Choose(w.bands, r);
    };
    EXPECT_EQ(choose(world["wlan0"], "auto", 0, "00").channel, 6);
    EXPECT_EQ(choose(world["wlan0"], "auto", 0, "00", 11).channel, 11);  // the station's
    EXPECT_EQ(choose(world["wlan0"], "auto", 0, "00", 12).channel, 6);   // no-IR: not that one
    EXPECT_EQ(choose(world["wlan0"], "2.4", 3, "00").channel, 3);
    const auto twelve = choose(world["wlan0"], "auto", 12, "00");
    EXPECT_FALSE(twelve.ok);
    EXPECT_NE(twelve.why.find("no-IR"), std::string::npos) << twelve.why;
    EXPECT_NE(choose(world["wlan0"], "auto", 14, "00").why.find("disabled"), std::string::npos);
    EXPECT_FALSE(choose(world["wlan0"], "5", 0, "00").ok);  // no 5 GHz band at all
    EXPECT_EQ(choose(world["wlan0"], "5", 0, "00").why, "this radio has no 5 GHz band");

    const auto closed = choose(world["wlan1"], "auto", 0, "00");
    EXPECT_FALSE(closed.ok);
    EXPECT_EQ(choose(world["wlan1"], "5", 0, "00").why,
              "5 GHz is unavailable until a country is set (the regulatory domain is the world "
              "domain 00): give --country with your country's two letters");
    const auto radar = choose(germany["wlan1"], "5", 52, "DE");
    EXPECT_FALSE(radar.ok);
    EXPECT_NE(radar.why.find("radar"), std::string::npos) << radar.why;
    const auto open = choose(germany["wlan1"], "5", 0, "DE");
    ASSERT_TRUE(open.ok) << open.why;
    EXPECT_EQ(open.channel, 36);
    EXPECT_TRUE(open.fiveGhz);
    EXPECT_TRUE(open.vht);
    EXPECT_EQ(choose(germany["wlan1"], "auto", 0, "DE", 52).channel, 36);  // radar station channel
    EXPECT_EQ(choose(germany["wlan1"], "2.4", 6, "DE").why,
              "channel 6 is not a channel of this radio on 2.4 GHz");
}

// From each fixture to hostapd's file: channel, mode, country and security.
TEST(RadioFixtures, HostapdConfigurationFollowsWhatTheRadioReports) {
    FakeGenl germanyGenl(false);
    auto germany = Radios(germanyGenl);
    auto file = [](const WirelessInterface& w, const std::string& domain,
                   const plat::LinuxHostedNetworkOptions& options, std::string* why) {
        plat::AccessPointSettings s;
        s.passphrase = "secret 123#";
        if (!plat::LinuxHostedNetwork::Plan(w.name, w, domain, options, &s, why))
            return std::string();
        plat::HostapdSettings h;
        h.interface = w.name;
        h.controlDir = "/run/h";
        h.ssid = {'L'};
        h.passphrase = s.passphrase;
        h.channel = s.channel;
        h.countryCode = s.countryCode;
        h.ht = s.ht;
        h.vht = s.vht;
        EXPECT_TRUE(plat::HostapdConfig::ParseSecurity(s.security, &h.security));
        std::string text;
        EXPECT_TRUE(plat::HostapdConfig::Write(h, &text, why)) << *why;
        // The part the radio decides.
        const std::size_t from = text.find("ssid2=4c\n") + 9;
        const std::size_t to = text.find("max_num_sta=");
        std::string out = text.substr(from, to - from);
        out += text.substr(text.find("wpa_key_mgmt="));
        return out;
    };
    plat::LinuxHostedNetworkOptions options;
    std::string why;
    EXPECT_EQ(file(germany["wlan0"], "DE", options, &why),
              "country_code=DE\nieee80211d=1\nhw_mode=g\nchannel=6\nieee80211n=1\n"
              "wmm_enabled=1\n"
              "wpa_key_mgmt=WPA-PSK SAE\nieee80211w=1\nsae_require_mfp=1\nrsn_pairwise=CCMP\n"
              "wpa_passphrase=secret 123#\n");
    options.band = "5";
    EXPECT_EQ(file(germany["wlan1"], "DE", options, &why),
              "country_code=DE\nieee80211d=1\nhw_mode=a\nchannel=36\nieee80211n=1\n"
              "ieee80211ac=1\nwmm_enabled=1\n"
              "wpa_key_mgmt=WPA-PSK\nrsn_pairwise=CCMP\nwpa_passphrase=secret 123#\n");
    options.security = "wpa3";
    EXPECT_EQ(file(germany["wlan1"], "DE", options, &why), "");
    EXPECT_EQ(why,
              "the driver of wlan1 does not offer WPA3 (SAE with protected management frames); "
              "use --security wpa2");
    options.band = "auto";
    EXPECT_NE(file(germany["wlan0"], "DE", options, &why).find("wpa_key_mgmt=SAE\nieee80211w=2\n"),
              std::string::npos);
    // In the world domain no country line is written (hostapd would ask for "00").
    FakeGenl worldGenl(true);
    auto world = Radios(worldGenl);
    options.security.clear();
    EXPECT_EQ(file(world["wlan0"], "00", options, &why).find("country_code"), std::string::npos);
    options.band = "5";
    EXPECT_EQ(file(world["wlan1"], "00", options, &why), "");
    EXPECT_NE(why.find("world domain 00"), std::string::npos) << why;
}

}  // namespace
