#include "browser/core/document.h"

#include "browser/core/ids.h"
#include "browser/core/operations.h"
#include "common/registry/layout.h"
#include "common/walk/entry_connection.h"
#include "common/walk/remote_path.h"

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
    const walk::EntryConnection values = walk::ReadEntryConnection(providerName, entry);
    userName = values.user;
    password = values.password;
    serverAddr = values.server;
    port = values.port;
    root = values.root;
    security = values.security;
    nameEncoding = values.names;
    entryName = entry;
    passwordInKeyring = values.passwordInKeyring;
    layout::DeleteHandOff();
    transaction.Commit();
    return true;
}

inet::FtpConnection* CBrovinDoc::Login(std::string& failure) {
    auto connect = [this](const inet::Security& used, std::string& why) -> inet::FtpConnection* {
        try {
            return session_.GetFtpConnection(serverAddr, userName, password,
                                             static_cast<std::uint16_t>(port & 0xFFFF), false, {}, used, nameEncoding);
        } catch (const inet::InternetException& e) {
            why = ErrorText(e.Code());
            return nullptr;
        }
    };
    return walk::ConnectTrusting(providerName, security, askTrust, connect, failure);
}

bool CBrovinDoc::Connect(const StatusFn& status, std::string* failure) {
    status(IDS_CONNECTING, serverAddr);
    if (passwordInKeyring) {
        // On the login's own thread: the keyring may wait for its unlock prompt.
        walk::EntryConnection values;
        values.server = serverAddr;
        values.user = userName;
        values.passwordInKeyring = true;
        if (std::string missing = walk::ObtainPassword(providerName, entryName, values, askPassword);
            !missing.empty()) {
            if (failure) *failure = missing;
            return false;
        }
        password = values.password;
        passwordInKeyring = false;
    }
    std::string why;
    inet::FtpConnection* conn = Login(why);
    if (!conn) {
        // No box: the caller tells the reason in the status bar, and every remote command stays disabled.
        if (failure) *failure = why;
        return false;
    }
    if (const walk::RemotePath path = walk::RemotePath::Parse(root); !root.empty()) {
        if (path.Absolute()) {
            if (!conn->SetCurrentDirectory(root)) status(IDS_CANNOT_MOVE_STATUS, root);
        } else {
            for (const auto& c : path.Parts())
                if (!conn->SetCurrentDirectory(c)) status(IDS_CANNOT_MOVE_STATUS, c);
        }
    }
    conn->GetCurrentDirectory(currentDirectory);
    connection_.store(conn);
    return true;
}

inet::FtpConnection* CBrovinDoc::LiveConnection(const StatusFn& status, std::string& failure) {
    inet::FtpConnection* conn = Connection();
    if (!conn) return nullptr;
    // A connection the server closed while we were idle looks open until the
    // next command: one PWD finds out before the command itself is sent.
    std::string where;
    if (conn->IsOpen() && (conn->GetCurrentDirectory(where) || !ConnectionLost(inet::GetLastInternetError())))
        return conn;
    status(IDS_RECONNECTING, serverAddr);
    inet::FtpConnection* fresh = Login(failure);
    if (!fresh) return nullptr;
    conn->Close();
    if (!currentDirectory.empty() && !fresh->SetCurrentDirectory(currentDirectory))
        status(IDS_CANNOT_MOVE_STATUS, currentDirectory);
    fresh->GetCurrentDirectory(currentDirectory);
    connection_.store(fresh);
    return fresh;
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
