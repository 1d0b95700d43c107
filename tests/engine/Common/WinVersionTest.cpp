#include <gtest/gtest.h>

#include "Common/WinVersion.h"
#include "SimTest.h"

class WinVersionTest : public SimTest {};

TEST_F(WinVersionTest, ComparesMajorThenMinorThenServicePack) {
    Pc().os.SetVersion({6, 1, 1, 7601, 1}, true, 0x30);
    EXPECT_TRUE(IsWindowsVersionOrGreater(6, 1, 0));
    EXPECT_TRUE(IsWindowsVersionOrGreater(6, 1, 1));
    EXPECT_FALSE(IsWindowsVersionOrGreater(6, 1, 2));
    EXPECT_TRUE(IsWindowsVersionOrGreater(6, 0, 2));  // a newer minor outranks the pack
    EXPECT_TRUE(IsWindowsVersionOrGreater(5, 1, 3));
    EXPECT_FALSE(IsWindowsVersionOrGreater(6, 2, 0));
    EXPECT_FALSE(IsWindowsVersionOrGreater(10, 0, 0));
    EXPECT_FALSE(IsWindowsServer());

    Pc().os.SetWindows(plat::SimWindows::XpSp2);
    EXPECT_TRUE(IsWindowsVersionOrGreater(5, 1, 2));
    EXPECT_FALSE(IsWindowsVersionOrGreater(5, 1, 3));
    plat::DWORD edition = 7;
    EXPECT_FALSE(GetWindowsEdition(&edition));  // XP has no GetProductInfo

    Pc().os.SetWindows(plat::SimWindows::Server2008R2);
    EXPECT_TRUE(IsWindowsServer());
    ASSERT_TRUE(GetWindowsEdition(&edition));
}
