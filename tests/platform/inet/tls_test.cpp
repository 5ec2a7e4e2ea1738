// FTP over TLS against real servers (vsftpd, proftpd, pyftpdlib) and the fault server misbehaving inside TLS.
#include "platform/inet/inet.h"
#include "tests/support/ftp_server.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <string>
#include <utility>
#include <vector>

using namespace inet;
using testsupport::FtpServer;

namespace {

Security Tls(Encryption encryption, const std::string& caFile = "", std::vector<std::string> trusted = {},
             const std::string& priority = "") {
    return Security{encryption, caFile, std::move(trusted), priority};
}

// The code and text of what a login to 127.0.0.1:`port` throws; {0, ""} when it logs in.
std::pair<DWORD, std::string> Refusal(InternetSession& session, std::uint16_t port, const std::string& user,
                                      const std::string& password, const Timeouts& timeouts, const Security& security) {
    try {
        session.GetFtpConnection("127.0.0.1", user, password, port, false, timeouts, security);
    } catch (const InternetException& e) {
        return {e.Code(), e.ErrorMessage()};
    }
    return {0, ""};
}

// How many TCP sockets of this process hold small writes back (Nagle's algorithm on).
int SocketsWithNagle() {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(e.path().filename().c_str());
        int on = 0;
        socklen_t len = sizeof on;
        if (::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &len) == 0 && on == 0) ++n;
    }
    return n;
}

std::size_t Count(const std::vector<std::string>& commands, const std::string& verb) {
    return static_cast<std::size_t>(std::count_if(commands.begin(), commands.end(), [&](const std::string& c) {
        return c.rfind(verb, 0) == 0;
    }));
}

class FtpOverTlsServers : public testing::TestWithParam<FtpServer::Kind> {};

// Listings and transfers both ways in both modes under TLS 1.3 and 1.2, every data connection resuming the control
// connection's session, and the bytes coming back as they went.
TEST_P(FtpOverTlsServers, ListsAndTransfersEncryptedInBothModes) {
    FtpServer server(GetParam());
    testsupport::TempDir local;
    std::string payload(3u << 20, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>((i * 7919) >> 5);
    testsupport::WriteFile(local / "up.bin", payload);
    for (const auto& [passive, version] : {std::pair{false, "TLS1.3"}, {true, "TLS1.3"}, {false, "TLS1.2"},
                                           {true, "TLS1.2"}}) {
        SCOPED_TRACE(std::string(passive ? "passive " : "active ") + version);
        InternetSession session;
        FtpConnection* c = nullptr;
        try {
            c = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                         static_cast<std::uint16_t>(server.port()), passive, {},
                                         Tls(Encryption::Required, server.caFile(), {},
                                             version == std::string("TLS1.2") ? "NORMAL:-VERS-TLS1.3" : ""));
        } catch (const InternetException& e) {
            FAIL() << e.Code() << " " << e.ErrorMessage();
        }
        EXPECT_EQ(c->TlsVersion(), version);
        ASSERT_TRUE(c->SetCurrentDirectory(server.home()));
        const std::string name = std::string(passive ? "p-" : "a-") + version + ".bin";
        ASSERT_TRUE(c->PutFile(local / "up.bin", name, FTP_TRANSFER_TYPE_BINARY)) << GetLastResponseInfo();
        EXPECT_TRUE(testsupport::ReadFile(server.Local(name)) == payload) << "the server holds what was sent";
        ASSERT_TRUE(c->GetFile(name, local / ("down-" + name), false, FTP_TRANSFER_TYPE_BINARY))
            << GetLastResponseInfo();
        EXPECT_TRUE(testsupport::ReadFile(local / ("down-" + name)) == payload);
        FtpFileFind find(c);
        ASSERT_TRUE(find.FindFile("*.*")) << GetLastInternetError() << " " << GetLastResponseInfo();
        std::vector<std::string> names;
        for (bool more = true; more;) {
            more = find.FindNextFile();
            names.push_back(find.GetFileName());
        }
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
    }
    const std::vector<std::string> commands = server.Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), "AUTH TLS") << "nothing goes before the TLS handshake";
    EXPECT_EQ(Count(commands, "PBSZ 0"), 4u);
    EXPECT_EQ(Count(commands, "PROT P"), 4u);
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpOverTlsServers,
                         testing::Values(FtpServer::Kind::VsftpdTls, FtpServer::Kind::PyftpdlibTls,
                                         FtpServer::Kind::ProftpdTls),
                         testsupport::KindName);

// A certificate the system does not trust is refused, with what the user
// needs to decide about it; trusted by its fingerprint, the login goes on.
TEST(FtpOverTls, AnUntrustedCertificateIsToldAndCanBeTrustedByItsFingerprint) {
    FtpServer server(FtpServer::Kind::VsftpdTls);
    InternetSession session;
    const auto port = static_cast<std::uint16_t>(server.port());
    EXPECT_EQ(Refusal(session, port, server.user(), server.password(), {}, Tls(Encryption::Required)).first,
              ERROR_INTERNET_INVALID_CA)
        << "a certificate of an unknown authority was taken";
    const CertificateInfo seen = GetLastCertificate();
    EXPECT_EQ(seen.sha256.size(), 64u);
    EXPECT_NE(seen.subject.find("127.0.0.1"), std::string::npos) << seen.subject;
    EXPECT_NE(seen.issuer.find("Parvex test CA"), std::string::npos) << seen.issuer;
    EXPECT_LT(seen.notBefore, seen.notAfter);
    EXPECT_EQ(Count(server.Commands(), "USER"), 0u) << "no name or password goes to a server not trusted";

    FtpConnection* c = session.GetFtpConnection("127.0.0.1", server.user(), server.password(), port, true, {},
                                                Tls(Encryption::Required, "", {seen.sha256}));
    EXPECT_FALSE(c->TlsVersion().empty());
    std::string pwd;
    EXPECT_TRUE(c->GetCurrentDirectory(pwd));
}

// Against a server without TLS "required" stops before the user name and names what was refused. ("If offered" goes
// on in plain FTP: Walkers.TlsWhenOfferedGoesOnInPlainFtpAndSaysSo.)
TEST(FtpOverTls, AServerWithoutTlsIsNeverLoggedIntoWhenTlsIsRequired) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    InternetSession session;
    const auto [code, text] = Refusal(session, static_cast<std::uint16_t>(server.port()), server.user(),
                                      server.password(), {}, Tls(Encryption::Required));
    EXPECT_EQ(code, ERROR_INTERNET_EXTENDED_ERROR) << "logged in without TLS";
    EXPECT_EQ(text.rfind("AUTH TLS: ", 0), 0u) << text;
    EXPECT_EQ(Count(server.Commands(), "USER"), 0u) << "the password never went in clear";
}

// A server that answers AUTH TLS with 234 and then speaks no TLS: clear text ends the handshake at once; silence ends
// it at the timeout, or at once when another thread closes the session.
TEST(FtpOverTls, AServerThatSaysYesAndSpeaksNoTlsEndsTheHandshake) {
    {
        FtpServer server(FtpServer::Kind::Fault, "auth-then-plain");
        InternetSession session;
        EXPECT_EQ(Refusal(session, static_cast<std::uint16_t>(server.port()), "parvex", "secret", {},
                          Tls(Encryption::IfOffered))
                      .first,
                  ERROR_INTERNET_SECURITY_CHANNEL_ERROR)
            << "logged in over a handshake that never happened";
    }
    FtpServer silent(FtpServer::Kind::Fault, "auth-then-silent");
    const auto port = static_cast<std::uint16_t>(silent.port());
    Timeouts quick;
    quick.connect = std::chrono::milliseconds(300);
    InternetSession timed;
    EXPECT_EQ(Refusal(timed, port, "parvex", "secret", quick, Tls(Encryption::Required)).first,
              ERROR_INTERNET_TIMEOUT);
    InternetSession closed;
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        closed.Close();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Refusal(closed, port, "parvex", "secret", {}, Tls(Encryption::Required)).first,
              ERROR_INTERNET_OPERATION_CANCELLED);
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Faults inside a TLS session end in their error, promptly, and the connection then reads its own replies (the
// transfer's owed reply is never taken for the next command's answer) or says it is unusable. A download whose TLS
// stream is cut without TLS's own close is an error even when the server says 226, and leaves no file behind. No
// connection waits on Nagle's algorithm: a handshake's last flight would go out some 40 ms late, on every file of a
// tree. No socket outlives its session. (Close during a plain transfer: DravikEnds.AtOnce.)
TEST(FtpOverTls, FaultsInsideTheSessionEndInErrorsPromptlyAndInStep) {
    enum Then { InStep, Unusable };
    const struct {
        const char* scenario;
        const char* call;  // "get", "put" or "cwd"
        bool closeFromAnotherThread;
        std::vector<DWORD> errors;
        Then then;
    } cases[] = {
        {"truncate-retr", "get", false, {ERROR_INTERNET_CONNECTION_RESET, ERROR_INTERNET_CONNECTION_ABORTED}, InStep},
        {"late-226", "put", false, {ERROR_INTERNET_TIMEOUT}, InStep},
        {"drop-data-426", "put", false, {ERROR_INTERNET_CONNECTION_RESET, ERROR_INTERNET_CONNECTION_ABORTED}, InStep},
        {"stall-silent", "put", false, {ERROR_INTERNET_TIMEOUT}, Unusable},
        {"stall-silent", "put", true, {ERROR_INTERNET_OPERATION_CANCELLED}, Unusable},
        {"silent", "cwd", false, {ERROR_INTERNET_TIMEOUT}, Unusable},  // no reply after the login
    };
    testsupport::TempDir local;
    testsupport::WriteFile(local / "big", std::string(64 << 20, 'b'));
    const auto openFds = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto fdsBefore = openFds();
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.scenario) + (k.closeFromAnotherThread ? " closed" : ""));
        FtpServer server(FtpServer::Kind::FaultTls, k.scenario);
        Timeouts t;
        // Only Close may end the closed case; the others end at these limits.
        t.data = k.closeFromAnotherThread ? std::chrono::milliseconds(60000) : std::chrono::milliseconds(300);
        // Also bounds the wait for an owed reply; late-226's comes 1.5 s late.
        t.reply = std::chrono::milliseconds(std::string(k.scenario) == "late-226" ? 2500 : 800);
        InternetSession session;
        FtpConnection* c = session.GetFtpConnection("127.0.0.1", "parvex", "secret",
                                                    static_cast<std::uint16_t>(server.port()), true, t,
                                                    Tls(Encryption::Required, server.caFile()));
        EXPECT_FALSE(c->TlsVersion().empty());
        std::thread closer;
        int nagle = 0;
        if (k.closeFromAnotherThread)
            closer = std::thread([c, &nagle] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                nagle = SocketsWithNagle();  // the control and the data connection are open now
                c->Close();
            });
        const auto start = std::chrono::steady_clock::now();
        const std::string call = k.call;
        const bool ok = call == "get"   ? c->GetFile("big", local / "got", false)
                        : call == "put" ? c->PutFile(local / "big", "big")
                                        : c->SetCurrentDirectory("/");
        const DWORD e = GetLastInternetError();
        if (closer.joinable()) closer.join();
        EXPECT_EQ(nagle, 0);
        EXPECT_FALSE(ok);
        EXPECT_NE(std::find(k.errors.begin(), k.errors.end(), e), k.errors.end()) << e;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.path()), {}), 1)
            << "a failed download left a file (or its temporary one) behind";
        EXPECT_FALSE(c->SetCurrentDirectory("missing"));
        if (k.then == InStep) {
            EXPECT_EQ(GetLastResponseInfo(), "550 missing: No such file or directory.");
            std::string dir;
            EXPECT_TRUE(c->GetCurrentDirectory(dir));
        } else {
            EXPECT_NE(GetLastInternetError(), ERROR_INTERNET_EXTENDED_ERROR);
            EXPECT_FALSE(c->IsOpen());
        }
    }
    EXPECT_EQ(openFds(), fdsBefore) << "a socket or file outlived its session";
}

}  // namespace
