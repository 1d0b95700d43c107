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
    std::lock_guard<std::mutex> g(m_lock);

    if (!m_makers.Load(CLumariConfig::GetInstance()->GetMacPath()))
        LOG(ERROR) << "Init manufactory db failed";

    // A new run: nobody is seen or blocked yet.
    for (auto& [key, c] : m_clients) {
        c->valid = false;
        c->info.blocked = 0;
    }

    CClientDb db;
    std::vector<ClientInfo> rows;
    std::wstring error;
    bool loaded = OpenDb(db);
    if (loaded && !db.LoadAll(&rows, &error)) {
        LOG(ERROR) << "Query data failed: " << Utf8(error);
        loaded = false;
    }
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
    bool inTransaction = false;
    if (loaded) {
        inTransaction = db.Begin(&error);
        if (!inTransaction)
            LOG(ERROR) << "sqlite begin error: " << Utf8(error);
    }
    for (const auto& [key, c] : m_clients)
        ApplyToDriver(*c);
    if (inTransaction && !db.Commit(&error)) {
        LOG(ERROR) << "sqlite commit error: " << Utf8(error);
        db.Rollback();
    }
    return loaded;
}

void CClientManager::UnInit() {
    std::lock_guard<std::mutex> g(m_lock);
    const std::int64_t now = Now();
    for (auto& [key, c] : m_clients)
        EndPeriod(*c, now);
    if (!m_clients.empty())
        SaveAllLocked();
}

void CClientManager::SaveAllLocked() {
    CClientDb db;
    std::wstring error;
    if (!OpenDb(db))
        return;
    if (!db.Begin(&error)) {
        LOG(ERROR) << "sqlite begin error: " << Utf8(error);
        return;
    }
    for (auto& [key, c] : m_clients) {
        if (c->info.uid == 0) {
            // Its row could not be written when it first joined.
            std::int32_t uid = 0;
            if (!db.Insert(c->info, &uid, &error)) {
                LOG(ERROR) << "insert data error: " << Utf8(error);
                continue;
            }
            c->info.uid = uid;
        }
        if (!db.Update(c->info, &error))
            LOG(ERROR) << "update data error: " << Utf8(error);
    }
    if (!db.Commit(&error)) {
        LOG(ERROR) << "sqlite commit error: " << Utf8(error);
        db.Rollback();
    }
}

void CClientManager::SaveOne(Client& c) {
    CClientDb db;
    std::wstring error;
    if (!OpenDb(db))
        return;
    if (c.info.uid == 0) {
        std::int32_t uid = 0;
        if (!db.Insert(c.info, &uid, &error)) {
            LOG(ERROR) << "insert data error: " << Utf8(error);
            return;
        }
        c.info.uid = uid;
    }
    if (!db.Update(c.info, &error))
        LOG(ERROR) << "update data error: " << Utf8(error);
}

void CClientManager::ApplyToDriver(const Client& c) {
    if (c.info.isBan != 0 || c.info.blocked != 0)
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
    CClientDb db;
    std::wstring error;
    if (OpenDb(db)) {
        std::int32_t uid = 0;
        if (db.Insert(c->info, &uid, &error))
            c->info.uid = uid;
        else
            LOG(ERROR) << "insert data error: " << Utf8(error);
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

void CClientManager::CompleteHostName(Client& c) {
    if ((!c.info.name.empty() && c.info.name != kBroadcastName) || c.address == 0)
        return;
    char name[1025] = {};
    int length = static_cast<int>(sizeof name);
    if (GetHostname(plat::Ipv4Text::Format(c.address).c_str(), name, &length) == 1 && length > 0 &&
        length < static_cast<int>(sizeof name))
        c.info.name = AnsiToWide(std::string(name, static_cast<std::size_t>(length)));
}

void CClientManager::Join(Client& c, const ClientReport& report, bool isNew) {
    (void)isNew;
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
    CompleteHostName(c);
}

bool CClientManager::Add(const ClientReport& report, ClientInfo* out) {
    const std::wstring key = Key(report.mac);
    if (key.empty())
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(key);
    const bool isNew = c == nullptr;
    if (isNew)
        c = Create(key);
    const bool joined = c->info.online == 0;
    if (joined) {
        Join(*c, report, isNew);
        char line[2048];
        std::snprintf(line, sizeof line,
                      "[Lumari] mac:%s ip:%s hostname:%s manufactory:%s compnay:%s type:%s",
                      Utf8(c->info.mac).c_str(), Utf8(c->info.ip).c_str(),
                      Utf8(c->info.name).c_str(), Utf8(c->info.manufactory).c_str(),
                      Utf8(c->info.company).c_str(), Utf8(c->info.type).c_str());
        plat::OutputDebugStringA(line);
    }
    if (out != nullptr)
        *out = c->info;
    return joined;
}

bool CClientManager::Update(const ClientReport& report, ClientInfo* out, bool* changed) {
    if (changed != nullptr)
        *changed = false;
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(report.mac);
    if (c == nullptr)
        return false;
    bool differs = false;
    if (report.ip != 0) {
        const std::int64_t now = Now();
        c->seenTime = now;
        c->info.lastSeen = now;
        differs = c->info.upRate != report.upRate || c->info.periodUp != report.periodUp ||
                  c->info.downRate != report.downRate || c->info.periodDown != report.periodDown;
        c->info.upRate = report.upRate;
        c->info.periodUp = report.periodUp;
        c->info.downRate = report.downRate;
        c->info.periodDown = report.periodDown;
        c->countsFresh = true;
        if (report.ip != c->address || c->info.addressState != 2) {
            SetAddress(*c, report.ip);
            differs = true;
            const std::wstring before = c->info.name;
            CompleteHostName(*c);
            differs = differs || before != c->info.name;
        }
    }
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
    // The counts stay in the record (the window's flow sums them) but go into
    // the totals once: a period that got no report of its own adds nothing.
    if (c.countsFresh) {
        c.info.upCount += static_cast<std::int64_t>(c.info.periodUp);
        c.info.downCount += static_cast<std::int64_t>(c.info.periodDown);
        c.countsFresh = false;
    }
}

bool CClientManager::Remove(const std::wstring& mac, ClientInfo* out) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    const bool wasOnline = c->info.online != 0;
    EndPeriod(*c, Now());
    LOG(INFO) << "unlogin client:" << Utf8(c->info.mac);
    if (out != nullptr)
        *out = c->info;
    return wasOnline;
}

bool CClientManager::SetSpeedLimit(const std::wstring& mac, int down, int up) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    c->info.speedLimitedDown = down;
    c->info.speedLimitedUp = up;
    const int allowed = c->info.isBan == 0 && c->info.blocked == 0 ? 1 : 0;
    DriverSpeedLimit(c->info.mac, allowed, allowed ? down : 0, allowed ? up : 0);
    SaveOne(*c);
    return true;
}

bool CClientManager::BanClient(const std::wstring& mac) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    DriverSpeedLimit(c->info.mac, 0, 0, 0);
    c->info.isBan = 1;
    SaveOne(*c);
    return true;
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
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    DriverSpeedLimit(c->info.mac, 1, c->info.speedLimitedDown, c->info.speedLimitedUp);
    c->info.isBan = 0;
    c->info.blocked = 0;
    SaveOne(*c);
    return true;
}

bool CClientManager::SetClientNickName(const std::wstring& mac, const std::wstring& nickName) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    c->info.nickName = nickName;
    SaveOne(*c);
    return true;
}

bool CClientManager::SetClientFacePath(const std::wstring& mac, const std::wstring& facePath) {
    std::lock_guard<std::mutex> g(m_lock);
    ClientPtr c = Lookup(mac);
    if (c == nullptr)
        return false;
    c->info.facePath = facePath;
    SaveOne(*c);
    return true;
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
    std::uint64_t d = 0, u = 0;
    for (const auto& [key, c] : m_clients) {
        d += c->info.periodDown;
        u += c->info.periodUp;
    }
    if (down != nullptr)
        *down = d;
    if (up != nullptr)
        *up = u;
}
