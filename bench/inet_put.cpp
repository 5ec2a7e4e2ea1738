// Puts one file to an FTP server with the suite's client library (or, with
// "get", fetches one); the benchmark scripts time it beside curl.
//   inet_put HOST PORT USER PASSWORD LOCAL REMOTE [passive] [get] [tls=CAFILE]
// "tls=CAFILE" demands FTP over TLS, trusting the authority in CAFILE too.
#include "platform/inet/inet.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: inet_put HOST PORT USER PASSWORD LOCAL REMOTE [passive] [get] [tls=CAFILE]\n");
        return 2;
    }
    bool passive = false, get = false;
    inet::Security security;
    for (int i = 7; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "passive") {
            passive = true;
        } else if (a == "get") {
            get = true;
        } else if (a.rfind("tls=", 0) == 0) {
            security.encryption = inet::Encryption::Required;
            security.caFile = a.substr(4);
        } else {
            std::fprintf(stderr, "inet_put: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    try {
        inet::InternetSession session("inet_put");
        inet::FtpConnection* c = session.GetFtpConnection(
            argv[1], argv[3], argv[4], static_cast<std::uint16_t>(std::atoi(argv[2])), passive, {}, security);
        if (get ? !c->GetFile(argv[6], argv[5], false, inet::FTP_TRANSFER_TYPE_BINARY)
                : !c->PutFile(argv[5], argv[6], inet::FTP_TRANSFER_TYPE_BINARY)) {
            std::fprintf(stderr, "%s failed: %u %s\n", get ? "get" : "put", inet::GetLastInternetError(),
                         inet::GetLastResponseInfo().c_str());
            return 1;
        }
    } catch (const inet::InternetException& e) {
        std::fprintf(stderr, "connect failed: %u %s\n", e.Code(), e.what());
        return 1;
    }
    return 0;
}
