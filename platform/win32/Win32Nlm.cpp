#include "Win32Nlm.h"

#include <objbase.h>

#include <netlistmgr.h>
#include <ocidl.h>

#include <atomic>
#include <cstring>

#include "ComRef.h"

namespace plat {

namespace {

GUID FromWin(const ::GUID& g) {
    GUID out;
    std::memcpy(&out, &g, sizeof out);
    return out;
}

::GUID ToWin(const GUID& g) {
    ::GUID out;
    std::memcpy(&out, &g, sizeof out);
    return out;
}

// The COM object the system calls: the three event interfaces, forwarded to
// the facility's sink. It deletes itself through its own type in Release, so
// the interfaces' non-virtual destructors are never used.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Win32EventSink final : public ::INetworkListManagerEvents,
                             public ::INetworkEvents,
                             public ::INetworkConnectionEvents {
public:
    explicit Win32EventSink(std::shared_ptr<NetworkEventSink> sink) : m_sink(std::move(sink)) {}

    ::HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_INetworkListManagerEvents))
            *out = static_cast<::INetworkListManagerEvents*>(this);
        else if (IsEqualIID(iid, IID_INetworkEvents))
            *out = static_cast<::INetworkEvents*>(this);
        else if (IsEqualIID(iid, IID_INetworkConnectionEvents))
            *out = static_cast<::INetworkConnectionEvents*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ::ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ::ULONG STDMETHODCALLTYPE Release() override {
        const ::ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    ::HRESULT STDMETHODCALLTYPE ConnectivityChanged(::NLM_CONNECTIVITY c) override {
        return m_sink->ConnectivityChanged(static_cast<DWORD>(c));
    }
    ::HRESULT STDMETHODCALLTYPE NetworkAdded(::GUID id) override {
        return m_sink->NetworkAdded(FromWin(id));
    }
    ::HRESULT STDMETHODCALLTYPE NetworkDeleted(::GUID id) override {
        return m_sink->NetworkDeleted(FromWin(id));
    }
    ::HRESULT STDMETHODCALLTYPE NetworkConnectivityChanged(::GUID id,
                                                           ::NLM_CONNECTIVITY c) override {
        return m_sink->NetworkConnectivityChanged(FromWin(id), static_cast<DWORD>(c));
    }
    ::HRESULT STDMETHODCALLTYPE
    NetworkPropertyChanged(::GUID id, ::NLM_NETWORK_PROPERTY_CHANGE flags) override {
        return m_sink->NetworkPropertyChanged(FromWin(id), static_cast<DWORD>(flags));
    }
    ::HRESULT STDMETHODCALLTYPE
    NetworkConnectionConnectivityChanged(::GUID id, ::NLM_CONNECTIVITY c) override {
        return m_sink->NetworkConnectionConnectivityChanged(FromWin(id), static_cast<DWORD>(c));
    }
    ::HRESULT STDMETHODCALLTYPE
    NetworkConnectionPropertyChanged(::GUID id, ::NLM_CONNECTION_PROPERTY_CHANGE flags) override {
        return m_sink->NetworkConnectionPropertyChanged(FromWin(id), static_cast<DWORD>(flags));
    }

private:
    std::shared_ptr<NetworkEventSink> m_sink;
    std::atomic<::ULONG> m_refs{1};
};
#pragma GCC diagnostic pop

class Win32NetworkConnection : public NetworkConnection {
public:
    explicit Win32NetworkConnection(ComRef<::INetworkConnection> c) : m_c(std::move(c)) {}
    HRESULT GetConnectionId(GUID* id) override {
        if (id == nullptr)
            return E_POINTER;
        ::GUID g{};
        const HRESULT hr = m_c->GetConnectionId(&g);
        *id = FromWin(g);
        return hr;
    }
    HRESULT GetAdapterId(GUID* id) override {
        if (id == nullptr)
            return E_POINTER;
        ::GUID g{};
        const HRESULT hr = m_c->GetAdapterId(&g);
        *id = FromWin(g);
        return hr;
    }
    HRESULT get_IsConnectedToInternet(VARIANT_BOOL* connected) override {
        if (connected == nullptr)
            return E_POINTER;
        ::VARIANT_BOOL b = VARIANT_FALSE;
        const HRESULT hr = m_c->get_IsConnectedToInternet(&b);
        *connected = b;
        return hr;
    }
    HRESULT GetConnectivity(DWORD* connectivity) override {
        if (connectivity == nullptr)
            return E_POINTER;
        ::NLM_CONNECTIVITY c = NLM_CONNECTIVITY_DISCONNECTED;
        const HRESULT hr = m_c->GetConnectivity(&c);
        *connectivity = static_cast<DWORD>(c);
        return hr;
    }
    HRESULT GetDomainType(DWORD* domainType) override {
        if (domainType == nullptr)
            return E_POINTER;
        ::NLM_DOMAIN_TYPE t = NLM_DOMAIN_TYPE_NON_DOMAIN_NETWORK;
        const HRESULT hr = m_c->GetDomainType(&t);
        *domainType = static_cast<DWORD>(t);
        return hr;
    }

private:
    ComRef<::INetworkConnection> m_c;
};

class Win32EnumNetworkConnections : public EnumNetworkConnections {
public:
    explicit Win32EnumNetworkConnections(ComRef<::IEnumNetworkConnections> e) : m_e(std::move(e)) {}
    HRESULT Next(std::unique_ptr<NetworkConnection>* connection, ULONG* fetched) override {
        if (connection == nullptr)
            return E_POINTER;
        connection->reset();
        ComRef<::INetworkConnection> c;
        ::ULONG n = 0;
        const HRESULT hr = m_e->Next(1, c.Put(), &n);
        if (fetched != nullptr)
            *fetched = n;
        if (c)
            *connection = std::make_unique<Win32NetworkConnection>(std::move(c));
        return hr;
    }

private:
    ComRef<::IEnumNetworkConnections> m_e;
};

class Win32ConnectionPoint : public ConnectionPoint {
public:
    explicit Win32ConnectionPoint(ComRef<::IConnectionPoint> p) : m_p(std::move(p)) {}
    HRESULT Advise(std::shared_ptr<NetworkEventSink> sink, DWORD* cookie) override {
        if (!sink || cookie == nullptr)
            return E_POINTER;
        auto* object = new Win32EventSink(std::move(sink));
        ::DWORD c = 0;
        const HRESULT hr = m_p->Advise(static_cast<::INetworkListManagerEvents*>(object), &c);
        object->Release();  // the connection point holds its own reference
        *cookie = c;
        return hr;
    }
    HRESULT Unadvise(DWORD cookie) override { return m_p->Unadvise(cookie); }

private:
    ComRef<::IConnectionPoint> m_p;
};

class Win32ConnectionPointContainer : public ConnectionPointContainer {
public:
    explicit Win32ConnectionPointContainer(ComRef<::IConnectionPointContainer> c)
        : m_c(std::move(c)) {}
    HRESULT FindConnectionPoint(const GUID& iid, std::unique_ptr<ConnectionPoint>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::IConnectionPoint> p;
        const HRESULT hr = m_c->FindConnectionPoint(ToWin(iid), p.Put());
        if (p)
            *out = std::make_unique<Win32ConnectionPoint>(std::move(p));
        return hr;
    }

private:
    ComRef<::IConnectionPointContainer> m_c;
};

class Win32NetworkListManager : public NetworkListManager {
public:
    explicit Win32NetworkListManager(ComRef<::INetworkListManager> m) : m_m(std::move(m)) {}
    HRESULT GetNetworkConnections(std::unique_ptr<EnumNetworkConnections>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::IEnumNetworkConnections> e;
        const HRESULT hr = m_m->GetNetworkConnections(e.Put());
        if (e)
            *out = std::make_unique<Win32EnumNetworkConnections>(std::move(e));
        return hr;
    }
    HRESULT GetNetworkConnection(const GUID& connectionId,
                                 std::unique_ptr<NetworkConnection>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::INetworkConnection> c;
        const HRESULT hr = m_m->GetNetworkConnection(ToWin(connectionId), c.Put());
        if (c)
            *out = std::make_unique<Win32NetworkConnection>(std::move(c));
        return hr;
    }
    HRESULT QueryConnectionPointContainer(std::unique_ptr<ConnectionPointContainer>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::IConnectionPointContainer> c;
        const HRESULT hr =
            m_m->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(c.Put()));
        if (c)
            *out = std::make_unique<Win32ConnectionPointContainer>(std::move(c));
        return hr;
    }

private:
    ComRef<::INetworkListManager> m_m;
};

}  // namespace

HRESULT Win32Nlm::CreateNetworkListManager(DWORD clsctx, std::unique_ptr<NetworkListManager>* out) {
    if (out == nullptr)
        return E_POINTER;
    out->reset();
    ComRef<::INetworkListManager> m;
    const HRESULT hr =
        ::CoCreateInstance(CLSID_NetworkListManager, nullptr, clsctx, IID_INetworkListManager,
                           reinterpret_cast<void**>(m.Put()));
    if (m)
        *out = std::make_unique<Win32NetworkListManager>(std::move(m));
    return hr;
}

}  // namespace plat
