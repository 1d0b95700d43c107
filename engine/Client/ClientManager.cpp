#include "ClientManager.h"

#include <glog/logging.h>

#include <cwctype>

#include "ClientDb.h"
#include "Common/LumariConfig.h"
#include "Common/StringConv.h"
#include "Dhcp/DhcpManager.h"
#include "Share/ShareManager.h"
#include "pellion/Pellion.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/MacText.h"
#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

namespace {

// A name the DHCP server holds for a client that sent none.
const wchar_t kBroadcastName[] = L"255.255.255.255";

std::string Utf8(const std::wstring& text) {
    return plat::TextCodec::WideToUtf8(text);
}

// The NAT driver is reached through the share manager, whose lock every
// driver call takes; only in driver mode is there a driver to tell.
bool DriverMode() {
    CShareManager* share = CShareManager::GetInstance();
    return share != nullptr && share->IsDriverMode();
}

void DriverSpeedLimit(const std::wstring& mac, int allowed, int down, int up) {
    if (DriverMode())
        CShareManager::GetInstance()->SetSpeedLimit(mac, allowed, down, up);
}

// Opens the database and makes sure the table is there; logs what failed.
bool OpenDb(CClientDb& db) {
    std::wstring error;
    if (!db.Open(CLumariConfig::GetInstance()->GetDbPath(), &error)) {
        LOG(ERROR) << "open db error:" << Utf8(error);
        return false;
    }
    if (!db.InitTable(&error)) {
        LOG(ERROR) << "init db error:" << Utf8(error);
        return false;
    }
    return true;
}

}  // namespace

CClientManager::CClientManager() = default;

CClientManager::~CClientManager() = default;

std::int64_t CClientManager::Now() {
    return plat::Platform::Current().Time().UnixSeconds();
}

std::wstring CClientManager::Key(const std::wstring& mac) {
    std::wstring key = mac;
    for (wchar_t& c : key)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return key;
}

CClientManager::ClientPtr CClientManager::Lookup(const std::wstring& mac) const {
    const auto it = m_clients.find(Key(mac));
    return it == m_clients.end() ? nullptr : it->second;
}

bool CClientManager::Init() {
    UnInit();

    // The stored clients are read without the table's lock: the window's
    // calls go on meanwhile.
    std::vector<ClientInfo> rows;
    std::vector<std::wstring> allowed;
    bool loaded = false;
    bool allowLoaded = false;
    {
        std::lock_guard<std::mutex> d(m_dbLock);
        CClientDb db;
        std::wstring error;
        loaded = OpenDb(db);
        if (loaded && !db.LoadAll(&rows, &error)) {
            LOG(ERROR) << "Query data failed: " << Utf8(error);
            loaded = false;
        }
        allowLoaded = loaded && db.LoadAllowed(&allowed, &error);
        if (loaded && !allowLoaded)
            LOG(ERROR) << "Query allow list failed: " << Utf8(error);
    }

    std::lock_guard<std::mutex> g(m_lock);
    if (!m_makers.Load(CLumariConfig::GetInstance()->GetMacPath()))
        LOG(ERROR) << "Init manufactory db failed";

    // A new run: nobody is seen or blocked yet, and the run's flow starts
    // at zero. The driver keeps its counts across a stop and start: a client
    // that was online at the stop is measured from its last report.
    for (auto& [key, c] : m_clients) {
        c->valid = false;
        c->info.blocked = 0;
    }
    m_runUp = m_runDown = 0;
    // The stored allow list joins what was put on it in memory meanwhile.
    if (allowLoaded)
        for (const std::wstring& mac : allowed)
            if (!Key(mac).empty())
                m_allowed.insert(Key(mac));
    for (ClientInfo& row : rows) {
        const std::wstring key = Key(row.mac);
        if (key.empty() || m_clients.count(key) != 0)
            continue;  // the table in memory is newer than what was saved
        auto c = std::make_shared<Client>();
        c->info = std::move(row);
        c->info.mac = key;
        m_clients[key] = c;
    }

    // The driver forgot the bans and limits since the last run. The table in
    // memory holds them even when the file could not be read, so they are
    // applied whatever the database answered.
    for (const auto& [key, c] : m_clients)
        ApplyToDriver(*c);
    return loaded;
}

void CClientManager::UnInit() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        const std::int64_t now = Now();
        for (auto& [key, c] : m_clients)
            EndPeriod(*c, now);
        if (m_clients.empty())
            return;
    }
    SaveAll();
}

bool CClientManager::WriteRow(CClientDb& db, const ClientPtr& c) {
    ClientInfo row;
    {
        std::lock_guard<std::mutex> g(m_lock);
        row = c->info;
    }
    std::wstring error;
    if (row.uid == 0) {
        // Its row is not there yet (or could not be written when it joined).
        std::int32_t uid = 0;
        if (!db.Insert(row, &uid, &error)) {
            LOG(ERROR) << "insert data error: " << Utf8(error);
            return false;
        }
        row.uid = uid;
        std::lock_guard<std::mutex> g(m_lock);
        c->info.uid = uid;
    }
    if (!db.Update(row, &error)) {
        LOG(ERROR) << "update data error: " << Utf8(error);
        return false;
    }
    return true;
}

void CClientManager::SaveAll() {
    std::lock_guard<std::mutex> d(m_dbLock);
    std::vector<ClientPtr> clients;
    {
        std::lock_guard<std::mutex> g(m_lock);
        for (const auto& [key, c] : m_clients)
            clients.push_back(c);
    }
    CClientDb db;
    std::wstring error;
    if (!OpenDb(db))
        return;
    if (!db.Begin(&error)) {
        LOG(ERROR) << "sqlite begin error: " << Utf8(error);
        return;
    }
    for (const ClientPtr& c : clients)
        WriteRow(db, c);
    if (!db.Commit(&error)) {
        LOG(ERROR) << "sqlite commit error: " << Utf8(error);
        db.Rollback();
    }
}

void CClientManager::Save(const ClientPtr& c) {
    // The row is taken from the table when the database is free, so the last
    // change is what is written whichever save comes first.
    std::lock_guard<std::mutex> d(m_dbLock);
    CClientDb db;
    if (OpenDb(db))
        WriteRow(db, c);
}

bool CClientManager::Allowed(const Client& c) const {
    return m_allowed.empty() || m_allowed.count(c.info.mac) != 0;
}

void CClientManager::RefuseLease(const std::wstring& mac) {
    CDhcpManager::GetInstance()->RemoveClient(mac);
    AddBlackList(Utf8(mac).c_str());
}

CClientManager::ClientPtr CClientManager::LookupOrCreate(const std::wstring& mac) {
    const std::wstring key = Key(mac);
    plat::MacAddress bytes;
    if (!plat::MacText::Parse(Utf8(key).c_str(), &bytes) ||
        plat::MacText::FormatWide(bytes.data()) != key)
        return nullptr;
    ClientPtr c = Lookup(key);
    return c != nullptr ? c : Create(key);
}

void CClientManager::ApplyToDriver(const Client& c) {
    if (c.info.isBan != 0 || c.info.blocked != 0 || !Allowed(c))
        DriverSpeedLimit(c.info.mac, 0, 0, 0);
    else
        DriverSpeedLimit(c.info.mac, 1, c.info.speedLimitedDown, c.info.speedLimitedUp);
}

CClientManager::ClientPtr CClientManager::Create(const std::wstring& key) {
    auto c = std::make_shared<Client>();
    c->info.mac = key;
    CManufactoryTable::Maker maker;
    if (m_makers.Find(key, &maker)) {
        c->info.manufactory = maker.manufactory;
        c->info.company = maker.company;
        c->info.type = maker.type;
    } else if (CManufactoryTable::IsLocallyAdministered(key)) {
        c->info.type = kDeviceTypeRandom;  // a private address names no maker
    } else {
        LOG(ERROR) << "Unknow Device mac:" << Utf8(key);
    }
    m_clients[key] = c;
    return c;
}

void CClientManager::SetAddress(Client& c, std::uint32_t ip) {
    c.address = ip;
    if (ip == 0) {
        c.info.addressState = 1;
    } else {
        c.info.ip = AnsiToWide(plat::Ipv4Text::Format(ip));
        c.info.addressState = 2;
    }
}

bool CClientManager::NeedsName(const Client& c) {
    return (c.info.name.empty() || c.info.name == kBroadcastName) && c.address != 0;
}

std::wstring CClientManager::ReverseName(std::uint32_t address) {
    char name[1025] = {};
    int length = static_cast<int>(sizeof name);
    if (GetHostname(plat::Ipv4Text::Format(address).c_str(), name, &length) == 1 && length > 0 &&
        length < static_cast<int>(sizeof name))
        return AnsiToWide(std::string(name, static_cast<std::size_t>(length)));
    return {};
}

bool CClientManager::CompleteHostName(const ClientPtr& c) {
    std::uint32_t address = 0;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!NeedsName(*c))
            return false;
        address = c->address;
    }
    // The resolver may take long: the table stays free meanwhile, and the
    // name is kept only when the client still has that address and no name.
    const std::wstring name = ReverseName(address);
    if (name.empty())
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    if (!NeedsName(*c) || c->address != address)
        return false;
    c->info.name = name;
    return true;
}

void CClientManager::Join(Client& c, const ClientReport& report) {
    const std::int64_t now = Now();
    c.valid = true;
    c.seenTime = now;
    c.info.lastSeen = now;
    c.info.joinCount += 1;
    c.info.online = 1;
    c.joinTime = now;
    SetAddress(c, report.ip);
    // A name remembered from an earlier run stays when the server holds none.
    const std::wstring dhcpName = CDhcpManager::GetInstance()->GetClientHostName(c.info.mac);
    if (!dhcpName.empty())
        c.info.name = dhcpName;
    else if (!report.name.empty())
        c.info.name = report.name;
}

bool CClientManager::Add(const ClientReport& report, ClientInfo* out) {
    const std::wstring key = Key(report.mac);
    if (key.empty())
        return false;
    ClientPtr c;
    bool isNew = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = Lookup(key);
        isNew = c == nullptr;
        if (isNew)
            c = Create(key);
        if (c->info.online != 0) {
            if (out != nullptr)
                *out = c->info;
            return false;
        }
        Join(*c, report);
        if (!Allowed(*c))
            ApplyToDriver(*c);  // not on the allow list: cut from its first report
    }
    CompleteHostName(c);
    if (isNew)
        Save(c);  // its row, inserted at its first join
    std::lock_guard<std::mutex> g(m_lock);
    char line[2048];
    std::snprintf(line, sizeof line,
                  "[Lumari] mac:%s ip:%s hostname:%s manufactory:%s compnay:%s type:%s",
                  Utf8(c->info.mac).c_str(), Utf8(c->info.ip).c_str(), Utf8(c->info.name).c_str(),
                  Utf8(c->info.manufactory).c_str(), Utf8(c->info.company).c_str(),
                  Utf8(c->info.type).c_str());
    plat::OutputDebugStringA(line);
    if (out != nullptr) {
        *out = c->info;
        out->isNew = isNew ? 1 : 0;
    }
    return true;
}

bool CClientManager::Update(const ClientReport& report, ClientInfo* out, bool* changed) {
    if (changed != nullptr)
        *changed = false;
    ClientPtr c;
    bool differs = false;
    bool moved = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = Lookup(report.mac);
        if (c == nullptr)
            return false;
        if (report.ip != 0) {
            const std::int64_t now = Now();
            c->seenTime = now;
            c->info.lastSeen = now;
            differs = c->info.upRate != report.upRate || c->info.periodUp != report.periodUp ||
                      c->info.downRate != report.downRate ||
                      c->info.periodDown != report.periodDown;
            c->info.upRate = report.upRate;
            c->info.periodUp = report.periodUp;
            c->info.downRate = report.downRate;
            c->info.periodDown = report.periodDown;
            // Only what moved since the last report counts: the driver's
            // counters may go on across a leave or start again from zero.
            const std::uint64_t up = Moved(c->lastUp, report.periodUp);
            const std::uint64_t down = Moved(c->lastDown, report.periodDown);
            c->lastUp = report.periodUp;
            c->lastDown = report.periodDown;
            c->periodMovedUp += up;
            c->periodMovedDown += down;
            m_runUp += up;
            m_runDown += down;
            if (report.ip != c->address || c->info.addressState != 2) {
                SetAddress(*c, report.ip);
                differs = true;
                moved = true;
            }
        }
    }
    if (moved)
        CompleteHostName(c);
    std::lock_guard<std::mutex> g(m_lock);
    if (changed != nullptr)
        *changed = differs;
    if (out != nullptr)
        *out = c->info;
    return c->info.online != 0;
}

void CClientManager::EndPeriod(Client& c, std::int64_t now) {
    if (c.info.online == 0)
        return;
    c.info.online = 0;
    c.seenTime = 0;
    c.info.lastSeen = 0;
    c.info.totalOnlineTime += now - c.joinTime;
    c.info.lastJoinTime = c.joinTime;
    // What the period moved goes into the totals once: a period that got no
    // report of its own adds nothing.
    c.info.upCount += static_cast<std::int64_t>(c.periodMovedUp);
    c.info.downCount += static_cast<std::int64_t>(c.periodMovedDown);
    c.periodMovedUp = c.periodMovedDown = 0;
}

bool CClientManager::Remove(const std::wstring& mac, ClientInfo* out) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    const bool wasOnline = c->info.online != 0;
    EndPeriod(*c, Now());
    // The engine has the driver forget a client that leaves: a return counts
    // from zero there.
    c->lastUp = c->lastDown = 0;
    LOG(INFO) << "unlogin client:" << Utf8(c->info.mac);
    if (out != nullptr)
        *out = c->info;
    return wasOnline;
}

// Each change is made under the lock and written to the database after it,
// so that a slow disk holds up no reader of the table.
bool CClientManager::SetSpeedLimit(const std::wstring& mac, int down, int up) {
    ClientPtr c;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = Lookup(mac);
        if (c == nullptr)
            return false;
        c->info.speedLimitedDown = down;
        c->info.speedLimitedUp = up;
        const int allowed = c->info.isBan == 0 && c->info.blocked == 0 ? 1 : 0;
        DriverSpeedLimit(c->info.mac, allowed, allowed ? down : 0, allowed ? up : 0);
    }
    Save(c);
    return true;
}

bool CClientManager::BanClient(const std::wstring& mac) {
    ClientPtr c;
    bool cut = true;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = Lookup(mac);
        if (c == nullptr)
            return false;
        // The DHCP server refuses it from now on and its lease ends. Without a
        // driver to cut it, the address it holds keeps working on the shared
        // link until it asks for one again: the ban is kept, and the answer
        // says that the device was not cut.
        RefuseLease(c->info.mac);
        if (DriverMode())
            DriverSpeedLimit(c->info.mac, 0, 0, 0);
        else
            cut = false;
        c->info.isBan = 1;
    }
    Save(c);
    return cut;
}

bool CClientManager::BlockClient(const std::wstring& mac) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    DriverSpeedLimit(c->info.mac, 0, 0, 0);
    c->info.blocked = 1;
    return true;
}

bool CClientManager::UnbanClient(const std::wstring& mac) {
    ClientPtr c;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = Lookup(mac);
        if (c == nullptr)
            return false;
        RemoveFromBlackList(Utf8(c->info.mac).c_str());
        c->info.isBan = 0;
        c->info.blocked = 0;
        ApplyToDriver(*c);  // still cut when the allow list leaves it out
    }
    Save(c);
    return true;
}

bool CClientManager::DenyClient(const std::wstring& mac) {
    ClientPtr c;
    bool wasAllowed = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = LookupOrCreate(mac);
        if (c == nullptr)
            return false;
        wasAllowed = m_allowed.erase(c->info.mac) != 0;
        if (wasAllowed) {
            RemoveFromAllowList(Utf8(c->info.mac).c_str());
            if (m_allowed.empty()) {
                // The list is empty now: it no longer keeps anybody out.
                SetAllowListOn(0);
                for (const auto& [key, other] : m_clients)
                    if (other != c)
                        ApplyToDriver(*other);
            }
        }
        c->info.isBan = 1;
        RefuseLease(c->info.mac);
        DriverSpeedLimit(c->info.mac, 0, 0, 0);
    }
    if (wasAllowed)
        StoreAllowed(c->info.mac, false);
    Save(c);
    return true;
}

bool CClientManager::AllowClient(const std::wstring& mac) {
    ClientPtr c;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = LookupOrCreate(mac);
        if (c == nullptr)
            return false;
        const bool first = m_allowed.empty();
        m_allowed.insert(c->info.mac);
        AddAllowList(Utf8(c->info.mac).c_str());
        SetAllowListOn(1);
        if (c->info.isBan != 0) {
            c->info.isBan = 0;
            RemoveFromBlackList(Utf8(c->info.mac).c_str());
        }
        ApplyToDriver(*c);
        if (first) {
            // The list keeps out from now on every device not on it.
            for (const auto& [key, other] : m_clients) {
                if (Allowed(*other))
                    continue;
                ApplyToDriver(*other);
                CDhcpManager::GetInstance()->RemoveClient(other->info.mac);
            }
        }
    }
    StoreAllowed(c->info.mac, true);
    Save(c);
    return true;
}

bool CClientManager::DisallowClient(const std::wstring& mac) {
    const std::wstring key = Key(mac);
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_allowed.erase(key) == 0)
            return false;
        RemoveFromAllowList(Utf8(key).c_str());
        if (m_allowed.empty()) {
            SetAllowListOn(0);
            for (const auto& [k, other] : m_clients)
                ApplyToDriver(*other);
        } else if (ClientPtr c = Lookup(key)) {
            ApplyToDriver(*c);
            CDhcpManager::GetInstance()->RemoveClient(key);
        }
    }
    StoreAllowed(key, false);
    return true;
}

std::vector<std::wstring> CClientManager::GetAllowList() {
    std::lock_guard<std::mutex> g(m_lock);
    return {m_allowed.begin(), m_allowed.end()};
}

void CClientManager::StoreAllowed(const std::wstring& key, bool allowed) {
    std::lock_guard<std::mutex> d(m_dbLock);
    CClientDb db;
    std::wstring error;
    if (OpenDb(db) && !db.SetAllowed(key, allowed, &error))
        LOG(ERROR) << "allow list write error: " << Utf8(error);
}

bool CClientManager::SetClientNickName(const std::wstring& mac, const std::wstring& nickName) {
    ClientPtr c;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = Lookup(mac);
        if (c == nullptr)
            return false;
        c->info.nickName = nickName;
    }
    Save(c);
    return true;
}

bool CClientManager::SetClientFacePath(const std::wstring& mac, const std::wstring& facePath) {
    ClientPtr c;
    {
        std::lock_guard<std::mutex> g(m_lock);
        c = Lookup(mac);
        if (c == nullptr)
            return false;
        c->info.facePath = facePath;
    }
    Save(c);
    return true;
}

void CClientManager::ApplyListsToDhcp() {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& [key, c] : m_clients)
        if (c->info.isBan != 0)
            AddBlackList(Utf8(c->info.mac).c_str());
    for (const std::wstring& key : m_allowed)
        AddAllowList(Utf8(key).c_str());
    SetAllowListOn(m_allowed.empty() ? 0 : 1);
}

void CClientManager::GetClients(std::vector<ClientInfo>& out) {
    std::lock_guard<std::mutex> g(m_lock);
    out.clear();
    for (const auto& [key, c] : m_clients)
        out.push_back(c->info);
}

void CClientManager::GetBannedClients(std::vector<ClientInfo>& out) {
    std::lock_guard<std::mutex> g(m_lock);
    out.clear();
    for (const auto& [key, c] : m_clients)
        if (c->info.isBan == 1)
            out.push_back(c->info);
}

bool CClientManager::GetClient(const std::wstring& mac, ClientInfo& out) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    out = c->info;
    return true;
}

bool CClientManager::FindClient(const std::wstring& mac, ClientInfo& out) {
    std::lock_guard<std::mutex> g(m_lock);
    const std::wstring key = Key(mac);
    for (const auto& [k, c] : m_clients) {
        if (c->info.mac == key) {
            out = c->info;
            return true;
        }
    }
    return false;
}

void CClientManager::GetTotalFlow(std::uint64_t* down, std::uint64_t* up) {
    std::lock_guard<std::mutex> g(m_lock);
    if (down != nullptr)
        *down = m_runDown;
    if (up != nullptr)
        *up = m_runUp;
}
