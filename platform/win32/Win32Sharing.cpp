#include "Win32Sharing.h"

#include <objbase.h>

#include <netcon.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <cstring>

#include "ComRef.h"
#include "Win32Variant.h"

namespace plat {

namespace {

::GUID ToWin(const GUID& g) {
    ::GUID out;
    std::memcpy(&out, &g, sizeof out);
    return out;
}

class Win32SharingConfiguration : public NetSharingConfiguration {
public:
    explicit Win32SharingConfiguration(ComRef<::INetSharingConfiguration> c) : m_c(std::move(c)) {}
    HRESULT EnableSharing(int sharingType) override {
        return m_c->EnableSharing(static_cast<::SHARINGCONNECTIONTYPE>(sharingType));
    }
    HRESULT DisableSharing() override { return m_c->DisableSharing(); }

private:
    ComRef<::INetSharingConfiguration> m_c;
};

class Win32ConnectionProps : public NetConnectionProps {
public:
    explicit Win32ConnectionProps(ComRef<::INetConnectionProps> p) : m_p(std::move(p)) {}
    HRESULT get_Guid(std::wstring* guid) override {
        if (guid == nullptr)
            return E_POINTER;
        ::BSTR text = nullptr;
        const HRESULT hr = m_p->get_Guid(&text);
        guid->assign(text != nullptr ? text : L"", text != nullptr ? ::SysStringLen(text) : 0);
        ::SysFreeString(text);
        return hr;
    }

private:
    ComRef<::INetConnectionProps> m_p;
};

class Win32SharingConnection : public SharingConnection {
public:
    explicit Win32SharingConnection(ComRef<::INetConnection> c) : connection(std::move(c)) {}
    ComRef<::INetConnection> connection;
};

class Win32SharingVariant : public SharingVariant {
public:
    Win32SharingVariant() { ::VariantInit(&value); }
    ~Win32SharingVariant() override { ::VariantClear(&value); }
    HRESULT QueryNetConnection(std::unique_ptr<SharingConnection>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ::IUnknown* unknown = nullptr;
        if (V_VT(&value) == VT_UNKNOWN)
            unknown = V_UNKNOWN(&value);
        else if (V_VT(&value) == VT_DISPATCH)
            unknown = V_DISPATCH(&value);
        if (unknown == nullptr)
            return E_NOINTERFACE;
        ComRef<::INetConnection> c;
        const HRESULT hr =
            unknown->QueryInterface(IID_INetConnection, reinterpret_cast<void**>(c.Put()));
        if (c)
            *out = std::make_unique<Win32SharingConnection>(std::move(c));
        return hr;
    }
    ::VARIANT value;
};

class Win32SharingEnumVariant : public SharingEnumVariant {
public:
    explicit Win32SharingEnumVariant(ComRef<::IEnumVARIANT> e) : m_e(std::move(e)) {}
    HRESULT Reset() override { return m_e->Reset(); }
    HRESULT Next(std::unique_ptr<SharingVariant>* element, ULONG* fetched) override {
        if (element == nullptr)
            return E_POINTER;
        auto v = std::make_unique<Win32SharingVariant>();
        ::ULONG n = 0;
        const HRESULT hr = m_e->Next(1, &v->value, &n);
        if (fetched != nullptr)
            *fetched = n;
        if (n == 1)
            *element = std::move(v);
        else
            element->reset();
        return hr;
    }

private:
    ComRef<::IEnumVARIANT> m_e;
};

class Win32SharingEnumUnknown : public SharingEnumUnknown {
public:
    explicit Win32SharingEnumUnknown(ComRef<::IUnknown> u) : m_u(std::move(u)) {}
    HRESULT QueryEnumVariant(std::unique_ptr<SharingEnumVariant>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::IEnumVARIANT> e;
        const HRESULT hr = m_u->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(e.Put()));
        if (e)
            *out = std::make_unique<Win32SharingEnumVariant>(std::move(e));
        return hr;
    }

private:
    ComRef<::IUnknown> m_u;
};

class Win32SharingEveryConnection : public SharingEveryConnection {
public:
    explicit Win32SharingEveryConnection(ComRef<::INetSharingEveryConnectionCollection> c)
        : m_c(std::move(c)) {}
    HRESULT get__NewEnum(std::unique_ptr<SharingEnumUnknown>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::IUnknown> u;
        const HRESULT hr = m_c->get__NewEnum(u.Put());
        if (u)
            *out = std::make_unique<Win32SharingEnumUnknown>(std::move(u));
        return hr;
    }

private:
    ComRef<::INetSharingEveryConnectionCollection> m_c;
};

class Win32SharingManager : public NetSharingManager {
public:
    explicit Win32SharingManager(ComRef<::INetSharingManager> m) : m_m(std::move(m)) {}
    HRESULT get_SharingInstalled(VARIANT_BOOL* installed) override {
        if (installed == nullptr)
            return E_POINTER;
        ::VARIANT_BOOL b = VARIANT_FALSE;
        const HRESULT hr = m_m->get_SharingInstalled(&b);
        *installed = b;
        return hr;
    }
    HRESULT get_EnumEveryConnection(std::unique_ptr<SharingEveryConnection>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::INetSharingEveryConnectionCollection> c;
        const HRESULT hr = m_m->get_EnumEveryConnection(c.Put());
        if (c)
            *out = std::make_unique<Win32SharingEveryConnection>(std::move(c));
        return hr;
    }
    HRESULT get_NetConnectionProps(SharingConnection& connection,
                                   std::unique_ptr<NetConnectionProps>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::INetConnectionProps> p;
        const HRESULT hr = m_m->get_NetConnectionProps(
            static_cast<Win32SharingConnection&>(connection).connection.Get(), p.Put());
        if (p)
            *out = std::make_unique<Win32ConnectionProps>(std::move(p));
        return hr;
    }
    HRESULT get_INetSharingConfigurationForINetConnection(
        SharingConnection& connection, std::unique_ptr<NetSharingConfiguration>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::INetSharingConfiguration> c;
        const HRESULT hr = m_m->get_INetSharingConfigurationForINetConnection(
            static_cast<Win32SharingConnection&>(connection).connection.Get(), c.Put());
        if (c)
            *out = std::make_unique<Win32SharingConfiguration>(std::move(c));
        return hr;
    }

private:
    ComRef<::INetSharingManager> m_m;
};

class Win32WbemObject : public WbemClassObject {
public:
    explicit Win32WbemObject(ComRef<::IWbemClassObject> o) : object(std::move(o)) {}
    HRESULT Get(const std::wstring& name, Variant* value) override {
        if (value == nullptr)
            return E_POINTER;
        ::VARIANT v;
        ::VariantInit(&v);
        const HRESULT hr = object->Get(name.c_str(), 0, &v, nullptr, nullptr);
        *value = SUCCEEDED(hr) ? FromVariant(v) : Variant{};
        ::VariantClear(&v);
        return hr;
    }
    HRESULT Put(const std::wstring& name, const Variant& value) override {
        ::VARIANT v;
        ToVariant(value, &v);
        const HRESULT hr = object->Put(name.c_str(), 0, &v, 0);
        ::VariantClear(&v);
        return hr;
    }
    ComRef<::IWbemClassObject> object;
};

class Win32WbemEnum : public EnumWbemClassObject {
public:
    explicit Win32WbemEnum(ComRef<::IEnumWbemClassObject> e) : m_e(std::move(e)) {}
    HRESULT Next(LONG timeout, std::unique_ptr<WbemClassObject>* object, ULONG* returned) override {
        if (object == nullptr || returned == nullptr)
            return E_POINTER;
        object->reset();
        ComRef<::IWbemClassObject> o;
        ::ULONG n = 0;
        const HRESULT hr = m_e->Next(timeout, 1, o.Put(), &n);
        *returned = n;
        if (o)
            *object = std::make_unique<Win32WbemObject>(std::move(o));
        return hr;
    }

private:
    ComRef<::IEnumWbemClassObject> m_e;
};

class Win32WbemServices : public WbemServices {
public:
    explicit Win32WbemServices(ComRef<::IWbemServices> s) : m_s(std::move(s)) {}
    HRESULT CoSetProxyBlanket(DWORD authnService, DWORD authzService, DWORD authnLevel,
                              DWORD impLevel, DWORD capabilities) override {
        return ::CoSetProxyBlanket(m_s.Get(), authnService, authzService, nullptr, authnLevel,
                                   impLevel, nullptr, capabilities);
    }
    HRESULT ExecQuery(const std::wstring& language, const std::wstring& query, LONG flags,
                      std::unique_ptr<EnumWbemClassObject>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ::BSTR lang = ::SysAllocString(language.c_str());
        ::BSTR text = ::SysAllocString(query.c_str());
        ComRef<::IEnumWbemClassObject> e;
        const HRESULT hr = m_s->ExecQuery(lang, text, flags, nullptr, e.Put());
        ::SysFreeString(lang);
        ::SysFreeString(text);
        if (e)
            *out = std::make_unique<Win32WbemEnum>(std::move(e));
        return hr;
    }
    HRESULT PutInstance(WbemClassObject& instance, LONG flags) override {
        return m_s->PutInstance(static_cast<Win32WbemObject&>(instance).object.Get(), flags,
                                nullptr, nullptr);
    }

private:
    ComRef<::IWbemServices> m_s;
};

class Win32WbemLocator : public WbemLocator {
public:
    explicit Win32WbemLocator(ComRef<::IWbemLocator> l) : m_l(std::move(l)) {}
    HRESULT ConnectServer(const std::wstring& nameSpace,
                          std::unique_ptr<WbemServices>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ::BSTR ns = ::SysAllocString(nameSpace.c_str());
        ComRef<::IWbemServices> s;
        const HRESULT hr =
            m_l->ConnectServer(ns, nullptr, nullptr, nullptr, 0, nullptr, nullptr, s.Put());
        ::SysFreeString(ns);
        if (s)
            *out = std::make_unique<Win32WbemServices>(std::move(s));
        return hr;
    }

private:
    ComRef<::IWbemLocator> m_l;
};

}  // namespace

HRESULT Win32Sharing::CreateSharingManager(const GUID& clsid, DWORD clsctx,
                                           std::unique_ptr<NetSharingManager>* out) {
    if (out == nullptr)
        return E_POINTER;
    out->reset();
    ComRef<::INetSharingManager> m;
    const HRESULT hr = ::CoCreateInstance(ToWin(clsid), nullptr, clsctx, IID_INetSharingManager,
                                          reinterpret_cast<void**>(m.Put()));
    if (m)
        *out = std::make_unique<Win32SharingManager>(std::move(m));
    return hr;
}

HRESULT Win32Wmi::CreateLocator(DWORD clsctx, std::unique_ptr<WbemLocator>* out) {
    if (out == nullptr)
        return E_POINTER;
    out->reset();
    ComRef<::IWbemLocator> l;
    const HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, clsctx, IID_IWbemLocator,
                                          reinterpret_cast<void**>(l.Put()));
    if (l)
        *out = std::make_unique<Win32WbemLocator>(std::move(l));
    return hr;
}

}  // namespace plat
