// The browser tells every failure (a refused login or directory, an unsendable name, a dropped connection, help
// without a browser to show it), against real servers with real windows and keys under Xvfb.
#include "browser/dialogs.h"
#include "common/ui/help.h"
#include "common/ui/image_button.h"
#include "tests/browser/brovin_fixture.h"
#include "tests/browser/relay.h"

#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include <algorithm>

using namespace browsertest;
namespace fs = std::filesystem;

namespace {

using BrovinFailure = BrovinFixture;

TEST_F(BrovinFailure, AFailedLoginSaysWhyInsteadOfConnectingForever) {
    FtpServer py(FtpServer::Kind::Pyftpdlib);
    FtpServer refusing(FtpServer::Kind::Fault, "refuse-login");
    const int nobody = testsupport::FreePort();
    const struct {
        const FtpServer& server;
        std::string password;
        int port;
        std::string expected;
    } cases[] = {
        {py, "wrong", 0,
         "127.0.0.1へ接続できませんでした : ログインできませんでした。ユーザー名またはパスワードが正しくありません。"
         "(530 Authentication failed.)"},
        {refusing, "", 0,
         "127.0.0.1へ接続できませんでした : ログインできませんでした。ユーザー名またはパスワードが正しくありません。"
         "(530 Login incorrect.)"},
        {py, "", nobody, "127.0.0.1へ接続できませんでした : サーバーに接続できませんでした。"},
    };
    for (const auto& c : cases) {
        Start(c.server, "", c.password, c.port);
        EXPECT_EQ(Status(), c.expected);
        EXPECT_FALSE(frame->Document().Connected());
        EXPECT_EQ(frame->GetTitle(), U("Brovin"));
        CloseFrame();
    }
}

TEST_F(BrovinFailure, MakeDirectoryAndRenameTellARefusalAndANameTheyCannotSend) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    fs::create_directories(server.Local("taken"));
    WriteFile(server.Local("old.txt"), "old");
    Start(server, "");
    const std::string unsendable = " には改行または NUL 文字が含まれているため、サーバへ送れません";
    const struct {
        int command;
        std::string name;
        std::string status;  // empty: not checked
        bool sent;
    } cases[] = {
        {ID_MAKE_DIRECTORY, "taken", "ディレクトリ taken を作成できませんでした : 550 File exists.", true},
        {ID_MAKE_DIRECTORY, "a\r\nDELE x", "名前 a\\r\\nDELE x" + unsendable, false},
        {ID_MAKE_DIRECTORY, "", "名前が入力されていません", false},
        {ID_MAKE_DIRECTORY, "made", "ディレクトリ構造取得完了", true},
        {ID_RENAME, "new\nname.txt", "名前 new\\nname.txt" + unsendable, false},
        {ID_RENAME, "old.txt", "", false},  // the name as it was: nothing to do
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.command == ID_RENAME) Select("old.txt");
        Answer(c.name);
        frame->View()->RunCommand(c.command);
        ASSERT_TRUE(Settled());
        if (!c.status.empty()) {
            EXPECT_EQ(Status(), c.status);
        }
        if (!c.name.empty()) {
            const std::string verb = c.command == ID_RENAME ? "RNFR" : "MKD " + c.name.substr(0, 1);
            EXPECT_EQ(ReceivedStartingWith(server, verb), c.sent);
        }
    }
    EXPECT_TRUE(fs::is_directory(server.Local("made")));
    EXPECT_EQ(ReadFile(server.Local("old.txt")), "old");
    EXPECT_FALSE(ReceivedStartingWith(server, "DELE"));
}

// F2 with a real key, then Enter in the dialog with a real key: one dialog, one rename. The key used to reach the
// list twice, and the second opened the dialog again for a row that no longer existed.
TEST_F(BrovinFailure, F2ThenEnterRenamesOnceWithOneDialog) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteFile(server.Local("b.txt"), "b");
    Start(server, "");
    testsupport::Pump(200);
    frame->Raise();
    Select("b.txt");
    frame->View()->SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return frame->View()->HasFocus() || wxWindow::FindFocus() == frame->View() ||
                                       (wxWindow::FindFocus() && wxWindow::FindFocus()->GetParent() == frame->View()); },
                          3000));
    int dialogs = 0;
    wxString initial;
    testsupport::AnswerDialogs answer([&](wxDialog* d) {
        auto* dlg = dynamic_cast<CNameDlg*>(d);
        if (!dlg) return static_cast<int>(wxID_CANCEL);
        if (++dialogs > 1) return static_cast<int>(wxID_CANCEL);
        initial = dlg->Edit()->GetValue();
        // Typed once the dialog is up, as a person would: the text, then Enter.
        dlg->CallAfter([dlg] {
            PumpUntil([dlg] { return dlg->IsShownOnScreen() && dlg->Edit()->HasFocus(); }, 3000);
            dlg->Edit()->SelectAll();
            wxUIActionSimulator keys;
            keys.MouseMove(dlg->GetScreenRect().GetPosition() + wxPoint(10, 10));
            testsupport::Pump(50);
            keys.Text("c.txt");
            keys.Char(WXK_RETURN);
        });
        return static_cast<int>(wxID_NONE);
    });
    wxUIActionSimulator keys;
    keys.MouseMove(frame->View()->GetScreenRect().GetPosition() + wxPoint(40, 60));
    testsupport::Pump(50);
    keys.Char(WXK_F2);
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(server.Local("c.txt")); }, 10000));
    ASSERT_TRUE(Settled());
    testsupport::Pump(500);  // a second delivery of the key would open its dialog meanwhile
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(initial, "b.txt") << "the dialog starts from the name";
    EXPECT_EQ(ReadFile(server.Local("c.txt")), "b");
    int renames = 0;
    for (const auto& c : server.Commands()) renames += c.rfind("RNFR", 0) == 0;
    EXPECT_EQ(renames, 1);
    EXPECT_EQ(Status(), "ディレクトリ構造取得完了");
}

// A connection cut between two commands is made again by the next command, back in the user's directory; when that
// login fails too, the status bar says the connection is lost and the command after tries again.
TEST_F(BrovinFailure, ACutConnectionIsMadeAgainByTheNextCommand) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    fs::create_directories(server.Local("www/sub"));
    WriteFile(server.Local("www/page.html"), "page");
    Relay relay(server.port());
    Start(server, "/www", "", relay.port());
    ASSERT_EQ(frame->View()->Rows().size(), 2u);
    CBrovinView* v = frame->View();

    relay.CutAll();
    Answer("made");
    v->RunCommand(ID_MAKE_DIRECTORY);
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(fs::is_directory(server.Local("www/made")));
    EXPECT_EQ(Status(), "ディレクトリ構造取得完了");
    EXPECT_EQ(relay.Accepted(), 2);
    std::vector<std::string> got = server.Commands();
    auto second = std::find(std::find(got.begin(), got.end(), "USER parvex") + 1, got.end(), "USER parvex");
    ASSERT_NE(second, got.end()) << "logged in again";
    auto cwd = std::find(second, got.end(), "CWD /www");
    ASSERT_NE(cwd, got.end()) << "back in the directory the user was in";
    EXPECT_NE(std::find(cwd, got.end(), "MKD made"), got.end());

    // A walk after a cut: the download gets the new connection too.
    relay.CutAll();
    DownloadInto(local / "dl");
    ASSERT_TRUE(RunOn("page.html", ID_DOWNLOAD_TO));
    EXPECT_EQ(ReadFile(local / "dl/www/page.html"), "page");
    EXPECT_EQ(relay.Accepted(), 3);

    // The server cannot be reached again: said once per command, and menus stay for the next try.
    relay.CutAll();
    relay.Refuse(true);
    frame->View()->StartListing();
    ASSERT_TRUE(Settled());
    EXPECT_EQ(Status(), "接続が切れ、再接続もできませんでした : サーバーとの接続が中断されました。");
    EXPECT_EQ(relay.Accepted(), 4) << "one new login per command";
    // A walk that cannot have a connection keeps the reason in its dialog until the user closes it.
    Select("page.html");
    v->RunCommand(ID_DOWNLOAD_TO);
    ASSERT_NE(v->ProgressDialog(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return !frame->Jobs().Busy(); }, 10000));
    testsupport::Pump(30);
    EXPECT_EQ(v->ProgressDialog()->StatusText(), U("接続が切れ、再接続もできませんでした : サーバーとの接続が中断されました。"));
    EXPECT_FALSE(frame->IsEnabled());
    v->ProgressDialog()->AbortButton()->Click();
    EXPECT_TRUE(frame->IsEnabled());
    EXPECT_EQ(relay.Accepted(), 5);
    relay.Refuse(false);
    frame->View()->StartListing();
    ASSERT_TRUE(Settled());
    EXPECT_EQ(Status(), "ディレクトリ構造取得完了");
    EXPECT_EQ(frame->View()->Rows().size(), 3u);
}

// No browser on the desktop: with nothing on PATH, whatever handler the desktop names for the page cannot start, and
// xdg-open is missing or finds no browser (which it says only by its exit status).
TEST_F(BrovinFailure, HelpWithoutABrowserSaysSoInTheStatusBar) {
    ASSERT_TRUE(fs::exists(ui::HelpPath()));
    testsupport::ScopedStore none;
    frame = StartBrowser();
    const std::string bin = local / "bin";
    fs::create_directories(bin);
    testsupport::ScopedEnv path("PATH", bin);
    const std::string told = "ヘルプ " + ui::HelpPath() + " を開けませんでした(ブラウザが見つかりません)";
    frame->SetFrameStatus(IDS_IDLE, "");
    frame->OnHelp();  // no xdg-open
    EXPECT_TRUE(PumpUntil([&] { return Status() == told; }, 5000)) << Status();

    WriteFile(bin + "/xdg-open", "#!/bin/sh\necho \"$1\" > " + local / "asked" + "\nexit 3\n");
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
    frame->SetFrameStatus(IDS_IDLE, "");
    frame->OnHelp();  // xdg-open that finds no browser
    EXPECT_TRUE(PumpUntil([&] { return Status() == told; }, 5000)) << Status();
    EXPECT_EQ(ReadFile(local / "asked"), "file://" + ui::HelpPath() + "\n");

    WriteFile(bin + "/xdg-open", "#!/bin/sh\nexit 0\n");
    frame->SetFrameStatus(IDS_IDLE, "");
    frame->OnHelp();  // opened
    testsupport::Pump(500);
    EXPECT_EQ(Status(), "操作待機中...");
}

}  // namespace
