// The manufacturer table: the file the build generates from the IEEE registry,
// files that are cut short or damaged, and one in a Chinese program folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Client/ManufactoryTable.h"
#include "Common/LumariConfig.h"
#include "platform/Platform.h"
#include "platform/sim/SimCodePage.h"
#include "platform/sim/SimPc.h"
#include "platform/text/PathText.h"
#include "platform/text/TextCodec.h"
#include "support/TempDir.h"

namespace {

std::wstring W(const std::string& s) {
    return plat::TextCodec::Utf8ToWide(s);
}

// A table file as the generator writes it.
std::string TableFile(const std::string& body, std::size_t entries) {
    char sum[17];
    std::snprintf(
        sum, sizeof sum, "%016llx",
        static_cast<unsigned long long>(CManufactoryTable::Checksum(body.data(), body.size())));
    std::string text = std::string(CManufactoryTable::kMagic) + "|" + std::to_string(entries) +
                       "|" + sum + "|1\r" + body;
    CManufactoryTable::Scramble(&text);
    return text;
}

TEST(ManufactoryTableTest, GeneratedTableNamesMakersAndTheirDevices) {
    const std::string path = LUMARI_MAC_DAT;
    if (path.empty())
        GTEST_SKIP() << "no ieee-data at build time";
    CManufactoryTable table;
    ASSERT_TRUE(table.Load(W(path)));
    EXPECT_GT(table.Size(), 30000u);

    CManufactoryTable::Maker m;
    ASSERT_TRUE(table.Find(L"a4-45-19-01-02-03", &m)) << "lower case text";
    EXPECT_EQ(m.manufactory, L"Xiaomi");
    EXPECT_EQ(m.company, L"Xiaomi Communications Co Ltd");
    EXPECT_EQ(m.type, kDeviceTypePhone);
    ASSERT_TRUE(table.Find(L"00-1B-21-00-00-01", &m));
    EXPECT_EQ(m.manufactory, L"Intel");
    EXPECT_EQ(m.type, kDeviceTypeComputer);

    // A small block refines the registry's own large block, which names no maker.
    ASSERT_TRUE(table.Find(L"70-B3-D5-F2-F0-01", &m));
    EXPECT_EQ(m.manufactory, L"TELEPLATFORMS");
}

TEST(ManufactoryTableTest, LongestPrefixWinsAndLocalAddressesAreRecognised) {
    TempDir dir;
    dir.Write("mac.dat", TableFile("001122|Big|Big Maker Inc.|other\r0011223|Medium|Medium "
                                   "GmbH|\r001122334|Small|Small 小米 Ltd|phone\r",
                                   3));
    CManufactoryTable table;
    ASSERT_TRUE(table.Load(W(dir.File("mac.dat"))));
    CManufactoryTable::Maker m;
    ASSERT_TRUE(table.Find(L"00-11-22-33-44-55", &m));
    EXPECT_EQ(m.company, W("Small 小米 Ltd"));
    ASSERT_TRUE(table.Find(L"00-11-22-3F-44-55", &m));
    EXPECT_EQ(m.manufactory, L"Medium");
    ASSERT_TRUE(table.Find(L"00:11:22:F0:00:00", &m));
    EXPECT_EQ(m.manufactory, L"Big");
    EXPECT_FALSE(table.Find(L"00-11-23-00-00-00", &m));
    EXPECT_FALSE(table.Find(L"00-11-22-33-44", &m)) << "five bytes";
    EXPECT_FALSE(table.Find(L"00-11-22-33-44-55-66", &m));

    EXPECT_TRUE(CManufactoryTable::IsLocallyAdministered(L"DA-A1-19-00-00-01"));
    EXPECT_TRUE(CManufactoryTable::IsLocallyAdministered(L"02-00-00-00-00-01"));
    EXPECT_FALSE(CManufactoryTable::IsLocallyAdministered(L"A4-45-19-00-00-01"));
    EXPECT_FALSE(CManufactoryTable::IsLocallyAdministered(L"garbage"));
}

TEST(ManufactoryTableTest, TruncatedDamagedOrMissingFilesGiveAnEmptyTable) {
    TempDir dir;
    const std::string good = TableFile("001122|Big|Big Maker Inc.|other\r334455|Two|Two|\r", 2);
    CManufactoryTable table;

    dir.Write("cut.dat", good.substr(0, good.size() - 3));
    EXPECT_FALSE(table.Load(W(dir.File("cut.dat"))));
    EXPECT_EQ(table.Size(), 0u);

    std::string flipped = good;
    flipped[flipped.size() - 5] ^= 0x20;
    dir.Write("flipped.dat", flipped);
    EXPECT_FALSE(table.Load(W(dir.File("flipped.dat"))));

    dir.Write("count.dat", TableFile("001122|Big|Big Maker Inc.|other\r334455|Two|Two|\r", 3));
    EXPECT_FALSE(table.Load(W(dir.File("count.dat"))));

    std::string garbage(100000, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919) >> 3);
    dir.Write("garbage.dat", garbage);
    EXPECT_FALSE(table.Load(W(dir.File("garbage.dat"))));
    dir.Write("empty.dat", "");
    EXPECT_FALSE(table.Load(W(dir.File("empty.dat"))));
    EXPECT_FALSE(table.Load(W(dir.File("missing.dat"))));
    EXPECT_FALSE(table.Find(L"00-11-22-00-00-00", nullptr));

    dir.Write("good.dat", good);
    ASSERT_TRUE(table.Load(W(dir.File("good.dat"))));
    EXPECT_EQ(table.Size(), 2u);
}

}  // namespace

TEST(ManufactoryTableTest, ATableInAChineseProgramFolderIsFoundByItsWidePath) {
    // The program's folder has Chinese characters and the system hands its
    // path over in GBK: the table's path goes on as wide text to the open.
    TempDir dir;
    const std::string folder = dir.File("热点程序");
    std::filesystem::create_directories(std::u8string(folder.begin(), folder.end()));
    const std::string file = folder + "/mac.dat";
    std::ofstream(std::filesystem::path(std::u8string(file.begin(), file.end())), std::ios::binary)
        << TableFile("A44519|Xiaomi|Xiaomi Communications Co Ltd|phone\r", 1);
    plat::SimPc& pc = plat::SimPc::Install();
    std::string gbk;
    ASSERT_TRUE(plat::SimCodePage::WideToChinese(W(folder + "/Zentavo"), &gbk));
    pc.os.SetCodePage(plat::SimCodePage::kChinese);
    pc.os.SetModuleFileName(gbk);
    const CLumariConfig config;
    EXPECT_EQ(config.GetMacPath(), W(folder + plat::PathText::Separator() + "mac.dat"));
    CManufactoryTable table;
    EXPECT_TRUE(table.Load(config.GetMacPath()));
    CManufactoryTable::Maker m;
    EXPECT_TRUE(table.Find(L"A4-45-19-00-00-01", &m));
    plat::Platform::Uninstall();
}
