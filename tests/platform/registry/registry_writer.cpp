// Test helper: writes COUNT DWORD values NAME0, NAME1, … under KEY in the store named by PARVEX_REGISTRY, BATCH
// values per transaction, and exits 0 when all went in. Used to load the store from several real processes.
#include "platform/registry/registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace winreg;

static int Fail(const std::string& what, LONG st) {
    std::fprintf(stderr, "%s: %d\n", what.c_str(), static_cast<int>(st));
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: registry_writer KEY NAME COUNT BATCH\n");
        return 2;
    }
    const char* keyPath = argv[1];
    std::string prefix = argv[2];
    long count = std::atol(argv[3]), batch = std::atol(argv[4]);
    HKEY key = nullptr;
    LONG st = RegCreateKeyEx(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (st != ERROR_SUCCESS) return Fail("create", st);
    for (long i = 0; i < count;) {
        Transaction tx;
        if (tx.Status() != ERROR_SUCCESS) return Fail("begin", tx.Status());
        for (long j = 0; j < batch && i < count; ++j, ++i) {
            DWORD v = static_cast<DWORD>(i);
            std::string name = prefix + std::to_string(i);
            st = RegSetValueEx(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof v);
            if (st != ERROR_SUCCESS) return Fail("set " + name, st);
        }
        if ((st = tx.Commit()) != ERROR_SUCCESS) return Fail("commit", st);
    }
    RegCloseKey(key);
    return 0;
}
