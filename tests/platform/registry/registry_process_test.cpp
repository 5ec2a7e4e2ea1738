// The store shared by real processes: persistence, concurrent writers, a
// writer killed mid-write, and files that are not a store at all.
#include "platform/registry/registry.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <signal.h>
#include <thread>

using namespace winreg;
using testsupport::ReadFile;


namespace {

class RegistryProcesses : public ::testing::Test {
protected:
    testsupport::ScopedStore store;

    static DWORD CountValues(const char* path) {
        HKEY k = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return 0;
        DWORD n = 0;
        char name[64];
        for (;; ++n) {
            DWORD size = sizeof name;
            if (RegEnumValue(k, n, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        }
        RegCloseKey(k);
        return n;
    }

    static LONG ReadDword(const char* path, const char* name, DWORD& v) {
        HKEY k = nullptr;
        LONG st = RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &k);
        DWORD size = sizeof v;
        if (st == ERROR_SUCCESS) st = RegQueryValueEx(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
        RegCloseKey(k);
        return st;
    }
};

TEST_F(RegistryProcesses, ConcurrentWritersLoseNothing) {
    int a = testsupport::Spawn({REGISTRY_WRITER, "Software\\PARVEX\\Load", "a", "500", "1"});
    int b = testsupport::Spawn({REGISTRY_WRITER, "software\\parvex\\LOAD", "b", "500", "1"});
    // This process reads while they write: readers must never see an error either.
    for (int i = 0; i < 50; ++i) {
        DWORD n = CountValues("Software\\PARVEX\\Load");
        EXPECT_LE(n, 1000u);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(testsupport::Wait(a), 0);
    EXPECT_EQ(testsupport::Wait(b), 0);
    EXPECT_EQ(CountValues("Software\\PARVEX\\Load"), 1000u);
    DWORD v = 0;
    ASSERT_EQ(ReadDword("Software\\PARVEX\\Load", "b499", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 499u);
}

TEST_F(RegistryProcesses, WriterKilledMidWriteLeavesWholeBatchesAndASoundFile) {
    int pid = testsupport::Spawn({REGISTRY_WRITER, "K", "v", "2000000", "50"});
    // Wait until it is well into its writes, then kill it without warning.
    DWORD v = 0;
    for (int i = 0; i < 2000 && ReadDword("K", "v500", v) != ERROR_SUCCESS; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGKILL);
    EXPECT_EQ(testsupport::Wait(pid), 128 + SIGKILL);

    ResetStore();
    DWORD n = CountValues("K");
    EXPECT_GE(n, 500u);
    EXPECT_EQ(n % 50, 0u) << "a transaction cut short must leave none of its values";

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(store.file().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");  // or the first damage found
    sqlite3_finalize(check);
    sqlite3_close(db);

    // And it still takes writes.
    EXPECT_EQ(testsupport::RunProgram({REGISTRY_WRITER, "K", "after", "10", "1"}).exitCode, 0);
    EXPECT_EQ(CountValues("K"), n + 10);
}

TEST_F(RegistryProcesses, KeyDeletedByAnotherProcess) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\PARVEX\\Selected\\p\\e", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &k, nullptr),
              ERROR_SUCCESS);
    auto r = testsupport::RunProgram({REG_TOOL, "delete", "HKCU\\Software\\PARVEX\\Selected", "/f"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    DWORD v = 1;
    EXPECT_EQ(RegSetValueEx(k, "RootDir", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_KEY_DELETED);
    RegCloseKey(k);
}

// A file at the store's path that is not our store is reported, refused and left byte for byte as it was.
TEST_F(RegistryProcesses, ForeignFileIsReportedAndLeftUntouched) {
    std::string garbage = "This is not a database.\n" + std::string(5000, 'x');
    testsupport::WriteFile(store.file(), garbage);
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, 0, nullptr, &k, nullptr), ERROR_BADDB);
    EXPECT_EQ(k, nullptr);
    auto r = testsupport::RunProgram({REG_TOOL, "add", "HKCU\\Software\\PARVEX", "/v", "x", "/d", "y", "/f"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(store.file()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1009"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(store.file()), garbage);

    // Another program's SQLite database is not taken over either.
    ResetStore();
    std::remove(store.file().c_str());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.file().c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE notes(t TEXT); INSERT INTO notes VALUES('mine');", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::string before = ReadFile(store.file());
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, 0, nullptr, &k, nullptr), ERROR_BADDB);
    EXPECT_EQ(ReadFile(store.file()), before);
}

}  // namespace
