#include "browser/core/document.h"

#include "browser/core/ids.h"
#include "common/registry/layout.h"
#include "transfer/local_tree.h"

namespace brovin {

CBrovinDoc::CBrovinDoc() : session_("", 1) {}

CBrovinDoc::~CBrovinDoc() { CloseSession(); }

void CBrovinDoc::CloseSession() { session_.Close(); }

bool CBrovinDoc::OnNewDocument() {
    winreg::Transaction transaction;
    layout::HandOff names;
    if (!layout::FirstSubKey(layout::kSelectedKey, names.provider)) return true;
    std::string entry;
    layout::FirstSubKey(std::string(layout::kSelectedKey) + "\\" + names.provider, entry);
    providerName = names.provider;
    {
        SettingKey profile;
        profile.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(providerName, entry));
        profile.ReadString(layout::kUserName, userName);
        profile.ReadString(layout::kPassword, password);
        profile.ReadString(layout::kServerAddr, serverAddr);
        winreg::DWORD p = 0;
        if (profile.ReadDword(layout::kPort, p) == winreg::ERROR_SUCCESS) port = p;
        profile.ReadString(layout::kRoot, root);
    }
    layout::DeleteHandOff();
    transaction.Commit();
    return true;
}

bool CBrovinDoc::Connect(const StatusFn& status) {
    status(IDS_CONNECTING, serverAddr);
    inet::FtpConnection* conn = nullptr;
    try {
        conn = session_.GetFtpConnection(serverAddr, userName, password, static_cast<std::uint16_t>(port & 0xFFFF),
                                         false);
    } catch (const inet::InternetException&) {
        // No box: the status bar keeps the connecting text and every remote command stays disabled.
        return false;
    }
    if (!root.empty()) {
        if (root[0] == '/') {
            if (!conn->SetCurrentDirectory(root)) status(IDS_CANNOT_MOVE_STATUS, root);
        } else {
            for (const auto& c : transfer::Components(root))
                if (!conn->SetCurrentDirectory(c)) status(IDS_CANNOT_MOVE_STATUS, c);
        }
    }
    conn->GetCurrentDirectory(currentDirectory);
    connection_.store(conn);
    return true;
}

std::string CBrovinDoc::RefreshCurrentDirectory() {
    if (inet::FtpConnection* conn = Connection()) conn->GetCurrentDirectory(currentDirectory);
    return currentDirectory;
}

void ClearRemoteBrowserFlag() {
    SettingKey running;
    running.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
    running.DeleteValue(layout::kRemoteBrowser);
}

}  // namespace brovin
