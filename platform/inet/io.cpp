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

namespace {

// A TLS record call's result as the socket calls give it: a count, or -1
// with errno. A stream that ends without TLS's own close is cut short (a
// truncated download must not pass as complete): ECONNRESET.
ssize_t TlsResult(ssize_t r) {
    if (r >= 0) return r;
    if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED)
        errno = EAGAIN;
    else if (r == GNUTLS_E_PREMATURE_TERMINATION)
        errno = ECONNRESET;
    else
        errno = ECONNABORTED;
    return -1;
}

}  // namespace

// MSG_NOSIGNAL: a server that hangs up gives an error, not SIGPIPE.
ssize_t FtpConnection::Impl::Send(int fd, const char* p, std::size_t n) {
    if (gnutls_session_t s = TlsFor(fd)) return TlsResult(gnutls_record_send(s, p, n));
    return ::send(fd, p, n, MSG_NOSIGNAL);
}

ssize_t FtpConnection::Impl::Receive(int fd, char* p, std::size_t n) {
    if (gnutls_session_t s = TlsFor(fd)) return TlsResult(gnutls_record_recv(s, p, n));
    return ::recv(fd, p, n, 0);
}

void FtpConnection::Impl::Wait(int fd, short events, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    // Bytes TLS has already decrypted are not on the socket any more.
    if (gnutls_session_t s = TlsFor(fd); s && (events & POLLIN) && gnutls_record_check_pending(s) > 0) return;
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
    if (!tlsCtrl) return ::poll(&p, 1, 0) > 0;
    // A TLS record that carries no reply (a TLS 1.3 session ticket) makes the
    // socket readable too: read what is there, and only reply bytes count.
    for (;;) {
        if (gnutls_record_check_pending(tlsCtrl) == 0 && ::poll(&p, 1, 0) <= 0) return false;
        char buf[4096];
        ssize_t r = Receive(ctrl, buf, sizeof buf);
        if (r > 0) {
            inbuf.append(buf, static_cast<std::size_t>(r));
            return true;
        }
        if (r == 0 || (errno != EAGAIN && errno != EINTR)) return true;  // the reader will find out what it was
    }
}

}  // namespace inet
