#include "platform/registry/registry.h"

#include <sqlite3.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace winreg {

HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u});
HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});

// Enumeration by index would cost a scan per call; callers count the index
// up by one (often closing and reopening the key in between), so the store
// remembers where the last calls stopped, per key, and the next index
// continues from there. A cursor is used only while the store is in the
// state it was read from (see Store::Version), so a change made meanwhile by
// any process never shows a stale list.
struct EnumCursor {
    std::int64_t key = 0;
    bool values = false;
    DWORD index = 0;
    std::string fold;        // sub-keys: folded name at `index`
    std::int64_t rowid = 0;  // values: row at `index`
    std::pair<std::int64_t, std::int64_t> version;
};

struct KeyHandle {
    std::int64_t id;
};

namespace {

constexpr std::int64_t kClassesRootId = 1;
constexpr std::int64_t kCurrentUserId = 2;
constexpr int kApplicationId = 0x50525658;  // "PRVX": tells our store from any other SQLite file
constexpr int kSchemaVersion = 1;
std::atomic<int> g_busyTimeoutMs{kDefaultBusyTimeoutMs};

std::string Fold(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Splits a key path on '\\'. One trailing separator is tolerated, as the
// Windows registry does; a leading one or an empty component is an error.
LONG SplitPath(const char* path, std::vector<std::string_view>& parts) {
    parts.clear();
    if (path == nullptr) return ERROR_SUCCESS;
    std::string_view p(path);
    if (!p.empty() && p.back() == '\\') p.remove_suffix(1);
    if (p.empty()) return ERROR_SUCCESS;
    std::size_t start = 0;
    while (true) {
        std::size_t end = p.find('\\', start);
        std::string_view part = p.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty()) return ERROR_BAD_PATHNAME;
        if (part.size() > kMaxKeyNameBytes) return ERROR_INVALID_PARAMETER;
        parts.push_back(part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

bool MakeDirs(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    std::size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        prepared_ = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }
    // SQLITE_OK, or why the preparation failed (the statement is then null).
    int prepared() const { return stmt_ != nullptr ? SQLITE_OK : prepared_ != SQLITE_OK ? prepared_ : SQLITE_ERROR; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepared_ = SQLITE_OK;
};

// Resets a cached statement on every exit path so that it never holds a read lock.
class Use {
public:
    explicit Use(Statement& s) : s_(s.get()), prepared_(s.prepared()) {}
    ~Use() {
        if (s_ != nullptr) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;
    bool ok() const { return s_ != nullptr; }
    Use& bind(int i, std::int64_t v) {
        if (s_ != nullptr) sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    Use& bind(int i, std::string_view v) {
        // An empty view may have a null data(), which SQLite would store as NULL.
        if (s_ != nullptr) sqlite3_bind_text(s_, i, v.empty() ? "" : v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Use& blob(int i, const BYTE* data, DWORD size) {
        if (s_ == nullptr) return *this;
        if (size == 0)
            sqlite3_bind_zeroblob(s_, i, 0);
        else
            sqlite3_bind_blob(s_, i, data, static_cast<int>(size), SQLITE_TRANSIENT);
        return *this;
    }
    // A statement that could not be prepared answers with the preparation's failure, not with a misuse.
    int step() { return s_ != nullptr ? sqlite3_step(s_) : prepared_; }
    sqlite3_stmt* raw() const { return s_; }

private:
    sqlite3_stmt* s_;
    int prepared_;
};

std::string_view ColumnText(sqlite3_stmt* s, int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(s, col))) : std::string_view();
}

}  // namespace

namespace detail {

// One line per process: a store opened afresh after a failure does not say it again.
std::atomic<bool> g_reported{false};

class Store {
public:
    std::recursive_mutex mu;

    Store(std::string path, bool readOnly) : path_(std::move(path)), readOnly_(readOnly) {
        status_ = readOnly_ ? OpenReadOnly() : Open();
    }
    ~Store() {
        stmts_.clear();
        for (KeyHandle* h : handles_) delete h;
        if (db_ != nullptr) sqlite3_close_v2(db_);
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    LONG status() const { return status_; }
    int explicitDepth = 0;
    bool snapshotOpen = false;

    // Within a Transaction or Snapshot no other process changes what this
    // connection sees, so the keys found so far (by parent and folded name)
    // and the handles checked to exist are remembered until it ends: a walk
    // that opens every entry by its full path would otherwise look up the
    // same leading keys again for each one. Forgotten when a transaction
    // ends, a key is deleted, and on any failure (SQLite may have rolled
    // back on its own).
    bool Remembering() const { return explicitDepth > 0 || snapshotOpen; }
    std::pair<std::int64_t, std::int64_t> rememberedAt{-1, -1};  // Version when a snapshot last ended
    void ForgetVersion() { dataVersion_.reset(); }
    void Forget() {
        rememberedAt = {-1, -1};
        children_.clear();
        checked_.clear();
        dataVersion_.reset();
        valuesKey_ = 0;
    }

    struct Value {
        std::string name;
        DWORD type;
        std::string data;
    };
    // Every value of `key` in enumeration order, read once per key while
    // remembering and while this connection changes nothing; null otherwise
    // (or when they cannot be read: the caller then asks row by row).
    const std::vector<Value>* Values(std::int64_t key) {
        if (!Remembering()) return nullptr;
        const std::int64_t changes = sqlite3_total_changes64(db_);
        if (valuesKey_ == key && valuesChanges_ == changes) return &values_;
        valuesKey_ = 0;
        values_.clear();
        Use q(allValues_());
        q.bind(1, key);
        int rc;
        while ((rc = q.step()) == SQLITE_ROW) {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(q.raw(), 2));
            const auto size = static_cast<std::size_t>(sqlite3_column_bytes(q.raw(), 2));
            values_.push_back(Value{std::string(ColumnText(q.raw(), 0)),
                                    static_cast<DWORD>(sqlite3_column_int64(q.raw(), 1)),
                                    bytes ? std::string(bytes, size) : std::string()});
        }
        if (rc != SQLITE_DONE) return nullptr;
        valuesKey_ = key;
        valuesChanges_ = changes;
        return &values_;
    }

    void SetBusyTimeout(int ms) {
        if (db_ != nullptr) sqlite3_busy_timeout(db_, ms);
    }

    // Maps an SQLite failure to a registry status and tells the user once,
    // since callers of the registry never report errors themselves.
    LONG Fail(int rc) {
        Forget();
        if (rc == SQLITE_NOMEM) return ERROR_OUTOFMEMORY;
        // Not worth a line on stderr: the next call may well get through.
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) return ERROR_BUSY;
        if (rc == SQLITE_READONLY && readOnly_) return ERROR_ACCESS_DENIED;
        LONG status = (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) ? ERROR_BADDB : ERROR_REGISTRY_IO_FAILED;
        Report(sqlite3_errstr(rc), status);
        return status;
    }

    void Report(const char* what, LONG status) {
        if (g_reported.exchange(true)) return;
        std::fprintf(stderr, "parvex: registry store %s: %s; registry calls answer %d\n", path_.c_str(), what,
                     static_cast<int>(status));
    }

    LONG Resolve(HKEY key, std::int64_t& id) {
        if (key == HKEY_CLASSES_ROOT) {
            id = kClassesRootId;
            return ERROR_SUCCESS;
        }
        if (key == HKEY_CURRENT_USER) {
            id = kCurrentUserId;
            return ERROR_SUCCESS;
        }
        if (key == nullptr || handles_.count(key) == 0) return ERROR_INVALID_HANDLE;
        id = key->id;
        if (Remembering() && checked_.count(id) != 0) return ERROR_SUCCESS;
        Use q(keyExists_());
        int rc = q.bind(1, id).step();
        if (rc == SQLITE_ROW) {
            if (Remembering()) checked_.insert(id);
            return ERROR_SUCCESS;
        }
        if (rc == SQLITE_DONE) return ERROR_KEY_DELETED;
        return Fail(rc);
    }

    // True for a handle of ours (Resolve has checked it), false for a root.
    static bool IsHandle(HKEY key) { return key != HKEY_CLASSES_ROOT && key != HKEY_CURRENT_USER; }

    bool IsRoot(std::int64_t id) const { return id == kClassesRootId || id == kCurrentUserId; }

    // Finds a child by folded name: 0 with the id, ERROR_FILE_NOT_FOUND, or a failure.
    LONG Child(std::int64_t parent, std::string_view name, std::int64_t& id) {
        std::string fold = Fold(name);
        const bool remember = Remembering();
        if (remember) {
            auto it = children_.find({parent, fold});
            if (it != children_.end()) {
                id = it->second;
                return ERROR_SUCCESS;
            }
        }
        Use q(childByName_());
        int rc = q.bind(1, parent).bind(2, fold).step();
        if (rc == SQLITE_ROW) {
            id = sqlite3_column_int64(q.raw(), 0);
            if (remember) children_.emplace(std::make_pair(parent, std::move(fold)), id);
            return ERROR_SUCCESS;
        }
        return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : Fail(rc);
    }

    LONG Walk(std::int64_t id, const std::vector<std::string_view>& parts, std::int64_t& out) {
        for (auto part : parts) {
            LONG st = Child(id, part, id);
            if (st != ERROR_SUCCESS) return st;
        }
        out = id;
        return ERROR_SUCCESS;
    }

    LONG AddChild(std::int64_t parent, std::string_view name, std::int64_t& id) {
        Use q(insertKey_());
        int rc = q.bind(1, parent).bind(2, name).bind(3, Fold(name)).step();
        if (rc != SQLITE_DONE) return Fail(rc);
        id = sqlite3_last_insert_rowid(db_);
        return ERROR_SUCCESS;
    }

    HKEY NewHandle(std::int64_t id) {
        auto* h = new KeyHandle{id};
        handles_.insert(h);
        return h;
    }

    LONG CloseHandle(HKEY key) {
        if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
        auto it = handles_.find(key);
        if (it == handles_.end()) return ERROR_INVALID_HANDLE;
        handles_.erase(it);
        delete key;
        return ERROR_SUCCESS;
    }

    LONG Exec(const char* sql) {
        // Every statement run this way begins or ends a transaction.
        Forget();
        int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        return rc == SQLITE_OK ? ERROR_SUCCESS : Fail(rc);
    }

    bool InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

    // The state of the store as this call reads it: another process's commit
    // changes the data version, this connection's changes its change count.
    // Read inside the call's read transaction, so it describes what the
    // call's statements see.
    LONG Version(std::pair<std::int64_t, std::int64_t>& out) {
        if (!dataVersion_) {
            Use q(dataVersionQuery_());
            int rc = q.step();
            if (rc != SQLITE_ROW) return Fail(rc);
            if (Remembering()) dataVersion_ = sqlite3_column_int64(q.raw(), 0);
            out = {sqlite3_column_int64(q.raw(), 0), sqlite3_total_changes64(db_)};
            return ERROR_SUCCESS;
        }
        out = {*dataVersion_, sqlite3_total_changes64(db_)};
        return ERROR_SUCCESS;
    }

    // Where an enumeration of `key` asked for `index` goes on from: its
    // cursor, when the store is unchanged since it was left and it stands at
    // `index` (asked again after a too-small buffer; `same`) or just before
    // it (callers count up by one); null otherwise, and the enumeration
    // starts over. `version` receives the state this call reads.
    LONG Resume(std::int64_t key, bool values, DWORD index, std::pair<std::int64_t, std::int64_t>& version,
                const EnumCursor*& cursor, bool& same) {
        if (LONG st = Version(version); st != ERROR_SUCCESS) return st;
        cursor = Cursor(key, values);
        if (cursor && (cursor->version != version || (cursor->index != index && cursor->index + 1 != index)))
            cursor = nullptr;
        same = cursor && cursor->index == index;
        return ERROR_SUCCESS;
    }

    // The remembered cursor of `key` (sub-keys or values), or null.
    EnumCursor* Cursor(std::int64_t key, bool values) {
        for (EnumCursor& c : cursors_)
            if (c.key == key && c.values == values) return &c;
        return nullptr;
    }
    // Remembers a cursor, forgetting the oldest beyond a few: callers walk a
    // tree depth first, so only the keys on the current path are in use.
    void Remember(EnumCursor cursor) {
        if (EnumCursor* c = Cursor(cursor.key, cursor.values)) {
            *c = std::move(cursor);
            return;
        }
        if (cursors_.size() >= kCursors) cursors_.erase(cursors_.begin());
        cursors_.push_back(std::move(cursor));
    }

    Statement& keyExists_() { return S(0, "SELECT 1 FROM keys WHERE id=?1"); }
    Statement& childByName_() { return S(1, "SELECT id FROM keys WHERE parent=?1 AND fold=?2"); }
    Statement& insertKey_() { return S(2, "INSERT INTO keys(parent,name,fold) VALUES(?1,?2,?3)"); }
    Statement& hasChildren_() { return S(3, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1"); }
    Statement& enumKey_() { return S(4, "SELECT name,fold FROM keys WHERE parent=?1 ORDER BY fold LIMIT 1 OFFSET ?2"); }
    Statement& nextKey_() {
        return S(13, "SELECT name,fold FROM keys WHERE parent=?1 AND fold>?2 ORDER BY fold LIMIT 1");
    }
    Statement& sameKey_() {
        return S(15, "SELECT name,fold FROM keys WHERE parent=?1 AND fold>=?2 ORDER BY fold LIMIT 1");
    }
    Statement& beginRead_() { return S(16, "BEGIN"); }
    Statement& allValues_() { return S(19, "SELECT name,type,data FROM vals WHERE key=?1 ORDER BY rowid"); }
    Statement& dataVersionQuery_() { return S(18, "PRAGMA data_version"); }
    Statement& endRead_() { return S(17, "COMMIT"); }
    Statement& nextValue_() {
        return S(14, "SELECT name,type,data,rowid FROM vals WHERE key=?1 AND rowid>?2 ORDER BY rowid LIMIT 1");
    }
    Statement& setValue_() {
        return S(5,
                 "INSERT INTO vals(key,name,fold,type,data) VALUES(?1,?2,?3,?4,?5) "
                 "ON CONFLICT(key,fold) DO UPDATE SET type=excluded.type, data=excluded.data");
    }
    Statement& getValue_() { return S(6, "SELECT type,data FROM vals WHERE key=?1 AND fold=?2"); }
    Statement& enumValue_() {
        return S(7, "SELECT name,type,data,rowid FROM vals WHERE key=?1 ORDER BY rowid LIMIT 1 OFFSET ?2");
    }
    Statement& deleteValue_() { return S(8, "DELETE FROM vals WHERE key=?1 AND fold=?2"); }
    Statement& deleteKey_() { return S(9, "DELETE FROM keys WHERE id=?1"); }
    Statement& deleteKeyValues_() { return S(10, "DELETE FROM vals WHERE key=?1"); }
    Statement& deleteTreeValues_() {
        return S(11,
                 "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent=t.id) "
                 "DELETE FROM vals WHERE key IN t");
    }
    Statement& deleteTreeKeys_() {
        return S(12,
                 "WITH RECURSIVE t(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent=t.id) "
                 "DELETE FROM keys WHERE id IN t AND (?2 = 0 OR id <> ?1)");
    }

private:
    std::string path_;
    bool readOnly_ = false;
    sqlite3* db_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
    std::vector<std::unique_ptr<Statement>> stmts_;
    std::unordered_set<KeyHandle*> handles_;
    static constexpr std::size_t kCursors = 16;
    std::vector<EnumCursor> cursors_;
    std::map<std::pair<std::int64_t, std::string>, std::int64_t> children_;
    std::unordered_set<std::int64_t> checked_;
    std::optional<std::int64_t> dataVersion_;
    std::int64_t valuesKey_ = 0;  // 0: no key's values are held
    std::int64_t valuesChanges_ = 0;
    std::vector<Value> values_;

    Statement& S(std::size_t slot, const char* sql) {
        if (stmts_.size() <= slot) stmts_.resize(slot + 1);
        // A preparation that failed (a locked or momentarily unreadable
        // store) is tried again at the next use: kept, it would fail every
        // later call for the life of the process.
        if (!stmts_[slot] || stmts_[slot]->get() == nullptr) stmts_[slot] = std::make_unique<Statement>(db_, sql);
        return *stmts_[slot];
    }

    LONG Open() {
        if (path_.empty()) {
            Report("no store path (neither PARVEX_REGISTRY, XDG_CONFIG_HOME nor HOME is set)",
                   ERROR_REGISTRY_IO_FAILED);
            return ERROR_REGISTRY_IO_FAILED;
        }
        std::size_t slash = path_.find_last_of('/');
        if (slash != std::string::npos && slash > 0 && !MakeDirs(path_.substr(0, slash))) {
            Report(std::strerror(errno), ERROR_REGISTRY_IO_FAILED);
            return ERROR_REGISTRY_IO_FAILED;
        }
        // Created here rather than by SQLite so that the file is private from its first byte.
        // An existing file is never opened and closed by hand: close() drops every POSIX lock
        // this process holds on it, including those of another connection in the process (a
        // tool or test that reads the file with SQLite itself). Another process then takes
        // itself for the last user and deletes the WAL under us, and commits made afterwards
        // vanish although they reported success.
        int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno != EEXIST) {
            Report(std::strerror(errno), ERROR_REGISTRY_IO_FAILED);
            return ERROR_REGISTRY_IO_FAILED;
        }
        int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) return Fail(rc);
        sqlite3_busy_timeout(db_, g_busyTimeoutMs);
        sqlite3_extended_result_codes(db_, 0);

        int appId = 0, tables = 0, version = 0;
        rc = Scalars(kProbe, appId, tables);
        if (rc != SQLITE_OK) return Fail(rc);
        if (appId != kApplicationId && !(appId == 0 && tables == 0)) {
            Report("the file is an SQLite database but not a registry store; it is left untouched", ERROR_BADDB);
            return ERROR_BADDB;
        }
        // WAL lets readers go on while another process writes; NORMAL sync
        // keeps every commit across a process crash (only power loss can drop
        // the latest ones) at a fraction of FULL's cost.
        if ((rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr)) != SQLITE_OK) return Fail(rc);
        if ((rc = sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr)) != SQLITE_OK)
            return Fail(rc);
        if (appId == 0) {
            LONG st = Exec("BEGIN IMMEDIATE");
            if (st != ERROR_SUCCESS) return st;
            // Another process may have set the store up while we waited for the lock.
            rc = Scalar("PRAGMA application_id", appId);
            if (rc == SQLITE_OK && appId == 0) rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK) {
                sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
                return Fail(rc);
            }
            if ((st = Exec("COMMIT")) != ERROR_SUCCESS) return st;
        }
        if ((rc = Scalar("PRAGMA user_version", version)) != SQLITE_OK) return Fail(rc);
        if (version > kSchemaVersion) {
            Report("the store was written by a newer version of the suite", ERROR_BADDB);
            return ERROR_BADDB;
        }
        return ERROR_SUCCESS;
    }

    // Neither creates nor changes anything: no folder, no file, no schema, no journal mode.
    LONG OpenReadOnly() {
        struct stat st {};
        if (path_.empty() || ::stat(path_.c_str(), &st) != 0) {
            if (!path_.empty() && errno == ENOENT) return ERROR_FILE_NOT_FOUND;
            Report(path_.empty() ? "no store path" : std::strerror(errno), ERROR_REGISTRY_IO_FAILED);
            return ERROR_REGISTRY_IO_FAILED;
        }
        int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        int appId = 0, tables = 0, version = 0;
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db_, g_busyTimeoutMs);
            sqlite3_extended_result_codes(db_, 0);
            rc = Scalars(kProbe, appId, tables);
        }
        if (rc == SQLITE_CANTOPEN) {
            // A WAL store needs its -shm file, which a read-only folder cannot
            // hold. Without one no writer has the store open, and none can
            // start where we cannot write: the file on the disk is all there is.
            sqlite3_close_v2(db_);
            db_ = nullptr;
            std::string uri = "file:";
            for (unsigned char c : path_) {
                if (std::isalnum(c) || std::strchr("/-._~", c) != nullptr) {
                    uri += static_cast<char>(c);
                } else {
                    char hex[4];
                    std::snprintf(hex, sizeof hex, "%%%02X", c);
                    uri += hex;
                }
            }
            uri += "?immutable=1";
            rc = sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                                 nullptr);
            if (rc == SQLITE_OK) rc = Scalars(kProbe, appId, tables);
        }
        if (rc != SQLITE_OK) return Fail(rc);
        if (appId == 0 && tables == 0) return ERROR_FILE_NOT_FOUND;  // made but never set up: empty
        if (appId != kApplicationId) {
            Report("the file is an SQLite database but not a registry store; it is left untouched", ERROR_BADDB);
            return ERROR_BADDB;
        }
        if ((rc = Scalar("PRAGMA user_version", version)) != SQLITE_OK) return Fail(rc);
        if (version > kSchemaVersion) {
            Report("the store was written by a newer version of the suite", ERROR_BADDB);
            return ERROR_BADDB;
        }
        return ERROR_SUCCESS;
    }

    int Scalar(const char* sql, int& out) {
        int unused = 0;
        return Scalars(sql, out, unused);
    }

    // Reads the first one or two columns of a one-row query.
    int Scalars(const char* sql, int& first, int& second) {
        sqlite3_stmt* s = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql, -1, &s, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(s);
            if (rc == SQLITE_ROW) {
                first = sqlite3_column_int(s, 0);
                if (sqlite3_column_count(s) > 1) second = sqlite3_column_int(s, 1);
                rc = SQLITE_OK;
            } else if (rc == SQLITE_DONE) {
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(s);
        return rc;
    }

    // Both facts in one statement, so that they come from the same snapshot
    // even while another process is setting the store up.
    static constexpr const char* kProbe =
        "SELECT (SELECT application_id FROM pragma_application_id), (SELECT count(*) FROM sqlite_master)";

    static constexpr const char* kSchema =
        "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER, name TEXT NOT NULL, "
        "  fold TEXT NOT NULL, UNIQUE(parent, fold));"
        "CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL, "
        "  type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, fold));"
        // Index entries end in the rowid, so this walks a key's values in creation order.
        "CREATE INDEX vals_order ON vals(key);"
        "INSERT INTO keys(id,parent,name,fold) VALUES(1,NULL,'HKEY_CLASSES_ROOT','HKEY_CLASSES_ROOT'),"
        "  (2,NULL,'HKEY_CURRENT_USER','HKEY_CURRENT_USER');"
        "PRAGMA application_id=1347573336;"
        "PRAGMA user_version=1;";
};
static_assert(kApplicationId == 1347573336);

}  // namespace detail

namespace {

using detail::Store;

std::mutex g_storeMu;
std::shared_ptr<Store> g_store;
bool g_readOnly = false;  // guarded by g_storeMu

std::shared_ptr<Store> GetStore() {
    std::lock_guard<std::mutex> lock(g_storeMu);
    // A store that could not be opened for a passing reason (busy, an I/O
    // error) is opened afresh by the next call: a long-lived process (the
    // file manager) would otherwise go without settings until it ends.
    if (g_store && (g_store->status() == ERROR_REGISTRY_IO_FAILED || g_store->status() == ERROR_BUSY) &&
        g_store.use_count() == 1)
        g_store.reset();
    if (!g_store) g_store = std::make_shared<Store>(StorePath(), g_readOnly);
    return g_store;
}

// Holds the store's lock for one call and wraps a write in its own
// transaction unless the caller's Transaction already holds one.
class Call {
public:
    Call() : store_(GetStore()), lock_(store_->mu) {}
    Store& operator*() { return *store_; }
    Store* operator->() { return store_.get(); }
    LONG status() const { return store_->status(); }

private:
    std::shared_ptr<Store> store_;
    std::unique_lock<std::recursive_mutex> lock_;
};

class WriteScope {
public:
    explicit WriteScope(Store& s) : s_(s) {
        if (!s_.InTransaction()) {
            status_ = s_.Exec("BEGIN IMMEDIATE");
            began_ = status_ == ERROR_SUCCESS;
        }
    }
    ~WriteScope() {
        if (began_) s_.Exec("ROLLBACK");
    }
    WriteScope(const WriteScope&) = delete;
    WriteScope& operator=(const WriteScope&) = delete;
    LONG status() const { return status_; }
    LONG Finish(LONG result) {
        if (!began_) return result;
        began_ = false;
        if (result != ERROR_SUCCESS) {
            s_.Exec("ROLLBACK");
            return result;
        }
        return s_.Exec("COMMIT");
    }

private:
    Store& s_;
    LONG status_ = ERROR_SUCCESS;
    bool began_ = false;
};

// Runs one call's reads in one read transaction unless the caller's
// Transaction already holds one: on its own every statement would take and
// drop the store's read lock (a few system calls each, most of a call's
// cost), and the keys of one path could be read from different states.
class ReadScope {
public:
    explicit ReadScope(Store& s) : s_(s) {
        if (!s_.InTransaction()) {
            Use q(s_.beginRead_());
            began_ = q.step() == SQLITE_DONE;
        }
    }
    ~ReadScope() { End(); }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;
    // Ends the read transaction early, before the call writes.
    void End() {
        if (!began_) return;
        began_ = false;
        Use q(s_.endRead_());
        if (q.step() != SQLITE_DONE) s_.Exec("ROLLBACK");
    }

private:
    Store& s_;
    bool began_ = false;
};

LONG CheckValueName(const char* name, std::string_view& out) {
    out = name ? std::string_view(name) : std::string_view();
    return out.size() > kMaxValueNameBytes ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

LONG CopyName(std::string_view name, char* buf, DWORD* size) {
    if (size == nullptr || buf == nullptr) return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *size) return ERROR_MORE_DATA;
    std::memcpy(buf, name.data(), name.size());
    buf[name.size()] = '\0';
    *size = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

// Shared tail of the value readers: reports type and size and copies the bytes when they fit.
LONG CopyBytes(DWORD storedType, const void* bytes, DWORD stored, DWORD* type, BYTE* data, DWORD* size) {
    if (type) *type = storedType;
    if (data == nullptr) {
        if (size) *size = stored;
        return ERROR_SUCCESS;
    }
    if (size == nullptr) return ERROR_INVALID_PARAMETER;
    if (stored > *size) {
        *size = stored;
        return ERROR_MORE_DATA;
    }
    if (stored > 0) std::memcpy(data, bytes, stored);
    *size = stored;
    return ERROR_SUCCESS;
}

LONG CopyData(sqlite3_stmt* s, int typeCol, int dataCol, DWORD* type, BYTE* data, DWORD* size) {
    return CopyBytes(static_cast<DWORD>(sqlite3_column_int64(s, typeCol)), sqlite3_column_blob(s, dataCol),
                     static_cast<DWORD>(sqlite3_column_bytes(s, dataCol)), type, data, size);
}

// Name, type and data of one value as RegEnumValue hands them out.
LONG CopyValue(std::string_view n, DWORD storedType, const void* bytes, DWORD stored, char* name, DWORD* nameSize,
               DWORD* type, BYTE* data, DWORD* dataSize) {
    // Check both sizes before copying either, so that a too-small buffer changes nothing.
    if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (n.size() + 1 > *nameSize) return ERROR_MORE_DATA;
    if (data != nullptr && dataSize != nullptr && stored > *dataSize) {
        *dataSize = stored;
        return ERROR_MORE_DATA;
    }
    if (LONG st = CopyBytes(storedType, bytes, stored, type, data, dataSize); st != ERROR_SUCCESS) return st;
    return CopyName(n, name, nameSize);
}

}  // namespace

std::string StorePath() {
    if (const char* p = std::getenv("PARVEX_REGISTRY"); p && *p) return p;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') return std::string(x) + "/parvex/registry.db";
    if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config/parvex/registry.db";
    return {};
}

void SetStoreReadOnly(bool readOnly) {
    std::lock_guard<std::mutex> lock(g_storeMu);
    g_readOnly = readOnly;
}

void SetBusyTimeout(int milliseconds) {
    std::shared_ptr<Store> store;
    {
        std::lock_guard<std::mutex> lock(g_storeMu);
        g_busyTimeoutMs = milliseconds;
        store = g_store;
    }
    if (store) {
        std::lock_guard<std::recursive_mutex> lock(store->mu);
        store->SetBusyTimeout(milliseconds);
    }
}

void ResetStore() {
    std::lock_guard<std::mutex> lock(g_storeMu);
    g_store.reset();
    detail::g_reported = false;
}

LONG RegCreateKeyEx(HKEY key, const char* subKey, DWORD, const char*, DWORD, REGSAM, const void*, HKEY* result,
                    DWORD* disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::string_view> parts;
    if (LONG st = SplitPath(subKey, parts); st != ERROR_SUCCESS) return st;
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    ReadScope read(*s);
    std::int64_t id = 0;
    if (LONG st = s->Resolve(key, id); st != ERROR_SUCCESS) return st;

    // Most opens find the key already there: look before taking the write lock.
    std::int64_t found = 0;
    LONG st = s->Walk(id, parts, found);
    bool created = false;
    if (st == ERROR_FILE_NOT_FOUND) {
        read.End();  // a read transaction could not become the write one once another process wrote
        WriteScope w(*s);
        if (w.status() != ERROR_SUCCESS) return w.status();
        found = id;
        st = ERROR_SUCCESS;
        for (auto part : parts) {
            st = s->Child(found, part, found);
            if (st == ERROR_FILE_NOT_FOUND) {
                st = s->AddChild(found, part, found);
                created = true;
            }
            if (st != ERROR_SUCCESS) break;
        }
        st = w.Finish(st);
    }
    if (st != ERROR_SUCCESS) return st;
    *result = s->NewHandle(found);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<std::string_view> parts;
    if (LONG st = SplitPath(subKey, parts); st != ERROR_SUCCESS) return st;
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    ReadScope read(*s);
    std::int64_t id = 0;
    if (LONG st = s->Resolve(key, id); st != ERROR_SUCCESS) return st;
    if (LONG st = s->Walk(id, parts, id); st != ERROR_SUCCESS) return st;
    *result = s->NewHandle(id);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    if (key == nullptr) return ERROR_INVALID_HANDLE;
    Call s;
    return s->CloseHandle(key);
}

LONG RegSetValueEx(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
    std::string_view n;
    if (LONG st = CheckValueName(name, n); st != ERROR_SUCCESS) return st;
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    std::int64_t id = 0;
    if (LONG st = s->Resolve(key, id); st != ERROR_SUCCESS) return st;
    Use q(s->setValue_());
    int rc = q.bind(1, id).bind(2, n).bind(3, Fold(n)).bind(4, static_cast<std::int64_t>(type)).blob(5, data, size).step();
    return rc == SQLITE_DONE ? ERROR_SUCCESS : s->Fail(rc);
}

LONG RegQueryValueEx(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    std::string_view n;
    if (LONG st = CheckValueName(name, n); st != ERROR_SUCCESS) return st;
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    ReadScope read(*s);
    std::int64_t id = 0;
    if (LONG st = s->Resolve(key, id); st != ERROR_SUCCESS) return st;
    Use q(s->getValue_());
    int rc = q.bind(1, id).bind(2, Fold(n)).step();
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return s->Fail(rc);
    return CopyData(q.raw(), 0, 1, type, data, size);
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char*, DWORD*, void*) {
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    ReadScope read(*s);
    std::int64_t id = 0;
    if (LONG st = s->Resolve(key, id); st != ERROR_SUCCESS) return st;
    std::pair<std::int64_t, std::int64_t> version;
    const EnumCursor* cursor = nullptr;
    bool same = false;
    if (LONG st = s->Resume(id, false, index, version, cursor, same); st != ERROR_SUCCESS) return st;
    Use q(!cursor ? s->enumKey_() : same ? s->sameKey_() : s->nextKey_());
    if (cursor)
        q.bind(1, id).bind(2, cursor->fold);
    else
        q.bind(1, id).bind(2, static_cast<std::int64_t>(index));
    int rc = q.step();
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return s->Fail(rc);
    s->Remember(EnumCursor{id, false, index, std::string(ColumnText(q.raw(), 1)), 0, version});
    return CopyName(ColumnText(q.raw(), 0), name, nameSize);
}

LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, DWORD* type, BYTE* data,
                  DWORD* dataSize) {
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    ReadScope read(*s);
    std::int64_t id = 0;
    if (LONG st = s->Resolve(key, id); st != ERROR_SUCCESS) return st;
    // Within a Transaction or Snapshot the key's values are read once, in one
    // statement, and handed out by index from there.
    if (const std::vector<Store::Value>* all = s->Values(id)) {
        if (index >= all->size()) return ERROR_NO_MORE_ITEMS;
        const Store::Value& v = (*all)[index];
        return CopyValue(v.name, v.type, v.data.data(), static_cast<DWORD>(v.data.size()), name, nameSize, type,
                         data, dataSize);
    }
    std::pair<std::int64_t, std::int64_t> version;
    const EnumCursor* cursor = nullptr;
    bool same = false;
    if (LONG st = s->Resume(id, true, index, version, cursor, same); st != ERROR_SUCCESS) return st;
    Use q(cursor ? s->nextValue_() : s->enumValue_());
    // Row ids are integers: "> rowid - 1" finds the same row again.
    q.bind(1, id).bind(2, !cursor ? static_cast<std::int64_t>(index) : same ? cursor->rowid - 1 : cursor->rowid);
    int rc = q.step();
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return s->Fail(rc);
    s->Remember(EnumCursor{id, true, index, {}, sqlite3_column_int64(q.raw(), 3), version});
    return CopyValue(ColumnText(q.raw(), 0), static_cast<DWORD>(sqlite3_column_int64(q.raw(), 1)),
                     sqlite3_column_blob(q.raw(), 2), static_cast<DWORD>(sqlite3_column_bytes(q.raw(), 2)), name,
                     nameSize, type, data, dataSize);
}

LONG RegDeleteKey(HKEY key, const char* subKey) {
    std::vector<std::string_view> parts;
    if (LONG st = SplitPath(subKey, parts); st != ERROR_SUCCESS) return st;
    if (parts.empty()) return ERROR_INVALID_PARAMETER;
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    WriteScope w(*s);
    if (w.status() != ERROR_SUCCESS) return w.status();
    std::int64_t id = 0;
    LONG st = s->Resolve(key, id);
    if (st == ERROR_SUCCESS) st = s->Walk(id, parts, id);
    s->Forget();
    if (st == ERROR_SUCCESS) {
        Use q(s->hasChildren_());
        int rc = q.bind(1, id).step();
        if (rc == SQLITE_ROW)
            st = ERROR_ACCESS_DENIED;
        else if (rc != SQLITE_DONE)
            st = s->Fail(rc);
    }
    if (st == ERROR_SUCCESS) {
        Use dv(s->deleteKeyValues_());
        int rc = dv.bind(1, id).step();
        if (rc == SQLITE_DONE) {
            Use dk(s->deleteKey_());
            rc = dk.bind(1, id).step();
        }
        if (rc != SQLITE_DONE) st = s->Fail(rc);
    }
    return w.Finish(st);
}

LONG RegDeleteTree(HKEY key, const char* subKey) {
    std::vector<std::string_view> parts;
    if (LONG st = SplitPath(subKey, parts); st != ERROR_SUCCESS) return st;
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    WriteScope w(*s);
    if (w.status() != ERROR_SUCCESS) return w.status();
    std::int64_t id = 0;
    LONG st = s->Resolve(key, id);
    if (st == ERROR_SUCCESS) st = s->Walk(id, parts, id);
    s->Forget();
    if (st == ERROR_SUCCESS) {
        bool keepSelf = parts.empty() || s->IsRoot(id);
        Use dv(s->deleteTreeValues_());
        int rc = dv.bind(1, id).step();
        if (rc == SQLITE_DONE) {
            Use dk(s->deleteTreeKeys_());
            rc = dk.bind(1, id).bind(2, std::int64_t{keepSelf ? 1 : 0}).step();
        }
        if (rc != SQLITE_DONE) st = s->Fail(rc);
    }
    return w.Finish(st);
}

LONG RegDeleteValue(HKEY key, const char* name) {
    std::string_view n;
    if (LONG st = CheckValueName(name, n); st != ERROR_SUCCESS) return st;
    Call s;
    if (s.status() != ERROR_SUCCESS) return s.status();
    std::int64_t id = 0;
    if (LONG st = s->Resolve(key, id); st != ERROR_SUCCESS) return st;
    Use q(s->deleteValue_());
    int rc = q.bind(1, id).bind(2, Fold(n)).step();
    if (rc != SQLITE_DONE) return s->Fail(rc);
    // Read after the statement is done but before Use resets it; changes() is per connection.
    return sqlite3_changes(sqlite3_db_handle(q.raw())) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

Transaction::Transaction() : store_(GetStore()), status_(ERROR_SUCCESS), open_(false) {
    store_->mu.lock();
    status_ = store_->status();
    if (status_ == ERROR_SUCCESS && store_->explicitDepth == 0) {
        // A Snapshot's read transaction is open: a savepoint in it can still
        // be undone on its own.
        savepoint_ = store_->InTransaction();
        status_ = store_->Exec(savepoint_ ? "SAVEPOINT parvex_transaction" : "BEGIN IMMEDIATE");
    }
    if (status_ == ERROR_SUCCESS) {
        ++store_->explicitDepth;
        open_ = true;
    } else {
        store_->mu.unlock();
    }
}

LONG Transaction::Commit() {
    if (!open_) return status_ == ERROR_SUCCESS ? ERROR_INVALID_HANDLE : status_;
    open_ = false;
    LONG st = ERROR_SUCCESS;
    if (--store_->explicitDepth == 0) {
        st = store_->Exec(savepoint_ ? "RELEASE parvex_transaction" : "COMMIT");
        if (st != ERROR_SUCCESS)
            store_->Exec(savepoint_ ? "ROLLBACK TO parvex_transaction; RELEASE parvex_transaction" : "ROLLBACK");
    }
    store_->mu.unlock();
    return st;
}

Transaction::~Transaction() {
    if (!open_) return;
    if (--store_->explicitDepth == 0)
        store_->Exec(savepoint_ ? "ROLLBACK TO parvex_transaction; RELEASE parvex_transaction" : "ROLLBACK");
    store_->mu.unlock();
}

// Prepared statements rather than Exec: a walk may take a snapshot per entry.
Snapshot::Snapshot() : store_(GetStore()) {
    store_->mu.lock();
    if (store_->status() == ERROR_SUCCESS && !store_->InTransaction()) {
        Use q(store_->beginRead_());
        began_ = q.step() == SQLITE_DONE;
    }
    if (began_) {
        // What the last snapshot remembered still holds when the store has
        // not changed since: a walk taking one snapshot per entry keeps it.
        std::pair<std::int64_t, std::int64_t> version;
        store_->ForgetVersion();
        if (store_->Version(version) != ERROR_SUCCESS || version != store_->rememberedAt) store_->Forget();
        store_->snapshotOpen = true;
    }
}

Snapshot::~Snapshot() {
    if (began_) {
        if (store_->Version(store_->rememberedAt) != ERROR_SUCCESS) store_->Forget();
        store_->ForgetVersion();  // read afresh by the next call: other processes may write from now on
        store_->snapshotOpen = false;
        Use q(store_->endRead_());
        if (q.step() != SQLITE_DONE) store_->Exec("ROLLBACK");
    }
    store_->mu.unlock();
}

}  // namespace winreg
