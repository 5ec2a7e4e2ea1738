// Registry semantics that callers rely on, checked against a real store file.
#include "platform/registry/registry.h"
#include "tests/platform/registry/registry_calls.h"
#include "tests/platform/registry/store_holder.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>

#include <cstring>
#include <sys/stat.h>
#include <vector>

using namespace winreg;
using namespace regtest;

namespace {

class Registry : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
};

TEST_F(Registry, NamesMatchWithoutRegardToCaseAndKeepTheirSpelling) {
    HKEY k = Create("Software\\PARVEX\\RUNNING");
    ASSERT_EQ(SetString(k, "InstDir", "/opt/parvex/dravik"), ERROR_SUCCESS);
    RegCloseKey(k);

    HKEY other = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "software\\parvex\\Running", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &other, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD{REG_OPENED_EXISTING_KEY});
    char buf[64];
    DWORD size = sizeof buf;
    ASSERT_EQ(RegQueryValueEx(other, "INSTDIR", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(buf, "/opt/parvex/dravik");
    RegCloseKey(other);

    HKEY parvex = Create("SOFTWARE\\parvex");
    EXPECT_EQ(SubKeys(parvex), std::vector<std::string>{"RUNNING"});
    RegCloseKey(parvex);
}

TEST_F(Registry, PathsSplitOnBackslashOnlyAndRejectEmptyComponents) {
    HKEY www = Create("Software\\PARVEX\\PROVIDER\\p\\/pub/www");
    ASSERT_NE(www, nullptr);
    HKEY p = Create("Software\\PARVEX\\PROVIDER\\p");
    EXPECT_EQ(SubKeys(p), std::vector<std::string>{"/pub/www"});

    HKEY self = nullptr;
    ASSERT_EQ(RegOpenKeyEx(p, "", 0, KEY_ALL_ACCESS, &self), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(self, "x", 1), ERROR_SUCCESS);
    EXPECT_EQ(GetDword(p, "x"), 1u);

    const std::string longName(256, 'n');
    for (auto [path, error] : {std::pair{"\\Software", ERROR_BAD_PATHNAME}, {"a\\\\b", ERROR_BAD_PATHNAME},
                               {longName.c_str(), ERROR_INVALID_PARAMETER}}) {
        HKEY bad = reinterpret_cast<HKEY>(1);
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0, nullptr, &bad, nullptr), error) << path;
        EXPECT_EQ(bad, nullptr) << path;
    }
    // Nothing of the refused paths was created.
    HKEY root = Create("");
    EXPECT_EQ(SubKeys(root), std::vector<std::string>{"Software"});
    for (HKEY k : {www, p, self, root}) RegCloseKey(k);
}

TEST_F(Registry, SubKeysEnumerateInUpperCasedOrderValuesInCreationOrder) {
    HKEY k = Create("Order");
    for (const char* name : {"b", "_x", "A", "C", "aa"}) RegCloseKey(Create(name, k));
    // Upper-cased, '_' (0x5F) sorts after the letters; a lower-casing fold would put it first.
    EXPECT_EQ(SubKeys(k), (std::vector<std::string>{"A", "aa", "b", "C", "_x"}));

    for (const char* name : {"zeta", "alpha", "Mid"}) ASSERT_EQ(SetDword(k, name, 1), ERROR_SUCCESS);
    ASSERT_EQ(SetString(k, "ALPHA", "overwritten"), ERROR_SUCCESS);  // keeps its place and first spelling
    EXPECT_EQ(SubKeys(k, true), (std::vector<std::string>{"zeta", "alpha", "Mid"}));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(k, "alpha", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 12u);
    RegCloseKey(k);
}

TEST_F(Registry, EnumerationBuffersAndTheEnd) {
    HKEY k = Create("E");
    char buf[8];
    DWORD size = sizeof buf;
    EXPECT_EQ(RegEnumKeyEx(k, 0, buf, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(Create("1234567", k));
    RegCloseKey(Create("12345678", k));
    size = sizeof buf;
    ASSERT_EQ(RegEnumKeyEx(k, 0, buf, &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(buf, "1234567");
    EXPECT_EQ(size, 7u);
    std::memset(buf, '#', sizeof buf);
    size = sizeof buf;
    EXPECT_EQ(RegEnumKeyEx(k, 1, buf, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(buf[0], '#') << "a name that does not fit copies nothing";
    size = sizeof buf;
    EXPECT_EQ(RegEnumKeyEx(k, 2, buf, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(k);
}

TEST_F(Registry, ValuesKeepTypeAndBytesAndTooSmallBuffersCopyNothing) {
    HKEY k = Create("V");
    const BYTE blob[] = {0, 1, 2, 0, 255};
    ASSERT_EQ(RegSetValueEx(k, "blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(k, "empty", 0, REG_SZ, nullptr, 0), ERROR_SUCCESS);
    ASSERT_EQ(SetString(k, nullptr, "default"), ERROR_SUCCESS);

    BYTE out[8];
    DWORD type = 0, size = sizeof out;
    ASSERT_EQ(RegQueryValueEx(k, "BLOB", nullptr, &type, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    ASSERT_EQ(size, sizeof blob);
    EXPECT_EQ(std::memcmp(out, blob, sizeof blob), 0);

    size = 4;
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(RegQueryValueEx(k, "blob", nullptr, nullptr, out, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof blob) << "the needed size is reported";
    EXPECT_EQ(out[0], 0xAA) << "nothing is copied";

    size = sizeof out;
    EXPECT_EQ(RegQueryValueEx(k, "empty", nullptr, &type, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    size = sizeof out;
    EXPECT_EQ(RegQueryValueEx(k, "", nullptr, nullptr, out, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(RegQueryValueEx(k, "missing", nullptr, nullptr, out, &size), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(RegDeleteValue(k, "blob"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(k, "blob"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
}

TEST_F(Registry, DeletingKeys) {
    HKEY sel = Create("Software\\PARVEX\\Selected\\prov\\entry");
    RegCloseKey(sel);
    HKEY parvex = Create("Software\\PARVEX");
    EXPECT_EQ(RegDeleteKey(parvex, "Selected"), ERROR_ACCESS_DENIED) << "a key with sub-keys stays";
    EXPECT_EQ(RegDeleteKey(parvex, "Selected\\prov\\entry"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(parvex, "selected\\PROV"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(parvex, "Selected"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(parvex, "Selected"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(parvex, ""), ERROR_INVALID_PARAMETER);

    HKEY tree = Create("Software\\PARVEX\\T\\a\\b\\c");
    ASSERT_EQ(SetDword(tree, "deep", 1), ERROR_SUCCESS);
    RegCloseKey(tree);
    EXPECT_EQ(RegDeleteTree(parvex, "t"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(Open("Software\\PARVEX\\T", gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeys(parvex), std::vector<std::string>{});
    RegCloseKey(parvex);
}

TEST_F(Registry, HandleOfADeletedKeyAnswersKeyDeleted) {
    HKEY k = Create("Doomed");
    ASSERT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Doomed"), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(k, "x", 1), ERROR_KEY_DELETED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(k, "x", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    // A key created again under the same name is a new key, not the old handle's.
    RegCloseKey(Create("Doomed"));
    EXPECT_EQ(SetDword(k, "x", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetDword(nullptr, "x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

// Inside a Transaction the store remembers keys, handles and value lists; the transaction's own changes must show in
// every later call, and a rolled back transaction must leave nothing remembered behind. A committed one stays.
TEST_F(Registry, ChangesInsideATransactionShowInItsOwnLaterCallsAndApplyAllOrNothing) {
    HKEY k = Create("Mem");
    SetDword(k, "a", 1);
    SetDword(k, "b", 2);
    {
        Transaction tx;
        RegCloseKey(Create("Mem\\kept"));
        ASSERT_EQ(tx.Commit(), ERROR_SUCCESS);
    }
    {
        Transaction tx;
        ASSERT_EQ(tx.Status(), ERROR_SUCCESS);
        EXPECT_EQ(SubKeys(k, true), (std::vector<std::string>{"a", "b"}));
        SetDword(k, "c", 3);
        EXPECT_EQ(RegDeleteValue(k, "a"), ERROR_SUCCESS);
        EXPECT_EQ(SubKeys(k, true), (std::vector<std::string>{"b", "c"}));
        RegCloseKey(Create("Mem\\child"));
        HKEY child = nullptr;
        ASSERT_EQ(Open("Mem\\child", child), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Mem\\child"), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueEx(child, "x", 0, REG_NONE, nullptr, 0), ERROR_KEY_DELETED);
        EXPECT_EQ(Open("Mem\\child", child), ERROR_FILE_NOT_FOUND);
        RegCloseKey(Create("Mem\\gone"));
        EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Mem\\kept"), ERROR_SUCCESS);
    }  // destroyed uncommitted
    {
        Snapshot snapshot;
        HKEY gone = nullptr;
        EXPECT_EQ(Open("Mem\\gone", gone), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(SubKeys(k, true), (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(SubKeys(k), std::vector<std::string>{"kept"});
    }
    RegCloseKey(k);
}

TEST_F(Registry, StoreIsPrivateAndOutlivesTheProcessConnection) {
    HKEY k = Create("Software\\PARVEX\\Option");
    ASSERT_EQ(SetDword(k, "CodeConvert", 1), ERROR_SUCCESS);
    RegCloseKey(k);
    ResetStore();  // as if the program had ended

    struct stat st {};
    ASSERT_EQ(stat(store.file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(Open("SOFTWARE\\PARVEX\\OPTION", k), ERROR_SUCCESS);
    EXPECT_EQ(GetDword(k, "codeconvert"), 1u);
    RegCloseKey(k);
}

// The store's own SQLite connection, caught as it opens, and a reading of the values table that is refused a given
// number of times: a statement that cannot be prepared, as on a locked or momentarily unreadable store.
sqlite3* g_storeConnection = nullptr;
int g_refusals = 0;

int CatchConnection(sqlite3* db, char**, const sqlite3_api_routines*) {
    g_storeConnection = db;
    return SQLITE_OK;
}

int RefuseValues(void*, int action, const char* table, const char*, const char*, const char*) {
    if (action == SQLITE_READ && table != nullptr && std::strcmp(table, "vals") == 0 && g_refusals > 0) {
        --g_refusals;
        return SQLITE_DENY;
    }
    return SQLITE_OK;
}

// A statement whose preparation failed once is prepared again at the next
// call, instead of failing every call for the rest of the process's life.
TEST_F(Registry, AStatementThatCouldNotBePreparedWorksAtTheNextCall) {
    using Entry = void (*)();
    ResetStore();
    sqlite3_auto_extension(reinterpret_cast<Entry>(CatchConnection));
    HKEY k = Create("Software\\PARVEX\\Option");
    sqlite3_cancel_auto_extension(reinterpret_cast<Entry>(CatchConnection));
    ASSERT_NE(g_storeConnection, nullptr);
    sqlite3_set_authorizer(g_storeConnection, RefuseValues, nullptr);

    g_refusals = 1;
    char text[16] = "";
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueEx(k, "TextMode", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_REGISTRY_IO_FAILED);
    EXPECT_EQ(g_refusals, 0);
    ASSERT_EQ(SetString(k, "TextMode", ".txt;"), ERROR_SUCCESS);
    size = sizeof text;
    EXPECT_EQ(RegQueryValueEx(k, "TextMode", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, ".txt;");
    sqlite3_set_authorizer(g_storeConnection, nullptr, nullptr);
    RegCloseKey(k);
    g_storeConnection = nullptr;
}

// While another process writes, a call waits as long as the process asked and then answers that the store is busy;
// once the writer is done, the same process's calls work again.
TEST_F(Registry, ABusyStoreIsWaitedForOnlyAsLongAsAsked) {
    HKEY k = Create("Software\\PARVEX\\Option");
    {
        testsupport::StoreHolder holder(store.file());
        ASSERT_TRUE(holder.held());
        SetBusyTimeout(300);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(SetDword(k, "CodeConvert", 1), ERROR_BUSY);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        SetBusyTimeout(kDefaultBusyTimeoutMs);
        EXPECT_GE(seconds, 0.25);
        EXPECT_LT(seconds, 2.0);
    }
    EXPECT_EQ(SetDword(k, "CodeConvert", 1), ERROR_SUCCESS);
    RegCloseKey(k);
}

TEST(RegistryLocation, FollowsTheEnvironment) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv store("PARVEX_REGISTRY", nullptr);
    std::optional<testsupport::ScopedEnv> config(std::in_place, "XDG_CONFIG_HOME", dir.path());
    EXPECT_EQ(StorePath(), dir / "parvex/registry.db");
    ResetStore();
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "x", 0, nullptr, 0, 0, nullptr, &k, nullptr), ERROR_SUCCESS);
    RegCloseKey(k);
    struct stat st {};
    ASSERT_EQ(stat((dir / "parvex").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ResetStore();
    config.emplace("XDG_CONFIG_HOME", nullptr);
    testsupport::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(StorePath(), "/home/someone/.config/parvex/registry.db");
}

}  // namespace
