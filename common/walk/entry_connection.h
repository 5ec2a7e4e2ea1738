// What a provider entry's key says about reaching its server: the values
// every program that logs in reads (the transfer program, the browser).
#pragma once

#include "common/registry/setting_key.h"
#include "platform/inet/inet.h"

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
};

// Reads the string value `name` of `key` into `value`; a value too long to
// be read is remembered in `unusable` (the first one only).
void ReadSetting(SettingKey& key, const char* name, std::string& value, std::string& unusable);

// Reads the entry `entry` of `provider`; values that are missing stay empty (0).
EntryConnection ReadEntryConnection(const std::string& provider, const std::string& entry);

// The file-name encoding a stored "NameEncoding" value means (NameEncodingFromStore).
inet::NameEncoding NameEncodingOf(std::uint32_t stored);

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
