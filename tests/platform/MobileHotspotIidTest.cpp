// The ids of the Windows Runtime's parameterised interfaces, computed from
// their signatures, against the ids published for the same instantiations.
#include <gtest/gtest.h>

#include "platform/common/WinRtIid.h"
#include "platform/records/TetheringTypes.h"
#include "platform/text/GuidText.h"

namespace {

using plat::WinRtIid;

std::string Text(const plat::GUID& g) {
    return plat::GuidText::ToString(g);
}

std::string Hex(const std::array<std::uint8_t, 20>& h) {
    std::string s;
    char b[3];
    for (std::uint8_t v : h) {
        std::snprintf(b, sizeof b, "%02x", v);
        s += b;
    }
    return s;
}

TEST(MobileHotspotIid, Sha1MatchesTheStandardVectorsAcrossBlockBoundaries) {
    EXPECT_EQ(Hex(WinRtIid::Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Hex(WinRtIid::Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(Hex(WinRtIid::Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Hex(WinRtIid::Sha1(std::string(1000000, 'a'))),
              "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(MobileHotspotIid, SignaturesAreWrittenInTheRuntimesGrammar) {
    const std::string rc = WinRtIid::RuntimeClass(
        "Windows.Networking.NetworkOperators.NetworkOperatorTetheringOperationResult",
        plat::tethering::kIidTetheringOperationResult);
    EXPECT_EQ(WinRtIid::Parameterised(plat::winrt_generic::kIAsyncOperation, {rc}),
              "pinterface({9fc2b0bb-e446-44e2-aa61-9cab8f636af2};rc(Windows.Networking."
              "NetworkOperators.NetworkOperatorTetheringOperationResult;{ebd203a1-01ba-476d-b4b3-"
              "bf3d12c8f80c}))");
    EXPECT_EQ(WinRtIid::Delegate(plat::tethering::kIidAsyncActionCompletedHandler),
              "delegate({a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7})");
    EXPECT_EQ(WinRtIid::Enum("Windows.Foundation.AsyncStatus"),
              "enum(Windows.Foundation.AsyncStatus;i4)");
}

TEST(MobileHotspotIid, ComputedIdsEqualThePublishedOnes) {
    using namespace plat::tethering;
    EXPECT_EQ(Text(IidAsyncOperationOfResult()), "{601B30ED-9B7F-54B6-B61B-24A09BC56304}");
    EXPECT_EQ(Text(IidCompletedHandlerOfResult()), "{A936B927-7537-59C6-89DE-33F36A9725AB}");
    EXPECT_EQ(Text(IidVectorViewOfClient()), "{E21D6797-4EF6-553F-B7F9-5ED74BCEBD7E}");
    EXPECT_EQ(Text(IidVectorViewOfProfile()), "{6DB1B492-3852-5DF8-A29D-6944002F58D4}");
    EXPECT_EQ(Text(IidVectorViewOfHostName()), "{F4706AB1-55A3-5270-AFB2-732988FE8227}");

    // Over a plain interface instead of its runtime class: another id, also published.
    using plat::winrt_generic::kIVectorView;
    auto overInterface = [](const plat::GUID& iid) {
        return Text(
            WinRtIid::FromSignature(WinRtIid::Parameterised(kIVectorView, {WinRtIid::Guid(iid)})));
    };
    EXPECT_EQ(overInterface(kIidTetheringClient), "{23AA5A28-AD35-5C47-976A-53269CDC5293}");
    EXPECT_EQ(overInterface(kIidConnectionProfile), "{3C724EDA-2AC8-5E49-945F-E242F6EE16D4}");
    EXPECT_EQ(overInterface(kIidHostName), "{FB26F077-BEFF-523E-81C2-5A710F18359D}");

    // Instantiations over basic types.
    using plat::winrt_generic::kIAsyncOperation;
    EXPECT_EQ(Text(WinRtIid::FromSignature(WinRtIid::Parameterised(kIAsyncOperation, {"b1"}))),
              "{CDB5EFB3-5788-509D-9BE1-71CCB8A3362A}");
    EXPECT_EQ(Text(WinRtIid::FromSignature(WinRtIid::Parameterised(kIVectorView, {"string"}))),
              "{2F13C006-A03A-5F69-B090-75A43E33423E}");
}

TEST(MobileHotspotIid, IdsAreVersionFiveAndDependOnEveryByteOfTheSignature) {
    const plat::GUID a =
        WinRtIid::FromSignature("pinterface({00000000-0000-0000-0000-000000000000})");
    const plat::GUID b =
        WinRtIid::FromSignature("pinterface({00000000-0000-0000-0000-000000000001})");
    EXPECT_NE(a, b);
    for (const plat::GUID& g : {a, b}) {
        EXPECT_EQ(g.Data3 >> 12, 5);
        EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
    }
}

}  // namespace
