// The client database on real SQLite files in a temporary folder.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "Client/ClientDb.h"
#include "platform/text/TextCodec.h"
#include "support/TempDir.h"

namespace {

std::wstring W(const std::string& s) {
    return plat::TextCodec::Utf8ToWide(s);
}

// A second connection to the same file, as another program would hold it.
class RawDb {
public:
    explicit RawDb(const std::string& path) { sqlite3_open(path.c_str(), &m_db); }
    ~RawDb() { sqlite3_close(m_db); }
    int Exec(const std::string& sql) {
        return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    std::string Text(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0) != nullptr)
            out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        return out;
    }

private:
    sqlite3* m_db = nullptr;
};

ClientInfo Sample() {
    ClientInfo c;
    c.name = W("Bob's \"phone\"; DROP TABLE clientInfos;--");
    c.nickName = W("小米手机 🚀 'x'");
    c.facePath = W("/faces/o'neil.png");
    c.mac = L"AA-BB-CC-DD-EE-01";
    c.manufactory = W("Xiaomi");
    return c;
}

TEST(ClientDbTest, FreshFileGetsTheTableOnceAndRowsRoundTripByteForByte) {
    TempDir dir;
    const std::wstring path = W(dir.File("lumari.dat"));
    std::int32_t uid = 0;
    {
        CClientDb db;
        std::wstring error;
        ASSERT_TRUE(db.Open(path, &error));
        ASSERT_TRUE(db.InitTable(&error)) << plat::TextCodec::WideToUtf8(error);
        ASSERT_TRUE(db.Insert(Sample(), &uid, &error));
        EXPECT_GT(uid, 0);
        ClientInfo c = Sample();
        c.uid = uid;
        c.joinCount = 7;
        c.totalOnlineTime = 5'000'000'000LL;
        c.speedLimitedDown = 512;
        c.speedLimitedUp = 128;
        c.isBan = 1;
        c.upCount = 9'000'000'001LL;
        c.downCount = 12'345'678'901LL;
        c.company = L"not stored";
        ASSERT_TRUE(db.Update(c, &error));
    }
    RawDb raw(dir.File("lumari.dat"));
    // The table as created (SQLite keeps the text from "(" on as given).
    const std::string created = CClientDb::CreateStatement();
    const std::string stored = raw.Text("SELECT sql FROM sqlite_master WHERE name='clientInfos'");
    EXPECT_EQ(stored.substr(stored.find('(')),
              created.substr(created.find('('), created.size() - created.find('(') - 1));
    EXPECT_EQ(raw.Text("SELECT lastAccessTime FROM clientInfos"), "0");

    // A second start finds the table and keeps the rows.
    CClientDb db;
    std::vector<ClientInfo> rows;
    ASSERT_TRUE(db.Open(path, nullptr));
    ASSERT_TRUE(db.InitTable(nullptr));
    ASSERT_TRUE(db.LoadAll(&rows, nullptr));
    ASSERT_EQ(rows.size(), 1u);
    const ClientInfo& c = rows[0];
    EXPECT_EQ(c.uid, uid);
    EXPECT_EQ(c.name, Sample().name);
    EXPECT_EQ(c.nickName, Sample().nickName);
    EXPECT_EQ(c.facePath, Sample().facePath);
    EXPECT_EQ(c.mac, Sample().mac);
    EXPECT_EQ(c.manufactory, Sample().manufactory);
    EXPECT_EQ(c.joinCount, 7);
    EXPECT_EQ(c.totalOnlineTime, 5'000'000'000LL);
    EXPECT_EQ(c.speedLimitedDown, 512);
    EXPECT_EQ(c.speedLimitedUp, 128);
    EXPECT_EQ(c.isBan, 1);
    EXPECT_EQ(c.upCount, 9'000'000'001LL);
    EXPECT_EQ(c.downCount, 12'345'678'901LL);
    EXPECT_TRUE(c.company.empty()) << "only the table's columns are read";

    // The MAC column compares without regard to case.
    EXPECT_EQ(raw.Text("SELECT uid FROM clientInfos WHERE mac='aa-bb-cc-dd-ee-01'"),
              std::to_string(uid));
}

TEST(ClientDbTest, UpdateOfARowThatIsNotThereFails) {
    TempDir dir;
    CClientDb db;
    std::wstring error;
    ASSERT_TRUE(db.Open(W(dir.File("lumari.dat")), &error));
    ASSERT_TRUE(db.InitTable(&error));
    ClientInfo c = Sample();
    c.uid = 42;
    EXPECT_FALSE(db.Update(c, &error));
    EXPECT_FALSE(error.empty());
}

TEST(ClientDbTest, DamagedForeignAndLockedFilesAreRefusedAndLeftAsTheyWere) {
    TempDir dir;
    std::wstring error;

    dir.Write("garbage.dat", std::string(4096, '\x5a'));
    {
        CClientDb db;
        ASSERT_TRUE(db.Open(W(dir.File("garbage.dat")), &error)) << "SQLite opens lazily";
        EXPECT_FALSE(db.InitTable(&error));
        EXPECT_NE(error.find(L"not a database"), std::wstring::npos);
    }
    EXPECT_EQ(dir.Read("garbage.dat"), std::string(4096, '\x5a'));

    {
        RawDb foreign(dir.File("foreign.dat"));
        ASSERT_EQ(foreign.Exec("create table clientInfos(id integer, who text)"), SQLITE_OK);
        ASSERT_EQ(foreign.Exec("insert into clientInfos values(1, 'kept')"), SQLITE_OK);
    }
    {
        CClientDb db;
        std::vector<ClientInfo> rows;
        ASSERT_TRUE(db.Open(W(dir.File("foreign.dat")), &error));
        EXPECT_TRUE(db.InitTable(&error)) << "the table exists";
        EXPECT_FALSE(db.LoadAll(&rows, &error));
        std::int32_t uid = 0;
        EXPECT_FALSE(db.Insert(Sample(), &uid, &error));
    }
    EXPECT_EQ(RawDb(dir.File("foreign.dat")).Text("SELECT who FROM clientInfos"), "kept");

    {
        CClientDb db;
        ASSERT_TRUE(db.Open(W(dir.File("locked.dat")), &error));
        ASSERT_TRUE(db.InitTable(&error));
    }
    RawDb other(dir.File("locked.dat"));
    ASSERT_EQ(other.Exec("BEGIN EXCLUSIVE"), SQLITE_OK);
    CClientDb db;
    ASSERT_TRUE(db.Open(W(dir.File("locked.dat")), &error));
    std::int32_t uid = 0;
    EXPECT_FALSE(db.Insert(Sample(), &uid, &error));
    EXPECT_NE(error.find(L"locked"), std::wstring::npos);

    CClientDb none;
    EXPECT_FALSE(none.Open(W(dir.File("no/such/folder/x.dat")), &error));
    EXPECT_FALSE(none.InitTable(&error));
}

}  // namespace
