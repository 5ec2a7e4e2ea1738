// One worker thread that runs jobs in the order they were queued: the
// browser's single FTP connection is used by one job at a time, so a refresh
// queued at the end of an upload and the command the user gives right after
// never cross on the wire.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace brovin {

class JobQueue {
public:
    JobQueue();
    // Stops: jobs not yet started are dropped, the running one is waited for.
    ~JobQueue();
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Queues `job`; ignored after Stop.
    void Post(std::function<void()> job);
    // Drops what has not started and waits for the running job to end.
    // Whoever calls it must first make a blocked job return (close the connection).
    void Stop();
    // True while a job runs or waits.
    bool Busy() const;

private:
    void Run();
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    bool running_ = false;
    std::thread thread_;
};

}  // namespace brovin
