// Building a context menu writes one value per provider entry: how long do
// 1,000 WriteDword calls on one open key take? Printed beside the same
// 1,000 writes done with raw SQLite autocommit inserts in the store's own
// mode (WAL, synchronous=NORMAL: the like-for-like figure) and at the
// rollback journal with synchronous=FULL (what a store would cost without
// the WAL/NORMAL choice). Minimum and median of the runs.
#include "common/registry/setting_key.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double Millis(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double OursOnce(int n) {
    SettingKey key;
    key.CreateKey(winreg::HKEY_CURRENT_USER, "Software\\PARVEX\\PROVIDER\\Bench\\entry");
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) key.WriteDword("MENUID", static_cast<winreg::DWORD>(i));
    return Millis(std::chrono::steady_clock::now() - start);
}

// `pragmas` sets the journal mode and sync level of a fresh file.
double SqliteOnce(const std::string& path, const char* pragmas, int n) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, pragmas, nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE IF NOT EXISTS v(n TEXT PRIMARY KEY, d BLOB)", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO v VALUES('MENUID', ?1)", -1, &s, nullptr);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) {
        sqlite3_bind_int(s, 1, i);
        sqlite3_step(s);
        sqlite3_reset(s);
    }
    double ms = Millis(std::chrono::steady_clock::now() - start);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return ms;
}

void Print(const char* what, std::vector<double> v, int n) {
    std::sort(v.begin(), v.end());
    double med = v[v.size() / 2];
    std::printf("  %-40s min %8.2f ms  median %8.2f ms  (%.1f us per call)\n", what, v.front(), med, med * 1000 / n);
}

}  // namespace

int main(int argc, char** argv) {
    const int n = 1000, runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    char dir[] = "/tmp/parvex-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    std::string store = std::string(dir) + "/registry.db", wal = std::string(dir) + "/wal.db",
                full = std::string(dir) + "/full.db";
    setenv("PARVEX_REGISTRY", store.c_str(), 1);
    std::vector<double> ours, walNormal, rollbackFull;
    for (int r = 0; r < runs; ++r) {
        ours.push_back(OursOnce(n));
        walNormal.push_back(SqliteOnce(wal, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", n));
        rollbackFull.push_back(SqliteOnce(full, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", n));
    }
    std::printf("1,000 WriteDword on one open key, %d runs (goal: parvex median < 100 ms)\n", runs);
    Print("parvex store (WAL, synchronous=NORMAL)", ours, n);
    Print("raw SQLite, same mode (WAL, NORMAL)", walNormal, n);
    Print("raw SQLite, rollback journal, FULL", rollbackFull, n);
    std::sort(ours.begin(), ours.end());
    std::sort(walNormal.begin(), walNormal.end());
    std::printf("  parvex / SQLite in the same mode (medians): %.2fx\n",
                ours[ours.size() / 2] / walNormal[walNormal.size() / 2]);
    std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
