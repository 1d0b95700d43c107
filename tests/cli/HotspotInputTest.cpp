// What lumari-hotspot reads from outside: its command line, checked whole
// before anything changes, and the command lines on its standard input, each
// obeyed or refused with a reason; and the JSON lines it writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HotspotCommand.h"
#include "HotspotOptions.h"
#include "JsonLine.h"
#include "support/TempDir.h"

namespace {

bool Parses(const std::vector<std::string>& args, HotspotOptions* o = nullptr) {
    HotspotOptions dummy;
    std::string error;
    const bool ok = HotspotOptions::Parse(args, o != nullptr ? o : &dummy, &error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
}

TEST(HotspotOptions, ReadsEveryOptionInBothForms) {
    HotspotOptions o;
    ASSERT_TRUE(Parses({"--ap-interface", "wlan0", "--ssid=Café Lumari", "--key", "secret 123",
                        "--address=10.42.0.1", "--dns-relay", "--state-dir", "/tmp/x/../state/"},
                       &o));
    EXPECT_EQ(o.mode, HotspotOptions::Mode::Run);
    EXPECT_EQ(o.apInterface, "wlan0");
    EXPECT_EQ(o.ssid, "Café Lumari");
    EXPECT_EQ(o.key, "secret 123");
    EXPECT_EQ(o.address, "10.42.0.1");
    EXPECT_EQ(o.dnsRelay, true);
    EXPECT_EQ(o.stateDir, "/tmp/state");

    ASSERT_TRUE(Parses({"--no-dns-relay"}, &o));
    EXPECT_EQ(o.dnsRelay, false);
    EXPECT_FALSE(o.ssid.has_value());  // not given: the stored value stays
    EXPECT_FALSE(o.stateDir.empty());

    ASSERT_TRUE(Parses({"--doctor", "--ap-interface", "eth1"}, &o));
    EXPECT_EQ(o.mode, HotspotOptions::Mode::Doctor);
    ASSERT_TRUE(Parses({"--qr", "--ssid", "x"}, &o));
    EXPECT_EQ(o.mode, HotspotOptions::Mode::Qr);
    ASSERT_TRUE(Parses({"--ssid", "x", "--help"}, &o));
    EXPECT_EQ(o.mode, HotspotOptions::Mode::Help);
    EXPECT_NE(HotspotOptions::Usage().find("--state-dir DIR"), std::string::npos);
}

TEST(HotspotOptions, MacListFilesAreReadWholeAndRefusedAtTheFirstBadLine) {
    TempDir dir;
    dir.Write("allow", "# phones\n02:1a:2b:3c:4d:5e\r\n\n  02-1A-2B-3C-4D-5F  # tablet\n#\n");
    dir.Write("deny", "0a:0b:0c:0d:0e:0f");  // no newline at the end
    HotspotOptions o;
    ASSERT_TRUE(Parses({"--allow-file", dir.File("allow"), "--deny-file=" + dir.File("deny"),
                        "--allow-file", dir.File("deny")},
                       &o));
    EXPECT_EQ(o.allow, (std::vector<std::wstring>{L"02-1A-2B-3C-4D-5E", L"02-1A-2B-3C-4D-5F",
                                                  L"0A-0B-0C-0D-0E-0F"}));
    EXPECT_EQ(o.deny, std::vector<std::wstring>{L"0A-0B-0C-0D-0E-0F"});

    dir.Write("bad", "02:1a:2b:3c:4d:5e\n02:1a:2b:3c:4d:5e extra\n");
    std::string error;
    EXPECT_FALSE(HotspotOptions::Parse({"--deny-file", dir.File("bad")}, &o, &error));
    EXPECT_NE(error.find("line 2 is not a MAC address"), std::string::npos) << error;
    EXPECT_FALSE(HotspotOptions::Parse({"--deny-file", dir.File("missing")}, &o, &error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
    EXPECT_FALSE(HotspotOptions::Parse({"--deny-file", dir.Path()}, &o, &error));
}

TEST(HotspotOptions, RefusesWrongValuesWithTheOptionNamed) {
    auto refused = [](const std::vector<std::string>& args, const std::string& mention) {
        HotspotOptions o;
        std::string error;
        EXPECT_FALSE(HotspotOptions::Parse(args, &o, &error)) << args[0];
        EXPECT_NE(error.find(mention), std::string::npos) << error;
    };
    refused({"--ssid"}, "--ssid needs a value");
    refused({"--ssid", ""}, "--ssid");
    refused({"--ssid", std::string(33, 'a')}, "1 to 32 bytes");
    refused({"--ssid", "bad\xC3"}, "UTF-8");
    refused({"--ssid", "line\nbreak"}, "control");
    refused({"--key", "short"}, "8 to 63");
    refused({"--key", std::string(64, 'k')}, "8 to 63");
    refused({"--key", "p\xC3\xA4sswort1"}, "printable ASCII");
    refused({"--address", "192.168.1"}, "--address");
    refused({"--address", "192.168.1.0"}, "network or broadcast");
    refused({"--address", "127.0.0.5"}, "loopback");
    refused({"--address", "224.0.0.1"}, "--address");
    refused({"--ap-interface", "wl an0"}, "not an interface name");
    refused({"--ap-interface", "a\"b"}, "not an interface name");
    refused({"--dns-relay=yes"}, "takes no value");
    refused({"--doctor", "--ssid", "x"}, "--doctor takes only");
    refused({"--qr", "--ap-interface", "wlan0"}, "--qr takes only");
    refused({"--qr", "--doctor"}, "do not go together");
    refused({"--frobnicate"}, "unknown option");
    refused({"wlan0"}, "unknown option");
}

HotspotCommand Command(const std::string& line) {
    HotspotCommand c;
    std::string error;
    EXPECT_TRUE(HotspotCommand::Parse(line, &c, &error)) << line << ": " << error;
    return c;
}

std::string Refusal(const std::string& line) {
    HotspotCommand c;
    std::string error;
    EXPECT_FALSE(HotspotCommand::Parse(line, &c, &error)) << line;
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(HotspotCommand, ReadsEachCommandWithItsArguments) {
    HotspotCommand c = Command("limit 02:1a:2b:3c:4d:5e 1024 256");
    EXPECT_EQ(c.kind, HotspotCommand::Kind::Limit);
    EXPECT_EQ(c.mac, L"02-1A-2B-3C-4D-5E");
    EXPECT_EQ(c.down, 1024);
    EXPECT_EQ(c.up, 256);
    c = Command("  LIMIT\t02-1A-2B-3C-4D-5E 0 0\r");
    EXPECT_EQ(c.down, 0);
    EXPECT_EQ(Command("ban 02-1a-2b-3c-4d-5e").kind, HotspotCommand::Kind::Ban);
    EXPECT_EQ(Command("unban 02-1A-2B-3C-4D-5E").kind, HotspotCommand::Kind::Unban);
    EXPECT_EQ(Command("block 02-1A-2B-3C-4D-5E ").kind, HotspotCommand::Kind::Block);
    c = Command("nick 02-1A-2B-3C-4D-5E  Anna's phone ☎ ");
    EXPECT_EQ(c.kind, HotspotCommand::Kind::Nick);
    EXPECT_EQ(c.text, L"Anna's phone ☎");
    EXPECT_EQ(Command("nick 02-1A-2B-3C-4D-5E").text, L"");
    EXPECT_EQ(Command("deny 02:1a:2b:3c:4d:5e").kind, HotspotCommand::Kind::Deny);
    EXPECT_EQ(Command("UNDENY 02:1a:2b:3c:4d:5e").kind, HotspotCommand::Kind::Undeny);
    EXPECT_EQ(Command("allow 02:1a:2b:3c:4d:5e").kind, HotspotCommand::Kind::Allow);
    EXPECT_EQ(Command("unallow 02:1a:2b:3c:4d:5e").kind, HotspotCommand::Kind::Unallow);
    EXPECT_EQ(Command("clients").kind, HotspotCommand::Kind::Clients);
    EXPECT_EQ(Command("stop").kind, HotspotCommand::Kind::Stop);
}

TEST(HotspotCommand, RefusesMalformedLongAndBinaryLines) {
    EXPECT_NE(Refusal("").find("empty"), std::string::npos);
    EXPECT_NE(Refusal("reboot now").find("unknown command"), std::string::npos);
    EXPECT_NE(Refusal("ban").find("missing"), std::string::npos);
    EXPECT_NE(Refusal("ban 02-1A-2B-3C-4D").find("not a MAC"), std::string::npos);
    Refusal("ban 02-1A:2B-3C-4D-5E");    // mixed separators
    Refusal("ban 02-1A-2B-3C-4D-5G");    // not hexadecimal
    Refusal("ban 2-1A-2B-3C-4D-5E0");    // one digit
    Refusal("ban 02-1A-2B-3C-4D-5E x");  // too many words
    Refusal("limit 02-1A-2B-3C-4D-5E 1024");
    Refusal("limit 02-1A-2B-3C-4D-5E -1 0");
    Refusal("limit 02-1A-2B-3C-4D-5E 1e3 0");
    Refusal("limit 02-1A-2B-3C-4D-5E 99999999999 0");
    Refusal("limit 02-1A-2B-3C-4D-5E 10000001 0");
    Refusal("stop now");
    Refusal("nick 02-1A-2B-3C-4D-5E " + std::string(65, 'n'));
    EXPECT_NE(Refusal(std::string("ban\x00 02-1A-2B-3C-4D-5E", 21)).find("control"),
              std::string::npos);
    EXPECT_NE(Refusal(std::string("stop\0", 5)).find("control"), std::string::npos);
    EXPECT_NE(Refusal("nick 02-1A-2B-3C-4D-5E \xFF\xFE").find("UTF-8"), std::string::npos);
    EXPECT_NE(Refusal(std::string(HotspotCommand::kMaxLine + 1, 'a')).find("too long"),
              std::string::npos);
}

TEST(JsonLine, EventsAndClientsWithEveryFieldEscaped) {
    EXPECT_EQ(JsonLine::Event("NetworkStarted").Number("code", 0).Str(),
              "{\"event\":\"NetworkStarted\",\"code\":0}");
    EXPECT_EQ(JsonLine::Quote(std::string("a\"b\\c\n\x01\xC3\xA9")), "\"a\\\"b\\\\c\\n\\u0001é\"");
    EXPECT_EQ(JsonLine::Quote(std::string("bad\xFF")), "\"bad\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonLine::Quote(std::wstring(1, static_cast<wchar_t>(0xD800))), "\"\xEF\xBF\xBD\"");

    ClientInfo c;
    c.uid = 7;
    c.name = L"anna-\"phone\"";
    c.mac = L"02-1A-2B-3C-4D-5E";
    c.ip = L"192.168.23.2";
    c.manufactory = L"Maker";
    c.periodDown = 5000000000ull;
    c.upCount = 12;
    c.blocked = 1;
    const std::string json = JsonLine::Client(c);
    EXPECT_EQ(json.find("{\"uid\":7,\"name\":\"anna-\\\"phone\\\"\",\"nickName\":\"\""), 0u)
        << json;
    for (const char* field :
         {"\"mac\":\"02-1A-2B-3C-4D-5E\"", "\"ip\":\"192.168.23.2\"", "\"manufactory\":\"Maker\"",
          "\"type\":\"\"", "\"joinCount\":0", "\"totalOnlineTime\":0", "\"speedLimitedUp\":0",
          "\"speedLimitedDown\":0", "\"periodDown\":5000000000", "\"isBan\":0", "\"lastSeen\":0",
          "\"upCount\":12", "\"downCount\":0", "\"blocked\":1}"})
        EXPECT_NE(json.find(field), std::string::npos) << field << " in " << json;
    EXPECT_EQ(JsonLine::Clients({}), "[]");
    EXPECT_EQ(JsonLine::Clients({c, c}), "[" + json + "," + json + "]");
}

}  // namespace
