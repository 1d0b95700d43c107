#include "Share/ShareDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"
#include "support/SimTest.h"

namespace {

using plat::BYTE;
using plat::SimNatRequest;

const plat::GUID kPublic = plat::GuidText::FromName("wan0");
const plat::GUID kPrivate = plat::GuidText::FromName("br0");

plat::PEER_INFO Peer(BYTE last, std::uint64_t upKb, std::uint64_t downKb) {
    plat::PEER_INFO p{};
    p.ip = 0x0232A8C0u | (static_cast<std::uint32_t>(last) << 24);
    const BYTE mac[6] = {0x02, 0, 0, 0, 0, last};
    std::memcpy(p.mac, mac, 6);
    p.upKb = upKb;
    p.downKb = downKb;
    return p;
}

class ShareDriverTest : public SimTest {
protected:
    // A device that answers every request with `result` and `output`.
    // A device that answers every request with `result` and `output` (on
    // failure with `error`; only ERROR_MORE_DATA hands the bytes back).
    void Answer(plat::BOOL result, std::vector<BYTE> output = {},
                plat::DWORD error = plat::kNatErrorGenFailure) {
        Pc().nat.SetHandler([=](const SimNatRequest&, std::vector<BYTE>* out) {
            *out = output;
            plat::SetLastError(error);
            return result;
        });
    }
    std::vector<SimNatRequest> Requests() { return Pc().nat.Requests(); }
    // The configuration tool, answering `output` to every command line.
    void Tool(const std::string& name, const std::string& output) {
        Pc().processes.Install(name, [output](const std::vector<std::string>&) {
            plat::ProcessResult r;
            r.output = output;
            return r;
        });
    }
    void OpenWith(const std::vector<std::string>& devices) {
        for (const auto& d : devices)
            Pc().nat.AddDevice(d);
        ASSERT_TRUE(driver.Open());
    }
    static std::vector<BYTE> Bytes(const void* p, std::size_t n) {
        const auto* b = static_cast<const BYTE*>(p);
        return std::vector<BYTE>(b, b + n);
    }
    CShareDriver driver;
};

TEST_F(ShareDriverTest, OpenPrefersTheWfpDeviceAndFallsBackToNdis) {
    plat::SimService stopped;
    stopped.state = 1;
    Pc().services.Set("solvanewfp", stopped);

    EXPECT_FALSE(driver.Open());
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_TRUE(Log().Has("E Open Device <\\\\.\\SOLVANEWFP> error 2"));
    EXPECT_TRUE(Log().Has("E Open Device <\\\\.\\SOLVANE> error 2"));
    EXPECT_EQ(Pc().services.State("solvanewfp"), 4);  // started before the open

    Pc().nat.AddDevice("SOLVANE");
    EXPECT_TRUE(driver.Open());
    EXPECT_FALSE(driver.IsWfp());

    Pc().nat.AddDevice("SOLVANEWFP");
    EXPECT_TRUE(driver.Open());
    EXPECT_TRUE(driver.IsWfp());
    EXPECT_EQ(Pc().nat.OpenHandles(), 1);  // a second open closed the first handle

    driver.Close();
    EXPECT_FALSE(driver.IsOpen());
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
    EXPECT_EQ(Pc().services.State("solvanewfp"), 1);
}

TEST_F(ShareDriverTest, EveryRequestChecksTheHandleFirst) {
    std::vector<plat::PEER_INFO> peers;
    EXPECT_FALSE(driver.EnableShare(kPublic, kPrivate));
    EXPECT_FALSE(driver.DisableShare());
    EXPECT_FALSE(driver.GetPeers(peers));
    EXPECT_FALSE(driver.SetSpeedLimit(L"02-00-00-00-00-01", 1, 0, 0));
    EXPECT_FALSE(driver.DeletePeers(L"02-00-00-00-00-01"));
    EXPECT_FALSE(driver.SetAllowPorts({80}));
    int checks = 0;
    for (const auto& line : Log().Lines())
        checks += line == "E Driver handle check failed..";
    EXPECT_EQ(checks, 6);
    EXPECT_TRUE(Requests().empty());
    EXPECT_TRUE(Pc().processes.History().empty());
}

TEST_F(ShareDriverTest, NdisEnableRunsTheConfigurationToolAndSendsBothGuidTexts) {
    Pc().os.SetNativeArchitecture(9);
    Tool("snetcfg64.exe", "nothing done\n");
    Answer(plat::TRUE_, {'o', 'k', 0});
    OpenWith({"SOLVANE"});

    EXPECT_TRUE(driver.EnableShare(kPublic, kPrivate));

    const auto history = Pc().processes.History();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0], "snetcfg64.exe -x ms_solvane");
    EXPECT_EQ(history[1], "snetcfg64.exe -d ms_solvane -e " + plat::GuidText::ToString(kPrivate));
    // The tool's failures are logged and do not stop the request.
    EXPECT_TRUE(Log().Has("E EnableDriver Failed.."));
    EXPECT_TRUE(Log().Has("E DisableOtherDriver failed"));

    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].code, 0x170050u);
    ASSERT_EQ(requests[0].input.size(), 160u);
    const std::string pub = plat::GuidText::ToString(kPublic);
    const std::string priv = plat::GuidText::ToString(kPrivate);
    for (std::size_t i = 0; i < 40; ++i) {
        const BYTE* at = &requests[0].input[2 * i];
        const unsigned expectPub = i < pub.size() ? static_cast<unsigned char>(pub[i]) : 0u;
        const unsigned expectPriv = i < priv.size() ? static_cast<unsigned char>(priv[i]) : 0u;
        EXPECT_EQ(at[0] | (at[1] << 8), expectPub) << i;
        EXPECT_EQ(at[80] | (at[81] << 8), expectPriv) << i;
    }
    EXPECT_EQ(driver.Shared(), 1u);
    EXPECT_EQ(driver.PublicGuid(), kPublic);
    EXPECT_EQ(driver.PrivateGuid(), kPrivate);
}

TEST_F(ShareDriverTest, ToolReportingSuccessLogsNothingAndX86UsesTheShortName) {
    Pc().os.SetNativeArchitecture(0);
    Tool("snetcfg.exe", "Trying to install ms_solvane ... success\n");
    Answer(plat::TRUE_);
    OpenWith({"SOLVANE"});
    EXPECT_TRUE(driver.EnableShare(kPublic, kPrivate));
    EXPECT_EQ(Pc().processes.History().at(0), "snetcfg.exe -x ms_solvane");
    EXPECT_FALSE(Log().Has("E EnableDriver Failed.."));
    EXPECT_FALSE(Log().Has("E DisableOtherDriver failed"));
}

TEST_F(ShareDriverTest, WfpEnableNeverRunsTheConfigurationTool) {
    Tool("snetcfg64.exe", "success");
    Tool("snetcfg.exe", "success");
    Answer(plat::TRUE_);
    OpenWith({"SOLVANEWFP", "SOLVANE"});
    EXPECT_TRUE(driver.EnableShare(kPublic, kPrivate));
    EXPECT_TRUE(Pc().processes.History().empty());
}

TEST_F(ShareDriverTest, EnableIsTrueOnlyForResultOneAndLogsTheStatusOfAFailure) {
    OpenWith({"SOLVANEWFP"});
    Answer(plat::FALSE_, {'n', 'o', ' ', 'a', 'd', 'a', 'p', 't', 'e', 'r', 0},
           plat::kErrorMoreData);
    EXPECT_FALSE(driver.EnableShare(kPublic, kPrivate));
    EXPECT_TRUE(Log().Has("E Enable driver share failed no adapter size:11"));
    EXPECT_EQ(driver.Shared(), 0u);

    Answer(2);  // non-zero, but not TRUE
    EXPECT_FALSE(driver.EnableShare(kPublic, kPrivate));
    EXPECT_EQ(driver.Shared(), 2u);
    // The GUIDs are kept so that a retry can send them again.
    EXPECT_EQ(driver.PublicGuid(), kPublic);
}

TEST_F(ShareDriverTest, DisableClearsTheGuidsOnlyWhenTheDriverAgrees) {
    OpenWith({"SOLVANEWFP"});
    Answer(plat::TRUE_);
    ASSERT_TRUE(driver.EnableShare(kPublic, kPrivate));

    Answer(plat::FALSE_, {'b', 'u', 's', 'y', 0});  // an error hands no bytes back
    EXPECT_FALSE(driver.DisableShare());
    EXPECT_TRUE(Log().Has("E Disable driver share failed  size:0"));
    EXPECT_EQ(driver.Shared(), 1u);
    EXPECT_EQ(driver.PrivateGuid(), kPrivate);

    Answer(plat::TRUE_);
    EXPECT_TRUE(driver.DisableShare());
    EXPECT_EQ(Requests().back().code, 0x170054u);
    EXPECT_TRUE(Requests().back().input.empty());
    EXPECT_EQ(driver.Shared(), 0u);
    EXPECT_TRUE(plat::GuidText::IsNull(driver.PublicGuid()));
    EXPECT_TRUE(plat::GuidText::IsNull(driver.PrivateGuid()));
}

TEST_F(ShareDriverTest, GetPeersAppendsTheWholeRecordsOnly) {
    OpenWith({"SOLVANEWFP"});
    std::vector<BYTE> answer;
    for (BYTE i = 1; i <= 3; ++i) {
        const plat::PEER_INFO p = Peer(i, 10 * i, 100 * i);
        const auto bytes = Bytes(&p, sizeof p);
        answer.insert(answer.end(), bytes.begin(), bytes.end());
    }
    answer.resize(answer.size() + 10, 0xEE);  // a partial fourth record
    Answer(plat::TRUE_, answer);

    std::vector<plat::PEER_INFO> peers = {Peer(9, 0, 0)};
    EXPECT_TRUE(driver.GetPeers(peers));
    ASSERT_EQ(peers.size(), 4u);
    EXPECT_EQ(peers[1].mac[5], 1);
    EXPECT_EQ(peers[3].mac[5], 3);
    EXPECT_EQ(std::uint64_t{peers[3].upKb}, 30u);
    EXPECT_EQ(std::uint64_t{peers[3].downKb}, 300u);
    EXPECT_EQ(Requests().back().code, 0x170058u);
    EXPECT_TRUE(DebugHas("CShareDriver::GetPeers return size:4\n"));

    Answer(plat::FALSE_, answer);
    EXPECT_FALSE(driver.GetPeers(peers));
    EXPECT_EQ(peers.size(), 4u);
}

TEST_F(ShareDriverTest, SpeedRecordCarriesTheMacLimitsAndAllowedByte) {
    OpenWith({"SOLVANEWFP"});
    Answer(plat::TRUE_);

    EXPECT_TRUE(driver.SetSpeedLimit(L"0a-1b-2c-3d-4e-5f", 1, 300, 200));
    EXPECT_TRUE(driver.SetSpeedLimit(L"0A-1B-2C-3D-4E-5F", 0, 0, 0));
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::vector<BYTE> expected = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0, 0,  // MAC, zero
                                        200,  0,    0,    0,                       // upload
                                        44,   1,    0,    0,                       // download 300
                                        1,    0,    0,    0};
    EXPECT_EQ(requests[0].code, 0x170060u);
    EXPECT_EQ(requests[0].input, expected);
    // Lower and upper case name the same client.
    EXPECT_TRUE(
        std::equal(requests[1].input.begin(), requests[1].input.begin() + 6, expected.begin()));
    EXPECT_EQ(requests[1].input[16], 0);
    EXPECT_TRUE(DebugHas("Set SpeedLimit succeed 0a-1b-2c-3d-4e-5f, 1, 300, 200\n"));

    Answer(plat::FALSE_);
    EXPECT_FALSE(driver.SetSpeedLimit(L"0A-1B-2C-3D-4E-5F", 1, 1, 1));
    EXPECT_TRUE(Log().Has("E Set SpeedLimit failed 0"));
}

TEST_F(ShareDriverTest, AMacThatDoesNotParseNeverReachesTheDriver) {
    OpenWith({"SOLVANEWFP"});
    Answer(plat::TRUE_);
    EXPECT_FALSE(driver.SetSpeedLimit(L"0A-1B-2C-3D-4E", 0, 0, 0));
    EXPECT_FALSE(driver.SetSpeedLimit(L"0A-1B-2C-3D-4E-\u00e9", 0, 0, 0));
    EXPECT_FALSE(driver.DeletePeers(L"zz-1B-2C-3D-4E-5F"));
    EXPECT_TRUE(Requests().empty());
    EXPECT_TRUE(Log().Has("E Set SpeedLimit failed 0"));
    EXPECT_TRUE(Log().Has("E DeletePeers zz-1B-2C-3D-4E-5F failed return:0"));
}

TEST_F(ShareDriverTest, DeletePeerSendsTheSevenByteMacRecord) {
    OpenWith({"SOLVANEWFP"});
    Answer(plat::TRUE_);
    EXPECT_TRUE(driver.DeletePeers(L"02-00-00-00-00-07"));
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0].code, 0x17005Cu);
    EXPECT_EQ(Requests()[0].input, (std::vector<BYTE>{2, 0, 0, 0, 0, 7, 0}));

    Answer(plat::FALSE_);
    EXPECT_FALSE(driver.DeletePeers(L"02-00-00-00-00-07"));
    EXPECT_TRUE(Log().Has("E DeletePeers 02-00-00-00-00-07 failed return:0"));
}

TEST_F(ShareDriverTest, AllowedPortsGoAsSixteenBitValuesAndAnEmptyListAsPortZero) {
    OpenWith({"SOLVANEWFP"});
    Answer(plat::TRUE_);
    EXPECT_TRUE(driver.SetAllowPorts({}));
    EXPECT_TRUE(driver.SetAllowPorts({80, 8089}));
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].code, 0x170064u);
    EXPECT_EQ(requests[0].input, (std::vector<BYTE>{0, 0}));
    EXPECT_EQ(requests[1].input, (std::vector<BYTE>{80, 0, 0x99, 0x1F}));
    EXPECT_TRUE(Log().Has("I Set AllowPorts succeed"));

    Answer(plat::FALSE_);
    EXPECT_FALSE(driver.SetAllowPorts({53}));
    EXPECT_TRUE(Log().Has("E Set AllowPorts failed 0"));
}

TEST_F(ShareDriverTest, TheDestructorReleasesTheHandle) {
    Pc().nat.AddDevice("SOLVANEWFP");
    {
        CShareDriver scoped;
        ASSERT_TRUE(scoped.Open());
        EXPECT_EQ(Pc().nat.OpenHandles(), 1);
    }
    EXPECT_EQ(Pc().nat.OpenHandles(), 0);
}

}  // namespace
