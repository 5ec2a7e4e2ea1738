// What the server receives while dravik's walkers upload, against pyftpdlib and vsftpd: the login, the way to the
// entry's directory, one CWD per folder (MKD only where it fails), TYPE only on a change, one STOR per file; sending
// changed files only, no CWD where nothing goes.
#include "transfer/menu_upload.h"

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/site_transcript.h"
#include "tests/transfer/store_setup.h"
#include "transfer/progress.h"
#include "transfer/upload_walker.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

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

// With "SendChangedOnly" on, a folder's directory is looked for in its parent's listing: one that is there is not
// entered until a file has to go into it (its own listing goes by its absolute path), one that is missing is made
// without a CWD that fails first; the directories the walk makes are not listed (they are empty). Where the server
// sets times (MFMT: pyftpdlib), a file sent in binary mode is known as it arrived, and only the directories a
// text-mode file went into are listed again after the walk; without MFMT (vsftpd) every directory sent into is,
// each by its absolute path unless the walk stands in it.
TEST_P(TranscriptUpload, SendingChangedOnlyListsNoDirectoryItMadeAndRelistsOnlyWhereItMust) {
    SettingKey options;
    options.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
    options.WriteDword(layout::kSendChangedOnly, 1);
    options.CloseKey();
    const std::vector<std::string> selection = transfertest::MakeSite(local.path());
    const timespec at[2] = {{1577934000, 0}, {1577934000, 0}};  // 2020-01-02 03:00:00 UTC
    const auto stamp = [&] {
        for (const auto& e : fs::recursive_directory_iterator(local.path()))
            ASSERT_EQ(::utimensat(AT_FDCWD, e.path().c_str(), at, 0), 0);
    };
    stamp();
    const std::string list = Pyftpdlib() ? "PORT 127,0,0,1,*\nMLSD\n" : "PORT 127,0,0,1,*\nLIST\n";
    const auto listAt = [&](const std::string& dir) {
        return "PORT 127,0,0,1,*\n" + std::string(Pyftpdlib() ? "MLSD " : "LIST ") + www + dir + "\n";
    };
    const auto stor = [this](const std::string& name) {
        return "PORT 127,0,0,1,*\nSTOR ./" + name + "\n" + (Pyftpdlib() ? "MFMT 20200102030000 ./" + name + "\n" : "");
    };
    const auto publish = [&](const std::string& status) {
        display.Clear();
        const std::size_t mark = server.Commands().size();
        transfertest::WriteEntry("Home", "site", server, Root());
        transfertest::WriteHandOff("Home", "site", selection);
        transfer::MenuUpload(display, [](int) {}).Run();
        EXPECT_EQ(display.status, "ファイル転送完了しました。" + status);
        return server.Transcript(mark);
    };
    EXPECT_EQ(publish(transfer::ChangedOnlyText(6, 0)),
              transfertest::LoginToWww(Pyftpdlib()) + "TYPE A\n" + list + "MKD ./site\nCWD site\nCWD ../\n" +
                  stor("readme.txt") + "CWD site\nMKD ./css\nCWD css\nCWD ../\nMKD ./img\nCWD img\nCWD ../\n" +
                  stor("index.html") + "TYPE I\n" + stor("logo.png") + "CWD css\n" + stor("main.css") +
                  "MKD ./print\nCWD print\nCWD " + www + "/site/img\n" + stor("a.png") + "CWD " + www +
                  "/site/css/print\nTYPE A\n" + stor("p.txt") + listAt("") + listAt("/site") +
                  (Pyftpdlib() ? list : listAt("/site/css") + list + listAt("/site/img")));

    // Unchanged: each directory listed once, from where the walk started, and nothing else.
    EXPECT_EQ(publish(transfer::ChangedOnlyText(0, 6)),
              transfertest::LoginToWww(Pyftpdlib()) + "TYPE A\n" + list + listAt("/site") + listAt("/site/css") +
                  listAt("/site/img") + listAt("/site/css/print"));

    // A new folder and a file changed deep down: the way into each is taken only when something goes there, the
    // new directory is made from its parent, and a directory the listing showed is reached by one CWD.
    fs::create_directories(local / "site/img/new");
    WriteFile(local / "site/img/new/n.png", "n");
    WriteFile(local / "site/css/print/p.txt", "changed\n");
    stamp();
    EXPECT_EQ(publish(transfer::ChangedOnlyText(2, 5)),
              transfertest::LoginToWww(Pyftpdlib()) + "TYPE A\n" + list + listAt("/site") + listAt("/site/css") +
                  listAt("/site/img") + "CWD " + www + "/site/img\nMKD ./new\nCWD new\n" +
                  listAt("/site/css/print") + "CWD " + www + "/site/css/print\n" + stor("p.txt") + "CWD " + www +
                  "/site/img/new\nTYPE I\n" + stor("n.png") + "TYPE A\n" + listAt("/site/css/print") +
                  (Pyftpdlib() ? "" : list));
    EXPECT_EQ(testsupport::ReadFile(server.Local("www/site/css/print/p.txt")).rfind("changed", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Servers, TranscriptUpload,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd),
                         testsupport::KindName);

}  // namespace
