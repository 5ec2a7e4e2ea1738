// Runs the plain walker once on a folder, as Dravik would after a
// right-click, with a throwaway store (PARVEX_REGISTRY) and no pauses.
//   walker_run HOST PORT USER PASSWORD FOLDER [root=DIR] [tls=SHA256] [changed-only] [connections=N]
// "root=DIR" uploads below DIR instead of the login directory; "tls=SHA256"
// sets the entry to demand FTP over TLS and to trust the server certificate
// of that fingerprint, as the user's answer to the certificate question does;
// "changed-only" turns the option to send only what changed on (the store
// keeps the record of what was sent, so a second run with the same store
// sends only what changed since); "connections=N" sets the option of how
// many connections the files go over (without it, none is stored: one).
// The closing status goes to the standard output.
#include "common/registry/layout.h"
#include "transfer/progress.h"
#include "transfer/menu_upload.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Counts what the walker reports; the last status tells success from failure.
class Quiet : public transfer::ProgressDisplay {
public:
    void SetStatusText(const std::string& text) override { last = text; }
    void RepaintStatus() override {}
    void SetRange(std::int32_t, std::int32_t) override {}
    void SetStep(std::int32_t) override {}
    void StepIt() override {}
    void PlayAnimation() override {}
    void EndDisplay() override {}
    std::string last;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: walker_run HOST PORT USER PASSWORD FOLDER [root=DIR] [tls=SHA256] [changed-only] "
                     "[connections=N]\n");
        return 2;
    }
    std::string root, trusted;
    bool changedOnly = false;
    int connections = 0;
    for (int i = 6; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("root=", 0) == 0) {
            root = a.substr(5);
        } else if (a.rfind("tls=", 0) == 0) {
            trusted = a.substr(4);
        } else if (a == "changed-only") {
            changedOnly = true;
        } else if (a.rfind("connections=", 0) == 0) {
            connections = std::atoi(a.c_str() + 12);
        } else {
            std::fprintf(stderr, "walker_run: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    SettingKey key;
    key.CreateKey(winreg::HKEY_CURRENT_USER, layout::EntryKey("bench", "ログイン時のディレクトリ"));
    key.WriteString(layout::kServerAddr, argv[1]);
    key.WriteDword(layout::kPort, static_cast<winreg::DWORD>(std::atoi(argv[2])));
    key.WriteString(layout::kUserName, argv[3]);
    key.WriteString(layout::kPassword, argv[4]);
    key.WriteString(layout::kRoot, root);
    if (!trusted.empty()) {
        key.WriteDword(layout::kEncryption, 2);
        key.WriteString(layout::kTrustedCertificate, trusted);
    }
    key.CloseKey();
    key.CreateKey(winreg::HKEY_CURRENT_USER, layout::SelectedEntryKey("bench", "ログイン時のディレクトリ"));
    key.WriteString("Selected0", argv[5]);
    key.WriteString(layout::kRootDir, layout::FolderOf(argv[5]));
    key.CloseKey();
    key.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
    key.WriteDword(layout::kSendChangedOnly, changedOnly ? 1 : 0);
    if (connections > 0) key.WriteDword(layout::kConnections, static_cast<winreg::DWORD>(connections));
    key.CloseKey();
    Quiet display;
    transfer::MenuUpload(display, [](int) {}).Run();
    // With the option on, the closing status goes on to count what was sent and what was up to date.
    if (display.last.rfind("ファイル転送完了しました", 0) != 0) {
        std::fprintf(stderr, "walker ended with: %s\n", display.last.c_str());
        return 1;
    }
    std::printf("%s\n", display.last.c_str());
    return 0;
}
