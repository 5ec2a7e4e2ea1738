// The new-provider wizard driven as a user drives it: typing into its fields, pressing Next, answering the extension
// selection sheet and the directory picker.
#include "settings/halvex32/wizard.h"

#include "common/registry/layout.h"
#include "common/ui/image_button.h"
#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/provider_fields.h"
#include "tests/support/ftp_server.h"
#include "tests/support/gui_support.h"
#include "tests/settings/halvex32/user_input.h"
#include "tests/support/store_probe.h"

#include <gtest/gtest.h>

#include <wx/uiaction.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include <cstdlib>

namespace {

using sheettest::Press;
using sheettest::Tick;
using testsupport::Pump;
using testsupport::PumpUntil;
using testsupport::KeyExists;
using testsupport::StoredString;

using testsupport::U;

struct Wizard : testing::Test {
    testsupport::ScopedStore store;
    CWizSheet* sheet = nullptr;

    void SetUp() override { Open(); }
    void TearDown() override { Close(); }
    void Open() {
        sheet = new CWizSheet(nullptr);
        sheet->Begin();
        ASSERT_TRUE(PumpUntil([this] { return sheet->IsShownOnScreen(); }, 3000));
    }
    void Close() {
        if (sheet) sheet->Destroy();
        sheet = nullptr;
        Pump(50);
    }
    bool NextEnabled() const { return sheet->FindWindow(wxID_FORWARD)->IsEnabled(); }
    bool BackEnabled() const { return sheet->FindWindow(wxID_BACKWARD)->IsEnabled(); }
    // Presses Next (or Finish) as the user can: only while it is enabled.
    void Next() {
        ASSERT_TRUE(NextEnabled()) << "on page " << sheet->CurrentIndex() + 1;
        Press(sheet->FindWindow(wxID_FORWARD));
        Pump(20);
    }
    void Back() {
        ASSERT_TRUE(BackEnabled());
        Press(sheet->FindWindow(wxID_BACKWARD));
        Pump(20);
    }
    // Fills pages 1 to 3 and stops on page 4; `encryption` or `names` < 0 leaves that choice as it is.
    void ToMoveDir(const char* name, const std::string& server, int port, const std::string& user,
                   const std::string& password, int encryption = -1, int names = -1) {
        sheet->ProfilePage()->NameEdit()->SetValue(U(name));
        Next();
        sheet->ServerPage()->AddressEdit()->SetValue(wxString::FromUTF8(server));
        sheet->ServerPage()->PortField()->SetText(wxString::Format("%d", port));
        if (encryption >= 0) sheettest::Pick(sheet->ServerPage()->EncryptionChoice(), encryption);
        if (names >= 0) sheettest::Pick(sheet->ServerPage()->NameEncodingChoice(), names);
        Next();
        sheet->UserPage()->UserEdit()->SetValue(wxString::FromUTF8(user));
        sheet->UserPage()->PasswordField()->SetValue(wxString::FromUTF8(password));
        Next();
        ASSERT_EQ(sheet->CurrentIndex(), 3);
    }
    // Fills pages 1 to 4 and stops on page 5.
    void ToRouting(const char* name, const std::string& server, int port, const std::string& user,
                   const std::string& password, const char* directory, const char* menu, int encryption = -1,
                   int names = -1) {
        ToMoveDir(name, server, port, user, password, encryption, names);
        sheet->MoveDirPage()->DirectoryEdit()->SetValue(U(directory));
        sheet->MoveDirPage()->MenuNameEdit()->SetValue(U(menu));
        Next();
        ASSERT_EQ(sheet->CurrentIndex(), 4);
    }
    wxListCtrl* RouteList() const { return sheet->ExtAutoPage()->Routes()->List(); }
};

TEST_F(Wizard, ServerPageStartsAt21ForANewNameAndRefusesUnusablePortsAndNames) {
    EXPECT_FALSE(NextEnabled());
    wxTextCtrl* name = sheet->ProfilePage()->NameEdit();
    name->SetValue(U("社内\\サーバ"));  // would nest keys in the store
    EXPECT_FALSE(NextEnabled());
    name->SetValue(U("社内サーバ"));
    EXPECT_TRUE(NextEnabled());
    Next();

    EXPECT_EQ(sheet->GetTitle(), U("サーバアドレス/ポート番号"));
    wxTextCtrl* port = sheet->ServerPage()->PortField()->Edit();
    EXPECT_EQ(port->GetValue(), "21");
    // A new provider asks for TLS where the server offers it.
    EXPECT_EQ(sheet->ServerPage()->EncryptionChoice()->GetSelection(), 1);
    EXPECT_TRUE(BackEnabled());
    EXPECT_FALSE(NextEnabled()) << "no address yet";
    sheet->ServerPage()->AddressEdit()->SetValue("ftp.example.jp");
    EXPECT_TRUE(NextEnabled());
    // Which ports are usable: the property sheet's table (the same check).
    port->SetValue("65536");
    EXPECT_FALSE(NextEnabled());
    port->SetValue("021");
    EXPECT_TRUE(NextEnabled());
    // Only digits can be typed, and Alt+N moves on from the port field too.
    port->SetValue("212");
    port->SetFocus();
    port->SetInsertionPointEnd();
    wxUIActionSimulator keys;
    keys.Text("x1");
    Pump(200);
    EXPECT_EQ(port->GetValue(), "2121");
    keys.Char('n', wxMOD_ALT);
    EXPECT_TRUE(PumpUntil([&] { return sheet->GetTitle() != U("サーバアドレス/ポート番号"); }, 3000))
        << "Alt+N did nothing in the port field";
    Back();
    EXPECT_EQ(port->GetValue(), "2121") << "the pre-fill happens once only";
}

TEST_F(Wizard, AnExistingProviderPrefillsServerAndLogin) {
    settings::ProviderRecord stored;
    stored.providerName = "既存";
    stored.serverAddr = "192.0.2.7";
    stored.port = 2100;
    stored.userName = "taro";
    stored.password = "secret";
    stored.directory = "/pub";
    stored.menuName = "pub";
    stored.encryption = settings::kEncryptionNone;
    stored.trustedCertificate = std::string(64, 'c');
    ASSERT_EQ(settings::SaveProviderEntry(stored), winreg::ERROR_SUCCESS);

    sheet->ProfilePage()->NameEdit()->SetValue(U("既存"));
    Next();
    EXPECT_EQ(sheet->ServerPage()->AddressEdit()->GetValue(), "192.0.2.7");
    EXPECT_EQ(sheet->ServerPage()->PortField()->GetText(), "2100");
    EXPECT_EQ(sheet->ServerPage()->EncryptionChoice()->GetSelection(), 0) << "a plain provider stays plain";
    EXPECT_EQ(sheet->Record().trustedCertificate, stored.trustedCertificate);
    Next();
    auto* page = sheet->UserPage();
    EXPECT_EQ(page->UserEdit()->GetValue(), "taro");
    EXPECT_EQ(page->PasswordField()->GetValue(), "secret");
    EXPECT_FALSE(page->PasswordField()->IsClear());
    // Typed over, then back and forth: the stored login comes back.
    page->UserEdit()->SetValue("jiro");
    Back();
    Next();
    EXPECT_EQ(page->UserEdit()->GetValue(), "taro");
}

// The box's swap of the login and back: the property sheet's test. Here: the placeholder in clear and selected, the
// typed password hidden again, and the record saying anonymous.
TEST_F(Wizard, AnonymousLoginShowsItsPlaceholderInClearAndIsRecorded) {
    sheet->ProfilePage()->NameEdit()->SetValue("p");
    Next();
    sheet->ServerPage()->AddressEdit()->SetValue("h");
    Next();
    auto* page = sheet->UserPage();
    EXPECT_FALSE(NextEnabled());
    page->UserEdit()->SetValue("hanako");
    page->PasswordField()->SetValue(U("合言葉"));
    EXPECT_TRUE(NextEnabled());

    wxCheckBox* box = page->AnonymousBox();
    Tick(box, true);
    EXPECT_FALSE(page->PasswordField()->Edit()->HasFlag(wxTE_PASSWORD));
    long from = 0, to = 0;
    page->PasswordField()->Edit()->GetSelection(&from, &to);
    EXPECT_EQ(to - from, static_cast<long>(std::string(halvex32::AnonymousLogin::kPlaceholder).size()));
    Tick(box, false);
    EXPECT_EQ(page->PasswordField()->GetValue(), U("合言葉"));
    EXPECT_TRUE(page->PasswordField()->Edit()->HasFlag(wxTE_PASSWORD));
    Tick(box, true);
    Next();
    EXPECT_EQ(sheet->Record().userName, "anonymous");
    EXPECT_EQ(sheet->Record().anonymous, 1);
}

TEST_F(Wizard, DirectoryNamesTheMenuUntilTheMenuIsEditedAndTextsStayWithin255Bytes) {
    // Three bytes a character: 100 characters are 300 bytes, cut to 85 whole ones.
    wxString longName;
    for (int i = 0; i < 100; ++i) longName += wxUniChar(0x3042 + i % 20);
    sheet->ProfilePage()->NameEdit()->SetValue(longName);
    EXPECT_EQ(sheet->ProfilePage()->NameEdit()->GetValue(), longName.Left(85));
    Next();
    EXPECT_EQ(sheet->Record().providerName.size(), 255u);
    sheet->ServerPage()->AddressEdit()->SetValue("h");
    Next();
    sheet->UserPage()->UserEdit()->SetValue("u");
    sheet->UserPage()->PasswordField()->SetValue("p");
    Next();

    auto* page = sheet->MoveDirPage();
    EXPECT_FALSE(NextEnabled()) << "no menu name yet";
    page->DirectoryEdit()->SetValue("/pub");
    EXPECT_EQ(page->MenuNameEdit()->GetValue(), "/pub");
    EXPECT_TRUE(NextEnabled());
    page->MenuNameEdit()->SetValue(U("公開"));
    EXPECT_EQ(page->DirectoryEdit()->GetValue(), "/pub");
    EXPECT_EQ(page->MenuNameEdit()->GetValue(), U("公開"));
    page->DirectoryEdit()->SetValue("/pub/www");
    EXPECT_EQ(page->MenuNameEdit()->GetValue(), "/pub/www");
    page->DirectoryEdit()->SetValue("a\\b");
    EXPECT_FALSE(NextEnabled()) << "a backslash would nest keys";
    page->DirectoryEdit()->SetValue(U("拡張子別転送"));
    EXPECT_FALSE(NextEnabled()) << "the per-extension entry's key would be overwritten";
    page->DirectoryEdit()->SetValue(U("/拡張子別転送"));
    EXPECT_TRUE(NextEnabled()) << "the same directory named by its path is an entry of its own";
    page->DirectoryEdit()->SetValue("");
    EXPECT_FALSE(NextEnabled());
    page->MenuNameEdit()->SetValue(U("ログイン先"));
    EXPECT_TRUE(NextEnabled()) << "the directory may stay empty";
}

// The routing list's add and re-edit: the property sheet's test. Here: closing the extension sheet without 決定
// adds no row, the summary shows every choice (the password in clear), and a double-click on a row goes back to its
// page.
TEST_F(Wizard, TheSummaryShowsEveryChoiceAndADoubleClickGoesBackToItsPage) {
    ToRouting("テスト", "127.0.0.1", 2121, "taro", "合言葉", "", "ホーム", 2, settings::kNameEncodingEucJp);
    sheet->ExtAutoPage()->Routes()->SetPairs({{".htm;.html;", "html"}, {".gif;.png;", "images"}});
    Press(sheet->ExtAutoPage()->FindWindow(halvex32::CRoutingList::kAddName));
    ASSERT_NE(CurrentExtSelectSheet(), nullptr);
    Press(CurrentExtSelectSheet()->FindWindow(CPageExtSelect::kCloseName));
    ASSERT_TRUE(PumpUntil([this] { return sheet->IsEnabled(); }, 3000));
    Pump(50);
    EXPECT_EQ(RouteList()->GetItemCount(), 2);
    Next();

    wxListCtrl* summary = sheet->FinishPage()->Summary();
    const char* const shown[] = {"テスト", "127.0.0.1", "2121", "TLS 必須 (FTPS)", "EUC-JP", "taro", "合言葉",
                                 "ログイン時のディレクトリ", "ホーム", ".htm;.html; -> html", ".gif;.png; -> images"};
    ASSERT_EQ(summary->GetItemCount(), static_cast<int>(std::size(shown)));
    for (int i = 0; i < summary->GetItemCount(); ++i) EXPECT_EQ(summary->GetItemText(i, 1), U(shown[i])) << i;
    EXPECT_TRUE(NextEnabled()) << "Finish";
    EXPECT_EQ(sheet->FindWindow(wxID_FORWARD)->GetLabel(), U("完了")) << "the button the page text names";

    // Double-clicking 拡張子別自動転送1 goes back to page 5.
    wxListEvent activate(wxEVT_LIST_ITEM_ACTIVATED, summary->GetId());
    activate.SetEventObject(summary);
    activate.m_itemIndex = 9;
    summary->GetEventHandler()->ProcessEvent(activate);
    EXPECT_EQ(sheet->CurrentIndex(), 4);
}

// Over TLS the picker on page 4 asks about the certificate; the trusted one is saved at Finish in every entry, where
// the transfer program finds it (Walkers.AnUntrustedCertificateIsAskedAboutAndATrustedOneRemembered).
TEST_F(Wizard, ACertificateTrustedInThePickerIsSavedAtFinish) {
    testsupport::FtpServer server(testsupport::FtpServer::Kind::VsftpdTls);
    // vsftpd's anonymous login takes any password; the wizard wants one.
    ToMoveDir("暗号", "127.0.0.1", server.port(), server.user(), "guest@example.jp", settings::kEncryptionRequired,
              settings::kNameEncodingShiftJis);
    const sheettest::PickerSeen seen = sheettest::PickOverTls(
        [&] { Press(sheet->MoveDirPage()->BrowseButton()); }, true, server.home());
    ASSERT_EQ(seen.questions.size(), 1u) << seen.status;
    EXPECT_TRUE(seen.questions[0].starts_with("サーバ「127.0.0.1」の証明書を確認できませんでした。")) << seen.questions[0];
    EXPECT_EQ(seen.folders, std::vector<std::string>{server.home()}) << seen.status;
    EXPECT_EQ(sheet->MoveDirPage()->DirectoryEdit()->GetValue(), wxString::FromUTF8(server.home()));
    const std::string fingerprint = sheet->Record().trustedCertificate;
    EXPECT_EQ(fingerprint.size(), 64u);
    EXPECT_NE(seen.questions[0].find(fingerprint.substr(0, 2) + ":" + fingerprint.substr(2, 2)), std::string::npos);
    Next();
    sheet->ExtAutoPage()->Routes()->SetPairs({{".txt;", "text"}});
    Next();
    EXPECT_FALSE(KeyExists(layout::kProviderKey)) << "nothing is written before Finish";
    Next();  // Finish
    EXPECT_FALSE(sheet->IsShown());

    const std::string entry = layout::EntryKey("暗号", server.home());
    for (const std::string& key : {entry, layout::EntryKey("暗号", layout::kAutoTransferEntry)}) {
        EXPECT_EQ(testsupport::StoredDword(key, layout::kEncryption), 2u);
        EXPECT_EQ(testsupport::StoredDword(key, layout::kNameEncoding), 2u);
        EXPECT_EQ(StoredString(key, layout::kTrustedCertificate), fingerprint);
    }
    EXPECT_EQ(StoredString(entry, layout::kRoot), server.home());
    EXPECT_EQ(StoredString(layout::AutoTransferRuleKey("暗号", "text"), layout::kAutoTransferExt), ".txt;");
}

TEST(WizardExport, CancelOnTheFirstPageReturns2AndWritesNothing) {
    testsupport::ScopedStore store;
    testsupport::Driver cancel([] {
        auto* wiz = testsupport::ShownWindow<CWizSheet>();
        if (wiz) wiz->ProfilePage()->NameEdit()->SetValue("x");
        if (wiz) Press(wiz->FindWindow(wxID_CANCEL));
        return wiz != nullptr;
    });
    EXPECT_EQ(PARVEX_ShowWizard(), 2);
    EXPECT_TRUE(cancel.done);
    EXPECT_FALSE(KeyExists(layout::kSoftwareParvex));
}

// With PARVEX_WIZARD_SCREENSHOTS set to a folder: each page as the user sees it.
TEST_F(Wizard, Screenshots) {
    if (!std::getenv("PARVEX_WIZARD_SCREENSHOTS")) GTEST_SKIP() << "set PARVEX_WIZARD_SCREENSHOTS to a folder";
    const char* const names[] = {"profile", "server", "userinfo", "movedir", "extauto", "finish"};
    auto shot = [&](int page) {
        const std::string name = "wizard-" + std::to_string(page + 1) + "-" + names[page] + ".png";
        testsupport::Screenshot("PARVEX_WIZARD_SCREENSHOTS", sheet, name);
    };
    sheet->ProfilePage()->NameEdit()->SetValue(U("ホームページ"));
    shot(0);
    Next();
    sheet->ServerPage()->AddressEdit()->SetValue("ftp.example.co.jp");
    shot(1);
    Next();
    sheet->UserPage()->UserEdit()->SetValue("yamada");
    sheet->UserPage()->PasswordField()->SetValue("password");
    shot(2);
    Next();
    sheet->MoveDirPage()->DirectoryEdit()->SetValue("/public_html");
    shot(3);
    Next();
    sheet->ExtAutoPage()->Routes()->SetPairs({{".htm;.html;", "html"}, {".gif;.jpg;", "images"}});
    shot(4);
    Next();
    shot(5);
}

}  // namespace
