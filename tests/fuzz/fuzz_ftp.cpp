// libFuzzer target: FTP reply lines, PASV/EPSV/PWD replies and listing
// lines from a hostile server never crash the parsers, and replies stay bounded.
#include "platform/inet/ftp_parse.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    inet::ReplyAssembler a;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t nl = text.find('\n', start);
        std::string line = inet::StripTelnet(text.substr(start, nl == std::string::npos ? std::string::npos : nl - start));
        if (a.Feed(line) == inet::ReplyAssembler::Status::Done) {
            inet::Reply r = a.Take();
            if (r.code < 100 || r.code > 599) std::abort();
            if (r.text.size() > inet::kMaxLineBytes * (inet::kMaxReplyLines + 1)) std::abort();
        }
        inet::ListEntry e;
        if (inet::ParseListLine(line, 1800000000, e) && e.name.empty()) std::abort();
        if (inet::ParseMlsdLine(line, e) && e.name.empty()) std::abort();
        std::array<std::uint8_t, 4> ip;
        std::uint16_t port;
        std::string path;
        inet::ParsePasv(line, ip, port);
        inet::ParseEpsv(line, port);
        inet::ParsePwd(line, path);
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
    return 0;
}
