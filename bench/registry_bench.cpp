// Building a context menu writes one value per provider entry: how long do
// 1,000 WriteDword calls on one open key take? Printed beside the same
// 1,000 writes done with raw SQLite autocommit inserts at synchronous=FULL
// (what a store would cost without the WAL/NORMAL choice).
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

double SqliteFullOnce(const std::string& path, int n) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; CREATE TABLE IF NOT EXISTS v(n TEXT PRIMARY KEY, d BLOB)",
                 nullptr, nullptr, nullptr);
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int n = 1000, runs = argc > 1 ? std::atoi(argv[1]) : 7;
    char dir[] = "/tmp/parvex-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    std::string store = std::string(dir) + "/registry.db", raw = std::string(dir) + "/raw.db";
    setenv("PARVEX_REGISTRY", store.c_str(), 1);
    std::vector<double> ours, full;
    for (int r = 0; r < runs; ++r) {
        ours.push_back(OursOnce(n));
        full.push_back(SqliteFullOnce(raw, n));
    }
    std::printf("1,000 WriteDword on one open key (median of %d runs)\n", runs);
    std::printf("  parvex store (WAL, synchronous=NORMAL): %8.2f ms  (%.1f us per call)   goal: < 100 ms\n",
                Median(ours), Median(ours) * 1000 / n);
    std::printf("  raw SQLite, rollback journal, FULL:     %8.2f ms  (%.1f us per call)\n", Median(full),
                Median(full) * 1000 / n);
    std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
