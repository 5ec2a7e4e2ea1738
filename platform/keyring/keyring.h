// Passwords in the desktop keyring: any freedesktop Secret Service (GNOME
// Keyring, KWallet, KeePassXC) through libsecret, under the schema
// "org.parvex.Password" with the attributes provider, entry, server and user.
//
// Every call is bounded by the caller's time-out: a locked keyring whose
// unlock prompt nobody answers, or a service that does not reply, never holds
// a program up. The work runs on a thread of its own; when time runs out the
// caller gets its answer at once and the work is cancelled (an open unlock
// prompt is dismissed), after which its thread ends on its own.
#pragma once

#include <chrono>
#include <string>

namespace keyring {

enum class Status {
    Ok,
    NotFound,   // no item matches (Lookup only)
    Locked,     // the collection or item stayed locked: the unlock prompt was
                // dismissed, or time ran out while it was shown
    NoService,  // no session bus, or nothing on it provides the Secret Service
    TimedOut,   // the service did not answer within the time-out
    Failed,     // any other error of the service or the bus; also a name
                // that is not UTF-8 or holds a NUL (nothing is sent then)
};

// Short English name for logs: "ok", "not found", "locked", "no service",
// "timed out", "failed".
const char* StatusName(Status status);

// One stored password is identified by all four attributes.
struct Key {
    std::string provider;
    std::string entry;
    std::string server;
    std::string user;
};

using Timeout = std::chrono::milliseconds;

// What the programs give every keyring call: long enough for the user to type
// the keyring's unlock password into the service's prompt.
inline constexpr Timeout kProgramTimeout = std::chrono::seconds(60);

// Every call answers NoService at once when the process knows no session bus
// (neither DBUS_SESSION_BUS_ADDRESS nor $XDG_RUNTIME_DIR/bus): no bus daemon
// is ever started for it.

// Ok when a Secret Service answers on the session bus and a session with it
// could be opened; NoService, TimedOut or Failed otherwise.
Status Available(Timeout timeout);

// Stores `password` for `key` in the default collection with the label
// "Parvex: <provider> (<server>)", unlocking the collection first (the
// service's own prompt). An item of the same provider and entry under another
// server or user is removed afterwards, so that an entry keeps one password.
// Returns Ok once the service confirmed the item and the older ones are gone;
// Locked, NoService, TimedOut or Failed otherwise: when storing failed nothing
// is removed, when only a removal failed the new item stays.
Status Store(const Key& key, const std::string& password, Timeout timeout);

// Reads the password stored for exactly `key` into `password`, unlocking the
// item if needed. Returns Ok; NotFound when no item matches; Locked, NoService,
// TimedOut or Failed otherwise. `password` is cleared on every failure.
Status Lookup(const Key& key, std::string& password, Timeout timeout);

// Deletes every item of the provider's entry (any server, any user), or of
// the whole provider. Ok also when there was none. Locked when some items
// could not be unlocked (none of them is deleted then); NoService, TimedOut
// or Failed otherwise (items deleted before the failure stay deleted).
Status DeleteEntry(const std::string& provider, const std::string& entry, Timeout timeout);
Status DeleteProvider(const std::string& provider, Timeout timeout);

}  // namespace keyring
