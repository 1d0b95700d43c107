// The records and entry points of Ralink's soft-AP library RAAPAPI.dll, as the
// project declares them. The library is loaded at run time and bound by name;
// every backend (the simulated PC included) uses these same declarations.
//
// Layouts (byte offsets):
//
// Adapter list, filled by RAAP_GetAvailableAdapters:
//     0   ULONG        number of adapters (also written when the buffer is too small)
//     4   RAAP_ADAPTER entries, 1300 bytes each
//
// RAAP_ADAPTER (1300 bytes):
//     0   char[256]    device name ("\DEVICE\{guid}"), NUL-terminated
//     256 WCHAR[100]   adapter description, UTF-16
//     456 WCHAR[40]    interface GUID in registry form "{...}", UTF-16, NUL-terminated
//     536 UCHAR[6]     permanent MAC address
//     542 UCHAR[758]   vendor data
//
// RAAP_AP_CONFIG (552 bytes), read with RAAP_ReadConfigData and written with
// RAAP_WriteandSetConfigData:
//     0   UCHAR[32]    SSID bytes, zero-filled
//     32  ULONG        SSID length
//     36  ULONG        authentication (0 open, 7 WPA2-PSK)
//     40  ULONG        encryption (1 none, 6 AES)
//     44  UCHAR[64]    pass phrase bytes, zero-filled
//     108 ULONG        pass phrase length
//     112 ULONG        PHY flags: bits 0-3 wireless mode (0 B/G, 2 A, 8 A/N, 9 B/G/N),
//                      bits 4-31 vendor flags
//     116 ULONG        beacon period in time units (100)
//     120 ULONG        station idle time in seconds (60)
//     124 ULONG        hide SSID (0 or 1)
//     128 ULONG        frequency in kHz
//     132 ULONG        channel (vendor's own, derived from the frequency)
//     136 ULONG        country region
//     140 ULONG        maximum number of stations
//     144 UCHAR[408]   vendor data
//
// Station tables: a ULONG count, then up to 32 entries. The 802.11n table
// (RAAP_QueryMacTable, 388 bytes) has 12-byte entries, the older one
// (RAAP_QueryMacTableNOT_11N, 260 bytes) 8-byte entries. In both, bytes 0-5
// are the MAC address, byte 6 the association id and byte 7 the association
// state (1 = associated).
#pragma once

#include <cstddef>

#include "WinTypes.h"

namespace plat {

// Results of the library's functions.
constexpr int kRaapOk = 1;
constexpr int kRaapAlreadyInitialized = -107;
constexpr int kRaapBufferTooSmall = -10;
constexpr int kRaapFailed = -1;

// Operation modes.
constexpr int kRaapOpModeStation = 0;
constexpr int kRaapOpModeAp = 1;

// Device models whose firmware only has the table without 802.11n fields.
constexpr ULONG kRaapModelRt2500Usb = 2;
constexpr ULONG kRaapModelRt2570Usb = 3;
constexpr ULONG kRaapModelRt2870Usb = 5;
constexpr ULONG kRaapModelRt3070Usb = 6;

// Authentication, encryption and wireless modes of the AP configuration.
constexpr ULONG kRaapAuthOpen = 0;
constexpr ULONG kRaapAuthWpa2Psk = 7;
constexpr ULONG kRaapEncryptNone = 1;
constexpr ULONG kRaapEncryptAes = 6;
constexpr ULONG kRaapModeBg = 0;
constexpr ULONG kRaapModeA = 2;
constexpr ULONG kRaapModeAn = 8;
constexpr ULONG kRaapModeBgn = 9;
constexpr ULONG kRaapWirelessModeMask = 0x0F;

constexpr std::size_t kRaapAdapterListHeader = 4;
constexpr std::size_t kRaapMaxStations = 32;

struct RAAP_ADAPTER {
    char DeviceName[256];
    WCHAR Description[100];
    WCHAR InterfaceGuid[40];
    UCHAR MacAddress[6];
    UCHAR VendorData[758];
};
static_assert(sizeof(RAAP_ADAPTER) == 1300);
static_assert(offsetof(RAAP_ADAPTER, InterfaceGuid) == 456);

struct RAAP_AP_CONFIG {
    UCHAR Ssid[32];
    ULONG SsidLength;
    ULONG AuthMode;
    ULONG EncrypType;
    UCHAR Key[64];
    ULONG KeyLength;
    ULONG PhyFlags;
    ULONG BeaconPeriod;
    ULONG StationIdleTime;
    ULONG HideSsid;
    ULONG Frequency;
    ULONG Channel;
    ULONG CountryRegion;
    ULONG MaxStations;
    UCHAR VendorData[408];
};
static_assert(sizeof(RAAP_AP_CONFIG) == 552);
static_assert(offsetof(RAAP_AP_CONFIG, KeyLength) == 108);
static_assert(offsetof(RAAP_AP_CONFIG, Frequency) == 128);

struct RAAP_MAC_ENTRY {
    UCHAR Addr[6];
    UCHAR Aid;
    UCHAR Associated;
    UCHAR PowerSave;
    UCHAR MimoPowerSave;
    USHORT TxRate;
};
static_assert(sizeof(RAAP_MAC_ENTRY) == 12);

struct RAAP_MAC_TABLE {
    ULONG Num;
    RAAP_MAC_ENTRY Entry[kRaapMaxStations];
};
static_assert(sizeof(RAAP_MAC_TABLE) == 388);

struct RAAP_MAC_ENTRY_NOT_11N {
    UCHAR Addr[6];
    UCHAR Aid;
    UCHAR Associated;
};
static_assert(sizeof(RAAP_MAC_ENTRY_NOT_11N) == 8);

struct RAAP_MAC_TABLE_NOT_11N {
    ULONG Num;
    RAAP_MAC_ENTRY_NOT_11N Entry[kRaapMaxStations];
};
static_assert(sizeof(RAAP_MAC_TABLE_NOT_11N) == 260);

// The channels a country region allows in one band.
struct RAAP_CHANNEL_LIST {
    ULONG Count;
    UCHAR Channels[60];
};
static_assert(sizeof(RAAP_CHANNEL_LIST) == 64);

// The 30 entry points, in the order the manager binds them.
using PFN_RAAP_Initial = int(LUMARI_WINAPI*)(const char* application, int reserved);
using PFN_RAAP_DeInitial = void(LUMARI_WINAPI*)();
using PFN_RAAP_FrequencyToChannel = ULONG(LUMARI_WINAPI*)(ULONG frequencyKHz);
using PFN_RAAP_ChannelToFrequency = ULONG(LUMARI_WINAPI*)(ULONG channel);
using PFN_RAAP_GetAvailableAdapters = int(LUMARI_WINAPI*)(void* list, int capacity);
using PFN_RAAP_AdapterSelect = int(LUMARI_WINAPI*)(const RAAP_ADAPTER* adapter);
using PFN_RAAP_IsDeviceExist = int(LUMARI_WINAPI*)(const RAAP_ADAPTER* adapter);
using PFN_RAAP_Is80211ASupport = int(LUMARI_WINAPI*)();
using PFN_RAAP_Is80211NSupport = int(LUMARI_WINAPI*)();
using PFN_RAAP_QueryOPMode = int(LUMARI_WINAPI*)();
using PFN_RAAP_SetOPMode = int(LUMARI_WINAPI*)(int mode);
using PFN_RAAP_IsZeroConfig = int(LUMARI_WINAPI*)();
using PFN_RAAP_StopXpZeroConfig = int(LUMARI_WINAPI*)();
using PFN_RAAP_GetCurrentDeviceModel = int(LUMARI_WINAPI*)(ULONG* model);
using PFN_RAAP_QueryHTStatus = int(LUMARI_WINAPI*)(ULONG* bandwidth, ULONG* mcs);
using PFN_RAAP_QueryApWLANStatus = int(LUMARI_WINAPI*)(ULONG* running);
using PFN_RAAP_QueryMacTableNOT_11N = int(LUMARI_WINAPI*)(RAAP_MAC_TABLE_NOT_11N* table);
using PFN_RAAP_QueryMacTable = int(LUMARI_WINAPI*)(RAAP_MAC_TABLE* table);
using PFN_RAAP_QueryCountryRegion = int(LUMARI_WINAPI*)(ULONG* regionBg, ULONG* regionA);
using PFN_RAAP_GetCountryChannel = int(LUMARI_WINAPI*)(RAAP_CHANNEL_LIST* bg, RAAP_CHANNEL_LIST* a,
                                                       ULONG* regionBg, ULONG* regionA);
using PFN_RAAP_ReadConfigData = int(LUMARI_WINAPI*)(RAAP_AP_CONFIG* config);
using PFN_RAAP_WriteandSetConfigData = int(LUMARI_WINAPI*)(RAAP_AP_CONFIG* config);
using PFN_RAAP_QueryInitialState = int(LUMARI_WINAPI*)();
using PFN_RAAP_SetConfigData = int(LUMARI_WINAPI*)(RAAP_AP_CONFIG* config);
using PFN_RAAP_QueryEventTable = int(LUMARI_WINAPI*)(void* table, ULONG* size);
using PFN_RAAP_RestoreStationSetting = int(LUMARI_WINAPI*)();
using PFN_RAAP_InitAPSettings = int(LUMARI_WINAPI*)();
using PFN_RAAP_WlanDeleteAllRalinkWindowsProfiles = int(LUMARI_WINAPI*)();
using PFN_RAAP_SetVistaWindowsProfile = int(LUMARI_WINAPI*)(const UCHAR* ssid, ULONG length);
using PFN_RAAP_DeleteVistaWindowsProfile = int(LUMARI_WINAPI*)();

}  // namespace plat
