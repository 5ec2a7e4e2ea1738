// A TCP relay on 127.0.0.1 in front of a test server, for the tests of a lost connection: it can cut every connection
// it carries (as a router that forgets an idle connection does) and refuse new ones (a server gone away).
#pragma once

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace browsertest {

class Relay {
public:
    // Relays every connection made to port() to `targetPort` on 127.0.0.1.
    explicit Relay(int targetPort);
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    int port() const { return port_; }
    // Closes both sides of every connection relayed so far.
    void CutAll();
    // While true, a new connection is closed as soon as it is accepted.
    void Refuse(bool refuse) { refuse_ = refuse; }
    // Connections accepted so far.
    int Accepted() const { return accepted_; }

private:
    void AcceptLoop();
    void Carry(int a, int b);

    int target_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<bool> refuse_{false};
    std::atomic<int> accepted_{0};
    std::mutex mu_;
    std::vector<int> fds_;
    std::vector<std::thread> carriers_;
    std::thread acceptor_;
};

}  // namespace browsertest
