// Entry passwords in the desktop keyring: which entries keep theirs there,
// moving the ones still in the settings file over, and forgetting them with
// their entries.
#pragma once

#include "platform/keyring/keyring.h"
#include "platform/registry/registry.h"

#include <atomic>
#include <string>
#include <vector>

namespace settings {

// What moving the file's passwords into the keyring did.
struct PasswordMigration {
    keyring::Status service = keyring::Status::Ok;  // the first failure that stopped it, Ok when none did
    int moved = 0;                                  // entries whose "Password" is now empty, marker 1
    std::vector<std::string> failed;                // "provider\entry" still holding its password in the file
    int changed = 0;  // stored, but another program rewrote the entry meanwhile: the file keeps its password
};

// Whether any entry keeps a non-empty password in the settings file.
bool AnyPasswordInFile();

// An entry whose password is still in the settings file, as it was read.
struct FilePassword {
    std::string provider, entry, server, user, password;
    keyring::Status stored = keyring::Status::Failed;  // what the keyring said to it
};

// The first half of MigratePasswords: reads every entry with a non-empty
// "Password" and no keyring marker and offers each password to the
// keyring; nothing in the store changes. Once `stop` (when given) is set,
// the entries not offered yet count as failed (NoService) at once.
std::vector<FilePassword> StorePasswordsInKeyring(keyring::Timeout timeout = keyring::kProgramTimeout,
                                                  const std::atomic<bool>* stop = nullptr);

// The second half: empties "Password" and sets the marker of every entry the
// keyring took, in one store transaction, where the entry still holds the
// server, user and password that were stored.
PasswordMigration RemoveStoredPasswords(const std::vector<FilePassword>& offered);

// Moves every non-empty "Password" of an entry without the keyring marker
// into the keyring. The file loses a password only after the keyring
// confirmed it, and all of them in one store transaction, only where the
// entry still holds the server, user and password that were stored. A
// locked, missing or silent keyring stops the move at its first entry (it
// would fail the same way for each); a refused item fails only that entry.
// When the store transaction fails, every stored entry counts as failed.
PasswordMigration MigratePasswords(keyring::Timeout timeout = keyring::kProgramTimeout,
                                   const std::atomic<bool>* stop = nullptr);

// The user's summary of `result`: "N 件のパスワードを設定ファイルからキーリングに移しました。"
// followed by the failures ("M 件は設定ファイルに残りました (理由): a\b, ..."); "" when nothing moved or failed.
std::string MigrationSummary(const PasswordMigration& result);

// What the manager's status bar says on a desktop without a keyring.
inline constexpr const char* kPasswordsInFile = "パスワードは設定ファイルに保存されています (キーリングが使えません)";

}  // namespace settings
