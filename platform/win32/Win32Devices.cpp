#include "Win32Devices.h"

// windows.h first: SetupAPI and the configuration manager build on it.
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"

namespace plat {

namespace {
const ::GUID kNetClass = {
    0x4D36E972, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

// Owns a device information set holding one device or the whole class.
class DevInfo {
public:
    explicit DevInfo(const char* id) {
        m_set = ::SetupDiCreateDeviceInfoList(&kNetClass, nullptr);
        if (m_set == INVALID_HANDLE_VALUE)
            return;
        m_data.cbSize = sizeof m_data;
        m_ok = id != nullptr && ::SetupDiOpenDeviceInfoA(m_set, id, nullptr, 0, &m_data) != 0;
    }
    ~DevInfo() {
        if (m_set != INVALID_HANDLE_VALUE)
            ::SetupDiDestroyDeviceInfoList(m_set);
    }
    DevInfo(const DevInfo&) = delete;
    DevInfo& operator=(const DevInfo&) = delete;
    bool Ok() const { return m_ok; }
    HDEVINFO Set() const { return m_set; }
    SP_DEVINFO_DATA* Data() { return &m_data; }

private:
    HDEVINFO m_set = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA m_data{};
    bool m_ok = false;
};

// The class installer refuses a 32-bit process on 64-bit Windows
// (ERROR_IN_WOW64): such a process asks no further.
bool RefusedAsWow64() {
    if (!Platform::Current().Os().IsWow64Process())
        return false;
    ::SetLastError(ERROR_IN_WOW64);
    return true;
}

bool ChangeState(const char* id, ::DWORD state, int* needRestart) {
    if (RefusedAsWow64())
        return false;
    DevInfo dev(id);
    if (!dev.Ok())
        return false;
    SP_PROPCHANGE_PARAMS params{};
    params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    params.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    params.StateChange = state;
    params.Scope = DICS_FLAG_GLOBAL;
    if (::SetupDiSetClassInstallParamsA(dev.Set(), dev.Data(), &params.ClassInstallHeader,
                                        sizeof params) == 0 ||
        ::SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, dev.Set(), dev.Data()) == 0)
        return false;
    SP_DEVINSTALL_PARAMS_A install{};
    install.cbSize = sizeof install;
    if (needRestart != nullptr) {
        *needRestart = 0;
        if (::SetupDiGetDeviceInstallParamsA(dev.Set(), dev.Data(), &install) != 0)
            *needRestart = (install.Flags & (DI_NEEDRESTART | DI_NEEDREBOOT)) != 0 ? 1 : 0;
    }
    return true;
}

// Reads a value of the device's driver key.
bool DriverValue(const char* id, const char* name, std::vector<BYTE>* out, ::DWORD* type) {
    DevInfo dev(id);
    if (!dev.Ok())
        return false;
    HKEY key =
        ::SetupDiOpenDevRegKey(dev.Set(), dev.Data(), DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return false;
    ::DWORD size = 0;
    bool ok = ::RegQueryValueExA(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        out->resize(size);
        ok = ::RegQueryValueExA(key, name, nullptr, type, out->data(), &size) == ERROR_SUCCESS;
    }
    ::RegCloseKey(key);
    return ok;
}

DWORD CopyText(const std::string& text, char* buffer, DWORD* size) {
    if (size == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (buffer == nullptr || *size < text.size() + 1) {
        *size = static_cast<DWORD>(text.size() + 1);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *size = static_cast<DWORD>(text.size() + 1);
    return 0;
}

DWORD DriverText(const char* id, const char* name, char* buffer, DWORD* size) {
    std::vector<BYTE> data;
    ::DWORD type = 0;
    if (!DriverValue(id, name, &data, &type) || type != REG_SZ)
        return ERROR_FILE_NOT_FOUND;
    std::string text(data.begin(), data.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return CopyText(text, buffer, size);
}
}  // namespace

DWORD Win32Devices::EnumDevice(char* buffer, DWORD* size, const GUID* classGuid) {
    if (size == nullptr || classGuid == nullptr)
        return ERROR_INVALID_PARAMETER;
    ::GUID cls;
    std::memcpy(&cls, classGuid, sizeof cls);
    HDEVINFO set = ::SetupDiGetClassDevsA(&cls, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    std::string all;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    for (::DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &data) != 0; ++i) {
        char id[MAX_DEVICE_ID_LEN] = {};
        if (::SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id, nullptr) != 0) {
            all += id;
            all.push_back('\0');
        }
    }
    ::SetupDiDestroyDeviceInfoList(set);
    all.push_back('\0');
    if (buffer == nullptr || *size < all.size()) {
        *size = static_cast<DWORD>(all.size());
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, all.data(), all.size());
    *size = static_cast<DWORD>(all.size());
    return 0;
}

int Win32Devices::IsWirelessAdapterById(const char* id) {
    // NDIS reports the physical medium of the adapter: 9 is native 802.11.
    std::vector<BYTE> data;
    ::DWORD type = 0;
    if (!DriverValue(id, "*PhysicalMediaType", &data, &type) || data.empty())
        return 0;
    std::string text(data.begin(), data.end());
    if (type == REG_DWORD && data.size() >= 4)
        return data[0] == 9 ? 1 : 0;
    return std::atoi(text.c_str()) == 9 ? 1 : 0;
}

int Win32Devices::IsDeviceEnable(const char* id) {
    DEVINST inst = 0;
    if (id == nullptr ||
        ::CM_Locate_DevNodeA(&inst, const_cast<char*>(id), CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS)
        return 0;
    ::ULONG status = 0, problem = 0;
    if (::CM_Get_DevNode_Status(&status, &problem, inst, 0) != CR_SUCCESS)
        return 0;
    return (status & DN_HAS_PROBLEM) != 0 && problem == CM_PROB_DISABLED ? 0 : 1;
}

int Win32Devices::EnableDevice(const char* id, int* needRestart) {
    return ChangeState(id, DICS_ENABLE, needRestart) ? 1 : 0;
}

int Win32Devices::DisableDevice(const char* id, int* needRestart) {
    return ChangeState(id, DICS_DISABLE, needRestart) ? 1 : 0;
}

int Win32Devices::RemoveDevice(const char* id, int* needRestart) {
    if (RefusedAsWow64())
        return 0;
    DevInfo dev(id);
    if (!dev.Ok())
        return 0;
    if (::SetupDiCallClassInstaller(DIF_REMOVE, dev.Set(), dev.Data()) == 0)
        return 0;
    if (needRestart != nullptr)
        *needRestart = 0;
    return 1;
}

int Win32Devices::ReScanDeviceList() {
    DEVINST root = 0;
    if (::CM_Locate_DevNodeA(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS)
        return 0;
    return ::CM_Reenumerate_DevNode(root, 0) == CR_SUCCESS ? 1 : 0;
}

DWORD Win32Devices::GetAdapterDeviceInstanceId(const GUID* iface, char* buffer, DWORD* size) {
    if (iface == nullptr)
        return ERROR_INVALID_PARAMETER;
    const std::string wanted = GuidText::ToString(*iface);
    HDEVINFO set = ::SetupDiGetClassDevsA(&kNetClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD result = ERROR_FILE_NOT_FOUND;
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    for (::DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &data) != 0; ++i) {
        HKEY key = ::SetupDiOpenDevRegKey(set, &data, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        char value[64] = {};
        ::DWORD len = sizeof value;
        const bool match =
            ::RegQueryValueExA(key, "NetCfgInstanceId", nullptr, nullptr,
                               reinterpret_cast<BYTE*>(value), &len) == ERROR_SUCCESS &&
            _stricmp(value, wanted.c_str()) == 0;
        ::RegCloseKey(key);
        if (!match)
            continue;
        char id[MAX_DEVICE_ID_LEN] = {};
        if (::SetupDiGetDeviceInstanceIdA(set, &data, id, sizeof id, nullptr) != 0)
            result = CopyText(id, buffer, size);
        break;
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return result;
}

DWORD Win32Devices::GetDriverFriendlyName(const char* id, char* buffer, DWORD* size) {
    DevInfo dev(id);
    if (!dev.Ok())
        return ERROR_FILE_NOT_FOUND;
    char text[1024] = {};
    if (::SetupDiGetDeviceRegistryPropertyA(dev.Set(), dev.Data(), SPDRP_FRIENDLYNAME, nullptr,
                                            reinterpret_cast<BYTE*>(text), sizeof text - 1,
                                            nullptr) == 0)
        return ::GetLastError();
    return CopyText(text, buffer, size);
}

DWORD Win32Devices::GetDriverDriverDesc(const char* id, char* buffer, DWORD* size) {
    return DriverText(id, "DriverDesc", buffer, size);
}

DWORD Win32Devices::GetDriverManufactory(const char* id, char* buffer, DWORD* size) {
    return DriverText(id, "ProviderName", buffer, size);
}

DWORD Win32Devices::GetDriverDate(const char* id, FILETIME* date) {
    std::vector<BYTE> data;
    ::DWORD type = 0;
    if (date == nullptr || !DriverValue(id, "DriverDateData", &data, &type) || data.size() < 8)
        return ERROR_FILE_NOT_FOUND;
    std::memcpy(date, data.data(), sizeof *date);
    return 0;
}

DWORD Win32Devices::GetDriverVersion(const char* id, unsigned* a, unsigned* b, unsigned* c,
                                     unsigned* d) {
    char text[128] = {};
    DWORD size = sizeof text;
    if (DriverText(id, "DriverVersion", text, &size) != 0 || a == nullptr || b == nullptr ||
        c == nullptr || d == nullptr)
        return ERROR_FILE_NOT_FOUND;
    *a = *b = *c = *d = 0;
    std::sscanf(text, "%u.%u.%u.%u", a, b, c, d);
    return 0;
}

void Win32Devices::GetDeviceProblemCode(const char* id, DWORD* problem, DWORD* status) {
    DEVINST inst = 0;
    if (id == nullptr ||
        ::CM_Locate_DevNodeA(&inst, const_cast<char*>(id), CM_LOCATE_DEVNODE_NORMAL) != CR_SUCCESS)
        return;
    ::ULONG s = 0, p = 0;
    if (::CM_Get_DevNode_Status(&s, &p, inst, 0) != CR_SUCCESS)
        return;
    if (problem != nullptr)
        *problem = p;
    if (status != nullptr)
        *status = s;
}

}  // namespace plat
