// The store shared by real processes: persistence, concurrent writers, a
// writer killed mid-write, and files that are not a store at all.
#include "platform/registry/registry.h"
#include "tests/platform/registry/registry_calls.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

using namespace winreg;
using namespace regtest;
using testsupport::ReadFile;

namespace {

class RegistryProcesses : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
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
    testsupport::WaitUntil([&] { return ReadDword("K", "v500", v) == ERROR_SUCCESS; }, 10000);
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
    HKEY k = Create("Software\\PARVEX\\Selected\\p\\e");
    auto r = testsupport::RunProgram({REG_TOOL, "delete", "HKCU\\Software\\PARVEX\\Selected", "/f"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(SetDword(k, "RootDir", 1), ERROR_KEY_DELETED);
    RegCloseKey(k);
}

// Enumerating index by index while another process changes the key: every index answers what that index holds in the
// store as it is now, whether the caller keeps its handle or reopens the key between indices (the store's remembered
// position must not outlive the change).
TEST_F(RegistryProcesses, EnumerationAfterAnotherProcessChangedTheKeyIsCurrent) {
    const char* kPath = "Software\\PARVEX\\PROVIDER";
    const std::string regPath = std::string("HKCU\\") + kPath;
    struct Case {
        const char* what;
        bool values;
        std::vector<std::string> change;  // reg arguments run between index 1 and index 2
        std::vector<std::string> rest;    // what indices 2, 3, ... then answer
    } cases[] = {
        {"a key added before the position", false, {"add", regPath + "\\AA", "/f"}, {"B", "C", "D"}},
        {"a key deleted before the position", false, {"delete", regPath + "\\A", "/f"}, {"D"}},
        {"a key added after the position", false, {"add", regPath + "\\CC", "/f"}, {"C", "CC", "D"}},
        {"a value deleted before the position", true, {"delete", regPath, "/v", "V0", "/f"}, {"V3"}},
        {"a value added", true, {"add", regPath, "/v", "V4", "/d", "x", "/f"}, {"V2", "V3", "V4"}},
    };
    for (const bool reopen : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (reopen ? ", key reopened at every index" : ", handle kept"));
            RegDeleteTree(HKEY_CURRENT_USER, kPath);
            HKEY k = Create(kPath);
            for (const char* n : {"A", "B", "C", "D"}) RegCloseKey(Create(n, k));
            for (const char* n : {"V0", "V1", "V2", "V3"}) RegSetValueEx(k, n, 0, REG_SZ, nullptr, 0);
            auto at = [&](DWORD i) {
                if (reopen) {
                    RegCloseKey(k);
                    Open(kPath, k);
                }
                char name[64];
                DWORD size = sizeof name;
                LONG st = c.values ? RegEnumValue(k, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                                   : RegEnumKeyEx(k, i, name, &size, nullptr, nullptr, nullptr, nullptr);
                return st == ERROR_SUCCESS ? std::string(name, size) : "status " + std::to_string(st);
            };
            EXPECT_EQ(at(0), c.values ? "V0" : "A");
            EXPECT_EQ(at(1), c.values ? "V1" : "B");
            std::vector<std::string> args{REG_TOOL};
            args.insert(args.end(), c.change.begin(), c.change.end());
            auto r = testsupport::RunProgram(args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            std::vector<std::string> rest;
            for (DWORD i = 2; i < 2 + c.rest.size() + 1; ++i) rest.push_back(at(i));
            std::vector<std::string> expected = c.rest;
            expected.push_back("status " + std::to_string(ERROR_NO_MORE_ITEMS));
            EXPECT_EQ(rest, expected);
            RegCloseKey(k);
        }
    }
}

// A Snapshot reads one state: another process's change shows once it ends.
// A Transaction made inside it is undone on its own when not committed.
TEST_F(RegistryProcesses, SnapshotReadsOneStateAndATransactionInsideItStaysAllOrNothing) {
    const char* kPath = "Software\\PARVEX\\Option";
    DWORD v = 0;
    HKEY k = Create(kPath);
    ASSERT_EQ(SetDword(k, "N", 1), ERROR_SUCCESS);
    {
        Snapshot snapshot;
        ASSERT_EQ(ReadDword(kPath, "N", v), ERROR_SUCCESS);
        auto r = testsupport::RunProgram({REG_TOOL, "add", "HKCU\\Software\\PARVEX\\Option", "/v", "N", "/t",
                                          "REG_DWORD", "/d", "2", "/f"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(ReadDword(kPath, "N", v), ERROR_SUCCESS);
        EXPECT_EQ(v, 1u) << "the snapshot's state";
    }
    ASSERT_EQ(ReadDword(kPath, "N", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 2u) << "the change shows once the snapshot ends";
    {
        Snapshot snapshot;
        EXPECT_EQ(CountValues(kPath), 1u);
        {
            Transaction dropped;
            ASSERT_EQ(dropped.Status(), ERROR_SUCCESS);
            ASSERT_EQ(SetDword(k, "Dropped", 1), ERROR_SUCCESS);
        }
        Transaction kept;
        ASSERT_EQ(SetDword(k, "Kept", 1), ERROR_SUCCESS);
        EXPECT_EQ(kept.Commit(), ERROR_SUCCESS);
    }
    auto r = testsupport::RunProgram({REG_TOOL, "query", "HKCU\\Software\\PARVEX\\Option"});
    EXPECT_NE(r.out.find("Kept"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Dropped"), std::string::npos) << r.out;
    RegCloseKey(k);

    // What one snapshot found is not taken over by the next once another process has replaced the key in between.
    {
        Snapshot snapshot;
        ASSERT_EQ(ReadDword(kPath, "N", v), ERROR_SUCCESS);
        EXPECT_EQ(CountValues(kPath), 2u);
    }
    r = testsupport::RunProgram({REG_TOOL, "delete", "HKCU\\Software\\PARVEX\\Option", "/f"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = testsupport::RunProgram({REG_TOOL, "add", "HKCU\\Software\\PARVEX\\Option", "/v", "N", "/t", "REG_DWORD",
                                 "/d", "5", "/f"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    {
        Snapshot snapshot;
        ASSERT_EQ(ReadDword(kPath, "N", v), ERROR_SUCCESS);
        EXPECT_EQ(v, 5u);
        EXPECT_EQ(CountValues(kPath), 1u);
    }
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
