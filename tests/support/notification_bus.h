// A session bus of a test's own, and on it, when asked, the scripted
// desktop notification service (fake_notifyd.py) that logs what it is sent.
#pragma once

#include "tests/support/test_support.h"

#include <signal.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace testsupport {

// A session bus of its own (nothing on it is started on demand) and, unless
// `service` is None, the scripted notification service on it.
class NotificationBus {
public:
    enum class Service { None, Answering, Silent };

    explicit NotificationBus(Service service) : address_("unix:path=" + (dir_ / "bus")) {
        WriteFile(dir_ / "bus.conf", "<busconfig><type>session</type><listen>" + address_ +
                              "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                              "<allow own=\"*\"/></policy></busconfig>\n");
        daemon_.pid = Spawn({"/usr/bin/dbus-daemon", "--config-file=" + (dir_ / "bus.conf"), "--nofork", "--syslog-only"});
        if (!WaitUntil([&] { return std::filesystem::exists(dir_ / "bus"); }))
            throw std::runtime_error("no session bus");
        if (service == Service::None) return;
        std::vector<std::string> argv = {"/usr/bin/python3", PARVEX_SOURCE_DIR "/tests/support/fake_notifyd.py",
                                         "--address", address_, "--log", dir_ / "log", "--ready", dir_ / "ready"};
        if (service == Service::Silent) argv.push_back("--silent");
        service_.pid = Spawn(argv);
        if (!WaitUntil([&] { return std::filesystem::exists(dir_ / "ready"); }))
            throw std::runtime_error("the notification service did not start");
    }

    const std::string& address() const { return address_; }
    // Every Notify the service took, one JSON object a line.
    std::string Log() const { return ReadFile(dir_ / "log"); }

private:
    struct Child {  // stopped even when the constructor throws
        int pid = -1;
        ~Child() {
            if (pid > 0 && ::kill(pid, SIGKILL) == 0) Wait(pid);
        }
    };
    TempDir dir_;
    std::string address_;
    Child daemon_, service_;  // the service goes first
};

}  // namespace testsupport
