// FtpConnection's own calls: the single commands (PWD, CWD, MKD, RMD,
// RNFR/RNTO, DELE, MDTM, MFMT, the deferred MFMT) and Close from any thread.
#include "platform/inet/connection_impl.h"

#include <sys/socket.h>
#include <unistd.h>

namespace inet {

using namespace detail;

FtpConnection::Impl::~Impl() {
    FreeTls();
    for (int fd : {ctrl, data, listener})
        if (fd >= 0) ::close(fd);
}

void FtpConnection::Impl::Check() const {
    if (cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
    if (serverClosed || ctrl < 0) Throw(ERROR_INTERNET_CONNECTION_ABORTED);
}

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
        directory = impl_->FromServer(path);
    });
}

bool FtpConnection::SetCurrentDirectory(const std::string& directory) {
    return Guarded(impl_.get(), [&] {
        // "../" and ".." both go up; CDUP is not needed on the servers we meet.
        impl_->Expect("CWD " + impl_->ToServer(directory));
    });
}

bool FtpConnection::CreateDirectory(const std::string& directory) {
    return Guarded(impl_.get(), [&] {
        impl_->Expect("MKD " + impl_->ToServer(directory));
    });
}

bool FtpConnection::RemoveDirectory(const std::string& directory) {
    return Guarded(impl_.get(), [&] {
        impl_->Expect("RMD " + impl_->ToServer(directory));
    });
}

bool FtpConnection::Rename(const std::string& from, const std::string& to) {
    return Guarded(impl_.get(), [&] {
        // Both names converted before RNFR: a refused RNTO would leave the server waiting for one.
        const std::string serverFrom = impl_->ToServer(from), serverTo = impl_->ToServer(to);
        Reply r = impl_->Command("RNFR " + serverFrom);
        if (r.code != 350) Throw(ERROR_INTERNET_EXTENDED_ERROR);
        impl_->Expect("RNTO " + serverTo);
    });
}

bool FtpConnection::CanSetModificationTime() const { return impl_ && impl_->mfmt; }

bool FtpConnection::GetModificationTime(const std::string& file, std::int64_t& time) {
    return Guarded(impl_.get(), [&] {
        Reply r = impl_->Command("MDTM " + impl_->ToServer(file));
        if (!ParseMdtmReply(r.text, time)) Throw(ERROR_INTERNET_EXTENDED_ERROR);
    });
}

bool FtpConnection::SetModificationTime(const std::string& file, std::int64_t time) {
    return Guarded(impl_.get(), [&] {
        const std::string stamp = FormatFtpTime(time);
        if (!impl_->mfmt || stamp.empty()) Throw(ERROR_INVALID_PARAMETER);
        impl_->Expect("MFMT " + stamp + " " + impl_->ToServer(file));
    });
}

std::shared_ptr<const DeferredReply> FtpConnection::SetModificationTimeDeferred(const std::string& file,
                                                                                std::int64_t time) {
    std::shared_ptr<DeferredReply> answer;
    Guarded(impl_.get(), [&] {
        const std::string stamp = FormatFtpTime(time);
        if (!impl_->mfmt || stamp.empty()) Throw(ERROR_INVALID_PARAMETER);
        impl_->Write({"MFMT " + stamp + " " + impl_->ToServer(file)});
        // Queued only once the answers before it have been read: they are the oldest replies owed.
        answer = std::make_shared<DeferredReply>();
        impl_->deferred.push_back(answer);
    });
    return answer;
}

bool FtpConnection::FinishDeferred() {
    return Guarded(impl_.get(), [&] {
        if (impl_->deferred.empty()) return;
        try {
            impl_->Check();
            impl_->ReadDeferred(impl_->timeouts->reply);
        } catch (const Failure&) {
            impl_->DropDeferred();
            throw;
        }
    });
}

bool FtpConnection::Remove(const std::string& file) {
    return Guarded(impl_.get(), [&] {
        impl_->Expect("DELE " + impl_->ToServer(file));
    });
}

}  // namespace inet
