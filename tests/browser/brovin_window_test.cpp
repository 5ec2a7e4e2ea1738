// The browser's windows in-process under Xvfb against real servers: start-up
// with a hand-off, the listing, navigation through the list and the command
// bar, the commands with their dialogs answered, abort, a dropped connection.
#include "browser/app.h"
#include "browser/dialogs.h"
#include "browser/main_frame.h"
#include "browser/resources.h"
#include "browser/view.h"
#include "common/registry/layout.h"
#include "common/ui/image_button.h"
#include "common/ui/outbar.h"
#include "tests/support/ftp_server.h"
#include "tests/support/gui_support.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>
#include <wx/menu.h>

#include <filesystem>

using namespace brovin;
namespace fs = std::filesystem;
using testsupport::FtpServer;
using testsupport::PumpUntil;
using testsupport::WriteFile;

namespace {

wxString U(const char* s) { return wxString::FromUTF8(s); }

class BrovinWindow : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    CMainFrame* frame = nullptr;

    void TearDown() override {
        if (frame) {
            frame->Close(true);
            testsupport::Pump(100);
        }
    }
    // Starts the browser on `server` with `root` and waits for the first listing.
    void Start(const FtpServer& server, const std::string& root, const std::string& password = "",
               bool waitForList = true) {
        transfertest::WriteEntry("prov", "entry", server, root, password);
        transfertest::WriteHandOff("prov", "entry", {"/tmp/x"});
        SettingKey running;
        running.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
        running.WriteDword(layout::kRemoteBrowser, 1);
        running.CloseKey();
        frame = StartBrowser();
        if (waitForList) {
            ASSERT_TRUE(WaitListed());
        }
    }
    bool WaitListed() {
        return PumpUntil([this] {
            wxString s = frame->StatusText();
            return !frame->Jobs().Busy() && (s == U("ディレクトリ構造取得完了") || s == U("操作待機中..."));
        }, 10000);
    }
    std::vector<std::string> Names() {
        std::vector<std::string> out;
        for (const auto& r : frame->View()->Rows()) out.push_back(r.name);
        return out;
    }
    void Select(const std::string& name) {
        CBrovinView* v = frame->View();
        for (long i = 0; i < v->GetItemCount(); ++i)
            v->SetItemState(i, v->GetItemText(i) == wxString::FromUTF8(name) ? wxLIST_STATE_SELECTED : 0,
                            wxLIST_STATE_SELECTED);
    }
    void Activate(const std::string& name) {
        CBrovinView* v = frame->View();
        for (long i = 0; i < v->GetItemCount(); ++i) {
            if (v->GetItemText(i) != wxString::FromUTF8(name)) continue;
            wxListEvent e(wxEVT_LIST_ITEM_ACTIVATED, v->GetId());
            e.SetEventObject(v);
            e.m_itemIndex = i;
            v->GetEventHandler()->ProcessEvent(e);
        }
    }
    void ClickBar(int item) {
        COutBarEvent e(EVT_OUTBAR_NOTIFY, frame->Bar()->GetId());
        e.SetEventObject(frame->Bar());
        e.SetInt(COutBarEvent::kItemClicked);
        e.SetExtraLong(item);
        frame->Bar()->GetEventHandler()->ProcessEvent(e);
    }
    bool MenuEnabled(int id) {
        frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
        return frame->GetMenuBar()->IsEnabled(MenuId(id));
    }
};

TEST_F(BrovinWindow, StartsAtAnAbsoluteRootListsDirectoriesFirstAndNavigates) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    for (const char* d : {"pub/incoming/cgi-bin", "pub/incoming/images", "pub/incoming/logs"})
        fs::create_directories(server.Local(d));
    for (const char* f : {"pub/incoming/index.html", "pub/incoming/readme.txt", "pub/incoming/images/a.gif"})
        WriteFile(server.Local(f), "x");
    Start(server, "/pub/incoming");
    EXPECT_FALSE(transfertest::HandOffPresent());
    SettingKey running;
    running.OpenKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
    winreg::DWORD flag = 7;
    EXPECT_NE(running.ReadDword(layout::kRemoteBrowser, flag), 0);
    EXPECT_EQ(frame->GetTitle(), U("現在のディレクトリ : /pub/incoming - Brovin"));
    auto names = Names();
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.begin() + 3),
              (std::set<std::string>{"cgi-bin", "images", "logs"}));
    CBrovinView* v = frame->View();
    for (long i = 3; i < 5; ++i) {
        EXPECT_FALSE(v->GetItemText(i, 1).empty()) << "type name of " << names[static_cast<std::size_t>(i)];
        EXPECT_EQ(v->GetItemText(i, 2).length(), 10u);
    }
    EXPECT_TRUE(v->GetItemText(0, 1).empty());

    Activate("images");
    ASSERT_TRUE(WaitListed());
    EXPECT_EQ(frame->GetTitle(), U("現在のディレクトリ : /pub/incoming/images - Brovin"));
    EXPECT_EQ(Names(), std::vector<std::string>{"a.gif"});
    ClickBar(0);  // move up
    ASSERT_TRUE(WaitListed());
    EXPECT_EQ(frame->GetTitle(), U("現在のディレクトリ : /pub/incoming - Brovin"));

    // Rename refused by the server: the old name is named, the list is refreshed.
    Select("readme.txt");
    EXPECT_TRUE(MenuEnabled(ID_RENAME));
    v->askName = [](int mode, wxString& name) {
        name = "no/such/dir/x.txt";
        return mode == 1;
    };
    v->RunCommand(ID_RENAME);
    EXPECT_TRUE(PumpUntil([&] { return frame->StatusText() == U("readme.txtへのアクセスは拒否されました"); }, 5000));
    ASSERT_TRUE(WaitListed());
    // Make directory, then rename it.
    v->askName = [](int, wxString& name) {
        name = U("新しい.dir");
        return true;
    };
    v->RunCommand(ID_MAKE_DIRECTORY);
    ASSERT_TRUE(WaitListed());
    EXPECT_TRUE(fs::is_directory(server.Local("pub/incoming/新しい.dir")));
    const auto& rows = frame->View()->Rows();
    ASSERT_EQ(rows.size(), 6u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(rows[i].directory) << rows[i].name;  // "新しい.dir" among them
}

TEST_F(BrovinWindow, WithoutAUserNameNothingConnectsAndEveryCommandIsOff) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    transfertest::WriteEntry("prov", "entry", server, "");
    {
        SettingKey e;
        e.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("prov", "entry"));
        e.WriteString(layout::kUserName, "");
    }
    transfertest::WriteHandOff("prov", "entry", {"/tmp/x"});
    frame = StartBrowser();
    testsupport::Pump(300);
    EXPECT_FALSE(frame->Document().Connected());
    for (int id : {ID_MOVE_UP, ID_UPLOAD, ID_DOWNLOAD, ID_DOWNLOAD_TO, ID_MAKE_DIRECTORY, ID_RENAME, ID_DELETE})
        EXPECT_FALSE(MenuEnabled(id)) << id;
    EXPECT_TRUE(frame->GetMenuBar()->IsEnabled(MenuId(ID_HELP_INDEX)));
    ClickBar(1);  // does nothing
    EXPECT_EQ(frame->View()->ProgressDialog(), nullptr);
    EXPECT_EQ(frame->View()->GetItemCount(), 0);
}

TEST_F(BrovinWindow, AWrongPasswordLeavesTheConnectingText) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    Start(server, "", "wrong", false);
    EXPECT_TRUE(PumpUntil([&] { return !frame->Jobs().Busy(); }, 10000));
    EXPECT_EQ(frame->StatusText(), U("127.0.0.1へ接続しています..."));
    EXPECT_FALSE(frame->Document().Connected());
    EXPECT_EQ(frame->GetTitle(), U("Brovin"));
}

TEST_F(BrovinWindow, AbortDuringAnUploadStopsAfterTheFileUnderWayAndFreesTheWindow) {
    FtpServer server(FtpServer::Kind::Pyftpdlib, "", {"--stor-delay", "0.3"});
    Start(server, "");
    std::vector<std::string> paths;
    for (int i = 0; i < 8; ++i) {
        paths.push_back(local / ("f" + std::to_string(i) + ".bin"));
        WriteFile(paths.back(), "data");
    }
    frame->View()->chooseFiles = [&](std::vector<std::string>& out) {
        out = paths;
        return true;
    };
    ClickBar(1);
    CTransferDlg* dlg = frame->View()->ProgressDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(frame->IsEnabled());
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(server.Local("f0.bin")); }, 10000));
    dlg->AbortButton()->Click();
    EXPECT_TRUE(frame->IsEnabled());
    EXPECT_EQ(frame->View()->ProgressDialog(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !frame->Jobs().Busy(); }, 10000));
    int sent = 0;
    for (int i = 0; i < 8; ++i) sent += fs::exists(server.Local("f" + std::to_string(i) + ".bin"));
    EXPECT_GE(sent, 1);
    EXPECT_LE(sent, 2);
}

TEST_F(BrovinWindow, DeleteAndDownloadThroughTheCommands) {
    FtpServer server(FtpServer::Kind::Vsftpd);
    WriteFile(server.Local("Makefile"), "all:");
    WriteFile(server.Local("keep.txt"), "k");
    fs::create_directories(server.Local("tree/sub"));
    WriteFile(server.Local("tree/sub/x.txt"), "x");
    Start(server, server.home());
    CBrovinView* v = frame->View();
    int boxes = 0;
    v->showErrorBox = [&](unsigned long) { ++boxes; };
    v->confirmDelete = [] { return true; };
    Select("Makefile");
    ClickBar(6);
    ASSERT_TRUE(PumpUntil([&] { return frame->IsEnabled() && !frame->Jobs().Busy(); }, 10000));
    EXPECT_FALSE(fs::exists(server.Local("Makefile")));
    EXPECT_TRUE(fs::exists(server.Local("keep.txt")));
    Select("tree");
    v->chooseFolder = [&](std::string& folder) {
        folder = local / "dl";
        return true;
    };
    ClickBar(3);
    ASSERT_TRUE(PumpUntil([&] { return frame->IsEnabled() && !frame->Jobs().Busy(); }, 10000));
    EXPECT_TRUE(fs::exists(local / ("dl" + server.home() + "/tree/sub/x.txt")));
    Select("tree");
    v->RunCommand(ID_DELETE);
    ASSERT_TRUE(PumpUntil([&] { return frame->IsEnabled() && !frame->Jobs().Busy(); }, 10000));
    EXPECT_FALSE(fs::exists(server.Local("tree")));
    EXPECT_EQ(boxes, 0);
    EXPECT_EQ(Names(), std::vector<std::string>{"keep.txt"});
}

TEST_F(BrovinWindow, ADroppedConnectionKeepsTheMessageUntilAbort) {
    FtpServer server(FtpServer::Kind::Fault, "drop-transfer");
    Start(server, "");
    WriteFile(local / "big.bin", std::string(1 << 20, 'x'));
    frame->View()->QueueUpload({local / "big.bin"});
    CTransferDlg* dlg = frame->View()->ProgressDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return dlg->StatusText().StartsWith(U("エラーが発生しました。->通知メッセージ(")); },
                          10000));
    ASSERT_TRUE(PumpUntil([&] { return !frame->Jobs().Busy(); }, 5000));
    EXPECT_FALSE(frame->IsEnabled());
    dlg->AbortButton()->Click();
    EXPECT_TRUE(frame->IsEnabled());
}

TEST_F(BrovinWindow, AMissingHelpPageIsToldInTheStatusBar) {
    testsupport::ScopedStore none;
    frame = StartBrowser();
    std::string opened;
    frame->openHelp = [&](const std::string& p) {
        opened = p;
        return true;
    };
    frame->OnHelp();
    if (fs::exists(CMainFrame::HelpPath()))
        EXPECT_EQ(opened, CMainFrame::HelpPath());
    else
        EXPECT_TRUE(frame->StatusText().StartsWith(U("ヘルプ "))) << frame->StatusText();
}

}  // namespace
