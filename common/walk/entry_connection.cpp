#include "common/walk/entry_connection.h"

#include "common/registry/layout.h"
#include "common/walk/certificate.h"

#include <iterator>

namespace walk {

void ReadSetting(SettingKey& key, const char* name, std::string& value, std::string& unusable) {
    if (key.ReadString(name, value) == winreg::ERROR_MORE_DATA && unusable.empty()) unusable = name;
}

EntryConnection ReadEntryConnection(const std::string& provider, const std::string& entry) {
    EntryConnection c;
    SettingKey key;
    key.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, entry));
    auto read = [&](const char* name, std::string& value) { ReadSetting(key, name, value, c.unusable); };
    read(layout::kServerAddr, c.server);
    read(layout::kUserName, c.user);
    read(layout::kPassword, c.password);
    winreg::DWORD inKeyring = 0;
    key.ReadDword(layout::kPasswordInKeyring, inKeyring);
    c.passwordInKeyring = inKeyring == 1;
    if (c.passwordInKeyring) c.password.clear();  // an old copy is not the password the keyring holds
    read(layout::kRoot, c.root);
    winreg::DWORD port = 0, encryption = 0;
    key.ReadDword(layout::kPort, port);
    c.port = static_cast<std::uint16_t>(port & 0xFFFF);
    key.ReadDword(layout::kEncryption, encryption);
    static_assert(static_cast<winreg::DWORD>(inet::Encryption::IfOffered) == layout::kEncryptionIfOffered &&
                  static_cast<winreg::DWORD>(inet::Encryption::Required) == layout::kEncryptionRequired);
    c.security.encryption = static_cast<inet::Encryption>(layout::EncryptionFromStore(encryption));
    winreg::DWORD names = layout::kNameEncodingAuto;
    key.ReadDword(layout::kNameEncoding, names);
    c.names = NameEncodingOf(names);
    std::string trusted;
    read(layout::kTrustedCertificate, trusted);
    if (!trusted.empty()) c.security.trustedFingerprints.push_back(trusted);
    return c;
}

inet::NameEncoding NameEncodingOf(std::uint32_t stored) {
    switch (layout::NameEncodingFromStore(stored)) {
    case layout::kNameEncodingUtf8: return inet::NameEncoding::Utf8;
    case layout::kNameEncodingShiftJis: return inet::NameEncoding::ShiftJis;
    case layout::kNameEncodingEucJp: return inet::NameEncoding::EucJp;
    default: return inet::NameEncoding::Auto;
    }
}

namespace {

// Each reason in the two forms the messages need: a sentence of its own, and
// the clause before "ため".
struct KeyringWords {
    keyring::Status status;
    const char* sentence;
    const char* clause;
};
constexpr KeyringWords kKeyringWords[] = {
    {keyring::Status::NotFound, "キーリングにパスワードがありません", "キーリングにパスワードがない"},
    {keyring::Status::Locked, "キーリングがロックされています", "キーリングがロックされている"},
    {keyring::Status::NoService, "キーリングが使えません", "キーリングが使えない"},
    {keyring::Status::TimedOut, "キーリングが応答しません", "キーリングが応答しない"},
    {keyring::Status::Failed, "キーリングがエラーを返しました", "キーリングがエラーを返した"},
};

// The words for `status`; an unknown status reads as an error.
const KeyringWords& WordsFor(keyring::Status status) {
    for (const auto& w : kKeyringWords)
        if (w.status == status) return w;
    return kKeyringWords[std::size(kKeyringWords) - 1];  // Failed
}

}  // namespace

std::string KeyringReason(keyring::Status status) {
    return status == keyring::Status::Ok ? "" : WordsFor(status).sentence;
}

std::string KeyringFailure(const std::string& provider, keyring::Status status) {
    if (status == keyring::Status::Ok) return "";
    return provider + ": " + WordsFor(status).clause + "ためパスワードを読めませんでした";
}

namespace {

// Keeps a password the user typed for an entry whose keyring item is missing:
// the keyring when it takes it, else the file (marker cleared), so that the
// next login does not ask again.
void KeepTypedPassword(const std::string& provider, const std::string& entry, const EntryConnection& c,
                       keyring::Timeout timeout) {
    if (keyring::Store({provider, entry, c.server, c.user}, c.password, timeout) == keyring::Status::Ok) return;
    winreg::Transaction transaction;
    SettingKey key;
    if (transaction.Status() != winreg::ERROR_SUCCESS ||
        key.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(provider, entry)) != winreg::ERROR_SUCCESS)
        return;
    if (key.WriteString(layout::kPassword, c.password) == winreg::ERROR_SUCCESS &&
        key.WriteDword(layout::kPasswordInKeyring, 0) == winreg::ERROR_SUCCESS)
        transaction.Commit();
}

}  // namespace

std::string ObtainPassword(const std::string& provider, const std::string& entry, EntryConnection& c,
                           const AskPassword& ask, keyring::Timeout timeout) {
    if (!c.passwordInKeyring) return "";
    const keyring::Status status = keyring::Lookup({provider, entry, c.server, c.user}, c.password, timeout);
    if (status == keyring::Status::Ok) return "";
    if (status != keyring::Status::NotFound) return KeyringFailure(provider, status);
    if (!ask || !ask(provider, c.server, c.user, c.password) || c.password.empty()) {
        c.password.clear();
        return provider + ": " + kPasswordNotGiven;
    }
    KeepTypedPassword(provider, entry, c, timeout);
    return "";
}

std::string EncryptionState(const inet::Security& security, inet::FtpConnection* connection) {
    if (security.encryption == inet::Encryption::None || !connection) return "";
    const std::string version = connection->TlsVersion();
    return version.empty() ? kNotEncrypted : version;
}

std::string EncryptionNote(const inet::Security& security, inet::FtpConnection* connection) {
    const std::string state = EncryptionState(security, connection);
    return state.empty() ? "" : " (" + state + ")";
}

inet::FtpConnection* ConnectTrusting(const std::string& provider, inet::Security& security, const AskTrust& ask,
                                     const Connector& connect, std::string& failure) {
    if (inet::FtpConnection* conn = connect(security, failure)) return conn;
    // The certificate is this thread's copy: another connect may overwrite it once we ask.
    const inet::CertificateInfo cert = inet::GetLastCertificate();
    if (inet::GetLastInternetError() != inet::ERROR_INTERNET_INVALID_CA || cert.sha256.empty() || !ask) return nullptr;
    if (!ask(cert, security)) {
        failure = kCertificateRefused;
        return nullptr;
    }
    if (const winreg::LONG st = TrustCertificate(provider, cert.sha256); st != winreg::ERROR_SUCCESS) {
        failure = kCertificateNotStored + std::to_string(st) + ")";
        return nullptr;
    }
    security.trustedFingerprints = {cert.sha256};
    return connect(security, failure);
}

}  // namespace walk
