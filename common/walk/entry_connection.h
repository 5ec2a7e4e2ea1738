// What a provider entry's key says about reaching its server: the values
// every program that logs in reads (the transfer program, the browser).
#pragma once

#include "common/registry/setting_key.h"
#include "platform/inet/inet.h"

#include <cstdint>
#include <string>

namespace walk {

struct EntryConnection {
    std::string server, user, password, root;
    std::uint16_t port = 0;  // 0: the FTP port
    // From "Encryption" (missing or 0: plain FTP; a number above 2: TLS required) and "TrustedCertificate".
    inet::Security security;
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

// What a status line adds after "connected" for a connection made with
// `security`: " (TLS1.3)" when encrypted, " (暗号化なし)" when TLS was asked
// for only if offered and the server offered none, "" for plain FTP as set.
std::string EncryptionNote(const inet::Security& security, inet::FtpConnection* connection);

}  // namespace walk
