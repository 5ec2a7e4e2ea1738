// The settings store at scale: 1,000 providers of 10 entries each, built in
// a temporary store, then read the three ways the suite reads all of them,
// each beside SQLite reading the same rows in the same run:
//   menu    the context menu built by parvex.so (QueryContextMenu, which also
//           stores each entry's menu number), beside an SQLite query of every
//           entry's MenuName;
//   load    every entry loaded through SettingKey (settings::LoadProviderEntry),
//           each call on its own and then the whole walk in one
//           winreg::Snapshot, beside an SQLite query of every value of every
//           entry;
//   reg     `reg query HKCU\Software\PARVEX /s` as a whole process, beside the
//           sqlite3 program printing the same rows as a whole process.
// Prints the minimum and the median of the runs (default 5; the first
// argument changes it; the second changes the number of providers).
#include "common/registry/layout.h"
#include "settings/provider.h"
#include "shellext/host.h"
#include "shellext/menu.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

int kProviders = 1000;  // the second argument changes it, to see how the cost grows
constexpr int kEntries = 10;

double Millis(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Time(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return Millis(std::chrono::steady_clock::now() - start);
}

std::string Name(const char* prefix, int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%04d", prefix, n);
    return buf;
}

// Providers as the wizard leaves them: each entry with its seven values.
bool Build() {
    winreg::Transaction t;
    for (int p = 0; p < kProviders; ++p) {
        for (int e = 0; e < kEntries; ++e) {
            SettingKey key;
            if (key.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(Name("site", p), Name("/dir", e))) != 0)
                return false;
            key.WriteString(layout::kServerAddr, "ftp.example.jp");
            key.WriteDword(layout::kPort, 21);
            key.WriteDword(layout::kAnonymous, 0);
            key.WriteString(layout::kUserName, "taro");
            key.WriteString(layout::kPassword, "secret");
            key.WriteString(layout::kMenuName, Name("ホームページ", e));
            key.WriteString(layout::kRoot, Name("/dir", e));
        }
    }
    return t.Commit() == 0;
}

// Rows of `sql` read through the C library; returns how many.
long SqliteRows(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    long rows = 0;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &q, nullptr);
        while (q && sqlite3_step(q) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(q); ++c) sqlite3_column_blob(q, c);
            ++rows;
        }
        sqlite3_finalize(q);
    }
    sqlite3_close(db);
    return rows;
}

// Every entry of every provider with its values, in the store's own order.
constexpr const char* kEntryValues =
    "SELECT p.name, e.name, v.name, v.type, v.data FROM keys s JOIN keys p ON p.parent=s.id "
    "JOIN keys e ON e.parent=p.id JOIN vals v ON v.key=e.id WHERE s.fold='PROVIDER' ORDER BY p.fold, e.fold, v.rowid";
constexpr const char* kMenuNames =
    "SELECT p.name, e.name, v.data FROM keys s JOIN keys p ON p.parent=s.id JOIN keys e ON e.parent=p.id "
    "LEFT JOIN vals v ON v.key=e.id AND v.fold='MENUNAME' WHERE s.fold='PROVIDER' ORDER BY p.fold, e.fold";
// What `reg query /s` reads: every key below Software\PARVEX with its values.
constexpr const char* kTreeSql =
    "WITH RECURSIVE t(id, path) AS (SELECT id, name FROM keys WHERE fold='PARVEX' "
    "UNION ALL SELECT k.id, t.path || '\\' || k.name FROM keys k JOIN t ON k.parent=t.id) "
    "SELECT t.path, v.name, v.type, hex(v.data) FROM t LEFT JOIN vals v ON v.key=t.id ORDER BY t.path, v.rowid;";

int Run(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv.data()), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

struct Row {
    const char* what;
    std::vector<double> ours, peer;
};

void Print(const Row& r, double goalRatio, double goalMs) {
    auto stat = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return std::make_pair(v.front(), v[v.size() / 2]);
    };
    auto [oMin, oMed] = stat(r.ours);
    auto [pMin, pMed] = stat(r.peer);
    std::printf("%-44s parvex min %8.1f med %8.1f ms | sqlite3 min %7.1f med %7.1f ms | %5.2fx", r.what, oMin, oMed,
                pMin, pMed, oMed / pMed);
    if (goalMs > 0) std::printf("  goal < %.0f ms", goalMs);
    if (goalRatio > 0) std::printf("  goal <= %.0fx", goalRatio);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (argc > 2) kProviders = std::max(1, std::atoi(argv[2]));
    char dir[] = "/tmp/parvex-scale-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    const std::string store = std::string(dir) + "/registry.db", work = std::string(dir) + "/file.txt";
    setenv("PARVEX_REGISTRY", store.c_str(), 1);
    std::FILE* f = std::fopen(work.c_str(), "w");
    if (f) std::fclose(f);
    if (!Build()) {
        std::fprintf(stderr, "store_scale_run: could not build the store in %s\n", dir);
        return 1;
    }
    void* module = dlopen(PARVEX_MODULE, RTLD_NOW | RTLD_LOCAL);
    auto getClass = module ? reinterpret_cast<DllGetClassObjectFn>(dlsym(module, "DllGetClassObject")) : nullptr;
    if (!getClass) {
        std::fprintf(stderr, "store_scale_run: cannot load %s\n", PARVEX_MODULE);
        return 1;
    }

    Row menu{"menu build (parvex.so QueryContextMenu)", {}, {}};
    Row load{"full load (LoadProviderEntry, every entry)", {}, {}};
    Row reg{"reg query HKCU\\Software\\PARVEX /s (process)", {}, {}};
    Row snapLoad{"full load, the walk in one winreg::Snapshot", {}, {}};
    std::size_t items = 0, loaded = 0;
    auto fullLoad = [&] {
        SettingKey providers;
        providers.OpenKey(winreg::HKEY_CURRENT_USER, layout::kProviderKey);
        loaded = 0;
        for (const std::string& p : layout::SubKeyNames(providers)) {
            SettingKey provider;
            provider.OpenKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey(p));
            for (const std::string& e : layout::SubKeyNames(provider)) {
                settings::ProviderRecord record;
                loaded += settings::LoadProviderEntry(p, e, record) ? 1 : 0;
            }
        }
    };
    for (int r = 0; r < runs; ++r) {
        menu.ours.push_back(Time([&] {
            com::IContextMenu* handler = nullptr;
            if (com::CreateMenuHandler(getClass, {work}, &handler) != com::S_OK) return;
            com::Menu host;
            items = static_cast<std::size_t>(com::HRESULT_CODE(handler->QueryContextMenu(&host, 0, 1, 0x7FFF, 0)));
            handler->Release();
        }));
        menu.peer.push_back(Time([&] { SqliteRows(store, kMenuNames); }));
        load.ours.push_back(Time(fullLoad));
        load.peer.push_back(Time([&] { SqliteRows(store, kEntryValues); }));
        snapLoad.ours.push_back(Time([&] {
            winreg::Snapshot snapshot;
            fullLoad();
        }));
        snapLoad.peer.push_back(Time([&] { SqliteRows(store, kEntryValues); }));
        reg.ours.push_back(Time([&] { Run({REG_TOOL, "query", "HKCU\\Software\\PARVEX", "/s"}); }));
        reg.peer.push_back(Time([&] { Run({SQLITE3_PROGRAM, "-readonly", store.c_str(), kTreeSql}); }));
    }
    std::printf("%d providers x %d entries, %d runs; menu items %zu, entries loaded %zu\n", kProviders, kEntries,
                runs, items, loaded);
    Print(menu, 0, 100);
    Print(load, 3, 0);
    Print(snapLoad, 3, 0);
    Print(reg, 3, 0);
    std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
