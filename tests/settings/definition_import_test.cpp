// Definition files as Windows users write them: the INI rules, the codes and
// the bulk import into the real store, all or nothing.
#include "common/registry/layout.h"
#include "settings/definition_import.h"
#include "settings/ini.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace winreg;
using settings::ImportResult;

namespace {

std::string Str(const std::string& path, const char* name) {
    return testsupport::StoredString(path, name).value_or("(missing)");
}
const auto Children = testsupport::StoredChildren;

TEST(IniFile, LooksUpAsTheWindowsProfileFunctions) {
    const std::string long300 = std::string(1, 'a') + [] { std::string s; for (int i = 0; i < 100; ++i) s += "字"; return s; }();
    const settings::IniFile ini("stray=1\r\n[Profile]\r\n  Port1 = 0021x \r\n;Port2=5\r\nno equals\r\nPORT1=99\r\n"
                                "name=\"  quoted  \"\r\nhalf=\"open\r\nneg=-3\r\nbig=99999999999\r\nlong=" + long300 +
                                "\n[other]\nk=v\n[PROFILE]\nlater=1\nPROFILE7=x\nPROFILE12=y\nPROFILE012=z\n");
    const struct { const char *section, *key, *want; } strings[] = {
        {"PROFILE", "port1", "0021x"},        // case-insensitive, trimmed, first key wins
        {"profile", "name", "  quoted  "},    // quotes go, blanks inside stay
        {"profile", "half", "\"open"},
        {"profile", "Port2", "(none)"},       // a comment line
        {"profile", "no equals", "(none)"},
        {"profile", "later", "(none)"},       // only the first [PROFILE] is searched
        {"nosuch", "stray", "(none)"},
        {"OTHER", "K", "v"},
    };
    for (const auto& s : strings) EXPECT_EQ(ini.GetString(s.section, s.key, "(none)"), s.want) << s.key;
    EXPECT_EQ(ini.GetString("profile", "long").size(), 1u + 86 * 3);  // 259 bytes cut back to a character boundary
    const struct { const char* key; std::int32_t want; } ints[] = {
        {"port1", 21}, {"neg", 0}, {"name", 0}, {"big", INT32_MAX}, {"missing", -1}};
    for (const auto& i : ints) EXPECT_EQ(ini.GetInt("profile", i.key, -1), i.want) << i.key;
    EXPECT_EQ(ini.HighestIndex("profile", "port"), 1);
    EXPECT_EQ(ini.HighestIndex("PROFILE", "profile"), 0);  // PROFILE7/12 are in the second, unsearched section
}

TEST(IniFile, RoutingLinesSplitAtCommasQuotesAndSpaces) {
    const struct { const char *line, *dir, *ext; bool ok; } rows[] = {
        {"html,\".htm;.html;\"", "html", ".htm;.html;", true}, {"html .htm;.html;", "html", ".htm;.html;", true},
        {" ,\"img\" , \".gif;\" extra", "img", ".gif;", true}, {"cgi", "cgi", "", true},
        {" , \"\" ", "", "", false},                          {"", "", "", false}};
    for (const auto& r : rows) {
        std::string dir, ext;
        EXPECT_EQ(settings::SplitRoutingLine(r.line, dir, ext), r.ok) << r.line;
        if (r.ok) {
            EXPECT_EQ(dir + "|" + ext, std::string(r.dir) + "|" + r.ext) << r.line;
        }
    }
}

const std::string kTwoProfiles =
    "[PROFILE]\r\nPROFILE=2\r\nPROFILE1=日本のサーバ\r\nSERVERADDR1=ftp.example.jp\r\nUSERNAME1=taro\r\n"
    "USERPWD1=秘密\r\nMOVEDIR1=/public_html\r\nVIEWMOVEDIR1=ホームページ\r\nANONYMOUS1=0\r\nPORT1=21\r\n"
    "PROFILE2=second\r\nSERVERADDR2=127.0.0.1\r\nUSERNAME2=anonymous\r\nUSERPWD2=a@b\r\nVIEWMOVEDIR2=ログイン\r\n"
    "ANONYMOUS2=1\r\nPORT2=2121\r\n[AUTOTRANSFER]\r\n日本のサーバ=3\r\n日本のサーバ1=html,\".htm;.html;\"\r\n"
    "日本のサーバ2= , \r\n日本のサーバ3=画像 .gif;.jpg;\r\n";

TEST(DefinitionImport, TwoProfilesArriveAsTheSameTextInEveryCode) {
    std::string lf = kTwoProfiles;
    for (std::size_t at; (at = lf.find('\r')) != std::string::npos;) lf.erase(at, 1);
    const struct { const char* name; std::string bytes; } files[] = {
        {"sjis-crlf", testsupport::Encode("CP932", kTwoProfiles)}, {"euc-lf", testsupport::Encode("EUC-JP", lf)},
        {"jis", testsupport::Encode("ISO-2022-JP", lf)}, {"utf8-bom", "\xEF\xBB\xBF" + kTwoProfiles}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        testsupport::ScopedStore store;
        const std::string path = store.dir() / "def.ini";
        testsupport::WriteFile(path, f.bytes);
        const ImportResult r = settings::ImportDefinitionFile(path);
        ASSERT_EQ(r.status, ImportResult::Status::kImported) << r.error;
        EXPECT_TRUE(r.providers == (std::vector<std::string>{"日本のサーバ", "second"}));
        const std::string e1 = layout::EntryKey("日本のサーバ", "/public_html");
        EXPECT_EQ(Str(e1, "Password") + Str(e1, "MenuName") + Str(e1, "Root"), "秘密ホームページ/public_html");
        const std::string e2 = layout::EntryKey("second", layout::kLoginDirectoryEntry);
        EXPECT_EQ(Str(e2, "Root") + Str(e2, "MenuName") + Str(e2, "UserName"), "ログインanonymous");
        EXPECT_EQ(Children(layout::ProviderKey("second")).size(), 2u);
        // The line without a token is skipped, not turned into a copy of the line before it.
        EXPECT_EQ(Children(layout::AutoTransferKey("日本のサーバ")).size(), 2u);
        EXPECT_EQ(Str(layout::AutoTransferRuleKey("日本のサーバ", "html"), "AutoTransferExt"), ".htm;.html;");
        EXPECT_EQ(Str(layout::AutoTransferRuleKey("日本のサーバ", "画像"), "AutoTransferExt"), ".gif;.jpg;");
    }
}

TEST(DefinitionImport, BadInputIsRefusedOrSkippedAndNeverHalfWritten) {
    std::string k300(300, 'K');
    const struct { const char* name; std::string content; ImportResult::Status status; std::size_t saved, skipped; } rows[] = {
        {"garbage", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18), ImportResult::Status::kNotDefinitionFile, 0, 0},
        {"high bytes no code reads", std::string(200, '\x80'), ImportResult::Status::kNotDefinitionFile, 0, 0},
        {"no count", "[PROFILE]\nPROFILE1=a\n", ImportResult::Status::kImported, 0, 0},
        {"backslash", "[PROFILE]\nPROFILE=3\nPROFILE1=a\\b\nPROFILE2=ok\nPROFILE3=\n", ImportResult::Status::kImported, 1, 2},
        // Saved, it would overwrite the provider's per-extension entry.
        {"the per-extension entry's name as directory",
         "[PROFILE]\nPROFILE=2\nPROFILE1=a\nMOVEDIR1=拡張子別転送\nPROFILE2=b\nMOVEDIR2=/拡張子別転送\n",
         ImportResult::Status::kImported, 1, 1},
        {"300-byte keys and values",
         "[PROFILE]\nPROFILE=2\n" + k300 + "=1\nPROFILE1=p\nSERVERADDR1=" + k300 + "\nPROFILE2=" + k300 + "\n",
         ImportResult::Status::kImported, 0, 2},
        {"count past the profiles", "[PROFILE]\nPROFILE=2000000000\nPROFILE1=only\n", ImportResult::Status::kImported, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testsupport::ScopedStore store;
        testsupport::WriteFile(store.dir() / "def.ini", row.content);
        const ImportResult r = settings::ImportDefinitionFile(store.dir() / "def.ini");
        EXPECT_EQ(r.status, row.status) << r.error;
        EXPECT_EQ(r.providers.size(), row.saved);
        EXPECT_EQ(r.skipped.size(), row.skipped);
        EXPECT_EQ(Children(layout::kProviderKey).size(), row.saved);
        if (r.status != ImportResult::Status::kImported) {
            EXPECT_NE(r.error.find("def.ini"), std::string::npos);
        }
    }
    testsupport::ScopedStore store;
    EXPECT_EQ(settings::ImportDefinitionFile(store.dir() / "none.ini").status, ImportResult::Status::kCannotRead);
    EXPECT_EQ(settings::ImportDefinitionFile(store.dir().path()).status, ImportResult::Status::kCannotRead);
    testsupport::WriteFile(store.dir() / "c.ini", "[PROFILE]\nPROFILE=2000000000\nPROFILE1=only\n");
    EXPECT_EQ(settings::ImportDefinitionFile(store.dir() / "c.ini").absentProfiles, 1999999999);
}

TEST(DefinitionImport, PortsAndEncryptionsTheWizardRefusesAreSkippedAndEveryEntryGetsAMenuName) {
    testsupport::ScopedStore store;
    const std::string path = store.dir() / "def.ini";
    // 99999 would be sent as 16 bits and dial 34463; -5 and x read as 0. An
    // encryption the three choices do not name is no guess at TLS or plain FTP.
    testsupport::WriteFile(path, "[PROFILE]\nPROFILE=14\n"
                                 "PROFILE1=big\nMOVEDIR1=/a\nPORT1=99999\n"
                                 "PROFILE2=zero\nMOVEDIR2=/a\nPORT2=0\n"
                                 "PROFILE3=negative\nMOVEDIR3=/a\nPORT3=-5\n"
                                 "PROFILE4=word\nMOVEDIR4=/a\nPORT4=x\n"
                                 "PROFILE5=highest\nMOVEDIR5=/pub/www\nPORT5=65535\nENCRYPTION5=\n"
                                 "PROFILE6=lowest\nPORT6=1\nENCRYPTION6=1\nNAMEENCODING6=3\n"
                                 "PROFILE7=unset\nMOVEDIR7=/up\nVIEWMOVEDIR7=\nENCRYPTION7=2\nNAMEENCODING7=\n"
                                 "PROFILE8=named\nMOVEDIR8=/n\nVIEWMOVEDIR8=名前\nPORT8=2121\nENCRYPTION8=0\nNAMEENCODING8=2\n"
                                 "PROFILE9=past\nMOVEDIR9=/a\nPORT9=65536\n"
                                 "PROFILE10=yes\nENCRYPTION10=yes\n"
                                 "PROFILE11=three\nENCRYPTION11=3\n"
                                 "PROFILE12=twelve\nENCRYPTION12=12\n"
                                 "PROFILE13=minus\nENCRYPTION13=-1\n"
                                 "PROFILE14=sjis\nNAMEENCODING14=sjis\n");
    const ImportResult r = settings::ImportDefinitionFile(path);
    ASSERT_EQ(r.status, ImportResult::Status::kImported) << r.error;
    EXPECT_EQ(r.providers, (std::vector<std::string>{"highest", "lowest", "unset", "named"}));
    const struct { int profile; const char *about, *value; } skipped[] = {
        {1, "ポート", "99999"}, {2, "ポート", "「0」"},   {3, "ポート", "-5"},    {4, "ポート", "「x」"},
        {9, "ポート", "65536"}, {10, "暗号化", "「yes」"}, {11, "暗号化", "「3」"}, {12, "暗号化", "「12」"},
        {13, "暗号化", "「-1」"}, {14, "文字コード", "「sjis」"}};
    ASSERT_EQ(r.skipped.size(), std::size(skipped));
    for (std::size_t i = 0; i < std::size(skipped); ++i) {
        EXPECT_EQ(r.skipped[i].profile, skipped[i].profile);
        EXPECT_NE(r.skipped[i].reason.find(skipped[i].about), std::string::npos) << r.skipped[i].reason;
        EXPECT_NE(r.skipped[i].reason.find(skipped[i].value), std::string::npos) << r.skipped[i].reason;
    }
    for (const char* gone : {"big", "zero", "negative", "word", "past", "yes", "three", "twelve", "minus", "sjis"})
        EXPECT_FALSE(testsupport::KeyExists(layout::ProviderKey(gone))) << gone;
    // No NAMEENCODING, or an empty one, detects the encoding at login.
    const struct { const char *provider, *entry, *menu; DWORD port, encryption, names; } saved[] = {
        {"highest", "/pub/www", "/pub/www", 65535, 0, 0},  // an empty ENCRYPTION is plain FTP, as is none
        {"lowest", layout::kLoginDirectoryEntry, layout::kLoginDirectoryEntry, 1, 1, 3},
        {"unset", "/up", "/up", 21, 2, 0},  // no PORT: the port the wizard offers
        {"named", "/n", "名前", 2121, 0, 2},
    };
    for (const auto& e : saved) {
        for (const std::string& key : {layout::EntryKey(e.provider, e.entry),
                                       layout::EntryKey(e.provider, layout::kAutoTransferEntry)}) {
            EXPECT_EQ(testsupport::StoredDword(key, "Port"), e.port) << e.provider;
            EXPECT_EQ(testsupport::StoredDword(key, "Encryption"), e.encryption) << e.provider;
            EXPECT_EQ(testsupport::StoredDword(key, "NameEncoding"), e.names) << e.provider;
            EXPECT_EQ(Str(key, "TrustedCertificate"), "(missing)") << e.provider;
        }
        EXPECT_EQ(Str(layout::EntryKey(e.provider, e.entry), "MenuName"), e.menu) << e.provider;
    }
}

// 10,000 profiles, each with a routing line: the file a provider's admin exports.
std::string BigFile() {
    std::string s = "[PROFILE]\nPROFILE=10000\n", routes = "[AUTOTRANSFER]\n";
    for (int n = 1; n <= 10000; ++n) {
        const std::string i = std::to_string(n);
        s += "PROFILE" + i + "=p" + i + "\nSERVERADDR" + i + "=h" + i + "\nMOVEDIR" + i + "=/d\nPORT" + i + "=21\n";
        routes += "p" + i + "=1\np" + i + "1=html .htm;\n";
    }
    return s + routes;
}

TEST(DefinitionImport, TenThousandProfilesImportAndAStopLeavesTheStoreAsItWas) {
    testsupport::ScopedStore store;
    const std::string path = store.dir() / "big.ini";
    testsupport::WriteFile(path, BigFile());
    // A stop half-way leaves an older provider as it was and adds nothing.
    const std::string old = layout::EntryKey("p2", "/d");
    SettingKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, old), ERROR_SUCCESS);
    key.WriteString("ServerAddr", "before");
    key.CloseKey();
    ImportResult r = settings::ImportDefinitionFile(path, [](std::int32_t n, std::int32_t) { return n < 5000; });
    EXPECT_EQ(r.status, ImportResult::Status::kStopped);
    EXPECT_EQ(Str(old, "ServerAddr"), "before");
    EXPECT_EQ(Children(layout::kProviderKey).size(), 1u);

    r = settings::ImportDefinitionFile(path);
    ASSERT_EQ(r.status, ImportResult::Status::kImported) << r.error;
    EXPECT_EQ(r.providers.size(), 10000u);
    EXPECT_EQ(Children(layout::kProviderKey).size(), 10000u);
    EXPECT_EQ(Str(layout::EntryKey("p9999", "/d"), "ServerAddr"), "h9999");
    EXPECT_EQ(Str(layout::AutoTransferRuleKey("p10000", "html"), "AutoTransferExt"), ".htm;");
}

}  // namespace
