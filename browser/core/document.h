// The browser's document: which provider it shows (taken from the hand-off
// at start), that provider's connection data, the one internet session and
// FTP connection of the run, and the server's current directory.
#pragma once

#include "common/walk/entry_connection.h"
#include "platform/inet/inet.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace brovin {

// A status-bar text: a string id and the argument for its "%1".
using StatusFn = std::function<void(int id, const std::string& arg)>;

class CBrovinDoc {
public:
    CBrovinDoc();
    // Closes the connection and the session (a call blocked in them fails at once).
    ~CBrovinDoc();
    CBrovinDoc(const CBrovinDoc&) = delete;
    CBrovinDoc& operator=(const CBrovinDoc&) = delete;

    // Reads the provider and entry names from the hand-off (index 0 at each
    // level) and the entry's connection data, then deletes the hand-off,
    // deepest key first, all in one store transaction. Always true: without a
    // hand-off every value stays empty and no connection is ever tried.
    bool OnNewDocument();

    // Logs in and moves to the root: an absolute root in one step, a
    // relative one component by component from the login directory (each
    // that fails is reported with 61209 and skipped). Reads the current
    // directory back. Reports 61208 first. Returns false, keeping no
    // connection, when the login fails (the exception is not passed on);
    // `failure`, when given, then says why (the server's reply for a refused login).
    // Runs on a worker thread.
    bool Connect(const StatusFn& status, std::string* failure = nullptr);

    // The connection for the next command, on the thread that runs it. While
    // the server still answers (a PWD) it is the current one; when the server
    // has dropped it, logs in again once and goes back to the current
    // directory (61281 first; 61209 when that directory cannot be entered).
    // nullptr when there never was a connection, or when the new login fails:
    // `failure` then says why, and the next call tries again.
    inet::FtpConnection* LiveConnection(const StatusFn& status, std::string& failure);

    inet::FtpConnection* Connection() const { return connection_.load(); }
    bool Connected() const { return connection_.load() != nullptr; }
    // Closes the session: a call in progress fails at once, and the connection stays unusable.
    void CloseSession();

    // Asks the server where it stands and keeps the answer as the current
    // directory; the previous value stays when the server would not say.
    std::string RefreshCurrentDirectory();

    std::string providerName;
    std::string currentDirectory;  // written only by the thread that holds the connection
    std::string serverAddr;
    std::uint32_t port = 0;        // only the low 16 bits are used; 0 means the FTP port, 21
    std::string userName;
    std::string password;
    std::string root;
    inet::Security security;  // from the entry's "Encryption" and "TrustedCertificate"
    inet::NameEncoding nameEncoding = inet::NameEncoding::Auto;  // from the entry's "NameEncoding"
    // The entry keeps its password in the desktop keyring: the first Connect
    // reads it (or asks with askPassword when the keyring has none).
    std::string entryName;
    bool passwordInKeyring = false;
    walk::AskPassword askPassword;

    // Asked, on the thread that logs in, when the server's certificate fails
    // verification; a certificate it trusts is remembered for the provider
    // and used by every later login of the run. Unset: nobody is asked.
    walk::AskTrust askTrust;
    // How the current connection is protected ("TLS1.3", "暗号化なし", or ""
    // for plain FTP as set); on the thread that holds the connection.
    std::string EncryptionState() const { return walk::EncryptionState(security, Connection()); }

private:
    // Connects and logs in with the profile's data, asking about a certificate
    // that fails verification; nullptr with the reason in `failure` when that fails.
    inet::FtpConnection* Login(std::string& failure);

    inet::InternetSession session_;
    std::atomic<inet::FtpConnection*> connection_{nullptr};
};

// Deletes RUNNING\"RemoteBrowser": the browser the flag asked for has come.
void ClearRemoteBrowserFlag();

}  // namespace brovin
