// reg: inspect, change, back up and restore the suite's registry store from
// the command line, with the commands, output and exit codes of the Windows
// registry tool (0 success, 1 failure with a one-line message on stderr).
#include "platform/registry/registry.h"
#include "tools/reg/regfile.h"

#include <cerrno>
#include <deque>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace winreg;

namespace {

constexpr const char* kOk = "The operation completed successfully.";
constexpr const char* kNotFound = "The system was unable to find the specified registry key or value.";

struct Failure {
    std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw Failure{message}; }

[[noreturn]] void SyntaxError(const std::string& why) { Fail("Invalid syntax: " + why + ". Type \"reg /?\" for usage."); }

std::string StatusText(LONG st) {
    switch (st) {
    case ERROR_FILE_NOT_FOUND: return kNotFound;
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER: return "Invalid key name.";
    case ERROR_BADDB: return "The registry store " + StorePath() + " is not a usable database (status 1009).";
    case ERROR_REGISTRY_IO_FAILED:
        return "The registry store " + StorePath() + " could not be read or written (status 1016).";
    case ERROR_BUSY: return "The registry store " + StorePath() + " is in use by another program (status 170).";
    default: return "The registry call failed with status " + std::to_string(st) + ".";
    }
}

void Check(LONG st) {
    if (st != ERROR_SUCCESS) Fail(StatusText(st));
}

class Key {
public:
    Key() = default;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

struct Args {
    std::vector<std::string> positional;
    bool hasName = false, defaultValue = false, force = false, recurse = false, yes = false, hasType = false,
         hasData = false;
    std::string name, type, data;
};

bool IsFlag(const std::string& a, const char* f) {
    if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) return false;
    return strcasecmp(a.c_str() + 1, f) == 0;
}

Args ParseArgs(int argc, char** argv, int from) {
    Args a;
    for (int i = from; i < argc; ++i) {
        std::string s = argv[i];
        auto next = [&](const char* what) -> std::string {
            if (i + 1 >= argc) SyntaxError(std::string("missing ") + what + " after " + s);
            return argv[++i];
        };
        if (IsFlag(s, "v")) {
            a.hasName = true;
            a.name = next("value name");
        } else if (IsFlag(s, "ve")) {
            a.defaultValue = true;
        } else if (IsFlag(s, "t")) {
            a.hasType = true;
            a.type = next("type");
        } else if (IsFlag(s, "d")) {
            a.hasData = true;
            a.data = next("data");
        } else if (IsFlag(s, "f")) {
            a.force = true;
        } else if (IsFlag(s, "s")) {
            a.recurse = true;
        } else if (IsFlag(s, "y")) {
            a.yes = true;
        } else {
            // Anything else, "/tmp/backup.reg" included, is an operand: paths begin with '/' here.
            a.positional.push_back(s);
        }
    }
    if (a.hasName && a.defaultValue) SyntaxError("/v and /ve exclude each other");
    return a;
}

struct KeyPath {
    HKEY root;
    std::string rootName;
    std::string sub;
    std::string Display() const { return sub.empty() ? rootName : rootName + "\\" + sub; }
};

KeyPath ParseKey(const std::string& text) {
    KeyPath k;
    if (!regfile::SplitKeyPath(text, k.root, k.rootName, k.sub))
        Fail("Invalid key name: " + text + " (the root must be HKCU, HKEY_CURRENT_USER, HKCR or HKEY_CLASSES_ROOT).");
    while (!k.sub.empty() && k.sub.back() == '\\') k.sub.pop_back();
    if (std::string problem = regfile::KeyPathProblem(k.sub); !problem.empty())
        Fail("Invalid key name: " + problem + ".");
    return k;
}

bool Confirm(const std::string& question) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::cout << "\n";
        return false;
    }
    return strcasecmp(answer.c_str(), "y") == 0 || strcasecmp(answer.c_str(), "yes") == 0;
}

[[noreturn]] void Cancelled() { Fail("The operation was canceled by the user."); }

std::vector<std::string> SubKeys(HKEY key) {
    std::vector<std::string> names;
    char buf[kMaxKeyNameBytes + 1];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof buf;
        LONG st = RegEnumKeyEx(key, i, buf, &size, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS) break;
        Check(st);
        names.emplace_back(buf, size);
    }
    return names;
}

std::vector<regfile::Value> Values(HKEY key) {
    std::vector<regfile::Value> values;
    std::vector<char> name(16384 + 1);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = 0, type = 0;
        LONG st = RegEnumValue(key, i, name.data(), &nameSize, nullptr, &type, nullptr, &dataSize);
        if (st == ERROR_NO_MORE_ITEMS) break;
        Check(st);
        regfile::Value v;
        v.data.resize(dataSize);
        nameSize = static_cast<DWORD>(name.size());
        st = RegEnumValue(key, i, name.data(), &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(v.data.data()),
                          &dataSize);
        Check(st);
        v.data.resize(dataSize);
        v.name.assign(name.data(), nameSize);
        v.isDefault = v.name.empty();
        v.type = type;
        values.push_back(std::move(v));
    }
    return values;
}

// The sub-key path with each component spelled as stored, so that an export
// recreates names in their own case even when typed otherwise.
std::string StoredSpelling(const KeyPath& k) {
    std::string out;
    HKEY parent = k.root;
    std::stringstream parts(k.sub);
    std::string part;
    std::deque<Key> chain;  // keeps each parent open while its child is looked up
    while (std::getline(parts, part, '\\')) {
        std::string spelled = part;
        for (const std::string& n : SubKeys(parent))
            if (strcasecmp(n.c_str(), part.c_str()) == 0) spelled = n;
        out += (out.empty() ? "" : "\\") + spelled;
        chain.emplace_back();
        Check(RegOpenKeyEx(parent, part.c_str(), 0, KEY_READ, chain.back().out()));
        parent = chain.back().get();
    }
    return out;
}

void PrintValue(const regfile::Value& v) {
    std::cout << "    " << (v.isDefault ? "(Default)" : v.name) << "    " << regfile::TypeName(v.type) << "    "
              << regfile::DisplayData(v) << "\n";
}

int QueryTree(HKEY key, const std::string& display, const Args& a) {
    int matches = 0;
    std::vector<regfile::Value> values = Values(key);
    bool printedHeader = false;
    auto header = [&] {
        if (!printedHeader) std::cout << "\n" << display << "\n";
        printedHeader = true;
    };
    if (!a.hasName && !a.defaultValue) header();
    for (const auto& v : values) {
        if (a.hasName && strcasecmp(v.name.c_str(), a.name.c_str()) != 0) continue;
        if (a.defaultValue && !v.isDefault) continue;
        header();
        PrintValue(v);
        ++matches;
    }
    std::vector<std::string> subs = SubKeys(key);
    if (!a.recurse) {
        if (!a.hasName && !a.defaultValue) {
            if (!values.empty() && !subs.empty()) std::cout << "\n";
            for (const auto& s : subs) std::cout << display << "\\" << s << "\n";
        }
        return matches;
    }
    for (const auto& s : subs) {
        Key child;
        Check(RegOpenKeyEx(key, s.c_str(), 0, KEY_READ, child.out()));
        matches += QueryTree(child.get(), display + "\\" + s, a);
    }
    return matches;
}

int Query(const Args& a) {
    if (a.positional.size() != 1) SyntaxError("reg query takes one key");
    KeyPath k = ParseKey(a.positional[0]);
    // The whole listing from one state of the store, at one read lock.
    Snapshot snapshot;
    Key key;
    Check(RegOpenKeyEx(k.root, k.sub.c_str(), 0, KEY_READ, key.out()));
    if ((a.hasName || a.defaultValue) && !a.recurse) {
        DWORD type = 0, size = 0;
        const char* name = a.hasName ? a.name.c_str() : "";
        LONG st = RegQueryValueEx(key.get(), name, nullptr, &type, nullptr, &size);
        if (st == ERROR_FILE_NOT_FOUND && a.defaultValue) {
            std::cout << "\n" << k.Display() << "\n    (Default)    REG_SZ    (value not set)\n\n";
            return 0;
        }
        Check(st);
        regfile::Value v;
        v.data.resize(size);
        Check(RegQueryValueEx(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(v.data.data()), &size));
        v.data.resize(size);
        v.type = type;
        v.name = a.hasName ? a.name : "";
        v.isDefault = a.defaultValue;
        std::cout << "\n" << k.Display() << "\n";
        PrintValue(v);
        std::cout << "\n";
        return 0;
    }
    int matches = QueryTree(key.get(), k.Display(), a);
    std::cout << "\n";
    if (a.hasName || a.defaultValue) {
        std::cout << "End of search: " << matches << " match(es) found.\n";
        if (matches == 0) Fail(kNotFound);
    }
    return 0;
}

DWORD ParseDword(const std::string& text) {
    const char* s = text.c_str();
    if (*s == '\0' || *s == '-' || *s == '+' || *s == ' ')
        Fail("Invalid value for REG_DWORD: \"" + text + "\" (a number from 0 to 4294967295, or 0x hex).");
    errno = 0;
    char* end = nullptr;
    unsigned long long n = std::strtoull(s, &end, 0);
    if (errno != 0 || *end != '\0' || n > 0xFFFFFFFFull)
        Fail("Invalid value for REG_DWORD: \"" + text + "\" (a number from 0 to 4294967295, or 0x hex).");
    return static_cast<DWORD>(n);
}

int Add(const Args& a) {
    if (a.positional.size() != 1) SyntaxError("reg add takes one key");
    KeyPath k = ParseKey(a.positional[0]);
    std::string type = a.hasType ? a.type : "REG_SZ";
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string bytes;
    DWORD regType;
    if (type == "REG_SZ") {
        regType = REG_SZ;
        bytes = a.data;
        bytes += '\0';
    } else if (type == "REG_DWORD") {
        regType = REG_DWORD;
        DWORD n = a.hasData ? ParseDword(a.data) : 0;
        bytes.assign({static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                      static_cast<char>(n >> 24)});
    } else {
        Fail("Unsupported value type " + a.type + ": reg add takes REG_SZ or REG_DWORD.");
    }
    bool setsValue = a.hasName || a.defaultValue;
    if (!setsValue && (a.hasType || a.hasData)) SyntaxError("/t and /d need /v or /ve");
    Key key;
    Check(RegCreateKeyEx(k.root, k.sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                         key.out(), nullptr));
    if (setsValue) {
        const char* name = a.hasName ? a.name.c_str() : "";
        DWORD size = 0;
        if (!a.force && RegQueryValueEx(key.get(), name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
            !Confirm("Value " + std::string(a.hasName ? a.name : "(Default)") + " exists, overwrite"))
            Cancelled();
        Check(RegSetValueEx(key.get(), name, 0, regType, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size())));
    }
    std::cout << kOk << "\n";
    return 0;
}

int Delete(const Args& a) {
    if (a.positional.size() != 1) SyntaxError("reg delete takes one key");
    KeyPath k = ParseKey(a.positional[0]);
    if (a.hasName || a.defaultValue) {
        Key key;
        Check(RegOpenKeyEx(k.root, k.sub.c_str(), 0, KEY_ALL_ACCESS, key.out()));
        const char* name = a.hasName ? a.name.c_str() : "";
        DWORD size = 0;
        Check(RegQueryValueEx(key.get(), name, nullptr, nullptr, nullptr, &size));
        if (!a.force && !Confirm("Delete the registry value " + std::string(a.hasName ? a.name : "(Default)")))
            Cancelled();
        Check(RegDeleteValue(key.get(), name));
    } else {
        if (k.sub.empty()) Fail("Invalid key name: a root key cannot be deleted.");
        Key key;
        Check(RegOpenKeyEx(k.root, k.sub.c_str(), 0, KEY_ALL_ACCESS, key.out()));
        if (!a.force && !Confirm("Permanently delete the registry key " + k.Display())) Cancelled();
        Check(RegDeleteTree(k.root, k.sub.c_str()));
    }
    std::cout << kOk << "\n";
    return 0;
}

void ExportTree(HKEY key, const std::string& path, std::string& out) {
    out += "[" + path + "]\n";
    for (const auto& v : Values(key)) out += regfile::FormatValue(v) + "\n";
    out += "\n";
    for (const auto& s : SubKeys(key)) {
        Key child;
        Check(RegOpenKeyEx(key, s.c_str(), 0, KEY_READ, child.out()));
        ExportTree(child.get(), path + "\\" + s, out);
    }
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }

// The file `path` finally names, following symbolic links (a relative one
// from its own folder), so that an export updates a link's target and keeps
// the link. `st` is that file's lstat; `exists` says whether there is one.
std::string ResolveTarget(std::string path, struct stat& st, bool& exists) {
    for (int hops = 0; hops < 40; ++hops) {
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) Fail("Cannot write " + path + ": " + std::strerror(errno) + ".");
            exists = false;
            return path;
        }
        exists = true;
        if (!S_ISLNK(st.st_mode)) return path;
        std::vector<char> link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1);
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size())
            Fail("Cannot write " + path + ": the link cannot be read.");
        std::string to(link.data(), static_cast<std::size_t>(n));
        path = to[0] == '/' ? to : FolderOf(path) + to;
    }
    Fail("Cannot write " + path + ": " + std::strerror(ELOOP) + ".");
}

bool WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `text` to the file the user named. A regular file (or a link's
// target) is written beside itself and renamed over, so that a failure never
// leaves a half-written backup in place of a good one; a device or a pipe
// (/dev/stdout) is written directly; anything else is refused.
void WriteFileAtomically(const std::string& file, const std::string& text) {
    auto fail = [&](int e) { Fail("Cannot write " + file + ": " + std::strerror(e) + "."); };
    struct stat st {};
    // Devices are opened by the name given: /dev/stdout leads through links that only open() can follow.
    if (::stat(file.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        int fd = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // a pipe nobody reads fails, not hangs
        if (fd < 0) fail(errno);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        if (!WriteAll(fd, text)) {
            int e = errno;
            ::close(fd);
            fail(e);
        }
        if (::close(fd) != 0) fail(errno);
        return;
    }
    bool exists = false;
    std::string target = ResolveTarget(file, st, exists);
    if (exists && !S_ISREG(st.st_mode))
        Fail("Cannot write " + file + ": it is not a regular file" + (S_ISDIR(st.st_mode) ? " but a folder." : "."));
    std::string tmp = FolderOf(target) + ".reg-export.XXXXXX";
    int fd = mkostemp(tmp.data(), O_CLOEXEC);  // 0600 from the start: a backup holds passwords, like the store
    if (fd < 0) fail(errno);
    auto abandon = [&](int e) {
        ::close(fd);
        ::unlink(tmp.c_str());
        fail(e);
    };
    if (!WriteAll(fd, text)) abandon(errno);
    if (exists && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Only root may give a file away; the new file stays the caller's.
    }
    if (::fsync(fd) != 0) abandon(errno);
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        fail(e);
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int e = errno;
        ::unlink(tmp.c_str());
        fail(e);
    }
}

int Export(const Args& a) {
    if (a.positional.size() != 2) SyntaxError("reg export takes a key and a file");
    KeyPath k = ParseKey(a.positional[0]);
    const std::string& file = a.positional[1];
    Key key;
    Check(RegOpenKeyEx(k.root, k.sub.c_str(), 0, KEY_READ, key.out()));
    struct stat st {};
    if (!a.yes && stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        !Confirm("File " + file + " already exists. Overwrite"))
        Cancelled();
    std::string spelled = StoredSpelling(k);
    std::string text = std::string(regfile::kHeader) + "\n\n";
    ExportTree(key.get(), spelled.empty() ? k.rootName : k.rootName + "\\" + spelled, text);
    WriteFileAtomically(file, text);
    std::cout << kOk << "\n";
    return 0;
}

int Import(const Args& a) {
    if (a.positional.size() != 1) SyntaxError("reg import takes one file");
    const std::string& file = a.positional[0];
    std::ifstream in(file, std::ios::binary);
    if (!in) Fail("Cannot open " + file + ": " + std::strerror(errno) + ".");
    std::stringstream buf;
    buf << in.rdbuf();
    if (in.bad()) Fail("Cannot read " + file + ".");
    std::vector<regfile::Key> keys;
    int line = 0;
    std::string error;
    if (!regfile::ParseFile(buf.str(), keys, line, error))
        Fail(file + ":" + std::to_string(line) + ": " + error + "; nothing was imported.");

    // All of the file or none of it: one transaction, rolled back on the first failure.
    Transaction tx;
    Check(tx.Status());
    for (const auto& k : keys) {
        KeyPath p = ParseKey(k.path);
        auto where = [&](LONG st) {
            if (st != ERROR_SUCCESS)
                Fail(file + ":" + std::to_string(k.line) + ": " + StatusText(st) + " Nothing was imported.");
        };
        if (k.remove) {
            if (p.sub.empty()) where(ERROR_ACCESS_DENIED);
            LONG st = RegDeleteTree(p.root, p.sub.c_str());
            if (st != ERROR_FILE_NOT_FOUND) where(st);
            continue;
        }
        Key key;
        where(RegCreateKeyEx(p.root, p.sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                             key.out(), nullptr));
        for (const auto& v : k.values) {
            const char* name = v.isDefault ? "" : v.name.c_str();
            if (v.remove) {
                LONG st = RegDeleteValue(key.get(), name);
                if (st != ERROR_FILE_NOT_FOUND) where(st);
            } else {
                where(RegSetValueEx(key.get(), name, 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                                    static_cast<DWORD>(v.data.size())));
            }
        }
    }
    Check(tx.Commit());
    std::cout << kOk << "\n";
    return 0;
}

void Usage() {
    std::cout << "REG QUERY KEY [/v NAME | /ve] [/s]\n"
                 "REG ADD KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD] [/d DATA] [/f]\n"
                 "REG DELETE KEY [/v NAME | /ve] [/f]\n"
                 "REG EXPORT KEY FILE [/y]\n"
                 "REG IMPORT FILE\n"
                 "\n"
                 "KEY is ROOT\\SubKey with ROOT one of HKCU, HKEY_CURRENT_USER, HKCR, HKEY_CLASSES_ROOT.\n"
                 "The store is " << StorePath() << " (set PARVEX_REGISTRY to use another).\n";
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2) SyntaxError("no operation given");
        std::string op = argv[1];
        if (op == "/?" || op == "-?" || op == "--help" || op == "-h") {
            Usage();
            return 0;
        }
        Args a = ParseArgs(argc, argv, 2);
        // Looking needs no write access: a store the user may only read serves, and stays as it was.
        bool looks = strcasecmp(op.c_str(), "query") == 0 || strcasecmp(op.c_str(), "export") == 0;
        SetStoreReadOnly(looks);
        if (strcasecmp(op.c_str(), "query") == 0) return Query(a);
        if (strcasecmp(op.c_str(), "add") == 0) return Add(a);
        if (strcasecmp(op.c_str(), "delete") == 0) return Delete(a);
        if (strcasecmp(op.c_str(), "export") == 0) return Export(a);
        if (strcasecmp(op.c_str(), "import") == 0) return Import(a);
        SyntaxError("unknown operation " + op);
    } catch (const Failure& f) {
        std::cout.flush();
        std::cerr << "ERROR: " << f.message << "\n";
        return 1;
    }
}
