// The per-user registry store: a small API shaped like the Win32 registry
// calls the suite uses, kept in one SQLite database per user.
//
// Every function returns a Win32 status code (ERROR_SUCCESS on success) and
// never throws. Key and value names compare without regard to ASCII case;
// a path's components are separated by '\\' and the empty path names the key
// itself. Sub-keys enumerate in sorted order of their upper-cased names,
// values in the order they were first created.
//
// The store lives at $PARVEX_REGISTRY, else $XDG_CONFIG_HOME/parvex/registry.db,
// else ~/.config/parvex/registry.db (directory 0700, file 0600), and is opened
// on first use. Several processes and threads may use it at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Marks what the store's shared library exports; everything else stays inside it.
#define PARVEX_REGISTRY_API __attribute__((visibility("default")))

namespace winreg {

namespace detail {
class Store;
}

using LONG = std::int32_t;
using DWORD = std::uint32_t;
using BYTE = std::uint8_t;
using REGSAM = DWORD;

struct KeyHandle;
using HKEY = KeyHandle*;

// The two roots the suite uses. They need no opening and closing them does nothing.
PARVEX_REGISTRY_API extern HKEY const HKEY_CLASSES_ROOT;
PARVEX_REGISTRY_API extern HKEY const HKEY_CURRENT_USER;

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_OUTOFMEMORY = 14;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_BAD_PATHNAME = 161;
inline constexpr LONG ERROR_BUSY = 170;            // another process held the store for the whole wait
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BADDB = 1009;          // the store file is not a usable database
inline constexpr LONG ERROR_KEY_DELETED = 1018;    // the open key was deleted meanwhile
inline constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_OPTION_VOLATILE = 1;  // accepted; such keys are ordinary keys here

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Longest key name, in UTF-8 bytes: every name fits a 260-byte enumeration buffer.
inline constexpr std::size_t kMaxKeyNameBytes = 255;
// Longest value name, in UTF-8 bytes.
inline constexpr std::size_t kMaxValueNameBytes = 16383;

// Opens `subKey` below `key`, creating it and any missing intermediate keys.
// `disposition` (may be null) receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
// On failure *result is null: ERROR_BAD_PATHNAME for an empty component,
// ERROR_INVALID_PARAMETER for a name over kMaxKeyNameBytes, ERROR_BADDB or
// ERROR_REGISTRY_IO_FAILED when the store cannot be used.
PARVEX_REGISTRY_API LONG RegCreateKeyEx(HKEY key, const char* subKey, DWORD reserved, const char* keyClass,
                                        DWORD options, REGSAM sam, const void* security, HKEY* result, DWORD* disposition);

// Opens an existing key; ERROR_FILE_NOT_FOUND (null *result) when it does not exist.
PARVEX_REGISTRY_API LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM sam, HKEY* result);

// Releases a handle. Closing a root does nothing; an unknown handle gives ERROR_INVALID_HANDLE.
PARVEX_REGISTRY_API LONG RegCloseKey(HKEY key);

// Stores `size` bytes of `data` with `type` under `name` (null or "" is the
// default value). Overwriting keeps the value's place in the enumeration order.
PARVEX_REGISTRY_API LONG RegSetValueEx(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                                       DWORD size);

// Reads a value. With `data` null only *size (and *type) are set. When the
// value is larger than *size, answers ERROR_MORE_DATA, sets *size to the
// needed size and copies nothing. ERROR_FILE_NOT_FOUND when it is missing.
PARVEX_REGISTRY_API LONG RegQueryValueEx(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                                         DWORD* size);

// Name of the sub-key at `index`. *nameSize is the buffer's size in bytes on
// entry and the name's length without its terminator on success.
// ERROR_MORE_DATA when the name and its terminator do not fit (nothing is
// copied), ERROR_NO_MORE_ITEMS past the last sub-key. `keyClass`,
// `classSize` and `lastWrite` may be null and are never filled.
PARVEX_REGISTRY_API LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                                      char* keyClass, DWORD* classSize, void* lastWrite);

// Name, type and data of the value at `index` in creation order; sizes work
// as in RegEnumKeyEx (name) and RegQueryValueEx (data).
PARVEX_REGISTRY_API LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                                      DWORD* type, BYTE* data, DWORD* dataSize);

// Deletes `subKey` (a path below `key`) and its values. A key that still has
// sub-keys is not deleted (ERROR_ACCESS_DENIED); neither is a root or an
// empty path (ERROR_INVALID_PARAMETER).
PARVEX_REGISTRY_API LONG RegDeleteKey(HKEY key, const char* subKey);

// Deletes `subKey` with everything below it in one transaction; with a null
// or empty `subKey`, deletes every sub-key and value of `key` but keeps `key`.
PARVEX_REGISTRY_API LONG RegDeleteTree(HKEY key, const char* subKey);

// Deletes one value; ERROR_FILE_NOT_FOUND when it is missing.
PARVEX_REGISTRY_API LONG RegDeleteValue(HKEY key, const char* name);

// Groups every registry call this thread makes until Commit() into one
// atomic change: either all of it is stored or, when the object is destroyed
// uncommitted (or the process dies), none of it. Other threads of the process
// wait meanwhile. A Transaction made while another is open on this thread
// joins it: only the outermost one commits or rolls back. Status() tells
// whether the transaction could be started.
class PARVEX_REGISTRY_API Transaction {
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    LONG Status() const { return status_; }
    LONG Commit();

private:
    std::shared_ptr<detail::Store> store_;
    LONG status_;
    bool open_;
    bool savepoint_ = false;  // made inside a Snapshot: a savepoint of the snapshot's transaction
};

// Serves every registry call this thread makes until the object is destroyed
// from one state of the store, taking the store's read lock once for all of
// them instead of once per call: a walk over many keys (a listing of a whole
// tree, every provider loaded) costs a fraction. Other threads of the process
// wait meanwhile, and changes other processes make show only once it ends, so
// hold it for one walk, never across a wait. Inside a Transaction or another
// Snapshot it does nothing. A write made inside it is stored when it ends; a
// Transaction made inside it keeps its all-or-nothing rule. Either write
// fails with ERROR_BUSY when another process has written since the snapshot
// began. A store that cannot be opened makes it do nothing. Keys found
// inside it are remembered for the next Snapshot as long as the store stays
// unchanged, so a walk may also take one Snapshot per item.
class PARVEX_REGISTRY_API Snapshot {
public:
    Snapshot();
    ~Snapshot();
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

private:
    std::shared_ptr<detail::Store> store_;
    bool began_ = false;
};

// Path of the store file that the next first use will open.
PARVEX_REGISTRY_API std::string StorePath();

// Makes this process open its store read-only, for programs that only
// look (reg query, reg export): a store the user may read but not write is
// then usable, and the store file is never written. Call it before the
// first registry call (or after ResetStore()). Afterwards every write fails
// with ERROR_ACCESS_DENIED, and a store that does not exist yet is not
// created: every key then answers ERROR_FILE_NOT_FOUND. In a folder that
// cannot be written, and without the -wal and -shm files beside it (no
// writer has it open), the store is read as it stands on the disk.
PARVEX_REGISTRY_API void SetStoreReadOnly(bool readOnly);

// How long a call waits, in milliseconds, while another process writes to
// the store before it gives up with ERROR_BUSY; the default
// is kDefaultBusyTimeoutMs. A program whose window must never freeze sets it
// lower. Applies to the open store and to every one opened later.
inline constexpr int kDefaultBusyTimeoutMs = 15000;
PARVEX_REGISTRY_API void SetBusyTimeout(int milliseconds);

// Forgets the process's open store so that the next call opens the file
// named by the environment afresh. Handles opened before become invalid.
// Meant for tests that point PARVEX_REGISTRY at a new file.
PARVEX_REGISTRY_API void ResetStore();

}  // namespace winreg
