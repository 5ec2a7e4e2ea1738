// A Secret Service of a test's own: gnome-keyring-daemon on a session bus
// of the process's own, with its keyrings in a private folder.
#pragma once

#include "platform/keyring/keyring.h"
#include "tests/support/notification_bus.h"
#include "tests/support/test_support.h"

#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>

namespace testsupport {

// One bus for the process (GLib keeps its session bus connection for good), set as DBUS_SESSION_BUS_ADDRESS by Bus();
// a KeyringService puts a keyring daemon on it for as long as it lives (Stop ends it early).
class KeyringService {
public:
    static NotificationBus& Bus() {
        static NotificationBus bus(NotificationBus::Service::None);  // ends with the process
        static const bool set = ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1) == 0;
        (void)set;
        return bus;
    }

    KeyringService() { Bus(); }
    ~KeyringService() { Stop(); }

    // Starts the daemon with the keyring unlocked (or locked: the keyring
    // file of an earlier Start stays locked). True once it answers.
    bool Start(bool unlocked) {
        using namespace std::chrono_literals;
        WriteFile(home_ / "password", unlocked ? "test-password" : "");
        const std::string unlock = unlocked ? " --unlock" : "";
        daemon_ = Spawn({"/usr/bin/env", "HOME=" + home_.path(), "XDG_DATA_HOME=" + (home_ / "data"),
                         "XDG_RUNTIME_DIR=" + home_.path(), "DBUS_SESSION_BUS_ADDRESS=" + Bus().address(), "/bin/sh",
                         "-c",
                         "exec /usr/bin/gnome-keyring-daemon --foreground --components=secrets" + unlock +
                             " <\"$0\" >/dev/null",
                         home_ / "password"});
        return WaitUntil([] { return keyring::Available(1s) == keyring::Status::Ok; }, 20000);
    }
    void Stop() {
        End(daemon_);
        daemon_ = -1;
    }

    // Starts silent_service.py under the bus name `name`; returns its pid (-1 when it did not come up).
    int StartSilent(const std::string& name) {
        const std::string ready = home_ / ("ready-" + name);
        const int pid = Spawn({"/usr/bin/python3", PARVEX_SOURCE_DIR "/tests/support/silent_service.py", "--address",
                               Bus().address(), "--name", name, "--ready", ready});
        return WaitUntil([&] { return ReadFile(ready) == "1"; }) ? pid : -1;
    }
    static void End(int pid) {
        if (pid > 0 && ::kill(pid, SIGTERM) == 0) Wait(pid);
    }

    const TempDir& home() const { return home_; }

private:
    TempDir home_;
    int daemon_ = -1;
};

}  // namespace testsupport
