// Provider load and save against the real store, as every reader of the tree sees the result.
#include "common/registry/layout.h"
#include "settings/provider.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace winreg;
using settings::ProviderRecord;

namespace {

const auto Str = testsupport::StoredString;
const auto Dw = testsupport::StoredDword;
const auto Children = testsupport::StoredChildren;
const std::string kFingerprint(64, 'a');
ProviderRecord Record(const std::string& directory, std::vector<std::pair<std::string, std::string>> pairs = {}) {
    return {"プロバイダ", "user", "pass", "ftp.example.jp", directory, "ホーム", 2121, 1, std::move(pairs),
            settings::kEncryptionRequired, kFingerprint, settings::kNameEncodingShiftJis};
}

TEST(ProviderSave, EntriesAreNamedAfterTheDirectoryAndTheTransferEntryIsFixed) {
    const std::string login = layout::kLoginDirectoryEntry;
    const struct { std::string directory, entry, root; } rows[] = {
        {"", login, ""}, {login, login, ""}, {"/", "/", "/"}, {"/pub/www", "/pub/www", "/pub/www"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.directory);
        testsupport::ScopedStore store;
        ASSERT_EQ(settings::SaveProviderEntry(Record(row.directory)), ERROR_SUCCESS);
        const std::string x = layout::EntryKey("プロバイダ", layout::kAutoTransferEntry);
        const std::string e = layout::EntryKey("プロバイダ", row.entry);
        EXPECT_EQ(Children(layout::ProviderKey("プロバイダ")).size(), 2u);
        EXPECT_EQ(Str(x, "Root"), "/");
        EXPECT_EQ(Dw(x, "Anonymous"), 0u);  // even for an anonymous profile
        EXPECT_EQ(Str(x, "MenuName"), "拡張子別転送");
        EXPECT_EQ(Str(e, "Root"), row.root);
        EXPECT_EQ(Dw(e, "Anonymous"), 1u);
        EXPECT_EQ(Str(e, "MenuName"), "ホーム");
        for (const std::string& k : {x, e}) {
            EXPECT_EQ(Str(k, "ServerAddr"), "ftp.example.jp");
            EXPECT_EQ(Str(k, "UserName"), "user");
            EXPECT_EQ(Str(k, "Password"), "pass");
            EXPECT_EQ(Dw(k, "Port"), 2121u);
            EXPECT_EQ(Dw(k, "Encryption"), 2u);
            EXPECT_EQ(Dw(k, "NameEncoding"), 2u);
            EXPECT_EQ(Str(k, "TrustedCertificate"), kFingerprint);
        }
    }
}

// A save that does not carry the trusted certificate (the import, the wizard adding an entry) keeps the one the
// user trusted; one that carries one gives it to every entry of the provider.
TEST(ProviderSave, PairsSharingADirectoryLeaveOneKeyAndSavingOverAProviderKeepsItsOtherKeys) {
    testsupport::ScopedStore store;
    ASSERT_EQ(settings::SaveProviderEntry(Record("/old", {{".cgi;", "cgi"}})), ERROR_SUCCESS);
    ProviderRecord plain = Record("/new", {{".htm;", "html"}, {".gif;", "img"}, {".html;", "html"}});
    plain.encryption = settings::kEncryptionNone;
    plain.trustedCertificate.clear();
    ASSERT_EQ(settings::SaveProviderEntry(plain), ERROR_SUCCESS);
    const std::string x = layout::EntryKey("プロバイダ", layout::kAutoTransferEntry);
    EXPECT_EQ(Dw(x, "Encryption"), 0u);
    EXPECT_EQ(Str(x, "TrustedCertificate"), kFingerprint);
    EXPECT_EQ(Children(layout::ProviderKey("プロバイダ")).size(), 3u);
    EXPECT_EQ(Str(layout::EntryKey("プロバイダ", "/new"), "TrustedCertificate"), std::nullopt);
    EXPECT_EQ(Str(layout::EntryKey("プロバイダ", "/old"), "Root"), "/old");
    EXPECT_EQ(Children(layout::AutoTransferKey("プロバイダ")).size(), 3u);
    EXPECT_EQ(Str(layout::AutoTransferRuleKey("プロバイダ", "html"), "AutoTransferExt"), ".html;");
    EXPECT_EQ(Str(layout::AutoTransferRuleKey("プロバイダ", "cgi"), "AutoTransferDir"), "cgi");
    // The property sheet's override of the transfer entry's Root.
    const std::string root = "/home/www";
    ProviderRecord renewed = Record("/new");
    renewed.trustedCertificate = std::string(64, 'b');
    ASSERT_EQ(settings::SaveProviderEntry(renewed, &root), ERROR_SUCCESS);
    EXPECT_EQ(Str(x, "Root"), root);
    for (const char* entry : {"/old", "/new", layout::kAutoTransferEntry})
        EXPECT_EQ(Str(layout::EntryKey("プロバイダ", entry), "TrustedCertificate"), renewed.trustedCertificate) << entry;
}

TEST(ProviderSave, RecordsThatWouldNotReadBackOrWouldNestKeysAreRefusedWholesale) {
    std::string kanji85, kanji86;
    for (int i = 0; i < 85; ++i) kanji85 += "漢";
    kanji86 = kanji85 + "漢";  // 258 bytes: would be saved and read back as missing
    const struct { ProviderRecord record; bool saved; } rows[] = {
        {[] { auto r = Record(""); r.providerName = "a\\b"; return r; }(), false},
        {[] { auto r = Record(""); r.providerName.clear(); return r; }(), false},
        {Record("pub\\www"), false},
        {Record("", {{".htm;", "h\\i"}}), false},
        {Record("", {{".htm;", ""}}), false},
        {[&] { auto r = Record(""); r.serverAddr = kanji86; return r; }(), false},
        {[&] { auto r = Record(""); r.password = std::string(256, 'p'); return r; }(), false},
        {[] { auto r = Record(""); r.encryption = 3; return r; }(), false},
        {[] { auto r = Record(""); r.encryption = -1; return r; }(), false},
        {[] { auto r = Record(""); r.nameEncoding = 4; return r; }(), false},
        {[] { auto r = Record(""); r.nameEncoding = -1; return r; }(), false},
        {[&] { auto r = Record(""); r.serverAddr = kanji85; return r; }(), true},
    };
    for (const auto& row : rows) {
        testsupport::ScopedStore store;
        EXPECT_EQ(settings::SaveProviderEntry(row.record), row.saved ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
        EXPECT_EQ(Children(layout::kSoftwareParvex).empty(), !row.saved);
        if (row.saved) {
            ProviderRecord back;
            ASSERT_TRUE(settings::LoadProviderEntry("プロバイダ", layout::kLoginDirectoryEntry, back));
            EXPECT_EQ(back.serverAddr, kanji85);
        }
    }
}

// Every field read back: PropSheet.OpensOnTheStoredEntryAndSavesOnlyAFieldSetTheProgramsCanUse.
TEST(ProviderLoad, ARuleWithoutExtensionsCarriesThePreviousRulesOver) {
    testsupport::ScopedStore store;
    ASSERT_EQ(settings::SaveProviderEntry(Record("/pub", {{".htm;", "a"}})), ERROR_SUCCESS);
    SettingKey b;
    ASSERT_EQ(b.CreateKey(HKEY_CURRENT_USER, layout::AutoTransferRuleKey("プロバイダ", "b")), ERROR_SUCCESS);
    b.WriteString("AutoTransferDir", "b");  // no AutoTransferExt
    b.CloseKey();
    ProviderRecord r;
    ASSERT_TRUE(settings::LoadProviderEntry("プロバイダ", "/pub", r));
    EXPECT_EQ(r.autoTransfer, (decltype(r.autoTransfer){{".htm;", "a"}, {".htm;", "b"}}));
}

// Users who stored a provider before TLS existed keep plain FTP, whatever a new record starts with; a value the
// programs do not know loads as what they make of it (never plain FTP). The name encoding of such an entry is
// detected, and so is one this version does not know.
TEST(ProviderLoad, AnEntryWithoutEncryptionLoadsAsPlainFtp) {
    const struct { const char* name; std::optional<DWORD> stored; std::int32_t loaded; std::optional<DWORD> names;
                   std::int32_t namesLoaded; } rows[] = {
        {"stored before TLS", std::nullopt, 0, std::nullopt, 0}, {"plain", 0, 0, 3, 3}, {"if offered", 1, 1, 1, 1},
        {"required", 2, 2, 2, 2}, {"a newer version's", 7, 2, 9, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::ScopedStore store;
        SettingKey key;
        ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, layout::EntryKey("古い", "/pub")), ERROR_SUCCESS);
        key.WriteString(layout::kServerAddr, "ftp.example.jp");
        if (row.stored) key.WriteDword(layout::kEncryption, *row.stored);
        if (row.names) key.WriteDword(layout::kNameEncoding, *row.names);
        key.CloseKey();
        ProviderRecord loaded, first;
        loaded.nameEncoding = first.nameEncoding = settings::kNameEncodingUtf8;
        ASSERT_EQ(loaded.encryption, settings::kEncryptionIfOffered);  // what the wizard starts with
        ASSERT_TRUE(settings::LoadProviderEntry("古い", "/pub", loaded));
        ASSERT_TRUE(settings::ReadFirstEntry("古い", first));
        EXPECT_EQ(loaded.encryption, row.loaded);
        EXPECT_EQ(first.encryption, row.loaded);
        EXPECT_EQ(loaded.nameEncoding, row.namesLoaded);
        EXPECT_EQ(first.nameEncoding, row.namesLoaded);
        EXPECT_EQ(loaded.trustedCertificate, "");
    }
}

TEST(ProviderSave, DeletingARuleRemovesOnlyThatKeyAndNeverANestedOne) {
    testsupport::ScopedStore store;
    ASSERT_EQ(settings::SaveProviderEntry(Record("", {{".htm;", "html"}, {".gif;", "img"}})), ERROR_SUCCESS);
    EXPECT_EQ(settings::DeleteAutoTransferKey("プロバイダ", "html\\x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(settings::DeleteAutoTransferKey("プロバイダ", "html"), ERROR_SUCCESS);
    EXPECT_EQ(settings::DeleteAutoTransferKey("プロバイダ", "html"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Children(layout::AutoTransferKey("プロバイダ")) == std::vector<std::string>{"img"});
    EXPECT_EQ(settings::DeleteAutoTransferKey("なし", "html"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Children(layout::AutoTransferKey("なし")).empty());
}

TEST(ProviderDelete, RemovesTheProviderAndItsRulesTogetherOrNothing) {
    testsupport::ScopedStore store;
    ProviderRecord other = Record("/other");  // no routing rule at all
    other.providerName = "プロバイダ2";
    ASSERT_EQ(settings::SaveProviderEntry(other), ERROR_SUCCESS);
    ASSERT_EQ(settings::SaveProviderEntry(Record("/pub", {{".htm;", "html"}, {".gif;", "img"}})), ERROR_SUCCESS);
    ASSERT_EQ(settings::SaveProviderEntry(Record("")), ERROR_SUCCESS);
    const auto both = std::vector<std::string>{"プロバイダ", "プロバイダ2"};
    for (const std::string& p : both) {
        SettingKey sent;
        ASSERT_EQ(sent.CreateKey(HKEY_CURRENT_USER, std::string(layout::kPublishedKey) + "\\" + p + "\\0123"),
                  ERROR_SUCCESS);
    }
    {
        testsupport::ReadOnlyStore readOnly;
        EXPECT_EQ(settings::DeleteProvider("プロバイダ"), ERROR_ACCESS_DENIED);
        EXPECT_EQ(Children(layout::kProviderKey), both);
        EXPECT_EQ(Children(layout::AutoTransferKey("プロバイダ")).size(), 2u);
    }
    EXPECT_EQ(settings::DeleteProvider("プロバイダ\\/pub"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(settings::DeleteProvider(""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Children(layout::ProviderKey("プロバイダ")).size(), 3u);

    EXPECT_EQ(settings::DeleteProvider("プロバイダ"), ERROR_SUCCESS);
    EXPECT_EQ(Children(layout::kProviderKey), std::vector<std::string>{"プロバイダ2"});
    EXPECT_TRUE(Children(layout::kAutoTransferKey).empty());
    EXPECT_EQ(Children(layout::kPublishedKey), std::vector<std::string>{"プロバイダ2"}) << "what it sent goes with it";
    EXPECT_EQ(Str(layout::EntryKey("プロバイダ2", "/other"), "ServerAddr"), "ftp.example.jp");
    EXPECT_EQ(settings::DeleteProvider("プロバイダ"), ERROR_FILE_NOT_FOUND);
    // A provider that never had a routing rule goes as well.
    EXPECT_EQ(settings::DeleteProvider("プロバイダ2"), ERROR_SUCCESS);
    EXPECT_TRUE(Children(layout::kProviderKey).empty());
}

}  // namespace
