#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TempDir.h"
#include "platform/vendor/Osmira.h"

namespace {
int Get(const std::string& file, const char* key, std::string* value, plat::DWORD size = 256) {
    std::string buf(size, '\0');
    plat::DWORD n = size;
    const int rc = plat::GetCipherStrVal(file.c_str(), key, "Zentavo", buf.data(), &n);
    if (rc == 0)
        *value = buf.c_str();
    return rc;
}
}  // namespace

TEST(Osmira, GivesBackExactlyWhatWasWrittenAndKeepsItEnciphered) {
    TempDir dir;
    const std::string file = dir.File("Lumari.cfg");
    const std::string chinese = "\xE7\x83\xAD\xE7\x82\xB9 caf\xC3\xA9 = [x] # ;";
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "WIFI/ip", "Zentavo", "10.1.2.1"), 0);
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "WIFI/dns", "Zentavo", chinese.c_str()), 0);
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "WIFI/ip", "Other", "1.1.1.1"), 0);
    std::string v;
    ASSERT_EQ(Get(file, "WIFI/ip", &v), 0);
    EXPECT_EQ(v, "10.1.2.1");
    ASSERT_EQ(Get(file, "WIFI/dns", &v), 0);
    EXPECT_EQ(v, chinese);
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "WIFI/ip", "Zentavo", ""), 0);
    ASSERT_EQ(Get(file, "WIFI/ip", &v), 0);
    EXPECT_EQ(v, "");
    const std::string raw = dir.Read("Lumari.cfg");
    EXPECT_EQ(raw.find("10.1.2.1"), std::string::npos);
    EXPECT_EQ(raw.find("caf"), std::string::npos);
}

TEST(Osmira, MissingFileKeyOrSmallBufferAreReportedAndLeaveTheBuffer) {
    TempDir dir;
    const std::string file = dir.File("Lumari.cfg");
    std::string v = "unchanged";
    EXPECT_EQ(Get(file, "WIFI/ip", &v), 2);
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "WIFI/ip", "Zentavo", "192.168.137.1"), 0);
    EXPECT_EQ(Get(file, "outAddress", &v), 1168);
    char small[5] = "abcd";
    plat::DWORD size = sizeof small;
    EXPECT_EQ(plat::GetCipherStrVal(file.c_str(), "WIFI/ip", "Zentavo", small, &size), 122);
    EXPECT_EQ(size, 14u);
    EXPECT_STREQ(small, "abcd");
    EXPECT_EQ(plat::GetCipherStrVal(file.c_str(), "WIFI/ip", "Zentavo", small, nullptr), 87);
    EXPECT_EQ(plat::SetCipherStrVal(file.c_str(), "bad=key", "Zentavo", "x"), 87);
    EXPECT_EQ(plat::SetCipherStrVal(file.c_str(), "key", "bad]section", "x"), 87);
    EXPECT_EQ(v, "unchanged");
}

TEST(Osmira, DamagedFilesAreRefusedNeverTrusted) {
    TempDir dir;
    const std::string file = dir.File("Lumari.cfg");
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "WIFI/ip", "Zentavo", "10.0.0.1"), 0);
    const std::string good = dir.Read("Lumari.cfg");
    std::string v;

    // A flipped digit of the enciphered value fails its check.
    std::string tampered = good;
    const auto eq = tampered.find('=');
    tampered[eq + 1] = tampered[eq + 1] == '0' ? '1' : '0';
    dir.Write("Lumari.cfg", tampered);
    EXPECT_EQ(Get(file, "WIFI/ip", &v), 13);

    // Truncated in the middle of the value, empty, garbage, or a binary blob.
    dir.Write("Lumari.cfg", good.substr(0, good.size() - 5));
    EXPECT_NE(Get(file, "WIFI/ip", &v), 0);
    dir.Write("Lumari.cfg", "");
    EXPECT_EQ(Get(file, "WIFI/ip", &v), 1168);
    dir.Write("Lumari.cfg", std::string("\0\xff[Zentavo\n=\n[Zentavo]\nWIFI/ip\n==\n", 34));
    EXPECT_EQ(Get(file, "WIFI/ip", &v), 1168);
    dir.Write("Lumari.cfg", std::string(plat::Osmira::kMaxFileBytes + 10, 'A'));
    EXPECT_EQ(Get(file, "WIFI/ip", &v), 13);

    // Writing over a damaged file leaves a good one holding the new value.
    ASSERT_EQ(plat::SetCipherStrVal(file.c_str(), "WIFI/dns", "Zentavo", "8.8.8.8"), 0);
    ASSERT_EQ(Get(file, "WIFI/dns", &v), 0);
    EXPECT_EQ(v, "8.8.8.8");
}

TEST(Osmira, ValuesAreBoundToTheirSectionAndKey) {
    // A value copied under another key does not decipher there.
    const std::string c = plat::Osmira::Encipher("Zentavo", "WIFI/ip", "10.0.0.1");
    std::string plain;
    EXPECT_TRUE(plat::Osmira::Decipher("Zentavo", "WIFI/ip", c, &plain));
    EXPECT_FALSE(plat::Osmira::Decipher("Zentavo", "WIFI/dns", c, &plain));
    EXPECT_FALSE(plat::Osmira::Decipher("Other", "WIFI/ip", c, &plain));
}
