// The records and entry points of Wireless Zero Configuration (wzcsapi.dll,
// Windows XP SP2 and later), declared with their Windows layouts. The program
// is a 32-bit process on XP; the byte offsets quoted below are those of the
// 32-bit library, and the records keep natural alignment so that a 64-bit
// build lays them out consistently for its own stand-in of the library.
#pragma once

#include <cstddef>

#include "WinTypes.h"

namespace plat {

// A counted buffer owned by the library's caller after a query (LocalAlloc'ed).
struct WZC_RAW_DATA {
    DWORD dwDataLen;
    BYTE* pData;
};

// INTF_KEY_ENTRY: one interface, named by its GUID text with braces.
struct WZC_INTF_KEY_ENTRY {
    LPWSTR wszGuid;
};

// INTFS_KEY_TABLE, filled by WZCEnumInterfaces. The caller releases pIntfs
// with LocalFree.
struct WZC_INTFS_KEY_TABLE {
    DWORD dwNumIntfs;
    WZC_INTF_KEY_ENTRY* pIntfs;
};

// The interface record (INTF_ENTRY): 92 bytes in the 32-bit library. Its
// counted buffers sit in one block of six; the preferred-network list is the
// fourth of them (byte 68) before XP service pack 3 and the fifth (byte 76)
// from service pack 3 on.
struct WZC_INTF_ENTRY {
    LPWSTR wszGuid;
    LPWSTR wszDescr;
    ULONG ulMediaState;
    ULONG ulMediaType;
    ULONG ulPhysicalMediaType;
    LONG nInfraMode;
    LONG nAuthMode;
    LONG nWepStatus;
    DWORD dwCtlFlags;
    DWORD dwCapabilities;
    DWORD dwReserved;
    WZC_RAW_DATA rdBuffers[6];
};
constexpr std::size_t kWzcPreferredListSlotBeforeSp3 = 3;
constexpr std::size_t kWzcPreferredListSlotSp3 = 4;
#if !defined(_WIN64) && !defined(__LP64__)
static_assert(sizeof(WZC_INTF_ENTRY) == 92);
static_assert(offsetof(WZC_INTF_ENTRY, rdBuffers) + 3 * sizeof(WZC_RAW_DATA) == 68);
static_assert(offsetof(WZC_INTF_ENTRY, rdBuffers) + 4 * sizeof(WZC_RAW_DATA) == 76);
#else
static_assert(sizeof(WZC_INTF_ENTRY) == 152);
#endif

// Field mask bit of WZCQueryInterface / WZCSetInterface: the preferred list.
constexpr DWORD kWzcIntfPreferredList = 0x40000;

// NDIS_802_11_SSID.
struct WZC_NDIS_SSID {
    ULONG SsidLength;
    UCHAR Ssid[32];
};
static_assert(sizeof(WZC_NDIS_SSID) == 36);

// NDIS_802_11_CONFIGURATION with its frequency-hopping part.
struct WZC_NDIS_CONFIGURATION {
    ULONG Length;
    ULONG BeaconPeriod;
    ULONG ATIMWindow;
    ULONG DSConfig;
    ULONG FHLength;
    ULONG FHHopPattern;
    ULONG FHHopSet;
    ULONG FHDwellTime;
};
static_assert(sizeof(WZC_NDIS_CONFIGURATION) == 32);

// Control flags of a preferred-list entry.
constexpr DWORD kWzcCtlKeyIndexPresent = 0x0001;  // the key index and material are set
constexpr DWORD kWzcCtlWepKeyPresent = 0x0002;
constexpr DWORD kWzcCtlVolatile = 0x0200;
constexpr DWORD kWzcCtlPolicy = 0x0400;

// Privacy values (NDIS_802_11_WEP_STATUS of the entry).
constexpr ULONG kWzcPrivacyWepEnabled = 0;
constexpr ULONG kWzcPrivacyWepDisabled = 1;

// NDIS_802_11_NETWORK_INFRASTRUCTURE values.
constexpr DWORD kWzcInfrastructureIbss = 0;
constexpr DWORD kWzcInfrastructureBss = 1;

// One preferred network (WZC_WLAN_CONFIG): 712 bytes. The fields after the
// authentication mode (user data, EAPOL parameters and the rest) are kept as
// the library returns them.
struct WZC_WLAN_CONFIG {
    ULONG Length;
    DWORD dwCtlFlags;
    UCHAR MacAddress[6];
    UCHAR Reserved[2];
    WZC_NDIS_SSID Ssid;
    ULONG Privacy;
    LONG Rssi;
    DWORD NetworkTypeInUse;
    WZC_NDIS_CONFIGURATION Configuration;
    DWORD InfrastructureMode;
    UCHAR SupportedRates[8];
    ULONG KeyIndex;
    ULONG KeyLength;
    UCHAR KeyMaterial[32];
    DWORD AuthenticationMode;
    BYTE rest[712 - 152];
};
static_assert(offsetof(WZC_WLAN_CONFIG, Ssid) == 16);
static_assert(offsetof(WZC_WLAN_CONFIG, Privacy) == 52);
static_assert(offsetof(WZC_WLAN_CONFIG, InfrastructureMode) == 96);
static_assert(offsetof(WZC_WLAN_CONFIG, KeyIndex) == 108);
static_assert(offsetof(WZC_WLAN_CONFIG, KeyMaterial) == 116);
static_assert(sizeof(WZC_WLAN_CONFIG) == 712);

// WZC_802_11_CONFIG_LIST: the preferred list carried in the interface record.
struct WZC_802_11_CONFIG_LIST {
    ULONG NumberOfItems;
    ULONG Index;
    WZC_WLAN_CONFIG Config[1];  // NumberOfItems entries follow
};
static_assert(offsetof(WZC_802_11_CONFIG_LIST, Config) == 8);

// The EAPOL interface parameters are passed through by pointer only; the
// program never calls the functions that take them.
struct WZC_EAPOL_INTF_PARAMS;

using PFN_WZCQueryInterface = DWORD(LUMARI_WINAPI*)(LPWSTR serverAddr, DWORD inFlags,
                                                    WZC_INTF_ENTRY* intf, DWORD* outFlags);
using PFN_WZCSetInterface = DWORD(LUMARI_WINAPI*)(LPWSTR serverAddr, DWORD inFlags,
                                                  WZC_INTF_ENTRY* intf, DWORD* outFlags);
using PFN_WZCDeleteIntfObj = DWORD(LUMARI_WINAPI*)(WZC_INTF_ENTRY* intf);
using PFN_WZCRefreshInterface = DWORD(LUMARI_WINAPI*)(LPWSTR serverAddr, DWORD inFlags,
                                                      WZC_INTF_ENTRY* intf, DWORD* outFlags);
using PFN_WZCEnumInterfaces = DWORD(LUMARI_WINAPI*)(LPWSTR serverAddr, WZC_INTFS_KEY_TABLE* intfs);
using PFN_WZCEapolGetInterfaceParams = DWORD(LUMARI_WINAPI*)(LPWSTR serverAddr,
                                                             WZC_EAPOL_INTF_PARAMS* params);
using PFN_WZCEapolSetInterfaceParams = DWORD(LUMARI_WINAPI*)(LPWSTR serverAddr,
                                                             WZC_EAPOL_INTF_PARAMS* params);

}  // namespace plat
