// Explicit FTP over TLS with GnuTLS: AUTH TLS and the handshake on the
// control connection, PBSZ and PROT after the login, and a TLS session on
// every data connection that resumes the control connection's one (servers
// such as vsftpd refuse data connections that do not: "425 TLS session of
// data connection not resumed"). The sessions sit under the byte seam
// (io.cpp); everything above it is unchanged.
#include "platform/inet/connection_impl.h"

#include <gnutls/crypto.h>
#include <gnutls/x509.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace inet {

using namespace detail;

namespace {

thread_local CertificateInfo t_certificate;

std::string Hex(const unsigned char* p, std::size_t n) {
    std::string out;
    char b[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        out += b;
    }
    return out;
}

std::string DatumText(gnutls_datum_t& d) {
    std::string s(reinterpret_cast<const char*>(d.data), d.size);
    gnutls_free(d.data);
    return s;
}

// What the user is shown of the server's first certificate.
CertificateInfo Describe(gnutls_session_t session, unsigned status) {
    CertificateInfo info;
    const std::pair<unsigned, unsigned> map[] = {
        {GNUTLS_CERT_SIGNER_NOT_FOUND | GNUTLS_CERT_SIGNER_NOT_CA, kUnknownIssuer},
        {GNUTLS_CERT_EXPIRED, kExpired},
        {GNUTLS_CERT_NOT_ACTIVATED, kNotYetValid},
        {GNUTLS_CERT_UNEXPECTED_OWNER, kOtherHost},
        {GNUTLS_CERT_REVOKED | GNUTLS_CERT_INSECURE_ALGORITHM | GNUTLS_CERT_SIGNATURE_FAILURE, kOtherProblem}};
    for (const auto& [flags, problem] : map)
        if (status & flags) info.problems |= problem;
    if (info.problems == 0) info.problems = kOtherProblem;
    unsigned count = 0;
    const gnutls_datum_t* chain = gnutls_certificate_get_peers(session, &count);
    if (!chain || count == 0) return info;
    unsigned char digest[32];
    std::size_t size = sizeof digest;
    if (gnutls_fingerprint(GNUTLS_DIG_SHA256, &chain[0], digest, &size) == 0) info.sha256 = Hex(digest, size);
    gnutls_x509_crt_t crt;
    if (gnutls_x509_crt_init(&crt) != 0) return info;
    if (gnutls_x509_crt_import(crt, &chain[0], GNUTLS_X509_FMT_DER) == 0) {
        gnutls_datum_t d{};
        if (gnutls_x509_crt_get_dn3(crt, &d, 0) == 0) info.subject = DatumText(d);
        if (gnutls_x509_crt_get_issuer_dn3(crt, &d, 0) == 0) info.issuer = DatumText(d);
        info.notBefore = gnutls_x509_crt_get_activation_time(crt);
        info.notAfter = gnutls_x509_crt_get_expiration_time(crt);
    }
    gnutls_x509_crt_deinit(crt);
    return info;
}

// Checks the server's certificate against the trust store and the host
// name; one the user chose to trust (by its fingerprint) passes too.
int Verify(gnutls_session_t session) {
    auto* impl = static_cast<FtpConnection::Impl*>(gnutls_session_get_ptr(session));
    unsigned status = 0;
    if (gnutls_certificate_verify_peers3(session, impl->serverName.c_str(), &status) != 0)
        status |= GNUTLS_CERT_INVALID;
    if (status == 0) return 0;
    CertificateInfo info = Describe(session, status);
    const auto& trusted = impl->security.trustedFingerprints;
    if (!info.sha256.empty() && std::find(trusted.begin(), trusted.end(), info.sha256) != trusted.end()) return 0;
    t_certificate = info;
    return GNUTLS_E_CERTIFICATE_ERROR;
}

}  // namespace

const CertificateInfo& GetLastCertificate() { return t_certificate; }

gnutls_session_t FtpConnection::Impl::TlsFor(int fd) const {
    if (fd < 0) return nullptr;
    if (fd == ctrl) return tlsCtrl;
    if (fd == data) return tlsData;
    return nullptr;
}

namespace {

// A client session on `fd` for `impl`, verified by Verify; resuming `resume` when given.
gnutls_session_t NewSession(FtpConnection::Impl& impl, int fd, gnutls_session_t resume) {
    gnutls_session_t s = nullptr;
    if (gnutls_init(&s, GNUTLS_CLIENT | GNUTLS_NONBLOCK) != 0) Throw(ERROR_INTERNET_INTERNAL_ERROR);
    gnutls_session_set_ptr(s, &impl);
    const std::string& priority = impl.security.priority;
    if ((priority.empty() ? gnutls_set_default_priority(s) : gnutls_priority_set_direct(s, priority.c_str(), nullptr)) !=
            0 ||
        gnutls_credentials_set(s, GNUTLS_CRD_CERTIFICATE, impl.tlsCredentials) != 0) {
        gnutls_deinit(s);
        Throw(ERROR_INTERNET_INTERNAL_ERROR);
    }
    // An address is no name to send; the certificate is still checked against it.
    if (impl.serverName.find_first_not_of("0123456789.:") != std::string::npos)
        gnutls_server_name_set(s, GNUTLS_NAME_DNS, impl.serverName.data(), impl.serverName.size());
    if (resume) {
        gnutls_datum_t d{};
        if (gnutls_session_get_data2(resume, &d) == 0) {
            gnutls_session_set_data(s, d.data, d.size);
            gnutls_free(d.data);
        }
    }
    gnutls_transport_set_int(s, fd);
    return s;
}

}  // namespace

// Runs the handshake of `s` on `fd` within `timeout`; Close from another thread ends it at once.
static void Handshake(FtpConnection::Impl& impl, gnutls_session_t s, int fd, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int r = gnutls_handshake(s);
        if (r == 0) return;
        if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED) {
            impl.Wait(fd, gnutls_record_get_direction(s) ? POLLOUT : POLLIN,
                      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
            continue;
        }
        if (impl.cancelled) Throw(ERROR_INTERNET_OPERATION_CANCELLED);
        if (r == GNUTLS_E_CERTIFICATE_ERROR || r == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR)
            Throw(ERROR_INTERNET_INVALID_CA);
        // A warning alert is no failure; the deadline still holds for a server that sends nothing else.
        if (gnutls_error_is_fatal(r) == 0 && Clock::now() < deadline) continue;
        Throw(gnutls_error_is_fatal(r) == 0 ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
    }
}

// A new session on `fd` (resuming `resume` when given) put into `slot`, where
// the seam and Close see it, and its handshake.
static void StartSession(FtpConnection::Impl& impl, int fd, gnutls_session_t resume, gnutls_session_t& slot) {
    gnutls_session_t s = NewSession(impl, fd, resume);
    {
        std::lock_guard<std::mutex> lock(impl.fdMu);
        slot = s;
    }
    Handshake(impl, s, fd, impl.timeouts->connect);
}

// Ends a login the server would not secure, naming the command it refused.
[[noreturn]] static void Refused(const std::string& command, const Reply& reply) {
    SetLastResponseInfo(command + ": " + reply.text);
    Throw(ERROR_INTERNET_EXTENDED_ERROR);
}

void FtpConnection::Impl::StartControlTls() {
    if (security.encryption == Encryption::None) return;
    Reply r = Command("AUTH TLS");
    if (r.code != 234) {
        if (security.encryption == Encryption::IfOffered) return;
        Refused("AUTH TLS", r);
    }
    if (gnutls_certificate_allocate_credentials(&tlsCredentials) != 0) Throw(ERROR_INTERNET_INTERNAL_ERROR);
    gnutls_certificate_set_x509_system_trust(tlsCredentials);
    if (!security.caFile.empty() &&
        gnutls_certificate_set_x509_trust_file(tlsCredentials, security.caFile.c_str(), GNUTLS_X509_FMT_PEM) < 0)
        Throw(ERROR_INTERNET_INVALID_CA);
    gnutls_certificate_set_verify_function(tlsCredentials, Verify);
    // Reply lines already read past the 234 would have come in clear: a
    // server that sends them is not one to trust with the password.
    if (!inbuf.empty()) OutOfStep();
    StartSession(*this, ctrl, nullptr, tlsCtrl);
}

void FtpConnection::Impl::ProtectData() {
    if (!tlsCtrl) return;
    for (const char* cmd : {"PBSZ 0", "PROT P"}) {
        Reply r = Command(cmd);
        if (!r.Positive()) Refused(cmd, r);
    }
}

void FtpConnection::Impl::StartDataTls() {
    if (!tlsCtrl || data < 0) return;
    // The handshake's last flight goes out in two writes (ChangeCipherSpec,
    // then Finished); with Nagle's algorithm the second waits for the
    // server's delayed acknowledgement of the first, some 40 ms for every
    // file of a tree.
    int one = 1;
    ::setsockopt(data, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    StartSession(*this, data, tlsCtrl, tlsData);
}

void FtpConnection::Impl::EndDataTls() {
    if (!tlsData) return;
    bool ok = true;
    const auto deadline = Clock::now() + timeouts->data;
    // After an upload, the server's own close is awaited: closing the socket
    // with its last records (a TLS 1.3 ticket) unread would reset the
    // connection under the server's final read, and it would call the file
    // incomplete. After a download the server has closed already.
    const gnutls_close_request_t how = dataSending ? GNUTLS_SHUT_RDWR : GNUTLS_SHUT_WR;
    for (;;) {
        int r = gnutls_bye(tlsData, how);
        if (r == 0) break;
        if (r != GNUTLS_E_AGAIN && r != GNUTLS_E_INTERRUPTED) {
            ok = false;
            break;
        }
        try {
            Wait(data, gnutls_record_get_direction(tlsData) ? POLLOUT : POLLIN,
                 std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        } catch (const Failure&) {
            ok = false;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(fdMu);
        gnutls_deinit(tlsData);
        tlsData = nullptr;
    }
    // A download ended with the server's own close; for an upload ours is what tells the server the file is whole.
    if (!ok && dataSending) Throw(cancelled ? ERROR_INTERNET_OPERATION_CANCELLED : ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
}

void FtpConnection::Impl::FreeTls() {
    for (gnutls_session_t* s : {&tlsData, &tlsCtrl})
        if (*s) {
            gnutls_deinit(*s);
            *s = nullptr;
        }
    if (tlsCredentials) {
        gnutls_certificate_free_credentials(tlsCredentials);
        tlsCredentials = nullptr;
    }
}

std::string FtpConnection::TlsVersion() const {
    if (!impl_ || !impl_->tlsCtrl) return {};
    const char* name = gnutls_protocol_get_name(gnutls_protocol_get_version(impl_->tlsCtrl));
    return name ? name : "TLS";
}

}  // namespace inet
