#include "SimCom.h"

#include "SimFaults.h"
#include "platform/facility/NetSharing.h"

namespace plat {

SimCom::SimCom(SimFaults& faults) : m_faults(faults) {
    m_apartments.RegisterProgId(L"HNetCfg.HNetShare.1", kClsidNetSharingManager);
    m_apartments.RegisterProgId(L"HNetCfg.HNetShare", kClsidNetSharingManager);
}

HRESULT SimCom::CanCreate() {
    if (!m_apartments.InApartment())
        return kCoENotInitialized;
    m_apartments.MarkSecurityFixed();
    return kSOk;
}

HRESULT SimCom::CoInitializeEx(DWORD coinit) {
    if (auto f = m_faults.Take("CoInitializeEx"))
        return static_cast<HRESULT>(*f);
    return m_apartments.CoInitializeEx(coinit);
}

void SimCom::CoUninitialize() {
    m_apartments.CoUninitialize();
}

HRESULT SimCom::CoInitializeSecurity(DWORD authnLevel, DWORD impLevel, DWORD capabilities) {
    if (auto f = m_faults.Take("CoInitializeSecurity"))
        return static_cast<HRESULT>(*f);
    return m_apartments.CoInitializeSecurity(authnLevel, impLevel, capabilities);
}

HRESULT SimCom::CLSIDFromProgID(const std::wstring& progId, GUID* clsid) {
    if (auto f = m_faults.Take("CLSIDFromProgID"))
        return static_cast<HRESULT>(*f);
    return m_apartments.CLSIDFromProgID(progId, clsid);
}

}  // namespace plat
