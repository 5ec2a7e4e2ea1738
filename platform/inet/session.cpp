// InternetSession: the connections it hands out, from the name lookup
// through the connect to the login, and Close for all of them.
#include "platform/inet/connection_impl.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace inet {

using namespace detail;

InternetSession::InternetSession(std::string agent, DWORD context) : agent_(std::move(agent)), context_(context) {
    if (agent_.empty()) agent_ = program_invocation_short_name;
    // A server that hangs up must give an error, not kill the program: our
    // sends pass MSG_NOSIGNAL, and callers have always run with SIGPIPE
    // ignored once a session exists. Only the default action is replaced.
    struct sigaction old {};
    if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) ::signal(SIGPIPE, SIG_IGN);
}

InternetSession::~InternetSession() { Close(); }

// The connections stay allocated until the session is destroyed: another
// thread may still be inside a call on one of them, which Close makes fail.
void InternetSession::Close() {
    std::lock_guard<std::mutex> lock(mu_);
    closed_ = true;
    for (auto& c : connections_) c->Close();
}

FtpConnection* InternetSession::GetFtpConnection(const std::string& server, const std::string& user,
                                                 const std::string& password, std::uint16_t port, bool passive,
                                                 Timeouts timeouts, const Security& security,
                                                 NameEncoding nameEncoding) {
    auto impl = std::make_unique<FtpConnection::Impl>();
    impl->passive = passive;
    impl->security = security;
    impl->names = nameEncoding;
    impl->serverName = server;
    FtpConnection* conn;
    {
        // Listed before it connects, so that Close from another thread stops the connect and the login too.
        std::lock_guard<std::mutex> lock(mu_);
        connections_.emplace_back(new FtpConnection(std::move(impl), timeouts));
        conn = connections_.back().get();
        if (closed_) conn->Close();
    }
    FtpConnection::Impl& c = *conn->impl_;
    try {
        if (c.cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        std::string service = std::to_string(port == 0 ? INTERNET_DEFAULT_FTP_PORT : port);
        std::shared_ptr<Resolution> names = c.Resolve(server, service, timeouts.connect);
        DWORD err = ERROR_INTERNET_CANNOT_CONNECT;
        for (addrinfo* a = names->result; a != nullptr && c.ctrl < 0; a = a->ai_next) {
            int fd = c.ConnectTo(a->ai_addr, a->ai_addrlen, timeouts.connect, err);
            {
                std::lock_guard<std::mutex> lock(c.fdMu);  // Close reads it from another thread
                c.ctrl = fd;
                if (c.cancelled && fd >= 0) ::shutdown(fd, SHUT_RDWR);
            }
            if (c.ctrl >= 0) {
                std::memcpy(&c.peer, a->ai_addr, a->ai_addrlen);
                c.peerLen = a->ai_addrlen;
            }
        }
        names.reset();
        if (c.ctrl < 0) Throw(err);
        int one = 1;
        ::setsockopt(c.ctrl, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        c.localLen = sizeof c.local;
        ::getsockname(c.ctrl, reinterpret_cast<sockaddr*>(&c.local), &c.localLen);

        c.Login(user, password);
    } catch (const Failure& e) {
        SetLastInternetError(e.code);
        {
            std::lock_guard<std::mutex> lock(mu_);
            for (auto it = connections_.begin(); it != connections_.end(); ++it)
                if (it->get() == conn) {
                    connections_.erase(it);
                    break;
                }
        }
        throw InternetException(e.code);
    }
    return conn;
}

}  // namespace inet
