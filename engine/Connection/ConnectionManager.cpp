#include "ConnectionManager.h"

#include <glog/logging.h>

#include <chrono>
#include <cstring>
#include <iomanip>

#include "Common/Interruption.h"
#include "Common/StringConv.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"
#include "platform/winapi/Win32Api.h"

namespace {

constexpr int kSetAttempts = 5;
constexpr int kChecksPerAttempt = 5;
constexpr auto kCheckPause = std::chrono::milliseconds(400);
constexpr const char* kFallbackTarget = "114.114.114.114";
constexpr plat::DWORD kIfTypeTunnel = 131;
constexpr plat::DWORD kIfTypePpp = 23;

// inet_addr: the address in network byte order, INADDR_NONE for bad text.
std::uint32_t InetAddr(const std::string& text) {
    std::uint32_t ip = 0;
    return plat::Ipv4Text::Parse(text, &ip) ? ip : 0xFFFFFFFFu;
}

std::string Subnet(const std::string& ip) {
    const auto dot = ip.rfind('.');
    return dot == std::string::npos ? ip : ip.substr(0, dot);
}

bool Collides(const std::string& ip, const std::vector<std::string>& others) {
    const std::string subnet = Subnet(ip);
    for (const auto& other : others)
        if (Subnet(other) == subnet)
            return true;
    return false;
}

// Adds 1 to the third octet. From 255 the addition carries into the fourth
// octet (192.168.255.1 becomes 192.168.0.2); false then, which ends the
// adjustment. Text that is no address is left as it is (false).
bool NextSubnet(std::string& ip) {
    std::uint32_t address = 0;
    if (!plat::Ipv4Text::Parse(ip, &address))
        return false;
    std::uint8_t b[4];
    plat::Ipv4Text::ToBytes(address, b);
    const bool carry = b[2] == 255;
    b[2] = static_cast<std::uint8_t>(b[2] + 1);
    if (carry)
        b[3] = static_cast<std::uint8_t>(b[3] + 1);
    ip = plat::Ipv4Text::Format(plat::Ipv4Text::FromBytes(b));
    return !carry;
}

// Moves `ip` to the next subnet while it collides with `others` (a carry ends it).
void AvoidCollisions(std::string& ip, const std::vector<std::string>& others) {
    while (Collides(ip, others))
        if (!NextSubnet(ip))
            break;
}

}  // namespace

bool CConnectionManager::Init() {
    const plat::HRESULT hr = CNetConProperty::NSModInit();
    if (hr != plat::kSOk)
        LOG(ERROR) << "NSModInit failed:" << hr;
    return RefreshConnections();
}

void CConnectionManager::_EnumConnectionFolder(std::vector<Record>& list) {
    plat::Backend& os = plat::Platform::Current();
    plat::HRESULT hr = os.Com().CoInitializeEx(plat::kCoinitMultithreaded);
    if (hr < 0 && hr != plat::kRpcEChangedMode) {
        LOG(INFO) << "CoInitializeEx failed:" << hr;
        return;
    }
    hr = os.Com().CoInitializeSecurity(plat::kRpcCAuthnLevelDefault, plat::kRpcCImpLevelImpersonate,
                                       plat::kEoacNone);
    if (hr < 0 && hr != plat::kRpcETooLate)
        LOG(INFO) << "CoInitializeSecurity return " << std::hex << hr;

    std::unique_ptr<plat::NetConnectionManager> manager;
    hr = os.Connections().CreateConnectionManager(
        plat::kClsctxLocalServer | plat::kClsctxNoCodeDownload, &manager);
    if (hr < 0 || !manager) {
        LOG(INFO) << "CoCreateInstance failed:" << hr;
        return;
    }
    std::unique_ptr<plat::EnumNetConnection> connections;
    hr = manager->EnumConnections(plat::kNcmeDefault, &connections);
    if (hr < 0 || !connections) {
        LOG(INFO) << "EnumConnections failed:" << hr;
        return;
    }
    const plat::NcFreeNetconPropertiesFn freeProperties = CNetConProperty::FreeNetconProperties();
    for (;;) {
        std::unique_ptr<plat::NetConnection> connection;
        plat::ULONG fetched = 0;
        if (connections->Next(&connection, &fetched) != plat::kSOk || fetched != 1 || !connection)
            break;
        plat::NETCON_PROPERTIES* properties = nullptr;
        hr = connection->GetProperties(&properties);
        if (hr < 0 || properties == nullptr) {
            LOG(INFO) << "GetProperties failed:" << hr;
            continue;
        }
        list.push_back(std::make_shared<CNetConProperty>(*properties));
        if (freeProperties != nullptr)
            freeProperties(properties);
    }
}

bool CConnectionManager::RefreshConnections() {
    std::vector<Record> list;
    _EnumConnectionFolder(list);

    std::vector<plat::AdapterInfo> adapters;
    const plat::DWORD e = plat::Platform::Current().Net().Adapters(&adapters);
    if (e == 0) {
        for (const auto& a : adapters) {
            if (a.ifType == plat::kIfTypeLoopback)
                continue;
            Record match;
            for (const auto& r : list) {
                // An adapter-only record has no name: it is matched by GUID only.
                if (r->guid() == a.guid || (!r->name().empty() && r->name() == a.friendlyName)) {
                    match = r;
                    break;
                }
            }
            if (match)
                match->UpdateFromAdapter(a);
            else
                list.push_back(std::make_shared<CNetConProperty>(a));
        }
    }

    for (const auto& r : list) {
        LOG(INFO) << "index:" << r->ifIndex() << " connection:\"" << WideToAnsiReplacing(r->name())
                  << "\" dev:\"" << WideToAnsiReplacing(r->deviceName())
                  << " guid:" << plat::GuidText::ToString(r->guid())
                  << " mediatype:" << r->mediaType() << " status:" << r->status();
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_connections = std::move(list);
    return e == 0;
}

void CConnectionManager::_RefreshWhenEmpty() {
    bool empty;
    {
        std::lock_guard<std::mutex> g(m_lock);
        empty = m_connections.empty();
    }
    if (empty)
        RefreshConnections();
}

CConnectionManager::Record CConnectionManager::_Find(const plat::GUID& guid) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& r : m_connections)
        if (std::memcmp(&r->guid(), &guid, sizeof guid) == 0)
            return r;
    return nullptr;
}

std::vector<CConnectionManager::Record> CConnectionManager::Connections() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_connections;
}

CConnectionManager::Record CConnectionManager::FindConnection(const plat::GUID& guid) {
    _RefreshWhenEmpty();
    return _Find(guid);
}

bool CConnectionManager::GetBestOutInterface(const std::string& target, plat::GUID* guid,
                                             std::string* dns) {
    _RefreshWhenEmpty();
    plat::IpHelper& net = plat::Platform::Current().Net();
    LOG(INFO) << "GetBestInterface to " << target;
    int best = CNetConProperty::kNoIndex;
    plat::DWORD index = 0;
    plat::DWORD result = net.BestInterface(InetAddr(target), &index);
    if (result == 0) {
        best = static_cast<int>(index);
        LOG(INFO) << "Best interface index: " << index;
    } else {
        LOG(ERROR) << "GetBestInterface failed return: " << result
                   << " error: " << plat::GetLastError();
        result = net.BestInterface(InetAddr(kFallbackTarget), &index);
        if (result == 0)
            best = static_cast<int>(index);
        else
            LOG(ERROR) << "GetBestInterface failed return: " << result
                       << " error: " << plat::GetLastError() << " out address:" << kFallbackTarget;
    }

    const std::vector<Record> list = Connections();
    auto pick = [&list](auto&& test) -> Record {
        for (const auto& r : list)
            if (test(*r))
                return r;
        return nullptr;
    };
    Record chosen = pick([best](const CNetConProperty& r) {
        return best != CNetConProperty::kNoIndex && r.ifIndex() == best;
    });
    if (!chosen)
        chosen = pick([](const CNetConProperty& r) {
            return r.status() == plat::kNcsConnected &&
                   (r.mediaType() == plat::kNcmTunnel || r.ifType() == kIfTypeTunnel);
        });
    if (!chosen)
        chosen = pick([](const CNetConProperty& r) {
            return r.status() == plat::kNcsConnected && r.mediaType() == plat::kNcmPhone;
        });
    if (!chosen)
        chosen = pick([](const CNetConProperty& r) {
            return r.status() == plat::kNcsConnected &&
                   (r.mediaType() == plat::kNcmPppoe || r.ifType() == kIfTypePpp);
        });
    if (!chosen)
        return false;
    if (dns != nullptr)
        dns->clear();
    if (guid != nullptr)
        *guid = chosen->guid();
    std::string servers;
    GetDns(chosen->guid(), servers);
    if (dns != nullptr)
        *dns = servers;
    return true;
}

bool CConnectionManager::SetIp(const plat::GUID& guid, std::string& ip, bool check) {
    Record record = FindConnection(guid);
    if (!record) {
        RefreshConnections();
        record = _Find(guid);
    }
    if (!record) {
        LOG(ERROR) << "can't find interface:" << plat::GuidText::ToString(guid);
        return false;
    }

    std::vector<std::string> others;
    for (const auto& r : Connections()) {
        if (r == record)
            continue;
        r->RefreshAddresses();
        for (const auto& a : r->ipAddresses())
            others.push_back(a);
    }
    AvoidCollisions(ip, others);
    if (record->CheckIP(ip))
        return true;

    bool done = false;
    for (int attempt = 0; attempt < kSetAttempts && !done; ++attempt) {
        const bool set = record->SetInterfaceAddress(ip, "255.255.255.0", "", attempt > 0);
        if (!check) {
            LOG(INFO) << "No check ip";
            done = set;
            break;
        }
        for (int i = 0; i < kChecksPerAttempt && !done; ++i) {
            if (record->CheckIP(ip))
                done = true;
            else if (!CInterruption::Sleep(kCheckPause))
                return false;
        }
        if (done)
            break;
        if (NextSubnet(ip))
            AvoidCollisions(ip, others);
    }
    if (done)
        LOG(INFO) << "CConnectionManager::SetIp succeed:" << ip;
    return done;
}

void CConnectionManager::EnableDhcp(const plat::GUID& guid) {
    Record record = _Find(guid);
    if (!record) {
        LOG(ERROR) << "EnableDhcp can't find interface:" << plat::GuidText::ToString(guid);
        return;
    }
    record->SetInterfaceAddress("", "255.255.255.0", "", false);
}

bool CConnectionManager::GetDns(const plat::GUID& guid, std::string& out) {
    Record record = FindConnection(guid);
    if (!record)
        return false;
    std::vector<std::string> servers;
    if (!record->GetDnsServers(servers))
        return false;
    out.clear();
    for (const auto& s : servers)
        out += (out.empty() ? "" : ",") + s;
    return true;
}

bool CConnectionManager::GetFlow(const Record& record, std::uint64_t& receivedKb,
                                 std::uint64_t& sentKb) {
    return record && record->GetFlow(receivedKb, sentKb);
}
