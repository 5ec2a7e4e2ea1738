#include "platform/inet/inet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fnmatch.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <thread>

namespace inet {

void SetLastResponseInfo(std::string text);

namespace {

constexpr std::size_t kBuffer = 1u << 20;
constexpr std::size_t kMaxListing = 64u << 20;
constexpr std::size_t kSendChunk = 256u << 10;  // one read and one send of an upload
// How long a command waits for the replies still owed to an earlier, failed
// one before it gives the connection up as out of step.
constexpr std::chrono::milliseconds kResyncWait{5000};

using Clock = std::chrono::steady_clock;

struct Failure {
    DWORD code;
};

[[noreturn]] void Throw(DWORD code) { throw Failure{code}; }

// A name with CR or LF would end the command line early and the server
// would run the rest as commands of its own; NUL cuts it short on most servers.
bool CleanArgument(const std::string& arg) { return arg.find_first_of(std::string("\r\n\0", 3)) == std::string::npos; }

void RequireClean(const std::string& arg) {
    if (!CleanArgument(arg)) Throw(ERROR_INVALID_NAME);
}


// One name lookup, shared by the waiting connect and the worker thread that
// asks the resolver: a lookup abandoned on timeout or Close keeps running
// until the resolver gives up, and the last of the two owners frees it.
struct Resolution {
    std::mutex mu;
    std::condition_variable cv;
    bool done = false;
    int status = EAI_AGAIN;
    addrinfo* result = nullptr;
    ~Resolution() {
        if (result != nullptr) ::freeaddrinfo(result);
    }
};

bool SameHost(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family) return false;
    if (a.ss_family == AF_INET)
        return std::memcmp(&reinterpret_cast<const sockaddr_in&>(a).sin_addr,
                           &reinterpret_cast<const sockaddr_in&>(b).sin_addr, sizeof(in_addr)) == 0;
    if (a.ss_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                           &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
    return false;
}

DWORD ErrnoCode(int e) {
    if (e == ECONNRESET || e == EPIPE) return ERROR_INTERNET_CONNECTION_RESET;
    return ERROR_INTERNET_CONNECTION_ABORTED;
}

}  // namespace

struct FtpConnection::Impl {
    std::mutex opMu;  // one operation at a time
    std::mutex fdMu;  // guards the descriptors against Close from another thread
    int ctrl = -1, data = -1, listener = -1;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> serverClosed{false};  // also set when the replies can no longer be matched to commands
    // Final replies the server still owes: the greeting's, then one per
    // command sent. A failed transfer or a timed-out wait leaves one owed,
    // and the next command must not take it for its own answer.
    int owed = 1;
    bool passive = false, utf8 = false, mlsd = false;
    // The representation type the server last accepted ('A' or 'I', 0 before the first): it
    // holds until changed, and a walk of small files would otherwise pay a round trip for each.
    char typeSet = 0;
    // The reply code with which the server refused the last transfer command
    // itself (0 when it accepted it, or when an earlier step failed).
    int transferRefusal = 0;
    sockaddr_storage peer{}, local{};
    socklen_t peerLen = 0, localLen = 0;
    std::string inbuf;
    bool discarding = false;
    Timeouts* timeouts = nullptr;
    std::shared_ptr<Resolution> resolving;  // the lookup a connect waits for; under fdMu, for Close

    ~Impl() {
        for (int fd : {ctrl, data, listener})
            if (fd >= 0) ::close(fd);
    }

    void Check() const {
        if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        if (serverClosed || ctrl < 0) Throw(ERROR_INTERNET_CONNECTION_ABORTED);
    }

    // Waits until fd is ready; a Close from another thread wakes it through shutdown().
    void Wait(int fd, short events, std::chrono::milliseconds timeout) {
        auto deadline = Clock::now() + timeout;
        for (;;) {
            if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) Throw(ERROR_INTERNET_TIMEOUT);
            pollfd p{fd, events, 0};
            int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 250)));
            if (r < 0 && errno != EINTR) Throw(ERROR_INTERNET_INTERNAL_ERROR);
            if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
            if (r > 0) return;
        }
    }

    void SendAll(int fd, const char* p, std::size_t n, std::chrono::milliseconds timeout) {
        while (n > 0) {
            ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
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

    // One line of the control connection, without its CR LF, cut to kMaxLineBytes.
    std::string ReadLine(std::chrono::milliseconds timeout) {
        for (;;) {
            std::size_t nl = inbuf.find('\n');
            if (nl != std::string::npos) {
                std::string line = inbuf.substr(0, nl);
                inbuf.erase(0, nl + 1);
                bool wasDiscarding = discarding;
                discarding = false;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (wasDiscarding) continue;  // the tail of an over-long line
                return line.substr(0, kMaxLineBytes);
            }
            if (inbuf.size() > kMaxLineBytes && !discarding) {
                // Keep the head of an over-long line and drop the rest up to its end.
                std::string head = inbuf.substr(0, kMaxLineBytes);
                inbuf.clear();
                discarding = true;
                return head;
            }
            if (discarding) inbuf.clear();
            Wait(ctrl, POLLIN, timeout);
            char buf[4096];
            ssize_t r = ::recv(ctrl, buf, sizeof buf, 0);
            if (r > 0) {
                inbuf.append(buf, static_cast<std::size_t>(r));
            } else if (r == 0) {
                serverClosed = true;
                if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
                Throw(ERROR_INTERNET_CONNECTION_ABORTED);
            } else if (errno != EAGAIN && errno != EINTR) {
                serverClosed = true;
                Throw(cancelled ? ERROR_INTERNET_OPERATION_CANCELLED : ErrnoCode(errno));
            }
        }
    }

    Reply ReadReply() { return ReadReply(timeouts->reply); }

    Reply ReadReply(std::chrono::milliseconds timeout) {
        ReplyAssembler a;
        int junk = 0;
        for (;;) {
            std::string line = StripTelnet(ReadLine(timeout));
            auto st = a.Feed(line);
            if (st == ReplyAssembler::Status::Done) break;
            if (st == ReplyAssembler::Status::Malformed && ++junk > 100) Throw(ERROR_INTERNET_CONNECTION_ABORTED);
        }
        Reply r = a.Take();
        SetLastResponseInfo(r.text);
        if (!r.Preliminary() && owed > 0) --owed;
        // 421 may come at any time: the server is closing the control connection.
        if (r.code == 421) serverClosed = true;
        return r;
    }

    bool CtrlReadable() {
        pollfd p{ctrl, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    // Gives the connection up: replies can no longer be matched to commands.
    [[noreturn]] void OutOfStep() {
        serverClosed = true;
        {
            std::lock_guard<std::mutex> lock(fdMu);
            if (ctrl >= 0) ::shutdown(ctrl, SHUT_RDWR);
        }
        Throw(ERROR_INTERNET_CONNECTION_ABORTED);
    }

    // Reads and drops the replies an earlier, failed command left owed (the
    // 226 or 426 of a transfer that broke off, the late answer to a command
    // that timed out), and any reply nobody asked for that is already
    // waiting, so that the next command reads its own answer. A server that
    // stays silent past kResyncWait leaves the connection unusable (12030).
    void Resync() {
        if (owed == 0 && inbuf.empty() && !CtrlReadable()) return;
        auto deadline = Clock::now() + std::min(timeouts->reply, kResyncWait);
        auto left = [&] {
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            return std::max(ms, std::chrono::milliseconds(1));
        };
        try {
            while (owed > 0) ReadReply(left());
            while (!inbuf.empty() || CtrlReadable()) {
                ReadReply(left());
                owed = 0;  // an unasked reply owes nothing back
            }
        } catch (const Failure& e) {
            if (e.code == ERROR_INTERNET_OPERATION_CANCELLED) throw;
            OutOfStep();
        }
        if (serverClosed) Throw(ERROR_INTERNET_CONNECTION_ABORTED);  // one of them was a 421
    }

    Reply Command(const std::string& cmd) {
        RequireClean(cmd);  // the last line of defence; the public calls check their arguments first
        Check();
        Resync();
        std::string line = cmd + "\r\n";
        ++owed;  // before sending: a send that breaks off may still have reached the server
        SendAll(ctrl, line.data(), line.size(), timeouts->reply);
        return ReadReply();
    }

    // A command whose positive reply is all that matters.
    void Expect(const std::string& cmd) {
        Reply r = Command(cmd);
        if (!r.Positive()) Throw(ERROR_INTERNET_EXTENDED_ERROR);
    }

    int ConnectTo(const sockaddr* addr, socklen_t len, std::chrono::milliseconds timeout, DWORD& err) {
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

    // Resolves `host` within `timeout`; Close from another thread ends the wait at once (12017). Numeric
    // addresses are read at once; names are looked up on a worker thread, since getaddrinfo itself cannot be
    // given a time limit nor be interrupted. 12007 when the name is unknown or the resolver did not answer in time.
    std::shared_ptr<Resolution> Resolve(const std::string& host, const std::string& service,
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
        bool finished =
            state->cv.wait_for(lock, timeout, [&] { return state->done || cancelled.load(); });
        if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        if (!finished || state->status != 0 || state->result == nullptr) Throw(ERROR_INTERNET_NAME_NOT_RESOLVED);
        return state;
    }

    void SetData(int fd) {
        std::lock_guard<std::mutex> lock(fdMu);
        data = fd;
        if (cancelled && fd >= 0) ::shutdown(fd, SHUT_RDWR);
    }

    void CloseData() {
        std::lock_guard<std::mutex> lock(fdMu);
        for (int* fd : {&data, &listener})
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
    }

    void TransferCommand(const std::string& cmd) {
        Reply r = Command(cmd);
        if (r.Preliminary()) return;
        transferRefusal = r.code;
        Throw(ERROR_INTERNET_EXTENDED_ERROR);
    }

    // Opens the data connection for `cmd` (STOR, RETR, LIST, MLSD) and
    // returns once the server has accepted the command (1xx).
    void OpenData(const std::string& cmd, DWORD type) {
        transferRefusal = 0;
        const char want = type == FTP_TRANSFER_TYPE_ASCII ? 'A' : 'I';
        if (typeSet != want) {
            typeSet = 0;  // unknown until the server has said yes
            Expect(std::string("TYPE ") + want);
            typeSet = want;
        }
        if (passive) {
            sockaddr_storage addr = peer;
            socklen_t len = peerLen;
            if (peer.ss_family == AF_INET) {
                Reply r = Command("PASV");
                std::array<std::uint8_t, 4> a{};
                std::uint16_t port = 0;
                if (r.code != 227 || !ParsePasv(r.text, a, port)) Throw(ERROR_INTERNET_EXTENDED_ERROR);
                // Only the port is taken from the reply; the data goes to the host we reached. Behind NAT the
                // named address is often a private one, and a hostile server could name any host at all and
                // have our upload sent there.
                reinterpret_cast<sockaddr_in*>(&addr)->sin_port = htons(port);
            } else {
                Reply r = Command("EPSV");
                std::uint16_t port = 0;
                if (r.code != 229 || !ParseEpsv(r.text, port)) Throw(ERROR_INTERNET_EXTENDED_ERROR);
                reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port = htons(port);
            }
            DWORD err = 0;
            int fd = ConnectTo(reinterpret_cast<sockaddr*>(&addr), len, timeouts->connect, err);
            if (fd < 0) Throw(err);
            SetData(fd);
            TransferCommand(cmd);
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
        Expect(portCmd);
        TransferCommand(cmd);
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
                return;
            }
            ::close(fd);
        }
    }

    // Closes the data connection and reads the transfer's final reply.
    void FinishData() {
        CloseData();
        Reply r = ReadReply();
        while (r.Preliminary()) r = ReadReply();
        if (!r.Positive()) Throw(ERROR_INTERNET_EXTENDED_ERROR);
    }

    std::string ReceiveAll(std::size_t limit) {
        std::string out;
        char buf[65536];
        for (;;) {
            ssize_t r = ::recv(data, buf, sizeof buf, 0);
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
};

namespace {

// Runs one operation under the connection's lock and turns failures into
// the thread's last error and a false result.
template <class F>
bool Guarded(FtpConnection::Impl* impl, F&& f) {
    if (impl == nullptr) {
        SetLastInternetError(ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    std::lock_guard<std::mutex> lock(impl->opMu);
    try {
        f();
        return true;
    } catch (const Failure& e) {
        SetLastInternetError(e.code);
        impl->CloseData();  // a refused transfer may leave its listening socket behind
        return false;
    }
}

// A name holding NUL never matches a narrowing mask: fnmatch would see
// only the part before the NUL. "*" and "*.*" list it like any other.
bool MatchesMask(const std::string& mask, const std::string& name) {
    return name.find('\0') == std::string::npos && ::fnmatch(mask.c_str(), name.c_str(), 0) == 0;
}

}  // namespace

FtpConnection::FtpConnection(std::unique_ptr<Impl> impl, Timeouts timeouts)
    : impl_(std::move(impl)), timeouts_(timeouts) {
    impl_->timeouts = &timeouts_;
}

FtpConnection::~FtpConnection() { Close(); }

bool FtpConnection::IsOpen() const { return impl_ && !impl_->cancelled && !impl_->serverClosed; }

void FtpConnection::Close() {
    if (!impl_) return;
    impl_->cancelled = true;
    std::lock_guard<std::mutex> lock(impl_->fdMu);
    for (int fd : {impl_->ctrl, impl_->data, impl_->listener})
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    if (auto& r = impl_->resolving) {
        // Taking the lookup's lock orders this wake-up after the waiter's
        // look at `cancelled`, so that it cannot be missed.
        { std::lock_guard<std::mutex> wake(r->mu); }
        r->cv.notify_all();
    }
}

bool FtpConnection::GetCurrentDirectory(std::string& directory) {
    return Guarded(impl_.get(), [&] {
        Reply r = impl_->Command("PWD");
        std::string path;
        if (r.code != 257 || !ParsePwd(r.text, path)) Throw(ERROR_INTERNET_EXTENDED_ERROR);
        directory = path;
    });
}

bool FtpConnection::SetCurrentDirectory(const std::string& directory) {
    return Guarded(impl_.get(), [&] {
        // "../" and ".." both go up; CDUP is not needed on the servers we meet.
        RequireClean(directory);
        impl_->Expect("CWD " + directory);
    });
}

bool FtpConnection::CreateDirectory(const std::string& directory) {
    return Guarded(impl_.get(), [&] {
        RequireClean(directory);
        impl_->Expect("MKD " + directory);
    });
}

bool FtpConnection::RemoveDirectory(const std::string& directory) {
    return Guarded(impl_.get(), [&] {
        RequireClean(directory);
        impl_->Expect("RMD " + directory);
    });
}

bool FtpConnection::Rename(const std::string& from, const std::string& to) {
    return Guarded(impl_.get(), [&] {
        RequireClean(from);
        RequireClean(to);
        Reply r = impl_->Command("RNFR " + from);
        if (r.code != 350) Throw(ERROR_INTERNET_EXTENDED_ERROR);
        impl_->Expect("RNTO " + to);
    });
}

bool FtpConnection::Remove(const std::string& file) {
    return Guarded(impl_.get(), [&] {
        RequireClean(file);
        impl_->Expect("DELE " + file);
    });
}

bool FtpConnection::PutFile(const std::string& localPath, const std::string& remoteName, DWORD type) {
    if (!CleanArgument(remoteName)) {
        SetLastInternetError(ERROR_INVALID_NAME);
        return false;
    }
    int in = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        SetLastInternetError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    bool ok = Guarded(impl_.get(), [&] {
        impl_->OpenData("STOR " + remoteName, type);
        int fd = impl_->data;
        // Copied through a buffer, not handed to sendfile(): a zero-copy send
        // releases its file pages one by one on the receiving side's time, so
        // on loopback a single-threaded server (pyftpdlib) took uploads about
        // 30 % slower than from a plain copy, while the copy costs us little.
        bool ascii = type == FTP_TRANSFER_TYPE_ASCII;
        std::vector<char> buf(kSendChunk), out(ascii ? 2 * kSendChunk : 0);
        bool prevCR = false;
        for (;;) {
            ssize_t n = ::read(in, buf.data(), buf.size());
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) Throw(ERROR_INTERNET_INTERNAL_ERROR);
            if (n == 0) break;
            if (!ascii) {
                impl_->SendAll(fd, buf.data(), static_cast<std::size_t>(n), impl_->timeouts->data);
                continue;
            }
            std::size_t m = 0;
            for (ssize_t k = 0; k < n; ++k) {
                char c = buf[static_cast<std::size_t>(k)];
                if (c == '\n' && !prevCR) out[m++] = '\r';  // LF -> CRLF, an existing CRLF stays one
                out[m++] = c;
                prevCR = c == '\r';
            }
            impl_->SendAll(fd, out.data(), m, impl_->timeouts->data);
        }
        impl_->FinishData();
    });
    ::close(in);
    return ok;
}

bool FtpConnection::GetFile(const std::string& remoteName, const std::string& localPath, bool failIfExists,
                            DWORD type) {
    if (!CleanArgument(remoteName)) {
        SetLastInternetError(ERROR_INVALID_NAME);
        return false;
    }
    struct stat st {};
    if (failIfExists && ::stat(localPath.c_str(), &st) == 0) {
        SetLastInternetError(ERROR_FILE_EXISTS);
        return false;
    }
    // A short name beside the target: the target's own name plus a suffix
    // would pass the 255-byte limit for names that nearly fill it.
    std::size_t slash = localPath.find_last_of('/');
    std::string tmp = (slash == std::string::npos ? std::string() : localPath.substr(0, slash + 1)) + ".part-XXXXXX";
    int out = ::mkstemp(tmp.data());
    if (out < 0) {
        SetLastInternetError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    bool ok = Guarded(impl_.get(), [&] {
        impl_->OpenData("RETR " + remoteName, type);
        std::vector<char> buf(kBuffer);
        bool pendingCR = false;
        auto writeAll = [&](const char* p, std::size_t n) {
            while (n > 0) {
                ssize_t w = ::write(out, p, n);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) Throw(ERROR_INTERNET_INTERNAL_ERROR);
                p += w;
                n -= static_cast<std::size_t>(w);
            }
        };
        for (;;) {
            ssize_t r = ::recv(impl_->data, buf.data(), buf.size(), 0);
            if (r < 0 && (errno == EAGAIN || errno == EINTR)) {
                impl_->Wait(impl_->data, POLLIN, impl_->timeouts->data);
                continue;
            }
            if (r < 0) Throw(impl_->cancelled ? ERROR_INTERNET_OPERATION_CANCELLED : ErrnoCode(errno));
            if (r == 0) break;
            if (type != FTP_TRANSFER_TYPE_ASCII) {
                writeAll(buf.data(), static_cast<std::size_t>(r));
                continue;
            }
            std::string text;
            text.reserve(static_cast<std::size_t>(r) + 1);
            for (ssize_t k = 0; k < r; ++k) {
                char c = buf[static_cast<std::size_t>(k)];
                if (pendingCR && c != '\n') text += '\r';  // a CR not before LF is kept
                pendingCR = c == '\r';
                if (!pendingCR) text += c;
            }
            writeAll(text.data(), text.size());
        }
        if (pendingCR) writeAll("\r", 1);
        if (impl_->cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        impl_->FinishData();
    });
    if (::close(out) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), localPath.c_str()) != 0) {
        SetLastInternetError(ERROR_FILE_NOT_FOUND);
        ok = false;
    }
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

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
                                                 Timeouts timeouts) {
    auto impl = std::make_unique<FtpConnection::Impl>();
    impl->passive = passive;
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

        Reply r = c.ReadReply();
        while (r.Preliminary()) r = c.ReadReply();  // 120: ready in a moment
        if (r.code != 220) Throw(ERROR_INTERNET_EXTENDED_ERROR);
        r = c.Command("USER " + (user.empty() ? std::string("anonymous") : user));
        if (r.code == 331 || r.code == 332) r = c.Command("PASS " + password);
        if (r.code == 530) Throw(ERROR_INTERNET_LOGIN_FAILURE);
        if (r.code != 230 && r.code != 202) Throw(ERROR_INTERNET_EXTENDED_ERROR);
        Reply feat = c.Command("FEAT");
        if (feat.code == 211) {
            std::string f = feat.text;
            for (char& ch : f) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            c.mlsd = f.find("\n MLSD") != std::string::npos || f.find(" MLST") != std::string::npos;
            c.utf8 = f.find(" UTF8") != std::string::npos;
        }
        if (c.utf8) c.Command("OPTS UTF8 ON");
        SetLastResponseInfo(r.text);
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

FtpFileFind::FtpFileFind(FtpConnection* connection, DWORD) : connection_(connection) {}

FtpFileFind::~FtpFileFind() { Close(); }

void FtpFileFind::Close() {
    entries_.clear();
    next_ = 0;
    hasCurrent_ = false;
}

bool FtpFileFind::FindFile(const std::string& patternIn, DWORD flags) {
    Close();
    std::string pattern = patternIn.empty() ? "*.*" : patternIn;
    std::size_t slash = pattern.find_last_of('/');
    std::string dir = slash == std::string::npos ? std::string() : pattern.substr(0, slash);
    std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (slash == 0) dir = "/";
    FtpConnection::Impl* impl = connection_ ? connection_->impl_.get() : nullptr;
    std::vector<ListEntry> found;
    bool ok = Guarded(impl, [&] {
        RequireClean(pattern);
        if (dir.empty()) {
            Reply r = impl->Command("PWD");
            if (r.code != 257 || !ParsePwd(r.text, dir)) Throw(ERROR_INTERNET_EXTENDED_ERROR);
        }
        bool wildcard = mask.find_first_of("*?[") != std::string::npos;
        std::string arg = slash == std::string::npos ? (wildcard ? "" : mask) : (wildcard ? dir : pattern);
        bool mlsd = impl->mlsd && (wildcard || arg.empty()) && !(flags & FTP_FIND_FLAG_LIST);
        auto command = [&] { return (mlsd ? "MLSD" : "LIST") + (arg.empty() ? std::string() : " " + arg); };
        try {
            impl->OpenData(command(), FTP_TRANSFER_TYPE_ASCII);
        } catch (const Failure&) {
            // Some servers announce MLST in FEAT and then refuse MLSD as
            // unknown or unimplemented: list with LIST from now on.
            int refusal = impl->transferRefusal;
            if (!mlsd || (refusal != 500 && refusal != 501 && refusal != 502 && refusal != 504)) throw;
            impl->CloseData();
            impl->mlsd = false;
            mlsd = false;
            impl->OpenData(command(), FTP_TRANSFER_TYPE_ASCII);
        }
        std::string text = impl->ReceiveAll(kMaxListing);
        impl->FinishData();
        std::time_t now = std::time(nullptr);
        std::size_t pos = 0, read = 0;
        bool unreadable = false;
        while (pos < text.size()) {
            // Lines end at LF; the parsers drop the CR before it, and any
            // other CR or NUL stays in the name.
            std::size_t nl = text.find('\n', pos);
            std::string_view line(text.data() + pos, (nl == std::string::npos ? text.size() : nl) - pos);
            pos = nl == std::string::npos ? text.size() : nl + 1;
            ListEntry e;
            if (!(mlsd ? ParseMlsdLine(line, e) : ParseListLine(line, now, e))) {
                unreadable = unreadable || !IsListingFiller(line);  // one unreadable line among good ones is skipped
                continue;
            }
            ++read;
            if (wildcard && mask != "*.*" && mask != "*" && !MatchesMask(mask, e.name)) continue;
            found.push_back(std::move(e));
        }
        if (read == 0 && unreadable) Throw(ERROR_FTP_LISTING_UNREADABLE);
    });
    if (!ok) return false;
    if (found.empty()) {
        SetLastInternetError(ERROR_NO_MORE_FILES);
        return false;
    }
    entries_ = std::move(found);
    directory_ = dir;
    return true;
}

bool FtpFileFind::FindNextFile() {
    if (next_ >= entries_.size()) {
        SetLastInternetError(ERROR_NO_MORE_FILES);
        return false;
    }
    current_ = entries_[next_++];
    hasCurrent_ = true;
    if (next_ < entries_.size()) return true;
    SetLastInternetError(ERROR_NO_MORE_FILES);
    return false;
}

std::string FtpFileFind::GetFileName() const { return hasCurrent_ ? current_.name : std::string(); }

std::string FtpFileFind::GetFilePath() const {
    if (!hasCurrent_) return {};
    if (directory_.empty() || directory_.back() == '/') return directory_ + current_.name;
    return directory_ + "/" + current_.name;
}

bool FtpFileFind::IsDirectory() const { return hasCurrent_ && current_.directory; }
bool FtpFileFind::IsLink() const { return hasCurrent_ && current_.link; }
bool FtpFileFind::IsDots() const { return hasCurrent_ && (current_.name == "." || current_.name == ".."); }
std::uint64_t FtpFileFind::GetLength() const { return hasCurrent_ ? current_.size : 0; }
std::int64_t FtpFileFind::GetLastWriteTime() const { return hasCurrent_ ? current_.mtime : 0; }

}  // namespace inet
