// Code-page conversions on Windows refuse what the code page cannot carry
// instead of approximating it (best fit, '?'), as the simulated PC does.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/win32/Win32CodePage.h"
#include "platform/win32/Win32Os.h"

namespace {

using plat::Win32CodePage;

TEST(Win32CodePage, RefusesWhatTheCodePageCannotCarryInsteadOfApproximatingIt) {
    std::string narrow;
    std::wstring wide;
    // Western: "é" is one byte; "ő" has only a best fit ('o'); Hangul nothing.
    ASSERT_TRUE(Win32CodePage::FromWide(1252, L"Caf\xE9", &narrow));
    EXPECT_EQ(narrow, "Caf\xE9");
    narrow = "kept";
    EXPECT_FALSE(Win32CodePage::FromWide(1252, L"\x0151", &narrow));
    EXPECT_FALSE(Win32CodePage::FromWide(1252, L"\xD55C", &narrow));
    EXPECT_EQ(narrow, "kept");

    // Simplified Chinese: two bytes per Han character, a cut sequence refused.
    ASSERT_TRUE(Win32CodePage::FromWide(936, L"\x4E2D\x6587", &narrow));
    EXPECT_EQ(narrow, "\xD6\xD0\xCE\xC4");
    ASSERT_TRUE(Win32CodePage::ToWide(936, narrow, &wide));
    EXPECT_EQ(wide, L"\x4E2D\x6587");
    EXPECT_FALSE(Win32CodePage::ToWide(936, "\xD6", &wide));

    // UTF-8: everything but a lone surrogate.
    ASSERT_TRUE(Win32CodePage::FromWide(CP_UTF8, L"\xD55C", &narrow));
    EXPECT_EQ(narrow, "\xED\x95\x9C");
    EXPECT_FALSE(Win32CodePage::FromWide(CP_UTF8, std::wstring(1, wchar_t(0xD800)), &narrow));
    EXPECT_FALSE(Win32CodePage::ToWide(CP_UTF8, "\xC3", &wide));
}

TEST(Win32CodePage, TheSystemsAnsiConversionIsStrictInEveryCodePage) {
    plat::Win32Os os;
    std::string narrow;
    ASSERT_TRUE(os.WideToAnsi(L"hotspot", &narrow));
    EXPECT_EQ(narrow, "hotspot");
    std::wstring wide;
    ASSERT_TRUE(os.AnsiToWide("hotspot", &wide));
    EXPECT_EQ(wide, L"hotspot");
    // A lone surrogate is carried by no code page, UTF-8 included.
    EXPECT_FALSE(os.WideToAnsi(std::wstring(1, wchar_t(0xDC00)), &narrow));
}

}  // namespace
