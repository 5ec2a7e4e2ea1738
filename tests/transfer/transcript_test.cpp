// What the server receives while dravik's walkers upload, against pyftpdlib and vsftpd: the login, the way to the
// entry's directory, one CWD per folder (MKD only where it fails), TYPE only on a change, one STOR per file.
#include "transfer/menu_upload.h"

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/site_transcript.h"
#include "tests/transfer/store_setup.h"
#include "transfer/progress.h"

#include <gtest/gtest.h>

#include <filesystem>

using testsupport::FtpServer;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

class TranscriptUpload : public transfertest::TranscriptTest {
protected:
    transfertest::RecordingDisplay display;

    void Upload(const std::vector<std::string>& paths) {
        display.Clear();
        transfertest::WriteEntry("Home", "site", server, Root());
        transfertest::WriteHandOff("Home", "site", paths);
        transfer::MenuUpload(display, [](int) {}).Run();
        EXPECT_EQ(display.status, "ファイル転送完了しました");
    }
};

TEST_P(TranscriptUpload, ATreeIntoAnEmptyDirectoryAndAgainOverItself) {
    const std::vector<std::string> selection = transfertest::MakeSite(local.path());
    Upload(selection);
    EXPECT_EQ(server.Transcript(), transfertest::LoginToWww(Pyftpdlib()) + transfertest::SiteUpload(www));

    std::size_t mark = server.Commands().size();
    Upload(selection);
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
        "CWD " + www + "/site/img\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./a.png\n"
        "CWD " + www + "/site/css/print\n"
        "TYPE A\n"
        "PORT 127,0,0,1,*\n"
        "STOR ./p.txt\n";
    EXPECT_EQ(server.Transcript(mark), transfertest::LoginToWww(Pyftpdlib()) + again);
}

TEST_P(TranscriptUpload, PerExtensionIntoTheRulesDirectories) {
    transfertest::WriteEntry("Home", layout::kAutoTransferEntry, server, Root());
    transfertest::WriteRule("Home", "images", ".png;.gif;");
    transfertest::WriteRule("Home", "docs/text", ".txt;");
    fs::create_directories(server.Local("www/images"));
    fs::create_directories(server.Local("www/docs/text"));
    const std::string sel = local / "sel";
    fs::create_directories(sel + "/deep");
    for (const char* f : {"a.png", "b.txt", "c.gif", "deep/d.txt", "e.bin"}) WriteFile(sel + "/" + f, f);
    transfertest::WriteHandOff("Home", layout::kAutoTransferEntry, {sel});
    transfer::MenuUpload(display, [](int) {}).Run();
    EXPECT_EQ(display.status, "ファイル転送完了しました");
    // The folder's files in name order, then deep's; e.bin, which no rule names, goes where the walker stands. A move
    // that must go up goes by one absolute CWD where "../" and the components down would take more.
    EXPECT_EQ(server.Transcript(), transfertest::LoginToWww(Pyftpdlib()) +
                                       "CWD images\n"  // a.png
                                       "TYPE I\n"
                                       "PORT 127,0,0,1,*\n"
                                       "STOR ./a.png\n"
                                       "CWD " + www + "/docs/text\n"  // b.txt
                                       "TYPE A\n"
                                       "PORT 127,0,0,1,*\n"
                                       "STOR ./b.txt\n"
                                       "CWD " + www + "/images\n"  // c.gif
                                       "TYPE I\n"
                                       "PORT 127,0,0,1,*\n"
                                       "STOR ./c.gif\n"
                                       "PORT 127,0,0,1,*\n"  // e.bin
                                       "STOR ./e.bin\n"
                                       "CWD " + www + "/docs/text\n"  // deep/d.txt
                                       "TYPE A\n"
                                       "PORT 127,0,0,1,*\n"
                                       "STOR ./d.txt\n");
}

INSTANTIATE_TEST_SUITE_P(Servers, TranscriptUpload,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd),
                         testsupport::KindName);

}  // namespace
