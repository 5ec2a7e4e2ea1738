// What a provider entry's key says about reaching its server: the values
// every program that logs in reads (the transfer program, the browser).
#pragma once

#include "common/registry/setting_key.h"
#include "platform/inet/inet.h"
#include "platform/keyring/keyring.h"

#include <cstdint>
#include <functional>
#include <string>

namespace walk {

struct EntryConnection {
    std::string server, user, password, root;
    std::uint16_t port = 0;  // 0: the FTP port
    // From "Encryption" (missing or 0: plain FTP; a number above 2: TLS required) and "TrustedCertificate".
    inet::Security security;
    // From "NameEncoding" (missing, 0 or a number above 3: detected at login).
    inet::NameEncoding names = inet::NameEncoding::Auto;
    // The first string value too long to be read, "" when every one was read:
    // logging in as anonymous or into the login directory instead would put
    // files in the wrong place, so callers stop before they connect.
    std::string unusable;
    // "PasswordInKeyring" 1: `password` is still empty, ObtainPassword reads it.
    bool passwordInKeyring = false;
};

// Reads the string value `name` of `key` into `value`; a value too long to
// be read is remembered in `unusable` (the first one only).
void ReadSetting(SettingKey& key, const char* name, std::string& value, std::string& unusable);

// Reads the entry `entry` of `provider`; values that are missing stay empty (0).
EntryConnection ReadEntryConnection(const std::string& provider, const std::string& entry);

// The file-name encoding a stored "NameEncoding" value means (NameEncodingFromStore).
inet::NameEncoding NameEncodingOf(std::uint32_t stored);
// Why the keyring could not help, in the user's words: "キーリングがロックされています" and the like.
std::string KeyringReason(keyring::Status status);

// What stops a login whose password the keyring did not give: "<provider>:
// キーリングがロックされているためパスワードを読めませんでした" and the like.
std::string KeyringFailure(const std::string& provider, keyring::Status status);

// Followed by nothing: the user cancelled the password question (or nobody could be asked).
inline constexpr const char* kPasswordNotGiven = "パスワードが入力されなかったため接続を中止しました";

// Asks the user for the password of `provider` at `server` as `user`; false when cancelled.
using AskPassword = std::function<bool(const std::string& provider, const std::string& server,
                                       const std::string& user, std::string& password)>;

// Gives `c` its password when the keyring keeps it: reads it (bounded by
// `timeout`). When the keyring has none for this entry (a provider brought
// from another machine), `ask` asks the user, and the answer is kept for the
// next login: in the keyring, or in the file when the keyring does not take
// it. Returns "" when `c` has its password (at once when it is the file's);
// otherwise what stops the login: KeyringFailure with the provider's name, or
// "<provider>: " + kPasswordNotGiven when the question was cancelled or `ask`
// is empty.
std::string ObtainPassword(const std::string& provider, const std::string& entry, EntryConnection& c,
                           const AskPassword& ask, keyring::Timeout timeout = keyring::kProgramTimeout);

// What EncryptionState says of a connection that fell back to plain FTP.
inline constexpr const char* kNotEncrypted = "暗号化なし";

// How a connection made with `security` is protected, in the user's words:
// "TLS1.3" when encrypted, kNotEncrypted when TLS was asked for only if
// offered and the server offered none, "" for plain FTP as set (or no connection).
std::string EncryptionState(const inet::Security& security, inet::FtpConnection* connection);

// What a status line adds after "connected": EncryptionState in " (...)", or "".
std::string EncryptionNote(const inet::Security& security, inet::FtpConnection* connection);

// Asked when the server's certificate failed verification: `cert` as the
// connect saw it, `security` as it was used (a remembered fingerprint makes
// the question a warning). True when the user trusts the certificate.
using AskTrust = std::function<bool(const inet::CertificateInfo& cert, const inet::Security& security)>;
// Connects with `security`; nullptr with the message in `failure` when that fails.
using Connector = std::function<inet::FtpConnection*(const inet::Security& security, std::string& failure)>;

// The failures ConnectTrusting adds to the connector's own.
inline constexpr const char* kCertificateRefused = "証明書を信頼しなかったため接続を中止しました";
// Followed by the store's status and ")".
inline constexpr const char* kCertificateNotStored = "証明書を設定に保存できなかったため接続を中止しました(エラーコード : ";

// Runs `connect` with `security`. When it fails because the server's
// certificate could not be verified and `ask` (on this thread) trusts it, its
// fingerprint is remembered for every entry of `provider`, replaces the one in
// `security`, and `connect` runs once more. Returns the connection; nullptr
// with `failure` set: the connector's message (also when `ask` is empty or the
// failure carried no certificate), kCertificateRefused, or kCertificateNotStored
// with the store's status when the fingerprint could not be written (then
// nothing connects: the user asked for it to be remembered).
inet::FtpConnection* ConnectTrusting(const std::string& provider, inet::Security& security, const AskTrust& ask,
                                     const Connector& connect, std::string& failure);

}  // namespace walk
