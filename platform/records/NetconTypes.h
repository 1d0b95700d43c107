// NETCON_PROPERTIES as the connection folder hands it out, with its Windows
// layout, and netshell.dll's function that frees it.
#pragma once

#include "WinTypes.h"

namespace plat {

// NETCON_STATUS values the engine distinguishes.
constexpr DWORD kNcsDisconnected = 0;
constexpr DWORD kNcsConnected = 2;
constexpr DWORD kNcsMediaDisconnected = 7;

// NETCON_MEDIATYPE
constexpr DWORD kNcmNone = 0;
constexpr DWORD kNcmLan = 3;
constexpr DWORD kNcmPhone = 4;
constexpr DWORD kNcmTunnel = 5;
constexpr DWORD kNcmPppoe = 6;

struct NETCON_PROPERTIES {
    GUID guidId;
    LPWSTR pszwName;
    LPWSTR pszwDeviceName;
    DWORD Status;     // NETCON_STATUS
    DWORD MediaType;  // NETCON_MEDIATYPE
    DWORD dwCharacter;
    GUID clsidThisObject;
    GUID clsidUiObject;
};

// netshell.dll!NcFreeNetconProperties
using NcFreeNetconPropertiesFn = void(LUMARI_WINAPI*)(NETCON_PROPERTIES* properties);

}  // namespace plat
