#include "settings/halvex32/mime_extensions.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace halvex32 {

namespace {

// The sheet's rows once held names read into a 260-byte buffer; a longer
// pattern is no extension a user would pick.
constexpr std::size_t kMaxExtensionBytes = 259;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// ".ext" for a pattern "*.ext" whose tail is a plain name, else "".
std::string ExtensionOf(const std::string& pattern) {
    if (pattern.size() < 3 || pattern[0] != '*' || pattern[1] != '.') return {};
    std::string ext = pattern.substr(1);
    if (ext.size() > kMaxExtensionBytes) return {};
    for (unsigned char c : ext.substr(1)) {
        if (c < 0x20 || c == 0x7f || c == '*' || c == '?' || c == '[' || c == ']' || c == '/' || c == '\\' ||
            c == ';')
            return {};
    }
    return ext;
}

// Lines are "weight:type:pattern[:flags]" in globs2 and "type:pattern" in
// globs; '#' starts a comment line.
bool ReadGlobs(const std::string& path, bool weighted, std::vector<std::string>& out) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::size_t start = line.find(':');
        if (start == std::string::npos) continue;
        if (weighted) {
            start = line.find(':', start + 1);
            if (start == std::string::npos) continue;
        }
        std::size_t end = weighted ? line.find(':', start + 1) : std::string::npos;
        std::string ext = ExtensionOf(line.substr(start + 1, end == std::string::npos ? end : end - start - 1));
        if (!ext.empty()) out.push_back(std::move(ext));
    }
    return true;
}

}  // namespace

std::vector<std::string> MimeFolders() {
    std::vector<std::string> folders;
    std::string home = Env("XDG_DATA_HOME");
    if (home.empty() || home[0] != '/') {
        std::string h = Env("HOME");
        home = h.empty() ? std::string() : h + "/.local/share";
    }
    if (!home.empty()) folders.push_back(home + "/mime");
    std::string dirs = Env("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    std::size_t pos = 0;
    while (pos <= dirs.size()) {
        std::size_t colon = dirs.find(':', pos);
        std::string dir = dirs.substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
        if (!dir.empty() && dir[0] == '/') folders.push_back(dir + "/mime");
        if (colon == std::string::npos) break;
        pos = colon + 1;
    }
    return folders;
}

std::vector<std::string> RegisteredExtensions() {
    std::vector<std::string> exts;
    for (const std::string& folder : MimeFolders()) {
        if (!ReadGlobs(folder + "/globs2", true, exts)) ReadGlobs(folder + "/globs", false, exts);
    }
    std::sort(exts.begin(), exts.end());
    exts.erase(std::unique(exts.begin(), exts.end()), exts.end());
    return exts;
}

}  // namespace halvex32
