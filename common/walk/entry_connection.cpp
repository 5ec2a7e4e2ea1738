#include "common/walk/entry_connection.h"

#include "common/registry/layout.h"

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
    read(layout::kRoot, c.root);
    winreg::DWORD port = 0, encryption = 0;
    key.ReadDword(layout::kPort, port);
    c.port = static_cast<std::uint16_t>(port & 0xFFFF);
    key.ReadDword(layout::kEncryption, encryption);
    // A number this version does not know (a newer one's, a hand edit) asks
    // for TLS at its strictest: reading it as plain FTP would send the
    // password in clear where its writer wanted it hidden.
    c.security.encryption = encryption == 0   ? inet::Encryption::None
                            : encryption == 1 ? inet::Encryption::IfOffered
                                              : inet::Encryption::Required;
    std::string trusted;
    read(layout::kTrustedCertificate, trusted);
    if (!trusted.empty()) c.security.trustedFingerprints.push_back(trusted);
    return c;
}

std::string EncryptionNote(const inet::Security& security, inet::FtpConnection* connection) {
    if (security.encryption == inet::Encryption::None || !connection) return "";
    const std::string version = connection->TlsVersion();
    return version.empty() ? " (暗号化なし)" : " (" + version + ")";
}

}  // namespace walk
