#include "tesvar/tesvar.h"

#include "tesvar/codec.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        if (w < 0) return false;
        if (w == 0) {
            errno = EIO;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Control bytes that text in these codes never holds and binary files nearly
// always do: every byte below 0x20 except BS, TAB, LF, VT, FF, CR, SO and SI
// (the shifts of 7-bit JIS), SUB (old MS-DOS editors end a file with it) and
// ESC (JIS designations).
constexpr std::uint32_t kBinaryControls = ~((1u << 0x08) | (1u << 0x09) | (1u << 0x0A) | (1u << 0x0B) |
                                            (1u << 0x0C) | (1u << 0x0D) | (1u << 0x0E) | (1u << 0x0F) |
                                            (1u << 0x1A) | (1u << 0x1B));

bool HasBinaryControl(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time: line ends, tabs and ESC are the only control bytes in nearly every block.
    const __m128i k1F = _mm_set1_epi8(0x1F), kLf = _mm_set1_epi8('\n'), kCr = _mm_set1_epi8('\r'),
                  kTab = _mm_set1_epi8('\t'), kEsc = _mm_set1_epi8(0x1B);
    for (; i + 16 <= n; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, k1F), x);
        __m128i common = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, kLf), _mm_cmpeq_epi8(x, kCr)),
                                      _mm_or_si128(_mm_cmpeq_epi8(x, kTab), _mm_cmpeq_epi8(x, kEsc)));
        if (_mm_movemask_epi8(_mm_andnot_si128(common, low)) == 0) continue;
        for (std::size_t k = i; k < i + 16; ++k)
            if (p[k] < 0x20 && (kBinaryControls >> p[k] & 1u)) return true;
    }
#endif
    for (; i < n; ++i)
        if (p[i] < 0x20 && (kBinaryControls >> p[i] & 1u)) return true;
    return false;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }

// The file a path finally names: symbolic links are followed (a relative one
// from the folder that holds it), so that the conversion updates a link's
// target and keeps the link. `st` holds the final file's lstat, `exists`
// whether there is one. False with errno set when the chain cannot be
// followed (a loop, a folder that cannot be searched).
bool ResolveTarget(std::string path, std::string& out, struct stat& st, bool& exists) {
    for (int hops = 0; hops < 40; ++hops) {
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) return false;
            exists = false;
            out = path;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            out = path;
            return true;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) >= link.size()) {  // the link changed meanwhile
            errno = EAGAIN;
            return false;
        }
        link.resize(static_cast<std::size_t>(n));
        path = link[0] == '/' ? link : FolderOf(path) + link;
    }
    errno = ELOOP;
    return false;
}

// Creates an empty file beside `target` under a fresh random name. Created
// with mode 0666 so that the process's umask applies by itself: learning the
// umask would mean setting it, which races with other threads creating files.
int CreateBeside(const std::string& target, std::string& name) {
    std::string dir = FolderOf(target), base = target.substr(dir.size());
    if (base.size() > 200) base.resize(200);  // room for the suffix below NAME_MAX
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::uint64_t r = 0;
        if (::getrandom(&r, sizeof r, 0) != static_cast<ssize_t>(sizeof r))
            r = static_cast<std::uint64_t>(::getpid()) << 24 ^ static_cast<std::uint64_t>(::time(nullptr)) ^
                static_cast<std::uint64_t>(attempt);
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%012llx", static_cast<unsigned long long>(r & 0xFFFFFFFFFFFFull));
        name = dir + "." + base + suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Fails with `status`, leaving the cause in errno for the caller.
int FailWith(int status, int error) {
    errno = error;
    return status;
}

}  // namespace

extern "C" int StartCodeConvert(int code, const char* const* source, const char* const* destination) {
    if (code < 0 || code > 2 || source == nullptr || *source == nullptr || **source == '\0' ||
        destination == nullptr || *destination == nullptr || **destination == '\0')
        return FailWith(TESVAR_BAD_ARGUMENT, EINVAL);
    std::string src = *source, dst = *destination;

    // Nothing below touches the destination until the converted text is complete.
    Fd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat srcStat {};
    if (in.get() < 0 || ::fstat(in.get(), &srcStat) != 0) return FailWith(TESVAR_READ_FAILED, errno);
    if (S_ISDIR(srcStat.st_mode)) return FailWith(TESVAR_READ_FAILED, EISDIR);
    ::posix_fadvise(in.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[kChunk]);
    std::unique_ptr<std::uint8_t[]> out(new (std::nothrow) std::uint8_t[tesvar::Converter::MaxOutput(kChunk)]);
    if (!buf || !out) return FailWith(TESVAR_WRITE_FAILED, ENOMEM);

    // Detection reads ahead only as far as it needs, then the file is read
    // again from the start. What it read is checked for binary bytes here,
    // the rest while converting.
    tesvar::Detector detector;
    std::uint64_t checked = 0;
    for (;;) {
        ssize_t n = ReadFull(in.get(), buf.get(), kChunk);
        if (n < 0) return FailWith(TESVAR_READ_FAILED, errno);
        if (HasBinaryControl(buf.get(), static_cast<std::size_t>(n))) return FailWith(TESVAR_NOT_TEXT, EILSEQ);
        checked += static_cast<std::uint64_t>(n);
        if (n == 0 || detector.Feed(buf.get(), static_cast<std::size_t>(n))) break;
    }
    if (detector.Fails()) return FailWith(TESVAR_NOT_TEXT, EILSEQ);

    std::string target, tmp;
    struct stat old {};
    bool exists = false;
    if (!ResolveTarget(dst, target, old, exists)) return FailWith(TESVAR_WRITE_FAILED, errno);
    // A device or a pipe is written directly (a trial run into /dev/null, a
    // pipe to another program): it cannot be replaced by a file. Other kinds
    // of file are refused. A regular file is replaced whole, by rename.
    bool direct = exists && (S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode));
    if (exists && !direct && !S_ISREG(old.st_mode))
        return FailWith(TESVAR_WRITE_FAILED, S_ISDIR(old.st_mode) ? EISDIR : ENOTSUP);
    if (direct) {
        // Nothing may reach the device from a file that turns out to be binary further on.
        for (;;) {
            ssize_t n = ReadFull(in.get(), buf.get(), kChunk);
            if (n < 0) return FailWith(TESVAR_READ_FAILED, errno);
            if (n == 0) break;
            if (HasBinaryControl(buf.get(), static_cast<std::size_t>(n))) return FailWith(TESVAR_NOT_TEXT, EILSEQ);
        }
        checked = UINT64_MAX;
    }
    if (::lseek(in.get(), 0, SEEK_SET) != 0) return FailWith(TESVAR_READ_FAILED, errno);

    // O_NONBLOCK only so that a pipe nobody reads fails at once instead of hanging.
    Fd outFd(direct ? ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC) : CreateBeside(target, tmp));
    if (outFd.get() < 0) return FailWith(TESVAR_WRITE_FAILED, errno);
    if (direct) ::fcntl(outFd.get(), F_SETFL, ::fcntl(outFd.get(), F_GETFL) & ~O_NONBLOCK);
    auto abandon = [&](int status, int error) {
        ::close(outFd.release());
        if (!direct) ::unlink(tmp.c_str());
        return FailWith(status, error);
    };

    tesvar::Converter conv(detector.Result(), static_cast<tesvar::Target>(code));
    std::uint64_t offset = 0;
    for (;;) {
        ssize_t n = ReadFull(in.get(), buf.get(), kChunk);
        if (n < 0) return abandon(TESVAR_READ_FAILED, errno);
        std::uint64_t end = offset + static_cast<std::uint64_t>(n);
        if (end > checked) {
            std::size_t from = offset >= checked ? 0 : static_cast<std::size_t>(checked - offset);
            if (HasBinaryControl(buf.get() + from, static_cast<std::size_t>(n) - from))
                return abandon(TESVAR_NOT_TEXT, EILSEQ);
        }
        offset = end;
        std::size_t m = n == 0 ? conv.Finish(out.get()) : conv.Convert(buf.get(), static_cast<std::size_t>(n), out.get());
        if (!WriteFull(outFd.get(), out.get(), m)) return abandon(TESVAR_WRITE_FAILED, errno);
        if (n == 0) break;
    }
    if (direct) return ::close(outFd.release()) == 0 ? TESVAR_OK : FailWith(TESVAR_WRITE_FAILED, errno);

    // A replaced file keeps its mode and, where allowed, its owner. Its new
    // bytes reach the disk before the rename, so that a crash leaves either
    // the old text or the new; a file that is new needs no such care.
    if (exists) {
        if (::fchown(outFd.get(), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; the mode below carries over all the same.
        }
        if (::fchmod(outFd.get(), old.st_mode & 07777) != 0) return abandon(TESVAR_WRITE_FAILED, errno);
        if (::fdatasync(outFd.get()) != 0) return abandon(TESVAR_WRITE_FAILED, errno);
    }
    if (::close(outFd.release()) != 0 || ::rename(tmp.c_str(), target.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        return FailWith(TESVAR_WRITE_FAILED, e);
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
