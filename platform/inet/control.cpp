// The control connection: command lines out, replies in, the count of
// replies the server still owes, and the login.
#include "platform/inet/connection_impl.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace inet {

using namespace detail;

std::string FtpConnection::Impl::ReadLine(std::chrono::milliseconds timeout) {
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
        ssize_t r = Receive(ctrl, buf, sizeof buf);
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

Reply FtpConnection::Impl::ReadReply() { return ReadReply(timeouts->reply); }

Reply FtpConnection::Impl::ReadReply(std::chrono::milliseconds timeout) {
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

void FtpConnection::Impl::OutOfStep() {
    serverClosed = true;
    {
        std::lock_guard<std::mutex> lock(fdMu);
        if (ctrl >= 0) ::shutdown(ctrl, SHUT_RDWR);
    }
    Throw(ERROR_INTERNET_CONNECTION_ABORTED);
}

void FtpConnection::Impl::Resync() {
    // Only deferred answers are owed: they are read after the next line, and what is waiting may be theirs.
    if (!deferred.empty() && owed <= static_cast<int>(deferred.size())) return;
    if (owed == 0 && inbuf.empty() && !CtrlReadable()) return;
    auto deadline = Clock::now() + std::min(timeouts->reply, kResyncWait);
    auto left = [&] {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return std::max(ms, std::chrono::milliseconds(1));
    };
    try {
        ReadDeferred(left());
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

void FtpConnection::Impl::Write(std::initializer_list<std::string> cmds) {
    std::string lines;
    for (const std::string& cmd : cmds) {
        RequireClean(cmd);  // the last line of defence; the public calls check their arguments first
        lines += cmd + "\r\n";
    }
    Check();
    Resync();
    owed += static_cast<int>(cmds.size());  // before sending: a send that breaks off may still have reached the server
    SendAll(ctrl, lines.data(), lines.size(), timeouts->reply);
    ReadDeferred(timeouts->reply);
}

Reply FtpConnection::Impl::Command(const std::string& cmd) {
    Write({cmd});
    return ReadReply();
}

void FtpConnection::Impl::ReadDeferred(std::chrono::milliseconds timeout) {
    try {
        while (!deferred.empty()) {
            Reply r = ReadReply(timeout);
            // A 1xx to a command that starts no transfer: which final reply is whose can no longer be told.
            if (r.Preliminary()) OutOfStep();
            deferred.front()->state = r.Positive() ? DeferredReply::kPositive : DeferredReply::kFailed;
            deferred.pop_front();
        }
    } catch (const Failure&) {
        DropDeferred();
        throw;
    }
    if (serverClosed) Throw(ERROR_INTERNET_CONNECTION_ABORTED);  // a 421 answered one of them
}

void FtpConnection::Impl::DropDeferred() {
    for (auto& d : deferred) d->state = DeferredReply::kFailed;
    deferred.clear();
}

void FtpConnection::Impl::Expect(const std::string& cmd) {
    Reply r = Command(cmd);
    if (!r.Positive()) Throw(ERROR_INTERNET_EXTENDED_ERROR);
}

void FtpConnection::Impl::Login(const std::string& user, const std::string& password) {
    Reply r = ReadReply();
    while (r.Preliminary()) r = ReadReply();  // 120: ready in a moment
    if (r.code != 220) Throw(ERROR_INTERNET_EXTENDED_ERROR);
    StartControlTls();
    r = Command("USER " + (user.empty() ? std::string("anonymous") : user));
    if (r.code == 331 || r.code == 332) r = Command("PASS " + password);
    if (r.code == 530) Throw(ERROR_INTERNET_LOGIN_FAILURE);
    if (r.code != 230 && r.code != 202) Throw(ERROR_INTERNET_EXTENDED_ERROR);
    const std::string loggedIn = r.text;
    ProtectData();
    Reply feat = Command("FEAT");
    if (feat.code == 211) {
        std::string f = feat.text;
        for (char& ch : f) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        mlsd = f.find("\n MLSD") != std::string::npos || f.find(" MLST") != std::string::npos;
        utf8 = f.find(" UTF8") != std::string::npos;
        mfmt = f.find("\n MFMT") != std::string::npos;
    }
    // A server told we speak UTF-8 would read Shift_JIS or EUC-JP names wrongly.
    const bool legacy = names == NameEncoding::ShiftJis || names == NameEncoding::EucJp;
    if (utf8 && !legacy) Command("OPTS UTF8 ON");
    // UTF8 in FEAT settles it: a server that is always UTF-8 (pyftpdlib) may
    // refuse OPTS UTF8 ON as a switch it does not have.
    if (names == NameEncoding::Auto) names = utf8 ? NameEncoding::Utf8 : NameEncoding::ShiftJis;
    SetLastResponseInfo(loggedIn);
}

}  // namespace inet
