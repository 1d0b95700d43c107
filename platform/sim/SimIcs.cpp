#include "SimIcs.h"

#include "SimCom.h"
#include "SimFaults.h"
#include "SimNetwork.h"
#include "platform/facility/OsInfo.h"
#include "platform/text/GuidText.h"

namespace plat {

namespace {

class SimSharingConfiguration : public NetSharingConfiguration, private SimComObject {
public:
    SimSharingConfiguration(SimIcs& ics, const GUID& connection)
        : SimComObject(ics.Com()), m_ics(ics), m_connection(connection) {}
    HRESULT EnableSharing(int sharingType) override {
        if (auto f = m_ics.Faults().Take("EnableSharing"))
            return static_cast<HRESULT>(*f);
        if (!m_ics.MayChange())
            return kEAccessDenied;
        return m_ics.Enable(m_connection, sharingType);
    }
    HRESULT DisableSharing() override {
        if (auto f = m_ics.Faults().Take("DisableSharing"))
            return static_cast<HRESULT>(*f);
        if (!m_ics.MayChange())
            return kEAccessDenied;
        return m_ics.Disable(m_connection);
    }

private:
    SimIcs& m_ics;
    GUID m_connection;
};

class SimConnectionProps : public NetConnectionProps, private SimComObject {
public:
    SimConnectionProps(SimIcs& ics, const GUID& connection)
        : SimComObject(ics.Com()), m_ics(ics), m_connection(connection) {}
    HRESULT get_Guid(std::wstring* guid) override {
        if (guid == nullptr)
            return kEPointer;
        if (auto f = m_ics.Faults().Take("get_Guid"))
            return static_cast<HRESULT>(*f);
        *guid = GuidText::ToWString(m_connection);
        return kSOk;
    }

private:
    SimIcs& m_ics;
    GUID m_connection;
};

class SimSharingConnection : public SharingConnection, private SimComObject {
public:
    SimSharingConnection(SimIcs& ics, const GUID& connection)
        : SimComObject(ics.Com()), guid(connection) {}
    GUID guid;
};

class SimSharingVariant : public SharingVariant, private SimComObject {
public:
    SimSharingVariant(SimIcs& ics, const GUID& connection)
        : SimComObject(ics.Com()), m_ics(ics), m_connection(connection) {}
    HRESULT QueryNetConnection(std::unique_ptr<SharingConnection>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_ics.Faults().Take("QueryInterface(INetConnection)"))
            return static_cast<HRESULT>(*f);
        *out = std::make_unique<SimSharingConnection>(m_ics, m_connection);
        return kSOk;
    }

private:
    SimIcs& m_ics;
    GUID m_connection;
};

class SimSharingEnumVariant : public SharingEnumVariant, private SimComObject {
public:
    SimSharingEnumVariant(SimIcs& ics, std::vector<GUID> connections)
        : SimComObject(ics.Com()), m_ics(ics), m_connections(std::move(connections)) {}
    HRESULT Reset() override {
        if (auto f = m_ics.Faults().Take("IEnumVARIANT::Reset"))
            return static_cast<HRESULT>(*f);
        m_next = 0;
        return kSOk;
    }
    HRESULT Next(std::unique_ptr<SharingVariant>* element, ULONG* fetched) override {
        if (element == nullptr)
            return kEPointer;
        element->reset();
        if (fetched != nullptr)
            *fetched = 0;
        if (auto f = m_ics.Faults().Take("IEnumVARIANT::Next"))
            return static_cast<HRESULT>(*f);
        if (m_next >= m_connections.size())
            return kSFalse;
        *element = std::make_unique<SimSharingVariant>(m_ics, m_connections[m_next++]);
        if (fetched != nullptr)
            *fetched = 1;
        return kSOk;
    }

private:
    SimIcs& m_ics;
    std::vector<GUID> m_connections;
    std::size_t m_next = 0;
};

class SimSharingEnumUnknown : public SharingEnumUnknown, private SimComObject {
public:
    SimSharingEnumUnknown(SimIcs& ics, std::vector<GUID> connections)
        : SimComObject(ics.Com()), m_ics(ics), m_connections(std::move(connections)) {}
    HRESULT QueryEnumVariant(std::unique_ptr<SharingEnumVariant>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_ics.Faults().Take("QueryInterface(IEnumVARIANT)"))
            return static_cast<HRESULT>(*f);
        *out = std::make_unique<SimSharingEnumVariant>(m_ics, m_connections);
        return kSOk;
    }

private:
    SimIcs& m_ics;
    std::vector<GUID> m_connections;
};

class SimSharingEveryConnection : public SharingEveryConnection, private SimComObject {
public:
    explicit SimSharingEveryConnection(SimIcs& ics)
        : SimComObject(ics.Com()), m_ics(ics), m_connections(ics.Connections()) {}
    HRESULT get__NewEnum(std::unique_ptr<SharingEnumUnknown>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_ics.Faults().Take("get__NewEnum"))
            return static_cast<HRESULT>(*f);
        *out = std::make_unique<SimSharingEnumUnknown>(m_ics, m_connections);
        return kSOk;
    }

private:
    SimIcs& m_ics;
    std::vector<GUID> m_connections;
};

class SimSharingManager : public NetSharingManager, private SimComObject {
public:
    explicit SimSharingManager(SimIcs& ics) : SimComObject(ics.Com()), m_ics(ics) {
        m_ics.ManagerCreated(1);
    }
    ~SimSharingManager() override { m_ics.ManagerCreated(-1); }

    HRESULT get_SharingInstalled(VARIANT_BOOL* installed) override {
        if (installed == nullptr)
            return kEPointer;
        if (auto f = m_ics.Faults().Take("get_SharingInstalled"))
            return static_cast<HRESULT>(*f);
        *installed = m_ics.Installed() ? kVariantTrue : kVariantFalse;
        return kSOk;
    }
    HRESULT get_EnumEveryConnection(std::unique_ptr<SharingEveryConnection>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_ics.Faults().Take("get_EnumEveryConnection"))
            return static_cast<HRESULT>(*f);
        *out = std::make_unique<SimSharingEveryConnection>(m_ics);
        return kSOk;
    }
    HRESULT get_NetConnectionProps(SharingConnection& connection,
                                   std::unique_ptr<NetConnectionProps>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_ics.Faults().Take("get_NetConnectionProps"))
            return static_cast<HRESULT>(*f);  // 0: S_OK without an object
        const GUID guid = static_cast<SimSharingConnection&>(connection).guid;
        if (!m_ics.HasConnection(guid))
            return kEInvalidArg;
        *out = std::make_unique<SimConnectionProps>(m_ics, guid);
        return kSOk;
    }
    HRESULT get_INetSharingConfigurationForINetConnection(
        SharingConnection& connection, std::unique_ptr<NetSharingConfiguration>* out) override {
        if (out == nullptr)
            return kEPointer;
        out->reset();
        if (auto f = m_ics.Faults().Take("get_INetSharingConfigurationForINetConnection"))
            return static_cast<HRESULT>(*f);
        const GUID guid = static_cast<SimSharingConnection&>(connection).guid;
        if (!m_ics.HasConnection(guid))
            return kEInvalidArg;
        *out = std::make_unique<SimSharingConfiguration>(m_ics, guid);
        return kSOk;
    }

private:
    SimIcs& m_ics;
};

}  // namespace

SimIcs::SimIcs(SimFaults& faults, SimCom& com, SimNetwork& network, OsInfo* token)
    : m_faults(faults), m_com(com), m_network(network), m_token(token) {}

bool SimIcs::MayChange() const {
    return m_token == nullptr || m_token->IsElevated();
}

void SimIcs::SetInstalled(bool installed) {
    std::lock_guard<std::mutex> g(m_lock);
    m_installed = installed;
}

bool SimIcs::Installed() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_installed;
}

void SimIcs::Refuse(const GUID& connection, HRESULT hr) {
    std::lock_guard<std::mutex> g(m_lock);
    if (hr == 0)
        m_refusals.erase(connection);
    else
        m_refusals[connection] = hr;
}

bool SimIcs::IsPublic(const GUID& connection) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_flags.find(connection);
    return it != m_flags.end() && it->second.isPublic;
}

bool SimIcs::IsPrivate(const GUID& connection) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_flags.find(connection);
    return it != m_flags.end() && it->second.isPrivate;
}

void SimIcs::SetFlags(const GUID& connection, bool isPublic, bool isPrivate) {
    std::lock_guard<std::mutex> g(m_lock);
    m_flags[connection] = Flags{isPublic, isPrivate};
}

int SimIcs::LiveManagers() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_managers;
}

void SimIcs::ManagerCreated(int delta) {
    std::lock_guard<std::mutex> g(m_lock);
    m_managers += delta;
}

std::vector<GUID> SimIcs::Connections() const {
    std::vector<AdapterInfo> adapters;
    m_network.Snapshot(&adapters);
    std::vector<GUID> out;
    for (const auto& a : adapters)
        if (a.ifType != kIfTypeLoopback)
            out.push_back(a.guid);
    return out;
}

bool SimIcs::HasConnection(const GUID& connection) const {
    for (const auto& g : Connections())
        if (g == connection)
            return true;
    return false;
}

HRESULT SimIcs::Enable(const GUID& connection, int sharingType) {
    if (sharingType != kIcsSharingTypePublic && sharingType != kIcsSharingTypePrivate)
        return kEInvalidArg;
    if (!HasConnection(connection))
        return kEInvalidArg;  // the adapter went away
    std::lock_guard<std::mutex> g(m_lock);
    if (auto r = m_refusals.find(connection); r != m_refusals.end())
        return r->second;
    for (auto& [guid, flags] : m_flags) {
        if (sharingType == kIcsSharingTypePublic)
            flags.isPublic = false;
        else
            flags.isPrivate = false;
    }
    Flags& f = m_flags[connection];
    if (sharingType == kIcsSharingTypePublic) {
        f.isPublic = true;
        f.isPrivate = false;
    } else {
        f.isPrivate = true;
        f.isPublic = false;
    }
    return kSOk;
}

HRESULT SimIcs::Disable(const GUID& connection) {
    if (!HasConnection(connection))
        return kEInvalidArg;
    std::lock_guard<std::mutex> g(m_lock);
    m_flags[connection] = Flags{};
    return kSOk;
}

HRESULT SimIcs::CreateSharingManager(const GUID& clsid, DWORD clsctx,
                                     std::unique_ptr<NetSharingManager>* out) {
    if (out == nullptr)
        return kEPointer;
    out->reset();
    if (auto f = m_faults.Take("CoCreateInstance(HNetShare)"))
        return static_cast<HRESULT>(*f);
    if (clsid != kClsidNetSharingManager || (clsctx & kClsctxInprocServer) == 0)
        return kRegdbEClassNotReg;
    if (const HRESULT hr = m_com.CanCreate(); hr != kSOk)
        return hr;
    *out = std::make_unique<SimSharingManager>(*this);
    return kSOk;
}

}  // namespace plat
