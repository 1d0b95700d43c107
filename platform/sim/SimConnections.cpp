#include "SimConnections.h"

#include "SimCom.h"
#include "SimFaults.h"
#include "SimNetwork.h"
#include "SimPc.h"
#include "platform/common/NetconRecords.h"
#include "platform/facility/ComRuntime.h"
#include "platform/facility/ModuleRegistry.h"

namespace plat {

namespace {

void LUMARI_WINAPI SimNcFreeNetconProperties(NETCON_PROPERTIES* properties) {
    if (SimPc* pc = SimPc::Current())
        pc->connections.FreeProperties(properties);
}

class SimNetConnection : public NetConnection, private SimComObject {
public:
    SimNetConnection(SimConnections& folder, AdapterInfo adapter)
        : SimComObject(folder.Com()), m_folder(folder), m_adapter(std::move(adapter)) {}

    HRESULT GetProperties(NETCON_PROPERTIES** properties) override {
        if (properties == nullptr)
            return kEPointer;
        *properties = nullptr;
        if (auto f = m_folder.Faults().Take("GetProperties"))
            return static_cast<HRESULT>(*f);  // 0: S_OK without a record
        *properties = m_folder.NewProperties(m_adapter);
        return kSOk;
    }

private:
    SimConnections& m_folder;
    AdapterInfo m_adapter;
};

class SimEnumNetConnection : public EnumNetConnection, private SimComObject {
public:
    SimEnumNetConnection(SimConnections& folder, std::vector<AdapterInfo> adapters)
        : SimComObject(folder.Com()), m_folder(folder), m_adapters(std::move(adapters)) {}

    HRESULT Next(std::unique_ptr<NetConnection>* connection, ULONG* fetched) override {
        if (connection == nullptr)
            return kEPointer;
        connection->reset();
        if (fetched != nullptr)
            *fetched = 0;
        if (auto f = m_folder.Faults().Take("IEnumNetConnection::Next"))
            return static_cast<HRESULT>(*f);
        if (m_next >= m_adapters.size())
            return kSFalse;
        *connection = std::make_unique<SimNetConnection>(m_folder, m_adapters[m_next++]);
        if (fetched != nullptr)
            *fetched = 1;
        return kSOk;
    }

private:
    SimConnections& m_folder;
    std::vector<AdapterInfo> m_adapters;
    std::size_t m_next = 0;
};

class SimNetConnectionManager : public NetConnectionManager, private SimComObject {
public:
    explicit SimNetConnectionManager(SimConnections& folder)
        : SimComObject(folder.Com()), m_folder(folder) {}

    HRESULT EnumConnections(DWORD flags, std::unique_ptr<EnumNetConnection>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_folder.Faults().Take("EnumConnections"))
            return static_cast<HRESULT>(*f);
        if (flags != kNcmeDefault)
            return kEInvalidArg;
        *out = std::make_unique<SimEnumNetConnection>(m_folder, m_folder.FolderAdapters());
        return kSOk;
    }

private:
    SimConnections& m_folder;
};

}  // namespace

SimConnections::SimConnections(SimFaults& faults, SimCom& com, SimNetwork& network,
                               ModuleRegistry& modules)
    : m_faults(faults), m_com(com), m_network(network), m_modules(modules) {
    InstallNetshell();
}

SimConnections::~SimConnections() {
    for (NETCON_PROPERTIES* p : m_handedOut)
        NetconRecords::Free(p);
}

bool SimConnections::SetMediaType(const GUID& adapter, DWORD mediaType) {
    if (!m_network.FindAdapter(adapter, nullptr))
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    m_traits[adapter].mediaType = mediaType;
    m_traits[adapter].hasMediaType = true;
    return true;
}

bool SimConnections::SetStatus(const GUID& adapter, DWORD status) {
    if (!m_network.FindAdapter(adapter, nullptr))
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    m_traits[adapter].status = status;
    m_traits[adapter].hasStatus = true;
    return true;
}

void SimConnections::InstallNetshell() {
    m_modules.Add(L"netshell.dll",
                  {{"NcFreeNetconProperties", ModuleRegistry::Fn(&SimNcFreeNetconProperties)}});
}

void SimConnections::RemoveNetshell() {
    m_modules.Remove(L"netshell.dll");
}

int SimConnections::LiveProperties() const {
    std::lock_guard<std::mutex> g(m_lock);
    return static_cast<int>(m_handedOut.size());
}

int SimConnections::BadFrees() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_badFrees;
}

std::vector<AdapterInfo> SimConnections::FolderAdapters() const {
    std::vector<AdapterInfo> all;
    m_network.Snapshot(&all);
    std::vector<AdapterInfo> out;
    for (auto& a : all)
        if (a.ifType != kIfTypeLoopback)
            out.push_back(std::move(a));
    return out;
}

NETCON_PROPERTIES* SimConnections::NewProperties(const AdapterInfo& adapter) {
    std::lock_guard<std::mutex> g(m_lock);
    const Traits t = m_traits.count(adapter.guid) != 0 ? m_traits.at(adapter.guid) : Traits{};
    NETCON_PROPERTIES* p = NetconRecords::FromAdapter(
        adapter, t.hasMediaType ? &t.mediaType : nullptr, t.hasStatus ? &t.status : nullptr);
    m_handedOut.insert(p);
    return p;
}

void SimConnections::FreeProperties(NETCON_PROPERTIES* properties) {
    std::lock_guard<std::mutex> g(m_lock);
    if (properties == nullptr || m_handedOut.erase(properties) == 0) {
        ++m_badFrees;
        return;
    }
    NetconRecords::Free(properties);
}

HRESULT SimConnections::CreateConnectionManager(DWORD clsctx,
                                                std::unique_ptr<NetConnectionManager>* out) {
    if (out == nullptr)
        return kEPointer;
    out->reset();
    if (auto f = m_faults.Take("CoCreateInstance(ConnectionManager)"))
        return static_cast<HRESULT>(*f);
    // The connection manager is a local server (the Network Connections service).
    if ((clsctx & kClsctxLocalServer) == 0)
        return kRegdbEClassNotReg;
    if (const HRESULT hr = m_com.CanCreate(); hr != kSOk)
        return hr;
    *out = std::make_unique<SimNetConnectionManager>(*this);
    return kSOk;
}

}  // namespace plat
