// The COM runtime of a thread and of the process: apartments, process-wide
// security, class lookup by ProgID. The COM-shaped facilities (connection
// folder, sharing manager, WMI, Network List Manager) create their objects
// only on a thread that has entered an apartment, as COM does.
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

// COINIT
constexpr DWORD kCoinitMultithreaded = 0x0;
constexpr DWORD kCoinitApartmentThreaded = 0x2;

// CLSCTX
constexpr DWORD kClsctxInprocServer = 0x1;
constexpr DWORD kClsctxLocalServer = 0x4;
constexpr DWORD kClsctxNoCodeDownload = 0x400;
constexpr DWORD kClsctxAll = 0x17;

// RPC_C_AUTHN_LEVEL, RPC_C_IMP_LEVEL, RPC_C_AUTHN, RPC_C_AUTHZ, EOAC
constexpr DWORD kRpcCAuthnLevelDefault = 0;
constexpr DWORD kRpcCAuthnLevelCall = 3;
constexpr DWORD kRpcCAuthnLevelPkt = 4;
constexpr DWORD kRpcCImpLevelImpersonate = 3;
constexpr DWORD kRpcCAuthnWinnt = 10;
constexpr DWORD kRpcCAuthzNone = 0;
constexpr DWORD kEoacNone = 0;

// HRESULTs of the COM runtime the engine distinguishes.
constexpr HRESULT kRpcEChangedMode = static_cast<HRESULT>(0x80010106u);
constexpr HRESULT kRpcETooLate = static_cast<HRESULT>(0x80010119u);
constexpr HRESULT kCoENotInitialized = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT kCoEClassString = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT kRegdbEClassNotReg = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT kENoInterface = static_cast<HRESULT>(0x80004002u);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

// VARIANT_BOOL
using VARIANT_BOOL = std::int16_t;
constexpr VARIANT_BOOL kVariantTrue = -1;
constexpr VARIANT_BOOL kVariantFalse = 0;

class ComRuntime {
public:
    virtual ~ComRuntime() = default;
    // S_OK when the thread entered the apartment, S_FALSE when it was already
    // in it, RPC_E_CHANGED_MODE when it is in the other kind.
    virtual HRESULT CoInitializeEx(DWORD coinit) = 0;
    virtual void CoUninitialize() = 0;
    // CoInitializeSecurity(no descriptor, automatic authentication services,
    // authnLevel, impLevel, capabilities): once per process; RPC_E_TOO_LATE
    // afterwards.
    virtual HRESULT CoInitializeSecurity(DWORD authnLevel, DWORD impLevel, DWORD capabilities) = 0;
    virtual HRESULT CLSIDFromProgID(const std::wstring& progId, GUID* clsid) = 0;
};

}  // namespace plat
