// Moving the settings file's passwords into the desktop keyring at scale:
// a fresh store of N providers (default 100) with two entries each, every
// entry holding its password in the file, then the move Lumeno makes at its
// start, timed, against whatever Secret Service the session bus offers
// (keyring_migration.sh starts gnome-keyring-daemon on a private bus).
// Prints the time, what moved and failed, and the passwords the file still
// holds; then the same move once more (nothing left to move).
#include "common/registry/layout.h"
#include "common/registry/setting_key.h"
#include "settings/passwords.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

int PasswordsLeftInFile(int providers) {
    int left = 0;
    for (int p = 0; p < providers; ++p)
        for (const char* entry : {"/www", layout::kAutoTransferEntry}) {
            SettingKey key;
            std::string password;
            key.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("プロバイダ" + std::to_string(p), entry));
            if (key.ReadString(layout::kPassword, password) == winreg::ERROR_SUCCESS && !password.empty()) ++left;
        }
    return left;
}

}  // namespace

int main(int argc, char** argv) {
    const int providers = argc > 1 ? std::atoi(argv[1]) : 100;
    if (std::getenv("PARVEX_REGISTRY") == nullptr) {
        std::fprintf(stderr, "set PARVEX_REGISTRY to a store file of the benchmark's own\n");
        return 2;
    }
    {
        winreg::Transaction transaction;
        for (int p = 0; p < providers; ++p)
            for (const char* entry : {"/www", layout::kAutoTransferEntry}) {
                SettingKey key;
                key.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("プロバイダ" + std::to_string(p), entry));
                key.WriteString(layout::kServerAddr, "ftp" + std::to_string(p) + ".example.jp");
                key.WriteString(layout::kUserName, "user" + std::to_string(p));
                key.WriteString(layout::kPassword, "password-" + std::to_string(p));
                key.WriteString(layout::kMenuName, entry);
            }
        if (transaction.Commit() != winreg::ERROR_SUCCESS) {
            std::fprintf(stderr, "the store could not be written\n");
            return 1;
        }
    }
    std::printf("store: %d providers, %d entries with a password in the file\n", providers,
                PasswordsLeftInFile(providers));
    // The daemon was started beside us: it may not be on the bus yet.
    keyring::Status available = keyring::Status::NoService;
    for (int i = 0; i < 200 && available != keyring::Status::Ok; ++i) {
        available = keyring::Available(std::chrono::seconds(1));
        if (available != keyring::Status::Ok) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::printf("keyring: %s\n", keyring::StatusName(available));
    for (const char* run : {"first start", "second start"}) {
        const auto start = std::chrono::steady_clock::now();
        const settings::PasswordMigration result = settings::MigratePasswords();
        const double took = Seconds(std::chrono::steady_clock::now() - start);
        std::printf("%s: %.2f s; moved %d, failed %zu, changed meanwhile %d; passwords left in the file: %d\n", run,
                    took, result.moved, result.failed.size(), result.changed, PasswordsLeftInFile(providers));
        const std::string summary = settings::MigrationSummary(result);
        if (!summary.empty()) std::printf("  %s\n", summary.c_str());
    }
    std::printf("no peer: nothing else moves this store's passwords into a keyring, so there is no figure to compare\n");
    return 0;
}
