#include "transfer/extra_connections.h"

#include "common/walk/remote_path.h"
#include "common/walk/transfer_mode.h"

#include <sys/stat.h>

#include <chrono>
#include <utility>

namespace transfer {

SentFile Stamped::Final() const {
    SentFile f = record;
    if (answer && answer->state == inet::DeferredReply::kPositive) f.remoteTime = f.localTime;
    return f;
}

std::optional<Stamped> StampSent(inet::FtpConnection* conn, const std::string& file, const std::string& name) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    Stamped s;
    s.record.localSize = static_cast<std::uint64_t>(st.st_size);
    s.record.localTime = st.st_mtime;
    s.record.sentSize = s.record.localSize;
    // Where the server can, its time becomes the local one: the next look tells our copy exactly. A refused or
    // lost answer leaves remoteTime 0, as if none had been set.
    if (conn->CanSetModificationTime())
        s.answer = conn->SetModificationTimeDeferred(walk::InCurrentDirectory(name), st.st_mtime);
    return s;
}

ExtraConnections::ExtraConnections(const Login& login, int count)
    : login_(login), limit_(static_cast<std::size_t>(2 * count)), alive_(count) {
    for (int k = 0; k < count; ++k) sessions_.push_back(std::make_unique<inet::InternetSession>());
    for (int k = 0; k < count; ++k) threads_.emplace_back(&ExtraConnections::Run, this, static_cast<std::size_t>(k));
}

ExtraConnections::~ExtraConnections() {
    Close(true);
    for (auto& t : threads_) t.join();
}

void ExtraConnections::Close(bool now) {
    std::lock_guard<std::mutex> lock(mu_);
    closed_ = true;
    for (const SendJob& job : queue_) walk::RemoveTempCopy(job.sent);
    queue_.clear();
    if (now)
        for (auto& s : sessions_) s->Close();
    cv_.notify_all();
}

bool ExtraConnections::Offer(SendJob& job) {
    std::lock_guard<std::mutex> lock(mu_);
    if (closed_ || alive_ == 0 || queue_.size() >= limit_) return false;
    queue_.push_back(std::move(job));
    cv_.notify_all();
    return true;
}

bool ExtraConnections::TakeBack(SendJob& job) {
    std::lock_guard<std::mutex> lock(mu_);
    if (alive_ > 0 || queue_.empty()) return false;
    job = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

std::vector<SendResult> ExtraConnections::Finished() {
    std::lock_guard<std::mutex> lock(mu_);
    return std::exchange(finished_, {});
}

std::size_t ExtraConnections::Pending() {
    std::lock_guard<std::mutex> lock(mu_);
    return queue_.size() + busy_ + finished_.size();
}

void ExtraConnections::Wait(int ms) {
    std::unique_lock<std::mutex> lock(mu_);
    cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] {
        return !finished_.empty() || (alive_ == 0 && !queue_.empty()) || (queue_.empty() && busy_ == 0);
    });
}

int ExtraConnections::LoggedIn() {
    std::lock_guard<std::mutex> lock(mu_);
    return loggedIn_;
}

namespace {

SendResult Send(inet::FtpConnection* conn, std::string& here, SendJob&& job) {
    SendResult r;
    r.job = std::move(job);
    const SendJob& j = r.job;
    // The directory exists: the walk made it before it handed over any of its files.
    if (j.directory != here) {
        if (!conn->SetCurrentDirectory(j.directory)) {
            r.error = inet::GetLastInternetError();
            r.reply = inet::GetLastResponseInfo();
            return r;
        }
        here = j.directory;
    }
    r.ok = conn->PutFile(j.sent, walk::InCurrentDirectory(j.name), j.type);
    r.error = r.ok ? 0 : inet::GetLastInternetError();
    r.reply = r.ok ? "" : inet::GetLastResponseInfo();
    if (r.ok && j.stamp) r.record = StampSent(conn, j.file, j.name);
    return r;
}

// Whether the server ended the session rather than refused the file: a
// session left idle while the walk made directories may have been closed.
bool SessionEnded(const SendResult& r) {
    return r.reply.rfind("421", 0) == 0 || r.error == inet::ERROR_INTERNET_CONNECTION_ABORTED ||
           r.error == inet::ERROR_INTERNET_CONNECTION_RESET;
}

}  // namespace

void ExtraConnections::Run(std::size_t slot) {
    inet::FtpConnection* conn = nullptr;
    try {
        conn = sessions_[slot]->GetFtpConnection(login_.server, login_.user, login_.password, login_.port, false, {},
                                                 login_.security, login_.names);
    } catch (const inet::InternetException&) {
        // A server that allows fewer connections from one address refuses
        // this one: the files go over those that did log in.
    }
    std::unique_lock<std::mutex> lock(mu_);
    if (conn) ++loggedIn_;
    std::string here;
    // Files sent whose MFMT answer is still owed, in the order they went; each still counts as busy.
    std::deque<SendResult> stamping;
    const auto finish = [&] {
        while (!stamping.empty() && (!stamping.front().record || stamping.front().record->Known())) {
            --busy_;
            finished_.push_back(std::move(stamping.front()));
            stamping.pop_front();
            cv_.notify_all();
        }
    };
    // Before this connection waits for more, or ends: the walk must not wait for a file that waits for a command.
    const auto settle = [&] {
        lock.unlock();
        conn->FinishDeferred();  // leaves no answer owed, whatever it returns
        lock.lock();
        finish();
    };
    while (conn) {
        if (!stamping.empty() && (closed_ || queue_.empty())) settle();
        cv_.wait(lock, [this] { return closed_ || !queue_.empty(); });
        if (closed_) break;
        SendJob job = std::move(queue_.front());
        queue_.pop_front();
        ++busy_;
        lock.unlock();
        SendResult result = Send(conn, here, std::move(job));
        lock.lock();
        if (!result.ok && !closed_ && SessionEnded(result)) {
            // Not the file's failure: it goes over another connection (at worst the walk's own), this one ends.
            --busy_;
            queue_.push_front(std::move(result.job));
            break;
        }
        walk::RemoveTempCopy(result.job.sent);
        stamping.push_back(std::move(result));
        finish();  // this one, when it awaits no answer, and those whose answer Send read
    }
    if (!stamping.empty()) settle();
    --alive_;
    cv_.notify_all();
}

}  // namespace transfer
