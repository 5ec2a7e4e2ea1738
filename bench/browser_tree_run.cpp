// Runs one of Brovin's walks on a folder tree, as the browser's worker would
// after a drop or a download command, with no window and no pauses:
//   browser_tree_run HOST PORT USER PASSWORD up LOCAL_FOLDER
//       uploads the folder into the login directory (through the hand-off)
//   browser_tree_run HOST PORT USER PASSWORD down REMOTE_DIRECTORY LOCAL_FOLDER
//       downloads the directory below the login directory into the folder
// The store is whatever PARVEX_REGISTRY names (a throwaway one).
#include "browser/core/operations.h"
#include "common/registry/layout.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Keeps the last status text, to name what stopped a walk.
class Quiet : public brovin::Progress {
public:
    void Status(int id, const std::string& arg) override { last = std::to_string(id) + " " + arg; }
    void SetRange(int) override {}
    void Step() override {}
    bool Aborted() override { return false; }
    void ErrorBox(inet::DWORD code) override { last = "error box " + std::to_string(code); }
    void Pause(int) override {}
    std::string last;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 5 ? argv[5] : "";
    if (!((argc == 7 && mode == "up") || (argc == 8 && mode == "down"))) {
        std::fprintf(stderr, "usage: browser_tree_run HOST PORT USER PASSWORD up LOCAL_FOLDER\n"
                             "       browser_tree_run HOST PORT USER PASSWORD down REMOTE_DIRECTORY LOCAL_FOLDER\n");
        return 2;
    }
    inet::InternetSession session;
    inet::FtpConnection* conn = nullptr;
    try {
        conn = session.GetFtpConnection(argv[1], argv[3], argv[4], static_cast<std::uint16_t>(std::atoi(argv[2])));
    } catch (const inet::InternetException& e) {
        std::fprintf(stderr, "cannot log in: %lu\n", static_cast<unsigned long>(e.Code()));
        return 1;
    }
    Quiet progress;
    brovin::Outcome outcome;
    if (mode == "up") {
        const std::string key = brovin::UploadKeyName("");
        if (brovin::WriteUploadHandOff("bench", key, {argv[6]}) != winreg::ERROR_SUCCESS) {
            std::fprintf(stderr, "cannot write the hand-off\n");
            return 1;
        }
        outcome = brovin::UploadWalk(conn, "bench", key, progress);
    } else {
        outcome = brovin::DownloadWalk(conn, {brovin::RemoteItem{argv[6], true}}, argv[7], progress);
    }
    if (outcome != brovin::Outcome::Completed) {
        std::fprintf(stderr, "the walk ended with: %s\n", progress.last.c_str());
        return 1;
    }
    return 0;
}
