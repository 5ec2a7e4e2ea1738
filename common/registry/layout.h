// Names of the settings tree under HKEY_CURRENT_USER\Software\PARVEX that
// every program of the suite shares, and the few helpers several of them
// need. Values are read afresh at every use: nothing here caches settings.
#pragma once

#include "common/registry/setting_key.h"

#include <string>
#include <vector>

namespace layout {

// Key path prefixes, below HKEY_CURRENT_USER.
inline constexpr const char* kSoftwareParvex = "Software\\PARVEX";  // its existence marks the first run as done
inline constexpr const char* kParvexPrefix = "Software\\PARVEX\\";
inline constexpr const char* kProviderPrefix = "Software\\PARVEX\\PROVIDER\\";
inline constexpr const char* kAutoTransferPrefix = "Software\\PARVEX\\AutoTransfer\\";
inline constexpr const char* kOptionKey = "Software\\PARVEX\\Option";
inline constexpr const char* kSelectedKey = "Software\\PARVEX\\Selected";
// The remote browser's own upload queue, apart from the context menu's
// hand-off under Selected so that neither ever takes or removes the other's.
inline constexpr const char* kUploadQueueKey = "Software\\PARVEX\\UploadQueue";
inline constexpr const char* kProviderKey = "Software\\PARVEX\\PROVIDER";
inline constexpr const char* kAutoTransferKey = "Software\\PARVEX\\AutoTransfer";
// What the last uploads sent, per provider and remote directory: one sub-key
// per directory (kPublishedFormat), named by a hash of the server's path.
inline constexpr const char* kPublishedKey = "Software\\PARVEX\\Published";

// Path formats as the programs build them.
inline constexpr const char* kRunningFormat = "%sRUNNING";    // with kParvexPrefix
inline constexpr const char* kEntryFormat = "%s%s\\%s";       // prefix, provider, entry
inline constexpr const char* kEntryFormat3 = "%s%s%s\\%s";    // prefix, part, part, entry
inline constexpr const char* kChildFormat = "%s\\%s\\%s";     // key, child, grandchild

// Entry key names.
inline constexpr const char* kAutoTransferEntry = "拡張子別転送";
inline constexpr const char* kLoginDirectoryEntry = "ログイン時のディレクトリ";

// Values of a provider entry.
inline constexpr const char* kServerAddr = "ServerAddr";
inline constexpr const char* kPort = "Port";
inline constexpr const char* kUserName = "UserName";
inline constexpr const char* kPassword = "Password";
inline constexpr const char* kAnonymous = "Anonymous";
inline constexpr const char* kRoot = "Root";
inline constexpr const char* kMenuName = "MenuName";
inline constexpr const char* kMenuId = "MENUID";
// FTP over TLS: REG_DWORD 0 plain FTP (also when missing: entries stored
// before TLS existed stay plain), 1 TLS when the server offers it, 2 TLS
// required; and the SHA-256 fingerprint (lower-case hex) of a server
// certificate the user chose to trust although it fails verification.
inline constexpr const char* kEncryption = "Encryption";
inline constexpr const char* kTrustedCertificate = "TrustedCertificate";
inline constexpr winreg::DWORD kEncryptionNone = 0, kEncryptionIfOffered = 1, kEncryptionRequired = 2;
// A stored "Encryption" as every reader takes it: 0 (also for a missing
// value) and 1 as they are, any other number TLS required, so that a number
// this version does not know never sends a password in clear.
inline constexpr winreg::DWORD EncryptionFromStore(winreg::DWORD value) {
    return value <= kEncryptionIfOffered ? value : kEncryptionRequired;
}

// How the server writes file names: REG_DWORD 0 automatic (also when
// missing, so that entries stored before the choice existed detect it),
// 1 UTF-8, 2 Shift_JIS, 3 EUC-JP. Any other number reads as automatic.
inline constexpr const char* kNameEncoding = "NameEncoding";
inline constexpr winreg::DWORD kNameEncodingAuto = 0, kNameEncodingUtf8 = 1, kNameEncodingShiftJis = 2,
                               kNameEncodingEucJp = 3;
// A stored "NameEncoding" as every reader takes it: 1 to 3 as they are,
// anything else automatic.
inline constexpr winreg::DWORD NameEncodingFromStore(winreg::DWORD value) {
    return value <= kNameEncodingEucJp ? value : kNameEncodingAuto;
}
// REG_DWORD 1 when the entry's password is kept in the desktop keyring
// (then "Password" is empty); missing or 0: "Password" holds it.
inline constexpr const char* kPasswordInKeyring = "PasswordInKeyring";

// Values of a per-extension routing rule.
inline constexpr const char* kAutoTransferExt = "AutoTransferExt";
inline constexpr const char* kAutoTransferDir = "AutoTransferDir";

// Option values.
inline constexpr const char* kTextMode = "TextMode";
inline constexpr const char* kBinaryMode = "BinaryMode";
inline constexpr const char* kCodeConvert = "CodeConvert";
inline constexpr const char* kUploadConvert = "UploadConvert";
inline constexpr const char* kDownloadConvert = "DownloadConvert";
inline constexpr const char* kUploadConvCode = "UploadConvCode";
inline constexpr const char* kDownloadConvCode = "DownloadConvCode";
inline constexpr const char* kDownloadFolder = "DownloadFolder";
// REG_DWORD 1: an upload sends only the files that changed since they were
// last sent (missing or 0: every file, as always).
inline constexpr const char* kSendChangedOnly = "SendChangedOnly";
// REG_DWORD 1 to 8: how many connections an upload sends files over at once
// (missing: 1; anything outside the range is read as the nearest end).
inline constexpr const char* kConnections = "Connections";
inline constexpr winreg::DWORD kMinConnections = 1, kMaxConnections = 8;
// A stored "Connections" as every reader takes it: at least the upload's own
// connection, never dozens.
inline constexpr winreg::DWORD ConnectionsFromStore(winreg::DWORD value) {
    return value < kMinConnections ? kMinConnections : value > kMaxConnections ? kMaxConnections : value;
}

// Option values written at the first run, and when the option sheet saves an empty list.
inline constexpr const char* kFirstRunTextMode = ".htm;.html;.txt;.cgi;.csv;";
inline constexpr const char* kFirstRunBinaryMode = ".lzh;.zip;.exe;";
inline constexpr const char* kEmptyFieldTextMode = ".htm;.html;.txt;.cgi;";
inline constexpr const char* kEmptyFieldBinaryMode = ".exe;.lzh;.zip;";

// The default "Root" of the per-extension transfer entry.
inline constexpr const char* kAutoTransferRootDefault = "/";

// RUNNING values.
inline constexpr const char* kInstDir = "InstDir";
inline constexpr const char* kInstDirBrovin = "InstDirBrovin";
inline constexpr const char* kRemoteBrowser = "RemoteBrowser";

// Hand-off values.
inline constexpr const char* kSelectedFormat = "Selected%d";
inline constexpr const char* kRootDir = "RootDir";
// REG_DWORD, seconds since 1970 when the context menu wrote the hand-off.
inline constexpr const char* kWritten = "Written";
// How long a hand-off written by the context menu waits for its program;
// one older than that (or without "Written") was never taken and never will be.
inline constexpr winreg::DWORD kHandOffPendingSeconds = 60;

// Character code numbers.
inline constexpr winreg::DWORD kCodeSjis = 0;
inline constexpr winreg::DWORD kCodeJis = 1;
inline constexpr winreg::DWORD kCodeEuc = 2;

// printf-style formatting into a std::string, for the path formats above.
PARVEX_SETTINGS_KEY_API std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "Software\PARVEX\RUNNING".
PARVEX_SETTINGS_KEY_API std::string RunningKey();
// "Software\PARVEX\PROVIDER\<provider>\<entry>".
PARVEX_SETTINGS_KEY_API std::string EntryKey(const std::string& provider, const std::string& entry);
// "Software\PARVEX\PROVIDER\<provider>".
PARVEX_SETTINGS_KEY_API std::string ProviderKey(const std::string& provider);
// "Software\PARVEX\AutoTransfer\<provider>".
PARVEX_SETTINGS_KEY_API std::string AutoTransferKey(const std::string& provider);
// "Software\PARVEX\AutoTransfer\<provider>\<directory>".
PARVEX_SETTINGS_KEY_API std::string AutoTransferRuleKey(const std::string& provider, const std::string& directory);
// "Software\PARVEX\Selected\<provider>\<entry>".
PARVEX_SETTINGS_KEY_API std::string SelectedEntryKey(const std::string& provider, const std::string& entry);
// "Software\PARVEX\UploadQueue\<provider>\<directory>".
PARVEX_SETTINGS_KEY_API std::string UploadQueueEntryKey(const std::string& provider, const std::string& directory);
// "Selected<n>".
PARVEX_SETTINGS_KEY_API std::string SelectedValueName(int n);
// The folder that holds `path`: the text before its last '/', empty when
// there is none or the item lies directly in '/'.
PARVEX_SETTINGS_KEY_API std::string FolderOf(const std::string& path);

// Names of the open key's sub-keys in enumeration order, read through a
// buffer of `bufferSize` bytes; a name that does not fit ends the list, as
// it ends every caller's counting loop.
PARVEX_SETTINGS_KEY_API std::vector<std::string> SubKeyNames(SettingKey& key,
                                                             winreg::DWORD bufferSize = SettingKey::kEnumBufferSize);

// Writes the string `value` named `name` into every entry key of `provider`
// (a value the provider holds, not one entry). Returns ERROR_SUCCESS;
// ERROR_FILE_NOT_FOUND when the provider has no entry; else the status of
// the first write that failed (callers hold a Transaction to keep nothing).
PARVEX_SETTINGS_KEY_API winreg::LONG WriteToEveryEntry(const std::string& provider, const char* name,
                                                       const std::string& value);

// The first sub-key name of the key at `path` below HKEY_CURRENT_USER,
// opened without creating it; false when the key is missing or has none.
PARVEX_SETTINGS_KEY_API bool FirstSubKey(const std::string& path, std::string& name);

// A hand-off as its readers see it: the first provider and entry under
// Selected, and the paths Selected0, Selected1, … up to the first missing one.
struct HandOff {
    std::string provider;
    std::string entry;
    std::vector<std::string> paths;
    std::string rootDir;
};

// A "Selected%d" value that is not a string: the hand-off was not written by
// the context menu and cannot be trusted.
inline constexpr winreg::LONG kErrorInvalidData = 13;  // ERROR_INVALID_DATA

// Reads the hand-off without changing it. Returns ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND when there is none, or the status of the read that
// failed (kErrorInvalidData for a path that is not a string): only a missing
// "Selected%d" ends the list, any other failure fails the whole hand-off, and
// `out` is then empty.
PARVEX_SETTINGS_KEY_API winreg::LONG ReadHandOffStatus(HandOff& out);
// The same, true only when a hand-off was read whole.
PARVEX_SETTINGS_KEY_API bool ReadHandOff(HandOff& out);

// Takes the hand-off over in one store transaction: reads it together with
// RUNNING\"RemoteBrowser" and deletes it (as DeleteHandOff) unless that flag
// is 1, in which case it is left for the remote browser and `forBrowser` is
// set. Returns as ReadHandOffStatus, or the status of a deletion or of the
// commit that failed; on any failure nothing has changed and `out` is empty.
PARVEX_SETTINGS_KEY_API winreg::LONG TakeHandOff(HandOff& out, bool& forBrowser);

// Deletes the hand-off deepest key first, in one transaction: the first
// provider's first entry, then that provider and Selected when nothing else
// is left in them (another hand-off may be waiting beside it); a missing
// hand-off is left alone and nothing is created. Returns the status of the last deletion
// tried, or of the commit when that fails.
PARVEX_SETTINGS_KEY_API winreg::LONG DeleteHandOff();

// Deletes every hand-off under Selected, other than `keepProvider`\`keepEntry`,
// that was written more than kHandOffPendingSeconds before `now` (or after
// it, by a clock set back since), or that carries no "Written" at all: a
// hand-off still waiting for the program started for it stays. Returns the
// first failed deletion's status, else ERROR_SUCCESS.
PARVEX_SETTINGS_KEY_API winreg::LONG DropStaleHandOffs(const std::string& keepProvider, const std::string& keepEntry,
                                                       winreg::DWORD now);

// Deletes the key `entry` below `parent`\`provider` with its values, then
// `provider` and `parent` when nothing else is left in them; hand-offs
// beside it are someone else's and stay. Returns the status of the
// entry's deletion (ERROR_FILE_NOT_FOUND when it was not there).
PARVEX_SETTINGS_KEY_API winreg::LONG DeleteHandOffEntry(const std::string& parent, const std::string& provider,
                                                        const std::string& entry);

}  // namespace layout
