// What the server receives while dravik's walker uploads a tree: the login,
// the way to the entry's directory, one CWD per folder component (MKD only
// where CWD fails), TYPE only when the representation changes and one STOR
// per file. pyftpdlib and vsftpd; vsftpd's writable folder is "pub" below
// where anonymous logs in, so its root has one component more.
#include "transfer/walker.h"

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/store_setup.h"
#include "transfer/progress.h"

#include <gtest/gtest.h>

#include <filesystem>

using testsupport::FtpServer;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

class TranscriptUpload : public ::testing::TestWithParam<FtpServer::Kind> {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    FtpServer server{GetParam()};
    transfertest::RecordingDisplay display;

    void SetUp() override {
        transfer::SetPauseFunction([](int) {});
        SettingKey options;
        options.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
        options.WriteString(layout::kTextMode, ".html;.txt;");
        fs::create_directories(server.Local("www"));
    }
    bool Pyftpdlib() const { return GetParam() == FtpServer::Kind::Pyftpdlib; }
    // The entry's root as a path relative to where the user logs in.
    std::string Root() const { return Pyftpdlib() ? "www" : "pub/www"; }
    // The commands of the login and of the way to the root.
    std::string LoginAndRoot() const {
        return Pyftpdlib() ? "USER parvex\n"
                             "PASS ******\n"
                             "FEAT\n"
                             "OPTS UTF8 ON\n"
                             "CWD www\n"
                             "PWD\n"
                           : "USER anonymous\n"
                             "FEAT\n"
                             "OPTS UTF8 ON\n"
                             "CWD pub\n"
                             "CWD www\n"
                             "PWD\n";
    }
    void Upload(const std::vector<std::string>& paths) {
        display.Clear();
        transfertest::WriteEntry("Home", "site", server, Root());
        transfertest::WriteHandOff("Home", "site", paths);
        transfer::PlainWalker();
        EXPECT_EQ(display.status, "ファイル転送完了しました");
    }
};

TEST_P(TranscriptUpload, ATreeIntoAnEmptyDirectoryAndAgainOverItself) {
    std::string site = local / "site";
    fs::create_directories(site + "/css/print");
    fs::create_directories(site + "/img");
    WriteFile(site + "/index.html", "<html>\n");
    WriteFile(site + "/logo.png", "png");
    WriteFile(site + "/css/main.css", "body{}\n");
    WriteFile(site + "/css/print/p.txt", "p\n");
    WriteFile(site + "/img/a.png", "a");
    WriteFile(local / "readme.txt", "r\n");
    Upload({site, local / "readme.txt"});
    // Breadth first: the selection (site, readme.txt), then site's entries
    // in name order (css, img, index.html, logo.png), then css's (main.css,
    // print), img's (a.png), print's (p.txt). A folder is entered when it
    // is handled, made where CWD fails; files go to where they belong by
    // "../" and the components between.
    const std::string tree =
        "CWD site\n"  // site
        "MKD ./site\n"
        "CWD site\n"
        "CWD ../\n"  // readme.txt
        "TYPE A\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./readme.txt\n"
        "CWD site\n"  // css
        "CWD css\n"
        "MKD ./css\n"
        "CWD css\n"
        "CWD ../\n"  // img
        "CWD img\n"
        "MKD ./img\n"
        "CWD img\n"
        "CWD ../\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./index.html\n"
        "TYPE I\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./logo.png\n"
        "CWD css\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./main.css\n"
        "CWD print\n"  // print
        "MKD ./print\n"
        "CWD print\n"
        "CWD ../\n"
        "CWD ../\n"
        "CWD img\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./a.png\n"
        "CWD ../\n"
        "CWD css\n"
        "CWD print\n"
        "TYPE A\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./p.txt\n";
    EXPECT_EQ(server.Transcript(), LoginAndRoot() + tree);

    std::size_t mark = server.Commands().size();
    Upload({site, local / "readme.txt"});
    // The folders exist now: each is still entered and left once, and no MKD goes.
    const std::string again =
        "CWD site\n"
        "CWD ../\n"
        "TYPE A\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./readme.txt\n"
        "CWD site\n"
        "CWD css\n"
        "CWD ../\n"
        "CWD img\n"
        "CWD ../\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./index.html\n"
        "TYPE I\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./logo.png\n"
        "CWD css\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./main.css\n"
        "CWD print\n"
        "CWD ../\n"
        "CWD ../\n"
        "CWD img\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./a.png\n"
        "CWD ../\n"
        "CWD css\n"
        "CWD print\n"
        "TYPE A\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./p.txt\n";
    EXPECT_EQ(server.Transcript(mark), LoginAndRoot() + again);
}

INSTANTIATE_TEST_SUITE_P(Servers, TranscriptUpload,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd),
                         [](const ::testing::TestParamInfo<FtpServer::Kind>& p) {
                             return std::string(p.param == FtpServer::Kind::Pyftpdlib ? "pyftpdlib" : "vsftpd");
                         });

}  // namespace
