// What the transfer program's upload reports to its progress dialog.
#pragma once

#include "platform/inet/inet.h"

#include <cstdint>
#include <string>

namespace transfer {

// Implemented by the dialog (which posts every call to its window thread)
// and by the tests (which record the calls).
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    virtual void SetStatusText(const std::string& text) = 0;
    virtual void RepaintStatus() = 0;
    virtual void SetRange(std::int32_t low, std::int32_t high) = 0;
    virtual void SetStep(std::int32_t step) = 0;
    virtual void StepIt() = 0;
    virtual void PlayAnimation() = 0;
    virtual void EndDisplay() = 0;
    // The walk is over, before the closing pause: `succeeded` is false when
    // anything failed or was left out. The dialog stops its animation and no
    // longer offers to abort. Called once, just before EndDisplay's pause.
    virtual void TransferEnded(bool succeeded) { (void)succeeded; }
    // The item the walk is on, named as the status line names it, so that a
    // failure can say which file it was; empty while the walk is on none.
    // A walk that ends with items left out names the first of them.
    virtual void SetCurrentItem(const std::string& item) { (void)item; }
    // How the connection is protected, once logged in ("TLS1.3", "暗号化なし",
    // or "" for plain FTP as set), so that a later failure can still say it.
    virtual void SetEncryption(const std::string& state) { (void)state; }
    // The certificate of `server` failed verification: asks the user whether
    // to trust it (the question of every program, `security` as the connect
    // used it). Waits for the answer; false when the user would not trust it,
    // or when nobody can be asked (the default) or the display is going.
    virtual bool AskTrustCertificate(const std::string& server, const inet::CertificateInfo& cert,
                                     const inet::Security& security) {
        (void)server;
        (void)cert;
        (void)security;
        return false;
    }
    // Asked when the keyring has no password for the entry (a provider
    // brought from another machine). Waits for the answer; true with
    // `password` set when the user gave one, false when cancelled, when nobody
    // can be asked (the default) or the display is going.
    virtual bool AskPassword(const std::string& provider, const std::string& server, const std::string& user,
                             std::string& password) {
        (void)provider;
        (void)server;
        (void)user;
        (void)password;
        return false;
    }
};

}  // namespace transfer
