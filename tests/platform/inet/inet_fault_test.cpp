// The client against a server that misbehaves on purpose: each fault ends
// in its documented error code, promptly, with nothing left hanging.
#include "platform/inet/inet.h"
#include "tests/support/ftp_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace inet;
using testsupport::FtpServer;

namespace {

struct Faulty {
    FtpServer server;
    InternetSession session;
    testsupport::TempDir local;
    explicit Faulty(const char* scenario) : server(FtpServer::Kind::Fault, scenario) {}
    FtpConnection* Connect(Timeouts t = {}) {
        return session.GetFtpConnection("127.0.0.1", "parvex", "secret", static_cast<std::uint16_t>(server.port()),
                                        false, t);
    }
    // The code a failed connect throws; 0 when it connects.
    DWORD ConnectError() {
        try {
            Connect();
        } catch (const InternetException& e) {
            return e.Code();
        }
        return 0;
    }
};

// The names, folders marked with "/", of every entry FindFile found.
std::vector<std::string> Listed(FtpFileFind& find) {
    std::vector<std::string> names;
    for (bool more = true; more;) {
        more = find.FindNextFile();
        names.push_back(find.GetFileName() + (find.IsDirectory() ? "/" : ""));
    }
    return names;
}

TEST(FtpFaults, AnActiveDataPortTakesOnlyTheServersHost) {
    Faulty f("port-thief");  // 127.0.0.2 connects to our data port before the server does
    Timeouts t;
    t.reply = std::chrono::seconds(5);
    FtpConnection* c = f.Connect(t);
    testsupport::WriteFile(f.local / "page.html", std::string(5000, 'p'));
    EXPECT_TRUE(c->PutFile(f.local / "page.html", "page.html"));
    EXPECT_EQ(GetLastResponseInfo(), "226 stored 5000 bytes; 127.0.0.2 got 0");
}

TEST(FtpFaults, ADroppedTransferAndA421EndInErrorsNotHangs) {
    {
        Faulty f("drop-transfer");
        FtpConnection* c = f.Connect();
        testsupport::WriteFile(f.local / "big", std::string(8 << 20, 'b'));
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(c->PutFile(f.local / "big", "big"));
        DWORD e = GetLastInternetError();
        EXPECT_TRUE(e == ERROR_INTERNET_CONNECTION_ABORTED || e == ERROR_INTERNET_CONNECTION_RESET) << e;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(c->SetCurrentDirectory("/"));
    }
    {
        Faulty f("421");
        FtpConnection* c = f.Connect();
        EXPECT_FALSE(c->SetCurrentDirectory("/"));
        EXPECT_EQ(GetLastInternetError(), ERROR_INTERNET_EXTENDED_ERROR);
        EXPECT_EQ(GetLastResponseInfo().substr(0, 3), "421");
        EXPECT_FALSE(c->IsOpen());
        EXPECT_FALSE(c->CreateDirectory("x"));
        EXPECT_EQ(GetLastInternetError(), ERROR_INTERNET_CONNECTION_ABORTED);
    }
}

TEST(FtpFaults, ClosingTheSessionStopsAConnectThatWaitsForTheGreeting) {
    Faulty f("no-greeting");
    auto start = std::chrono::steady_clock::now();
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        f.session.Close();
    });
    EXPECT_EQ(f.ConnectError(), ERROR_INTERNET_OPERATION_CANCELLED);
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(f.ConnectError(), ERROR_INTERNET_OPERATION_CANCELLED) << "a closed session hands out no more";
}

TEST(FtpFaults, OverlongLinesAndGarbageListingsAreSurvived) {
    EXPECT_TRUE(Faulty("long-line").Connect()->IsOpen());  // a 1 MiB greeting line with Telnet bytes in it
    Faulty f("garbage-list");
    FtpConnection* c = f.Connect();
    FtpFileFind find(c);
    ASSERT_TRUE(find.FindFile("*.*"));
    EXPECT_EQ(Listed(find), (std::vector<std::string>{"good dir/", "file.txt", "dosdir/"}));
}

// The commands the listing scenarios report in their 226 to LIST, PORT's and PASV's without their addresses.
std::vector<std::string> Received(const std::string& reply) {
    std::vector<std::string> out;
    std::size_t at = reply.find("received: ");
    if (at == std::string::npos) return out;
    std::string rest = reply.substr(at + 10);
    for (std::size_t start = 0; start <= rest.size();) {
        std::size_t bar = std::min(rest.find('|', start), rest.size());
        std::string cmd = rest.substr(start, bar - start);
        if (cmd.rfind("PORT ", 0) == 0) cmd = "PORT";
        out.push_back(cmd);
        start = bar + 1;
    }
    return out;
}

TEST(FtpFaults, AServerThatRefusesMlsdIsListedWithListFromThenOn) {
    for (bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        Faulty f("refuse-mlsd");  // offers MLST, answers MLSD with 500
        FtpConnection* c = f.session.GetFtpConnection("127.0.0.1", "parvex", "secret",
                                                      static_cast<std::uint16_t>(f.server.port()), passive);
        const std::string data = passive ? "PASV" : "PORT";
        FtpFileFind find(c);
        ASSERT_TRUE(find.FindFile("*.*")) << GetLastInternetError();
        EXPECT_EQ(Listed(find), (std::vector<std::string>{"file.txt", "dir/"}));
        EXPECT_EQ(Received(GetLastResponseInfo()),
                  (std::vector<std::string>{"USER parvex", "FEAT", "TYPE A", data, "MLSD", data, "LIST"}));
        ASSERT_TRUE(find.FindFile("sub/*.*"));
        EXPECT_EQ(Received(GetLastResponseInfo()),
                  (std::vector<std::string>{"USER parvex", "FEAT", "TYPE A", data, "MLSD", data, "LIST", data, "LIST sub"}));
    }
}

TEST(FtpFaults, AListingWithNoLineWeCanReadIsAnErrorNotAnEmptyFolder) {
    const struct {
        const char* scenario;
        DWORD error;
    } rows[] = {{"unreadable-list", ERROR_FTP_LISTING_UNREADABLE},
                {"total-only-list", ERROR_NO_MORE_FILES},  // "total 0" and a blank line: an empty folder
                {"refuse-stor", ERROR_NO_MORE_FILES}};     // sends no listing at all
    for (const auto& r : rows) {
        SCOPED_TRACE(r.scenario);
        Faulty f(r.scenario);
        FtpFileFind find(f.Connect());
        EXPECT_FALSE(find.FindFile("*.*"));
        EXPECT_EQ(GetLastInternetError(), r.error);
    }
}

// The browser sends a listed name back as it came: every byte must survive the line split and the parse. A name with
// NUL is listed, but no command can carry it, so it is refused before anything is sent.
TEST(FtpFaults, ListedNamesKeepTheServersBytes) {
    Faulty f("raw-names");
    FtpConnection* c = f.Connect();
    FtpFileFind find(c);
    ASSERT_TRUE(find.FindFile("*.*"));
    const std::string nul("cut.txt\0.exe", 12);  // fnmatch on its C string would see "cut.txt"
    EXPECT_EQ(Listed(find), (std::vector<std::string>{"\x93\xfa\x96\x7b.txt", "bad\xff\xfe.txt", "cr\rinside",
                                                      "cr at end\r", nul, "spaces after  "}));
    EXPECT_FALSE(c->Remove(nul));
    EXPECT_EQ(GetLastInternetError(), ERROR_INVALID_NAME);
    ASSERT_TRUE(find.FindFile("*.txt"));
    EXPECT_EQ(Listed(find), (std::vector<std::string>{"\x93\xfa\x96\x7b.txt", "bad\xff\xfe.txt"}));
    std::vector<std::string> sent = Received(GetLastResponseInfo());
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const std::string& s) { return s.rfind("DELE", 0) == 0; }), 0);
}

}  // namespace
