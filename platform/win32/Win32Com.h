// The COM runtime of Windows.
#pragma once

#include "platform/facility/ComRuntime.h"

namespace plat {

class Win32Com : public ComRuntime {
public:
    HRESULT CoInitializeEx(DWORD coinit) override;
    void CoUninitialize() override;
    HRESULT CoInitializeSecurity(DWORD authnLevel, DWORD impLevel, DWORD capabilities) override;
    HRESULT CLSIDFromProgID(const std::wstring& progId, GUID* clsid) override;
};

}  // namespace plat
