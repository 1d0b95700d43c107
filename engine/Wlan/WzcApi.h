// The run-time binding of Wireless Zero Configuration (wzcsapi.dll), which runs
// the wireless adapters on Windows XP. Loaded by name like the Native Wi-Fi
// library; its callers use the bound functions directly.
#pragma once

#include "platform/records/WinTypes.h"
#include "platform/records/WzcTypes.h"

struct WzcApi {
    WzcApi() = default;
    // Frees the library if the owner did not.
    ~WzcApi();
    WzcApi(const WzcApi&) = delete;
    WzcApi& operator=(const WzcApi&) = delete;

    // Loads wzcsapi.dll and binds its functions; true when the library loaded.
    // A loaded record is kept as it is.
    bool Load();
    // Frees the library and clears the record.
    void Unload();
    bool IsLoaded() const { return hModule != nullptr; }

    // The record, in binding order.
    plat::HMODULE hModule = nullptr;
    plat::PFN_WZCQueryInterface WZCQueryInterface = nullptr;
    plat::PFN_WZCSetInterface WZCSetInterface = nullptr;
    plat::PFN_WZCDeleteIntfObj WZCDeleteIntfObj = nullptr;
    plat::PFN_WZCRefreshInterface WZCRefreshInterface = nullptr;
    plat::PFN_WZCEnumInterfaces WZCEnumInterfaces = nullptr;
    plat::PFN_WZCEapolGetInterfaceParams WZCEapolGetInterfaceParams = nullptr;
    plat::PFN_WZCEapolSetInterfaceParams WZCEapolSetInterfaceParams = nullptr;
};
