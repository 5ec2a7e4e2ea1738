#include "tests/browser/relay.h"

#include "tests/support/ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace browsertest {

Relay::Relay(int targetPort) : target_(targetPort) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = testsupport::Loopback(0);
    socklen_t len = sizeof a;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("the relay cannot listen");
    port_ = ntohs(a.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

Relay::~Relay() {
    stop_ = true;
    acceptor_.join();
    CutAll();
    for (auto& t : carriers_) t.join();
    std::lock_guard<std::mutex> lock(mu_);
    for (int fd : fds_) ::close(fd);
    ::close(listener_);
}

void Relay::CutAll() {
    std::lock_guard<std::mutex> lock(mu_);
    for (int fd : fds_) ::shutdown(fd, SHUT_RDWR);
}

void Relay::AcceptLoop() {
    while (!stop_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ++accepted_;
        if (refuse_) {
            ::close(client);
            continue;
        }
        int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = testsupport::Loopback(target_);
        if (server < 0 || ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(client);
            if (server >= 0) ::close(server);
            continue;
        }
        std::lock_guard<std::mutex> lock(mu_);
        fds_.push_back(client);
        fds_.push_back(server);
        carriers_.emplace_back([this, client, server] { Carry(client, server); });
    }
}

// Copies both ways until either side closes; then closes the other side's writing half too.
void Relay::Carry(int a, int b) {
    char buf[16384];
    for (;;) {
        pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (::poll(p, 2, 100) < 0) break;
        if (stop_) break;
        bool done = false;
        for (int i = 0; i < 2 && !done; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::recv(p[i].fd, buf, sizeof buf, 0);
            if (n <= 0 || ::send(p[1 - i].fd, buf, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) done = true;
        }
        if (done) break;
    }
    ::shutdown(a, SHUT_RDWR);
    ::shutdown(b, SHUT_RDWR);
}

}  // namespace browsertest
