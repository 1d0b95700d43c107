#include "ShareDriver.h"

#include <glog/logging.h>

#include <cstdio>
#include <vector>

#include "Environment/ServiceManager.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace {

constexpr int kProcessorArchitectureIa64 = 6;
constexpr int kProcessorArchitectureAmd64 = 9;
constexpr std::size_t kToolOutputSize = 4095;

plat::NatDevice& Device() {
    return plat::Platform::Current().Nat();
}

// The MAC text of a request; false when it is not six hexadecimal numbers.
bool ParseMac(const std::wstring& text, plat::MacAddress* mac, std::string* narrow) {
    narrow->clear();
    for (wchar_t c : text)
        narrow->push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : '?');
    return plat::MacText::Parse(narrow->c_str(), mac);
}

}  // namespace

CShareDriver::~CShareDriver() {
    CloseHandle();
}

std::string CShareDriver::ConfigTool() {
    const int arch = plat::Platform::Current().Os().NativeArchitecture();
    return arch == kProcessorArchitectureAmd64 || arch == kProcessorArchitectureIa64
               ? "snetcfg64.exe"
               : "snetcfg.exe";
}

std::string CShareDriver::RunConfigTool(const char* commandLine) {
    const plat::ProcessResult r = plat::Platform::Current().Processes().Run(commandLine);
    if (!r.started)
        return std::string();
    return r.output.substr(0, kToolOutputSize);
}

void CShareDriver::CloseHandle() {
    if (m_device != nullptr) {
        Device().Close(m_device);
        m_device = nullptr;
    }
}

bool CShareDriver::Open() {
    CServiceManager().StartService(plat::kNatWfpServiceName);
    CloseHandle();
    m_isWfp = true;
    m_device = Device().Open(plat::kNatWfpDeviceName);
    if (m_device == nullptr) {
        LOG(ERROR) << "Open Device <" << plat::kNatWfpDeviceName << "> error "
                   << plat::GetLastError();
        m_isWfp = false;
        m_device = Device().Open(plat::kNatNdisDeviceName);
        if (m_device == nullptr)
            LOG(ERROR) << "Open Device <" << plat::kNatNdisDeviceName << "> error "
                       << plat::GetLastError();
    }
    return m_device != nullptr;
}

void CShareDriver::Close() {
    CloseHandle();
    CServiceManager().StopService(plat::kNatWfpServiceName);
}

bool CShareDriver::CheckHandle() const {
    if (m_device == nullptr) {
        LOG(ERROR) << "Driver handle check failed..";
        return false;
    }
    return true;
}

plat::BOOL CShareDriver::Control(plat::DWORD code, const void* in, plat::DWORD inSize, void* out,
                                 plat::DWORD outSize, plat::DWORD* returned) {
    *returned = 0;
    const plat::BOOL ok = Device().Control(m_device, code, in, inSize, out, outSize, returned);
    // A byte count beyond the buffer would only come from a broken device.
    if (*returned > outSize)
        *returned = outSize;
    return ok;
}

bool CShareDriver::EnableShare(const plat::GUID& publicGuid, const plat::GUID& privateGuid) {
    if (!CheckHandle())
        return false;
    if (!m_isWfp) {
        const std::string tool = ConfigTool();
        char line[260];
        std::snprintf(line, sizeof line, "%s -x %s", tool.c_str(), plat::kNatComponentId);
        if (RunConfigTool(line).find("success") == std::string::npos)
            LOG(ERROR) << "EnableDriver Failed..";
        std::snprintf(line, sizeof line, "%s -d %s -e %s", tool.c_str(), plat::kNatComponentId,
                      plat::GuidText::ToString(privateGuid).c_str());
        if (RunConfigTool(line).find("success") == std::string::npos)
            LOG(ERROR) << "DisableOtherDriver failed";
    }
    m_publicGuid = publicGuid;
    m_privateGuid = privateGuid;
    const plat::NatEnableRecord record = plat::NatRecords::MakeEnable(publicGuid, privateGuid);
    char status[plat::kNatStatusTextSize] = {};
    plat::DWORD returned = 0;
    const plat::BOOL ok = Control(plat::kNatIoctlEnableShare, &record, sizeof record, status,
                                  sizeof status, &returned);
    if (ok != plat::TRUE_)
        LOG(ERROR) << "Enable driver share failed "
                   << plat::NatRecords::ReadStatus(status, returned) << " size:" << returned;
    m_shared = static_cast<std::uint32_t>(ok);
    return ok == plat::TRUE_;
}

bool CShareDriver::DisableShare() {
    if (!CheckHandle())
        return false;
    char status[plat::kNatStatusTextSize] = {};
    plat::DWORD returned = 0;
    const plat::BOOL ok =
        Control(plat::kNatIoctlDisableShare, nullptr, 0, status, sizeof status, &returned);
    if (ok != plat::TRUE_) {
        LOG(ERROR) << "Disable driver share failed "
                   << plat::NatRecords::ReadStatus(status, returned) << " size:" << returned;
        return false;
    }
    m_shared = 0;
    m_publicGuid = plat::GUID_NULL_;
    m_privateGuid = plat::GUID_NULL_;
    return true;
}

bool CShareDriver::GetPeers(std::vector<plat::PEER_INFO>& peers) {
    if (!CheckHandle())
        return false;
    std::vector<std::uint8_t> buffer(plat::kNatPeerBufferSize, 0);
    plat::DWORD returned = 0;
    const plat::BOOL ok = Control(plat::kNatIoctlGetPeers, nullptr, 0, buffer.data(),
                                  static_cast<plat::DWORD>(buffer.size()), &returned);
    if (ok != plat::TRUE_)
        return false;
    const auto records = plat::NatRecords::ReadPeers(buffer.data(), returned);
    peers.insert(peers.end(), records.begin(), records.end());
    char text[128];
    std::snprintf(text, sizeof text, "%s return size:%d\n", "CShareDriver::GetPeers",
                  static_cast<int>(peers.size()));
    plat::OutputDebugStringA(text);
    return true;
}

bool CShareDriver::SetSpeedLimit(const std::wstring& mac, int allowed, int downLimit, int upLimit) {
    if (!CheckHandle())
        return false;
    plat::MacAddress address;
    std::string macText;
    // A MAC that does not parse would limit or block a different client.
    if (!ParseMac(mac, &address, &macText)) {
        LOG(ERROR) << "Set SpeedLimit failed " << 0;
        return false;
    }
    const plat::NatSpeedRecord record = plat::NatRecords::MakeSpeed(
        address, static_cast<std::uint8_t>(allowed), static_cast<std::uint32_t>(upLimit),
        static_cast<std::uint32_t>(downLimit));
    plat::DWORD returned = 0;
    const plat::BOOL ok =
        Control(plat::kNatIoctlSetSpeedLimit, &record, sizeof record, nullptr, 0, &returned);
    if (ok != plat::TRUE_) {
        LOG(ERROR) << "Set SpeedLimit failed " << ok;
        return false;
    }
    char text[160];
    std::snprintf(text, sizeof text, "Set SpeedLimit succeed %s, %d, %d, %d\n", macText.c_str(),
                  allowed, downLimit, upLimit);
    plat::OutputDebugStringA(text);
    return true;
}

bool CShareDriver::DeletePeers(const std::wstring& mac) {
    if (!CheckHandle())
        return false;
    plat::MacAddress address;
    std::string macText;
    if (!ParseMac(mac, &address, &macText)) {
        LOG(ERROR) << "DeletePeers " << macText << " failed return:" << 0;
        return false;
    }
    const plat::NatMacRecord record = plat::NatRecords::MakeMac(address);
    plat::DWORD returned = 0;
    const plat::BOOL ok =
        Control(plat::kNatIoctlDeletePeer, &record, sizeof record, nullptr, 0, &returned);
    if (ok != plat::TRUE_) {
        LOG(ERROR) << "DeletePeers " << macText << " failed return:" << ok;
        return false;
    }
    return true;
}

bool CShareDriver::SetAllowPorts(const std::vector<std::uint16_t>& ports) {
    if (!CheckHandle())
        return false;
    const std::vector<std::uint16_t> list = plat::NatRecords::MakePorts(ports);
    char status[plat::kNatStatusTextSize] = {};
    plat::DWORD returned = 0;
    const plat::BOOL ok = Control(plat::kNatIoctlSetAllowPorts, list.data(),
                                  static_cast<plat::DWORD>(list.size() * sizeof(std::uint16_t)),
                                  status, sizeof status, &returned);
    if (ok != plat::TRUE_) {
        LOG(ERROR) << "Set AllowPorts failed " << ok;
        return false;
    }
    LOG(INFO) << "Set AllowPorts succeed";
    return true;
}
