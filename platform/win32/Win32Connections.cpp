#include "Win32Connections.h"

#include <objbase.h>

#include <netcon.h>

#include "ComRef.h"

namespace plat {

namespace {

// netcon.idl
const ::CLSID kClsidConnectionManager = {
    0xBA126AD1, 0x2166, 0x11D1, {0xB1, 0xD0, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};
const ::IID kIidNetConnectionManager = {
    0xC08956A2, 0x1CD3, 0x11D1, {0xB1, 0xC5, 0x00, 0x80, 0x5F, 0xC1, 0x27, 0x0E}};

static_assert(sizeof(::NETCON_PROPERTIES) == sizeof(plat::NETCON_PROPERTIES));
static_assert(offsetof(::NETCON_PROPERTIES, MediaType) ==
              offsetof(plat::NETCON_PROPERTIES, MediaType));

class Win32NetConnection : public NetConnection {
public:
    explicit Win32NetConnection(ComRef<::INetConnection> c) : m_c(std::move(c)) {}
    HRESULT GetProperties(NETCON_PROPERTIES** properties) override {
        if (properties == nullptr)
            return E_POINTER;
        ::NETCON_PROPERTIES* raw = nullptr;
        const HRESULT hr = m_c->GetProperties(&raw);
        *properties = reinterpret_cast<NETCON_PROPERTIES*>(raw);
        return hr;
    }

private:
    ComRef<::INetConnection> m_c;
};

class Win32EnumNetConnection : public EnumNetConnection {
public:
    explicit Win32EnumNetConnection(ComRef<::IEnumNetConnection> e) : m_e(std::move(e)) {}
    HRESULT Next(std::unique_ptr<NetConnection>* connection, ULONG* fetched) override {
        if (connection == nullptr)
            return E_POINTER;
        connection->reset();
        ComRef<::INetConnection> c;
        ::ULONG n = 0;
        const HRESULT hr = m_e->Next(1, c.Put(), &n);
        if (fetched != nullptr)
            *fetched = n;
        if (c)
            *connection = std::make_unique<Win32NetConnection>(std::move(c));
        return hr;
    }

private:
    ComRef<::IEnumNetConnection> m_e;
};

class Win32NetConnectionManager : public NetConnectionManager {
public:
    explicit Win32NetConnectionManager(ComRef<::INetConnectionManager> m) : m_m(std::move(m)) {}
    HRESULT EnumConnections(DWORD flags, std::unique_ptr<EnumNetConnection>* out) override {
        if (out == nullptr)
            return E_POINTER;
        out->reset();
        ComRef<::IEnumNetConnection> e;
        const HRESULT hr =
            m_m->EnumConnections(static_cast<::NETCONMGR_ENUM_FLAGS>(flags), e.Put());
        if (e)
            *out = std::make_unique<Win32EnumNetConnection>(std::move(e));
        return hr;
    }

private:
    ComRef<::INetConnectionManager> m_m;
};

}  // namespace

HRESULT Win32Connections::CreateConnectionManager(DWORD clsctx,
                                                  std::unique_ptr<NetConnectionManager>* out) {
    if (out == nullptr)
        return E_POINTER;
    out->reset();
    ComRef<::INetConnectionManager> m;
    const HRESULT hr =
        ::CoCreateInstance(kClsidConnectionManager, nullptr, clsctx, kIidNetConnectionManager,
                           reinterpret_cast<void**>(m.Put()));
    if (m)
        *out = std::make_unique<Win32NetConnectionManager>(std::move(m));
    return hr;
}

}  // namespace plat
