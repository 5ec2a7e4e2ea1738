// Real FTP servers on 127.0.0.1 for tests (pyftpdlib, vsftpd, proftpd, our scripted misbehaving server), each with a
// fresh temporary root, stopped when the object goes away; the constructor throws unless the server accepts within
// 30 s. proftpd, whose package conflicts with vsftpd's, runs unpacked from PARVEX_PROFTPD_ROOT (else
// build-proftpd/root in the source tree), which scripts/deps.sh --proftpd fills.
#pragma once

#include "tests/support/test_support.h"

#include <netinet/in.h>

#include <string>
#include <vector>

namespace testsupport {

// An ephemeral port on 127.0.0.1 that nobody listens on right now.
int FreePort();
// The socket address of `port` on 127.0.0.1 (0: any port).
sockaddr_in Loopback(int port);

class FtpServer {
public:
    // The *Tls kinds demand explicit TLS for logins and data, with a certificate for 127.0.0.1 from a test authority of
    // their own (caFile()); vsftpd and proftpd also demand the control connection's session on every data connection.
    // FaultTls runs the fault scenarios inside TLS.
    enum class Kind { Pyftpdlib, Vsftpd, Fault, Proftpd, VsftpdTls, PyftpdlibTls, ProftpdTls, FaultTls };

    // For Kind::Fault and FaultTls, `scenario` names the misbehaviour (see fault_ftpd.py);
    // `options` go to the pyftpdlib script (for instance "--read-limit", "4096"), or are lines added to vsftpd's
    // configuration (for instance "max_per_ip=2").
    explicit FtpServer(Kind kind, const std::string& scenario = "", const std::vector<std::string>& options = {});
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    int port() const { return port_; }
    // The folder served as "/" (vsftpd: its writable "pub" lies below it).
    const std::string& root() const { return root_; }
    // User and password that log in (vsftpd: anonymous; proftpd: a user of its own password file).
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    // The writable folder as the server names it: "/" (pyftpdlib), ROOT/pub (vsftpd) or ROOT (proftpd).
    const std::string& home() const { return home_; }
    // Local path of a file the server holds at `remote` below home().
    std::string Local(const std::string& remote) const;
    Kind kind() const { return kind_; }
    // The make of server a kind runs, with or without TLS (VsftpdTls: Vsftpd).
    static Kind Make(Kind kind);
    // The test authority's certificate (PEM) for the *Tls kinds; empty otherwise.
    const std::string& caFile() const { return caFile_; }
    const char* name() const { return NameOf(kind_); }
    // "pyftpdlib", "vsftpd", "proftpd" or "fault", with "_tls" after it for the *Tls kinds.
    static const char* NameOf(Kind kind);
    // The commands the server received so far, in order, each as "VERB argument"
    // (pyftpdlib, vsftpd and proftpd keep a log of them; the fault server none). With `bySession` (all but the
    // fault server), each is "SESSION\tVERB argument", SESSION telling the connection it came on.
    std::vector<std::string> Commands(bool bySession = false) const;
    // Commands() from the `from`-th on as a table, each ending in LF, the data port that changes with every run
    // written as "*" ("PORT 127,0,0,1,*", "EPRT |2|::1|*|"); for comparing with a written-out table.
    std::string Transcript(std::size_t from = 0) const;

private:
    // Waits for the spawned server to accept connections. False when it ended at its start and this is not the last
    // try (its port was taken); throws when it ended on the last try or never started.
    bool WaitStarted(const std::string& portFile, bool lastTry);
    Kind kind_;
    TempDir dir_;
    std::string caFile_;
    std::string root_, user_, password_, home_, log_;
    int port_ = 0;
    int pid_ = -1;
};

// The server's name as the name of a test instantiated on a server kind
// (the last argument of INSTANTIATE_TEST_SUITE_P).
inline constexpr auto KindName = [](const auto& info) { return std::string(FtpServer::NameOf(info.param)); };

}  // namespace testsupport
