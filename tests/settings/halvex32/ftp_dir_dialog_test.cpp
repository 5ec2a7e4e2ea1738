// The remote directory picker on a virtual screen against real servers:
// pyftpdlib, vsftpd and the scripted misbehaving one.
#include "settings/halvex32/ftp_dir_dialog.h"

#include "common/walk/remote_listing.h"
#include "platform/inet/inet.h"
#include "tests/support/ftp_server.h"
#include "tests/settings/halvex32/user_input.h"
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/dialog.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

using sheettest::Press;
using testsupport::FtpServer;
using testsupport::PumpUntil;
using Clock = std::chrono::steady_clock;

namespace {

using testsupport::U;
const wxString kListed = U("ディレクトリ構造取得完了");
const wxString kEmpty = U("これ以上ファイルは存在しません。");
using testsupport::Seconds;

// The server's name for a folder below its writable home.
std::string Remote(const FtpServer& server, const std::string& path) {
    return server.home() == "/" ? "/" + path : server.home() + "/" + path;
}

std::unique_ptr<CFtpDirDialog> Open(const std::string& host, int port, const std::string& user,
                                    const std::string& password) {
    auto dialog = std::make_unique<CFtpDirDialog>();
    dialog->SetConnection(host, user, password, port);
    testsupport::ShowAndSettle(dialog.get());
    return dialog;
}

std::unique_ptr<CFtpDirDialog> Open(const FtpServer& server, const std::string& password = "") {
    return Open("127.0.0.1", server.port(), server.user(), password.empty() ? server.password() : password);
}

// Waits until the login (or a listing) has ended and its results are shown.
bool Settled(CFtpDirDialog& dialog, int ms = 10000) {
    return PumpUntil([&] { return !dialog.WorkerRunning(); }, ms) && (testsupport::Pump(50), true);
}

wxTreeItemId Child(wxTreeCtrl* tree, wxTreeItemId parent, const std::string& text) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId c = tree->GetFirstChild(parent, cookie); c.IsOk(); c = tree->GetNextChild(parent, cookie))
        if (tree->GetItemText(c) == U(text)) return c;
    return {};
}

// Clicks the item for `path` (found below the root) and waits for its listing.
wxTreeItemId Click(CFtpDirDialog& dialog, wxTreeItemId item) {
    if (item.IsOk()) dialog.Tree()->SelectItem(item);
    Settled(dialog);
    return item;
}

void MakeSite(const FtpServer& server) {
    for (const char* d : {"www/html/img", "www/empty", "www/files_only", "資料/画像"})
        std::filesystem::create_directories(server.Local(d));
    testsupport::WriteFile(server.Local("www/files_only/index.html"), "<html></html>\n");
}

// The tree shows the login directory's folders; a click lists a folder once, and a second click only expands it;
// an empty folder says so, one with files only lists nothing.
TEST(FtpDirDialog, ListsEachDirectoryOnceAsTheUserClicks) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    MakeSite(server);
    auto dialog = Open(server);
    ASSERT_TRUE(Settled(*dialog));
    wxTreeCtrl* tree = dialog->Tree();
    wxTreeItemId root = tree->GetRootItem();
    ASSERT_TRUE(root.IsOk()) << dialog->StatusLine()->GetLabel();
    EXPECT_EQ(tree->GetItemText(root), "/");
    EXPECT_FALSE(tree->IsExpanded(root));
    EXPECT_EQ(dialog->StatusLine()->GetLabel(), "");
    EXPECT_EQ(dialog->ListingsRequested(), 1);
    wxTreeItemId www = Child(tree, root, "/www");
    ASSERT_TRUE(www.IsOk());
    EXPECT_TRUE(Child(tree, root, "/資料").IsOk());

    Click(*dialog, www);
    EXPECT_EQ(dialog->ListingsRequested(), 2);
    EXPECT_EQ(tree->GetChildrenCount(www, false), 3u);
    EXPECT_TRUE(tree->IsExpanded(www));
    EXPECT_EQ(dialog->StatusLine()->GetLabel(), kListed);
    EXPECT_EQ(dialog->SelectedEdit()->GetValue(), "/www");

    Click(*dialog, root);
    Click(*dialog, www);
    EXPECT_EQ(dialog->ListingsRequested(), 2) << "a listed folder was asked for again";
    EXPECT_EQ(tree->GetChildrenCount(www, false), 3u);

    Click(*dialog, Child(tree, www, "/www/empty"));
    EXPECT_EQ(dialog->StatusLine()->GetLabel(), kEmpty);
    wxTreeItemId filesOnly = Click(*dialog, Child(tree, www, "/www/files_only"));
    ASSERT_TRUE(filesOnly.IsOk());
    EXPECT_EQ(dialog->StatusLine()->GetLabel(), kListed);
    EXPECT_EQ(tree->GetChildrenCount(filesOnly, false), 0u);
    EXPECT_EQ(dialog->ListingsRequested(), 4);
}

// 選択 returns what the walkers need: the root (the login directory) as "", a folder of the tree with its leading
// "/", a typed text as typed; キャンセル returns nothing.
TEST(FtpDirDialog, SelectReturnsTheDirectoryTheWalkersReach) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    MakeSite(server);
    struct Case {
        const char* pick;  // a tree path, "" for the root, or typed text after "type:"
        bool select;
        const char* result;
    } cases[] = {
        {"", true, ""},
        {"/www", true, "/www"},
        {"/資料", true, "/資料"},
        {"type:home/user/www", true, "home/user/www"},
        {"type:/", true, "/"},
        {"/www", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pick);
        auto dialog = Open(server);
        ASSERT_TRUE(Settled(*dialog));
        wxTreeCtrl* tree = dialog->Tree();
        std::string pick = c.pick;
        if (pick.starts_with("type:")) {
            Click(*dialog, Child(tree, tree->GetRootItem(), "/www"));
            dialog->SelectedEdit()->SetValue(U(pick.substr(5)));
        } else {
            wxTreeItemId item = pick.empty() ? tree->GetRootItem() : Child(tree, tree->GetRootItem(), pick);
            ASSERT_TRUE(item.IsOk());
            Click(*dialog, item);
        }
        Press(c.select ? dialog->SelectButton() : dialog->CancelButton());
        EXPECT_EQ(dialog->Result(), c.result);
        EXPECT_FALSE(dialog->IsShown());
        EXPECT_FALSE(dialog->WorkerRunning());
    }
}

// A folder whose name is no UTF-8 (Shift_JIS on an old server) shows its bytes written out; a click lists that
// folder, and 選択 returns the name as the server has it, not the text the tree shows.
TEST(FtpDirDialog, AFolderNamedInShiftJisIsListedAndReturnedByItsOwnBytes) {
    FtpServer server(FtpServer::Kind::Vsftpd);
    const std::string sjis = "\x83\x74\x83\x48\x83\x8b\x83\x5f";  // フォルダ
    std::filesystem::create_directories(server.Local(sjis + "/sub"));
    auto dialog = Open(server);
    ASSERT_TRUE(Settled(*dialog));
    wxTreeCtrl* tree = dialog->Tree();
    wxTreeItemId home = Click(*dialog, Child(tree, tree->GetRootItem(), server.home()));
    wxTreeItemId item = Child(tree, home, walk::ShownName(Remote(server, sjis)));
    ASSERT_TRUE(item.IsOk());
    Click(*dialog, item);
    EXPECT_EQ(dialog->StatusLine()->GetLabel(), kListed);
    EXPECT_TRUE(Child(tree, item, walk::ShownName(Remote(server, sjis + "/sub"))).IsOk());
    EXPECT_EQ(dialog->SelectedEdit()->GetValue(), U(walk::ShownName(Remote(server, sjis))));
    Press(dialog->SelectButton());
    EXPECT_EQ(dialog->Result(), Remote(server, sjis));
}

// A login the server refuses shows the client library's text in the status line, leaves the tree empty, and still
// names the server in the caption.
TEST(FtpDirDialog, AFailedLoginShowsTheReasonAndAnEmptyTree) {
    FtpServer server(FtpServer::Kind::Fault, "refuse-login");
    std::string refused;
    try {
        inet::InternetSession session;
        session.GetFtpConnection("127.0.0.1", "parvex", "secret", static_cast<std::uint16_t>(server.port()));
    } catch (const inet::InternetException& e) {
        refused = e.ErrorMessage();
    }
    ASSERT_FALSE(refused.empty());
    auto dialog = Open("127.0.0.1", server.port(), "parvex", "secret");
    ASSERT_TRUE(Settled(*dialog));
    EXPECT_EQ(dialog->StatusLine()->GetLabel(), U(refused));
    EXPECT_FALSE(dialog->Tree()->GetRootItem().IsOk());
    EXPECT_EQ(dialog->GetTitle(), U("接続中のサーバ : 127.0.0.1"));
    Press(dialog->CancelButton());
}

// Closing while the server never answers takes under a second and leaves no worker behind: by キャンセル, by the
// close box, and through the exported entry point.
TEST(FtpDirDialog, ClosingDuringASilentLoginEndsAtOnce) {
    FtpServer server(FtpServer::Kind::Fault, "no-greeting");
    for (const char* how : {"cancel", "close box", "export"}) {
        SCOPED_TRACE(how);
        Clock::time_point acted{}, ended{};
        if (std::string(how) == "export") {
            testsupport::Driver close([&] {
                auto* dialog = testsupport::ShownWindow<wxDialog>();
                if (dialog) acted = Clock::now();
                if (dialog) dialog->Close();
                return dialog != nullptr;
            }, 500);
            PARVEX_ShowFtpDir("127.0.0.1", "parvex", "secret", server.port());
            ended = Clock::now();
        } else {
            auto dialog = Open("127.0.0.1", server.port(), "parvex", "secret");
            testsupport::Pump(300);
            ASSERT_TRUE(dialog->WorkerRunning());
            acted = Clock::now();
            if (std::string(how) == "cancel")
                Press(dialog->CancelButton());
            else
                dialog->Close();
            ended = Clock::now();
            EXPECT_FALSE(dialog->WorkerRunning()) << "the worker outlived the close";
            EXPECT_FALSE(dialog->IsShown());
            EXPECT_EQ(dialog->Result(), "");
            dialog.reset();
            testsupport::Pump(200);  // anything the worker posted must find nothing to touch
        }
        ASSERT_NE(acted, Clock::time_point{});
        EXPECT_LT(Seconds(ended - acted), 1.0);
    }
}

// 20,000 folders in one directory: the tree takes them all, and stays usable (a click on the last one lists it).
TEST(FtpDirDialog, TwentyThousandDirectoriesStayUsable) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    char name[16];
    for (int i = 0; i < 20000; ++i) {
        std::snprintf(name, sizeof name, "d%05d", i);
        std::filesystem::create_directory(server.Local(name));
    }
    auto start = Clock::now();
    auto dialog = Open(server);
    ASSERT_TRUE(Settled(*dialog, 60000));
    double filled = Seconds(Clock::now() - start);
    wxTreeCtrl* tree = dialog->Tree();
    ASSERT_EQ(tree->GetChildrenCount(tree->GetRootItem(), false), 20000u);
    start = Clock::now();
    Click(*dialog, tree->GetRootItem());
    EXPECT_TRUE(tree->IsExpanded(tree->GetRootItem()));
    wxTreeItemId last = Click(*dialog, tree->GetLastChild(tree->GetRootItem()));
    double clicked = Seconds(Clock::now() - start);
    EXPECT_EQ(dialog->StatusLine()->GetLabel(), kEmpty);
    EXPECT_EQ(dialog->SelectedEdit()->GetValue(), tree->GetItemText(last));
    std::printf("[ figures  ] 20,000 folders: login to filled tree %.2f s; expand and list the last %.2f s\n", filled,
                clicked);
}

// With PARVEX_PICKER_SCREENSHOT set: the picker listing a server with Japanese folder names, saved as a PNG.
TEST(FtpDirDialog, Screenshot) {
    const char* path = std::getenv("PARVEX_PICKER_SCREENSHOT");
    if (!path) GTEST_SKIP() << "set PARVEX_PICKER_SCREENSHOT to a .png path";
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    for (const char* d : {"公開/画像", "公開/資料", "公開/日記", "ダウンロード", "www/html", "バックアップ"})
        std::filesystem::create_directories(server.Local(d));
    auto dialog = Open(server);
    ASSERT_TRUE(Settled(*dialog));
    wxTreeCtrl* tree = dialog->Tree();
    Click(*dialog, tree->GetRootItem());
    Click(*dialog, Child(tree, tree->GetRootItem(), "/公開"));
    testsupport::Pump(300);
    ASSERT_TRUE(testsupport::SaveScreenshot(dialog.get(), path));
}

}  // namespace
