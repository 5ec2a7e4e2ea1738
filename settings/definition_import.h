// Creating providers in bulk from an FTP definition file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace settings {

struct ImportResult {
    enum class Status {
        kImported,          // the file was read and every profile it could give was saved (maybe none)
        kCannotRead,        // missing, a folder, too large, or a read error: nothing written
        kNotDefinitionFile, // binary or undecodable bytes: nothing written
        kStopped,           // the progress callback asked to stop: nothing written
        kStoreFailed,       // a store write or the commit failed: nothing written
    };
    struct Skipped {
        std::int32_t profile = 0;  // its number n in the file
        std::string reason;        // Japanese, for the user
    };
    Status status = Status::kCannotRead;
    std::int32_t profileCount = 0;        // the file's "PROFILE" count
    std::vector<std::string> providers;   // names saved, in file order (a name twice when two profiles share it)
    std::vector<Skipped> skipped;         // profiles present in the file but not saved
    std::int32_t absentProfiles = 0;      // counted but beyond the last profile the file holds: not saved
    std::string error;                    // Japanese, for the user, when status is not kImported
};

// Called before profile n of `total` is saved; returning false stops the
// import and rolls back all of it.
using ImportProgress = std::function<bool(std::int32_t n, std::int32_t total)>;

// Reads the definition file at `path` (INI text in Shift_JIS, EUC-JP,
// ISO-2022-JP or UTF-8, CR LF or LF) and saves one provider per profile of
// section [PROFILE] with its routing lines of [AUTOTRANSFER], as
// SaveProviderEntry does. All or nothing: the whole import is one store
// transaction, so a failure, a stop or a killed process leaves the store as
// it was. A profile without a provider name, with a port outside 1…65535
// (one without PORT gets 21), with an ENCRYPTIONn other than 0 (plain FTP,
// also when absent or empty), 1 (TLS when offered) or 2 (TLS required), with
// a NAMEENCODINGn other than 0 (automatic, also when absent or empty), 1
// (UTF-8), 2 (Shift_JIS) or 3 (EUC-JP), or one the store cannot hold (a "\" in a name, a text over 255 bytes), is
// skipped and listed; a profile without a menu name gets the one the wizard
// offers (DefaultMenuName); a routing line without a token is ignored. No
// trusted certificate is imported. Never shows anything.
ImportResult ImportDefinitionFile(const std::string& path, const ImportProgress& progress = {});

}  // namespace settings
