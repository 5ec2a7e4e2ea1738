// The provider being edited by the settings dialogs, and the rules by which
// it is loaded from and saved to the settings store.
#pragma once

#include "platform/registry/registry.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace settings {

// The values of "Encryption": plain FTP, TLS when the server offers it, TLS or nothing.
inline constexpr std::int32_t kEncryptionNone = 0;
inline constexpr std::int32_t kEncryptionIfOffered = 1;
inline constexpr std::int32_t kEncryptionRequired = 2;

// The values of "NameEncoding": detected at login, UTF-8, Shift_JIS, EUC-JP.
inline constexpr std::int32_t kNameEncodingAuto = 0;
inline constexpr std::int32_t kNameEncodingUtf8 = 1;
inline constexpr std::int32_t kNameEncodingShiftJis = 2;
inline constexpr std::int32_t kNameEncodingEucJp = 3;

// One provider as the dialogs and the import carry it. The first eight
// fields keep this order: the extension selection sheet reaches the user
// name, password, server address and port through the provider name's place.
struct ProviderRecord {
    std::string providerName;
    std::string userName;
    std::string password;
    std::string serverAddr;
    std::string directory;  // where to go after login; names the directory entry
    std::string menuName;
    std::int32_t port = 0;
    std::int32_t anonymous = 0;
    // Per-extension routing: (extension list, target directory) in order.
    std::vector<std::pair<std::string, std::string>> autoTransfer;
    // FTP over TLS, as "Encryption" stores it (kEncryption*). A new provider
    // asks for TLS where the server offers it; a stored entry without the
    // value loads as plain FTP, which is what it has always used.
    std::int32_t encryption = kEncryptionIfOffered;
    // SHA-256 (lower-case hex) of the server certificate the user chose to
    // trust although it failed verification; empty when none.
    std::string trustedCertificate;
    // How the server writes file names, as "NameEncoding" stores it
    // (kNameEncoding*); a stored entry without the value detects it.
    std::int32_t nameEncoding = kNameEncodingAuto;
    // The entry keeps its password in the desktop keyring, which could not
    // give it at load (locked, missing, silent): `password` is empty then,
    // and a save with an empty password leaves the stored one as it is.
    bool passwordUnread = false;
};

}  // namespace settings

namespace settings {

// Longest text a field may hold: a string value of 256 bytes or more
// (terminator included) reads back as missing, and a key name is limited to
// the same 255 bytes. UTF-8 Japanese takes three bytes a character.
inline constexpr std::size_t kMaxFieldBytes = 255;

// The ports the dialogs accept, and the one they offer. A stored port is
// sent as 16 bits: 99999 would dial 34463.
inline constexpr std::int32_t kMinPort = 1;
inline constexpr std::int32_t kMaxPort = 65535;
inline constexpr std::int32_t kDefaultPort = 21;

// The stored value `value` as the programs that connect read it: 0 (also
// for a missing value) and 1 as they are, any other number TLS required, so
// that a number this version does not know never sends a password in clear.
std::int32_t EncryptionFromStore(std::uint32_t value);

// Why a record cannot be saved as it stands, as the user is told it; empty
// when it can. A provider name must not be empty; provider name, directory
// and routing directories must not hold "\" (it would make nested keys);
// every text must fit in kMaxFieldBytes bytes; the encryption must be one
// of kEncryption*, the name encoding one of kNameEncoding*.
std::string ProviderRecordProblem(const ProviderRecord& record);

// Whether `directory`, saved as a directory entry, would take the key of the
// per-extension transfer entry ("拡張子別転送") that every provider has, and so
// overwrite its login directory and menu name. A record loaded from that
// entry carries its name as the directory, so this is checked where a new
// directory is chosen, not in ProviderRecordProblem.
bool TakesTransferEntryName(const std::string& directory);

// The menu name the wizard offers for `directory`: the directory itself, or
// "ログイン時のディレクトリ" when it is empty (the entry that stays in the
// login directory). An entry without a menu name cannot be chosen in the
// manager, so nothing is saved without one.
std::string DefaultMenuName(const std::string& directory);

// What the user is told when the store refused a change:
// "設定を保存できませんでした(エラーコード : N)。" with the store's status.
std::string StoreWriteFailure(winreg::LONG status);

// Fills `record` from the entry `entry` of `provider`: the provider name and
// directory become the two names, ServerAddr, Port, Anonymous, UserName,
// Password, MenuName and TrustedCertificate are read, and every routing rule
// of the provider is appended to autoTransfer in enumeration order. A value
// missing in a rule repeats the value of the rule enumerated before it. A
// missing entry key is created empty; a missing value leaves its field as it
// was, except Encryption, which is always set (EncryptionFromStore: missing
// is plain FTP, never the new record's default), and NameEncoding (missing
// or unknown: automatic). A password kept in the desktop keyring
// ("PasswordInKeyring" 1) is read from there; when the keyring does not
// give it the password stays empty and passwordUnread is set (not for a
// keyring that simply has no item). Returns false,
// creating and changing nothing, when a name is empty or holds "\".
bool LoadProviderEntry(const std::string& provider, const std::string& entry, ProviderRecord& record);

// Saves `record`: the per-extension transfer entry ("拡張子別転送", Root
// "/", Anonymous 0, MenuName "拡張子別転送"), then the directory entry (named
// after the directory, or "ログイン時のディレクトリ" with an empty Root when
// the directory is empty or that very text), then one routing key per pair in
// order. Both entries get Encryption and NameEncoding; a trustedCertificate goes into every
// entry of the provider, since the trust is the provider's (as the programs
// that ask the question remember it). Nothing is deleted: an empty one leaves a stored
// one in place, since a save that merely does not carry it (the import, an
// entry added by the wizard) must not undo the user's answer to the
// certificate question; an outdated fingerprint lets no other certificate
// through, it only makes the next question warn that the certificate changed. With `autoTransferRoot` (the property sheet's
// field "拡張子別転送選択時のログイン先ディレクトリ"), that text then
// replaces the per-extension transfer entry's Root; the wizard and the import
// pass none. Passwords: a non-empty one goes into the desktop keyring first,
// entry by entry; an entry whose keyring item was confirmed gets an empty
// "Password" and "PasswordInKeyring" 1, any other the password itself and 0
// (so without a keyring everything is as it always was). An empty password
// writes "" and 0 and removes the entry's keyring item after the commit,
// unless passwordUnread says the stored one was never seen: then both
// values and the item stay as they are.
// Everything is written in one store transaction.
// Returns ERROR_SUCCESS; ERROR_INVALID_PARAMETER, writing nothing, when
// ProviderRecordProblem (or the root text) objects; or the status of the
// first write that failed, with nothing written.
winreg::LONG SaveProviderEntry(const ProviderRecord& record, const std::string* autoTransferRoot = nullptr);

// Pre-fills from an existing provider: reads ServerAddr, Port, UserName,
// Password, Anonymous, Encryption, NameEncoding and TrustedCertificate of the
// provider's first entry in enumeration order (the password from the keyring
// as LoadProviderEntry does). Port and anonymous become 0 when their values
// are missing, the encryption as EncryptionFromStore says, the name encoding
// automatic when missing or unknown; a missing
// string leaves its field as it was. Returns false, changing nothing, when
// the provider key does not exist (or the name is empty or holds "\").
bool ReadFirstEntry(const std::string& provider, ProviderRecord& record);

// Deletes the routing key of `directory` of `provider` at once. Returns the
// deletion's status: ERROR_FILE_NOT_FOUND when there is no such key,
// ERROR_INVALID_PARAMETER (nothing deleted) when a name is empty or holds "\".
winreg::LONG DeleteAutoTransferKey(const std::string& provider, const std::string& directory);

// Removes `provider` whole, in one store transaction: its key under PROVIDER
// with every entry (the per-extension one included), its routing rules
// under AutoTransfer and its record of what uploads sent (Published). Returns ERROR_SUCCESS; ERROR_FILE_NOT_FOUND when there
// is no such provider; ERROR_INVALID_PARAMETER (nothing deleted) when the
// name is empty or holds "\"; otherwise the status of the first deletion
// or of the commit that failed, with nothing deleted.
winreg::LONG DeleteProvider(const std::string& provider);

}  // namespace settings
