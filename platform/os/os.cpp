#include "platform/os/os.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace os {

PathParts SplitPath(const std::string& path) {
    PathParts p;
    std::size_t slash = path.find_last_of('/');
    p.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        p.base = name;
    } else {
        p.base = name.substr(0, dot);
        p.extension = name.substr(dot);
    }
    return p;
}

std::string TempDirectory() {
    const char* t = std::getenv("TMPDIR");
    std::string dir = t && *t ? t : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool inQuotes = false, any = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            any = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

namespace {

// What the started process's helpers tell the caller through the pipe.
struct StartReport {
    int kind;  // kStarted: value is the program's pid; kExecFailed: value is errno
    int value;
};
constexpr int kStarted = 1, kExecFailed = 2;

void Send(int fd, int kind, int value) {
    StartReport r{kind, value};
    // One write under PIPE_BUF bytes arrives whole.
    while (::write(fd, &r, sizeof r) < 0 && errno == EINTR) {
    }
}

// The words as an exec argument vector ending in null; empty when there is
// no program name.
std::vector<char*> ArgumentVector(std::vector<std::string>& words) {
    std::vector<char*> argv;
    if (words.empty() || words[0].empty()) return argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

int StartProgram(const std::string& commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    std::vector<char*> argv = ArgumentVector(words);
    if (argv.empty()) return -1;

    // The program is started by a child that exits at once, so that it is
    // never a child of ours: the file manager that loads us lives for days
    // and would collect a zombie for every transfer. The pipe closes on exec,
    // so reading it to its end tells whether the program really started.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return -1;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on: the caller may have threads.
        ::close(fds[0]);
        pid_t program = ::fork();
        if (program < 0) ::_exit(1);
        if (program > 0) {
            Send(fds[1], kStarted, static_cast<int>(program));
            ::_exit(0);
        }
        // Out of the caller's session, with default signal actions and no
        // blocked signals: a SIGPIPE we ignore must not be ignored there.
        ::setsid();
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execvp(argv[0], argv.data());
        Send(fds[1], kExecFailed, errno);
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int pid = -1;
    bool failed = false;
    StartReport r{};
    for (;;) {
        ssize_t n = ::read(fds[0], &r, sizeof r);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(sizeof r)) break;
        if (r.kind == kStarted) pid = r.value;
        if (r.kind == kExecFailed) failed = true;
    }
    ::close(fds[0]);
    return failed ? -1 : pid;
}

int RunAndWait(const std::string& commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    std::vector<char*> argv = ArgumentVector(words);
    if (argv.empty()) return -1;
    pid_t pid = -1;
    // posix_spawnp reports a program that cannot be executed as its own
    // failure (glibc waits for the exec), so -1 means "never ran".
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

}  // namespace os

namespace os {

std::string ExecutableDirectory() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string p(buf, static_cast<std::size_t>(n));
    std::size_t slash = p.rfind('/');
    return slash == 0 ? "/" : p.substr(0, slash);
}

std::string FindModule(const std::string& name, const std::string& folders) {
    if (name.find('/') != std::string::npos) return name;
    const std::string dir = ExecutableDirectory();
    std::vector<std::string> candidates = {dir + "/" + name};
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string d = folders.substr(start, end - start);
        if (!d.empty()) candidates.push_back((d[0] == '/' ? d : dir + "/../" + d) + "/" + name);
        start = end + 1;
    }
    for (const auto& c : candidates) {
        struct stat st {};
        if (::stat(c.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return c;
    }
    return candidates.front();
}

}  // namespace os
