// The mobile hotspot of Windows 10 and later through the Windows Runtime's
// binary interface. combase.dll's activation and string functions are looked
// up at run time and checked before every call: on a Windows without them
// (Windows 7) every call answers as a system without the class.
#pragma once

#include <mutex>

#include "platform/facility/MobileHotspot.h"

namespace plat {

class Win32MobileHotspot : public MobileHotspot {
public:
    Win32MobileHotspot();
    ~Win32MobileHotspot() override;
    Win32MobileHotspot(const Win32MobileHotspot&) = delete;
    Win32MobileHotspot& operator=(const Win32MobileHotspot&) = delete;

    HRESULT GetInternetConnectionProfile(std::unique_ptr<ConnectionProfile>* profile) override;
    HRESULT GetConnectionProfiles(
        std::vector<std::unique_ptr<ConnectionProfile>>* profiles) override;
    HRESULT GetTetheringCapabilityFromConnectionProfile(ConnectionProfile& profile,
                                                        std::int32_t* capability) override;
    HRESULT CreateFromConnectionProfile(ConnectionProfile& profile,
                                        std::unique_ptr<TetheringManager>* manager) override;
    HRESULT IsNoConnectionsTimeoutEnabled(bool* enabled) override;
    HRESULT EnableNoConnectionsTimeout() override;
    HRESULT DisableNoConnectionsTimeout() override;

    struct Runtime;

private:
    // Activation factory of `className` for the interface `iid`.
    HRESULT Factory(const wchar_t* className, const GUID& iid, void** out);

    std::mutex m_lock;
    std::shared_ptr<Runtime> m_runtime;
};

}  // namespace plat
