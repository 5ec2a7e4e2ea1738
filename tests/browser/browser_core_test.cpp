// The browser's core against real servers: the document's login, the upload, download and delete walks, and the job
// queue.
#include "browser/core/document.h"
#include "browser/core/ids.h"
#include "common/walk/remote_listing.h"
#include "browser/core/operations.h"
#include "browser/core/job_queue.h"
#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <set>

using namespace brovin;
namespace fs = std::filesystem;
using testsupport::FtpServer;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// Records what a walk reports.
class Recorder : public Progress {
public:
    std::vector<std::pair<int, std::string>> statuses;
    std::vector<inet::DWORD> boxes;
    void Status(int id, const std::string& arg) override { statuses.emplace_back(id, arg); }
    void SetRange(int) override {}
    void Step() override {}
    bool Aborted() override { return false; }
    void ErrorBox(inet::DWORD code) override { boxes.push_back(code); }
    void Pause(int) override {}
    // The walk's closing count and first item left out, as the window shows them.
    int leftOut = 0;
    std::string firstLeftOut;
    void LeftOut(int count, const std::string& first) override {
        leftOut = count;
        firstLeftOut = first;
        Progress::LeftOut(count, first);
    }
    bool Saw(int id, const std::string& arg = "\x01") const {
        for (const auto& s : statuses)
            if (s.first == id && (arg == "\x01" || s.second == arg)) return true;
        return false;
    }
};

std::set<std::string> Tree(const std::string& root) {
    std::set<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(root))
        out.insert(fs::relative(e.path(), root).string() + (e.is_directory() ? "/" : ""));
    return out;
}

class BrowserCore : public ::testing::TestWithParam<FtpServer::Kind> {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    FtpServer server{GetParam()};
    CBrovinDoc doc;

    // Logs the document in at the server's writable directory.
    inet::FtpConnection* Login() {
        transfertest::WriteEntry("prov", "entry", server, server.home());
        transfertest::WriteHandOff("prov", "entry", {"/tmp/x"});
        doc.OnNewDocument();
        EXPECT_TRUE(doc.Connect([](int, const std::string&) {}));
        return doc.Connection();
    }
    void Make(const std::string& remote, const std::string& text = "x") {
        WriteFile(server.Local(remote), text);
    }
};

TEST_P(BrowserCore, DownloadsIntoTheMirroredServerPathWithConversion) {
    Make("www/index.html", "\xe6\x97\xa5\xe6\x9c\xac\n");  // 日本 in UTF-8
    Make("www/img/logo.gif", "GIF");
    Make("www/Makefile", "all:\n");
    testsupport::Put(layout::kOptionKey, {{layout::kTextMode, ".html;"}, {layout::kCodeConvert, 1u},
                                          {layout::kDownloadConvert, 1u}, {layout::kDownloadConvCode, 2u}});
    auto* conn = Login();
    ASSERT_TRUE(conn->SetCurrentDirectory("www"));
    std::string pwd;
    conn->GetCurrentDirectory(pwd);
    Recorder rec;
    EXPECT_EQ(DownloadWalk(conn, {{"index.html", false}, {"img", true}, {"Makefile", false}}, local / "dl", rec),
              Outcome::Completed);
    const std::string base = local / ("dl" + pwd);
    EXPECT_EQ(ReadFile(base + "/index.html"), "\xc6\xfc\xcb\xdc\n");  // 日本 in EUC-JP
    EXPECT_EQ(ReadFile(base + "/img/logo.gif"), "GIF");
    EXPECT_EQ(ReadFile(base + "/Makefile"), "all:\n");
    EXPECT_TRUE(rec.Saw(IDS_ALL_DONE));
    for (const auto& f : Tree(local / "dl")) EXPECT_EQ(f.find(".parvex"), std::string::npos) << f;
}

TEST_P(BrowserCore, LoginMovesToAnAbsoluteRootInOneStepAndARelativeOneByComponent) {
    fs::create_directories(server.Local("pub/incoming"));
    const std::string abs = server.home() == "/" ? "/pub/incoming" : server.home() + "/pub/incoming";
    std::vector<std::pair<int, std::string>> st;
    // A new document logged in at `root`: where it stands; `st` gets what it told.
    auto connect = [&](const std::string& root) {
        transfertest::WriteEntry("prov", "entry", server, root);
        transfertest::WriteHandOff("prov", "entry", {"/tmp/x"});
        st.clear();
        CBrovinDoc d;
        d.OnNewDocument();
        EXPECT_FALSE(transfertest::HandOffPresent());
        EXPECT_TRUE(d.Connect([&](int id, const std::string& a) { st.emplace_back(id, a); }));
        return d.currentDirectory;
    };
    EXPECT_EQ(connect(abs), abs);
    EXPECT_EQ(st, (std::vector<std::pair<int, std::string>>{{IDS_CONNECTING, "127.0.0.1"}}));
    if (GetParam() != FtpServer::Kind::Pyftpdlib) return;  // vsftpd's login directory is not its writable one
    EXPECT_EQ(connect("nothere/pub/incoming"), "/pub/incoming");
    ASSERT_EQ(st.size(), 2u);
    EXPECT_EQ(st[1], std::make_pair(IDS_CANNOT_MOVE_STATUS, std::string("nothere")));
}

// The walk reads its own hand-off only (another selection waiting first in enumeration order stays untouched) and
// takes it away; what cannot be sent is named and counted, and the rest still goes.
TEST_P(BrowserCore, UploadsItsOwnHandOffAndNamesWhatItLeftOut) {
    fs::create_directories(local / "web.old/sub");
    WriteFile(local / "web.old/a.txt", "a");
    ASSERT_EQ(::mkfifo((local / "web.old/pipe").c_str(), 0600), 0);
    fs::create_directory_symlink("..", local / "web.old/sub/up");  // a link back into a folder on the way
    WriteFile(local / "web.old/sub/b.txt", "b");
    WriteFile(local / "index.html", "<html>");
    auto* conn = Login();
    transfertest::WriteHandOff("AAA", "other", {local / "index.html"});
    ASSERT_EQ(WriteUploadHandOff("prov", UploadKeyName(""), {local / "web.old", local / "missing.txt"}), 0);
    Recorder rec;
    EXPECT_EQ(UploadWalk(conn, "prov", UploadKeyName(""), rec), Outcome::Incomplete);
    EXPECT_EQ(ReadFile(server.Local("web.old/a.txt")), "a");
    EXPECT_EQ(ReadFile(server.Local("web.old/sub/b.txt")), "b");
    EXPECT_FALSE(fs::exists(server.Local("web.old/pipe")));
    EXPECT_FALSE(fs::exists(server.Local("index.html")));
    EXPECT_TRUE(rec.Saw(IDS_PROCESSING, "web.old/sub/b.txt"));
    EXPECT_TRUE(rec.Saw(IDS_SKIPPED_COUNT, "3"));
    EXPECT_EQ(rec.firstLeftOut, "missing.txt");  // the selection comes before what its folders hold
    EXPECT_FALSE(testsupport::KeyExists(layout::kUploadQueueKey)) << "the emptied keys go with ours";
    layout::HandOff other;
    ASSERT_TRUE(layout::ReadHandOff(other));
    EXPECT_EQ(other.provider, "AAA");
    Recorder again;
    EXPECT_EQ(UploadWalk(conn, "prov", UploadKeyName(""), again), Outcome::Failed) << "the queue was sent already";
    EXPECT_TRUE(again.Saw(IDS_TEXT, "アップロードするファイルの指定を読み取れませんでした"));
}

// Symbolic links on the server, on the three servers that show them each their own way.
class BrowserLinks : public BrowserCore {
protected:
    // Lists the directory the connection stands in, as the window would, and
    // gives the named rows as the window's selection would.
    std::vector<RemoteItem> Rows(inet::FtpConnection* conn, const std::set<std::string>& names) {
        std::string pwd;
        conn->GetCurrentDirectory(pwd);
        std::vector<walk::Row> rows;
        EXPECT_TRUE(walk::ListDirectory(conn, pwd, rows));
        std::vector<RemoteItem> items;
        for (const auto& r : rows)
            if (names.count(r.name)) items.push_back({r.name, r.directory, r.link});
        EXPECT_EQ(items.size(), names.size());
        return items;
    }
    static bool Exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }
    // The commands the server received that name `word`.
    std::vector<std::string> Naming(const std::string& word) const {
        std::vector<std::string> out;
        for (const auto& c : server.Commands())
            if (c.find(word) != std::string::npos) out.push_back(c);
        return out;
    }
};

TEST_P(BrowserLinks, DeletingALinkRemovesTheLinkAndNothingItLeadsTo) {
    Make("shared/a.txt");
    Make("shared/sub/b.txt");
    Make("www/index.html");
    Make("www/site/page.html");
    Make("www/ring/inner.txt");
    fs::create_directory_symlink("../shared", server.Local("www/linkdir"));
    fs::create_directory_symlink(".", server.Local("www/loop"));
    fs::create_directory_symlink("../../shared", server.Local("www/site/up"));
    fs::create_directory_symlink(".", server.Local("www/ring/self"));  // proftpd's LIST leaves it out
    auto* conn = Login();
    ASSERT_TRUE(conn->SetCurrentDirectory("www"));
    for (const auto& item : Rows(conn, {"linkdir", "loop"})) {
        // pyftpdlib's MLSD calls the link a directory; the others say it is a link.
        EXPECT_TRUE(item.link || (GetParam() == FtpServer::Kind::Pyftpdlib && item.directory)) << item.name;
    }
    // A link, a link to its own folder, and folders holding one of each: the link goes with one DELE.
    const std::pair<std::string, std::string> cases[] = {
        {"linkdir", "linkdir"}, {"loop", "loop"}, {"site", "up"}, {"ring", "self"}};
    Recorder rec;
    for (const auto& [selected, link] : cases) {
        SCOPED_TRACE(selected);
        EXPECT_EQ(DeleteWalk(conn, Rows(conn, {selected}), rec), Outcome::Completed);
        EXPECT_FALSE(Exists(server.Local("www/" + selected)));
        EXPECT_EQ(Naming(link), std::vector<std::string>{"DELE ./" + link});
        EXPECT_EQ(Tree(server.Local("shared")), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt"}));
        EXPECT_TRUE(fs::exists(server.Local("www/index.html")));
    }
    EXPECT_TRUE(rec.boxes.empty());
    EXPECT_EQ(rec.leftOut, 0);
    std::string after;
    conn->GetCurrentDirectory(after);
    EXPECT_EQ(after, server.home() == "/" ? "/www" : server.home() + "/www");
}

// A downloaded folder's links are fetched as files, never entered: a link back to the folder itself would otherwise
// be walked until the local path is too long. A link to a folder cannot be fetched and is named.
TEST_P(BrowserLinks, ADownloadNeverEntersALinkInsideAFolder) {
    Make("www/site/page.html");
    Make("shared/a.txt");
    fs::create_directory_symlink(".", server.Local("www/site/loop"));
    fs::create_directory_symlink("../../shared", server.Local("www/site/up"));
    fs::create_symlink("page.html", server.Local("www/site/alias.html"));
    auto* conn = Login();
    ASSERT_TRUE(conn->SetCurrentDirectory("www"));
    std::string pwd;
    conn->GetCurrentDirectory(pwd);
    Recorder rec;
    EXPECT_EQ(DownloadWalk(conn, Rows(conn, {"site"}), local / "dl", rec), Outcome::Incomplete);
    const std::string base = local / ("dl" + pwd);
    std::set<std::string> got = Tree(base);
    EXPECT_TRUE(got.count("site/page.html"));
    EXPECT_FALSE(got.count("site/loop/")) << "the link was entered";
    EXPECT_FALSE(got.count("site/up/")) << "the link was entered";
    EXPECT_TRUE(rec.Saw(IDS_TEXT, "site/up はリンクで、ファイルとして取得できないため扱いません"));
    EXPECT_EQ(Naming("CWD up").size() + Naming("CWD ./up").size() + Naming("CWD loop").size(), 0u);
    // proftpd's LIST leaves out "loop -> ."; the others show it and it is named too.
    if (GetParam() != FtpServer::Kind::Proftpd) {
        EXPECT_TRUE(rec.Saw(IDS_TEXT, "site/loop はリンクで、ファイルとして取得できないため扱いません"));
    }
    EXPECT_EQ(ReadFile(base + "/site/alias.html"), "x");
}

INSTANTIATE_TEST_SUITE_P(Servers, BrowserLinks,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd, FtpServer::Kind::Proftpd),
                         testsupport::KindName);

// A server that hides dot files shows such a folder as empty and refuses to remove it: the folder is named and
// counted, and so is its parent that the final sweep cannot remove; the walk does not end as if it were done.
TEST(BrowserDelete, FoldersTheServerWillNotRemoveAreNamedAndCounted) {
    testsupport::ScopedStore store;
    FtpServer server(FtpServer::Kind::Vsftpd);
    WriteFile(server.Local("outer/inner/.keep"), "");
    WriteFile(server.Local("outer/x.txt"), "x");
    WriteFile(server.Local("after.txt"), "a");
    inet::InternetSession session;
    auto* conn = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                          static_cast<std::uint16_t>(server.port()));
    ASSERT_TRUE(conn->SetCurrentDirectory(server.home()));
    Recorder rec;
    EXPECT_EQ(DeleteWalk(conn, {{"outer", true}, {"after.txt", false}}, rec), Outcome::Incomplete);
    EXPECT_FALSE(fs::exists(server.Local("after.txt")));
    EXPECT_FALSE(fs::exists(server.Local("outer/x.txt")));
    EXPECT_TRUE(fs::exists(server.Local("outer/inner/.keep")));
    EXPECT_EQ(rec.boxes.size(), 1u);
    EXPECT_TRUE(rec.Saw(IDS_TEXT, "outer/inner を削除できませんでした"));
    EXPECT_TRUE(rec.Saw(IDS_TEXT, "outer を削除できませんでした"));
    EXPECT_EQ(rec.leftOut, 2);
    EXPECT_EQ(rec.firstLeftOut, "outer/inner");
    ASSERT_FALSE(rec.statuses.empty());
    EXPECT_EQ(rec.statuses.back(), std::make_pair(IDS_SKIPPED_COUNT, std::string("2")));
}

INSTANTIATE_TEST_SUITE_P(Servers, BrowserCore,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd, FtpServer::Kind::Proftpd),
                         testsupport::KindName);

TEST(BrowserDownload, NamesThatClimbOutOfTheFolderAreSkipped) {
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    FtpServer server(FtpServer::Kind::Fault, "evil-names");
    inet::InternetSession session;
    auto* conn = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                          static_cast<std::uint16_t>(server.port()));
    std::vector<walk::Row> rows;
    ASSERT_TRUE(walk::ListDirectory(conn, "/", rows));
    std::vector<RemoteItem> items;
    for (const auto& r : rows) items.push_back({r.name, r.directory});
    ASSERT_EQ(items.size(), 2u);
    fs::create_directories(local / "a/b");
    Recorder rec;
    EXPECT_EQ(DownloadWalk(conn, items, local / "a/b/dl", rec), Outcome::Incomplete);
    EXPECT_EQ(Tree(local.path()), (std::set<std::string>{"a/", "a/b/", "a/b/dl/", "a/b/dl/d/", "a/b/dl/d/ok.txt"}));
    EXPECT_TRUE(rec.Saw(IDS_UNSAFE_NAME, "../evil.txt"));
    EXPECT_TRUE(rec.Saw(IDS_UNSAFE_NAME, "d/../../evil2.txt"));
    EXPECT_TRUE(rec.Saw(IDS_SKIPPED_COUNT, "2"));
    EXPECT_EQ(rec.firstLeftOut, "../evil.txt");
}

// A link the server will not remove is named and counted, never entered,
// also when the window's row called it a directory (as MLSD does on some servers).
TEST(BrowserDelete, ALinkTheServerRefusesIsNamedAndNeverEntered) {
    testsupport::ScopedStore store;
    FtpServer server(FtpServer::Kind::Fault, "refused-link");
    inet::InternetSession session;
    auto* conn = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                          static_cast<std::uint16_t>(server.port()));
    for (bool shownAsDirectory : {false, true}) {
        Recorder rec;
        RemoteItem lnk{"lnk", shownAsDirectory, !shownAsDirectory};
        EXPECT_EQ(DeleteWalk(conn, {lnk, {"f.txt", false}}, rec), Outcome::Incomplete);
        // Entered, the link would have been listed (this server lists the same two entries
        // everywhere) and more deletions tried.
        std::vector<std::string> deleted;
        for (const auto& st : rec.statuses)
            if (st.first == IDS_DELETING) deleted.push_back(st.second);
        EXPECT_EQ(deleted, (std::vector<std::string>{"./lnk", "./f.txt"}));
        EXPECT_TRUE(rec.Saw(IDS_TEXT, "lnk を削除できませんでした"));
        EXPECT_EQ(rec.leftOut, 1);
        EXPECT_EQ(rec.firstLeftOut, "lnk");
    }
}

TEST(BrowserJobs, RunInOrderOneAtATime) {
    JobQueue jobs;
    std::atomic<int> running{0}, maxRunning{0};
    std::vector<int> order;
    std::mutex mu;
    for (int i = 0; i < 20; ++i)
        jobs.Post([&, i] {
            int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            {
                std::lock_guard<std::mutex> lock(mu);
                order.push_back(i);
            }
            --running;
        });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !jobs.Busy(); }, 10000));
    EXPECT_EQ(maxRunning.load(), 1);
    ASSERT_EQ(order.size(), 20u);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

// Every file of a download is created once, under its temporary name, and renamed into place: on a file system that
// checks recently freed inodes at each create, a second temporary per file freed an inode every file and made each
// later create slower than the one before. The temporary name always fits, whatever the length of the server's name
// (it was the name plus 12 bytes).
TEST(BrowserDownload, EachFileIsCreatedOnceAndRenamedIntoPlace) {
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    const std::vector<std::string> names = {std::string(240, 'a') + ".txt", std::string(251, 'b') + ".txt", "c.bin"};
    for (const auto& n : names) WriteFile(server.Local(n), "data of " + n);
    inet::InternetSession session;
    auto* conn = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                          static_cast<std::uint16_t>(server.port()));
    ASSERT_NE(conn, nullptr);
    std::string pwd;
    ASSERT_TRUE(conn->GetCurrentDirectory(pwd));
    const fs::path into = local / ("dl" + pwd);
    fs::create_directories(into);
    int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, into.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_TO), 0);
    std::vector<RemoteItem> items;
    for (const auto& n : names) items.push_back({n, false});
    Recorder rec;
    EXPECT_EQ(DownloadWalk(conn, items, local / "dl", rec), Outcome::Completed);
    int created = 0, deleted = 0;
    std::set<std::string> movedTo;
    alignas(inotify_event) char buf[8192];
    for (ssize_t n; (n = ::read(watch, buf, sizeof buf)) > 0;) {
        for (char* p = buf; p < buf + n;) {
            auto* e = reinterpret_cast<inotify_event*>(p);
            if (e->mask & IN_CREATE) ++created;
            if (e->mask & IN_DELETE) ++deleted;
            if (e->mask & IN_MOVED_TO) movedTo.insert(e->len ? e->name : "");
            p += sizeof(inotify_event) + e->len;
        }
    }
    ::close(watch);
    EXPECT_EQ(created, 3);
    EXPECT_EQ(deleted, 0);
    EXPECT_EQ(movedTo, (std::set<std::string>(names.begin(), names.end())));
    for (const auto& n : names) EXPECT_EQ(ReadFile(into / n), "data of " + n);
}

}  // namespace
