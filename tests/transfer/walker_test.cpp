// The upload end to end: a hand-off written as the context menu writes it,
// real pyftpdlib and vsftpd servers, a recording display, and the server's tree afterwards.
#include "transfer/menu_upload.h"
#include "transfer/upload_walker.h"

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/store_setup.h"
#include "transfer/progress.h"
#include "common/walk/entry_connection.h"
#include "common/walk/transfer_mode.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <thread>

using namespace transfer;
using namespace walk;
using namespace transfertest;
namespace fs = std::filesystem;
using testsupport::FtpServer;
using testsupport::Encode;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class Walkers : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    std::vector<int> pauses;
    RecordingDisplay display;

    // The context menu's upload as the transfer program runs it, with its closing pauses recorded.
    void Upload() { MenuUpload(display, [this](int s) { pauses.push_back(s); }).Run(); }

    std::vector<std::string> Statuses() {
        std::vector<std::string> out;
        for (const auto& e : display.Events())
            if (e.rfind("status:", 0) == 0) out.push_back(e.substr(7));
        return out;
    }
    bool Saw(const std::string& status) { return std::ranges::count(Statuses(), status) > 0; }
    // What the walker told the dialog at the end: "ended:ok" or "ended:failed", right before "end".
    std::string Ending() {
        auto e = display.Events();
        EXPECT_EQ(std::count_if(e.begin(), e.end(), [](const std::string& x) { return x.rfind("ended:", 0) == 0; }), 1);
        return e.size() >= 2 && e.back() == "end" ? e[e.size() - 2] : "";
    }
    // Every file the server holds below its home, as paths relative to it.
    static std::set<std::string> ServerFiles(const FtpServer& server) {
        std::set<std::string> files;
        const fs::path home = server.Local("");
        for (const auto& e : fs::recursive_directory_iterator(home))
            if (e.is_regular_file()) files.insert(fs::relative(e.path(), home).string());
        return files;
    }
    // Runs the walker on a thread without root's power to read any file (the
    // capabilities are per thread), so that mode 000 stops it as it stops a user.
    static void RunAsPlainReader(const std::function<void()>& walker) {
        std::thread t([&walker] {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct caps[2]{};
            ::syscall(SYS_capget, &header, caps);
            for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) caps[cap / 32].effective &= ~(1u << (cap % 32));
            ::syscall(SYS_capset, &header, caps);
            walker();
        });
        t.join();
    }
};

class WalkersOn : public Walkers, public ::testing::WithParamInterface<FtpServer::Kind> {};

// Japanese names take three bytes a character: a few folders deep, the selected paths are past 255 bytes.
TEST_F(Walkers, FilesWithLongPathsIntoAnAbsoluteRoot) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    ::mkdir(server.Local("www").c_str(), 0755);
    WriteEntry("Home", "/www", server, "/www");
    std::string folder = local.path();
    for (int i = 0; i < 6; ++i) {
        folder += "/とても長い名前のフォルダその" + std::to_string(i);
        ::mkdir(folder.c_str(), 0755);
    }
    std::string first = folder + "/一番目のファイル.txt", second = folder + "/二番目.txt";
    ASSERT_GT(first.size(), 255u);
    WriteFile(first, "1\n");
    WriteFile(second, "2\n");
    WriteFile(folder + "/a.txt", "hello\n");
    WriteHandOff("Home", "/www", {folder + "/a.txt", first, second});
    Upload();
    EXPECT_EQ(ReadFile(server.Local("www/a.txt")), "hello\n");
    EXPECT_EQ(ReadFile(server.Local("www/一番目のファイル.txt")), "1\n");
    EXPECT_EQ(ReadFile(server.Local("www/二番目.txt")), "2\n");
    EXPECT_FALSE(HandOffPresent()) << "the hand-off is consumed at the start";
    auto s = Statuses();
    EXPECT_EQ(s.front(), "127.0.0.1に接続しています...");
    EXPECT_TRUE(Saw("127.0.0.1接続完了しました"));
    EXPECT_TRUE(Saw("a.txt 処理中..."));
    EXPECT_EQ(s.back(), "ファイル転送完了しました");
    EXPECT_EQ(pauses, std::vector<int>{2});
    EXPECT_EQ(Ending(), "ended:ok");
}

TEST_F(Walkers, FoldersAreRecreatedBreadthFirst) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("Home", "ログイン時のディレクトリ", server, "");
    std::string site = local / "site";
    fs::create_directories(site + "/empty");
    WriteFile(site + "/index.html", "<html>\n");
    std::string gif = std::string("GIF89a\r\n\x00\x01\x02", 11);
    WriteFile(site + "/img/logo.gif", gif);
    WriteFile(site + "/release.old/notes", "n");
    WriteHandOff("Home", "ログイン時のディレクトリ", {site});
    Upload();
    EXPECT_EQ(ReadFile(server.Local("site/index.html")), "<html>\n");
    EXPECT_TRUE(ReadFile(server.Local("site/img/logo.gif")) == gif) << "binary by the lists";
    EXPECT_EQ(ReadFile(server.Local("site/release.old/notes")), "n");
    EXPECT_TRUE(fs::exists(server.Local("site/empty")));

    // Work-list order: the folder, its entries in name order, then theirs.
    std::vector<std::string> handled;
    const std::string suffix = " 処理中...";
    for (const auto& st : Statuses())
        if (st.ends_with(suffix)) handled.push_back(st.substr(0, st.size() - suffix.size()));
    EXPECT_EQ(handled, (std::vector<std::string>{"site/index.html", "site/img/logo.gif", "site/release.old/notes"}));
    auto events = display.Events();
    // site, then empty, img, index.html, release.old, then logo.gif and notes: a step each.
    EXPECT_EQ(std::count(events.begin(), events.end(), "stepit"), 7);
    EXPECT_TRUE(Saw("現在のディレクトリ : /site/release.old")) << "where the walker stands, not the base";
    EXPECT_EQ(Statuses().back(), "ファイル転送完了しました");
}

TEST_F(Walkers, FailuresShowTheirTextAndPause) {
    FtpServer server(FtpServer::Kind::Pyftpdlib), refusing(FtpServer::Kind::Fault, "refuse-stor");
    WriteFile(local / "a.txt", "a");
    const struct {
        const FtpServer& server;
        const char *root, *password;
        std::string status;  // the whole last status, or its start for the server's own 550 text
        int pause;
        const char* item;  // the file the failure is told against: none before the walk reaches one
        const char* tooLong = nullptr;  // an entry's setting written too long to read
    } cases[] = {
        {server, "/no/such", "", "上位ディレクトリ(/no/such)へは移動できません", 2, ""},
        {server, "relative/missing", "", "550", 3, ""},
        {server, "", "wrong", "ログインできませんでした。ユーザー名またはパスワードが正しくありません。", 2, ""},
        {refusing, "", "", "553 Could not create file ./a.txt: permission denied.", 3, "a.txt"},
        {server, "", "", "設定値 Root が長すぎて読めません", 3, "", layout::kRoot},
        {server, "", "", "設定値 UserName が長すぎて読めません", 3, "", layout::kUserName},
        {server, "", "", "設定値 Password が長すぎて読めません", 3, "", layout::kPassword},
    };
    for (const auto& c : cases) {
        pauses.clear();
        display.Clear();
        WriteEntry("Home", "e", c.server, c.root, c.password);
        if (c.tooLong) testsupport::Put(layout::EntryKey("Home", "e"), {{c.tooLong, std::string(256, 'x')}});
        WriteHandOff("Home", "e", {local / "a.txt"});
        Upload();
        const std::string last = Statuses().back();
        EXPECT_EQ(c.status == "550" ? last.substr(0, 3) : last, c.status);
        EXPECT_EQ(pauses, std::vector<int>{c.pause}) << c.status;
        EXPECT_EQ(Ending(), "ended:failed") << c.status;
        EXPECT_EQ(display.item, c.item) << c.status;
        EXPECT_TRUE(ServerFiles(c.server).empty()) << c.status;
    }
}

TEST_P(WalkersOn, ItemsThatCannotBeSentAreNamedCountedAndSkipped) {
    FtpServer server(GetParam());
    WriteFile(server.Local("victim.txt"), "keep");
    WriteEntry("Home", "e", server, server.home());
    const std::string sel = local / "sel", other = local / "other";
    for (const auto& d :
         {sel, sel + "/loop", sel + "/loop/sub", sel + "/evil\nDELE victim.txt", sel + "/closed", other})
        ::mkdir(d.c_str(), 0755);
    WriteFile(sel + "/ok.txt", "ok");
    WriteFile(sel + "/a\r\nDELE victim.txt", "evil");
    WriteFile(sel + "/evil\nDELE victim.txt/f.txt", "f");
    WriteFile(sel + "/loop/a.txt", "a");
    WriteFile(sel + "/loop/sub/b.txt", "b");
    ::symlink("..", (sel + "/loop/sub/up").c_str());  // once made 82 copies in 82 nested folders
    WriteFile(local / "outside.txt", "outside");
    ::symlink((local / "outside.txt").c_str(), (sel + "/filelink").c_str());
    WriteFile(other + "/c.txt", "c");
    ::symlink(other.c_str(), (sel + "/dirlink").c_str());
    ::symlink((local / "nowhere").c_str(), (sel + "/dangling").c_str());
    ::symlink("/proc/self/mem", (sel + "/proc").c_str());  // opens, then fails to read, even for root
    ASSERT_EQ(::mknod((sel + "/sock").c_str(), S_IFSOCK | 0644, 0), 0);
    WriteFile(sel + "/locked.txt", "l");
    WriteFile(sel + "/closed/hidden.txt", "h");
    ::chmod((sel + "/locked.txt").c_str(), 0);
    ::chmod((sel + "/closed").c_str(), 0);
    // A file whose path is longer than the system takes, in folders whose own paths still fit (on both sides).
    std::string deep = "long";
    ::mkdir((sel + "/" + deep).c_str(), 0755);
    while ((sel + "/" + deep).size() < 3860) {
        deep += "/" + std::string(std::min<std::size_t>(200, 3870 - (sel + "/" + deep).size()), 'd');
        ASSERT_EQ(::mkdir((sel + "/" + deep).c_str(), 0755), 0);
    }
    int deepest = ::open((sel + "/" + deep).c_str(), O_DIRECTORY | O_RDONLY);
    ::close(::openat(deepest, std::string(250, 'f').c_str(), O_CREAT | O_WRONLY, 0644));
    WriteHandOff("Home", "e", {sel, local / "gone.txt"});

    RunAsPlainReader([this] { Upload(); });
    ::renameat(deepest, std::string(250, 'f').c_str(), deepest, "f");  // so that the folder can be removed
    ::close(deepest);
    ::chmod((sel + "/closed").c_str(), 0755);

    EXPECT_EQ(ServerFiles(server), (std::set<std::string>{"victim.txt", "sel/ok.txt", "sel/loop/a.txt",
                                                           "sel/loop/sub/b.txt", "sel/filelink", "sel/dirlink/c.txt"}));
    EXPECT_EQ(ReadFile(server.Local("victim.txt")), "keep");
    EXPECT_EQ(ReadFile(server.Local("sel/filelink")), "outside") << "a link to a file sends the file";
    EXPECT_FALSE(fs::exists(server.Local("sel/closed"))) << "a folder that cannot be read is not made empty";
    EXPECT_FALSE(fs::exists(server.Local("sel/evil\nDELE victim.txt")));
    for (const char* status : {"gone.txt が見つかりません", "sel/a\\r\\nDELE victim.txt は FTP で送れない名前です",
                               "sel/evil\\nDELE victim.txt は FTP で送れない名前です",
                               "sel/loop/sub/up は上位のフォルダへ戻るリンクなので送りません",
                               "sel/dangling が見つかりません", "sel/proc を読めません",
                               "sel/sock は通常のファイルではないので送りません", "sel/locked.txt を読めません",
                               "sel/closed の中を読めません"})
        EXPECT_TRUE(Saw(status)) << status;
    const std::string tooLong = " はパスが長すぎて読めません";
    auto s = Statuses();
    EXPECT_EQ(std::count_if(s.begin(), s.end(), [&](const std::string& t) {
                  return t.rfind("sel/long/", 0) == 0 && t.find("…") != std::string::npos && t.size() < 300 &&
                         t.compare(t.size() - tooLong.size(), tooLong.size(), tooLong) == 0;
              }), 1);
    EXPECT_EQ(s.back(), "10 個の項目を送れませんでした(最初: gone.txt)");
    EXPECT_EQ(display.item, "gone.txt") << "the first item left out, not the last one walked";
    EXPECT_EQ(Ending(), "ended:failed");
    EXPECT_EQ(pauses, std::vector<int>{3});
}

INSTANTIATE_TEST_SUITE_P(Servers, WalkersOn, ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd),
                         testsupport::KindName);

TEST_F(Walkers, PerExtensionRulesRouteByWholeExtensions) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    ::mkdir(server.Local("images").c_str(), 0755);
    ::mkdir(server.Local("photos").c_str(), 0755);
    WriteEntry("Home", layout::kAutoTransferEntry, server, "/");
    WriteRule("Home", "images", ".JPG;.GIF;");
    WriteRule("Home", "nodir", ".TXT;");
    WriteRule("Home", "photos", ".jpeg;");
    std::string sel = local / "sel";
    for (const char* f : {"Makefile", "X.JPEG", "a.jpg", "index.html", "x.jp", "x.jpeg", "x.peg", "deep/b.gif",
                          "deep/c.txt"})
        WriteFile(sel + "/" + f, f);
    ::symlink(".", (sel + "/up").c_str());
    WriteHandOff("Home", layout::kAutoTransferEntry, {sel});
    Upload();
    // A file no rule names goes where the walker stands: the base at first, later the last routed file's directory.
    // "nodir" does not exist and is never created: c.txt stays in the base.
    EXPECT_EQ(ServerFiles(server), (std::set<std::string>{"Makefile", "photos/X.JPEG", "images/a.jpg",
                                                           "images/index.html", "images/x.jp", "photos/x.jpeg",
                                                           "photos/x.peg", "images/b.gif", "c.txt"}));
    EXPECT_EQ(ReadFile(server.Local("images/b.gif")), "deep/b.gif");
    EXPECT_TRUE(Saw("sel/up は上位のフォルダへ戻るリンクなので送りません"));
    EXPECT_EQ(Statuses().back(), "1 個の項目を送れませんでした(最初: sel/up)");
}

TEST_F(Walkers, ConversionSendsTheCopyAndKeepsTheUsersFiles) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("Home", "e", server, "");
    testsupport::Put(layout::kOptionKey, {{layout::kTextMode, layout::kFirstRunTextMode}, {layout::kCodeConvert, 1u},
                                          {layout::kUploadConvert, 1u}, {layout::kUploadConvCode, 2u}});  // EUC
    WriteFile(local / "page.html", "\x82\xA0\x82\xA2");
    WriteFile(local / "notes.tmp", "mine");
    std::string binary(100000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) >> 3);
    WriteFile(local / "data", binary);  // no extension: the text list's first entry takes it
    WriteHandOff("Home", "e", {local / "page.html", local / "notes.tmp", local / "data"});
    Upload();
    EXPECT_EQ(ReadFile(server.Local("page.html")), "\xA4\xA2\xA4\xA4") << "the server holds the EUC copy";
    EXPECT_EQ(ReadFile(local / "page.html"), "\x82\xA0\x82\xA2");
    EXPECT_EQ(ReadFile(local / "notes.tmp"), "mine");
    EXPECT_TRUE(ReadFile(server.Local("data")) == binary) << "a file that is not text goes byte for byte";
    EXPECT_TRUE(fs::is_empty(TempCopyFolder())) << "every copy is removed after its upload";
    EXPECT_TRUE(Saw("EUCコードへ変換中..."));
    EXPECT_EQ(Statuses().back(), "ファイル転送完了しました");
}

// An untrusted certificate is asked about before the user name is sent: refused, nothing is sent and the status says
// why; trusted, it is kept in every entry of the provider and the next run asks nothing; a changed one is asked about
// as a change; a trust that cannot be stored stops the upload and says so.
TEST_F(Walkers, AnUntrustedCertificateIsAskedAboutAndATrustedOneRemembered) {
    FtpServer server(FtpServer::Kind::VsftpdTls);
    for (const char* e : {"www", "other"}) {
        WriteEntry("Home", e, server, server.home());
        testsupport::Put(layout::EntryKey("Home", e), {{layout::kEncryption, 2u}});
    }
    const std::string other(64, '0');
    const struct {
        const char* what;
        const char* remember;  // written into every entry first; nullptr: as the run before left it
        bool answer;
        int asked;  // -1: asked as a changed certificate
        bool sent;
        bool dropEntries = false;  // while asking
    } rows[] = {
        {"refused", nullptr, false, 1, false},
        {"trusted", nullptr, true, 1, true},
        {"remembered", nullptr, false, 0, true},
        {"changed", other.c_str(), false, -1, false},
        {"not stored", nullptr, true, -1, false, true},
    };
    std::string fingerprint;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.remember)
            for (const char* e : {"www", "other"})
                testsupport::Put(layout::EntryKey("Home", e), {{layout::kTrustedCertificate, row.remember}});
        int asked = 0;
        bool warned = false;
        display.Clear();
        display.trust = [&](const inet::CertificateInfo& cert, const inet::Security& used) {
            ++asked;
            warned = used.trustedFingerprints == std::vector<std::string>{other};
            fingerprint = cert.sha256;
            SettingKey provider;
            provider.OpenKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey("Home"));
            if (row.dropEntries)
                for (const char* e : {"www", "other"}) provider.DeleteSubKey(e);
            return row.answer;
        };
        fs::remove_all(server.Local("site"));
        WriteHandOff("Home", "www", {DemoSite()});
        const std::size_t seen = server.Commands().size();
        Upload();
        EXPECT_EQ(asked, std::abs(row.asked));
        EXPECT_EQ(warned, row.asked < 0);
        if (!row.sent) {
            EXPECT_EQ(Statuses().back(), row.dropEntries ? std::string(kCertificateNotStored) + "2)"
                                                         : std::string(kCertificateRefused));
            EXPECT_EQ(Ending(), "ended:failed");
            const auto commands = server.Commands();
            EXPECT_TRUE(std::none_of(commands.begin() + static_cast<std::ptrdiff_t>(seen), commands.end(),
                                     [](const std::string& c) { return c.rfind("USER", 0) == 0; }));
            EXPECT_FALSE(fs::exists(server.Local("site")));
            continue;
        }
        ExpectSameFiles(DemoSite(), server.Local("site"));
        EXPECT_TRUE(Saw("127.0.0.1接続完了しました (TLS1.3)"));
        EXPECT_EQ(Statuses().back(), "ファイル転送完了しました");
        EXPECT_EQ(fingerprint.size(), 64u);
        for (const char* e : {"www", "other"})
            EXPECT_EQ(testsupport::StoredString(layout::EntryKey("Home", e), layout::kTrustedCertificate), fingerprint)
                << e;
    }
}

// A provider that takes TLS when offered, on a server that offers none: the
// upload goes on in plain FTP and the status line says it is not encrypted.
TEST_F(Walkers, TlsWhenOfferedGoesOnInPlainFtpAndSaysSo) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("Home", "e", server, "/");
    testsupport::Put(layout::EntryKey("Home", "e"), {{layout::kEncryption, 1u}});
    WriteFile(local / "a.txt", "a");
    WriteHandOff("Home", "e", {local / "a.txt"});
    Upload();
    EXPECT_EQ(ReadFile(server.Local("a.txt")), "a");
    EXPECT_TRUE(Saw("127.0.0.1接続完了しました (暗号化なし)"));
    EXPECT_EQ(std::ranges::count(display.Events(), std::string("encryption:暗号化なし")), 1);
}

// The demo site under Japanese names to Shift_JIS, EUC-JP and UTF-8 servers, the encoding set or detected: a name the
// encoding lacks is left out, named and counted, and reaches the server in no form, a folder with all it holds.
TEST_F(Walkers, JapaneseNamesGoInTheServersEncodingAndUnwritableOnesAreLeftOut) {
    const std::string site = local / "サイト";
    fs::copy(DemoSite(), site, fs::copy_options::recursive);
    WriteFile(site + "/資料/日本語の説明.txt", "説明");
    WriteFile(site + "/😀.txt", "emoji");
    WriteFile(site + "/絵文字😀/中.txt", "inside");
    const struct {
        const char* what;
        FtpServer::Kind kind;
        std::vector<std::string> options;
        std::optional<winreg::DWORD> stored;
        const char* charset;  // of the names on the server's disk
        bool emojiSent;
    } rows[] = {
        {"Shift_JIS set", FtpServer::Kind::Pyftpdlib, {"--encoding", "cp932"}, 2, "CP932", false},
        {"Shift_JIS detected", FtpServer::Kind::Pyftpdlib, {"--encoding", "cp932"}, std::nullopt, "CP932", false},
        {"EUC-JP set", FtpServer::Kind::Pyftpdlib, {"--encoding", "euc_jp"}, 3, "EUC-JP", false},
        {"UTF-8 detected", FtpServer::Kind::Vsftpd, {}, 0, "UTF-8", true},
    };
    const std::string unwritable = " : " + inet::InternetErrorText(inet::ERROR_NO_UNICODE_TRANSLATION);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FtpServer server(row.kind, "", row.options);
        WriteEntry("Home", "e", server, server.home());
        if (row.stored) testsupport::Put(layout::EntryKey("Home", "e"), {{layout::kNameEncoding, *row.stored}});
        display.Clear();
        WriteHandOff("Home", "e", {site});
        Upload();
        std::set<std::string> sent;
        for (const auto& e : fs::recursive_directory_iterator(site)) {
            const std::string rel = fs::relative(e.path(), local.path()).string();
            if (e.is_regular_file() && (row.emojiSent || rel.find("😀") == std::string::npos))
                sent.insert(Encode(row.charset, rel));
        }
        EXPECT_EQ(ServerFiles(server), sent);
        EXPECT_EQ(ReadFile(server.Local(Encode(row.charset, "サイト/資料/日本語の説明.txt"))), "説明");
        EXPECT_EQ(Saw("サイト/😀.txt" + unwritable) && Saw("サイト/絵文字😀" + unwritable), !row.emojiSent);
        EXPECT_EQ(Statuses().back().rfind(row.emojiSent ? "ファイル転送完了" : "2 個の項目を送れませんでした(最初: サイト/", 0), 0u)
            << Statuses().back();
    }
}

// Two uploads in one process, as a test or a future parallel transfer runs them: each walker has its own session and
// state, and stopping one leaves the other going.
TEST_F(Walkers, TwoWalkersSideBySideAndOneStopped) {
    class Report : public UploadReport {
    public:
        void FileStarted(const std::string& relative, const std::string&) override {
            std::lock_guard<std::mutex> lock(mu);
            files.push_back(relative);
        }
        void Skipped(const std::string& text, Skip) override { ADD_FAILURE() << text; }
        void Halted(Halt, const std::string& name, inet::DWORD code) override { ADD_FAILURE() << name << code; }
        bool Started(const std::string& name) {
            std::lock_guard<std::mutex> lock(mu);
            return std::ranges::count(files, name) > 0;
        }
        std::mutex mu;
        std::vector<std::string> files;
    };
    FtpServer one(FtpServer::Kind::Pyftpdlib), two(FtpServer::Kind::Vsftpd);
    const std::string a = local / "a", b = local / "b";
    for (int i = 0; i < 20; ++i) WriteFile(a + "/sub/" + std::to_string(i) + ".txt", std::to_string(i));
    WriteFile(b + "/big.bin", std::string(256u << 20, 'b'));
    WriteFile(b + "/sub/after.bin", "x");
    Report reportA, reportB;
    UploadWalker walkerA(reportA), walkerB(reportB);
    Outcome outcomeA{}, outcomeB{};
    auto run = [](UploadWalker& w, const FtpServer& server, const std::string& folder, Outcome& outcome) {
        std::string failure;
        inet::FtpConnection* conn = w.Connect("127.0.0.1", server.user(), server.password(), static_cast<std::uint16_t>(server.port()), failure);
        ASSERT_NE(conn, nullptr) << failure;
        if (!server.home().empty()) conn->SetCurrentDirectory(server.home());
        outcome = w.UploadTree(conn, fs::path(folder).parent_path(), {folder});
    };
    std::thread tb([&] { run(walkerB, two, b, outcomeB); });
    testsupport::WaitUntil([&] { return reportB.Started("b/big.bin"); });
    std::thread ta([&] { run(walkerA, one, a, outcomeA); });
    walkerB.Stop();
    ta.join();
    tb.join();
    EXPECT_EQ(outcomeA, Outcome::Completed);
    EXPECT_EQ(outcomeB, Outcome::Aborted);
    EXPECT_EQ(ServerFiles(one).size(), 20u);
    EXPECT_EQ(ReadFile(one.Local("a/sub/19.txt")), "19");
    EXPECT_FALSE(fs::exists(two.Local("b/sub/after.bin")));
}

}  // namespace
