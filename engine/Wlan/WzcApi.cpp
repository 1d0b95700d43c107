#include "WzcApi.h"

#include <glog/logging.h>

#include "platform/winapi/Win32Api.h"

WzcApi::~WzcApi() {
    Unload();
}

bool WzcApi::Load() {
    // Loading twice would take a second reference that Unload never gives back.
    if (hModule != nullptr)
        return true;
    hModule = plat::LoadLibraryW(L"wzcsapi.dll");
    if (hModule == nullptr) {
        LOG(ERROR) << "load wzcsapi.dll failed: " << plat::GetLastError();
        return false;
    }
    using plat::GetProcAddressAs;
    WZCQueryInterface = GetProcAddressAs<plat::PFN_WZCQueryInterface>(hModule, "WZCQueryInterface");
    WZCSetInterface = GetProcAddressAs<plat::PFN_WZCSetInterface>(hModule, "WZCSetInterface");
    WZCDeleteIntfObj = GetProcAddressAs<plat::PFN_WZCDeleteIntfObj>(hModule, "WZCDeleteIntfObj");
    WZCRefreshInterface =
        GetProcAddressAs<plat::PFN_WZCRefreshInterface>(hModule, "WZCRefreshInterface");
    WZCEnumInterfaces = GetProcAddressAs<plat::PFN_WZCEnumInterfaces>(hModule, "WZCEnumInterfaces");
    WZCEapolGetInterfaceParams = GetProcAddressAs<plat::PFN_WZCEapolGetInterfaceParams>(
        hModule, "WZCEapolGetInterfaceParams");
    WZCEapolSetInterfaceParams = GetProcAddressAs<plat::PFN_WZCEapolSetInterfaceParams>(
        hModule, "WZCEapolSetInterfaceParams");
    return true;
}

void WzcApi::Unload() {
    if (hModule != nullptr)
        plat::FreeLibrary(hModule);
    hModule = nullptr;
    WZCQueryInterface = nullptr;
    WZCSetInterface = nullptr;
    WZCDeleteIntfObj = nullptr;
    WZCRefreshInterface = nullptr;
    WZCEnumInterfaces = nullptr;
    WZCEapolGetInterfaceParams = nullptr;
    WZCEapolSetInterfaceParams = nullptr;
}
