// The walkers end to end: a hand-off written as the context menu writes it,
// a real pyftpdlib server, a recording display, and the server's tree afterwards.
#include "transfer/walker.h"

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/store_setup.h"
#include "transfer/progress.h"
#include "transfer/transfer_mode.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace transfer;
using testsupport::FtpServer;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class Walkers : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    std::vector<int> pauses;
    transfertest::RecordingDisplay display;

    void SetUp() override {
        SetPauseFunction([this](int s) { pauses.push_back(s); });
    }

    void Provider(const FtpServer& server, const std::string& entry, const std::string& root,
                  const std::string& password = "") {
        transfertest::WriteEntry("Home", entry, server, root, password);
    }
    void Rule(const std::string& dir, const std::string& exts) { transfertest::WriteRule("Home", dir, exts); }
    void HandOff(const std::string& entry, const std::vector<std::string>& paths) {
        transfertest::WriteHandOff("Home", entry, paths);
    }
    void Options(winreg::DWORD convert, winreg::DWORD code) {
        SettingKey key;
        key.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
        key.WriteString(layout::kTextMode, layout::kFirstRunTextMode);
        key.WriteDword(layout::kCodeConvert, convert);
        key.WriteDword(layout::kUploadConvert, convert);
        key.WriteDword(layout::kUploadConvCode, code);
    }
    std::vector<std::string> Statuses() {
        std::vector<std::string> out;
        for (const auto& e : display.Events())
            if (e.rfind("status:", 0) == 0) out.push_back(e.substr(7));
        return out;
    }
    bool Saw(const std::string& status) {
        auto s = Statuses();
        return std::find(s.begin(), s.end(), status) != s.end();
    }
    static bool Exists(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }
    static bool Selected() {
        SettingKey key;
        return key.OpenKey(winreg::HKEY_CURRENT_USER, layout::kSelectedKey) == 0;
    }
};

TEST_F(Walkers, OneFileIntoAnAbsoluteRoot) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    ::mkdir(server.Local("www").c_str(), 0755);
    Provider(server, "/www", "/www");
    WriteFile(local / "a.txt", "hello\n");
    HandOff("/www", {local / "a.txt"});
    EXPECT_EQ(PlainWalker(), 0);
    EXPECT_EQ(ReadFile(server.Local("www/a.txt")), "hello\n");
    EXPECT_FALSE(Selected()) << "the hand-off is consumed at the start";
    auto s = Statuses();
    EXPECT_EQ(s.front(), "127.0.0.1に接続しています...");
    EXPECT_TRUE(Saw("127.0.0.1接続完了しました"));
    EXPECT_TRUE(Saw("a.txt 処理中..."));
    EXPECT_EQ(s.back(), "ファイル転送完了しました");
    EXPECT_EQ(pauses, std::vector<int>{2});
    EXPECT_EQ(display.Events().back(), "end");
}

TEST_F(Walkers, SelectionsWithPathsLongerThanAStringBufferAreUploadedWhole) {
    // Japanese names take three bytes a character: a few folders deep is past 255 bytes.
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    Provider(server, "/", "/");
    std::string folder = local.path();
    for (int i = 0; i < 6; ++i) {
        folder += "/とても長い名前のフォルダその" + std::to_string(i);
        ::mkdir(folder.c_str(), 0755);
    }
    std::string first = folder + "/一番目のファイル.txt", second = folder + "/二番目.txt";
    ASSERT_GT(first.size(), 255u);
    WriteFile(first, "1\n");
    WriteFile(second, "2\n");
    HandOff("/", {first, second});
    EXPECT_EQ(PlainWalker(), 0);
    EXPECT_EQ(ReadFile(server.Local("一番目のファイル.txt")), "1\n");
    EXPECT_EQ(ReadFile(server.Local("二番目.txt")), "2\n");
}

TEST_F(Walkers, FoldersAreRecreatedBreadthFirst) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    Provider(server, "ログイン時のディレクトリ", "");
    std::string site = local / "site";
    ::mkdir(site.c_str(), 0755);
    ::mkdir((site + "/img").c_str(), 0755);
    ::mkdir((site + "/release.old").c_str(), 0755);
    ::mkdir((site + "/empty").c_str(), 0755);
    WriteFile(site + "/index.html", "<html>\n");
    std::string gif = std::string("GIF89a\r\n\x00\x01\x02", 11);
    WriteFile(site + "/img/logo.gif", gif);
    WriteFile(site + "/release.old/notes", "n");
    HandOff("ログイン時のディレクトリ", {site, local / "gone.txt"});  // the second path no longer exists
    EXPECT_EQ(PlainWalker(), 0);
    EXPECT_EQ(ReadFile(server.Local("site/index.html")), "<html>\n");
    EXPECT_TRUE(ReadFile(server.Local("site/img/logo.gif")) == gif) << "binary by the lists";
    EXPECT_EQ(ReadFile(server.Local("site/release.old/notes")), "n");
    EXPECT_TRUE(Exists(server.Local("site/empty")));
    EXPECT_FALSE(Exists(server.Local("gone.txt"))) << "a vanished selection is not sent as an empty file";

    // Work-list order: the folder, its entries in name order, then theirs.
    std::vector<std::string> handled;
    const std::string suffix = " 処理中...";
    for (const auto& st : Statuses())
        if (st.size() > suffix.size() && st.compare(st.size() - suffix.size(), suffix.size(), suffix) == 0)
            handled.push_back(st.substr(0, st.size() - suffix.size()));
    EXPECT_EQ(handled, (std::vector<std::string>{"site/index.html", "site/img/logo.gif", "site/release.old/notes"}));
    auto events = display.Events();
    // site, gone.txt, then empty, img, index.html, release.old, then logo.gif and notes: a step each.
    EXPECT_EQ(std::count(events.begin(), events.end(), "stepit"), 8);
    EXPECT_TRUE(Saw("現在のディレクトリ : /"));
    EXPECT_EQ(Statuses().back(), "ファイル転送完了しました");
}

TEST_F(Walkers, FailuresShowTheirTextAndPause) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteFile(local / "a.txt", "a");
    Provider(server, "e", "/no/such");
    HandOff("e", {local / "a.txt"});
    PlainWalker();
    EXPECT_EQ(Statuses().back(), "上位ディレクトリ(/no/such)へは移動できません");
    EXPECT_EQ(pauses, std::vector<int>{2});

    pauses.clear();
    Provider(server, "e", "relative/missing");
    HandOff("e", {local / "a.txt"});
    PlainWalker();
    EXPECT_EQ(Statuses().back().substr(0, 3), "550");
    EXPECT_EQ(pauses, std::vector<int>{3});

    pauses.clear();
    Provider(server, "e", "", "wrong");
    HandOff("e", {local / "a.txt"});
    PlainWalker();
    EXPECT_EQ(Statuses().back(), "ログインできませんでした。ユーザー名またはパスワードが正しくありません。");
    EXPECT_EQ(pauses, std::vector<int>{2});
    EXPECT_FALSE(Exists(server.Local("a.txt")));

    FtpServer refusing(FtpServer::Kind::Fault, "refuse-stor");
    pauses.clear();
    Provider(refusing, "e", "");
    HandOff("e", {local / "a.txt"});
    PlainWalker();
    EXPECT_EQ(Statuses().back(), "553 Could not create file ./a.txt: permission denied.");
    EXPECT_EQ(pauses, std::vector<int>{3});
}

TEST_F(Walkers, PerExtensionRulesRouteEachFileOnce) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    ::mkdir(server.Local("images").c_str(), 0755);
    Provider(server, layout::kAutoTransferEntry, "/");
    Rule("images", ".JPG;.GIF;");
    Rule("", ".HTML;");
    Rule("nodir", ".TXT;");
    std::string sel = local / "sel";
    ::mkdir(sel.c_str(), 0755);
    ::mkdir((sel + "/deep").c_str(), 0755);
    WriteFile(sel + "/a.jpg", "jpg");
    WriteFile(sel + "/index.html", "<p>\n");
    WriteFile(sel + "/deep/b.gif", "gif");
    WriteFile(sel + "/deep/c.txt", "txt");
    HandOff(layout::kAutoTransferEntry, {sel});
    EXPECT_EQ(AutoTransferWalker(), 0);
    EXPECT_EQ(ReadFile(server.Local("images/a.jpg")), "jpg");
    EXPECT_EQ(ReadFile(server.Local("index.html")), "<p>\n");
    EXPECT_EQ(ReadFile(server.Local("images/b.gif")), "gif");
    // "nodir" does not exist and is never created: c.txt stays where the walker stood (the base).
    EXPECT_EQ(ReadFile(server.Local("c.txt")), "txt");
    EXPECT_FALSE(Exists(server.Local("deep")));
    EXPECT_FALSE(Exists(server.Local("nodir")));
    EXPECT_EQ(Statuses().back(), "ファイル転送完了しました");
}

TEST_F(Walkers, ConversionSendsTheCopyAndKeepsTheUsersFiles) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    Provider(server, "e", "");
    Options(1, 2);
    WriteFile(local / "page.html", "\x82\xA0\x82\xA2");
    WriteFile(local / "notes.tmp", "mine");
    HandOff("e", {local / "page.html", local / "notes.tmp"});
    PlainWalker();
    EXPECT_EQ(ReadFile(server.Local("page.html")), "\xA4\xA2\xA4\xA4") << "the server holds the EUC copy";
    EXPECT_EQ(ReadFile(local / "page.html"), "\x82\xA0\x82\xA2");
    EXPECT_EQ(ReadFile(local / "notes.tmp"), "mine");
    EXPECT_FALSE(Exists(TempCopyFolder() + "page.tmp")) << "the copy is removed after the upload";
    EXPECT_TRUE(Saw("EUCコードへ変換中..."));
}

TEST_F(Walkers, RemoteBrowserRequestStartsItAndLeavesTheHandOff) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    Provider(server, "e", "");
    std::string mark = local / "browser-ran", script = local / "brovin";
    WriteFile(script, "#!/bin/sh\necho ran > '" + mark + "'\n");
    ::chmod(script.c_str(), 0755);
    SettingKey running;
    running.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
    running.WriteString(layout::kInstDirBrovin, script);
    running.WriteDword(layout::kRemoteBrowser, 1);
    WriteFile(local / "a.txt", "a");
    HandOff("e", {local / "a.txt"});
    PlainWalker();
    for (int i = 0; i < 200 && ReadFile(mark).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadFile(mark), "ran\n");
    EXPECT_TRUE(Selected());
    EXPECT_EQ(ReadFile(server.Local("a.txt")), "a");
}

TEST_F(Walkers, ClosingTheConnectionAbortsPromptly) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    Provider(server, "e", "");
    WriteFile(local / "big.bin", std::string(256u << 20, 'b'));
    WriteFile(local / "after.bin", "x");
    HandOff("e", {local / "big.bin", local / "after.bin"});
    std::thread walker([] { PlainWalker(); });
    for (int i = 0; i < 500 && !Saw("big.bin 処理中..."); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto start = std::chrono::steady_clock::now();
    CloseConnection();
    walker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(display.Events().back(), "end");
    EXPECT_TRUE(pauses.empty()) << "no pause for a dialog that is gone";
    EXPECT_FALSE(Exists(server.Local("after.bin")));
}

}  // namespace
