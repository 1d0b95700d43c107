// The records and entry points of the Native Wi-Fi library (wlanapi.dll), declared
// with their documented Windows layouts so that the binding, the simulated PC and
// the Linux implementation of the same entry points share one declaration.
// Enumerations of the library are 32-bit values; they are kept as DWORD-sized
// types with named constants so that records can be filled byte for byte.
#pragma once

#include <cstddef>

#include "WinTypes.h"

namespace plat {

using WLAN_INTF_OPCODE = DWORD;
using WLAN_OPCODE_VALUE_TYPE = DWORD;
using WLAN_INTERFACE_STATE = DWORD;
using DOT11_RADIO_STATE = DWORD;
using DOT11_BSS_TYPE = DWORD;
using DOT11_PHY_TYPE = DWORD;
using DOT11_AUTH_ALGORITHM = DWORD;
using DOT11_CIPHER_ALGORITHM = DWORD;
using WLAN_CONNECTION_MODE = DWORD;
using WLAN_REASON_CODE = DWORD;
using WLAN_SIGNAL_QUALITY = ULONG;
using WLAN_HOSTED_NETWORK_STATE = DWORD;
using WLAN_HOSTED_NETWORK_REASON = DWORD;
using WLAN_HOSTED_NETWORK_OPCODE = DWORD;
using WLAN_HOSTED_NETWORK_PEER_AUTH_STATE = DWORD;
using WLAN_INTERFACE_TYPE = DWORD;

// Client versions of WlanOpenHandle.
constexpr DWORD kWlanClientVersionXp = 1;
constexpr DWORD kWlanClientVersionVista = 2;

// WLAN_INTF_OPCODE values.
constexpr WLAN_INTF_OPCODE kWlanIntfOpcodeAutoconfEnabled = 1;
constexpr WLAN_INTF_OPCODE kWlanIntfOpcodeRadioState = 4;
constexpr WLAN_INTF_OPCODE kWlanIntfOpcodeBssType = 5;
constexpr WLAN_INTF_OPCODE kWlanIntfOpcodeInterfaceState = 6;
constexpr WLAN_INTF_OPCODE kWlanIntfOpcodeCurrentOperationMode = 12;
constexpr WLAN_INTF_OPCODE kWlanIntfOpcodeHostedNetworkCapable = 15;

// WLAN_OPCODE_VALUE_TYPE values.
constexpr WLAN_OPCODE_VALUE_TYPE kWlanOpcodeValueTypeQueryOnly = 0;
constexpr WLAN_OPCODE_VALUE_TYPE kWlanOpcodeValueTypeSetByGroupPolicy = 1;
constexpr WLAN_OPCODE_VALUE_TYPE kWlanOpcodeValueTypeSetByUser = 2;

// WLAN_INTERFACE_STATE values.
constexpr WLAN_INTERFACE_STATE kWlanInterfaceNotReady = 0;
constexpr WLAN_INTERFACE_STATE kWlanInterfaceConnected = 1;
constexpr WLAN_INTERFACE_STATE kWlanInterfaceAdHocNetworkFormed = 2;
constexpr WLAN_INTERFACE_STATE kWlanInterfaceDisconnecting = 3;
constexpr WLAN_INTERFACE_STATE kWlanInterfaceDisconnected = 4;

// DOT11_RADIO_STATE values.
constexpr DOT11_RADIO_STATE kDot11RadioStateUnknown = 0;
constexpr DOT11_RADIO_STATE kDot11RadioStateOn = 1;
constexpr DOT11_RADIO_STATE kDot11RadioStateOff = 2;

// DOT11_BSS_TYPE values.
constexpr DOT11_BSS_TYPE kDot11BssTypeInfrastructure = 1;
constexpr DOT11_BSS_TYPE kDot11BssTypeIndependent = 2;
constexpr DOT11_BSS_TYPE kDot11BssTypeAny = 3;

// Operation modes (DOT11_OPERATION_MODE_*).
constexpr ULONG kDot11OperationModeExtensibleStation = 0x00000001;
constexpr ULONG kDot11OperationModeNetworkMonitor = 0x80000000;

// DOT11_PHY_TYPE values.
constexpr DOT11_PHY_TYPE kDot11PhyTypeHt = 7;

// WLAN_CONNECTION_MODE values.
constexpr WLAN_CONNECTION_MODE kWlanConnectionModeProfile = 0;
constexpr WLAN_CONNECTION_MODE kWlanConnectionModeTemporaryProfile = 1;

// Notification sources (bit mask) and codes.
constexpr DWORD kWlanNotificationSourceNone = 0;
constexpr DWORD kWlanNotificationSourceOnex = 0x04;
constexpr DWORD kWlanNotificationSourceAcm = 0x08;
constexpr DWORD kWlanNotificationSourceMsm = 0x10;
constexpr DWORD kWlanNotificationSourceSecurity = 0x20;
constexpr DWORD kWlanNotificationSourceIhv = 0x40;
constexpr DWORD kWlanNotificationSourceHnwk = 0x80;
constexpr DWORD kWlanNotificationSourceAll = 0xFFFF;

constexpr DWORD kWlanNotificationAcmConnectionComplete = 10;
constexpr DWORD kWlanNotificationAcmDisconnected = 21;
constexpr DWORD kWlanHostedNetworkStateChange = 0x1000;
constexpr DWORD kWlanHostedNetworkPeerStateChange = 0x1001;
constexpr DWORD kWlanHostedNetworkRadioStateChange = 0x1002;

// WLAN_HOSTED_NETWORK_STATE values.
constexpr WLAN_HOSTED_NETWORK_STATE kWlanHostedNetworkUnavailable = 0;
constexpr WLAN_HOSTED_NETWORK_STATE kWlanHostedNetworkIdle = 1;
constexpr WLAN_HOSTED_NETWORK_STATE kWlanHostedNetworkActive = 2;

// WLAN_HOSTED_NETWORK_PEER_AUTH_STATE values.
constexpr WLAN_HOSTED_NETWORK_PEER_AUTH_STATE kWlanHostedNetworkPeerStateInvalid = 0;
constexpr WLAN_HOSTED_NETWORK_PEER_AUTH_STATE kWlanHostedNetworkPeerStateAuthenticated = 1;

// WLAN_HOSTED_NETWORK_OPCODE values.
constexpr WLAN_HOSTED_NETWORK_OPCODE kWlanHostedNetworkOpcodeConnectionSettings = 0;
constexpr WLAN_HOSTED_NETWORK_OPCODE kWlanHostedNetworkOpcodeSecuritySettings = 1;
constexpr WLAN_HOSTED_NETWORK_OPCODE kWlanHostedNetworkOpcodeStationProfile = 2;
constexpr WLAN_HOSTED_NETWORK_OPCODE kWlanHostedNetworkOpcodeEnable = 3;

// WLAN_HOSTED_NETWORK_REASON values the project names.
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonSuccess = 0;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonUnspecified = 1;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonBadParameters = 2;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonServiceShuttingDown = 3;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonInterfaceAvailable = 11;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonInterfaceUnavailable = 12;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonMiniportStopped = 13;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonMiniportStarted = 14;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonUserAction = 17;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonPeerArrived = 20;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonPeerDeparted = 21;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonServiceUnavailable = 24;
constexpr WLAN_HOSTED_NETWORK_REASON kWlanHostedNetworkReasonPropertiesChange = 26;

// Size limits.
constexpr std::size_t kWlanMaxNameLength = 256;
constexpr std::size_t kDot11SsidMaxLength = 32;
constexpr std::size_t kWlanMaxPhyIndex = 64;
constexpr std::size_t kWlanMaxPhyTypeNumber = 8;

using DOT11_MAC_ADDRESS = UCHAR[6];

struct WLAN_INTERFACE_INFO {
    GUID InterfaceGuid;
    WCHAR strInterfaceDescription[kWlanMaxNameLength];
    WLAN_INTERFACE_STATE isState;
};
static_assert(sizeof(WLAN_INTERFACE_INFO) == 532);

struct WLAN_INTERFACE_INFO_LIST {
    DWORD dwNumberOfItems;
    DWORD dwIndex;
    WLAN_INTERFACE_INFO InterfaceInfo[1];  // dwNumberOfItems entries follow
};
static_assert(offsetof(WLAN_INTERFACE_INFO_LIST, InterfaceInfo) == 8);

struct WLAN_PHY_RADIO_STATE {
    DWORD dwPhyIndex;
    DOT11_RADIO_STATE dot11SoftwareRadioState;
    DOT11_RADIO_STATE dot11HardwareRadioState;
};
static_assert(sizeof(WLAN_PHY_RADIO_STATE) == 12);

struct WLAN_RADIO_STATE {
    DWORD dwNumberOfPhys;
    WLAN_PHY_RADIO_STATE PhyRadioState[kWlanMaxPhyIndex];
};
static_assert(sizeof(WLAN_RADIO_STATE) == 4 + 64 * 12);
static_assert(offsetof(WLAN_RADIO_STATE, PhyRadioState) == 4);

struct DOT11_SSID {
    ULONG uSSIDLength;
    UCHAR ucSSID[kDot11SsidMaxLength];
};
static_assert(sizeof(DOT11_SSID) == 36);

// NDIS_OBJECT_HEADER followed by the BSSID entries.
struct DOT11_BSSID_LIST {
    UCHAR HeaderType;
    UCHAR HeaderRevision;
    USHORT HeaderSize;
    ULONG uNumOfEntries;
    ULONG uTotalNumOfEntries;
    DOT11_MAC_ADDRESS BSSIDs[1];
};
static_assert(sizeof(DOT11_BSSID_LIST) == 20);

struct WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS {
    DOT11_SSID hostedNetworkSSID;
    DWORD dwMaxNumberOfPeers;
};
static_assert(sizeof(WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS) == 40);

struct WLAN_HOSTED_NETWORK_SECURITY_SETTINGS {
    DOT11_AUTH_ALGORITHM dot11AuthAlgo;
    DOT11_CIPHER_ALGORITHM dot11CipherAlgo;
};
static_assert(sizeof(WLAN_HOSTED_NETWORK_SECURITY_SETTINGS) == 8);

struct WLAN_HOSTED_NETWORK_PEER_STATE {
    DOT11_MAC_ADDRESS PeerMacAddress;
    WLAN_HOSTED_NETWORK_PEER_AUTH_STATE PeerAuthState;  // at byte 8
};
static_assert(sizeof(WLAN_HOSTED_NETWORK_PEER_STATE) == 12);
static_assert(offsetof(WLAN_HOSTED_NETWORK_PEER_STATE, PeerAuthState) == 8);

struct WLAN_HOSTED_NETWORK_STATUS {
    WLAN_HOSTED_NETWORK_STATE HostedNetworkState;
    GUID IPDeviceID;
    DOT11_MAC_ADDRESS wlanHostedNetworkBSSID;
    DOT11_PHY_TYPE dot11PhyType;
    ULONG ulChannelFrequency;
    DWORD dwNumberOfPeers;
    WLAN_HOSTED_NETWORK_PEER_STATE PeerList[1];  // dwNumberOfPeers entries follow
};
static_assert(offsetof(WLAN_HOSTED_NETWORK_STATUS, IPDeviceID) == 4);
static_assert(offsetof(WLAN_HOSTED_NETWORK_STATUS, dot11PhyType) == 28);
static_assert(offsetof(WLAN_HOSTED_NETWORK_STATUS, dwNumberOfPeers) == 36);
static_assert(offsetof(WLAN_HOSTED_NETWORK_STATUS, PeerList) == 40);
static_assert(sizeof(WLAN_HOSTED_NETWORK_STATUS) == 52);

// Payload of kWlanHostedNetworkStateChange.
struct WLAN_HOSTED_NETWORK_STATE_CHANGE {
    WLAN_HOSTED_NETWORK_STATE OldState;
    WLAN_HOSTED_NETWORK_STATE NewState;
    WLAN_HOSTED_NETWORK_REASON StateChangeReason;
};
static_assert(sizeof(WLAN_HOSTED_NETWORK_STATE_CHANGE) == 12);

// Payload of kWlanHostedNetworkRadioStateChange.
struct WLAN_HOSTED_NETWORK_RADIO_STATE {
    DOT11_RADIO_STATE dot11SoftwareRadioState;
    DOT11_RADIO_STATE dot11HardwareRadioState;
};
static_assert(sizeof(WLAN_HOSTED_NETWORK_RADIO_STATE) == 8);

// Payload of kWlanHostedNetworkPeerStateChange.
struct WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE {
    WLAN_HOSTED_NETWORK_PEER_STATE OldState;
    WLAN_HOSTED_NETWORK_PEER_STATE NewState;
    WLAN_HOSTED_NETWORK_REASON PeerStateChangeReason;
};
static_assert(sizeof(WLAN_HOSTED_NETWORK_DATA_PEER_STATE_CHANGE) == 28);

struct WLAN_NOTIFICATION_DATA {
    DWORD NotificationSource;
    DWORD NotificationCode;
    GUID InterfaceGuid;
    DWORD dwDataSize;
    PVOID pData;
};
static_assert(offsetof(WLAN_NOTIFICATION_DATA, dwDataSize) == 24);
static_assert(sizeof(WLAN_NOTIFICATION_DATA) == (sizeof(void*) == 8 ? 40 : 32));

struct WLAN_CONNECTION_PARAMETERS {
    WLAN_CONNECTION_MODE wlanConnectionMode;
    LPCWSTR strProfile;
    DOT11_SSID* pDot11Ssid;
    DOT11_BSSID_LIST* pDesiredBssidList;
    DOT11_BSS_TYPE dot11BssType;
    DWORD dwFlags;
};
static_assert(sizeof(WLAN_CONNECTION_PARAMETERS) == (sizeof(void*) == 8 ? 40 : 24));

// Payload of the auto-configuration connection notifications.
struct WLAN_CONNECTION_NOTIFICATION_DATA {
    WLAN_CONNECTION_MODE wlanConnectionMode;
    WCHAR strProfileName[kWlanMaxNameLength];
    DOT11_SSID dot11Ssid;
    DOT11_BSS_TYPE dot11BssType;
    BOOL bSecurityEnabled;
    WLAN_REASON_CODE wlanReasonCode;
    DWORD dwFlags;
    WCHAR strProfileXml[1];
};
static_assert(offsetof(WLAN_CONNECTION_NOTIFICATION_DATA, dot11Ssid) == 516);
static_assert(offsetof(WLAN_CONNECTION_NOTIFICATION_DATA, wlanReasonCode) == 560);
static_assert(sizeof(WLAN_CONNECTION_NOTIFICATION_DATA) == 572);

struct WLAN_PROFILE_INFO {
    WCHAR strProfileName[kWlanMaxNameLength];
    DWORD dwFlags;
};
static_assert(sizeof(WLAN_PROFILE_INFO) == 516);

struct WLAN_PROFILE_INFO_LIST {
    DWORD dwNumberOfItems;
    DWORD dwIndex;
    WLAN_PROFILE_INFO ProfileInfo[1];
};
static_assert(sizeof(WLAN_PROFILE_INFO_LIST) == 524);

struct WLAN_AVAILABLE_NETWORK {
    WCHAR strProfileName[kWlanMaxNameLength];
    DOT11_SSID dot11Ssid;
    DOT11_BSS_TYPE dot11BssType;
    ULONG uNumberOfBssids;
    BOOL bNetworkConnectable;
    WLAN_REASON_CODE wlanNotConnectableReason;
    ULONG uNumberOfPhyTypes;
    DOT11_PHY_TYPE dot11PhyTypes[kWlanMaxPhyTypeNumber];
    BOOL bMorePhyTypes;
    WLAN_SIGNAL_QUALITY wlanSignalQuality;
    BOOL bSecurityEnabled;
    DOT11_AUTH_ALGORITHM dot11DefaultAuthAlgorithm;
    DOT11_CIPHER_ALGORITHM dot11DefaultCipherAlgorithm;
    DWORD dwFlags;
    DWORD dwReserved;
};
static_assert(sizeof(WLAN_AVAILABLE_NETWORK) == 628);

struct WLAN_AVAILABLE_NETWORK_LIST {
    DWORD dwNumberOfItems;
    DWORD dwIndex;
    WLAN_AVAILABLE_NETWORK Network[1];
};
static_assert(sizeof(WLAN_AVAILABLE_NETWORK_LIST) == 636);

struct WLAN_INTERFACE_CAPABILITY {
    WLAN_INTERFACE_TYPE interfaceType;
    BOOL bDot11DSupported;
    DWORD dwMaxDesiredSsidListSize;
    DWORD dwMaxDesiredBssidListSize;
    DWORD dwNumberOfSupportedPhys;
    DOT11_PHY_TYPE dot11PhyTypes[kWlanMaxPhyIndex];
};
static_assert(sizeof(WLAN_INTERFACE_CAPABILITY) == 276);

using WLAN_NOTIFICATION_CALLBACK = void(LUMARI_WINAPI*)(WLAN_NOTIFICATION_DATA* data,
                                                        PVOID context);

// The entry points of wlanapi.dll, with the Windows signatures.
using PFN_WlanOpenHandle = DWORD(LUMARI_WINAPI*)(DWORD clientVersion, PVOID reserved,
                                                 DWORD* negotiatedVersion, HANDLE* clientHandle);
using PFN_WlanRegisterNotification = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, DWORD notifSource,
                                                           BOOL ignoreDuplicate,
                                                           WLAN_NOTIFICATION_CALLBACK callback,
                                                           PVOID callbackContext, PVOID reserved,
                                                           DWORD* prevNotifSource);
using PFN_WlanCloseHandle = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, PVOID reserved);
using PFN_WlanFreeMemory = void(LUMARI_WINAPI*)(PVOID memory);
using PFN_WlanQueryInterface = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid,
                                                     WLAN_INTF_OPCODE opCode, PVOID reserved,
                                                     DWORD* dataSize, PVOID* data,
                                                     WLAN_OPCODE_VALUE_TYPE* valueType);
using PFN_WlanSetInterface = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid,
                                                   WLAN_INTF_OPCODE opCode, DWORD dataSize,
                                                   const PVOID data, PVOID reserved);
using PFN_WlanConnect = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid,
                                              const WLAN_CONNECTION_PARAMETERS* parameters,
                                              PVOID reserved);
using PFN_WlanDisconnect = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid,
                                                 PVOID reserved);
using PFN_WlanSetProfile = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid,
                                                 DWORD flags, LPCWSTR profileXml,
                                                 LPCWSTR allUserProfileSecurity, BOOL overwrite,
                                                 PVOID reserved, DWORD* reasonCode);
using PFN_WlanEnumInterfaces = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, PVOID reserved,
                                                     WLAN_INTERFACE_INFO_LIST** interfaceList);
using PFN_WlanGetProfileList = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid,
                                                     PVOID reserved,
                                                     WLAN_PROFILE_INFO_LIST** profileList);
using PFN_WlanDeleteProfile = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid,
                                                    LPCWSTR profileName, PVOID reserved);
using PFN_WlanGetAvailableNetworkList =
    DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid, DWORD flags,
                          PVOID reserved, WLAN_AVAILABLE_NETWORK_LIST** networkList);
using PFN_WlanReasonCodeToString = DWORD(LUMARI_WINAPI*)(DWORD reasonCode, DWORD bufferSize,
                                                         WCHAR* stringBuffer, PVOID reserved);
using PFN_WlanGetInterfaceCapability =
    DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, const GUID* interfaceGuid, PVOID reserved,
                          WLAN_INTERFACE_CAPABILITY** capability);
using PFN_WlanHostedNetworkInitSettings = DWORD(LUMARI_WINAPI*)(
    HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved);
using PFN_WlanHostedNetworkForceStart = DWORD(LUMARI_WINAPI*)(
    HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved);
using PFN_WlanHostedNetworkForceStop = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle,
                                                             WLAN_HOSTED_NETWORK_REASON* failReason,
                                                             PVOID reserved);
using PFN_WlanHostedNetworkQueryStatus = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle,
                                                               WLAN_HOSTED_NETWORK_STATUS** status,
                                                               PVOID reserved);
using PFN_WlanHostedNetworkQueryProperty = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle,
                                                                 WLAN_HOSTED_NETWORK_OPCODE opCode,
                                                                 DWORD* dataSize, PVOID* data,
                                                                 WLAN_OPCODE_VALUE_TYPE* valueType,
                                                                 PVOID reserved);
using PFN_WlanHostedNetworkQuerySecondaryKey = DWORD(LUMARI_WINAPI*)(
    HANDLE clientHandle, DWORD* keyLength, UCHAR** keyData, BOOL* isPassPhrase, BOOL* persistent,
    WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved);
using PFN_WlanHostedNetworkRefreshSecuritySettings = DWORD(LUMARI_WINAPI*)(
    HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved);
using PFN_WlanHostedNetworkSetSecondaryKey =
    DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, DWORD keyLength, UCHAR* keyData, BOOL isPassPhrase,
                          BOOL persistent, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved);
using PFN_WlanHostedNetworkSetProperty =
    DWORD(LUMARI_WINAPI*)(HANDLE clientHandle, WLAN_HOSTED_NETWORK_OPCODE opCode, DWORD dataSize,
                          PVOID data, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved);
using PFN_WlanHostedNetworkStartUsing = DWORD(LUMARI_WINAPI*)(
    HANDLE clientHandle, WLAN_HOSTED_NETWORK_REASON* failReason, PVOID reserved);
using PFN_WlanHostedNetworkStopUsing = DWORD(LUMARI_WINAPI*)(HANDLE clientHandle,
                                                             WLAN_HOSTED_NETWORK_REASON* failReason,
                                                             PVOID reserved);

}  // namespace plat
