// The Windows Runtime types of the mobile hotspot (Windows 10 and later):
// Windows.Networking.NetworkOperators.NetworkOperatorTetheringManager and the
// Windows.Networking.Connectivity types it is made from. Interface ids and
// enumeration values are those of the Windows SDK's metadata
// (Windows.Networking.winmd), as the public API reference documents them; the
// ids of the parameterised interfaces are computed from their signatures
// (platform/common/WinRtIid.h).
#pragma once

#include <cstdint>

#include "platform/records/WinTypes.h"

namespace plat::tethering {

// Runtime class names, for RoGetActivationFactory.
constexpr wchar_t kClassTetheringManager[] =
    L"Windows.Networking.NetworkOperators.NetworkOperatorTetheringManager";
constexpr wchar_t kClassAccessPointConfiguration[] =
    L"Windows.Networking.NetworkOperators.NetworkOperatorTetheringAccessPointConfiguration";
constexpr wchar_t kClassNetworkInformation[] =
    L"Windows.Networking.Connectivity.NetworkInformation";

// TetheringCapability
enum Capability : std::int32_t {
    kCapabilityEnabled = 0,
    kCapabilityDisabledByGroupPolicy = 1,
    kCapabilityDisabledByHardwareLimitation = 2,
    kCapabilityDisabledByOperator = 3,
    kCapabilityDisabledBySku = 4,
    kCapabilityDisabledByRequiredAppNotInstalled = 5,
    kCapabilityDisabledDueToUnknownCause = 6,
    kCapabilityDisabledBySystemCapability = 7,
};

// TetheringOperationStatus (9 to 11 came with Windows 11)
enum OperationStatus : std::int32_t {
    kStatusSuccess = 0,
    kStatusUnknown = 1,
    kStatusMobileBroadbandDeviceOff = 2,
    kStatusWiFiDeviceOff = 3,
    kStatusEntitlementCheckTimeout = 4,
    kStatusEntitlementCheckFailure = 5,
    kStatusOperationInProgress = 6,
    kStatusBluetoothDeviceOff = 7,
    kStatusNetworkLimitedConnectivity = 8,
    kStatusAlreadyOn = 9,
    kStatusRadioRestriction = 10,
    kStatusBandInterference = 11,
};

// TetheringOperationalState
enum OperationalState : std::int32_t {
    kStateUnknown = 0,
    kStateOn = 1,
    kStateOff = 2,
    kStateInTransition = 3,
};

// TetheringWiFiBand
enum WiFiBand : std::int32_t {
    kBandAuto = 0,
    kBand24GHz = 1,
    kBand5GHz = 2,
    kBand6GHz = 3,
};

// Windows.Foundation.AsyncStatus
enum AsyncStatus : std::int32_t {
    kAsyncStarted = 0,
    kAsyncCompleted = 1,
    kAsyncCanceled = 2,
    kAsyncError = 3,
};

// Interface ids.
// Windows.Networking.NetworkOperators
constexpr GUID kIidTetheringManager = {
    0xd45a8da0, 0x0e86, 0x4d98, {0x8b, 0xa4, 0xdd, 0x70, 0xd4, 0xb7, 0x64, 0xd3}};
constexpr GUID kIidTetheringManagerStatics = {
    0x3ebcbacc, 0xf8c3, 0x405c, {0x99, 0x64, 0x70, 0xa1, 0xee, 0xab, 0xe1, 0x94}};
constexpr GUID kIidTetheringManagerStatics2 = {
    0x5b235412, 0x35f0, 0x49e7, {0x9b, 0x08, 0x16, 0xd2, 0x78, 0xfb, 0xaa, 0x42}};
constexpr GUID kIidTetheringManagerStatics3 = {
    0x8fdaadb6, 0x4af9, 0x4f21, {0x9b, 0x58, 0xd5, 0x3e, 0x9f, 0x24, 0x23, 0x1e}};
// Since Windows 10 2004: the no-connections timeout.
constexpr GUID kIidTetheringManagerStatics4 = {
    0xb3b9f9d0, 0xebff, 0x46a4, {0xa8, 0x47, 0xd6, 0x63, 0xd8, 0xb0, 0x97, 0x7e}};
constexpr GUID kIidTetheringClientManager = {
    0x91b14016, 0x8dca, 0x4225, {0xbb, 0xed, 0xee, 0xf8, 0xb8, 0xd7, 0x18, 0xd7}};
constexpr GUID kIidTetheringClient = {
    0x709d254c, 0x595f, 0x4847, {0xbb, 0x30, 0x64, 0x69, 0x35, 0x54, 0x29, 0x18}};
constexpr GUID kIidAccessPointConfiguration = {
    0x0bcc0284, 0x412e, 0x403d, {0xac, 0xc6, 0xb7, 0x57, 0xe3, 0x47, 0x74, 0xa4}};
// Since Windows 10 2004: the band.
constexpr GUID kIidAccessPointConfiguration2 = {
    0xb1809142, 0x7238, 0x59a0, {0x92, 0x8b, 0x74, 0xab, 0x46, 0xfd, 0x64, 0xb6}};
constexpr GUID kIidTetheringOperationResult = {
    0xebd203a1, 0x01ba, 0x476d, {0xb4, 0xb3, 0xbf, 0x3d, 0x12, 0xc8, 0xf8, 0x0c}};
// Windows.Networking.Connectivity
constexpr GUID kIidNetworkInformationStatics = {
    0x5074f851, 0x950d, 0x4165, {0x9c, 0x15, 0x36, 0x56, 0x19, 0x48, 0x1e, 0xea}};
constexpr GUID kIidConnectionProfile = {
    0x71ba143c, 0x598e, 0x49d0, {0x84, 0xeb, 0x8f, 0xeb, 0xae, 0xdc, 0xc1, 0x95}};
constexpr GUID kIidNetworkAdapter = {
    0x3b542e03, 0x5388, 0x496c, {0xa8, 0xa3, 0xaf, 0xfd, 0x39, 0xae, 0xc2, 0xe6}};
// Windows.Foundation
constexpr GUID kIidAsyncInfo = {
    0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidAsyncAction = {
    0x5a648006, 0x843a, 0x4da9, {0x86, 0x5b, 0x9d, 0x26, 0xe5, 0xdf, 0xad, 0x7b}};
constexpr GUID kIidAsyncActionCompletedHandler = {
    0xa4ed5c81, 0x76c9, 0x40bd, {0x8b, 0xe6, 0xb1, 0xd9, 0x0f, 0xb2, 0x0a, 0xe7}};

// The parameterised interfaces the mobile hotspot hands out, computed by the
// Windows Runtime's rule from their signatures.
// IAsyncOperation<NetworkOperatorTetheringOperationResult>
GUID IidAsyncOperationOfResult();
// AsyncOperationCompletedHandler<NetworkOperatorTetheringOperationResult>
GUID IidCompletedHandlerOfResult();
// IVectorView<NetworkOperatorTetheringClient>
GUID IidVectorViewOfClient();
// IVectorView<ConnectionProfile>
GUID IidVectorViewOfProfile();
// IVectorView<HostName>
GUID IidVectorViewOfHostName();

// Windows.Networking.IHostName
constexpr GUID kIidHostName = {
    0xbf8ecaad, 0xed96, 0x49a7, {0x90, 0x84, 0xd4, 0x16, 0xca, 0xe8, 0x8d, 0xcb}};

}  // namespace plat::tethering
