#include <gtest/gtest.h>

#include "platform/text/GuidText.h"
#include "platform/text/TextCodec.h"

using plat::GUID;
using plat::GuidText;

TEST(GuidText, RegistryFormRoundTripsAndParsesEitherCase) {
    const GUID g = {0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
    EXPECT_EQ(GuidText::ToString(g), "{4D36E972-E325-11CE-BFC1-08002BE10318}");
    GUID parsed{};
    ASSERT_TRUE(GuidText::Parse(std::string("{4d36e972-e325-11ce-bfc1-08002be10318}"), &parsed));
    EXPECT_EQ(parsed, g);
    ASSERT_TRUE(GuidText::Parse(std::wstring(L"4D36E972-E325-11CE-BFC1-08002BE10318"), &parsed));
    EXPECT_EQ(parsed, g);
}

TEST(GuidText, RefusesMalformedText) {
    GUID g{};
    for (const char* bad :
         {"", "{}", "{4D36E972-E325-11CE-BFC1-08002BE1031}",
          "{4D36E972-E325-11CE-BFC1-08002BE1031G}", "{4D36E972E32511CEBFC108002BE10318}",
          "4D36E972-E325-11CE-BFC1-08002BE10318}"})
        EXPECT_FALSE(GuidText::Parse(std::string(bad), &g)) << bad;
    EXPECT_FALSE(GuidText::Parse(std::wstring(L"{4D36E972-E325-11CE-BFC1-08002BE1031\u00e9}"), &g));
}

TEST(GuidText, NamesGiveStableDistinctGuids) {
    EXPECT_EQ(GuidText::FromName("wlan0"), GuidText::FromName("wlan0"));
    EXPECT_NE(GuidText::FromName("wlan0"), GuidText::FromName("wlan1"));
    EXPECT_FALSE(GuidText::IsNull(GuidText::FromName("")));
}

TEST(TextCodec, StrictUtf8RefusesInvalidSequencesLenientReplacesThem) {
    std::wstring w;
    EXPECT_FALSE(plat::TextCodec::Utf8ToWide(std::string("a\xC3"), &w));
    EXPECT_FALSE(plat::TextCodec::Utf8ToWide(std::string("\xED\xA0\x80"), &w));  // surrogate
    EXPECT_FALSE(plat::TextCodec::Utf8ToWide(std::string("\xC0\xAF"), &w));      // overlong
    EXPECT_EQ(plat::TextCodec::Utf8ToWide(std::string("a\xFFz")), std::wstring(L"a\uFFFDz"));
    const std::string text = "Caf\xC3\xA9 \xE7\x83\xAD\xE7\x82\xB9 \xF0\x9F\x93\xB6";
    ASSERT_TRUE(plat::TextCodec::Utf8ToWide(text, &w));
    EXPECT_EQ(plat::TextCodec::WideToUtf8(w), text);
}

TEST(TextCodec, RecordFieldsAreTerminatedAndCut) {
    plat::WCHAR field[4];
    plat::TextCodec::ToWchars(L"abcdef", field, 4);
    EXPECT_EQ(plat::TextCodec::FromWchars(field, 4), L"abc");
    plat::WCHAR wide[8];
    plat::TextCodec::ToWchars(L"\U0001F4F6x", wide, 8);  // a pair of UTF-16 units
    EXPECT_EQ(wide[2], plat::WCHAR('x'));
    EXPECT_EQ(plat::TextCodec::FromWchars(wide, 8), L"\U0001F4F6x");
}
