// What the server receives from the browser's core, command by command, against pyftpdlib and vsftpd (whose
// writable folder "pub" adds one component to the root).
#include "browser/core/document.h"
#include "common/walk/remote_listing.h"
#include "browser/core/operations.h"
#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/site_transcript.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace brovin;
namespace fs = std::filesystem;
using testsupport::FtpServer;
using testsupport::WriteFile;

namespace {

class Quiet : public Progress {
public:
    void Status(int, const std::string&) override {}
    void SetRange(int) override {}
    void Step() override {}
    bool Aborted() override { return false; }
    void ErrorBox(inet::DWORD) override {}
    void Pause(int) override {}
};

class TranscriptBrowser : public transfertest::TranscriptTest {
protected:
    CBrovinDoc doc;
    Quiet progress;

    void Make(const std::string& remote, const std::string& text = "x") {
        WriteFile(server.Local(remote), text);
    }
    // Logs in at "www" below the writable folder, and returns the mark after the login.
    std::size_t Login() {
        transfertest::WriteEntry("prov", "entry", server, Root());
        transfertest::WriteHandOff("prov", "entry", {"/tmp/x"});
        doc.OnNewDocument();
        EXPECT_TRUE(doc.Connect([](int, const std::string&) {}));
        return server.Commands().size();
    }
};

// The login, then a refresh as the window makes it on its job thread: the PWD that finds a lost connection, and the
// listing of the document's directory, entered again.
TEST_P(TranscriptBrowser, LoginAndRefresh) {
    Make("www/index.html");
    Make("www/img/a.png");
    std::size_t mark = Login();
    EXPECT_EQ(server.Transcript(), transfertest::LoginToWww(Pyftpdlib()));
    std::string failure;
    inet::FtpConnection* conn = doc.LiveConnection([](int, const std::string&) {}, failure);
    ASSERT_NE(conn, nullptr) << failure;
    std::vector<walk::Row> rows;
    ASSERT_TRUE(walk::ListDirectory(conn, doc.currentDirectory, rows));
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_EQ(server.Transcript(mark), "PWD\n"
                                       "CWD " + doc.currentDirectory + "\n"
                                       "TYPE A\n"
                                       "PORT 127,0,0,1,*\n" +
                                       (Pyftpdlib() ? "MLSD\n" : "LIST\n"));
}

// The selection's folder is listed with LIST (links show only there), then every folder below, breadth first; files
// go as each folder's turn comes, the folders last, deepest first. Both servers get the same sequence.
TEST_P(TranscriptBrowser, DeleteWalk) {
    Make("www/site/index.html");
    Make("www/site/img/a.png");
    Make("www/site/img/b.png");
    Make("www/site/css/print/p.css");
    Make("www/Makefile");  // no extension: a file all the same
    std::size_t mark = Login();
    EXPECT_EQ(DeleteWalk(doc.Connection(), {{"site", true}, {"Makefile", false}}, progress), Outcome::Completed);
    EXPECT_EQ(server.Transcript(mark),
        "TYPE A\n"  // the selection's folder, listed for links
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "PWD\n"  // where the walk starts
        "CWD site\n"  // site: listed
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "CWD ../\n"  // Makefile, at once
        "DELE ./Makefile\n"
        "CWD site\n"  // css: listed
        "CWD css\n"
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "CWD " + www + "/site/img\n"  // img: listed
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "CWD ../\n"  // site's file
        "DELE ./index.html\n"
        "CWD css\n"  // print: listed
        "CWD print\n"
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "CWD " + www + "/site/img\n"  // img's files
        "DELE ./a.png\n"
        "DELE ./b.png\n"
        "CWD " + www + "/site/css/print\n"  // print's file
        "DELE ./p.css\n"
        "CWD ../\n"  // the folders, deepest first
        "RMD print\n"
        "CWD ../\n"
        "RMD img\n"
        "RMD css\n"
        "CWD ../\n"
        "RMD site\n");
}

// Files first in the order selected, each folder listed once with LIST on
// arrival; TYPE follows each file's representation and is sent only when it changes.
TEST_P(TranscriptBrowser, DownloadWalk) {
    Make("www/index.html", "<html>\n");
    Make("www/site/a.png");
    Make("www/site/b.txt", "b\n");
    Make("www/site/css/print/p.css");
    std::size_t mark = Login();
    EXPECT_EQ(DownloadWalk(doc.Connection(), {{"index.html", false}, {"site", true}}, local / "dl", progress),
              Outcome::Completed);
    EXPECT_EQ(server.Transcript(mark),
        "PWD\n"  // where the walk starts
        "TYPE A\n"  // index.html
        "PORT 127,0,0,1,*\n"
        "RETR ./index.html\n"
        "CWD site\n"  // site: listed
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "TYPE I\n"  // its files, TYPE as each one needs
        "PORT 127,0,0,1,*\n"
        "RETR ./a.png\n"
        "TYPE A\n"
        "PORT 127,0,0,1,*\n"
        "RETR ./b.txt\n"
        "CWD css\n"  // css: listed, nothing to fetch
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "CWD print\n"  // print: listed
        "PORT 127,0,0,1,*\n"
        "LIST\n"
        "TYPE I\n"  // p.css
        "PORT 127,0,0,1,*\n"
        "RETR ./p.css\n"
        "CWD " + www + "\n");  // back where the walk started
}

// The same tree and sequence as the transfer program's walker, framed by a
// PWD at the start and the way back at the end.
TEST_P(TranscriptBrowser, UploadWalk) {
    const std::vector<std::string> selection = transfertest::MakeSite(local.path());
    std::size_t mark = Login();
    ASSERT_EQ(WriteUploadHandOff("prov", "k", selection), 0);
    EXPECT_EQ(UploadWalk(doc.Connection(), "prov", "k", progress), Outcome::Completed);
    EXPECT_EQ(server.Transcript(mark), "PWD\n" + transfertest::SiteUpload(www) + "CWD " + www +
                                           "\n");  // back where the walk started
}

INSTANTIATE_TEST_SUITE_P(Servers, TranscriptBrowser,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd),
                         testsupport::KindName);

}  // namespace
