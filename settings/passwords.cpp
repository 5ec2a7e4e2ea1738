// Moving entry passwords between the settings file and the desktop keyring.
#include "settings/passwords.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"
#include "common/walk/entry_connection.h"

using namespace winreg;

namespace settings {

namespace {

std::vector<FilePassword> PasswordsInFile() {
    std::vector<FilePassword> found;
    Snapshot snapshot;  // one state of the store for the whole walk
    SettingKey providers;
    if (providers.OpenKey(HKEY_CURRENT_USER, layout::kProviderKey) != ERROR_SUCCESS) return found;
    for (const std::string& provider : layout::SubKeyNames(providers)) {
        SettingKey entries;
        if (entries.OpenKey(HKEY_CURRENT_USER, layout::ProviderKey(provider)) != ERROR_SUCCESS) continue;
        for (const std::string& entry : layout::SubKeyNames(entries)) {
            SettingKey key;
            if (key.OpenKey(HKEY_CURRENT_USER, layout::EntryKey(provider, entry)) != ERROR_SUCCESS) continue;
            FilePassword f{provider, entry, {}, {}, {}};
            DWORD inKeyring = 0;
            key.ReadDword(layout::kPasswordInKeyring, inKeyring);
            if (inKeyring == 1 || key.ReadString(layout::kPassword, f.password) != ERROR_SUCCESS ||
                f.password.empty())
                continue;
            key.ReadString(layout::kServerAddr, f.server);
            key.ReadString(layout::kUserName, f.user);
            found.push_back(std::move(f));
        }
    }
    return found;
}

// Whether the entry still holds what was stored in the keyring.
bool Unchanged(SettingKey& key, const FilePassword& f) {
    std::string password, server, user;
    key.ReadString(layout::kPassword, password);
    key.ReadString(layout::kServerAddr, server);
    key.ReadString(layout::kUserName, user);
    return password == f.password && server == f.server && user == f.user;
}

std::string Name(const FilePassword& f) { return f.provider + "\\" + f.entry; }

}  // namespace

bool AnyPasswordInFile() { return !PasswordsInFile().empty(); }

std::vector<FilePassword> StorePasswordsInKeyring(keyring::Timeout timeout, const std::atomic<bool>* stop) {
    std::vector<FilePassword> all = PasswordsInFile();
    // Outside any store lock: the keyring's unlock prompt may take the user a while.
    keyring::Status service = keyring::Status::Ok;
    for (FilePassword& f : all) {
        if (stop != nullptr && *stop) service = keyring::Status::NoService;
        // A locked, missing or silent keyring answers every entry the same way: asked once.
        f.stored = service != keyring::Status::Ok
                       ? service
                       : keyring::Store({f.provider, f.entry, f.server, f.user}, f.password, timeout);
        if (f.stored != keyring::Status::Ok && f.stored != keyring::Status::Failed) service = f.stored;
    }
    return all;
}

PasswordMigration RemoveStoredPasswords(const std::vector<FilePassword>& offered) {
    PasswordMigration result;
    std::vector<const FilePassword*> stored;
    for (const FilePassword& f : offered) {
        if (f.stored == keyring::Status::Ok) {
            stored.push_back(&f);
            continue;
        }
        result.failed.push_back(Name(f));
        if (result.service == keyring::Status::Ok && f.stored != keyring::Status::Failed) result.service = f.stored;
    }
    if (stored.empty()) return result;
    Transaction transaction;
    LONG st = transaction.Status();
    int moved = 0;
    for (const FilePassword* f : stored) {
        if (st != ERROR_SUCCESS) break;
        SettingKey key;
        if (key.OpenKey(HKEY_CURRENT_USER, layout::EntryKey(f->provider, f->entry)) != ERROR_SUCCESS ||
            !Unchanged(key, *f)) {
            ++result.changed;
            continue;
        }
        st = key.WriteString(layout::kPassword, "");
        if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kPasswordInKeyring, 1);
        ++moved;
    }
    if (st == ERROR_SUCCESS) st = transaction.Commit();
    if (st == ERROR_SUCCESS) {
        result.moved = moved;
    } else {
        for (const FilePassword* f : stored) result.failed.push_back(Name(*f));
        result.changed = 0;
    }
    return result;
}

PasswordMigration MigratePasswords(keyring::Timeout timeout, const std::atomic<bool>* stop) {
    return RemoveStoredPasswords(StorePasswordsInKeyring(timeout, stop));
}

std::string MigrationSummary(const PasswordMigration& result) {
    std::string text;
    if (result.moved > 0)
        text = layout::Format("%d 件のパスワードを設定ファイルからキーリングに移しました。", result.moved);
    if (!result.failed.empty()) {
        std::string names;
        for (std::size_t i = 0; i < result.failed.size() && i < 3; ++i)
            names += (i ? ", " : "") + result.failed[i];
        if (result.failed.size() > 3) names += ", ...";
        const std::string why = result.service == keyring::Status::Ok ? walk::KeyringReason(keyring::Status::Failed)
                                                                        : walk::KeyringReason(result.service);
        text += (text.empty() ? "" : " ") +
                layout::Format("%d 件のパスワードは設定ファイルに残りました (%s): %s", int(result.failed.size()),
                               why.c_str(), names.c_str());
    }
    return text;
}

}  // namespace settings
