// Helpers shared by the test suites: private temporary folders, a fresh
// registry store per test, and running real programs.
#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A folder under $TMPDIR made for one test and removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Points PARVEX_REGISTRY at a new store file in its own folder for the
// object's life, so that every test starts from an empty registry.
class ScopedStore {
public:
    ScopedStore();
    ~ScopedStore();
    const std::string& file() const { return file_; }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::string file_;
};

// Sets the environment variable `name` to `value` (unsets it for null) while it lives; the old value comes back after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A span of time in seconds, for the tests that measure how long something took.
inline double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct RunResult {
    int exitCode = -1;   // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `argv` to completion with `input` on its standard input and returns what it printed. Extra environment entries
// ("NAME=value") are added, in place of inherited ones of the same name.
RunResult RunProgram(const std::vector<std::string>& argv, const std::string& input = "",
              const std::vector<std::string>& env = {});

// Starts `argv` in the background; returns its pid.
int Spawn(const std::vector<std::string>& argv);
// Waits for a spawned process; returns its exit status or 128 + signal.
int Wait(int pid);

std::string ReadFile(const std::string& path);
// Writes `text` as the whole of the file `path`, making its missing folders first.
// `utf8` written in `charset` (iconv's name, "CP932"), as the disk of a server
// that keeps names in that encoding holds it; a character it lacks fails the test.
std::string Encode(const char* charset, const std::string& utf8);
void WriteFile(const std::string& path, const std::string& text);

// Asks `done` every 20 ms until it says yes (true) or `ms` have passed (false),
// for tests without an event loop to run meanwhile (window tests use PumpUntil).
bool WaitUntil(const std::function<bool()>& done, int ms = 5000);

}  // namespace testsupport
