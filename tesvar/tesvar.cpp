#include "tesvar/tesvar.h"

#include "tesvar/codec.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = 1u << 20;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        int f = fd_;
        fd_ = -1;
        return f;
    }

private:
    int fd_;
};

ssize_t ReadFull(int fd, std::uint8_t* p, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = ::read(fd, p + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

bool WriteFull(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// A destination left over from an earlier run must not survive a failed
// one: the transfer engine would upload the stale copy as if it were new.
int FailAndRemove(int status, const std::string& destination, const struct stat* sourceStat) {
    struct stat st {};
    if (::lstat(destination.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        !(sourceStat && st.st_dev == sourceStat->st_dev && st.st_ino == sourceStat->st_ino))
        ::unlink(destination.c_str());
    return status;
}

}  // namespace

extern "C" int StartCodeConvert(int code, const char* const* source, const char* const* destination) {
    if (destination == nullptr || *destination == nullptr || **destination == '\0') return TESVAR_BAD_ARGUMENT;
    std::string dst = *destination;
    if (code < 0 || code > 2 || source == nullptr || *source == nullptr)
        return FailAndRemove(TESVAR_BAD_ARGUMENT, dst, nullptr);
    std::string src = *source;

    Fd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat srcStat {};
    if (in.get() < 0 || ::fstat(in.get(), &srcStat) != 0 || S_ISDIR(srcStat.st_mode))
        return FailAndRemove(TESVAR_READ_FAILED, dst, in.get() >= 0 ? &srcStat : nullptr);
    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[kChunk]);
    std::unique_ptr<std::uint8_t[]> out(new (std::nothrow) std::uint8_t[tesvar::Converter::MaxOutput(kChunk)]);
    if (!buf || !out) return FailAndRemove(TESVAR_WRITE_FAILED, dst, &srcStat);

    // Detection reads ahead only as far as it needs, then the file is read again from the start.
    tesvar::Detector detector;
    bool seekable = true;
    for (;;) {
        ssize_t n = ReadFull(in.get(), buf.get(), kChunk);
        if (n < 0) return FailAndRemove(TESVAR_READ_FAILED, dst, &srcStat);
        if (n == 0 || detector.Feed(buf.get(), static_cast<std::size_t>(n))) break;
    }
    if (::lseek(in.get(), 0, SEEK_SET) != 0) seekable = false;
    if (!seekable) return FailAndRemove(TESVAR_READ_FAILED, dst, &srcStat);

    std::string dir = dst.substr(0, dst.find_last_of('/') + 1);
    std::string tmpl = dir + "." + dst.substr(dir.size()) + ".XXXXXX";
    Fd outFd(::mkstemp(tmpl.data()));
    if (outFd.get() < 0) return FailAndRemove(TESVAR_WRITE_FAILED, dst, &srcStat);
    auto abandon = [&](int status) {
        ::close(outFd.release());
        ::unlink(tmpl.c_str());
        return FailAndRemove(status, dst, &srcStat);
    };

    tesvar::Converter conv(detector.Result(), static_cast<tesvar::Target>(code));
    for (;;) {
        ssize_t n = ReadFull(in.get(), buf.get(), kChunk);
        if (n < 0) return abandon(TESVAR_READ_FAILED);
        std::size_t m = n == 0 ? conv.Finish(out.get()) : conv.Convert(buf.get(), static_cast<std::size_t>(n), out.get());
        if (!WriteFull(outFd.get(), out.get(), m)) return abandon(TESVAR_WRITE_FAILED);
        if (n == 0) break;
    }

    // The new file gets the mode an existing destination had, else a new file's.
    struct stat old {};
    mode_t mode;
    if (::stat(dst.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(outFd.get(), mode);
    if (::close(outFd.release()) != 0) {
        ::unlink(tmpl.c_str());
        return FailAndRemove(TESVAR_WRITE_FAILED, dst, &srcStat);
    }
    if (::rename(tmpl.c_str(), dst.c_str()) != 0) {
        ::unlink(tmpl.c_str());
        return FailAndRemove(TESVAR_WRITE_FAILED, dst, &srcStat);
    }
    return TESVAR_OK;
}

namespace {

// The documents folder named in user-dirs.dirs, with $HOME expanded; empty if none.
std::string XdgDocuments(const std::string& home) {
    const char* cfg = std::getenv("XDG_CONFIG_HOME");
    std::string file = (cfg && *cfg == '/' ? std::string(cfg) : home + "/.config") + "/user-dirs.dirs";
    FILE* f = std::fopen(file.c_str(), "r");
    if (!f) return {};
    std::string result;
    char line[4096];
    while (std::fgets(line, sizeof line, f)) {
        std::string l = line;
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        std::size_t k = l.find(key);
        if (k == std::string::npos || l.find_first_not_of(" \t") != k) continue;
        std::size_t end = l.find('"', k + key.size());
        if (end == std::string::npos) continue;
        std::string v = l.substr(k + key.size(), end - k - key.size());
        if (v.rfind("$HOME", 0) == 0) v = home + v.substr(5);
        if (!v.empty() && v[0] == '/') result = v;
    }
    std::fclose(f);
    return result;
}

}  // namespace

extern "C" int GetSpecialFolder(int folder, char* buffer) {
    if (buffer == nullptr) return TESVAR_BAD_ARGUMENT;
    buffer[0] = '\0';
    const char* h = std::getenv("HOME");
    if (h == nullptr || *h == '\0') return TESVAR_BAD_ARGUMENT;
    std::string home = h, path = home;
    if (folder == 5) {
        struct stat st {};
        std::string xdg = XdgDocuments(home);
        if (!xdg.empty())
            path = xdg;
        else if (::stat((home + "/Documents").c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            path = home + "/Documents";
    }
    constexpr std::size_t kBuffer = 260;
    std::size_t n = path.size();
    if (n >= kBuffer) {
        n = kBuffer - 1;
        while (n > 0 && (static_cast<unsigned char>(path[n]) & 0xC0) == 0x80) --n;  // not inside a character
    }
    std::memcpy(buffer, path.data(), n);
    buffer[n] = '\0';
    return TESVAR_OK;
}
