// Where a provider's password goes and comes from: the desktop keyring (a real gnome-keyring-daemon on a bus of the
// test's own) or, without one, the settings file as always; and the move of the file's passwords into the keyring.
#include "common/registry/layout.h"
#include "settings/passwords.h"
#include "settings/provider.h"
#include "tests/support/keyring_service.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <optional>

using namespace winreg;
using namespace std::chrono_literals;
using settings::ProviderRecord;

namespace {

const auto Str = testsupport::StoredString;
const auto Dw = testsupport::StoredDword;
const std::string kTransfer = layout::kAutoTransferEntry;

ProviderRecord Record(const std::string& provider, const std::string& password) {
    ProviderRecord r;
    r.providerName = provider;
    r.userName = "山田";
    r.password = password;
    r.serverAddr = "ftp.example.jp";
    r.directory = "/www";
    r.menuName = "ホーム";
    r.port = 21;
    return r;
}

// The keyring's password of an entry; nullopt when it has none.
std::optional<std::string> InKeyring(const std::string& provider, const std::string& entry) {
    std::string password;
    const keyring::Status status = keyring::Lookup({provider, entry, "ftp.example.jp", "山田"}, password, 10s);
    if (status == keyring::Status::NotFound) return std::nullopt;
    EXPECT_EQ(status, keyring::Status::Ok) << keyring::StatusName(status);
    return password;
}

// An entry as an older version (or another machine) wrote it: the password in the file.
void PutEntry(const std::string& provider, const std::string& entry, const std::string& password,
              std::optional<DWORD> marker = std::nullopt) {
    SettingKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, layout::EntryKey(provider, entry)), ERROR_SUCCESS);
    key.WriteString(layout::kServerAddr, "ftp.example.jp");
    key.WriteString(layout::kUserName, "山田");
    key.WriteString(layout::kPassword, password);
    if (marker) key.WriteDword(layout::kPasswordInKeyring, *marker);
}

class Passwords : public testing::Test {
protected:
    testsupport::ScopedStore store_;
    testsupport::KeyringService keyring_;
};

TEST_F(Passwords, SavedIntoTheKeyringLoadedBackAndNeverLostToALockedKeyring) {
    ASSERT_TRUE(keyring_.Start(true));
    ASSERT_EQ(settings::SaveProviderEntry(Record("青空", "秘密の合言葉")), ERROR_SUCCESS);
    for (const std::string& entry : {kTransfer, std::string("/www")}) {
        SCOPED_TRACE(entry);
        const std::string path = layout::EntryKey("青空", entry);
        EXPECT_EQ(Str(path, layout::kPassword), "");
        EXPECT_EQ(Dw(path, layout::kPasswordInKeyring), 1u);
        EXPECT_EQ(InKeyring("青空", entry), "秘密の合言葉");
    }
    ProviderRecord loaded, first;
    ASSERT_TRUE(settings::LoadProviderEntry("青空", "/www", loaded));
    EXPECT_EQ(loaded.password, "秘密の合言葉");
    EXPECT_FALSE(loaded.passwordUnread);
    ASSERT_TRUE(settings::ReadFirstEntry("青空", first));
    EXPECT_EQ(first.password, "秘密の合言葉");

    // Locked (the unlock prompt fails: no prompter on the bus): the sheet opens without the password,
    // and saving it as it stands touches neither the file nor the keyring.
    keyring_.Stop();
    ASSERT_TRUE(keyring_.Start(false));
    ProviderRecord locked;
    ASSERT_TRUE(settings::LoadProviderEntry("青空", "/www", locked));
    EXPECT_EQ(locked.password, "");
    EXPECT_TRUE(locked.passwordUnread);
    locked.menuName = "新しいメニュー";
    ASSERT_EQ(settings::SaveProviderEntry(locked), ERROR_SUCCESS);
    EXPECT_EQ(Str(layout::EntryKey("青空", "/www"), layout::kMenuName), "新しいメニュー");
    // A password typed while the keyring is locked goes into the file, the marker saying so.
    ASSERT_EQ(settings::SaveProviderEntry(Record("みどり", "typed")), ERROR_SUCCESS);
    EXPECT_EQ(Str(layout::EntryKey("みどり", "/www"), layout::kPassword), "typed");
    EXPECT_EQ(Dw(layout::EntryKey("みどり", "/www"), layout::kPasswordInKeyring), 0u);
    keyring_.Stop();
    ASSERT_TRUE(keyring_.Start(true));
    EXPECT_EQ(Dw(layout::EntryKey("青空", "/www"), layout::kPasswordInKeyring), 1u);
    EXPECT_EQ(InKeyring("青空", "/www"), "秘密の合言葉");

    // An empty password saved on purpose clears the file's value and the keyring's item.
    ASSERT_EQ(settings::SaveProviderEntry(Record("青空", "")), ERROR_SUCCESS);
    EXPECT_EQ(Dw(layout::EntryKey("青空", "/www"), layout::kPasswordInKeyring), 0u);
    EXPECT_EQ(InKeyring("青空", "/www"), std::nullopt);
    EXPECT_EQ(InKeyring("青空", kTransfer), std::nullopt);
}

TEST_F(Passwords, MigrationMovesOnlyWhatTheKeyringConfirmedAndWhatNobodyChangedMeanwhile) {
    PutEntry("青空", "/www", "pw1");
    PutEntry("青空", kTransfer, "pw1");
    PutEntry("みどり", "/pub", "pw2");
    PutEntry("みどり", "/old", "pw3", 0);
    PutEntry("空の", "/x", "");           // nothing to move
    PutEntry("移動済み", "/y", "", 1);     // already moved
    PutEntry("変更", "/z", "before");

    // Locked: every password stays in the file, each named.
    ASSERT_TRUE(keyring_.Start(true));
    keyring_.Stop();
    ASSERT_TRUE(keyring_.Start(false));
    const settings::PasswordMigration locked = settings::MigratePasswords(5s);
    EXPECT_EQ(locked.moved, 0);
    EXPECT_EQ(locked.service, keyring::Status::Locked);
    EXPECT_EQ(locked.failed.size(), 5u);
    EXPECT_EQ(settings::MigrationSummary(locked).rfind("5 件のパスワードは設定ファイルに残りました (キーリングがロックされています): ", 0), 0u)
        << settings::MigrationSummary(locked);
    EXPECT_EQ(Str(layout::EntryKey("青空", "/www"), layout::kPassword), "pw1");
    keyring_.Stop();

    // Unlocked, with a second writer changing one entry between the keyring and the transaction.
    ASSERT_TRUE(keyring_.Start(true));
    const std::vector<settings::FilePassword> offered = settings::StorePasswordsInKeyring(10s);
    PutEntry("変更", "/z", "after");
    const settings::PasswordMigration done = settings::RemoveStoredPasswords(offered);
    EXPECT_EQ(done.moved, 4);
    EXPECT_EQ(done.changed, 1);
    EXPECT_TRUE(done.failed.empty());
    EXPECT_EQ(settings::MigrationSummary(done), "4 件のパスワードを設定ファイルからキーリングに移しました。");
    const struct { const char *provider, *entry, *file; DWORD marker; std::optional<std::string> keyring; } rows[] = {
        {"青空", "/www", "", 1, "pw1"},       {"青空", "拡張子別転送", "", 1, "pw1"},
        {"みどり", "/pub", "", 1, "pw2"},      {"みどり", "/old", "", 1, "pw3"},
        {"変更", "/z", "after", 0, "before"},  // the file wins; its keyring copy is not used
        {"空の", "/x", "", 0, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.provider) + "\\" + row.entry);
        const std::string path = layout::EntryKey(row.provider, row.entry);
        EXPECT_EQ(Str(path, layout::kPassword), row.file);
        EXPECT_EQ(Dw(path, layout::kPasswordInKeyring).value_or(0), row.marker);
        EXPECT_EQ(InKeyring(row.provider, row.entry), row.keyring);
    }
    // A second start finds the changed entry again and moves it.
    EXPECT_EQ(settings::MigratePasswords(10s).moved, 1);
    EXPECT_EQ(InKeyring("変更", "/z"), "after");
}

// `reg export` reads the store only: a keyring password is not in it. On another machine (a store and a keyring of
// its own) the imported provider loads without a password, as one the keyring lost, and a password typed for it goes
// into that machine's keyring.
TEST_F(Passwords, AnExportCarriesNoKeyringPasswordAndAnotherMachineTakesATypedOne) {
    const std::string exported = store_.dir() / "export.reg";
    auto exportTo = [&](const std::string& file) {
        const testsupport::RunResult r =
            testsupport::RunProgram({REG_TOOL, "export", "HKCU\\Software\\PARVEX", file, "/y"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return testsupport::ReadFile(file);
    };
    // Without a keyring the password stays in the file as it always did (the ProviderSave tests run without one).
    ASSERT_EQ(settings::SaveProviderEntry(Record("手元", "秘密の合言葉")), ERROR_SUCCESS);
    EXPECT_EQ(settings::MigratePasswords(5s).service, keyring::Status::NoService);
    ASSERT_TRUE(keyring_.Start(true));
    ASSERT_EQ(settings::SaveProviderEntry(Record("手元", "秘密の合言葉")), ERROR_SUCCESS);
    const std::string text = exportTo(exported);
    EXPECT_EQ(text.find("秘密"), std::string::npos) << text;
    EXPECT_NE(text.find("\"PasswordInKeyring\"=dword:00000001"), std::string::npos) << text;

    testsupport::ScopedStore otherStore;
    testsupport::KeyringService otherKeyring;
    keyring_.Stop();
    ASSERT_TRUE(otherKeyring.Start(true));
    const testsupport::RunResult imported = testsupport::RunProgram({REG_TOOL, "import", exported});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    ProviderRecord loaded;
    ASSERT_TRUE(settings::LoadProviderEntry("手元", "/www", loaded));
    EXPECT_EQ(loaded.password, "");
    EXPECT_FALSE(loaded.passwordUnread) << "nothing to lose: the keyring has no item for it";
    loaded.password = "打ち直し";
    ASSERT_EQ(settings::SaveProviderEntry(loaded), ERROR_SUCCESS);
    EXPECT_EQ(InKeyring("手元", "/www"), "打ち直し");
    EXPECT_EQ(Str(layout::EntryKey("手元", "/www"), layout::kPassword), "");
}

}  // namespace
