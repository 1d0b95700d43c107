#include "Win32Com.h"

#include <objbase.h>

#include <cstring>

namespace plat {

static_assert(sizeof(::GUID) == sizeof(plat::GUID));

HRESULT Win32Com::CoInitializeEx(DWORD coinit) {
    return ::CoInitializeEx(nullptr, coinit);
}

void Win32Com::CoUninitialize() {
    ::CoUninitialize();
}

HRESULT Win32Com::CoInitializeSecurity(DWORD authnLevel, DWORD impLevel, DWORD capabilities) {
    return ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, authnLevel, impLevel, nullptr,
                                  capabilities, nullptr);
}

HRESULT Win32Com::CLSIDFromProgID(const std::wstring& progId, GUID* clsid) {
    if (clsid == nullptr)
        return E_INVALIDARG;
    ::CLSID found{};
    const HRESULT hr = ::CLSIDFromProgID(progId.c_str(), &found);
    if (SUCCEEDED(hr))
        std::memcpy(clsid, &found, sizeof found);
    return hr;
}

}  // namespace plat
