// The FTP client against real servers of two families (pyftpdlib and vsftpd), in active and passive mode.
#include "platform/inet/inet.h"
#include "tests/support/ftp_server.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <thread>

using namespace inet;
using testsupport::FtpServer;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

struct Setup {
    FtpServer::Kind kind;
    bool passive;
};

std::string Name(const testing::TestParamInfo<Setup>& p) {
    return std::string(p.param.kind == FtpServer::Kind::Vsftpd ? "vsftpd" : "pyftpdlib") +
           (p.param.passive ? "_passive" : "_active");
}

class FtpClient : public testing::TestWithParam<Setup> {
protected:
    FtpServer server{GetParam().kind};
    InternetSession session;
    testsupport::TempDir local;

    FtpConnection* Connect() {
        FtpConnection* c = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                                    static_cast<std::uint16_t>(server.port()), GetParam().passive);
        EXPECT_TRUE(c->SetCurrentDirectory(server.home()));
        return c;
    }
};

TEST_P(FtpClient, DirectoriesAndNames) {
    FtpConnection* c = Connect();
    std::string dir;
    ASSERT_TRUE(c->GetCurrentDirectory(dir));
    EXPECT_EQ(dir, server.home());
    ASSERT_TRUE(c->CreateDirectory("./www"));
    ASSERT_TRUE(c->SetCurrentDirectory("./www"));
    ASSERT_TRUE(c->CreateDirectory("ホームページ"));
    ASSERT_TRUE(c->SetCurrentDirectory("ホームページ"));
    ASSERT_TRUE(c->SetCurrentDirectory("../"));
    ASSERT_TRUE(c->GetCurrentDirectory(dir));
    EXPECT_EQ(dir, (server.home() == "/" ? "" : server.home()) + "/www");

    // A refused command answers false, 12003, and the server's own words.
    EXPECT_FALSE(c->SetCurrentDirectory("no-such-dir"));
    EXPECT_EQ(GetLastInternetError(), ERROR_INTERNET_EXTENDED_ERROR);
    EXPECT_EQ(GetLastResponseInfo().substr(0, 3), "550") << GetLastResponseInfo();

    struct stat st {};
    // CR, LF or NUL in a name is refused before anything goes out: had the
    // line gone out, the server would have run DELE as a command of its own.
    WriteFile(server.Local("www/victim.txt"), "keep");
    WriteFile(local / "a", "x");
    const std::string bad[] = {"a\r\nDELE victim.txt", "a\nDELE victim.txt", std::string("a\0DELE victim.txt", 17)};
    for (const std::string& name : bad) {
        EXPECT_FALSE(c->PutFile(local / "a", name));
        EXPECT_EQ(GetLastInternetError(), ERROR_INVALID_NAME);
        EXPECT_FALSE(c->CreateDirectory(name));
        EXPECT_EQ(GetLastInternetError(), ERROR_INVALID_NAME);
        EXPECT_FALSE(c->SetCurrentDirectory(name));
        EXPECT_FALSE(c->Rename("ホームページ", name));
        EXPECT_FALSE(c->Remove(name));
        EXPECT_EQ(GetLastInternetError(), ERROR_INVALID_NAME);
    }
    EXPECT_EQ(ReadFile(server.Local("www/victim.txt")), "keep");
    EXPECT_NE(stat(server.Local("www/a").c_str(), &st), 0);
    ASSERT_TRUE(c->GetCurrentDirectory(dir));  // the connection is still in step

    ASSERT_TRUE(c->Rename("ホームページ", "site"));
    ASSERT_TRUE(c->RemoveDirectory("site"));
    EXPECT_NE(stat(server.Local("www/site").c_str(), &st), 0);
    EXPECT_FALSE(c->RemoveDirectory("site"));
}

// Binary bytes both ways, every byte value: FtpOverTlsServers.ListsAndTransfersEncryptedInBothModes (the same transfer
// code under TLS) and the walkers' binary uploads.
TEST_P(FtpClient, TextTransfersAndTheirFailures) {
    FtpConnection* c = Connect();
    WriteFile(local / "page.html", "line one\nline two\r\nend\n");
    ASSERT_TRUE(c->PutFile(local / "page.html", "page.html", FTP_TRANSFER_TYPE_ASCII));
    // vsftpd stores the bytes as they came, so it shows the wire format;
    // pyftpdlib turns CRLF back into its own line ends.
    const bool wire = server.kind() == FtpServer::Kind::Vsftpd;
    EXPECT_EQ(ReadFile(server.Local("page.html")), wire ? "line one\r\nline two\r\nend\r\n"
                                                        : "line one\nline two\nend\n");

    WriteFile(server.Local("crlf.txt"), "a\r\nb\r\n");
    ASSERT_TRUE(c->GetFile("crlf.txt", local / "crlf.txt", true, FTP_TRANSFER_TYPE_ASCII));
    EXPECT_EQ(ReadFile(local / "crlf.txt"), "a\nb\n");
    EXPECT_FALSE(c->GetFile("crlf.txt", local / "crlf.txt", true));
    EXPECT_EQ(GetLastInternetError(), ERROR_FILE_EXISTS);

    EXPECT_FALSE(c->GetFile("missing.bin", local / "missing.bin", false));
    EXPECT_EQ(GetLastInternetError(), ERROR_INTERNET_EXTENDED_ERROR);
    struct stat st {};
    EXPECT_NE(stat((local / "missing.bin").c_str(), &st), 0) << "a failed download leaves no file";
    EXPECT_FALSE(c->PutFile(local / "nothing-here", "x"));

    ASSERT_TRUE(c->Remove("page.html"));
    EXPECT_FALSE(c->Remove("page.html"));
}

// A listed name is the string to send back: leading and double spaces, a ";" and (on vsftpd, which lists names as
// bytes) Shift_JIS must come out of the listing such that RETR finds the file.
TEST_P(FtpClient, FindListsEntriesWithPathsSizesAndKindsAndNamesThatFetchTheirOwnFiles) {
    FtpConnection* c = Connect();
    ::mkdir(server.Local("img").c_str(), 0777);
    ::mkdir(server.Local("empty").c_str(), 0777);
    WriteFile(server.Local("index.html"), "12345");
    std::vector<std::string> names = {"  lead  and  inner.txt", "semi;colon.txt", "日本語 名前.txt"};
    if (server.kind() == FtpServer::Kind::Vsftpd) names.push_back("sjis_\x93\xfa\x96\x7b.txt");
    for (const std::string& name : names) WriteFile(server.Local("img/" + name), "<" + name + ">");

    FtpFileFind find(c);
    ASSERT_TRUE(find.FindFile("*.*"));
    std::map<std::string, std::pair<bool, std::uint64_t>> seen;
    std::string anyPath;
    for (bool more = true; more;) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        seen[find.GetFileName()] = {find.IsDirectory(), find.GetLength()};
        if (find.GetFileName() == "index.html") anyPath = find.GetFilePath();
        EXPECT_GT(find.GetLastWriteTime(), 0) << find.GetFileName();
    }
    EXPECT_EQ(GetLastInternetError(), ERROR_NO_MORE_FILES);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen["img"].first);
    EXPECT_FALSE(seen["index.html"].first);
    EXPECT_EQ(seen["index.html"].second, 5u);
    const std::string home = server.home() == "/" ? "" : server.home();
    EXPECT_EQ(anyPath, home + "/index.html");

    const std::string img = home + "/img";
    ASSERT_TRUE(find.FindFile(img + "/*.*"));
    std::vector<std::string> listed, paths, expectedPaths;
    for (bool more = true; more;) {
        more = find.FindNextFile();
        listed.push_back(find.GetFileName());
        paths.push_back(find.GetFilePath());
    }
    ASSERT_TRUE(c->SetCurrentDirectory(img));
    for (const std::string& name : listed) {
        ASSERT_TRUE(c->GetFile(name, local / "got", false)) << name;
        EXPECT_EQ(ReadFile(local / "got"), "<" + name + ">");
        std::remove((local / "got").c_str());
    }
    std::sort(listed.begin(), listed.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(listed, names);
    for (const std::string& name : names) expectedPaths.push_back(img + "/" + name);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, expectedPaths);

    EXPECT_FALSE(find.FindFile(home + "/empty/*.*"));
    EXPECT_EQ(GetLastInternetError(), ERROR_NO_MORE_FILES);
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpClient,
                         testing::Values(Setup{FtpServer::Kind::Pyftpdlib, false},
                                         Setup{FtpServer::Kind::Pyftpdlib, true},
                                         Setup{FtpServer::Kind::Vsftpd, false}, Setup{FtpServer::Kind::Vsftpd, true}),
                         Name);

TEST(FtpConnect, FailuresRaiseTheDocumentedCodes) {
    InternetSession session;
    auto code = [&](const std::string& host, std::uint16_t port, const std::string& pass,
                    const std::string& user = "parvex") {
        try {
            Timeouts t;
            t.connect = std::chrono::milliseconds(2000);
            session.GetFtpConnection(host, user, pass, port, false, t);
        } catch (const InternetException& e) {
            EXPECT_FALSE(e.ErrorMessage().empty());
            return e.Code();
        }
        return DWORD{0};
    };
    EXPECT_EQ(code("no-such-host.invalid", 21, "x"), ERROR_INTERNET_NAME_NOT_RESOLVED);
    int closed = 0;
    {
        FtpServer gone(FtpServer::Kind::Pyftpdlib);
        closed = gone.port();
    }
    EXPECT_EQ(code("127.0.0.1", static_cast<std::uint16_t>(closed), "x"), ERROR_INTERNET_CANNOT_CONNECT);
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    const auto port = static_cast<std::uint16_t>(server.port());
    EXPECT_EQ(code("127.0.0.1", port, "wrong"), ERROR_INTERNET_LOGIN_FAILURE);
    EXPECT_EQ(code("127.0.0.1", port, "secret"), DWORD{0});
    // A line break in the user name or password would log in and run MKD.
    EXPECT_EQ(code("127.0.0.1", port, "secret", "parvex\r\nPASS secret\r\nMKD u"), ERROR_INVALID_NAME);
    EXPECT_EQ(code("127.0.0.1", port, "secret\r\nMKD p"), ERROR_INVALID_NAME);
    EXPECT_EQ(code("127.0.0.1", port, std::string("secret\0MKD n", 12)), ERROR_INVALID_NAME);
    struct stat st {};
    for (const char* dir : {"u", "p", "n"}) EXPECT_NE(stat(server.Local(dir).c_str(), &st), 0) << dir;
}

// Where nothing but loopback exists (the probe's own network namespace): a name server that never answers holds a
// connect no longer than its limit, and Close from another thread ends it at once; a PASV reply naming a foreign host
// sends the data to the server we reached, not there.
TEST(FtpIsolatedNetwork, LookupsEndOnTimeAndPassiveDataStaysWithTheServer) {
    testsupport::TempDir work;
    testsupport::RunResult r = testsupport::RunProgram({INET_ISOLATED_PROBE, work.path()});
    if (r.exitCode == 77) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.exitCode, 0) << r.err << (r.exitCode == 128 + SIGALRM ? "a lookup hung for 20 s" : "");
    DWORD timeoutCode = 0, closeCode = 0;
    long long timeoutMs = -1, closeMs = -1;
    int asked = 0;
    char pasv[128] = "";
    ASSERT_EQ(std::sscanf(r.out.c_str(), "timeout %u %lld\nclose %u %lld\nasked %d\npasv %127[^\n]", &timeoutCode,
                          &timeoutMs, &closeCode, &closeMs, &asked, pasv), 6) << r.out;
    EXPECT_EQ(asked, 1) << "the probe never asked the silent name server";
    EXPECT_EQ(timeoutCode, ERROR_INTERNET_NAME_NOT_RESOLVED) << r.out;
    EXPECT_GE(timeoutMs, 450);
    EXPECT_LT(timeoutMs, 2000);
    EXPECT_EQ(closeCode, ERROR_INTERNET_OPERATION_CANCELLED) << r.out;
    EXPECT_LT(closeMs, 500) << "Close took this long to end the lookup";
    EXPECT_STREQ(pasv, "1 0 226 stored 5000 bytes");
}

}  // namespace
