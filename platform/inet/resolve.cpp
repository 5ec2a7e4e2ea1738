// Reaching a server: the name lookup on its own thread, bounded by the
// connect timeout, and the non-blocking TCP connect.
#include "platform/inet/connection_impl.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

namespace inet {

using namespace detail;

bool detail::SameHost(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET)
        return std::memcmp(&reinterpret_cast<const sockaddr_in&>(a).sin_addr,
                           &reinterpret_cast<const sockaddr_in&>(b).sin_addr, sizeof(in_addr)) == 0;
    if (a.ss_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                           &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
    return false;
}

int FtpConnection::Impl::ConnectTo(const sockaddr* addr, socklen_t len, std::chrono::milliseconds timeout,
                                   DWORD& err) {
    int fd = ::socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        err = ERROR_INTERNET_INTERNAL_ERROR;
        return -1;
    }
    if (::connect(fd, addr, len) == 0) return fd;
    if (errno != EINPROGRESS) {
        err = ERROR_INTERNET_CANNOT_CONNECT;
        ::close(fd);
        return -1;
    }
    // In slices, so that closing the session stops a connect to a host that never answers.
    auto deadline = Clock::now() + timeout;
    pollfd p{fd, POLLOUT, 0};
    int r = 0;
    while (!cancelled) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 250)));
        if (r != 0 && !(r < 0 && errno == EINTR)) break;
        r = 0;
    }
    if (cancelled) {
        err = ERROR_INTERNET_OPERATION_CANCELLED;
        ::close(fd);
        return -1;
    }
    int soerr = 0;
    socklen_t sl = sizeof soerr;
    if (r <= 0) {
        err = r == 0 ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_CANNOT_CONNECT;
        ::close(fd);
        return -1;
    }
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerr, &sl);
    if (soerr != 0) {
        err = ERROR_INTERNET_CANNOT_CONNECT;
        ::close(fd);
        return -1;
    }
    return fd;
}

std::shared_ptr<Resolution> FtpConnection::Impl::Resolve(const std::string& host, const std::string& service,
                                                         std::chrono::milliseconds timeout) {
    auto state = std::make_shared<Resolution>();
    if (host.empty()) Throw(ERROR_INTERNET_NAME_NOT_RESOLVED);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &state->result) == 0 && state->result != nullptr)
        return state;
    state->result = nullptr;
    {
        std::lock_guard<std::mutex> lock(fdMu);
        resolving = state;
    }
    struct Unlist {
        Impl* impl;
        ~Unlist() {
            std::lock_guard<std::mutex> lock(impl->fdMu);
            impl->resolving.reset();
        }
    } unlist{this};
    hints.ai_flags = AI_NUMERICSERV;
    try {
        std::thread([state, host, service, hints] {
            addrinfo* res = nullptr;
            int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
            std::lock_guard<std::mutex> lock(state->mu);
            state->status = status;
            state->result = status == 0 ? res : nullptr;
            state->done = true;
            state->cv.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        Throw(ERROR_INTERNET_INTERNAL_ERROR);
    }
    std::unique_lock<std::mutex> lock(state->mu);
    bool finished = state->cv.wait_for(lock, timeout, [&] { return state->done || cancelled.load(); });
    if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
    if (!finished || state->status != 0 || state->result == nullptr) Throw(ERROR_INTERNET_NAME_NOT_RESOLVED);
    return state;
}

}  // namespace inet
