// Runs the client where nothing but loopback exists: in a network and mount
// namespace of its own, whose only name server is a socket of ours on
// 127.0.0.1 that never answers, and where a scripted server may name a
// foreign address without anything ever leaving the machine.
//   inet_isolated_probe WORK_FOLDER
// Prints one line per check:
//   timeout CODE MS   a connect by name with a 500 ms limit
//   close CODE MS     a connect by name with a 30 s limit, its session closed
//                     from another thread (MS counted from the Close)
//   asked N           whether the silent name server was asked at all
//   pasv OK CODE REPLY a passive upload of 5000 bytes to a server whose PASV
//                     reply names 198.51.100.7, and the server's last reply
// Exits 77 when the namespaces cannot be made.
#include "platform/inet/inet.h"
#include "tests/support/ftp_server.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

int Fail(const char* what) {
    std::fprintf(stderr, "no isolated network to test in (%s: %s)\n", what, std::strerror(errno));
    return 77;
}

inet::DWORD ConnectByName(inet::InternetSession& session, std::chrono::milliseconds limit) {
    inet::Timeouts t;
    t.connect = limit;
    try {
        session.GetFtpConnection("never-answers.parvex.test", "parvex", "secret", 21, false, t);
    } catch (const inet::InternetException& e) {
        return e.Code();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: inet_isolated_probe WORK_FOLDER\n");
        return 2;
    }
    std::string work = argv[1];
    testsupport::WriteFile(work + "/resolv.conf", "nameserver 127.0.0.1\noptions timeout:30 attempts:5\n");
    testsupport::WriteFile(work + "/nsswitch.conf", "hosts: files dns\n");
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) return Fail("unshare");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount((work + "/resolv.conf").c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0 ||
        ::mount((work + "/nsswitch.conf").c_str(), "/etc/nsswitch.conf", nullptr, MS_BIND, nullptr) != 0)
        return Fail("mount");
    int dns = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq lo{};
    std::strcpy(lo.ifr_name, "lo");
    if (::ioctl(dns, SIOCGIFFLAGS, &lo) != 0) return Fail("loopback");
    lo.ifr_flags = static_cast<short>(lo.ifr_flags | IFF_UP);
    if (::ioctl(dns, SIOCSIFFLAGS, &lo) != 0) return Fail("loopback up");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(53);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(dns, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fail("name server socket");
    ::alarm(20);  // a lookup that hangs ends the probe, not the test run

    inet::InternetSession timed;
    auto start = Clock::now();
    inet::DWORD code = ConnectByName(timed, std::chrono::milliseconds(500));
    std::printf("timeout %u %lld\n", code, Ms(Clock::now() - start));

    inet::InternetSession closed;
    Clock::time_point closedAt;
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        closedAt = Clock::now();
        closed.Close();
    });
    code = ConnectByName(closed, std::chrono::seconds(30));
    auto end = Clock::now();
    closer.join();
    std::printf("close %u %lld\n", code, Ms(end - closedAt));
    char query[512];
    std::printf("asked %d\n", ::recv(dns, query, sizeof query, MSG_DONTWAIT) > 0 ? 1 : 0);

    testsupport::FtpServer server(testsupport::FtpServer::Kind::Fault, "pasv-elsewhere");  // started in here
    bool ok = false;
    code = 0;
    testsupport::WriteFile(work + "/page.html", std::string(5000, 'p'));
    try {
        inet::InternetSession session;
        inet::FtpConnection* c =
            session.GetFtpConnection("127.0.0.1", "parvex", "secret", static_cast<std::uint16_t>(server.port()), true);
        ok = c->PutFile(work + "/page.html", "page.html");
        code = ok ? 0 : inet::GetLastInternetError();
    } catch (const inet::InternetException& e) {
        code = e.Code();
    }
    std::printf("pasv %d %u %s\n", ok ? 1 : 0, code, inet::GetLastResponseInfo().c_str());
    return 0;
}
