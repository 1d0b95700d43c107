#include "ClientDb.h"

#include <sqlite3.h>

#include <memory>

#include "platform/text/TextCodec.h"

namespace {

const char kCreateTable[] =
    "create table clientInfos( uid integer PRIMARY KEY AUTOINCREMENT, name varchar(40) default "
    "'' collate nocase, nickName varchar(50) default '' collate nocase, facePath varchar(256) "
    "default '', mac varchar(20) default '' collate nocase, manufactory varchar(40) default '' "
    "collate nocase, joinCount integer default 0, totalOnlineTime integer default 0, "
    "lastAccessTime integer default 0, speedLimitedDown integer default 0, speedLimitedUp "
    "integer default 0, isBan integer default 0, upCount integer default 0, downCount integer "
    "default 0);";

// The allow list, beside the clients' rows: a device may be on it before it
// ever joined. Older files get the table when they are opened.
const char kCreateAllowTable[] =
    "create table if not exists allowList( mac varchar(20) PRIMARY KEY collate nocase);";
const char kSelectAllowed[] = "SELECT mac FROM allowList ORDER BY mac";
const char kInsertAllowed[] = "insert or ignore into allowList (mac) values(?1)";
const char kDeleteAllowed[] = "delete from allowList where mac=?1";

const char kFindTable[] = "SELECT * FROM sqlite_master where type='table' and name='clientInfos'";

const char kSelectAll[] =
    "SELECT uid,name,nickName,facePath,mac, manufactory,joinCount,totalOnlineTime, "
    "speedLimitedDown,speedLimitedUp,isBan, upCount,downCount FROM clientInfos";

const char kInsert[] =
    "insert into clientInfos (name, nickName, facePath, mac, manufactory) values(?1, ?2, ?3, "
    "?4, ?5)";

const char kUpdate[] =
    "update clientInfos set name=?1, nickName=?2, facePath=?3, mac=?4, manufactory=?5, "
    "joinCount=?6, totalOnlineTime=?7, speedLimitedDown=?8, speedLimitedUp =?9, isBan = ?10, "
    "upCount=?11, downCount=?12 where uid=?13";

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

std::wstring FromUtf8(const char* text) {
    return text == nullptr ? std::wstring() : plat::TextCodec::Utf8ToWide(text);
}

// A text column: NULL reads as empty; bytes as stored, up to an embedded NUL.
std::wstring TextColumn(sqlite3_stmt* s, int column) {
    const unsigned char* text = sqlite3_column_text(s, column);
    if (text == nullptr)
        return std::wstring();
    const int bytes = sqlite3_column_bytes(s, column);
    return plat::TextCodec::Utf8ToWide(
        std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes)));
}

bool BindText(sqlite3_stmt* s, int index, const std::wstring& text) {
    const std::string utf8 = plat::TextCodec::WideToUtf8(text);
    return sqlite3_bind_text(s, index, utf8.data(), static_cast<int>(utf8.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

bool BindTexts(sqlite3_stmt* s, const ClientInfo& c) {
    return BindText(s, 1, c.name) && BindText(s, 2, c.nickName) && BindText(s, 3, c.facePath) &&
           BindText(s, 4, c.mac) && BindText(s, 5, c.manufactory);
}

}  // namespace

CClientDb::~CClientDb() {
    Close();
}

const char* CClientDb::CreateStatement() {
    return kCreateTable;
}

void CClientDb::Close() {
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

std::wstring CClientDb::LastError() const {
    return m_db == nullptr ? std::wstring(L"no database") : FromUtf8(sqlite3_errmsg(m_db));
}

bool CClientDb::Open(const std::wstring& path, std::wstring* error) {
    Close();
    const std::string utf8 = plat::TextCodec::WideToUtf8(path);
    const int rc = sqlite3_open(utf8.c_str(), &m_db);
    if (rc == SQLITE_OK)
        return true;
    if (error != nullptr)
        *error = m_db != nullptr ? LastError() : FromUtf8(sqlite3_errstr(rc));
    Close();
    return false;
}

bool CClientDb::Exec(const char* sql, std::wstring* error) {
    if (m_db == nullptr) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error != nullptr)
        *error = message != nullptr ? FromUtf8(message) : LastError();
    sqlite3_free(message);
    return false;
}

bool CClientDb::InitTable(std::wstring* error) {
    if (m_db == nullptr) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    char** table = nullptr;
    int rows = 0;
    int columns = 0;
    char* message = nullptr;
    if (sqlite3_get_table(m_db, kFindTable, &table, &rows, &columns, &message) != SQLITE_OK) {
        if (error != nullptr)
            *error = message != nullptr ? FromUtf8(message) : LastError();
        sqlite3_free(message);
        sqlite3_free_table(table);
        return false;
    }
    sqlite3_free_table(table);
    if (rows == 0 && !Exec(kCreateTable, error))
        return false;
    return Exec(kCreateAllowTable, error);
}

bool CClientDb::LoadAllowed(std::vector<std::wstring>* out, std::wstring* error) {
    sqlite3_stmt* raw = nullptr;
    if (m_db == nullptr ||
        sqlite3_prepare_v2(m_db, kSelectAllowed, -1, &raw, nullptr) != SQLITE_OK) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    Statement s(raw);
    std::vector<std::wstring> macs;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW)
        macs.push_back(TextColumn(s.get(), 0));
    if (rc != SQLITE_DONE) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    if (out != nullptr)
        *out = std::move(macs);
    return true;
}

bool CClientDb::SetAllowed(const std::wstring& mac, bool allowed, std::wstring* error) {
    sqlite3_stmt* raw = nullptr;
    if (m_db == nullptr || sqlite3_prepare_v2(m_db, allowed ? kInsertAllowed : kDeleteAllowed, -1,
                                              &raw, nullptr) != SQLITE_OK) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    Statement s(raw);
    if (!BindText(s.get(), 1, mac) || sqlite3_step(s.get()) != SQLITE_DONE) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    return true;
}

bool CClientDb::LoadAll(std::vector<ClientInfo>* out, std::wstring* error) {
    sqlite3_stmt* raw = nullptr;
    if (m_db == nullptr || sqlite3_prepare_v2(m_db, kSelectAll, -1, &raw, nullptr) != SQLITE_OK) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    Statement s(raw);
    std::vector<ClientInfo> rows;
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        ClientInfo c;
        c.uid = sqlite3_column_int(s.get(), 0);
        c.name = TextColumn(s.get(), 1);
        c.nickName = TextColumn(s.get(), 2);
        c.facePath = TextColumn(s.get(), 3);
        c.mac = TextColumn(s.get(), 4);
        c.manufactory = TextColumn(s.get(), 5);
        c.joinCount = sqlite3_column_int(s.get(), 6);
        c.totalOnlineTime = sqlite3_column_int64(s.get(), 7);
        c.speedLimitedDown = sqlite3_column_int(s.get(), 8);
        c.speedLimitedUp = sqlite3_column_int(s.get(), 9);
        // 0 or 1: any other number another writer left is a ban, shown as one.
        c.isBan = sqlite3_column_int(s.get(), 10) != 0 ? 1 : 0;
        c.upCount = sqlite3_column_int64(s.get(), 11);
        c.downCount = sqlite3_column_int64(s.get(), 12);
        rows.push_back(std::move(c));
    }
    if (rc != SQLITE_DONE) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    if (out != nullptr)
        *out = std::move(rows);
    return true;
}

bool CClientDb::Insert(const ClientInfo& client, std::int32_t* uid, std::wstring* error) {
    sqlite3_stmt* raw = nullptr;
    if (m_db == nullptr || sqlite3_prepare_v2(m_db, kInsert, -1, &raw, nullptr) != SQLITE_OK) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    Statement s(raw);
    if (!BindTexts(s.get(), client) || sqlite3_step(s.get()) != SQLITE_DONE) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    if (uid != nullptr)
        *uid = static_cast<std::int32_t>(sqlite3_last_insert_rowid(m_db));
    return true;
}

bool CClientDb::Update(const ClientInfo& client, std::wstring* error) {
    sqlite3_stmt* raw = nullptr;
    if (m_db == nullptr || sqlite3_prepare_v2(m_db, kUpdate, -1, &raw, nullptr) != SQLITE_OK) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    Statement s(raw);
    sqlite3_stmt* st = s.get();
    const bool bound = BindTexts(st, client) && sqlite3_bind_int(st, 6, client.joinCount) == 0 &&
                       sqlite3_bind_int64(st, 7, client.totalOnlineTime) == 0 &&
                       sqlite3_bind_int(st, 8, client.speedLimitedDown) == 0 &&
                       sqlite3_bind_int(st, 9, client.speedLimitedUp) == 0 &&
                       sqlite3_bind_int(st, 10, client.isBan) == 0 &&
                       sqlite3_bind_int64(st, 11, client.upCount) == 0 &&
                       sqlite3_bind_int64(st, 12, client.downCount) == 0 &&
                       sqlite3_bind_int(st, 13, client.uid) == 0;
    if (!bound || sqlite3_step(st) != SQLITE_DONE) {
        if (error != nullptr)
            *error = LastError();
        return false;
    }
    if (sqlite3_changes(m_db) < 1) {
        if (error != nullptr)
            *error = L"no row with uid " + std::to_wstring(client.uid);
        return false;
    }
    return true;
}

bool CClientDb::Begin(std::wstring* error) {
    return Exec("BEGIN", error);
}

bool CClientDb::Commit(std::wstring* error) {
    return Exec("COMMIT", error);
}

void CClientDb::Rollback() {
    if (m_db != nullptr && sqlite3_get_autocommit(m_db) == 0)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}
