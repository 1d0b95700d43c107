// lumari-hotspot's radio options (security, band, channel, country): read,
// stored between runs, the join code's type; and the doctor's account of each
// fixture radio (RadioFixture.h).
#include <gtest/gtest.h>

#include "Common/WiFiJoinCode.h"
#include "Doctor.h"
#include "HotspotOptions.h"
#include "HotspotSettings.h"
#include "platform/linux/LinuxHostedNetwork.h"
#include "support/RadioFixture.h"
#include "support/TempDir.h"

namespace {

TEST(RadioOptions, AreCheckedStoredAndShapeTheJoinCode) {
    HotspotOptions o;
    std::string error;
    ASSERT_TRUE(HotspotOptions::Parse(
        {"--security", "wpa3", "--band", "5", "--channel=36", "--country", "DE"}, &o, &error))
        << error;
    EXPECT_EQ(*o.security, "wpa3");
    EXPECT_EQ(*o.channel, 36);
    ASSERT_TRUE(HotspotOptions::Parse({"--channel", "auto"}, &o, &error));
    EXPECT_EQ(*o.channel, 0);
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--security", "wep"},
                                                                 {"--band", "6"},
                                                                 {"--channel", "15"},
                                                                 {"--channel", "-1"},
                                                                 {"--country", "de"},
                                                                 {"--country", "00"},
                                                                 {"--doctor", "--band", "5"},
                                                                 {"--one-card=maybe", ""},
                                                                 {"--no-one-card=on", ""}})
        EXPECT_FALSE(HotspotOptions::Parse(bad, &o, &error)) << bad[0] << " " << bad[1];

    TempDir dir;
    HotspotSettings s;
    s.ssid = "Net";
    s.key = "secret123";
    // One card for both: on, off, or back to auto; the doctor takes it too.
    ASSERT_TRUE(HotspotOptions::Parse({"--doctor", "--no-one-card"}, &o, &error)) << error;
    EXPECT_EQ(*o.oneCard, "off");
    ASSERT_TRUE(HotspotOptions::Parse({"--one-card=auto"}, &o, &error)) << error;
    EXPECT_EQ(*o.oneCard, "auto");
    ASSERT_TRUE(HotspotOptions::Parse(
        {"--security", "wpa3", "--band", "5", "--channel", "36", "--country", "DE", "--one-card"},
        &o, &error));
    s.Apply(o);
    ASSERT_TRUE(s.Save(dir.File("cfg")));
    HotspotSettings back = HotspotSettings::Load(dir.File("cfg"));
    EXPECT_EQ(back.security, "wpa3");
    EXPECT_EQ(back.band, "5");
    EXPECT_EQ(back.channel, 36);
    EXPECT_EQ(back.country, "DE");
    EXPECT_EQ(back.oneCard, "on");
    // Only a WPA3-only network says SAE: WPA2 devices could not join it.
    EXPECT_EQ(back.JoinCodeText(),
              WiFiJoinCode::HalfBlocks(WiFiJoinCode::Encode("WIFI:T:SAE;S:Net;P:secret123;;")));
    back.security = "wpa2-wpa3";
    EXPECT_EQ(back.JoinCodeText(),
              WiFiJoinCode::HalfBlocks(WiFiJoinCode::Encode("WIFI:T:WPA;S:Net;P:secret123;;")));
    // The window's Linux backend reads the same stored values at its start.
    const plat::LinuxHostedNetworkOptions stored =
        plat::LinuxHostedNetwork::WithStoredRadio({}, dir.File("cfg"));
    EXPECT_EQ(stored.security, "wpa3");
    EXPECT_EQ(stored.band, "5");
    EXPECT_EQ(stored.channel, 36);
    EXPECT_EQ(stored.countryCode, "DE");
    EXPECT_EQ(stored.oneCard, "on");

    back.channel = 0;
    back.security.clear();
    ASSERT_TRUE(back.Save(dir.File("cfg")));
    EXPECT_EQ(HotspotSettings::Load(dir.File("cfg")).channel, 0);
    EXPECT_EQ(HotspotSettings::Load(dir.File("cfg")).security, "");
}

std::string Findings(const plat::WirelessInterface& radio) {
    return Doctor::Format(Doctor::RadioFindings(radio));
}

TEST(RadioDoctor, NamesEachFixtureRadiosChannelsAndSecurity) {
    radiofixture::FakeGenl world(true);
    auto w = radiofixture::Radios(world);
    EXPECT_EQ(Findings(w["wlan0"]),
              "[ ok ] wlan0 (phy0) 2.4 GHz (802.11n): access point channels 1 2 3 4 5 6 7 8 9 10 "
              "11 (not: 2 no-IR)\n"
              "[ ok ] wlan0 (phy0) can run an access point beside its station (on the "
              "station's channel): while this card carries the upstream over Wi-Fi and no "
              "other card can, the hotspot runs its access point beside the station (one card "
              "for both)\n"
              "[ ok ] wlan0 (phy0) offers WPA3 (SAE): the default security is wpa2-wpa3\n");
    EXPECT_EQ(Findings(w["wlan1"]),
              "[warn] wlan1 (phy1) 5 GHz (802.11n/ac): no channel an access point may use (3 "
              "no-IR, 2 radar)\n"
              "       fix: set the country with --country, or use --band 2.4\n"
              "[ ok ] wlan1 (phy1) cannot run an access point beside a station (no interface "
              "combination allows it): while this card carries the upstream, a second card or a "
              "wired upstream is needed\n"
              "[ ok ] wlan1 (phy1) does not offer WPA3 (SAE): the security is wpa2\n");
    // One card for both: the station's channel, or why it cannot be shared.
    plat::RadioFacts facts;
    facts.radios = {{w["wlan0"]}};
    facts.upstreams = {"wlan0"};
    plat::RadioChoice one = plat::RadioChooser::Choose("", facts);
    ASSERT_TRUE(one.oneCard) << one.why;
    EXPECT_EQ(Doctor::Format({Doctor::OneCardFinding(one, "00")}),
              "[ ok ] the access point will use channel 6, that of wlan0's connection, and "
              "follows the connection to another channel\n");
    one.radio.frequency = 2467;  // 12: no-IR in the world domain
    const DoctorFinding closed = Doctor::OneCardFinding(one, "00");
    EXPECT_EQ(closed.level, DoctorFinding::Level::Failure);
    EXPECT_EQ(closed.what.rfind("wlan0: the upstream connection uses channel 12, which may not "
                                "start a network (no-IR)",
                                0),
              0u)
        << closed.what;

    radiofixture::FakeGenl germany(false);
    auto g = radiofixture::Radios(germany);
    const std::string german = Findings(g["wlan1"]);
    EXPECT_EQ(german.substr(0, german.find('\n')),
              "[ ok ] wlan1 (phy1) 5 GHz (802.11n/ac): access point channels 36 40 149 (not: 2 "
              "radar)");
}

}  // namespace
