// The simulated PC's code page 936 converts the same through iconv (Linux)
// and through the system's tables (the Windows test program under Wine).
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/SimCodePage.h"

namespace {

using plat::SimCodePage;

TEST(SimCodePage, ConvertsGbkBothWaysAndRefusesWhatItCannotCarry) {
    // "中文 ab": two bytes per Han character, one per ASCII character.
    const std::wstring wide = L"\x4E2D\x6587 ab";
    const std::string gbk = "\xD6\xD0\xCE\xC4 ab";
    std::string narrow;
    ASSERT_TRUE(SimCodePage::WideToChinese(wide, &narrow));
    EXPECT_EQ(narrow, gbk);
    std::wstring back;
    ASSERT_TRUE(SimCodePage::ChineseToWide(gbk, &back));
    EXPECT_EQ(back, wide);

    std::wstring emptyWide = L"x";
    std::string emptyNarrow = "x";
    EXPECT_TRUE(SimCodePage::ChineseToWide("", &emptyWide));
    EXPECT_TRUE(emptyWide.empty());
    EXPECT_TRUE(SimCodePage::WideToChinese(L"", &emptyNarrow));
    EXPECT_TRUE(emptyNarrow.empty());

    // Hangul is not in the code page: refused, not replaced by '?'. The
    // output is left as it was.
    narrow = "kept";
    EXPECT_FALSE(SimCodePage::WideToChinese(L"\xD55C\xAD6D", &narrow));
    EXPECT_EQ(narrow, "kept");
    // A lead byte without its trail byte, and a lead byte followed by a byte
    // that cannot trail it.
    back = L"kept";
    EXPECT_FALSE(SimCodePage::ChineseToWide("ab\xD6", &back));
    EXPECT_FALSE(SimCodePage::ChineseToWide("\xD6\x20", &back));
    EXPECT_EQ(back, L"kept");
}

}  // namespace
