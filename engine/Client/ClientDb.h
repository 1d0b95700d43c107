// The client database: one SQLite connection to the file that remembers every
// device that ever joined, so that names, pictures, bans, limits and counters
// survive restarts. An object is made for one unit of work and closes the
// connection when it goes. Texts are stored as UTF-8; every value is bound as
// a parameter, never written into a statement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Common/ClientInfo.h"

struct sqlite3;

class CClientDb {
public:
    CClientDb() = default;
    ~CClientDb();
    CClientDb(const CClientDb&) = delete;
    CClientDb& operator=(const CClientDb&) = delete;

    // Opens (or creates) the file; false with the reason, and the connection
    // closed, when that fails.
    bool Open(const std::wstring& path, std::wstring* error);
    // Creates the tables the file does not have yet.
    bool InitTable(std::wstring* error);
    // The MACs on the allow list.
    bool LoadAllowed(std::vector<std::wstring>* out, std::wstring* error);
    // Puts the MAC on the allow list or takes it off.
    bool SetAllowed(const std::wstring& mac, bool allowed, std::wstring* error);
    // Every stored row, in row order.
    bool LoadAll(std::vector<ClientInfo>* out, std::wstring* error);
    // A new row for the client; its row id in `uid`.
    bool Insert(const ClientInfo& client, std::int32_t* uid, std::wstring* error);
    // Writes the client's row (found by uid); false when no row changed.
    bool Update(const ClientInfo& client, std::wstring* error);
    bool Begin(std::wstring* error);
    bool Commit(std::wstring* error);
    // Undoes an open transaction (after a failed save); nothing when none is open.
    void Rollback();

    // The statement that creates the table.
    static const char* CreateStatement();

private:
    bool Exec(const char* sql, std::wstring* error);
    std::wstring LastError() const;
    void Close();

    sqlite3* m_db = nullptr;
};
