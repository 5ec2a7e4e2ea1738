// The provider property sheet driven as a user drives it, against the real
// store and, for the directory browse, a real FTP server.
#include "common/registry/layout.h"
#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/ftp_dir_dialog.h"
#include "settings/halvex32/prov_info.h"
#include "settings/halvex32/provider_fields.h"
#include "tests/settings/halvex32/user_input.h"
#include "tests/support/ftp_server.h"
#include "tests/support/gui_support.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace winreg;
using sheettest::Press;
using sheettest::Route;
using sheettest::Tick;
using testsupport::Pump;
using testsupport::PumpUntil;
using testsupport::StoredChildren;
using testsupport::StoredDword;
using testsupport::StoredString;

const std::string kAuto = layout::kAutoTransferEntry;

settings::ProviderRecord Stored(const std::string& directory = "/pub") {
    return {"myftp", "taro", "秘密", "ftp.example.jp", directory, "公開", 2121, 0,
            {{".htm;.html;", "html"}, {".gif;", "img"}}, settings::kEncryptionRequired, ""};
}

void Seed(const settings::ProviderRecord& record, const std::string& autoRoot = "/www") {
    ASSERT_EQ(settings::SaveProviderEntry(record, &autoRoot), ERROR_SUCCESS);
}

struct PropSheet : testing::Test {
    testsupport::ScopedStore store;
    CSheetProvInfo* sheet = nullptr;

    void Open(const std::string& provider = "myftp", const std::string& entry = "/pub") {
        sheet = new CSheetProvInfo(nullptr, provider, entry);
        testsupport::ShowAndSettle(sheet);
    }
    void TearDown() override {
        if (sheet) sheet->Destroy();
        Pump(50);
    }
    CPagePropProv* P1() const { return sheet->ProvPage(); }
    CPagePropMoveDir* P2() const { return sheet->MoveDirPage(); }
    bool OkEnabled() const { return sheet->FindWindow(wxID_OK)->IsEnabled(); }
    void ShowPage2() { sheet->GetBookCtrl()->SetSelection(1); }
    wxListCtrl* Routes() const { return P2()->Routing()->List(); }
    void SelectRoute(long row) { Routes()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED); }
    void Close(int id) {
        Press(sheet->FindWindow(id));
        EXPECT_TRUE(PumpUntil([&] { return !sheet->IsShown(); }, 2000)) << "the sheet stays open";
    }
};

TEST_F(PropSheet, OpensOnTheStoredEntryAndSavesOnlyAFieldSetTheProgramsCanUse) {
    Seed(Stored());
    {
        // As stored before the server's file-name encoding could be chosen.
        SettingKey old;
        ASSERT_EQ(old.OpenKey(HKEY_CURRENT_USER, layout::EntryKey("myftp", "/pub")), ERROR_SUCCESS);
        ASSERT_EQ(old.DeleteValue(layout::kNameEncoding), ERROR_SUCCESS);
    }
    Open();
    auto* provider = dynamic_cast<wxTextCtrl*>(sheet->FindWindow(CPagePropProv::kProviderName));
    auto* directory = dynamic_cast<wxTextCtrl*>(sheet->FindWindow(CPagePropMoveDir::kDirectoryName));
    EXPECT_EQ(provider->GetValue(), "myftp");
    EXPECT_FALSE(provider->IsEnabled());
    EXPECT_EQ(directory->GetValue(), "/pub");
    EXPECT_FALSE(directory->IsEnabled());
    EXPECT_EQ(P1()->ServerEdit()->GetValue(), "ftp.example.jp");
    EXPECT_EQ(P1()->PortField()->GetText(), "2121");
    EXPECT_EQ(P1()->EncryptionChoice()->GetStringSelection(), wxString::FromUTF8("TLS 必須 (FTPS)"));
    EXPECT_EQ(P1()->NameEncodingChoice()->GetStringSelection(), wxString::FromUTF8("自動"));
    EXPECT_EQ(P1()->UserEdit()->GetValue(), "taro");
    EXPECT_EQ(P1()->PasswordField()->GetValue(), wxString::FromUTF8("秘密"));
    EXPECT_FALSE(P1()->PasswordField()->IsClear());
    EXPECT_EQ(P2()->MenuNameEdit()->GetValue(), wxString::FromUTF8("公開"));
    EXPECT_EQ(P2()->LoginDirectoryEdit()->GetValue(), "/www");
    EXPECT_EQ(P2()->Routing()->Pairs(), (std::vector<halvex32::CRoutingList::Pair>{{".htm;.html;", "html"},
                                                                                    {".gif;", "img"}}));
    EXPECT_TRUE(OkEnabled());

    // OK is offered only for a field set the programs can use.
    auto* server = P1()->ServerEdit();
    server->SetValue("");
    EXPECT_FALSE(OkEnabled());
    server->SetValue("ftp2.example.jp");
    EXPECT_TRUE(OkEnabled());
    EXPECT_EQ(sheet->Record().serverAddr, "ftp2.example.jp");

    // A port the transfer program cannot use is never saved.
    const struct { const char* port; bool ok; } ports[] = {
        {"", false}, {"0", false},     {"00000", false}, {"65536", false}, {"99999", false},
        {"1", true}, {"65535", true}, {"021", true},    {"21", true}};
    for (const auto& p : ports) {
        P1()->PortField()->SetText(p.port);
        EXPECT_EQ(OkEnabled(), p.ok) << p.port;
    }
    P1()->UserEdit()->SetValue("");
    EXPECT_FALSE(OkEnabled());
    P1()->UserEdit()->SetValue("hanako");
    P1()->PasswordField()->SetValue("");
    EXPECT_FALSE(OkEnabled());
    P1()->PasswordField()->SetValue("pw");
    EXPECT_TRUE(OkEnabled());
    sheettest::Pick(P1()->EncryptionChoice(), settings::kEncryptionNone);
    sheettest::Pick(P1()->NameEncodingChoice(), settings::kNameEncodingShiftJis);

    // Once page 2 has been seen, an empty menu name keeps OK off too.
    ShowPage2();
    P2()->MenuNameEdit()->SetValue("");
    EXPECT_FALSE(OkEnabled());
    P2()->MenuNameEdit()->SetValue(wxString(wxUniChar(0x3042), 100));  // 300 bytes of UTF-8
    EXPECT_TRUE(OkEnabled());
    const std::string menu = P2()->MenuNameEdit()->GetValue().utf8_string();
    EXPECT_EQ(menu, std::string(wxString(wxUniChar(0x3042), 85).utf8_string()));  // cut at a character, 255 bytes

    Close(wxID_OK);
    const std::string e = layout::EntryKey("myftp", "/pub");
    EXPECT_EQ(StoredString(e, layout::kServerAddr), "ftp2.example.jp");
    EXPECT_EQ(StoredDword(e, layout::kPort), 21u);
    EXPECT_EQ(StoredString(e, layout::kUserName), "hanako");
    EXPECT_EQ(StoredString(e, layout::kPassword), "pw");
    for (const std::string& k : {e, layout::EntryKey("myftp", kAuto)}) {
        EXPECT_EQ(StoredDword(k, layout::kEncryption), 0u) << k;
        EXPECT_EQ(StoredDword(k, layout::kNameEncoding), 2u) << k;
    }
    SettingKey key;
    std::string read;
    ASSERT_EQ(key.OpenKey(HKEY_CURRENT_USER, e), ERROR_SUCCESS);
    EXPECT_EQ(key.ReadString(layout::kMenuName, read), ERROR_SUCCESS);  // what is saved reads back
    EXPECT_EQ(read, menu);
}

// A password the keyring keeps but cannot give (here: no keyring at all) is not a password the user removed: OK stays
// offered with the field empty, and saving other changes leaves the keyring's password where it is.
TEST_F(PropSheet, APasswordTheKeyringCannotGiveIsKeptWhenOtherFieldsAreSaved) {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("XDG_RUNTIME_DIR");
    Seed(Stored());
    for (const std::string& k : {layout::EntryKey("myftp", "/pub"), layout::EntryKey("myftp", kAuto)})
        testsupport::Put(k, {{layout::kPassword, ""}, {layout::kPasswordInKeyring, 1u}});
    Open();
    EXPECT_TRUE(P1()->PasswordField()->GetValue().empty());
    P1()->ServerEdit()->SetValue("ftp2.example.jp");
    EXPECT_TRUE(OkEnabled());
    Close(wxID_OK);
    const std::string e = layout::EntryKey("myftp", "/pub");
    EXPECT_EQ(StoredString(e, layout::kServerAddr), "ftp2.example.jp");
    EXPECT_EQ(StoredString(e, layout::kPassword), "");
    EXPECT_EQ(StoredDword(e, layout::kPasswordInKeyring), 1u);
}

TEST_F(PropSheet, AnAnonymousEntryShowsAnonymousAndUncheckingGivesTheStoredLoginBack) {
    settings::ProviderRecord r = Stored();
    r.anonymous = 1;
    Seed(r);
    Open();
    auto* box = P1()->AnonymousBox();
    EXPECT_TRUE(box->GetValue());
    EXPECT_EQ(P1()->UserEdit()->GetValue(), "anonymous");
    EXPECT_FALSE(P1()->UserEdit()->IsEnabled());
    EXPECT_TRUE(P1()->PasswordField()->IsClear());
    EXPECT_EQ(P1()->PasswordField()->GetValue(), halvex32::AnonymousLogin::kPlaceholder);

    Tick(box, false);
    Pump(50);
    EXPECT_TRUE(P1()->UserEdit()->IsEnabled());
    EXPECT_EQ(P1()->UserEdit()->GetValue(), "taro");
    EXPECT_EQ(P1()->PasswordField()->GetValue(), wxString::FromUTF8("秘密"));
    EXPECT_FALSE(P1()->PasswordField()->IsClear());
    Close(wxID_OK);
    EXPECT_EQ(StoredDword(layout::EntryKey("myftp", "/pub"), layout::kAnonymous), 0u);
    EXPECT_EQ(StoredString(layout::EntryKey("myftp", "/pub"), layout::kUserName), "taro");
}

TEST_F(PropSheet, TheLoginDirectoryOfTheTransferEntryIsWrittenOnlyWhenPageTwoWasSeen) {
    const struct {
        std::string entry;
        bool showPage2;
        const char* typed;  // into the login directory, when page 2 is shown
        const char* root;
    } rows[] = {{"/pub", false, nullptr, "/"},
                {"/pub", true, nullptr, "/www"},
                {"/pub", true, "", ""},
                {"/pub", true, "/htdocs", "/htdocs"},
                // Opened on the transfer entry itself: its Root never becomes its own name.
                {kAuto, false, nullptr, "/www"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.entry + " " + row.root);
        Seed(Stored());
        Open("myftp", row.entry);
        if (row.showPage2) ShowPage2();
        if (row.typed) P2()->LoginDirectoryEdit()->SetValue(row.typed);
        EXPECT_EQ(sheet->MoveDirPageShown(), row.showPage2);
        Close(wxID_OK);
        EXPECT_EQ(StoredString(layout::EntryKey("myftp", kAuto), layout::kRoot), row.root);
        EXPECT_EQ(StoredString(layout::EntryKey("myftp", kAuto), layout::kMenuName), kAuto);
        sheet->Destroy();
        sheet = nullptr;
    }
}

TEST_F(PropSheet, DeletingARouteRemovesItsKeyAtOnceEvenWhenTheSheetIsCancelled) {
    Seed(Stored());
    Open();
    ShowPage2();
    auto remove = [&](long row) {
        SelectRoute(row);
        ASSERT_TRUE(PumpUntil([&] { return sheet->FindWindow(halvex32::CRoutingList::kDeleteName)->IsEnabled(); }));
        Press(sheet->FindWindow(halvex32::CRoutingList::kDeleteName));
    };
    remove(0);
    EXPECT_EQ(Routes()->GetItemCount(), 1);
    EXPECT_EQ(StoredChildren(layout::AutoTransferKey("myftp")), std::vector<std::string>{"img"});
    // A second rule for img, added and deleted again, takes nothing of the stored img rule.
    Route(sheet, halvex32::CRoutingList::kAddName, ".png;", "img");
    remove(1);
    EXPECT_EQ(Routes()->GetItemCount(), 1);
    EXPECT_EQ(StoredChildren(layout::AutoTransferKey("myftp")), std::vector<std::string>{"img"});
    P1()->ServerEdit()->SetValue("changed.example.jp");
    Close(wxID_CANCEL);
    EXPECT_EQ(StoredChildren(layout::AutoTransferKey("myftp")), std::vector<std::string>{"img"});
    EXPECT_EQ(StoredString(layout::EntryKey("myftp", "/pub"), layout::kServerAddr), "ftp.example.jp");
}

TEST_F(PropSheet, AddedAndReEditedRoutesAreSavedAtOkAndAReEditedDirectoryLeavesNoOldKey) {
    Seed(Stored());
    Open();
    ShowPage2();
    Route(sheet, halvex32::CRoutingList::kAddName, ".txt;", "文書");
    SelectRoute(0);
    Route(sheet, halvex32::CRoutingList::kEditName, ".htm;", "www");
    EXPECT_EQ(P2()->Routing()->Pairs(),
              (std::vector<halvex32::CRoutingList::Pair>{{".htm;", "www"}, {".gif;", "img"}, {".txt;", "文書"}}));
    // Nothing reaches the store before OK.
    EXPECT_EQ(StoredChildren(layout::AutoTransferKey("myftp")), (std::vector<std::string>{"html", "img"}));
    Close(wxID_OK);
    // The old html rule would route .htm files on to html, which the user replaced.
    EXPECT_EQ(StoredChildren(layout::AutoTransferKey("myftp")), (std::vector<std::string>{"img", "www", "文書"}));
    EXPECT_EQ(StoredString(layout::AutoTransferRuleKey("myftp", "www"), layout::kAutoTransferExt), ".htm;");
    EXPECT_EQ(StoredString(layout::AutoTransferRuleKey("myftp", "文書"), layout::kAutoTransferExt), ".txt;");
}

TEST_F(PropSheet, BrowsingTheLoginDirectoryLogsInWithWhatPageOneShows) {
    testsupport::FtpServer server(testsupport::FtpServer::Kind::Pyftpdlib);
    std::filesystem::create_directories(server.Local("公開/html"));
    Seed(Stored());  // stored server: ftp.example.jp, which does not exist
    Open();
    P1()->ServerEdit()->SetValue("127.0.0.1");
    P1()->PortField()->SetText(std::to_string(server.port()));
    P1()->UserEdit()->SetValue(server.user());
    P1()->PasswordField()->SetValue(server.password());
    // Stored as TLS required, which this server does not speak; "if offered" goes on in plain FTP.
    sheettest::Pick(P1()->EncryptionChoice(), settings::kEncryptionIfOffered);
    ShowPage2();

    const sheettest::PickerSeen seen = sheettest::PickOverTls(
        [&] { Press(sheet->FindWindow(CPagePropMoveDir::kBrowseName)); }, true, "/公開/html");
    EXPECT_TRUE(std::ranges::count(seen.folders, "/公開")) << seen.status;
    EXPECT_EQ(P2()->LoginDirectoryEdit()->GetValue(), wxString::FromUTF8("/公開/html"));
}

// The server's certificate is not the one the provider remembers: the picker warns that it changed. Stopped, it
// lists nothing, says why, and the remembered one stays; trusted, it lists over TLS, and OK saves the new one.
TEST_F(PropSheet, AChangedCertificateIsAskedAboutInThePickerAndTheTrustedOneSavedAtOk) {
    testsupport::FtpServer server(testsupport::FtpServer::Kind::VsftpdTls);
    settings::ProviderRecord r = Stored();
    r.serverAddr = "127.0.0.1";
    r.port = server.port();
    r.userName = server.user();
    r.password = "guest@example.jp";
    const std::string old(64, 'd');
    r.trustedCertificate = old;
    Seed(r);
    Open();
    ShowPage2();
    auto browse = [&] { Press(sheet->FindWindow(CPagePropMoveDir::kBrowseName)); };
    const std::string home = server.home();

    sheettest::PickerSeen seen = sheettest::PickOverTls(browse, false, home);
    ASSERT_EQ(seen.questions.size(), 1u) << seen.status;
    EXPECT_TRUE(seen.questions[0].starts_with("警告: サーバ「127.0.0.1」の証明書が、以前に信頼した証明書から変わっています。"))
        << seen.questions[0];
    EXPECT_EQ(seen.status, "サーバの証明書が信頼されなかったため、接続を中止しました。");
    EXPECT_TRUE(seen.folders.empty());
    EXPECT_EQ(sheet->Record().trustedCertificate, old);
    EXPECT_EQ(P2()->LoginDirectoryEdit()->GetValue(), "/www");

    seen = sheettest::PickOverTls(browse, true, home);
    ASSERT_EQ(seen.questions.size(), 1u) << seen.status;
    EXPECT_EQ(seen.folders, std::vector<std::string>{home}) << seen.status;
    EXPECT_EQ(P2()->LoginDirectoryEdit()->GetValue(), wxString::FromUTF8(home));
    const std::string fingerprint = sheet->Record().trustedCertificate;
    EXPECT_EQ(fingerprint.size(), 64u);
    EXPECT_NE(fingerprint, old);
    const auto commands = server.Commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "AUTH TLS"), commands.end());
    EXPECT_EQ(StoredString(layout::EntryKey("myftp", "/pub"), layout::kTrustedCertificate), old) << "saved before OK";

    Close(wxID_OK);
    for (const std::string& k : {layout::EntryKey("myftp", "/pub"), layout::EntryKey("myftp", kAuto)})
        EXPECT_EQ(StoredString(k, layout::kTrustedCertificate), fingerprint) << k;
}

TEST(ShowProvInfo, ReturnsOneAfterOkTwoAfterCancelAndRefusesBadNames) {
    testsupport::ScopedStore store;
    Seed(Stored());
    const struct {
        const char* provider;
        const char* entry;
        int button;  // 0: the call must return without showing anything
        int result;
    } rows[] = {
        {"myftp", "/pub", wxID_OK, 1}, {"myftp", "/pub", wxID_CANCEL, 2}, {"new", "/x", wxID_CANCEL, 2},
        {nullptr, "/pub", 0, 2},       {"myftp", "", 0, 2},               {"a\\b", "/pub", 0, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.provider ? row.provider : "null");
        testsupport::Driver answer([&] {
            auto* s = testsupport::ModalWindow<CSheetProvInfo>();
            if (s) s->ProvPage()->ServerEdit()->SetValue("ok.example.jp");
            if (s) Press(s->FindWindow(row.button ? row.button : wxID_CANCEL));
            return s != nullptr;
        });
        EXPECT_EQ(PARVEX_ShowProvInfo(nullptr, row.provider, row.entry), row.result);
        EXPECT_EQ(answer.done, row.button != 0);
    }
    EXPECT_EQ(StoredString(layout::EntryKey("myftp", "/pub"), layout::kServerAddr), "ok.example.jp");
    // A missing entry is created empty by opening it, and stays empty after Cancel.
    EXPECT_EQ(StoredChildren(layout::ProviderKey("new")), std::vector<std::string>{"/x"});
    EXPECT_EQ(StoredString(layout::EntryKey("new", "/x"), layout::kServerAddr), std::nullopt);
    EXPECT_FALSE(testsupport::KeyExists(layout::ProviderKey("a")));
}

// With PARVEX_SCREENSHOT_DIR set: both pages saved as prov-info-1.png and prov-info-2.png.
TEST_F(PropSheet, Screenshots) {
    if (!std::getenv("PARVEX_SCREENSHOT_DIR")) GTEST_SKIP() << "set PARVEX_SCREENSHOT_DIR to a folder";
    settings::ProviderRecord r = Stored("/public_html");
    r.menuName = "ホームページ";
    r.autoTransfer = {{".htm;.html;", "html"}, {".gif;.jpg;.png;", "images"}, {".cgi;", "cgi-bin"}};
    Seed(r);
    Open("myftp", "/public_html");
    sheet->Move(10, 10);
    testsupport::Screenshot("PARVEX_SCREENSHOT_DIR", sheet, "prov-info-1.png");
    ShowPage2();
    SelectRoute(1);
    testsupport::Screenshot("PARVEX_SCREENSHOT_DIR", sheet, "prov-info-2.png");
}

}  // namespace
