// tesvar: convert Japanese text files between Shift_JIS, JIS and EUC from
// the command line, through the same library the suite's programs use.
//   tesvar {sjis|jis|euc} SOURCE DESTINATION
//   tesvar --guess FILE...
#include "tesvar/codec.h"
#include "tesvar/tesvar.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: tesvar {sjis|jis|euc} SOURCE DESTINATION\n"
                 "       tesvar --guess FILE...\n");
    return 2;
}

int Guess(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "tesvar: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    tesvar::Detector d;
    std::vector<std::uint8_t> buf(1 << 16);
    for (;;) {
        ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::fprintf(stderr, "tesvar: %s: %s\n", path, std::strerror(errno));
            ::close(fd);
            return 1;
        }
        if (n == 0 || d.Feed(buf.data(), static_cast<std::size_t>(n))) break;
    }
    ::close(fd);
    std::printf("%s\n", tesvar::CodeName(d.Result()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--guess") == 0) {
        int rc = 0;
        for (int i = 2; i < argc; ++i) {
            if (argc > 3) std::printf("%s: ", argv[i]);
            std::fflush(stdout);
            rc |= Guess(argv[i]);
        }
        return rc;
    }
    if (argc != 4) return Usage();
    int code;
    std::string target = argv[1];
    if (target == "sjis" || target == "0")
        code = 0;
    else if (target == "jis" || target == "1")
        code = 1;
    else if (target == "euc" || target == "2")
        code = 2;
    else
        return Usage();
    const char* src = argv[2];
    const char* dst = argv[3];
    int rc = StartCodeConvert(code, &src, &dst);
    const char* why = std::strerror(errno);
    if (rc == TESVAR_READ_FAILED) std::fprintf(stderr, "tesvar: cannot read %s: %s\n", src, why);
    if (rc == TESVAR_WRITE_FAILED) std::fprintf(stderr, "tesvar: cannot write %s: %s\n", dst, why);
    if (rc == TESVAR_NOT_TEXT)
        std::fprintf(stderr, "tesvar: %s is not text in a Japanese code (binary data?); %s was left as it was\n", src,
                     dst);
    return rc == TESVAR_OK ? 0 : 1;
}
