#include "browser/core/job_queue.h"

namespace brovin {

JobQueue::JobQueue() : thread_([this] { Run(); }) {}

JobQueue::~JobQueue() { Stop(); }

void JobQueue::Post(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mu_);
    if (stopping_) return;
    jobs_.push_back(std::move(job));
    cv_.notify_one();
}

void JobQueue::Stop() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        stopping_ = true;
        jobs_.clear();
        cv_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
}

bool JobQueue::Busy() const {
    std::lock_guard<std::mutex> lock(mu_);
    return running_ || !jobs_.empty();
}

void JobQueue::Run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mu_);
            cv_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            running_ = true;
        }
        job();
        std::lock_guard<std::mutex> lock(mu_);
        running_ = false;
    }
}

}  // namespace brovin
