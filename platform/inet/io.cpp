// The byte seam of a connection: the only place where bytes of the control
// and the data connection cross the socket, and where waits for them poll.
#include "platform/inet/connection_impl.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace inet {

using namespace detail;

DWORD detail::ErrnoCode(int e) {
    if (e == ECONNRESET || e == EPIPE) return ERROR_INTERNET_CONNECTION_RESET;
    return ERROR_INTERNET_CONNECTION_ABORTED;
}

// MSG_NOSIGNAL: a server that hangs up gives an error, not SIGPIPE.
ssize_t FtpConnection::Impl::Send(int fd, const char* p, std::size_t n) { return ::send(fd, p, n, MSG_NOSIGNAL); }

ssize_t FtpConnection::Impl::Receive(int fd, char* p, std::size_t n) { return ::recv(fd, p, n, 0); }

void FtpConnection::Impl::Wait(int fd, short events, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    for (;;) {
        if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) Throw(ERROR_INTERNET_TIMEOUT);
        pollfd p{fd, events, 0};
        // In slices, so that a Close that could not reach the socket is still seen soon.
        int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 250)));
        if (r < 0 && errno != EINTR) Throw(ERROR_INTERNET_INTERNAL_ERROR);
        if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        if (r > 0) return;
    }
}

void FtpConnection::Impl::SendAll(int fd, const char* p, std::size_t n, std::chrono::milliseconds timeout) {
    while (n > 0) {
        ssize_t w = Send(fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            Wait(fd, POLLOUT, timeout);
            continue;
        }
        if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        Throw(ErrnoCode(errno));
    }
}

bool FtpConnection::Impl::CtrlReadable() {
    pollfd p{ctrl, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

}  // namespace inet
