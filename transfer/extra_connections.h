// The connections an upload opens beside its own to send files at the same
// time: each logs in like the walk's own connection, takes files from a
// short queue, goes to each file's directory by its absolute path (never
// making one) and sends it. The walk's thread hands files in and collects
// what became of them; these threads never report anything themselves.
// A connection the server ends (421, or dropped) puts its file back at the
// head of the queue and is not used again. A file whose MFMT answer is still
// owed is given back (Finished) once that answer is read: by the
// connection's next command, or before it waits for more or ends.
#pragma once

#include "platform/inet/inet.h"
#include "transfer/sent_record.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace transfer {

// How to log in once more the way the walk's own connection did.
struct Login {
    std::string server;
    std::string user;
    std::string password;
    std::uint16_t port = 0;
    inet::Security security;  // with the certificates the user trusted already
    inet::NameEncoding names = inet::NameEncoding::Auto;
};

// One file to send. Copies only: the walk's list grows (and moves) while files are under way.
struct SendJob {
    std::size_t item = 0;   // its place in the walk's list
    std::string file;       // the local file
    std::string sent;       // what goes: the file, or its converted copy (removed once sent or dropped)
    std::string directory;  // where it goes: an absolute server path
    std::string name;       // its name there
    inet::DWORD type = inet::FTP_TRANSFER_TYPE_BINARY;
    bool stamp = false;     // set its time on the server and note it for the record of sent files
};

// What a connection notes of a file it has just sent, for the record of sent files.
struct Stamped {
    SentFile record;  // with remoteTime 0: the server's time is what `answer` tells
    // The answer to the MFMT that sets the server's time to the local one; null when none went (or it failed).
    std::shared_ptr<const inet::DeferredReply> answer;
    // Whether the answer is in (or none is awaited).
    bool Known() const { return !answer || answer->state != inet::DeferredReply::kOwed; }
    // The record, with the server's time where MFMT was answered positively (remoteTime 0 otherwise).
    SentFile Final() const;
};

struct SendResult {
    SendJob job;
    bool ok = false;
    inet::DWORD error = 0;              // the failure's code when not ok
    std::string reply;                  // and the server's last reply then (the reports read it on their thread)
    std::optional<Stamped> record;      // with `stamp`, after a send: what was sent, its MFMT answered
};

// What `conn` is to note of a file it has just sent as `name` (in its
// current directory) from `file`: the local size and time, and where the
// server can, an MFMT setting the server's time to the local one. Its answer
// is not waited for: the connection reads it after its next command line (or
// in FinishDeferred). nullopt when the local file is gone.
std::optional<Stamped> StampSent(inet::FtpConnection* conn, const std::string& file, const std::string& name);

class ExtraConnections {
public:
    // Starts `count` threads, each logging in with `login`; files queue up
    // to twice `count` deep (a file for each to take when it ends one).
    ExtraConnections(const Login& login, int count);
    // Closes every connection and waits for the threads; a file still queued is dropped.
    ~ExtraConnections();
    ExtraConnections(const ExtraConnections&) = delete;
    ExtraConnections& operator=(const ExtraConnections&) = delete;

    // Queues `job`; false (the job left to the caller) when the queue is
    // full, or no connection is left to take it.
    bool Offer(SendJob& job);
    // A queued job no connection will take any more (every one failed to log
    // in or has ended); false when there is none.
    bool TakeBack(SendJob& job);
    // The files finished since the last call, in the order they finished.
    std::vector<SendResult> Finished();
    // Files queued or being sent, whose results Finished has not given yet.
    std::size_t Pending();
    // Waits until a file finishes, a connection ends, or `ms` pass.
    void Wait(int ms);
    // No more files are taken; the one each connection is sending goes on
    // to its end unless `now`, which closes every connection at once (a
    // transfer under way fails). Safe from any thread.
    void Close(bool now);
    // How many connections logged in.
    int LoggedIn();

private:
    void Run(std::size_t slot);

    const Login login_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<SendJob> queue_;
    std::vector<SendResult> finished_;
    std::vector<std::unique_ptr<inet::InternetSession>> sessions_;
    std::vector<std::thread> threads_;
    std::size_t limit_;
    std::size_t busy_ = 0;  // jobs taken and not finished
    int alive_;             // threads still taking files (or logging in)
    int loggedIn_ = 0;
    bool closed_ = false;
};

}  // namespace transfer
