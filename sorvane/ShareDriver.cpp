#include "ShareDriver.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/MacText.h"
#include "platform/winapi/Win32Api.h"

namespace sorvane {

namespace {

constexpr int kProcessorArchitectureIa64 = 6;
constexpr int kProcessorArchitectureAmd64 = 9;

plat::NatDevice& Device() {
    return plat::Platform::Current().Nat();
}

void Debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Debug(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    plat::OutputDebugStringA(text);
}

// The configuration tool's output for `line` (at most 4095 bytes).
std::string RunTool(const char* line) {
    const plat::ProcessResult r = plat::Platform::Current().Processes().Run(line);
    return r.started ? r.output.substr(0, 4095) : std::string();
}

}  // namespace

CShareDriver::~CShareDriver() {
    CloseDevice();
}

void CShareDriver::CloseDevice() {
    if (m_device != nullptr) {
        Device().Close(m_device);
        m_device = nullptr;
    }
}

plat::HRESULT CShareDriver::Request(plat::DWORD code, const void* in, plat::DWORD inSize, void* out,
                                    plat::DWORD outSize, plat::DWORD* returned) {
    *returned = 0;
    CloseDevice();
    m_device = Device().Open(plat::kNatNdisDeviceName);
    if (m_device == nullptr) {
        Debug("Failed to Open Device : %d\n", static_cast<int>(plat::GetLastError()));
        m_shared = 0;
        return plat::kEHandle;
    }
    const plat::BOOL ok = Device().Control(m_device, code, in, inSize, out, outSize, returned);
    if (*returned > outSize)
        *returned = outSize;
    CloseDevice();
    return ok == plat::TRUE_ ? plat::kSOk : plat::kEFail;
}

plat::HRESULT CShareDriver::Init() {
    CloseDevice();
    m_device = Device().Open(plat::kNatNdisDeviceName);
    const bool opened = m_device != nullptr;
    CloseDevice();
    return opened ? plat::kSOk : plat::kEFail;
}

void CShareDriver::Release() {
    CloseDevice();
}

plat::HRESULT CShareDriver::IsSupport(int* supported) {
    *supported = Init() == plat::kSOk ? 1 : 0;
    return plat::kSOk;
}

plat::HRESULT CShareDriver::IsSharingEnable(const plat::GUID& connection, int* enabled) {
    // A connection of neither side is not shared.
    *enabled = connection == m_public || connection == m_private ? m_shared : 0;
    return plat::kSOk;
}

plat::HRESULT CShareDriver::GetSharingType(const plat::GUID& connection, SHARINGTYPE* type) {
    if (connection == m_public) {
        *type = SHARINGTYPE_PUBLIC;
        return plat::kSOk;
    }
    if (connection == m_private) {
        *type = SHARINGTYPE_PRIVATE;
        return plat::kSOk;
    }
    return plat::kEInvalidArg;
}

plat::HRESULT CShareDriver::SetPublic(const plat::GUID& connection) {
    m_public = connection;
    return plat::kSOk;
}

plat::HRESULT CShareDriver::SetPrivate(const plat::GUID& connection) {
    m_private = connection;
    return plat::kSOk;
}

plat::HRESULT CShareDriver::EnableShare() {
    const int arch = plat::Platform::Current().Os().NativeArchitecture();
    const char* tool = arch == kProcessorArchitectureAmd64 || arch == kProcessorArchitectureIa64
                           ? "snetcfg64.exe"
                           : "snetcfg.exe";
    char line[260];
    std::snprintf(line, sizeof line, "%s -x %s", tool, plat::kNatComponentId);
    const std::string output = RunTool(line);
    Debug("EnableDriver: %s", output.c_str());
    if (output.find("success") == std::string::npos)
        Debug("EnableDriver Failed..");

    const plat::NatEnableRecord record = plat::NatRecords::MakeEnable(m_public, m_private);
    char status[plat::kNatStatusTextSize] = {};
    plat::DWORD returned = 0;
    const plat::HRESULT hr = Request(plat::kNatIoctlEnableShare, &record, sizeof record, status,
                                     sizeof status, &returned);
    if (hr == plat::kSOk) {
        Debug("EnableShare OutputBuffer:%s,  dwOutput: %d\n",
              plat::NatRecords::ReadStatus(status, returned).c_str(), static_cast<int>(returned));
        // Sharing is on: the connections report it until it is switched off.
        m_shared = 1;
    }
    return hr;
}

plat::HRESULT CShareDriver::DisableShare() {
    char status[plat::kNatStatusTextSize] = {};
    plat::DWORD returned = 0;
    const plat::HRESULT hr =
        Request(plat::kNatIoctlDisableShare, nullptr, 0, status, sizeof status, &returned);
    if (hr != plat::kSOk)
        return hr;
    Debug("DisableShare OutputBuffer:%s,  dwOutput: %d\n",
          plat::NatRecords::ReadStatus(status, returned).c_str(), static_cast<int>(returned));
    m_shared = 0;
    return plat::kSOk;
}

plat::HRESULT CShareDriver::SetSpeedLimited(const char* mac, int allowed, int upLimit,
                                            int downLimit) {
    plat::MacAddress address;
    if (!plat::MacText::Parse(mac, &address))
        return plat::kEInvalidArg;
    const plat::NatSpeedRecord record = plat::NatRecords::MakeSpeed(
        address, static_cast<std::uint8_t>(allowed), static_cast<std::uint32_t>(upLimit),
        static_cast<std::uint32_t>(downLimit));
    plat::DWORD returned = 0;
    const plat::HRESULT hr =
        Request(plat::kNatIoctlSetSpeedLimit, &record, sizeof record, nullptr, 0, &returned);
    if (hr == plat::kSOk)
        Debug("Set SpeedLimit succeed %s, %d, %d, %d\n", mac, allowed, upLimit, downLimit);
    else
        Debug("Set SpeedLimit failed %d\n", 0);
    return hr;
}

plat::HRESULT CShareDriver::GetPeers(std::vector<plat::PEER_INFO>& peers) {
    std::vector<std::uint8_t> buffer(plat::kNatPeerBufferSize, 0);
    plat::DWORD returned = 0;
    const plat::HRESULT hr = Request(plat::kNatIoctlGetPeers, nullptr, 0, buffer.data(),
                                     static_cast<plat::DWORD>(buffer.size()), &returned);
    if (hr != plat::kSOk)
        return hr;
    const auto records = plat::NatRecords::ReadPeers(buffer.data(), returned);
    peers.insert(peers.end(), records.begin(), records.end());
    Debug("%s return size:%d\n", "CShareDriver::GetPeers", static_cast<int>(peers.size()));
    return plat::kSOk;
}

plat::HRESULT CShareDriver::RemovePeers(const char* mac) {
    plat::MacAddress address;
    if (!plat::MacText::Parse(mac, &address))
        return plat::kEInvalidArg;
    const plat::NatMacRecord record = plat::NatRecords::MakeMac(address);
    plat::DWORD returned = 0;
    const plat::HRESULT hr =
        Request(plat::kNatIoctlDeletePeer, &record, sizeof record, nullptr, 0, &returned);
    if (hr != plat::kSOk)
        Debug("DeletePeers failed %d.", 0);
    return hr;
}

}  // namespace sorvane
