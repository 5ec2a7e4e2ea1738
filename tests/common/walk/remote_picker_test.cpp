// The directory picker's server work against real servers: what it lists, what it leaves out, what the server
// receives, and a stop from another thread while the server keeps silent.
#include "common/walk/remote_picker.h"

#include "tests/support/ftp_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using testsupport::FtpServer;
using walk::DirectoryPicker;
using walk::FolderListing;
namespace fs = std::filesystem;

namespace {

class PickerOn : public ::testing::TestWithParam<FtpServer::Kind> {
protected:
    FtpServer server{GetParam()};
    DirectoryPicker picker;

    // The server's name for `path` below its writable home.
    std::string Remote(const std::string& path) const {
        return server.home() == "/" ? "/" + path : server.home() + "/" + path;
    }
    void Login() { picker.Login("127.0.0.1", server.user(), server.password(), server.port()); }
    // The folders of `path` below home, sorted (the servers list in orders of their own).
    std::vector<std::string> Folders(const std::string& path) {
        FolderListing listing = picker.ListFolders(Remote(path));
        EXPECT_TRUE(listing.ok) << path << ": error " << listing.error;
        std::sort(listing.folders.begin(), listing.folders.end());
        return listing.folders;
    }
};

// The login directory, then folders only: files and links to files left out, links to folders in; an empty folder and
// a missing one fail with their own codes, one with files only is an empty success. Spaces and Japanese come back as
// the server names them. One listing on the wire: into the directory, the listing, and a change of directory into
// each link the listing cannot tell apart (vsftpd's LIST and proftpd's MLSD show links as links; pyftpdlib's MLSD
// shows what they point to, so nothing is tried there).
TEST_P(PickerOn, ListsFoldersAndLinksToFoldersOnlyWithOneListingOnTheWire) {
    for (const char* d : {"www/html", "www/empty", "www/files_only", "shared/sub", "資料 2024/画像 一覧"})
        fs::create_directories(server.Local(d));
    testsupport::WriteFile(server.Local("www/files_only/index.html"), "<html>\n");
    testsupport::WriteFile(server.Local("www/index.html"), "<html>\n");
    testsupport::WriteFile(server.Local("notes.txt"), "n");
    fs::create_directory_symlink("../shared", server.Local("www/public_html"));
    fs::create_symlink("../notes.txt", server.Local("www/readme"));

    Login();
    // vsftpd's anonymous user logs in above its writable "pub".
    EXPECT_EQ(picker.LoginDirectory(), GetParam() == FtpServer::Kind::Vsftpd ? server.root() : server.home());
    // proftpd writes its log of commands a moment after answering them: the
    // listing's commands start after the login's PWD.
    testsupport::WaitUntil([&] {
        std::vector<std::string> sent = server.Commands();
        return !sent.empty() && sent.back() == "PWD";
    });
    const std::size_t mark = server.Commands().size();
    EXPECT_EQ(Folders("www"), (std::vector<std::string>{Remote("www/empty"), Remote("www/files_only"),
                                                        Remote("www/html"), Remote("www/public_html")}));
    const std::string expected = "CWD " + Remote("www") +
                                 "\n"
                                 "TYPE A\n"
                                 "PORT 127,0,0,1,*\n" +
                                 (GetParam() == FtpServer::Kind::Vsftpd ? "LIST\n" : "MLSD\n") +
                                 (GetParam() == FtpServer::Kind::Pyftpdlib
                                      ? ""
                                      : "CWD " + Remote("www/public_html") + "\nCWD " + Remote("www/readme") + "\n");
    testsupport::WaitUntil([&] { return server.Transcript(mark) == expected; });
    EXPECT_EQ(server.Transcript(mark), expected);

    EXPECT_EQ(Folders(""), (std::vector<std::string>{Remote("shared"), Remote("www"), Remote("資料 2024")}));
    EXPECT_EQ(Folders("www/public_html"), std::vector<std::string>{Remote("www/public_html/sub")});
    EXPECT_EQ(Folders("資料 2024"), std::vector<std::string>{Remote("資料 2024/画像 一覧")});
    EXPECT_EQ(Folders("www/files_only"), std::vector<std::string>{});

    FolderListing empty = picker.ListFolders(Remote("www/empty"));
    EXPECT_FALSE(empty.ok);
    EXPECT_EQ(empty.error, inet::ERROR_NO_MORE_FILES);
    FolderListing missing = picker.ListFolders(Remote("www/missing"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, inet::ERROR_INTERNET_EXTENDED_ERROR);
}

INSTANTIATE_TEST_SUITE_P(Servers, PickerOn,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd,
                                           FtpServer::Kind::Proftpd),
                         testsupport::KindName);

// A listing tries at most 100 links with a change of directory; the ones
// after them count as folders untried. vsftpd lists every link as a link.
TEST(Picker, TriesAHundredLinksAndCountsTheRestAsFolders) {
    FtpServer server(FtpServer::Kind::Vsftpd);
    testsupport::WriteFile(server.Local("file.txt"), "f");
    fs::create_directories(server.Local("links"));
    for (int i = 0; i < 102; ++i) fs::create_symlink("../file.txt", server.Local("links/l" + std::to_string(100 + i)));
    DirectoryPicker picker;
    picker.Login("127.0.0.1", server.user(), server.password(), server.port());
    std::size_t mark = server.Commands().size();
    FolderListing listing = picker.ListFolders(server.home() + "/links");
    ASSERT_TRUE(listing.ok);
    EXPECT_EQ(listing.folders,
              (std::vector<std::string>{server.home() + "/links/l200", server.home() + "/links/l201"}));
    std::vector<std::string> commands = server.Commands();
    EXPECT_EQ(std::count_if(commands.begin() + static_cast<std::ptrdiff_t>(mark), commands.end(),
                            [](const std::string& c) { return c.starts_with("CWD ") && c.find("/links/l") != c.npos; }),
              100);
}

// A port outside 0..65535 fails as a connection that cannot be made, before
// anything is sent; before a login nothing can be listed.
TEST(Picker, RefusesWhatItCannotAsk) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    DirectoryPicker picker;
    for (int port : {-1, 65536}) {
        try {
            picker.Login("127.0.0.1", server.user(), server.password(), port);
            ADD_FAILURE() << port << " was taken";
        } catch (const inet::InternetException& e) {
            EXPECT_EQ(e.Code(), inet::ERROR_INTERNET_CANNOT_CONNECT) << port;
        }
    }
    EXPECT_FALSE(picker.LoggedIn());
    EXPECT_EQ(picker.ListFolders("/").error, inet::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(server.Commands().empty());
}

// Stop from another thread ends a listing the server never answers at once (the client's own timeouts are a minute),
// and nothing works after it. (A login it never answers: FtpDirDialog.ClosingDuringASilentLoginEndsAtOnce.)
TEST(Picker, StopFromAnotherThreadEndsTheListingUnderWay) {
    FtpServer server(FtpServer::Kind::Fault, "silent");  // answers the login and nothing after it
    DirectoryPicker picker;
    picker.Login("127.0.0.1", "parvex", "secret", server.port());
    std::atomic<bool> done{false};
    FolderListing found;
    std::thread worker([&] {
        found = picker.ListFolders("/");
        done = true;
    });
    // Not a measurement: the call gets under way meanwhile, and must still be waiting.
    testsupport::WaitUntil([&] { return done.load(); }, 300);
    EXPECT_FALSE(done) << "the call ended without an answer";
    picker.Stop();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return done.load(); }, 5000));
    worker.join();
    EXPECT_FALSE(found.ok);
    EXPECT_EQ(found.error, inet::ERROR_INTERNET_OPERATION_CANCELLED);
    EXPECT_FALSE(picker.ListFolders("/").ok);
}

}  // namespace
