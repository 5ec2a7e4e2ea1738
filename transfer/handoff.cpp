#include "transfer/handoff.h"

#include "common/registry/layout.h"
#include "platform/inet/inet.h"
#include "platform/os/os.h"
#include "transfer/progress.h"

namespace transfer {

void FinishHandOff(int flag) {
    if (flag == 0)
        layout::DeleteHandOff();
    else if (flag == 1)
        StartRemoteBrowser();
}

void StartRemoteBrowser() {
    SettingKey key;
    std::string commandLine;
    key.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
    key.ReadString(layout::kInstDirBrovin, commandLine);
    os::StartProgram(commandLine);
}

int ShowInternetErrorText(std::uint32_t code) {
    std::string text = inet::InternetErrorText(code);
    if (text.empty()) {
        ShowStatus("");
        return 0;
    }
    if (code == inet::ERROR_INTERNET_EXTENDED_ERROR) {
        // The server's own words say more than "extended error"; with no reply kept, the line stays as it was.
        const std::string& reply = inet::GetLastResponseInfo();
        if (!reply.empty()) ShowStatus(reply);
        return 1;
    }
    ShowStatus(text);
    return 1;
}

}  // namespace transfer
