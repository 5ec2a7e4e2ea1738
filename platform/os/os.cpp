#include "platform/os/os.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>

extern char** environ;

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

int StartProgram(const std::string& commandLine) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return -1;
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    // The program starts with default signal actions: a SIGPIPE we ignore must not be ignored there.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attr, &all);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -1;
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
