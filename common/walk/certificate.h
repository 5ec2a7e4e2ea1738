// A server certificate that failed verification, as the user is asked about
// it, and the provider's memory of the one the user chose to trust.
#pragma once

#include "platform/inet/inet.h"
#include "platform/registry/registry.h"

#include <string>

namespace walk {

// The question's text for `cert` of `server`, connected with `security`: the
// reasons it failed, subject, issuer, validity and the SHA-256 fingerprint
// (pairs of hex digits joined by ":"), and, when `security` remembers another
// certificate for this provider, a warning that the server's certificate
// changed and that this may be an attack. Every text from the certificate is
// shown through ShownName (one line, valid UTF-8).
std::string CertificateText(const std::string& server, const inet::CertificateInfo& cert,
                            const inet::Security& security);

// Remembers `sha256` (64 lower-case hex digits) as the trusted certificate of
// every entry of `provider`, replacing the one remembered before, in one
// store transaction. Returns ERROR_SUCCESS; ERROR_INVALID_PARAMETER (nothing
// written) for a fingerprint of another form or a provider name that is empty
// or holds "\"; ERROR_FILE_NOT_FOUND when the provider has no entry; else the
// status of the first write that failed, with nothing written.
winreg::LONG TrustCertificate(const std::string& provider, const std::string& sha256);

}  // namespace walk
