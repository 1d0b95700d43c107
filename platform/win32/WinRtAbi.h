// The Windows Runtime interfaces of the mobile hotspot at their binary
// interface: each method in its vtable slot after IInspectable's six, with the
// runtime's calling convention. MinGW-w64 ships no declarations for
// Windows.Networking.*; the slot orders are those of the interfaces' metadata
// (Windows.Networking.winmd) as the public API reference lists them, the ids
// are in platform/records/TetheringTypes.h. Only the slots up to the last one
// called are declared.
#pragma once

#include <windows.h>

#include <hstring.h>
#include <inspectable.h>

#include <cstdint>

// COM interfaces are released through Release, never deleted through a base.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace plat::winrt_abi {

using AsyncStatusAbi = std::int32_t;

// Windows.Foundation.IAsyncInfo
struct IAsyncInfo : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_Status(AsyncStatusAbi* status) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_ErrorCode(::HRESULT* code) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE Close() = 0;
};

// Windows.Networking.NetworkOperators.INetworkOperatorTetheringOperationResult
struct ITetheringOperationResult : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_Status(std::int32_t* status) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_AdditionalErrorMessage(HSTRING* message) = 0;
};

struct IAsyncOperationOfResult;

// AsyncOperationCompletedHandler<NetworkOperatorTetheringOperationResult>
struct ICompletedHandlerOfResult : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperationOfResult* operation,
                                               AsyncStatusAbi status) = 0;
};

// IAsyncOperation<NetworkOperatorTetheringOperationResult>
struct IAsyncOperationOfResult : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE put_Completed(ICompletedHandlerOfResult* handler) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_Completed(ICompletedHandlerOfResult** handler) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GetResults(ITetheringOperationResult** results) = 0;
};

struct IAsyncAction;

// Windows.Foundation.AsyncActionCompletedHandler
struct IAsyncActionCompletedHandler : public IUnknown {
    virtual ::HRESULT STDMETHODCALLTYPE Invoke(IAsyncAction* action, AsyncStatusAbi status) = 0;
};

// Windows.Foundation.IAsyncAction
struct IAsyncAction : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE put_Completed(IAsyncActionCompletedHandler* handler) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_Completed(IAsyncActionCompletedHandler** handler) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GetResults() = 0;
};

// Windows.Foundation.Collections.IVectorView<T> for a runtime class T.
template <class T>
struct IVectorView : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, T** item) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE IndexOf(T* value, UINT32* index, boolean* found) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, T** items,
                                                UINT32* actual) = 0;
};

// Windows.Networking.IHostName
struct IHostName : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_IPInformation(IInspectable** info) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_RawName(HSTRING* name) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* name) = 0;
};

// INetworkOperatorTetheringClient
struct ITetheringClient : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_MacAddress(HSTRING* mac) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_HostNames(IVectorView<IHostName>** names) = 0;
};

// INetworkOperatorTetheringClientManager
struct ITetheringClientManager : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE
    GetTetheringClients(IVectorView<ITetheringClient>** clients) = 0;
};

// INetworkOperatorTetheringAccessPointConfiguration
struct IAccessPointConfiguration : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_Ssid(HSTRING* ssid) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE put_Ssid(HSTRING ssid) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_Passphrase(HSTRING* passphrase) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE put_Passphrase(HSTRING passphrase) = 0;
};

// INetworkOperatorTetheringAccessPointConfiguration2
struct IAccessPointConfiguration2 : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE IsBandSupported(std::int32_t band, boolean* supported) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE IsBandSupportedAsync(std::int32_t band,
                                                             IInspectable** operation) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_Band(std::int32_t* band) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE put_Band(std::int32_t band) = 0;
};

// INetworkOperatorTetheringManager
struct ITetheringManager : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_MaxClientCount(UINT32* count) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_ClientCount(UINT32* count) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_TetheringOperationalState(std::int32_t* state) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE
    GetCurrentAccessPointConfiguration(IAccessPointConfiguration** configuration) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE
    ConfigureAccessPointAsync(IAccessPointConfiguration* configuration, IAsyncAction** action) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE
    StartTetheringAsync(IAsyncOperationOfResult** operation) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE StopTetheringAsync(IAsyncOperationOfResult** operation) = 0;
};

// Windows.Networking.Connectivity.INetworkAdapter
struct INetworkAdapter : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_OutboundMaxBitsPerSecond(UINT64* value) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_InboundMaxBitsPerSecond(UINT64* value) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_IanaInterfaceType(UINT32* value) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_NetworkItem(IInspectable** item) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_NetworkAdapterId(::GUID* id) = 0;
};

// Windows.Networking.Connectivity.IConnectionProfile
struct IConnectionProfile : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE get_ProfileName(HSTRING* name) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GetNetworkConnectivityLevel(std::int32_t* level) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GetNetworkNames(IInspectable** names) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GetConnectionCost(IInspectable** cost) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE GetDataPlanStatus(IInspectable** status) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE get_NetworkAdapter(INetworkAdapter** adapter) = 0;
};

// Windows.Networking.Connectivity.INetworkInformationStatics
struct INetworkInformationStatics : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE
    GetConnectionProfiles(IVectorView<IConnectionProfile>** profiles) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE
    GetInternetConnectionProfile(IConnectionProfile** profile) = 0;
};

// INetworkOperatorTetheringManagerStatics2
struct ITetheringManagerStatics2 : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE GetTetheringCapabilityFromConnectionProfile(
        IConnectionProfile* profile, std::int32_t* capability) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE
    CreateFromConnectionProfile(IConnectionProfile* profile, ITetheringManager** manager) = 0;
};

// INetworkOperatorTetheringManagerStatics4
struct ITetheringManagerStatics4 : public IInspectable {
    virtual ::HRESULT STDMETHODCALLTYPE IsNoConnectionsTimeoutEnabled(boolean* enabled) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE EnableNoConnectionsTimeout() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE EnableNoConnectionsTimeoutAsync(IAsyncAction** action) = 0;
    virtual ::HRESULT STDMETHODCALLTYPE DisableNoConnectionsTimeout() = 0;
    virtual ::HRESULT STDMETHODCALLTYPE DisableNoConnectionsTimeoutAsync(IAsyncAction** action) = 0;
};

}  // namespace plat::winrt_abi

#pragma GCC diagnostic pop
