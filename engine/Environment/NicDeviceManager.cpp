#include "NicDeviceManager.h"

#include <glog/logging.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>
#include <vector>

#include "Common/ProcessSingleton.h"
#include "Common/StringConv.h"
#include "Common/WinVersion.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"
#include "platform/vendor/Dunmere.h"

namespace {
const char* RestartSuffix(int needRestart) {
    return needRestart != 0 ? " need restart." : ".";
}

// After a refused device change: says so when the cause is this process
// itself, which no retry can change.
void LogRefusalCause() {
    plat::OsInfo& os = plat::Platform::Current().Os();
    if (os.IsWow64Process())
        LOG(ERROR) << "Device change refused (ERROR_IN_WOW64): a 32-bit program cannot "
                      "enable, disable or remove devices on 64-bit Windows; use the 64-bit build.";
    else if (!os.IsElevated())
        LOG(ERROR) << "Device change refused: changing devices needs administrator rights.";
}
}  // namespace

CNicDeviceManager* CNicDeviceManager::GetInstance() {
    return ProcessSingleton<CNicDeviceManager>::Get();
}

std::string CNicDeviceManager::VirtualWifiAdapterId() {
    const std::wstring id = IsWindowsVersionOrGreater(6, 2, 0)
                                ? L"{5d624f94-8850-40c3-a3fa-a4fd2080baf3}\\vwifimp_sap"
                                : L"{5d624f94-8850-40c3-a3fa-a4fd2080baf3}\\vwifimp";
    return WideToAnsi(id);
}

bool CNicDeviceManager::GetAllAdapters() {
    plat::DWORD size = 5200;
    std::vector<char> buffer(size, 0);
    plat::DWORD code = plat::dunmere::EnumDevice(buffer.data(), &size, &plat::kNetClassGuid);
    if (code == plat::kErrorInsufficientBuffer) {
        buffer.assign(size, 0);
        code = plat::dunmere::EnumDevice(buffer.data(), &size, &plat::kNetClassGuid);
    }
    if (code != 0) {
        LOG(ERROR) << "EnumDevice failed, return " << code;
        return false;
    }
    // Consecutive NUL-terminated ids, ended by an empty one or by the size given.
    // A new enumeration replaces the list: the engine enumerates at every start,
    // and appending would list every device once per start.
    std::vector<std::string> found;
    const std::size_t end = size < buffer.size() ? size : buffer.size();
    std::size_t pos = 0;
    while (pos < end && buffer[pos] != 0) {
        std::size_t len = 0;
        while (pos + len < end && buffer[pos + len] != 0)
            ++len;
        found.emplace_back(buffer.data() + pos, len);
        pos += len + 1;
    }
    m_adapters = std::move(found);
    return true;
}

int CNicDeviceManager::GetWirelessAdapterCount() {
    int count = 0;
    for (const auto& id : m_adapters)
        if (plat::dunmere::IsWirelessAdapterById(id.c_str()) != 0)
            ++count;
    return count;
}

bool CNicDeviceManager::HasWirelessAdapter() {
    GetAllAdapters();
    return GetWirelessAdapterCount() > 0;
}

bool CNicDeviceManager::EnsureAdapters(const char* enumFailed, const char* noneFound) {
    if (m_adapters.empty() && !GetAllAdapters()) {
        LOG(ERROR) << enumFailed;
        return false;
    }
    if (m_adapters.empty()) {
        LOG(ERROR) << noneFound;
        return false;
    }
    return true;
}

bool CNicDeviceManager::EnableAllWirelessAdapter() {
    if (!EnsureAdapters("GetAllAdapters() failed", "Find no network adapter device"))
        return false;
    for (const auto& id : m_adapters) {
        if (plat::dunmere::IsWirelessAdapterById(id.c_str()) == 0)
            continue;
        if (plat::dunmere::IsDeviceEnable(id.c_str()) == 0)
            LOG(INFO) << "WirlessAdapter: " << id << " is disable";
        int needRestart = 0;
        if (plat::dunmere::EnableDevice(id.c_str(), &needRestart) == 0) {
            LOG(INFO) << "WirlessAdapter: " << id << " Enabled failed.";
            LogRefusalCause();
        } else {
            LOG(INFO) << "WirlessAdapter: " << id << " Enabled succeed"
                      << RestartSuffix(needRestart);
        }
    }
    return true;
}

bool CNicDeviceManager::ReEnableWirelessAdapters() {
    if (!EnsureAdapters("GetAllAdapters() failed", "Find no adapters"))
        return false;
    for (const auto& id : m_adapters) {
        if (plat::dunmere::IsWirelessAdapterById(id.c_str()) == 0)
            continue;
        int needRestart = 0;
        if (plat::dunmere::DisableDevice(id.c_str(), &needRestart) == 0) {
            LOG(INFO) << "WirlessAdapter: " << id << " disable failed.";
            LogRefusalCause();
        } else {
            LOG(INFO) << "WirlessAdapter: " << id << " disable succeed"
                      << RestartSuffix(needRestart);
        }
        needRestart = 0;
        if (plat::dunmere::EnableDevice(id.c_str(), &needRestart) == 0) {
            LOG(INFO) << "WirlessAdapter: " << id << " Enabled failed.";
            LogRefusalCause();
        } else {
            LOG(INFO) << "WirlessAdapter: " << id << " Enabled succeed"
                      << RestartSuffix(needRestart);
        }
    }
    return true;
}

void CNicDeviceManager::EnableVirtualWifiAdapter() {
    const std::string id = VirtualWifiAdapterId();
    if (plat::dunmere::IsDeviceEnable(id.c_str()) != 0) {
        LOG(INFO) << "VirtualWifiAdapter <" << id << "> is already enabled";
        return;
    }
    int needRestart = 0;
    const int result = plat::dunmere::EnableDevice(id.c_str(), &needRestart);
    if (result != 0 && plat::dunmere::IsDeviceEnable(id.c_str()) != 0)
        LOG(INFO) << "VirtualWifiAdapter <" << id << "> is already enabled";
    else {
        LOG(INFO) << "VirtualWifiAdapter <" << id << "> enable failed:" << result;
        LogRefusalCause();
    }
}

void CNicDeviceManager::DisableVirtualWifiAdapter() {
    const std::string id = VirtualWifiAdapterId();
    int needRestart = 0;
    const int result = plat::dunmere::DisableDevice(id.c_str(), &needRestart);
    if (result != 0 && plat::dunmere::IsDeviceEnable(id.c_str()) == 0)
        LOG(INFO) << "Device <" << id << "> is already disabled"
                  << (needRestart != 0 ? " but needRestart" : "");
    else {
        LOG(INFO) << "Device <" << id << "> is disabled failed:" << result;
        LogRefusalCause();
    }
}

void CNicDeviceManager::RemoveVirtualAdapter() {
    const std::string id = VirtualWifiAdapterId();
    int out = 0;
    const int result = plat::dunmere::RemoveDevice(id.c_str(), &out);
    LOG(INFO) << "RemoveVirtualAdapter " << (result == 1 ? "succeed." : "failed.") << "return "
              << result;
    if (result != 1)
        LogRefusalCause();
    if (result != 0) {
        const int rescan = plat::dunmere::ReScanDeviceList();
        LOG(INFO) << "RescanDeviceList " << (rescan == 1 ? "succeed." : "failed.") << "return "
                  << rescan;
    }
}

std::string CNicDeviceManager::GetDeviceIdByGuid(const plat::GUID& iface) {
    char buffer[200] = {};
    plat::DWORD size = sizeof buffer;
    const plat::DWORD code = plat::dunmere::GetAdapterDeviceInstanceId(&iface, buffer, &size);
    if (code != 0) {
        LOG(INFO) << "GetAdapterDeviceInstanceId failed: " << code;
        return std::string();
    }
    buffer[sizeof buffer - 1] = 0;
    const std::string id = buffer;
    LOG(INFO) << "Interface guid:" << plat::GuidText::ToString(iface) << " devId: " << id;
    return id;
}

void CNicDeviceManager::EnableDevice(const plat::GUID& iface) {
    const std::string id = GetDeviceIdByGuid(iface);
    int needRestart = 0;
    if (plat::dunmere::EnableDevice(id.c_str(), &needRestart) == 0) {
        LOG(ERROR) << "Enable device failed return" << 0;
        return;
    }
    if (plat::dunmere::IsDeviceEnable(id.c_str()) != 0)
        LOG(INFO) << "Enable device succeed " << RestartSuffix(needRestart);
}

void CNicDeviceManager::DisableDevice(const plat::GUID& iface) {
    const std::string id = GetDeviceIdByGuid(iface);
    int needRestart = 0;
    if (plat::dunmere::DisableDevice(id.c_str(), &needRestart) == 0) {
        LOG(ERROR) << "Disable device failed return" << 0;
        return;
    }
    LOG(INFO) << "Disable device succeed" << RestartSuffix(needRestart);
}

std::vector<WirelessAdapterInfo> CNicDeviceManager::GetWirelessAdapterInfos() {
    std::vector<WirelessAdapterInfo> out;
    auto text = [](plat::DWORD (*get)(const char*, char*, plat::DWORD*), const std::string& id) {
        char buffer[1024] = {};
        plat::DWORD size = sizeof buffer;
        if (get(id.c_str(), buffer, &size) != 0)
            return std::string();
        buffer[sizeof buffer - 1] = 0;
        return std::string(buffer);
    };
    for (const auto& id : m_adapters) {
        if (plat::dunmere::IsWirelessAdapterById(id.c_str()) == 0)
            continue;
        WirelessAdapterInfo info;
        info.deviceId = id;
        info.enabled = plat::dunmere::IsDeviceEnable(id.c_str());
        info.friendlyName = text(&plat::dunmere::GetDriverFriendlyName, id);
        info.driverDesc = text(&plat::dunmere::GetDriverDriverDesc, id);
        info.manufacturer = text(&plat::dunmere::GetDriverManufactory, id);
        plat::FILETIME ft{};
        if (plat::dunmere::GetDriverDate(id.c_str(), &ft) == 0) {
            const std::uint64_t ticks =
                (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
            constexpr std::uint64_t kEpochDiff = 116444736000000000ull;  // 1601 -> 1970
            const std::time_t t = ticks > kEpochDiff
                                      ? static_cast<std::time_t>((ticks - kEpochDiff) / 10000000ull)
                                      : 0;
            std::tm local{};
#if defined(_WIN32)
            localtime_s(&local, &t);
#else
            localtime_r(&t, &local);
#endif
            char date[16];
            std::strftime(date, sizeof date, "%Y-%m-%d", &local);
            info.driverDate = date;
        }
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (plat::dunmere::GetDriverVersion(id.c_str(), &a, &b, &c, &d) == 0) {
            char version[64];
            std::snprintf(version, sizeof version, "%u.%u.%u.%u", a, b, c, d);
            info.driverVersion = version;
        }
        plat::dunmere::GetDeviceProblemCode(id.c_str(), &info.problemCode, &info.status);
        out.push_back(info);
    }
    return out;
}
