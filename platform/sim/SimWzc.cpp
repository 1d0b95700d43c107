#include "SimWzc.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "SimFaults.h"
#include "SimOs.h"
#include "SimPc.h"
#include "platform/facility/ModuleRegistry.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/LocalMemory.h"

namespace plat {

namespace {

constexpr DWORD kErrorCallNotImplemented = 120;

std::wstring FromWide(LPCWSTR text) {
    if (text == nullptr)
        return {};
    std::size_t n = 0;
    while (text[n] != 0)
        ++n;
    return TextCodec::FromWchars(text, n + 1);
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

SimWzc* Sim() {
    return SimWzc::Current();
}

DWORD LUMARI_WINAPI SimWZCEnumInterfaces(LPWSTR, WZC_INTFS_KEY_TABLE* table) {
    SimWzc* s = Sim();
    return s != nullptr ? s->EnumInterfaces(table) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWZCQueryInterface(LPWSTR, DWORD inFlags, WZC_INTF_ENTRY* intf,
                                         DWORD* outFlags) {
    SimWzc* s = Sim();
    return s != nullptr ? s->QueryInterface(inFlags, intf, outFlags) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWZCSetInterface(LPWSTR, DWORD inFlags, WZC_INTF_ENTRY* intf,
                                       DWORD* outFlags) {
    SimWzc* s = Sim();
    return s != nullptr ? s->SetInterface(inFlags, intf, outFlags) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWZCRefreshInterface(LPWSTR, DWORD inFlags, WZC_INTF_ENTRY* intf,
                                           DWORD* outFlags) {
    SimWzc* s = Sim();
    return s != nullptr ? s->RefreshInterface(inFlags, intf, outFlags) : kErrorInvalidHandle;
}
DWORD LUMARI_WINAPI SimWZCDeleteIntfObj(WZC_INTF_ENTRY* intf) {
    SimWzc* s = Sim();
    return s != nullptr ? s->DeleteIntfObj(intf) : kErrorInvalidHandle;
}
// The EAPOL parameters are outside what the simulated PC models.
DWORD LUMARI_WINAPI SimWZCEapolGetInterfaceParams(LPWSTR, WZC_EAPOL_INTF_PARAMS*) {
    return kErrorCallNotImplemented;
}
DWORD LUMARI_WINAPI SimWZCEapolSetInterfaceParams(LPWSTR, WZC_EAPOL_INTF_PARAMS*) {
    return kErrorCallNotImplemented;
}

}  // namespace

SimWzc::SimWzc(SimFaults& faults, ModuleRegistry& modules, SimOs& os)
    : m_faults(faults), m_modules(modules), m_os(os) {}

SimWzc* SimWzc::Current() {
    SimPc* pc = SimPc::Current();
    return pc != nullptr ? &pc->wzc : nullptr;
}

void SimWzc::Install() {
    m_modules.Add(
        L"wzcsapi.dll",
        {
            {"WZCQueryInterface", ModuleRegistry::Fn(&SimWZCQueryInterface)},
            {"WZCSetInterface", ModuleRegistry::Fn(&SimWZCSetInterface)},
            {"WZCDeleteIntfObj", ModuleRegistry::Fn(&SimWZCDeleteIntfObj)},
            {"WZCRefreshInterface", ModuleRegistry::Fn(&SimWZCRefreshInterface)},
            {"WZCEnumInterfaces", ModuleRegistry::Fn(&SimWZCEnumInterfaces)},
            {"WZCEapolGetInterfaceParams", ModuleRegistry::Fn(&SimWZCEapolGetInterfaceParams)},
            {"WZCEapolSetInterfaceParams", ModuleRegistry::Fn(&SimWZCEapolSetInterfaceParams)},
        });
}

void SimWzc::RemoveLibrary() {
    m_modules.Remove(L"wzcsapi.dll");
}

void SimWzc::AddInterface(const SimWzcInterface& iface) {
    std::lock_guard<std::mutex> g(m_lock);
    m_interfaces.push_back(iface);
}

bool SimWzc::GetInterface(const std::wstring& guidText, SimWzcInterface* out) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& i : m_interfaces) {
        if (SameText(i.guidText, guidText)) {
            *out = i;
            return true;
        }
    }
    return false;
}

std::vector<BYTE> SimWzc::MakeList(const std::vector<WZC_WLAN_CONFIG>& entries, ULONG index) {
    std::vector<BYTE> list(offsetof(WZC_802_11_CONFIG_LIST, Config) +
                           entries.size() * sizeof(WZC_WLAN_CONFIG));
    const ULONG count = static_cast<ULONG>(entries.size());
    std::memcpy(list.data(), &count, sizeof count);
    std::memcpy(list.data() + sizeof count, &index, sizeof index);
    if (!entries.empty())
        std::memcpy(list.data() + offsetof(WZC_802_11_CONFIG_LIST, Config), entries.data(),
                    entries.size() * sizeof(WZC_WLAN_CONFIG));
    return list;
}

std::vector<WZC_WLAN_CONFIG> SimWzc::Entries(const std::vector<BYTE>& list) {
    std::vector<WZC_WLAN_CONFIG> out;
    if (list.size() < offsetof(WZC_802_11_CONFIG_LIST, Config))
        return out;
    ULONG count = 0;
    std::memcpy(&count, list.data(), sizeof count);
    const std::size_t fit =
        (list.size() - offsetof(WZC_802_11_CONFIG_LIST, Config)) / sizeof(WZC_WLAN_CONFIG);
    out.resize(std::min<std::size_t>(count, fit));
    if (!out.empty())
        std::memcpy(out.data(), list.data() + offsetof(WZC_802_11_CONFIG_LIST, Config),
                    out.size() * sizeof(WZC_WLAN_CONFIG));
    return out;
}

WZC_WLAN_CONFIG SimWzc::Entry(const std::string& ssid, DWORD ctlFlags) {
    WZC_WLAN_CONFIG e{};
    e.Length = sizeof e;
    e.dwCtlFlags = ctlFlags;
    const std::size_t n = std::min<std::size_t>(ssid.size(), sizeof e.Ssid.Ssid);
    std::memcpy(e.Ssid.Ssid, ssid.data(), n);
    e.Ssid.SsidLength = static_cast<ULONG>(n);
    e.Privacy = kWzcPrivacyWepDisabled;
    e.InfrastructureMode = kWzcInfrastructureBss;
    return e;
}

std::size_t SimWzc::ListSlot() const {
    const OsVersion v = m_os.Version();
    const bool sp3 = v.major > 5 || (v.major == 5 && v.minor > 1) ||
                     (v.major == 5 && v.minor == 1 && v.servicePackMajor >= 3);
    return sp3 ? kWzcPreferredListSlotSp3 : kWzcPreferredListSlotBeforeSp3;
}

SimWzcInterface* SimWzc::Find(const WZC_INTF_ENTRY* intf) {
    if (intf == nullptr || intf->wszGuid == nullptr)
        return nullptr;
    const std::wstring guid = FromWide(intf->wszGuid);
    for (auto& i : m_interfaces)
        if (SameText(i.guidText, guid))
            return &i;
    return nullptr;
}

DWORD SimWzc::EnumInterfaces(WZC_INTFS_KEY_TABLE* table) {
    if (auto f = m_faults.Take("WZCEnumInterfaces"))
        return static_cast<DWORD>(*f);
    if (table == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    table->dwNumIntfs = static_cast<DWORD>(m_interfaces.size());
    table->pIntfs = nullptr;
    if (m_interfaces.empty())
        return 0;
    // One block: the entries, then their GUID texts, so one LocalFree releases all.
    std::size_t bytes = m_interfaces.size() * sizeof(WZC_INTF_KEY_ENTRY);
    for (const auto& i : m_interfaces)
        bytes += (i.guidText.size() + 1) * sizeof(WCHAR);
    auto* block = static_cast<BYTE*>(LocalAlloc(kLptr, bytes));
    if (block == nullptr)
        return kErrorNotEnoughMemory;
    auto* entries = reinterpret_cast<WZC_INTF_KEY_ENTRY*>(block);
    auto* text = reinterpret_cast<WCHAR*>(block + m_interfaces.size() * sizeof(WZC_INTF_KEY_ENTRY));
    for (std::size_t k = 0; k < m_interfaces.size(); ++k) {
        const std::size_t n = m_interfaces[k].guidText.size() + 1;
        TextCodec::ToWchars(m_interfaces[k].guidText, text, n);
        entries[k].wszGuid = text;
        text += n;
    }
    table->pIntfs = entries;
    return 0;
}

DWORD SimWzc::QueryInterface(DWORD inFlags, WZC_INTF_ENTRY* intf, DWORD* outFlags) {
    if (auto f = m_faults.Take("WZCQueryInterface"))
        return static_cast<DWORD>(*f);
    if (intf == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    SimWzcInterface* iface = Find(intf);
    if (iface == nullptr)
        return kErrorFileNotFound;
    DWORD served = 0;
    if ((inFlags & kWzcIntfPreferredList) != 0) {
        WZC_RAW_DATA& rd = intf->rdBuffers[ListSlot()];
        rd.dwDataLen = 0;
        rd.pData = nullptr;
        if (!iface->preferredList.empty()) {
            auto* copy = static_cast<BYTE*>(LocalAlloc(kLptr, iface->preferredList.size()));
            if (copy == nullptr)
                return kErrorNotEnoughMemory;
            std::memcpy(copy, iface->preferredList.data(), iface->preferredList.size());
            rd.dwDataLen = static_cast<DWORD>(iface->preferredList.size());
            rd.pData = copy;
        }
        served |= kWzcIntfPreferredList;
    }
    if (outFlags != nullptr)
        *outFlags = served;
    return 0;
}

DWORD SimWzc::SetInterface(DWORD inFlags, WZC_INTF_ENTRY* intf, DWORD* outFlags) {
    if (auto f = m_faults.Take("WZCSetInterface"))
        return static_cast<DWORD>(*f);
    if (intf == nullptr)
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    SimWzcInterface* iface = Find(intf);
    if (iface == nullptr)
        return kErrorFileNotFound;
    DWORD served = 0;
    if ((inFlags & kWzcIntfPreferredList) != 0) {
        const WZC_RAW_DATA& rd = intf->rdBuffers[ListSlot()];
        if (rd.dwDataLen == 0) {
            iface->preferredList.clear();
        } else {
            if (rd.pData == nullptr || rd.dwDataLen < offsetof(WZC_802_11_CONFIG_LIST, Config))
                return kErrorInvalidParameter;
            ULONG count = 0;
            std::memcpy(&count, rd.pData, sizeof count);
            if (offsetof(WZC_802_11_CONFIG_LIST, Config) +
                    static_cast<std::size_t>(count) * sizeof(WZC_WLAN_CONFIG) >
                rd.dwDataLen)
                return kErrorInvalidParameter;
            iface->preferredList.assign(rd.pData, rd.pData + rd.dwDataLen);
        }
        served |= kWzcIntfPreferredList;
    }
    if (outFlags != nullptr)
        *outFlags = served;
    return 0;
}

DWORD SimWzc::RefreshInterface(DWORD, WZC_INTF_ENTRY* intf, DWORD* outFlags) {
    if (auto f = m_faults.Take("WZCRefreshInterface"))
        return static_cast<DWORD>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    if (Find(intf) == nullptr)
        return kErrorFileNotFound;
    if (outFlags != nullptr)
        *outFlags = 0;
    return 0;
}

DWORD SimWzc::DeleteIntfObj(WZC_INTF_ENTRY* intf) {
    if (intf == nullptr)
        return kErrorInvalidParameter;
    // Releases the buffers a query handed out.
    for (WZC_RAW_DATA& rd : intf->rdBuffers) {
        if (rd.pData != nullptr)
            LocalFree(rd.pData);
        rd.pData = nullptr;
        rd.dwDataLen = 0;
    }
    return 0;
}

}  // namespace plat
