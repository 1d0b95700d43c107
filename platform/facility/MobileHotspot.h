// The system's mobile hotspot (Windows 10 and later): the Windows Runtime's
// NetworkOperatorTetheringManager, made from a connection profile of
// NetworkInformation. Shaped like the runtime interfaces the engine uses: one
// call per runtime method, each with its HRESULT; asynchronous operations
// complete on a thread of the system and call their completion handler there.
// Where the system has no mobile hotspot (before Windows 10, Linux) the first
// call answers REGDB_E_CLASSNOTREG, as activating an unknown class does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/facility/ComRuntime.h"
#include "platform/records/TetheringTypes.h"
#include "platform/records/WinTypes.h"

namespace plat {

// HRESULTs of the Windows Runtime the engine distinguishes.
constexpr HRESULT kEIllegalMethodCall = static_cast<HRESULT>(0x8000000Eu);
constexpr HRESULT kEIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018u);
constexpr HRESULT kEAbort = static_cast<HRESULT>(0x80004004u);

// NetworkOperatorTetheringAccessPointConfiguration (with Configuration2's band).
struct AccessPointConfig {
    std::wstring ssid;
    std::wstring passphrase;
    std::int32_t band = tethering::kBandAuto;
};

// NetworkOperatorTetheringClient
struct TetheringClientInfo {
    std::wstring mac;  // as the system writes it
    std::vector<std::wstring> hostNames;
};

// IAsyncOperation<NetworkOperatorTetheringOperationResult>, or IAsyncAction
// (whose results carry no status).
class TetheringOperation {
public:
    virtual ~TetheringOperation() = default;
    // put_Completed: the handler runs once, with the final AsyncStatus, on a
    // thread of the system; at once on the calling thread when the operation
    // has already completed. A second handler: E_ILLEGAL_DELEGATE_ASSIGNMENT.
    virtual HRESULT PutCompleted(std::function<void(std::int32_t asyncStatus)> handler) = 0;
    // GetResults: TetheringOperationStatus and AdditionalErrorMessage.
    // E_ILLEGAL_METHOD_CALL before completion; the error code after an error.
    virtual HRESULT GetResults(std::int32_t* status, std::wstring* message) = 0;
    // IAsyncInfo
    virtual HRESULT GetErrorCode(HRESULT* code) = 0;
    virtual HRESULT Cancel() = 0;
};

// ConnectionProfile
class ConnectionProfile {
public:
    virtual ~ConnectionProfile() = default;
    virtual HRESULT GetProfileName(std::wstring* name) = 0;
    // NetworkAdapter.NetworkAdapterId; S_FALSE and GUID_NULL when the profile
    // has no adapter.
    virtual HRESULT GetNetworkAdapterId(GUID* id) = 0;
};

// NetworkOperatorTetheringManager (INetworkOperatorTetheringManager and
// INetworkOperatorTetheringClientManager).
class TetheringManager {
public:
    virtual ~TetheringManager() = default;
    virtual HRESULT GetMaxClientCount(std::uint32_t* count) = 0;
    virtual HRESULT GetClientCount(std::uint32_t* count) = 0;
    virtual HRESULT GetOperationalState(std::int32_t* state) = 0;
    virtual HRESULT GetCurrentAccessPointConfiguration(AccessPointConfig* config) = 0;
    // INetworkOperatorTetheringAccessPointConfiguration2::IsBandSupported;
    // E_NOINTERFACE on systems before Windows 10 2004.
    virtual HRESULT IsBandSupported(std::int32_t band, bool* supported) = 0;
    virtual HRESULT ConfigureAccessPointAsync(const AccessPointConfig& config,
                                              std::unique_ptr<TetheringOperation>* action) = 0;
    virtual HRESULT StartTetheringAsync(std::unique_ptr<TetheringOperation>* operation) = 0;
    virtual HRESULT StopTetheringAsync(std::unique_ptr<TetheringOperation>* operation) = 0;
    virtual HRESULT GetTetheringClients(std::vector<TetheringClientInfo>* clients) = 0;
};

class MobileHotspot {
public:
    virtual ~MobileHotspot() = default;
    // NetworkInformation.GetInternetConnectionProfile: S_OK and null when no
    // connection reaches the Internet.
    virtual HRESULT GetInternetConnectionProfile(std::unique_ptr<ConnectionProfile>* profile) = 0;
    // NetworkInformation.GetConnectionProfiles
    virtual HRESULT GetConnectionProfiles(
        std::vector<std::unique_ptr<ConnectionProfile>>* profiles) = 0;
    // INetworkOperatorTetheringManagerStatics2
    virtual HRESULT GetTetheringCapabilityFromConnectionProfile(ConnectionProfile& profile,
                                                                std::int32_t* capability) = 0;
    virtual HRESULT CreateFromConnectionProfile(ConnectionProfile& profile,
                                                std::unique_ptr<TetheringManager>* manager) = 0;
    // INetworkOperatorTetheringManagerStatics4 (Windows 10 2004 and later;
    // E_NOINTERFACE before).
    virtual HRESULT IsNoConnectionsTimeoutEnabled(bool* enabled) = 0;
    virtual HRESULT EnableNoConnectionsTimeout() = 0;
    virtual HRESULT DisableNoConnectionsTimeout() = 0;
};

// The answer of a system without a mobile hotspot.
class NoMobileHotspot : public MobileHotspot {
public:
    HRESULT GetInternetConnectionProfile(std::unique_ptr<ConnectionProfile>*) override {
        return kRegdbEClassNotReg;
    }
    HRESULT GetConnectionProfiles(std::vector<std::unique_ptr<ConnectionProfile>>*) override {
        return kRegdbEClassNotReg;
    }
    HRESULT GetTetheringCapabilityFromConnectionProfile(ConnectionProfile&,
                                                        std::int32_t*) override {
        return kRegdbEClassNotReg;
    }
    HRESULT CreateFromConnectionProfile(ConnectionProfile&,
                                        std::unique_ptr<TetheringManager>*) override {
        return kRegdbEClassNotReg;
    }
    HRESULT IsNoConnectionsTimeoutEnabled(bool*) override { return kRegdbEClassNotReg; }
    HRESULT EnableNoConnectionsTimeout() override { return kRegdbEClassNotReg; }
    HRESULT DisableNoConnectionsTimeout() override { return kRegdbEClassNotReg; }
};

}  // namespace plat
