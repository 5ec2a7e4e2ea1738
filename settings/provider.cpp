// Moving a provider between the record the dialogs edit and the settings store.
#include "settings/provider.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"
#include "platform/keyring/keyring.h"

using namespace winreg;

namespace settings {

static_assert(kNameEncodingShiftJis == static_cast<std::int32_t>(layout::kNameEncodingShiftJis) &&
              kNameEncodingEucJp == static_cast<std::int32_t>(layout::kNameEncodingEucJp));

namespace {

// The settings library enumerates sub-keys through a 256-byte buffer.
constexpr DWORD kEnumBuffer = 256;

bool UsableName(const std::string& name) { return !name.empty() && name.find('\\') == std::string::npos; }

bool IsLoginDirectory(const std::string& directory) {
    return directory.empty() || directory == layout::kLoginDirectoryEntry;
}

// Reads Encryption, NameEncoding and TrustedCertificate of the open entry `key` into `record`.
void ReadSecurity(SettingKey& key, ProviderRecord& record) {
    DWORD encryption = kEncryptionNone, names = layout::kNameEncodingAuto;
    key.ReadDword(layout::kEncryption, encryption);
    record.encryption = EncryptionFromStore(encryption);
    key.ReadDword(layout::kNameEncoding, names);
    record.nameEncoding = static_cast<std::int32_t>(layout::NameEncodingFromStore(names));
    key.ReadString(layout::kTrustedCertificate, record.trustedCertificate);
}

// Where a save puts one entry's password.
struct PasswordPlace {
    std::string entry;
    bool write = true;       // false: "Password", its marker and the keyring item stay as they are
    bool inKeyring = false;  // the keyring confirmed it: "Password" "" and marker 1
    bool forget = false;     // an empty password replaces one the keyring held: its item goes after the commit
};

// Offers the record's password to the keyring for `entry`; done before the
// store transaction, since the keyring's unlock prompt may take a while.
// `service` carries a locked, missing or silent keyring to the next entry,
// which is then not asked again.
PasswordPlace PlacePassword(const ProviderRecord& record, const std::string& entry, keyring::Status& service) {
    PasswordPlace place{entry};
    if (record.password.empty()) {
        place.write = !record.passwordUnread;
        return place;
    }
    if (service != keyring::Status::Ok) return place;
    const keyring::Status status = keyring::Store({record.providerName, entry, record.serverAddr, record.userName},
                                                  record.password, keyring::kProgramTimeout);
    place.inKeyring = status == keyring::Status::Ok;
    if (status != keyring::Status::Ok && status != keyring::Status::Failed) service = status;
    return place;
}

// Writes "Password" and "PasswordInKeyring" as `place` says, into the open entry `key`.
LONG WritePassword(SettingKey& key, const ProviderRecord& record, PasswordPlace& place) {
    if (!place.write) return ERROR_SUCCESS;
    DWORD wasInKeyring = 0;
    key.ReadDword(layout::kPasswordInKeyring, wasInKeyring);
    place.forget = record.password.empty() && wasInKeyring == 1;
    LONG st = key.WriteString(layout::kPassword, place.inKeyring ? std::string() : record.password);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kPasswordInKeyring, place.inKeyring ? 1 : 0);
    return st;
}

// Reads the password of the open entry `key` of `provider` from the keyring
// when the entry keeps it there.
void ReadKeyringPassword(SettingKey& key, const std::string& provider, const std::string& entry,
                         ProviderRecord& record) {
    DWORD inKeyring = 0;
    key.ReadDword(layout::kPasswordInKeyring, inKeyring);
    if (inKeyring != 1) return;
    const keyring::Status status = keyring::Lookup({provider, entry, record.serverAddr, record.userName},
                                                   record.password, keyring::kProgramTimeout);
    record.passwordUnread = status != keyring::Status::Ok && status != keyring::Status::NotFound;
}

// Writes one entry's values in the order every reader expects them; the
// status of the first failure, ERROR_SUCCESS when all were stored.
LONG WriteEntry(const std::string& path, const std::string& root, const ProviderRecord& record, DWORD anonymous,
                const std::string& menuName, PasswordPlace& password) {
    SettingKey key;
    LONG st = key.CreateKey(HKEY_CURRENT_USER, path);
    if (st == ERROR_SUCCESS) st = key.WriteString(layout::kRoot, root);
    if (st == ERROR_SUCCESS) st = key.WriteString(layout::kServerAddr, record.serverAddr);
    if (st == ERROR_SUCCESS) st = key.WriteString(layout::kUserName, record.userName);
    if (st == ERROR_SUCCESS) st = WritePassword(key, record, password);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kPort, static_cast<DWORD>(record.port));
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kAnonymous, anonymous);
    if (st == ERROR_SUCCESS) st = key.WriteString(layout::kMenuName, menuName);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kEncryption, static_cast<DWORD>(record.encryption));
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kNameEncoding, static_cast<DWORD>(record.nameEncoding));
    return st;
}

}  // namespace

std::string ProviderRecordProblem(const ProviderRecord& record) {
    if (record.providerName.empty()) return "プロバイダ名が空です。";
    if (record.providerName.find('\\') != std::string::npos) return "プロバイダ名に「\\」は使えません。";
    if (record.directory.find('\\') != std::string::npos) return "ディレクトリに「\\」は使えません。";
    const std::pair<const char*, const std::string*> fields[] = {
        {"プロバイダ名", &record.providerName}, {"ユーザー名", &record.userName},
        {"パスワード", &record.password},        {"サーバアドレス", &record.serverAddr},
        {"ディレクトリ", &record.directory},     {"メニュー名", &record.menuName}};
    for (const auto& [label, text] : fields)
        if (text->size() > kMaxFieldBytes)
            return std::string(label) + "が長すぎます(" + std::to_string(kMaxFieldBytes) + "バイトまで)。";
    for (const auto& [ext, dir] : record.autoTransfer) {
        if (!UsableName(dir)) return "転送先ディレクトリ「" + dir + "」は使えません(空または「\\」を含みます)。";
        if (dir.size() > kMaxFieldBytes || ext.size() > kMaxFieldBytes)
            return "拡張子別転送の設定が長すぎます(" + std::to_string(kMaxFieldBytes) + "バイトまで)。";
    }
    if (record.encryption < kEncryptionNone || record.encryption > kEncryptionRequired)
        return "暗号化の設定(" + std::to_string(record.encryption) + ")は使えません。";
    if (record.nameEncoding < kNameEncodingAuto || record.nameEncoding > kNameEncodingEucJp)
        return "ファイル名の文字コードの設定(" + std::to_string(record.nameEncoding) + ")は使えません。";
    if (record.trustedCertificate.size() > kMaxFieldBytes) return "信頼する証明書の値が長すぎます。";
    return {};
}

std::int32_t EncryptionFromStore(std::uint32_t value) {
    return static_cast<std::int32_t>(layout::EncryptionFromStore(value));
}

bool TakesTransferEntryName(const std::string& directory) { return directory == layout::kAutoTransferEntry; }

std::string DefaultMenuName(const std::string& directory) {
    return IsLoginDirectory(directory) ? std::string(layout::kLoginDirectoryEntry) : directory;
}

std::string StoreWriteFailure(LONG status) {
    return "設定を保存できませんでした(エラーコード : " + std::to_string(status) + ")。";
}

namespace {

// LoadProviderEntry as far as the store goes.
bool LoadStoredEntry(const std::string& provider, const std::string& entry, ProviderRecord& record) {
    if (!UsableName(provider) || !UsableName(entry)) return false;
    record.providerName = provider;
    const std::string entryPath = layout::EntryKey(provider, entry);
    // One state of the store for the whole entry, at one read lock rather than one per call.
    Snapshot snapshot;
    {
        SettingKey key;
        key.CreateKey(HKEY_CURRENT_USER, entryPath);
        DWORD port = static_cast<DWORD>(record.port), anonymous = static_cast<DWORD>(record.anonymous);
        key.ReadString(layout::kServerAddr, record.serverAddr);
        key.ReadDword(layout::kPort, port);
        key.ReadDword(layout::kAnonymous, anonymous);
        key.ReadString(layout::kUserName, record.userName);
        key.ReadString(layout::kPassword, record.password);
        ReadSecurity(key, record);
        record.port = static_cast<std::int32_t>(port);
        record.anonymous = static_cast<std::int32_t>(anonymous);
    }
    {
        SettingKey rules;
        if (rules.OpenKey(HKEY_CURRENT_USER, layout::AutoTransferKey(provider)) == ERROR_SUCCESS) {
            // The two texts deliberately carry over from one rule to the next:
            // a rule written without its extension list has always shown the
            // list of the rule before it, and users rely on what they see.
            std::string ext, dir;
            for (const std::string& name : layout::SubKeyNames(rules, kEnumBuffer)) {
                SettingKey rule;
                if (rule.OpenKey(HKEY_CURRENT_USER, layout::AutoTransferRuleKey(provider, name)) == ERROR_SUCCESS) {
                    rule.ReadString(layout::kAutoTransferDir, dir);
                    rule.ReadString(layout::kAutoTransferExt, ext);
                }
                record.autoTransfer.emplace_back(ext, dir);
            }
        }
    }
    // The directory is the entry's name; its Root is never read back.
    record.directory = entry;
    SettingKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, entryPath) == ERROR_SUCCESS) key.ReadString(layout::kMenuName, record.menuName);
    return true;
}

}  // namespace

bool LoadProviderEntry(const std::string& provider, const std::string& entry, ProviderRecord& record) {
    if (!LoadStoredEntry(provider, entry, record)) return false;
    // Outside the store's snapshot: the keyring may wait for its unlock prompt.
    SettingKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, layout::EntryKey(provider, entry)) == ERROR_SUCCESS)
        ReadKeyringPassword(key, provider, entry, record);
    return true;
}

LONG SaveProviderEntry(const ProviderRecord& record, const std::string* autoTransferRoot) {
    if (!ProviderRecordProblem(record).empty()) return ERROR_INVALID_PARAMETER;
    if (autoTransferRoot && autoTransferRoot->size() > kMaxFieldBytes) return ERROR_INVALID_PARAMETER;
    const bool login = IsLoginDirectory(record.directory);
    const std::string directoryEntry = login ? std::string(layout::kLoginDirectoryEntry) : record.directory;
    keyring::Status service = keyring::Status::Ok;
    PasswordPlace passwords[] = {PlacePassword(record, layout::kAutoTransferEntry, service),
                                 PlacePassword(record, directoryEntry, service)};
    // One transaction: a failure (or a killed process) leaves no provider
    // with its transfer entry but without its directory entry.
    Transaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    const std::string& provider = record.providerName;
    LONG st = WriteEntry(layout::EntryKey(provider, layout::kAutoTransferEntry), layout::kAutoTransferRootDefault,
                         record, 0, layout::kAutoTransferEntry, passwords[0]);
    if (st != ERROR_SUCCESS) return st;
    st = WriteEntry(layout::EntryKey(provider, directoryEntry), login ? std::string() : record.directory, record,
                    static_cast<DWORD>(record.anonymous), record.menuName, passwords[1]);
    if (st != ERROR_SUCCESS) return st;
    if (!record.trustedCertificate.empty()) {
        st = layout::WriteToEveryEntry(provider, layout::kTrustedCertificate, record.trustedCertificate);
        if (st != ERROR_SUCCESS) return st;
    }
    for (const auto& [ext, dir] : record.autoTransfer) {
        SettingKey rule;
        st = rule.CreateKey(HKEY_CURRENT_USER, layout::AutoTransferRuleKey(provider, dir));
        if (st == ERROR_SUCCESS) st = rule.WriteString(layout::kAutoTransferDir, dir);
        if (st == ERROR_SUCCESS) st = rule.WriteString(layout::kAutoTransferExt, ext);
        if (st != ERROR_SUCCESS) return st;
    }
    if (autoTransferRoot) {
        SettingKey key;
        st = key.CreateKey(HKEY_CURRENT_USER, layout::EntryKey(provider, layout::kAutoTransferEntry));
        if (st == ERROR_SUCCESS) st = key.WriteString(layout::kRoot, *autoTransferRoot);
        if (st != ERROR_SUCCESS) return st;
    }
    st = transaction.Commit();
    if (st != ERROR_SUCCESS) return st;
    for (const PasswordPlace& place : passwords)
        if (place.forget) keyring::DeleteEntry(provider, place.entry, keyring::kProgramTimeout);
    return st;
}

bool ReadFirstEntry(const std::string& provider, ProviderRecord& record) {
    if (!UsableName(provider)) return false;
    SettingKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, layout::ProviderKey(provider)) != ERROR_SUCCESS) return false;
    char name[kEnumBuffer] = {};
    const bool hasEntry = key.EnumSubKey(name, kEnumBuffer, 0) == ERROR_SUCCESS;
    key.CloseKey();
    DWORD port = 0, anonymous = 0;
    record.encryption = kEncryptionNone;
    record.nameEncoding = kNameEncodingAuto;
    if (hasEntry && key.OpenKey(HKEY_CURRENT_USER, layout::EntryKey(provider, name)) == ERROR_SUCCESS) {
        key.ReadString(layout::kServerAddr, record.serverAddr);
        key.ReadDword(layout::kPort, port);
        key.ReadString(layout::kUserName, record.userName);
        key.ReadString(layout::kPassword, record.password);
        key.ReadDword(layout::kAnonymous, anonymous);
        ReadSecurity(key, record);
        ReadKeyringPassword(key, provider, name, record);
    }
    record.port = static_cast<std::int32_t>(port);
    record.anonymous = static_cast<std::int32_t>(anonymous);
    return true;
}

LONG DeleteAutoTransferKey(const std::string& provider, const std::string& directory) {
    if (!UsableName(provider) || !UsableName(directory)) return ERROR_INVALID_PARAMETER;
    SettingKey key;
    // Opened, not created: deleting a rule must not bring a routing key into being.
    LONG st = key.OpenKey(HKEY_CURRENT_USER, layout::AutoTransferKey(provider));
    return st == ERROR_SUCCESS ? key.DeleteSubKey(directory) : st;
}

LONG DeleteProvider(const std::string& provider) {
    if (!UsableName(provider)) return ERROR_INVALID_PARAMETER;
    // One transaction: a provider never loses its entries but keeps routing
    // rules that a new provider of the same name would inherit.
    Transaction transaction;
    LONG st = transaction.Status();
    if (st != ERROR_SUCCESS) return st;
    st = RegDeleteTree(HKEY_CURRENT_USER, layout::ProviderKey(provider).c_str());
    if (st != ERROR_SUCCESS) return st;
    st = RegDeleteTree(HKEY_CURRENT_USER, layout::AutoTransferKey(provider).c_str());
    if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) return st;
    // A new provider of the same name, maybe on another server, must not take
    // the old one's record of what was sent for a copy of its own files.
    st = RegDeleteTree(HKEY_CURRENT_USER, (std::string(layout::kPublishedKey) + "\\" + provider).c_str());
    if (st != ERROR_SUCCESS && st != ERROR_FILE_NOT_FOUND) return st;
    return transaction.Commit();
}

}  // namespace settings
