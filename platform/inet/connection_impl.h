// The inside of an FTP connection, shared by the library's own files and
// nobody else. The files follow the connection's layers:
//   io.cpp        the byte seam: every byte of the control and the data
//                 connection is sent and received here, and waits poll here
//   resolve.cpp   name lookup on a worker thread, and the bounded TCP connect
//   control.cpp   the control connection: commands, replies, the replies
//                 owed, and the login
//   data.cpp      the data connection: TYPE, PASV/EPSV or PORT/EPRT, accept,
//                 the transfer's final reply
//   transfer.cpp  PutFile and GetFile's copy loops
//   connection.cpp, session.cpp, find.cpp  the public classes
#pragma once

#include "platform/inet/inet.h"

#include <gnutls/gnutls.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace inet {

namespace detail {

inline constexpr std::size_t kBuffer = 1u << 20;
inline constexpr std::size_t kMaxListing = 64u << 20;
inline constexpr std::size_t kSendChunk = 256u << 10;  // one read and one send of an upload
// How long a command waits for the replies still owed to an earlier, failed
// one before it gives the connection up as out of step.
inline constexpr std::chrono::milliseconds kResyncWait{5000};

using Clock = std::chrono::steady_clock;

// How a failure travels inside the library; Guarded and GetFtpConnection
// turn it into the thread's last error.
struct Failure {
    DWORD code;
};

[[noreturn]] inline void Throw(DWORD code) { throw Failure{code}; }

// A name with CR or LF would end the command line early and the server
// would run the rest as commands of its own; NUL cuts it short on most servers.
inline bool CleanArgument(const std::string& arg) {
    return arg.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

inline void RequireClean(const std::string& arg) {
    if (!CleanArgument(arg)) Throw(ERROR_INVALID_NAME);
}

// The error code for a socket call that failed with errno `e`.
DWORD ErrnoCode(int e);

// Whether two addresses name the same host (the ports are not compared).
bool SameHost(const sockaddr_storage& a, const sockaddr_storage& b);

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

}  // namespace detail

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
    bool passive = false, utf8 = false, mlsd = false, mfmt = false;
    // The representation type the server last accepted ('A' or 'I', 0 before the first): it
    // holds until changed, and a walk of small files would otherwise pay a round trip for each.
    char typeSet = 0;
    // Whether this connection's last PASV/EPSV got a readable answer and its
    // data connection was made, or its last PORT/EPRT was accepted: only then
    // does the next set-up go out together with its transfer command.
    bool setupProven = false;
    // The answers to commands sent without waiting for them, oldest first;
    // they are always the oldest replies `owed` counts.
    std::deque<std::shared_ptr<DeferredReply>> deferred;
    // The reply code with which the server refused the last transfer command
    // itself (0 when it accepted it, or when an earlier step failed).
    int transferRefusal = 0;
    sockaddr_storage peer{}, local{};
    socklen_t peerLen = 0, localLen = 0;
    std::string inbuf;
    bool discarding = false;
    Timeouts* timeouts = nullptr;
    std::shared_ptr<detail::Resolution> resolving;  // the lookup a connect waits for; under fdMu, for Close
    // The transfers' copy buffer, made once per connection: a walk of
    // thousands of small files paid for a fresh megabyte (mapped, zeroed
    // and unmapped) with each one. Used under opMu.
    std::unique_ptr<char[]> copyBuffer;
    // TLS (tls.cpp): the settings, the name the certificate must carry, and
    // one session per connection; a data session resumes the control one's.
    Security security;
    std::string serverName;
    gnutls_certificate_credentials_t tlsCredentials = nullptr;
    gnutls_session_t tlsCtrl = nullptr, tlsData = nullptr;
    bool dataSending = false;  // the data connection carries an upload: its TLS end must reach the server
    // File names (names.cpp): the encoding (Auto until the login resolves
    // it), and the received parts kept raw that are valid UTF-8 all the
    // same, which must go back raw rather than be converted.
    NameEncoding names = NameEncoding::AsSent;
    std::set<std::string> rawNames;
    char* CopyBuffer() {
        if (!copyBuffer) copyBuffer.reset(new char[detail::kBuffer]);
        return copyBuffer.get();
    }

    ~Impl();

    // Throws 12017 after Close, 12030 once the control connection is gone.
    void Check() const;

    // --- io.cpp: the byte seam. Every byte of the control connection (ctrl)
    // and of the data connection (data) goes through Send and Receive, and
    // every wait for one of them through Wait and CtrlReadable; a layer under
    // both connections (encryption) wraps these and nothing else.

    // One send on `fd`; returns what ::send returns (-1 with errno set).
    ssize_t Send(int fd, const char* p, std::size_t n);
    // One receive on `fd`; returns what ::recv returns (0 at the end, -1 with errno set).
    ssize_t Receive(int fd, char* p, std::size_t n);
    // Waits until fd is ready; a Close from another thread wakes it through
    // shutdown(). Throws 12017 when cancelled, 12002 after `timeout`.
    void Wait(int fd, short events, std::chrono::milliseconds timeout);
    // Sends all `n` bytes, waiting at most `timeout` for room each time;
    // throws 12017 when cancelled, 12031/12030 when the socket fails.
    void SendAll(int fd, const char* p, std::size_t n, std::chrono::milliseconds timeout);
    // Whether the control connection has reply bytes to read right now (under
    // TLS it reads them into inbuf: a record may carry none).
    bool CtrlReadable();

    // --- tls.cpp

    // The TLS session on `fd`, or null.
    gnutls_session_t TlsFor(int fd) const;
    // AUTH TLS and the handshake on the control connection, as `security`
    // asks. Throws 12003 (the reply naming what was refused) when TLS is
    // required and refused, 12045 for a certificate that cannot be trusted,
    // 12157 when the handshake fails.
    void StartControlTls();
    // PBSZ 0 and PROT P after the login, when the control connection is TLS.
    void ProtectData();
    // The handshake on the data connection, resuming the control
    // connection's session; nothing for plain FTP.
    void StartDataTls();
    // Sends the data session's close (an upload is not complete without it) and frees it.
    void EndDataTls();
    void FreeTls();

    // --- names.cpp (the rule: NameEncoding in inet.h)

    // `name` as the server writes it; throws ERROR_NO_UNICODE_TRANSLATION
    // for a character its encoding lacks, ERROR_INVALID_NAME for CR, LF, NUL.
    std::string ToServer(const std::string& name) const;
    // A name the server sent, in UTF-8 where it decodes; never fails.
    std::string FromServer(const std::string& name);

    // --- resolve.cpp

    // Resolves `host` within `timeout`; Close from another thread ends the wait at once (12017). Numeric
    // addresses are read at once; names are looked up on a worker thread, since getaddrinfo itself cannot be
    // given a time limit nor be interrupted. 12007 when the name is unknown or the resolver did not answer in time.
    std::shared_ptr<detail::Resolution> Resolve(const std::string& host, const std::string& service,
                                                std::chrono::milliseconds timeout);
    // A non-blocking socket connected to `addr` within `timeout`, or -1 with
    // `err` set (12029, 12002, 12017 when cancelled, 12004).
    int ConnectTo(const sockaddr* addr, socklen_t len, std::chrono::milliseconds timeout, DWORD& err);

    // --- control.cpp

    // One line of the control connection, without its CR LF, cut to kMaxLineBytes.
    std::string ReadLine(std::chrono::milliseconds timeout);
    // The next reply, whole; it becomes the thread's last response info.
    Reply ReadReply();
    Reply ReadReply(std::chrono::milliseconds timeout);
    // Gives the connection up: replies can no longer be matched to commands.
    [[noreturn]] void OutOfStep();
    // Reads and drops the replies an earlier, failed command left owed (the
    // 226 or 426 of a transfer that broke off, the late answer to a command
    // that timed out), and any reply nobody asked for that is already
    // waiting, so that the next command reads its own answer. A server that
    // stays silent past kResyncWait leaves the connection unusable (12030).
    void Resync();
    // Sends command lines in one write, each counted owed, then reads the
    // deferred answers; the caller reads the lines' replies.
    void Write(std::initializer_list<std::string> cmds);
    // Sends one command line and returns its reply (a 1xx for a transfer command).
    Reply Command(const std::string& cmd);
    // Reads every deferred answer, within `timeout` each. Throws as ReadReply
    // does (every one not yet read then counts as lost), 12030 after a 421.
    void ReadDeferred(std::chrono::milliseconds timeout);
    // Marks every deferred answer not yet read as lost; the replies stay
    // owed and Resync drops them.
    void DropDeferred();
    // A command whose positive reply is all that matters; 12003 otherwise.
    void Expect(const std::string& cmd);
    // Reads the greeting, logs in (USER, PASS when asked) and learns the
    // server's features (FEAT, OPTS UTF8 ON). Throws 12014 for a refused
    // login, 12003 for other refusals.
    void Login(const std::string& user, const std::string& password);

    // --- data.cpp

    void SetData(int fd);
    // Closes the data connection and an active-mode listening socket.
    void CloseData();
    // The answer `r` to a transfer command: returns on a 1xx, throws 12003
    // (and keeps the code in transferRefusal) otherwise.
    void TransferReply(const Reply& r);
    // A data set-up that failed with `code`, its reply `setup`: when the
    // transfer command went out with it, reads that command's owed answer
    // first. Throws `code`, or 12030 when the connection cannot go on.
    [[noreturn]] void SetupFailed(bool pipelined, const Reply& setup, DWORD code);
    // Opens the data connection for `cmd` (STOR, RETR, LIST, MLSD) and
    // returns once the server has accepted the command (1xx).
    void OpenData(const std::string& cmd, DWORD type);
    // Closes the data connection and reads the transfer's final reply.
    void FinishData();
    // Everything the data connection sends until it ends; 12004 past `limit` bytes.
    std::string ReceiveAll(std::size_t limit);
};

namespace detail {

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

}  // namespace detail

}  // namespace inet
