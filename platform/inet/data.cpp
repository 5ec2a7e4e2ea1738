// The data connection: the representation type, passive (PASV, EPSV) or
// active (PORT, EPRT) set-up with the accept that admits only the server's
// host, the listing's receive and the transfer's final reply.
#include "platform/inet/connection_impl.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>

namespace inet {

using namespace detail;

void FtpConnection::Impl::SetData(int fd) {
    std::lock_guard<std::mutex> lock(fdMu);
    data = fd;
    if (cancelled && fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void FtpConnection::Impl::CloseData() {
    std::lock_guard<std::mutex> lock(fdMu);
    if (tlsData) {
        gnutls_deinit(tlsData);
        tlsData = nullptr;
    }
    for (int* fd : {&data, &listener})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
}

void FtpConnection::Impl::TransferReply(const Reply& r) {
    if (r.Preliminary()) return;
    transferRefusal = r.code;
    Throw(ERROR_INTERNET_EXTENDED_ERROR);
}

void FtpConnection::Impl::SetupFailed(bool pipelined, const Reply& setup, DWORD code) {
    if (!pipelined || cancelled || serverClosed) Throw(code);
    if (setup.Preliminary()) OutOfStep();  // a 1xx to PASV or PORT: no telling which reply answers what
    Reply r;
    try {
        r = ReadReply(std::min(timeouts->reply, kResyncWait));
    } catch (const Failure& e) {
        if (e.code == ERROR_INTERNET_OPERATION_CANCELLED) throw;
        OutOfStep();
    }
    // The server took the transfer command (1xx) and now waits for a data connection that will never come.
    // It ends that wait with a reply of its own whenever its timeout runs out, which a later command would take
    // for its answer: the connection is given up rather than left out of step.
    if (r.Preliminary()) OutOfStep();
    // Refused: the connection is as it was, and the failure reported is the set-up's, as when it went alone.
    SetLastResponseInfo(setup.text);
    Throw(code);
}

void FtpConnection::Impl::OpenData(const std::string& cmd, DWORD type) {
    transferRefusal = 0;
    dataSending = false;
    const char want = type == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
    if (typeSet != want) {
        typeSet = 0;  // unknown until the server has said yes
        Expect(std::string("TYPE ") + want);
        typeSet = want;
    }
    // Once the set-up has worked on this connection, it goes out with the transfer command in one write: a round
    // trip less for every file. Until then, and again after any failure, step by step, so that a server that
    // refuses the set-up, answers it unreadably or cannot be reached on its data port fails as it always has.
    const bool pipelined = setupProven;
    setupProven = false;
    const auto sendSetup = [&](const std::string& setup) {
        if (pipelined)
            Write({setup, cmd});
        else
            Write({setup});
    };
    if (passive) {
        sockaddr_storage addr = peer;
        socklen_t len = peerLen;
        const bool v4 = peer.ss_family == AF_INET;
        sendSetup(v4 ? "PASV" : "EPSV");
        Reply r = ReadReply();
        std::uint16_t port = 0;
        if (v4) {
            std::array<std::uint8_t, 4> a{};
            if (r.code != 227 || !ParsePasv(r.text, a, port)) SetupFailed(pipelined, r, ERROR_INTERNET_EXTENDED_ERROR);
            // Only the port is taken from the reply; the data goes to the host we reached. Behind NAT the
            // named address is often a private one, and a hostile server could name any host at all and
            // have our upload sent there.
            reinterpret_cast<sockaddr_in*>(&addr)->sin_port = htons(port);
        } else {
            if (r.code != 229 || !ParseEpsv(r.text, port)) SetupFailed(pipelined, r, ERROR_INTERNET_EXTENDED_ERROR);
            reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port = htons(port);
        }
        DWORD err = 0;
        int fd = ConnectTo(reinterpret_cast<sockaddr*>(&addr), len, timeouts->connect, err);
        if (fd < 0) SetupFailed(pipelined, r, err);
        SetData(fd);
        setupProven = true;
        if (!pipelined) Write({cmd});
        TransferReply(ReadReply());
        StartDataTls();  // the server starts its side once it has said yes
        return;
    }
    // Active: listen on the control connection's own address, tell the server, accept its call.
    sockaddr_storage addr = local;
    if (addr.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&addr)->sin_port = 0;
    else
        reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port = 0;
    int lfd = ::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (lfd < 0) Throw(ERROR_INTERNET_INTERNAL_ERROR);
    {
        std::lock_guard<std::mutex> lock(fdMu);
        listener = lfd;
    }
    socklen_t len = localLen;
    if (::bind(lfd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(lfd, 1) != 0 ||
        ::getsockname(lfd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        Throw(ERROR_INTERNET_INTERNAL_ERROR);
    char host[INET6_ADDRSTRLEN] = {};
    std::string portCmd;
    if (addr.ss_family == AF_INET) {
        auto* sin = reinterpret_cast<sockaddr_in*>(&addr);
        auto* b = reinterpret_cast<unsigned char*>(&sin->sin_addr);
        unsigned port = ntohs(sin->sin_port);
        portCmd = "PORT " + std::to_string(b[0]) + "," + std::to_string(b[1]) + "," + std::to_string(b[2]) + "," +
                  std::to_string(b[3]) + "," + std::to_string(port >> 8) + "," + std::to_string(port & 0xFF);
    } else {
        auto* sin6 = reinterpret_cast<sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &sin6->sin6_addr, host, sizeof host);
        portCmd = "EPRT |2|" + std::string(host) + "|" + std::to_string(ntohs(sin6->sin6_port)) + "|";
    }
    sendSetup(portCmd);
    Reply p = ReadReply();
    // A server that answers PORT only once it has connected (pyftpdlib) may say 150 to the transfer command
    // first. A 1xx answers no PORT: it is the transfer command's, and PORT's final reply follows it.
    std::optional<Reply> accepted;
    if (pipelined && p.Preliminary()) {
        accepted = p;
        p = ReadReply();
    }
    if (!p.Positive()) {
        if (accepted) OutOfStep();  // taken without a data port we can stand by (see SetupFailed)
        SetupFailed(pipelined, p, ERROR_INTERNET_EXTENDED_ERROR);
    }
    setupProven = true;
    if (!pipelined) Write({cmd});
    TransferReply(accepted ? *accepted : ReadReply());
    // Only the server's host may connect: whoever else found the port
    // first would be handed the upload, or could feed us the download.
    auto deadline = Clock::now() + timeouts->connect;
    for (;;) {
        Wait(lfd, POLLIN, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        sockaddr_storage from{};
        socklen_t fromLen = sizeof from;
        int fd = ::accept4(lfd, reinterpret_cast<sockaddr*>(&from), &fromLen, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0 && (errno == EAGAIN || errno == EINTR || errno == ECONNABORTED)) continue;
        if (fd < 0) Throw(cancelled ? ERROR_INTERNET_OPERATION_CANCELLED : ERROR_INTERNET_CANNOT_CONNECT);
        if (SameHost(from, peer)) {
            SetData(fd);
            StartDataTls();
            return;
        }
        ::close(fd);
    }
}

void FtpConnection::Impl::FinishData() {
    EndDataTls();
    CloseData();
    Reply r = ReadReply();
    while (r.Preliminary()) r = ReadReply();
    if (!r.Positive()) Throw(ERROR_INTERNET_EXTENDED_ERROR);
}

std::string FtpConnection::Impl::ReceiveAll(std::size_t limit) {
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t r = Receive(data, buf, sizeof buf);
        if (r > 0) {
            if (out.size() + static_cast<std::size_t>(r) > limit) Throw(ERROR_INTERNET_INTERNAL_ERROR);
            out.append(buf, static_cast<std::size_t>(r));
        } else if (r == 0) {
            return out;
        } else if (errno == EAGAIN || errno == EINTR) {
            Wait(data, POLLIN, timeouts->data);
        } else {
            Throw(cancelled ? ERROR_INTERNET_OPERATION_CANCELLED : ErrnoCode(errno));
        }
    }
}

}  // namespace inet
