#include "LinuxConnections.h"

#include <vector>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/common/ComApartments.h"
#include "platform/common/NetconRecords.h"
#include "platform/facility/ModuleRegistry.h"

namespace plat {

namespace {

void LUMARI_WINAPI LinuxNcFreeNetconProperties(NETCON_PROPERTIES* properties) {
    NetconRecords::Free(properties);
}

class LinuxNetConnection : public NetConnection {
public:
    explicit LinuxNetConnection(AdapterInfo adapter) : m_adapter(std::move(adapter)) {}
    HRESULT GetProperties(NETCON_PROPERTIES** properties) override {
        if (properties == nullptr)
            return kEPointer;
        *properties = NetconRecords::FromAdapter(m_adapter, nullptr, nullptr);
        return kSOk;
    }

private:
    AdapterInfo m_adapter;
};

class LinuxEnumNetConnection : public EnumNetConnection {
public:
    explicit LinuxEnumNetConnection(std::vector<AdapterInfo> adapters)
        : m_adapters(std::move(adapters)) {}
    HRESULT Next(std::unique_ptr<NetConnection>* connection, ULONG* fetched) override {
        if (connection == nullptr)
            return kEPointer;
        connection->reset();
        if (fetched != nullptr)
            *fetched = 0;
        if (m_next >= m_adapters.size())
            return kSFalse;
        *connection = std::make_unique<LinuxNetConnection>(m_adapters[m_next++]);
        if (fetched != nullptr)
            *fetched = 1;
        return kSOk;
    }

private:
    std::vector<AdapterInfo> m_adapters;
    std::size_t m_next = 0;
};

class LinuxNetConnectionManager : public NetConnectionManager {
public:
    HRESULT EnumConnections(DWORD flags, std::unique_ptr<EnumNetConnection>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (flags != kNcmeDefault)
            return kEInvalidArg;
        std::vector<AdapterInfo> all;
        if (const DWORD e = Platform::Current().Net().Adapters(&all))
            return HresultFromWin32(e);
        std::vector<AdapterInfo> connections;
        for (auto& a : all)
            if (a.ifType != kIfTypeLoopback)
                connections.push_back(std::move(a));
        *out = std::make_unique<LinuxEnumNetConnection>(std::move(connections));
        return kSOk;
    }
};

}  // namespace

LinuxConnections::LinuxConnections(ComApartments& com, ModuleRegistry& modules) : m_com(com) {
    modules.Add(L"netshell.dll",
                {{"NcFreeNetconProperties", ModuleRegistry::Fn(&LinuxNcFreeNetconProperties)}});
}

HRESULT LinuxConnections::CreateConnectionManager(DWORD clsctx,
                                                  std::unique_ptr<NetConnectionManager>* out) {
    if (out == nullptr)
        return kEPointer;
    out->reset();
    if ((clsctx & kClsctxLocalServer) == 0)
        return kRegdbEClassNotReg;
    if (!m_com.InApartment())
        return kCoENotInitialized;
    *out = std::make_unique<LinuxNetConnectionManager>();
    return kSOk;
}

}  // namespace plat
