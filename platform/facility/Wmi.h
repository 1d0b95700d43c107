// WMI through IWbemLocator and IWbemServices: connecting to a namespace, the
// proxy blanket, a query, its enumerator, the properties of each instance and
// writing an instance back. One call per COM step, each with its HRESULT;
// objects are released when their owner lets them go.
#pragma once

#include <memory>
#include <string>

#include "platform/facility/ComRuntime.h"
#include "platform/records/WinTypes.h"

namespace plat {

// VARTYPE values a property can carry here.
constexpr std::uint16_t kVtEmpty = 0;
constexpr std::uint16_t kVtNull = 1;
constexpr std::uint16_t kVtI4 = 3;
constexpr std::uint16_t kVtBstr = 8;
constexpr std::uint16_t kVtBool = 11;

// A VARIANT as WMI properties carry them.
struct Variant {
    std::uint16_t vt = kVtEmpty;
    std::wstring bstrVal;
    VARIANT_BOOL boolVal = kVariantFalse;
    LONG lVal = 0;

    static Variant Text(std::wstring text) {
        Variant v;
        v.vt = kVtBstr;
        v.bstrVal = std::move(text);
        return v;
    }
    static Variant Bool(bool value) {
        Variant v;
        v.vt = kVtBool;
        v.boolVal = value ? kVariantTrue : kVariantFalse;
        return v;
    }
};

// WBEM flags and results the engine uses.
constexpr LONG kWbemFlagForwardOnly = 0x20;
constexpr LONG kWbemFlagReturnImmediately = 0x10;
constexpr LONG kWbemFlagUpdateOnly = 0x1;
constexpr LONG kWbemInfinite = -1;
constexpr HRESULT kWbemSFalse = 1;
constexpr HRESULT kWbemENotFound = static_cast<HRESULT>(0x80041002u);
constexpr HRESULT kWbemETypeMismatch = static_cast<HRESULT>(0x80041005u);
constexpr HRESULT kWbemEInvalidNamespace = static_cast<HRESULT>(0x8004100Eu);
constexpr HRESULT kWbemEInvalidQuery = static_cast<HRESULT>(0x80041017u);

// IWbemClassObject
class WbemClassObject {
public:
    virtual ~WbemClassObject() = default;
    virtual HRESULT Get(const std::wstring& name, Variant* value) = 0;
    virtual HRESULT Put(const std::wstring& name, const Variant& value) = 0;
};

// IEnumWbemClassObject
class EnumWbemClassObject {
public:
    virtual ~EnumWbemClassObject() = default;
    // Fetches one instance: S_OK with `returned` 1, WBEM_S_FALSE with 0 at the end.
    virtual HRESULT Next(LONG timeout, std::unique_ptr<WbemClassObject>* object,
                         ULONG* returned) = 0;
};

// IWbemServices (and the proxy it is reached through)
class WbemServices {
public:
    virtual ~WbemServices() = default;
    // CoSetProxyBlanket on this proxy.
    virtual HRESULT CoSetProxyBlanket(DWORD authnService, DWORD authzService, DWORD authnLevel,
                                      DWORD impLevel, DWORD capabilities) = 0;
    virtual HRESULT ExecQuery(const std::wstring& language, const std::wstring& query, LONG flags,
                              std::unique_ptr<EnumWbemClassObject>* out) = 0;
    virtual HRESULT PutInstance(WbemClassObject& instance, LONG flags) = 0;
};

// IWbemLocator
class WbemLocator {
public:
    virtual ~WbemLocator() = default;
    // ConnectServer(namespace) with no user, password, locale or authority.
    virtual HRESULT ConnectServer(const std::wstring& nameSpace,
                                  std::unique_ptr<WbemServices>* out) = 0;
};

class Wmi {
public:
    virtual ~Wmi() = default;
    // CoCreateInstance(CLSID_WbemLocator, clsctx, IID_IWbemLocator).
    virtual HRESULT CreateLocator(DWORD clsctx, std::unique_ptr<WbemLocator>* out) = 0;
};

}  // namespace plat
