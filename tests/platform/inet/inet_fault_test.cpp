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

// The server answers PASV and PORT only once the next line has come (or after half a second), and says in each
// 226 whether the transfer command came with the set-up. The first set-up of a connection, and the first after a
// set-up failed, goes alone; a refusal in a pipelined exchange leaves the connection usable with the error the
// step-by-step exchange gives; a transfer command the server took while the data connection cannot be made
// gives the connection up at once.
TEST(FtpFaults, TheDataSetUpGoesWithTheTransferCommandOnceItHasWorked) {
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        Faulty f("pipeline");
        Timeouts t;
        t.reply = std::chrono::seconds(20);  // the give-up must not wait for it
        FtpConnection* c = f.session.GetFtpConnection("127.0.0.1", "parvex", "secret",
                                                      static_cast<std::uint16_t>(f.server.port()), passive, t);
        testsupport::WriteFile(f.local / "f", "12345");
        const std::string setup = passive ? "PASV" : "PORT";
        const struct {
            const char* name;
            DWORD error;
            std::string reply;  // the start of the last response info, or for a success its end
        } rows[] = {
            {"a.bin", 0, setup + " alone"},
            {"b.bin", 0, setup + " with STOR"},
            {"refuse.bin", ERROR_INTERNET_EXTENDED_ERROR, "553 Could not create file refuse.bin"},
            {"c.bin", 0, setup + " with STOR"},  // the set-up itself had worked
            {"no-setup.bin", ERROR_INTERNET_EXTENDED_ERROR, "500 " + setup + " refused."},
            {"d.bin", 0, setup + " alone"},
            {"e.bin", 0, setup + " with STOR"},
            {passive ? "dead-port-425.bin" : "no-setup.bin", passive ? ERROR_INTERNET_CANNOT_CONNECT
                                                                     : ERROR_INTERNET_EXTENDED_ERROR,
             passive ? "227 Entering Passive Mode" : "500 PORT refused."},
            {"f.bin", 0, setup + " alone"},
            {passive ? "dead-port.bin" : "no-setup-150.bin", ERROR_INTERNET_CONNECTION_ABORTED, ""},
        };
        for (const auto& r : rows) {
            SCOPED_TRACE(r.name);
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(c->PutFile(f.local / "f", r.name), r.error == 0);
            const std::string reply = GetLastResponseInfo();
            if (r.error == 0) {
                EXPECT_EQ(reply, "226 stored 5 bytes; " + r.reply);
            } else {
                EXPECT_EQ(GetLastInternetError(), r.error);
                EXPECT_EQ(reply.substr(0, r.reply.size()), r.reply);
                EXPECT_EQ(c->IsOpen(), r.error != ERROR_INTERNET_CONNECTION_ABORTED);
            }
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        }
        EXPECT_FALSE(c->SetCurrentDirectory("/"));
        EXPECT_EQ(GetLastInternetError(), ERROR_INTERNET_CONNECTION_ABORTED);
    }
}

// An MFMT whose answer is read after the next command line: each answer goes to its own command, in turn,
// whether it says yes, no, or 421; FinishDeferred leaves none owed, after Close too.
TEST(FtpFaults, DeferredAnswersAreReadInTurn) {
    Faulty f("pipeline");
    FtpConnection* c = f.Connect();
    ASSERT_TRUE(c->CanSetModificationTime());
    testsupport::WriteFile(f.local / "f", "x");
    const std::int64_t when = 1600000000;
    auto a = c->SetModificationTimeDeferred("a.bin", when);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->state, DeferredReply::kOwed);
    EXPECT_TRUE(c->PutFile(f.local / "f", "b.bin"));
    EXPECT_EQ(a->state, DeferredReply::kPositive);
    EXPECT_EQ(GetLastResponseInfo(), "226 stored 1 bytes; PORT alone");
    auto refused = c->SetModificationTimeDeferred("refuse.bin", when);
    auto yes = c->SetModificationTimeDeferred("c.bin", when);  // goes out before the refusal is read
    EXPECT_EQ(refused->state, DeferredReply::kFailed);
    EXPECT_TRUE(c->SetCurrentDirectory("/"));
    EXPECT_EQ(GetLastResponseInfo(), "250 ok");
    EXPECT_EQ(yes->state, DeferredReply::kPositive);
    auto last = c->SetModificationTimeDeferred("d.bin", when);
    EXPECT_TRUE(c->FinishDeferred());
    EXPECT_EQ(last->state, DeferredReply::kPositive);

    auto gone = c->SetModificationTimeDeferred("gone.bin", when);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c->PutFile(f.local / "f", "e.bin"));
    EXPECT_EQ(GetLastResponseInfo().substr(0, 3), "421");
    EXPECT_EQ(gone->state, DeferredReply::kFailed);
    EXPECT_FALSE(c->IsOpen());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    FtpConnection* other = f.Connect();
    auto closed = other->SetModificationTimeDeferred("a.bin", when);
    std::thread([other] { other->Close(); }).join();
    EXPECT_FALSE(other->FinishDeferred());
    EXPECT_EQ(GetLastInternetError(), ERROR_INTERNET_OPERATION_CANCELLED);
    EXPECT_EQ(closed->state, DeferredReply::kFailed);
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
