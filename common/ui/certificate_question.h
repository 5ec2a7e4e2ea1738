// The question every program asks when a server's certificate fails
// verification: the certificate as walk::CertificateText tells it, and the
// choice to trust it for the provider or to stop.
#pragma once

#include "platform/inet/inet.h"

#include <wx/dialog.h>

#include <string>

namespace ui {

class CertificateQuestion : public wxDialog {
public:
    // Buttons: wxID_OK "この証明書を信頼する", wxID_CANCEL "中止" (the default,
    // so that Enter never trusts a certificate by accident).
    CertificateQuestion(wxWindow* parent, const std::string& server, const inet::CertificateInfo& cert,
                        const inet::Security& security);
    // The text shown (for tests and for the notice of a refusal).
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// Shows the question modally; true when the user chose to trust the certificate.
bool AskTrustCertificate(wxWindow* parent, const std::string& server, const inet::CertificateInfo& cert,
                         const inet::Security& security);

}  // namespace ui
