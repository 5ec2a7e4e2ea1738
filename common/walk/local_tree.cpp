#include "common/walk/local_tree.h"

#include "common/registry/layout.h"
#include "platform/os/os.h"
#include "common/walk/extension_list.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace walk {

const char* SkipText(Skip why) {
    switch (why) {
    case Skip::Missing: return " が見つかりません";
    case Skip::TooLong: return " はパスが長すぎて読めません";
    case Skip::Unlistable: return " の中を読めません";
    case Skip::Special: return " は通常のファイルではないので送りません";
    case Skip::Loop: return " は上位のフォルダへ戻るリンクなので送りません";
    case Skip::BadName: return " は FTP で送れない名前です";
    case Skip::NotConverted: return " を変換できません";
    default: return " を読めません";
    }
}

Skip LocalTree::Classify(std::size_t i, bool& folder) {
    struct stat st {};
    folder = false;
    if (::stat(items[i].path.c_str(), &st) != 0) {
        if (errno == ENAMETOOLONG) return Skip::TooLong;
        return errno == ENOENT || errno == ENOTDIR ? Skip::Missing : Skip::Unreadable;
    }
    if (S_ISDIR(st.st_mode)) {
        for (long p = items[i].parent; p >= 0; p = items[static_cast<std::size_t>(p)].parent)
            if (items[static_cast<std::size_t>(p)].dev == st.st_dev && items[static_cast<std::size_t>(p)].ino == st.st_ino)
                return Skip::Loop;
        items[i].dev = st.st_dev;
        items[i].ino = st.st_ino;
        folder = true;
        return Skip::None;
    }
    // A pipe would block the upload for ever, a socket or a device has nothing to send.
    if (!S_ISREG(st.st_mode)) return Skip::Special;
    return Readable(items[i].path) ? Skip::None : Skip::Unreadable;
}

bool LocalTree::Expand(std::size_t i) {
    std::vector<std::string> entries;
    if (!FolderEntries(items[i].path, entries)) return false;
    for (auto& e : entries) items.push_back(LocalItem{std::move(e), static_cast<long>(i)});
    return true;
}

std::string RelativePath(const std::string& rootDir, const std::string& path) {
    if (path.size() > rootDir.size() + 1 && path.compare(0, rootDir.size(), rootDir) == 0 && path[rootDir.size()] == '/')
        return path.substr(rootDir.size() + 1);
    os::PathParts p = os::SplitPath(path);
    return p.base + p.extension;
}

bool FolderEntries(const std::string& folder, std::vector<std::string>& paths) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return false;
    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        dirent* e = ::readdir(d);
        if (!e) break;
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    bool ok = errno == 0;
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (auto& n : names) paths.push_back((folder.empty() || folder.back() != '/' ? folder + "/" : folder) + n);
    return ok;
}

bool Readable(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    char c;
    bool ok = ::pread(fd, &c, 1, 0) >= 0;
    ::close(fd);
    return ok;
}

namespace {

// The largest cut at or below `n` that does not fall inside a UTF-8 character.
std::size_t Boundary(const std::string& text, std::size_t n) {
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace

std::string Clip(std::string text) {
    if (text.size() > 259) text.resize(Boundary(text, 259));
    return text;
}

std::string Printable(const std::string& name) {
    std::string out;
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c < 0x20 || c == 0x7F) out += layout::Format("\\x%02X", c);
        else out += ch;
    }
    if (out.size() > 200) out = out.substr(0, Boundary(out, 80)) + "…" + out.substr(Boundary(out, out.size() - 100));
    return out;
}

}  // namespace walk
