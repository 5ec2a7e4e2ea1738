// libFuzzer target: FTP reply lines, PASV/EPSV/PWD replies and listing lines (every Unix, localised, iso and DOS date
// form, MLSD facts) from a hostile server never crash the parsers, replies stay bounded and listed names are bytes of
// the line itself.
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
        // A name is never empty and is the server's bytes as they stood in the line.
        inet::ListEntry e;
        std::string raw = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (inet::ParseListLine(raw, 1800000000, e) && (e.name.empty() || raw.find(e.name) == std::string::npos))
            std::abort();
        if (inet::ParseMlsdLine(raw, e) && (e.name.empty() || raw.find(e.name) == std::string::npos)) std::abort();
        inet::IsListingFiller(raw);
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
