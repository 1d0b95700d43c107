#include "Win32AdapterConfig.h"

#include <objbase.h>

#include <oleauto.h>
#include <wbemidl.h>

#include <utility>
#include <vector>

#include "ComRef.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {

// A BSTR released when the holder goes.
class Bstr {
public:
    explicit Bstr(const std::wstring& text)
        : m_b(::SysAllocStringLen(text.data(), static_cast<::UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ::BSTR get() const { return m_b; }

private:
    ::BSTR m_b;
};

// A method parameter that is an array of strings.
HRESULT PutStrings(::IWbemClassObject* in, const wchar_t* name,
                   const std::vector<std::string>& values) {
    ::SAFEARRAY* array = ::SafeArrayCreateVector(VT_BSTR, 0, static_cast<::ULONG>(values.size()));
    if (array == nullptr)
        return E_OUTOFMEMORY;
    for (::LONG i = 0; i < static_cast<::LONG>(values.size()); ++i) {
        const std::wstring wide = TextCodec::Utf8ToWide(values[static_cast<std::size_t>(i)]);
        ::BSTR b = ::SysAllocStringLen(wide.data(), static_cast<::UINT>(wide.size()));
        ::SafeArrayPutElement(array, &i, b);
        ::SysFreeString(b);
    }
    ::VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&v) = array;
    const HRESULT hr = in->Put(name, 0, &v, 0);
    ::VariantClear(&v);
    return hr;
}

using Parameters = std::vector<std::pair<const wchar_t*, std::vector<std::string>>>;

// COM for one call: the multithreaded apartment, left again at the end when
// this call entered it. A thread already in an apartment of either kind
// keeps it (and its count stays balanced).
class Apartment {
public:
    Apartment() : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~Apartment() {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    HRESULT m_hr;
};

// The methods' ReturnValue for a caller without administrator rights.
constexpr ::ULONG kReturnAccessDenied = 91;

// Calls `method` on the adapter's configuration instance; the method's
// ReturnValue 0 (done) or 1 (done, restart needed) is success. Every COM
// object of the call is released before the apartment is left.
HRESULT CallInApartment(const std::string& settingId, const wchar_t* method,
                        const Parameters& parameters) {
    ComRef<::IWbemLocator> locator;
    HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWbemLocator, reinterpret_cast<void**>(locator.Put()));
    if (FAILED(hr))
        return hr;
    ComRef<::IWbemServices> services;
    Bstr nameSpace(L"ROOT\\CIMV2");
    hr = locator->ConnectServer(nameSpace.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                services.Put());
    if (FAILED(hr))
        return hr;
    hr = ::CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                             RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                             EOAC_NONE);
    if (FAILED(hr))
        return hr;

    // The instance's path, found by its SettingID (a GUID text, no quotes to escape).
    for (char c : settingId)
        if (c == '\'' || c == '\\')
            return E_INVALIDARG;
    Bstr language(L"WQL");
    Bstr query(L"SELECT * FROM Win32_NetworkAdapterConfiguration WHERE SettingID='" +
               TextCodec::Utf8ToWide(settingId) + L"'");
    ComRef<::IEnumWbemClassObject> found;
    hr = services->ExecQuery(language.get(), query.get(),
                             WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                             found.Put());
    if (FAILED(hr))
        return hr;
    ComRef<::IWbemClassObject> instance;
    ::ULONG returned = 0;
    hr = found->Next(static_cast<::LONG>(WBEM_INFINITE), 1, instance.Put(), &returned);
    if (FAILED(hr))
        return hr;
    if (returned == 0 || !instance)
        return static_cast<HRESULT>(WBEM_E_NOT_FOUND);
    ::VARIANT path;
    ::VariantInit(&path);
    hr = instance->Get(L"__PATH", 0, &path, nullptr, nullptr);
    if (FAILED(hr) || V_VT(&path) != VT_BSTR) {
        ::VariantClear(&path);
        return FAILED(hr) ? hr : static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
    }

    ComRef<::IWbemClassObject> inParameters;
    if (!parameters.empty()) {
        ComRef<::IWbemClassObject> cls;
        Bstr className(L"Win32_NetworkAdapterConfiguration");
        hr = services->GetObject(className.get(), 0, nullptr, cls.Put(), nullptr);
        ComRef<::IWbemClassObject> definition;
        if (SUCCEEDED(hr))
            hr = cls->GetMethod(method, 0, definition.Put(), nullptr);
        if (SUCCEEDED(hr) && definition)
            hr = definition->SpawnInstance(0, inParameters.Put());
        for (const auto& [name, values] : parameters)
            if (SUCCEEDED(hr) && inParameters)
                hr = PutStrings(inParameters.Get(), name, values);
        if (FAILED(hr)) {
            ::VariantClear(&path);
            return hr;
        }
    }
    Bstr methodName(method);
    ComRef<::IWbemClassObject> out;
    hr = services->ExecMethod(V_BSTR(&path), methodName.get(), 0, nullptr, inParameters.Get(),
                              out.Put(), nullptr);
    ::VariantClear(&path);
    if (FAILED(hr))
        return hr;
    ::VARIANT result;
    ::VariantInit(&result);
    if (!out || FAILED(out->Get(L"ReturnValue", 0, &result, nullptr, nullptr)))
        return E_FAIL;
    HRESULT outcome = E_FAIL;
    if (SUCCEEDED(::VariantChangeType(&result, &result, 0, VT_UI4))) {
        if (V_UI4(&result) <= 1)
            outcome = S_OK;
        else if (V_UI4(&result) == kReturnAccessDenied)
            outcome = E_ACCESSDENIED;
    }
    ::VariantClear(&result);
    return outcome;
}

HRESULT Call(const std::string& settingId, const wchar_t* method, const Parameters& parameters) {
    const Apartment apartment;
    return CallInApartment(settingId, method, parameters);
}

}  // namespace

HRESULT Win32AdapterConfig::EnableStatic(const std::string& settingId, const std::string& ip,
                                         const std::string& mask) {
    return Call(settingId, L"EnableStatic", {{L"IPAddress", {ip}}, {L"SubnetMask", {mask}}});
}

HRESULT Win32AdapterConfig::SetGateways(const std::string& settingId, const std::string& gateway) {
    return Call(settingId, L"SetGateways", {{L"DefaultIPGateway", {gateway}}});
}

HRESULT Win32AdapterConfig::EnableDhcp(const std::string& settingId) {
    return Call(settingId, L"EnableDHCP", {});
}

}  // namespace plat
