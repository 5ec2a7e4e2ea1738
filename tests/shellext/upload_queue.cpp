// Test helper: the remote browser's upload queue from a process of its own,
// through the browser's own functions.
//   upload_queue write PROVIDER KEY PATH...   queues PATHs; exits with the store's status
//   upload_queue upload PROVIDER KEY PORT USER PASSWORD
//                                             runs the upload walk against 127.0.0.1:PORT and
//                                             prints "<outcome> <last status id> <its argument>"
#include "browser/core/operations.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class LastStatus : public brovin::Progress {
public:
    int id = -1;
    std::string arg;
    void Status(int i, const std::string& a) override { id = i, arg = a; }
    void SetRange(int) override {}
    void Step() override {}
    bool Aborted() override { return false; }
    void ErrorBox(inet::DWORD) override {}
    void Pause(int) override {}
};

const char* Name(brovin::Outcome o) {
    switch (o) {
    case brovin::Outcome::Completed: return "completed";
    case brovin::Outcome::Incomplete: return "incomplete";
    case brovin::Outcome::Failed: return "failed";
    case brovin::Outcome::Aborted: return "aborted";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::string(argv[1]) == "write")
        return static_cast<int>(brovin::WriteUploadHandOff(argv[2], argv[3], std::vector<std::string>(argv + 4, argv + argc)));
    if (argc == 7 && std::string(argv[1]) == "upload") {
        inet::InternetSession session;
        inet::FtpConnection* conn = nullptr;
        try {
            conn = session.GetFtpConnection("127.0.0.1", argv[5], argv[6],
                                            static_cast<std::uint16_t>(std::atoi(argv[4])), true);
        } catch (const inet::InternetException&) {
            std::puts("no connection");
            return 1;
        }
        LastStatus progress;
        brovin::Outcome outcome = brovin::UploadWalk(conn, argv[2], argv[3], progress);
        std::printf("%s %d %s\n", Name(outcome), progress.id, progress.arg.c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: upload_queue write PROVIDER KEY PATH... | upload PROVIDER KEY PORT USER PASSWORD\n");
    return 2;
}
