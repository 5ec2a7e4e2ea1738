// Another process that holds the settings store's write lock, as a program in the middle of a long write would: a
// real SQLite connection in python3, in a write transaction until the object goes away.
#pragma once

#include "tests/support/test_support.h"

#include <signal.h>

#include <filesystem>
#include <string>

namespace testsupport {

class StoreHolder {
public:
    // Returns once the lock is held (or after 20 s without it: held() then says so).
    explicit StoreHolder(const std::string& storeFile) : marker_(dir_ / "held") {
        static const char* const kScript =
            "import sqlite3, sys, time\n"
            "db = sqlite3.connect(sys.argv[1], isolation_level=None, timeout=30)\n"
            "db.execute('BEGIN IMMEDIATE')\n"
            "open(sys.argv[2], 'w').close()\n"
            "time.sleep(120)\n";
        pid_ = Spawn({"/usr/bin/python3", "-c", kScript, storeFile, marker_});
        held_ = WaitUntil([this] { return std::filesystem::exists(marker_); }, 20000);
    }
    ~StoreHolder() { Release(); }
    StoreHolder(const StoreHolder&) = delete;
    StoreHolder& operator=(const StoreHolder&) = delete;

    bool held() const { return held_; }
    // Ends the holder, which rolls its transaction back.
    void Release() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        Wait(pid_);
        pid_ = 0;
    }

private:
    TempDir dir_;
    std::string marker_;
    int pid_ = 0;
    bool held_ = false;
};

}  // namespace testsupport
