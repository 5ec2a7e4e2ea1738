// The keyring calls against a real Secret Service: gnome-keyring-daemon on a
// session bus of the test's own, with its keyrings in a private folder.
#include "platform/keyring/keyring.h"

#include "tests/support/keyring_service.h"

#include <gtest/gtest.h>
#include <glib.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

namespace {

using keyring::Key;
using keyring::Status;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr keyring::Timeout kWait = 10s;

class KeyringTest : public testing::Test {
protected:
    void Start(bool unlocked) { ASSERT_TRUE(service_.Start(unlocked)); }
    void Stop() { service_.Stop(); }

    static std::optional<std::string> Read(const Key& key) {
        std::string password;
        const Status status = keyring::Lookup(key, password, kWait);
        if (status == Status::NotFound) return std::nullopt;
        EXPECT_EQ(status, Status::Ok) << keyring::StatusName(status);
        return password;
    }

    testsupport::KeyringService service_;
};

const Key kKeys[] = {
    {"青空サーバ", "本番", "ftp.example.jp", "山田"},
    {"青空サーバ", "テスト環境", "ftp2.example.jp", "yamada"},
    {"みどり工房", "本番", "ftp.example.jp", "山田"},  // same entry name and server, another provider
};

TEST_F(KeyringTest, StoresLooksUpReplacesAndDeletesJapaneseEntries) {
    Start(true);
    for (const Key& key : kKeys)
        ASSERT_EQ(keyring::Store(key, "秘密:" + key.provider + "/" + key.entry, kWait), Status::Ok);
    for (const Key& key : kKeys) EXPECT_EQ(Read(key), "秘密:" + key.provider + "/" + key.entry);

    // Another server for an entry replaces its password; a lookup under the old server finds nothing.
    Key moved = kKeys[0];
    moved.server = "ftp.new.example.jp";
    ASSERT_EQ(keyring::Store(moved, "新しい", kWait), Status::Ok);
    EXPECT_EQ(Read(moved), "新しい");
    EXPECT_EQ(Read(kKeys[0]), std::nullopt);

    ASSERT_EQ(keyring::DeleteEntry(moved.provider, moved.entry, kWait), Status::Ok);
    EXPECT_EQ(Read(moved), std::nullopt);
    EXPECT_EQ(Read(kKeys[1]), "秘密:青空サーバ/テスト環境");
    EXPECT_EQ(Read(kKeys[2]), "秘密:みどり工房/本番");

    // A provider goes with all its entries and nothing of another provider's.
    ASSERT_EQ(keyring::Store(kKeys[0], "x", kWait), Status::Ok);
    ASSERT_EQ(keyring::DeleteProvider("青空サーバ", kWait), Status::Ok);
    EXPECT_EQ(Read(kKeys[0]), std::nullopt);
    EXPECT_EQ(Read(kKeys[1]), std::nullopt);
    EXPECT_EQ(Read(kKeys[2]), "秘密:みどり工房/本番");
    EXPECT_EQ(keyring::DeleteProvider("青空サーバ", kWait), Status::Ok);  // nothing left is no error

    // Names D-Bus cannot carry are refused before anything is sent; a NUL must not cut a name
    // down to another provider's.
    const std::string unsendable[] = {"\xff\xfe", std::string("みどり工房\0x", 17)};
    for (const std::string& name : unsendable) {
        const Key bad{name, "本番", "ftp.example.jp", "山田"};
        std::string password;
        EXPECT_EQ(keyring::Store(bad, "pw", kWait), Status::Failed);
        EXPECT_EQ(keyring::Lookup(bad, password, kWait), Status::Failed);
        EXPECT_EQ(keyring::DeleteEntry(name, "本番", kWait), Status::Failed);
        EXPECT_EQ(keyring::DeleteProvider(name, kWait), Status::Failed);
    }
    EXPECT_EQ(Read(kKeys[2]), "秘密:みどり工房/本番");
}

// Every call the way a program makes it, for the cases where it must fail.
struct Attempt {
    const char* name;
    Status (*run)(keyring::Timeout);
};
const Attempt kAttempts[] = {
    {"Available", [](keyring::Timeout t) { return keyring::Available(t); }},
    {"Store", [](keyring::Timeout t) { return keyring::Store(kKeys[0], "pw", t); }},
    {"Lookup",
     [](keyring::Timeout t) {
         std::string password = "stale";
         const Status status = keyring::Lookup(kKeys[0], password, t);
         return password.empty() ? status : Status::Ok;  // a failed lookup leaves no password behind
     }},
    {"DeleteEntry", [](keyring::Timeout t) { return keyring::DeleteEntry(kKeys[0].provider, kKeys[0].entry, t); }},
    {"DeleteProvider", [](keyring::Timeout t) { return keyring::DeleteProvider(kKeys[0].provider, t); }},
};

// A bus with no keyring on it, and no bus at all: a process started without a session (a cron job, a server) must not
// get a bus daemon of its own started for the display, where no keyring is either.
TEST_F(KeyringTest, WithoutServiceEveryCallSaysSoAtOnce) {
    for (const bool bus : {true, false}) {
        const std::string address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!bus) {
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            ::setenv("XDG_RUNTIME_DIR", service_.home().path().c_str(), 1);
            ::setenv("DISPLAY", ":0", 1);
        }
        for (const Attempt& attempt : kAttempts) {
            const auto start = Clock::now();
            EXPECT_EQ(attempt.run(kWait), Status::NoService) << attempt.name << (bus ? "" : " without a bus");
            EXPECT_LT(Clock::now() - start, kWait) << attempt.name;  // an answer, not the time-out
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
}

// The session bus dies while a call waits on it (the keyring never answered): the call fails, and the program lives
// on. Run in a child process of its own (this binary again), with a bus that nothing else in it uses; GLib would end
// the whole process with SIGTERM when its shared connection closes.
TEST(KeyringBus, ASessionBusThatGoesAwayDoesNotEndTheProgram) {  // no fixture: its bus would outlive a killed child
    if (std::getenv("PARVEX_KEYRING_BUS_GOES") == nullptr) {
        const testsupport::RunResult child = testsupport::RunProgram(
            {"/proc/self/exe", "--gtest_filter=KeyringBus.ASessionBusThatGoesAwayDoesNotEndTheProgram"}, "",
            {"PARVEX_KEYRING_BUS_GOES=1"});
        EXPECT_EQ(child.exitCode, 0) << child.out << child.err;
        return;
    }
    testsupport::TempDir dir;
    const std::string address = "unix:path=" + (dir / "bus");
    const int daemon = testsupport::Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--address=" + address});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return std::filesystem::exists(dir / "bus"); }));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    const int silent = testsupport::Spawn({"/usr/bin/python3", PARVEX_SOURCE_DIR "/tests/support/silent_service.py",
                                           "--address", address, "--name", "org.freedesktop.secrets", "--ready",
                                           dir / "ready"});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return testsupport::ReadFile(dir / "ready") == "1"; }));
    std::thread killer([&] {
        // GLib's bus thread is there once the call's connection is.
        testsupport::WaitUntil([] {
            for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
                if (testsupport::ReadFile(task.path() / "comm").rfind("gdbus", 0) == 0) return true;
            return false;
        });
        ::kill(daemon, SIGKILL);
    });
    const Status status = keyring::Store(kKeys[0], "pw", 10s);
    killer.join();
    testsupport::Wait(daemon);
    testsupport::KeyringService::End(silent);
    // A program's own main loop is where GLib acts on the closed connection: run it for a while.
    for (int i = 0; i < 50; ++i) {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(20ms);
    }
    std::fprintf(stderr, "call ended: %s\n", keyring::StatusName(status));
    std::exit(status == Status::Ok ? 1 : 0);  // the process bus goes with the static objects
}

int Threads() {
    int count = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}

TEST_F(KeyringTest, ServiceThatNeverAnswersTimesOut) {
    keyring::Available(kWait);  // GLib's own bus threads are there from now on
    const int threads = Threads();
    const int service = service_.StartSilent("org.freedesktop.secrets");
    ASSERT_GT(service, 0);
    for (const Attempt& attempt : kAttempts) {
        const auto start = Clock::now();
        EXPECT_EQ(attempt.run(500ms), Status::TimedOut) << attempt.name;
        EXPECT_LT(Clock::now() - start, 3s) << attempt.name;
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Threads() <= threads; })) << Threads() << " threads";
    testsupport::KeyringService::End(service);
}

// The keyring file of an earlier session, locked now. The daemon's prompt either fails at once (no prompter on the
// bus) or is never answered (a prompter that takes the call and stays silent): both end as "locked" within the
// caller's time-out, never as success and never as a hang, and the abandoned call's thread ends too (a long-running
// program must not collect blocked threads).
TEST_F(KeyringTest, LockedKeyringFailsAsLockedWithinTheTimeOut) {
    Start(true);
    ASSERT_EQ(keyring::Store(kKeys[0], "pw", kWait), Status::Ok);
    Stop();
    const int threads = Threads();
    for (const bool silentPrompter : {false, true}) {
        SCOPED_TRACE(silentPrompter ? "silent prompter" : "no prompter");
        const int prompter = silentPrompter ? service_.StartSilent("org.gnome.keyring.SystemPrompter") : 0;
        ASSERT_GE(prompter, 0);
        for (const Attempt& attempt : kAttempts) {
            Start(false);  // afresh for each: the daemon aborts on a second unlock while a prompt is open
            const auto start = Clock::now();
            const Status status = attempt.run(2s);
            if (attempt.run == kAttempts[0].run)
                EXPECT_EQ(status, Status::Ok);  // a locked keyring is still a service
            else
                EXPECT_EQ(status, Status::Locked) << attempt.name << ": " << keyring::StatusName(status);
            EXPECT_LT(Clock::now() - start, 4s) << attempt.name;
            Stop();
        }
        testsupport::KeyringService::End(prompter);
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Threads() <= threads; })) << Threads() << " threads";
}

}  // namespace
