#include <gtest/gtest.h>

#include <filesystem>

#include "Common/LumariConfig.h"
#include "Common/StringConv.h"
#include "SimTest.h"
#include "platform/Platform.h"
#include "platform/text/PathText.h"
#include "platform/vendor/Osmira.h"

class LumariConfigTest : public SimTest {
protected:
    std::string Cfg() const { return Dir().File("Lumari.cfg"); }
    void Put(const char* key, const std::string& value) {
        ASSERT_EQ(plat::SetCipherStrVal(Cfg().c_str(), key, "Zentavo", value.c_str()), 0);
    }
};

TEST_F(LumariConfigTest, DefaultsHoldWithoutASettingsFile) {
    CLumariConfig* c = CLumariConfig::GetInstance();
    c->Load();
    EXPECT_EQ(c->GetIp(), "192.168.23.1");
    EXPECT_EQ(c->GetDns(), "114.114.114.114");
    EXPECT_EQ(c->GetOutAddress(), "8.8.8.8");
    EXPECT_EQ(c->GetCfgPath(), Dir().File("Lumari.cfg"));
    EXPECT_EQ(c->GetDbPath(), AnsiToWide(Dir().File("lumari.dat")));
    EXPECT_EQ(c->GetMacPath(), AnsiToWide(Dir().File("mac.dat")));
    EXPECT_EQ(CLumariConfig::GetInstance(), c);
}

TEST_F(LumariConfigTest, LoadsEveryKeyAndSavesIpAndDns) {
    Put("WIFI/ip", "192.168.50.1");
    Put("WIFI/dns", "114.114.114.114,8.8.8.8");
    Put("outAddress", "1.1.1.1");
    Put("WIFI/dbPath", "\\data\\clients.dat");
    CLumariConfig* c = CLumariConfig::GetInstance();
    c->Load();
    EXPECT_EQ(c->GetIp(), "192.168.50.1");
    EXPECT_EQ(c->GetDns(), "114.114.114.114,8.8.8.8");
    EXPECT_EQ(c->GetOutAddress(), "1.1.1.1");
    // The value is relative to the program's directory.
    EXPECT_EQ(c->GetDbPath(), AnsiToWide(Dir().Path() + "\\data\\clients.dat"));
    // ... and names that file where the database is opened.
    const std::string sep(1, plat::PathText::Separator());
    EXPECT_EQ(plat::PathText::Native(WideToAnsi(c->GetDbPath())),
              Dir().Path() + sep + "data" + sep + "clients.dat");

    c->SetIp("10.9.8.1");
    c->SetDns("\xE7\x83\xAD,8.8.4.4");
    EXPECT_TRUE(c->Save());
    plat::Platform::ResetAll();
    CLumariConfig* fresh = CLumariConfig::GetInstance();
    fresh->Load();
    EXPECT_EQ(fresh->GetIp(), "10.9.8.1");
    EXPECT_EQ(fresh->GetDns(), "\xE7\x83\xAD,8.8.4.4");
    EXPECT_EQ(fresh->GetOutAddress(), "1.1.1.1");  // never written by the engine, still there
}

// A write that stops half way (a crash, a full disk) leaves the last file
// whole: the old settings load, and the next save goes through.
TEST_F(LumariConfigTest, ASaveThatStopsHalfWayLeavesTheLastSettingsWhole) {
    Put("WIFI/ip", "192.168.50.1");
    Put("WIFI/dns", "8.8.8.8");
    Put("outAddress", "1.1.1.1");
    const std::string before = Dir().Read("Lumari.cfg");
    CLumariConfig* c = CLumariConfig::GetInstance();
    c->Load();
    c->SetIp("10.9.8.1");
    Pc().files.FailWrite("Lumari.cfg", 7, 112);
    EXPECT_FALSE(c->Save()) << "a failed write is no success";
    EXPECT_EQ(Pc().files.PendingFailures(), 0);
    plat::Platform::ResetAll();
    CLumariConfig* fresh = CLumariConfig::GetInstance();
    fresh->Load();
    EXPECT_EQ(fresh->GetIp(), "192.168.50.1") << "the old file, whole";
    EXPECT_EQ(fresh->GetOutAddress(), "1.1.1.1");

    fresh->SetIp("10.9.8.1");
    EXPECT_TRUE(fresh->Save());
    EXPECT_NE(Dir().Read("Lumari.cfg"), before);
    plat::Platform::ResetAll();
    CLumariConfig::GetInstance()->Load();
    EXPECT_EQ(CLumariConfig::GetInstance()->GetIp(), "10.9.8.1");
    EXPECT_EQ(CLumariConfig::GetInstance()->GetOutAddress(), "1.1.1.1");
    EXPECT_FALSE(std::filesystem::exists(Dir().Path() + "/Lumari.cfg.tmp"));
}

TEST_F(LumariConfigTest, DamagedOrOversizedValuesLeaveTheSettingAsItWas) {
    Put("WIFI/ip", std::string(300, '1'));  // longer than the engine's 256-byte buffer
    Put("WIFI/dns", "8.8.8.8");
    std::string text = Dir().Read("Lumari.cfg");
    Dir().Write("Lumari.cfg", text + "[Zentavo]\ngarbage line\n\x01\x02\x03\n");
    CLumariConfig* c = CLumariConfig::GetInstance();
    c->Load();
    EXPECT_EQ(c->GetIp(), "192.168.23.1");
    EXPECT_EQ(c->GetDns(), "8.8.8.8");

    for (const std::string& bytes :
         {std::string(), std::string("\xff\xfe\x00garbage", 10), text.substr(0, text.size() / 2)}) {
        plat::Platform::ResetAll();
        Dir().Write("Lumari.cfg", bytes);
        CLumariConfig* d = CLumariConfig::GetInstance();
        d->Load();
        EXPECT_EQ(d->GetIp(), "192.168.23.1");
        EXPECT_EQ(d->GetOutAddress(), "8.8.8.8");
    }
}
