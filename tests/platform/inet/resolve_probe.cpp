// Connects by name while the only name server is one on loopback that never
// answers: in a mount namespace of its own, the given files stand in for
// /etc/resolv.conf and /etc/nsswitch.conf, so nothing beyond loopback is asked.
//   inet_resolve_probe RESOLV_CONF NSSWITCH_CONF
// Prints "timeout CODE MS" (a connect with a 500 ms limit) and "close CODE MS"
// (a connect with a 30 s limit whose session is closed from another thread;
// MS counts from the Close). Exits 77 when the namespace cannot be made.
#include "platform/inet/inet.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

inet::DWORD Connect(inet::InternetSession& session, std::chrono::milliseconds limit) {
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: inet_resolve_probe RESOLV_CONF NSSWITCH_CONF\n");
        return 2;
    }
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(argv[1], "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(argv[2], "/etc/nsswitch.conf", nullptr, MS_BIND, nullptr) != 0) {
        std::fprintf(stderr, "no private mount namespace with our resolver files: %s\n", std::strerror(errno));
        return 77;
    }
    ::alarm(20);  // a resolution that hangs ends the probe, not the test run

    inet::InternetSession timed;
    auto start = Clock::now();
    inet::DWORD code = Connect(timed, std::chrono::milliseconds(500));
    std::printf("timeout %u %lld\n", code, Ms(Clock::now() - start));

    inet::InternetSession closed;
    Clock::time_point closedAt;
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        closedAt = Clock::now();
        closed.Close();
    });
    code = Connect(closed, std::chrono::seconds(30));
    auto end = Clock::now();
    closer.join();
    std::printf("close %u %lld\n", code, Ms(end - closedAt));
    return 0;
}
