// Uploads over several connections at once, against real servers: what
// arrives, which connection sent what (from the server's log), a server that
// allows fewer connections, an abort, and a file failing on another connection.
#include "browser/core/operations.h"
#include "transfer/menu_upload.h"
#include "transfer/upload_walker.h"

#include "common/registry/layout.h"
#include "common/walk/transfer_mode.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

using namespace transfer;
using namespace transfertest;
namespace fs = std::filesystem;
using testsupport::FtpServer;
using testsupport::WriteFile;

namespace {

// A command of the server's log with the connection it came on.
struct Logged {
    std::string session, verb, argument;
};

std::vector<Logged> Log(const FtpServer& server, std::size_t from = 0) {
    std::vector<Logged> out;
    const std::vector<std::string> lines = server.Commands(true);
    for (std::size_t i = from; i < lines.size(); ++i) {
        const std::size_t tab = lines[i].find('\t'), space = lines[i].find(' ', tab);
        out.push_back({lines[i].substr(0, tab), lines[i].substr(tab + 1, space - tab - 1),
                       space == std::string::npos ? "" : lines[i].substr(space + 1)});
    }
    return out;
}

std::set<std::string> SessionsWith(const std::vector<Logged>& log, const std::string& verb) {
    std::set<std::string> sessions;
    for (const auto& c : log)
        if (c.verb == verb) sessions.insert(c.session);
    return sessions;
}

// Connections from this process to `port` on 127.0.0.1 that are still established.
int Established(int port) {
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    std::getline(tcp, line);
    int n = 0;
    char remote[64];
    for (unsigned state = 0; std::getline(tcp, line);) {
        if (std::sscanf(line.c_str(), "%*d: %*s %63s %x", remote, &state) != 2) continue;
        const char* colon = std::strchr(remote, ':');
        if (colon && std::strtol(colon + 1, nullptr, 16) == port && state == 1) ++n;
    }
    return n;
}

class Parallel : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    RecordingDisplay display;
    std::string site = local / "site";
    int files = 0, items = 1;

    static void SetOption(const char* name, winreg::DWORD value) {
        SettingKey options;
        options.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
        options.WriteDword(name, value);
    }
    // Folders of distinct names, some nested, each with files of their own sizes.
    void MakeTree(int perFolder) {
        for (const char* dir : {"", "alpha", "beta", "beta/gamma", "beta/gamma/delta", "epsilon"}) {
            fs::create_directories(site + "/" + dir);
            items += *dir ? 1 : 0;
            for (int k = 0; k < perFolder; ++k, ++files, ++items)
                WriteFile(site + "/" + dir + "/f" + std::to_string(k) + ".bin",
                          std::string(static_cast<std::size_t>(100 * k + files), static_cast<char>('a' + k)));
        }
    }
    void Upload(const FtpServer& server, const std::string& root) {
        display.Clear();
        WriteEntry("Home", "site", server, root);
        WriteHandOff("Home", "site", {site});
        MenuUpload(display, [](int) {}).Run();
    }
    std::vector<std::string> Statuses() {
        std::vector<std::string> out;
        for (const auto& e : display.Events())
            if (e.rfind("status:", 0) == 0) out.push_back(e.substr(7));
        return out;
    }
    int Steps() { return static_cast<int>(std::ranges::count(display.Events(), std::string("stepit"))); }
};

// Four connections, sending changed files only: everything arrives, only the walk's own connection makes
// folders, every other one enters a folder only after it was made, and more than one sends; the counts are
// exact, and so is the record (its times set by MFMT where the server has it). Sent again unchanged, nothing
// goes and no other connection is opened.
TEST_F(Parallel, FourConnectionsSendATreeFoldersFirstAndItsRecordSparesTheNextRun) {
    SetOption(layout::kConnections, 4);
    SetOption(layout::kSendChangedOnly, 1);
    MakeTree(6);
    for (const FtpServer::Kind kind : {FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Proftpd, FtpServer::Kind::Vsftpd}) {
        FtpServer server(kind);
        SCOPED_TRACE(server.name());
        // Entered by relative names: the other connections still go by the absolute path the server gave.
        const std::string root = kind == FtpServer::Kind::Vsftpd ? "pub/www" : "www";
        fs::create_directories(server.Local("www"));
        Upload(server, root);
        ExpectSameFiles(site, server.Local("www/site"));
        EXPECT_EQ(Statuses().back(), "ファイル転送完了しました。" + ChangedOnlyText(files, 0));
        EXPECT_EQ(Steps(), items);

        const std::vector<Logged> log = Log(server);
        EXPECT_EQ(SessionsWith(log, "MKD").size(), 1u);
        EXPECT_GE(SessionsWith(log, "STOR").size(), 2u);
        const std::string walker = *SessionsWith(log, "MKD").begin();
        int entered = 0;
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].session == walker || log[i].verb != "CWD") continue;
            const std::string made = "./" + fs::path(log[i].argument).filename().string();
            const auto mkd = std::find_if(log.begin(), log.end(), [&](const Logged& c) {
                return c.verb == "MKD" && c.argument == made;
            });
            EXPECT_LT(mkd - log.begin(), static_cast<std::ptrdiff_t>(i)) << log[i].argument;
            ++entered;
        }
        EXPECT_GT(entered, 0);
        // Each file's time is set right after it went, on its own connection; the answers, read with the next
        // command, all count: no directory is listed again after the walk to learn what the server made of a file.
        const bool mfmt = kind != FtpServer::Kind::Vsftpd;
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i].verb != "STOR") continue;
            const auto next = std::find_if(log.begin() + static_cast<std::ptrdiff_t>(i) + 1, log.end(),
                                           [&](const Logged& c) { return c.session == log[i].session; });
            const bool stamped = next != log.end() && next->verb == "MFMT" &&
                                 next->argument.ends_with(" " + log[i].argument);
            EXPECT_EQ(stamped, mfmt) << log[i].argument;
        }
        const auto firstStor = std::find_if(log.begin(), log.end(), [](const Logged& c) { return c.verb == "STOR"; });
        const bool relisted = std::any_of(firstStor, log.end(), [](const Logged& c) {
            return c.verb == "MLSD" || c.verb == "LIST";
        });
        EXPECT_EQ(relisted, !mfmt);

        const std::size_t mark = server.Commands().size();
        Upload(server, root);
        EXPECT_EQ(Statuses().back(), "ファイル転送完了しました。" + ChangedOnlyText(0, files));
        EXPECT_EQ(Steps(), items);
        EXPECT_TRUE(SessionsWith(Log(server, mark), "STOR").empty());
        EXPECT_EQ(SessionsWith(Log(server, mark), "USER").size(), 1u);
    }
}

// A store without the option sends over one connection, as always; asked for four where the server allows two
// from one address, the refused logins are no failure and everything arrives.
TEST_F(Parallel, OneConnectionUnlessAskedAndNoMoreThanTheServerAllows) {
    MakeTree(4);
    FtpServer server(FtpServer::Kind::Vsftpd, "", {"max_per_ip=2"});
    Upload(server, server.home());
    ExpectSameFiles(site, server.Local("site"));
    EXPECT_EQ(SessionsWith(Log(server), "STOR").size(), 1u);

    SetOption(layout::kConnections, 4);
    fs::remove_all(server.Local("site"));
    const std::size_t mark = server.Commands().size();
    Upload(server, server.home());
    ExpectSameFiles(site, server.Local("site"));
    EXPECT_EQ(Statuses().back(), "ファイル転送完了しました");
    EXPECT_EQ(Steps(), items);
    EXPECT_LE(SessionsWith(Log(server, mark), "STOR").size(), 2u);
}

// Over TLS with a certificate the user is asked to trust: the other connections use the trust given once.
TEST_F(Parallel, TheOthersLogInOverTlsWithTheCertificateTrustedOnce) {
    SetOption(layout::kConnections, 4);
    MakeTree(4);
    FtpServer server(FtpServer::Kind::VsftpdTls);
    SettingKey entry;
    entry.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("Home", "site"));
    entry.WriteDword(layout::kEncryption, 2);
    entry.CloseKey();
    display.trust = [](const inet::CertificateInfo&, const inet::Security&) { return true; };
    Upload(server, server.home());
    ExpectSameFiles(site, server.Local("site"));
    EXPECT_EQ(std::ranges::count(display.Events(), std::string("asked:127.0.0.1")), 1);
    EXPECT_GE(SessionsWith(Log(server), "STOR").size(), 2u);
}

// A server that ends the other sessions after a file each (as it ends sessions left idle): their files go over
// the connections left, and the walk completes.
TEST_F(Parallel, ConnectionsTheServerEndsHandTheirFilesBack) {
    SetOption(layout::kConnections, 4);
    MakeTree(4);
    FtpServer server(FtpServer::Kind::Fault, "drop-later");
    Upload(server, "");
    EXPECT_EQ(Statuses().back(), "ファイル転送完了しました");
    EXPECT_EQ(Steps(), items);
}

// The remote browser's upload, handed an open connection and how to log in like it, sends over four as well.
TEST_F(Parallel, TheBrowsersUploadOpensTheOthersFromItsLogin) {
    class Progress : public brovin::Progress {
        void Status(int, const std::string&) override {}
        void SetRange(int) override {}
        void Step() override { ++steps; }
        bool Aborted() override { return false; }
        void ErrorBox(inet::DWORD) override {}

    public:
        int steps = 0;
    } progress;
    SetOption(layout::kConnections, 4);
    MakeTree(4);
    FtpServer server(FtpServer::Kind::Vsftpd);
    transfer::Login login;
    login.server = "127.0.0.1";
    login.user = server.user();
    login.password = server.password();
    login.port = static_cast<std::uint16_t>(server.port());
    inet::InternetSession session;
    inet::FtpConnection* conn = session.GetFtpConnection(login.server, login.user, login.password, login.port);
    ASSERT_TRUE(conn->SetCurrentDirectory(server.home()));
    ASSERT_EQ(brovin::WriteUploadHandOff("Home", "k", {site}), winreg::ERROR_SUCCESS);
    EXPECT_EQ(brovin::UploadWalk(conn, "Home", "k", progress, login), brovin::Outcome::Completed);
    ExpectSameFiles(site, server.Local("site"));
    EXPECT_EQ(progress.steps, items);
    EXPECT_GE(SessionsWith(Log(server), "STOR").size(), 2u);
}

// Stopped while every connection waits in a transfer the server holds back: the walk ends at once, no file
// arrives, no connection is left open once it has returned, and no converted copy is left, queued or under way.
TEST_F(Parallel, StopEndsEveryConnectionAtOnce) {
    class Report : public UploadReport {
        void Skipped(const std::string& text, walk::Skip) override { ADD_FAILURE() << text; }
        void Halted(Halt, const std::string& name, inet::DWORD) override { ADD_FAILURE() << name; }
    } report;
    SetOption(layout::kConnections, 4);
    for (const char* convert : {layout::kCodeConvert, layout::kUploadConvert}) SetOption(convert, 1);
    SetOption(layout::kUploadConvCode, layout::kCodeJis);
    SettingKey options;
    options.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
    options.WriteString(layout::kTextMode, ".bin;");
    options.CloseKey();
    MakeTree(4);
    FtpServer server(FtpServer::Kind::Pyftpdlib, "", {"--stor-delay", "600"});
    UploadWalker walker(report);
    std::string failure;
    inet::FtpConnection* conn = walker.Connect("127.0.0.1", server.user(), server.password(),
                                               static_cast<std::uint16_t>(server.port()), failure);
    ASSERT_NE(conn, nullptr) << failure;
    Outcome outcome = Outcome::Completed;
    std::thread walk([&] { outcome = walker.UploadTree(conn, local.path(), {site}); });
    const bool allWaiting = testsupport::WaitUntil(
        [&] { return std::ranges::count(server.Commands(), std::string("STOR"), [](const std::string& c) {
                         return c.substr(0, 4);
                     }) >= 4; },
        20000);
    walker.Stop();
    walk.join();
    ASSERT_TRUE(allWaiting);
    EXPECT_EQ(outcome, Outcome::Aborted);
    EXPECT_EQ(Established(server.port()), 0);
    EXPECT_FALSE(fs::exists(server.Local("site/f0.bin")));
    EXPECT_TRUE(fs::is_empty(walk::TempCopyFolder()));
}

// The first file always goes to another connection: refused there, it is left out and named as on one
// connection, or the walk halts with that connection's reply from the server.
TEST_F(Parallel, AFileFailingOnAnotherConnectionIsSkippedOrHaltsAsOnOne) {
    SetOption(layout::kConnections, 4);
    fs::create_directories(site);
    WriteFile(site + "/1.bin", "one");
    const struct {
        const char* file;
        FtpServer::Kind kind;
        std::vector<std::string> options;
        std::string last;
        const char* ending;
    } rows[] = {
        {"0😀.bin", FtpServer::Kind::Pyftpdlib, {"--encoding", "cp932"},
         "1 個の項目を送れませんでした(最初: site/0😀.bin)", "ended:failed"},
        {"0.bad", FtpServer::Kind::Vsftpd, {"deny_file={*.bad}"}, "550 Permission denied.", "ended:failed"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        WriteFile(site + "/" + row.file, "x");
        FtpServer server(row.kind, "", row.options);
        Upload(server, server.home());
        EXPECT_EQ(Statuses().back(), row.last);
        const auto events = display.Events();
        EXPECT_NE(std::ranges::find(events, std::string(row.ending)), events.end());
        fs::remove(site + "/" + row.file);
    }
}

}  // namespace
