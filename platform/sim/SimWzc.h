// The simulated PC's Wireless Zero Configuration library (wzcsapi.dll, XP):
// interfaces named by their GUID text, each with a preferred-network list held
// as the raw bytes of the library's list record (a count, an index and
// 712-byte entries). The interface record's layout follows the simulated
// Windows version: the list sits in the fourth counted buffer before XP
// service pack 3 and in the fifth from service pack 3 on.
//
// Buffers handed out are LocalAlloc blocks the caller releases with LocalFree.
// The library is absent until a test installs it (Windows 7 has none).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/records/WzcTypes.h"

namespace plat {

class SimFaults;
class ModuleRegistry;
class SimOs;

struct SimWzcInterface {
    std::wstring guidText;  // "{...}"
    std::wstring description;
    std::vector<BYTE> preferredList;  // empty: the interface has no list
};

class SimWzc {
public:
    SimWzc(SimFaults& faults, ModuleRegistry& modules, SimOs& os);

    void Install();
    void RemoveLibrary();
    void AddInterface(const SimWzcInterface& iface);
    bool GetInterface(const std::wstring& guidText, SimWzcInterface* out) const;

    // Builds and reads the list record.
    static std::vector<BYTE> MakeList(const std::vector<WZC_WLAN_CONFIG>& entries, ULONG index);
    static std::vector<WZC_WLAN_CONFIG> Entries(const std::vector<BYTE>& list);
    static WZC_WLAN_CONFIG Entry(const std::string& ssid, DWORD ctlFlags);

    // The entry points (called through the module table).
    DWORD EnumInterfaces(WZC_INTFS_KEY_TABLE* table);
    DWORD QueryInterface(DWORD inFlags, WZC_INTF_ENTRY* intf, DWORD* outFlags);
    DWORD SetInterface(DWORD inFlags, WZC_INTF_ENTRY* intf, DWORD* outFlags);
    DWORD RefreshInterface(DWORD inFlags, WZC_INTF_ENTRY* intf, DWORD* outFlags);
    DWORD DeleteIntfObj(WZC_INTF_ENTRY* intf);

    static SimWzc* Current();

private:
    std::size_t ListSlot() const;
    SimWzcInterface* Find(const WZC_INTF_ENTRY* intf);

    SimFaults& m_faults;
    ModuleRegistry& m_modules;
    SimOs& m_os;
    mutable std::mutex m_lock;
    std::vector<SimWzcInterface> m_interfaces;
};

}  // namespace plat
