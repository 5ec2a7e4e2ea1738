#include "transfer/handoff.h"

#include "platform/inet/inet.h"
#include "platform/os/os.h"

namespace transfer {

namespace {

// No browser will come for the hand-off: neither it nor the request may
// stay. With `taken`, exactly that hand-off goes (another may be waiting
// beside it), else the first one.
void DropBrowserRequest(const layout::HandOff* taken) {
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return;
    SettingKey running;
    if (running.OpenKey(winreg::HKEY_CURRENT_USER, layout::RunningKey()) == winreg::ERROR_SUCCESS)
        running.DeleteValue(layout::kRemoteBrowser);
    if (taken)
        layout::DeleteHandOffEntry(layout::kSelectedKey, taken->provider, taken->entry);
    else
        layout::DeleteHandOff();
    transaction.Commit();
}

}  // namespace

bool TakeHandOff(layout::HandOff& out) {
    bool forBrowser = false;
    if (layout::TakeHandOff(out, forBrowser) != winreg::ERROR_SUCCESS) return false;
    if (forBrowser && !StartRemoteBrowser()) DropBrowserRequest(&out);
    return true;
}

void FinishHandOff(int flag) {
    if (flag == 0)
        layout::DeleteHandOff();
    else if (flag == 1 && !StartRemoteBrowser())
        DropBrowserRequest(nullptr);
}

bool StartRemoteBrowser() {
    SettingKey key;
    std::string commandLine;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, layout::RunningKey()) != winreg::ERROR_SUCCESS) return false;
    key.ReadString(layout::kInstDirBrovin, commandLine);
    return os::StartProgram(commandLine) > 0;
}

}  // namespace transfer
