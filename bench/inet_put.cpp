// Puts one file to an FTP server with the suite's client library; the
// benchmark script times it beside curl.
//   inet_put HOST PORT USER PASSWORD LOCAL REMOTE [passive]
#include "platform/inet/inet.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr, "usage: inet_put HOST PORT USER PASSWORD LOCAL REMOTE [passive]\n");
        return 2;
    }
    try {
        inet::InternetSession session("inet_put");
        inet::FtpConnection* c = session.GetFtpConnection(argv[1], argv[3], argv[4],
                                                          static_cast<std::uint16_t>(std::atoi(argv[2])), argc > 7);
        if (!c->PutFile(argv[5], argv[6], inet::FTP_TRANSFER_TYPE_BINARY)) {
            std::fprintf(stderr, "put failed: %u %s\n", inet::GetLastInternetError(),
                         inet::GetLastResponseInfo().c_str());
            return 1;
        }
    } catch (const inet::InternetException& e) {
        std::fprintf(stderr, "connect failed: %u %s\n", e.Code(), e.what());
        return 1;
    }
    return 0;
}
