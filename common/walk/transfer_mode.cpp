#include "common/walk/transfer_mode.h"

#include "common/registry/layout.h"
#include "platform/os/os.h"
#include "tesvar/tesvar.h"
#include "common/walk/extension_list.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace walk {

namespace {

std::string g_tempFolder;
std::mutex g_copiesMu;
std::set<std::string> g_copies;  // copies made and not yet removed

void RemoveTempFolder() {
    std::error_code ec;
    if (!g_tempFolder.empty() && g_tempFolder != os::TempDirectory()) std::filesystem::remove_all(g_tempFolder, ec);
}

// A fresh, empty file of our own in the private folder: two files of the
// same base name (a.txt and a.html, or site/a.txt and site/old/a.txt) never share one.
std::string NewTempCopy() {
    std::string path = TempCopyFolder() + "copy-XXXXXX";
    int fd = ::mkstemp(path.data());
    if (fd < 0) return "";
    ::close(fd);
    std::lock_guard<std::mutex> lock(g_copiesMu);
    g_copies.insert(path);
    return path;
}

// The pid in a name "parvex-<pid>-XXXXXX", or 0 when the name is not one of ours.
long OwnerPid(const std::string& name) {
    const std::string prefix = "parvex-";
    if (name.compare(0, prefix.size(), prefix) != 0) return 0;
    std::size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() || dash > prefix.size() + 9 || name.size() != dash + 7)
        return 0;
    long pid = 0;
    for (std::size_t i = prefix.size(); i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    for (std::size_t i = dash + 1; i < name.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i]))) return 0;
    return pid;
}

}  // namespace

// Private to the process, so that two transfers at once never overwrite each other's copies.
const std::string& TempCopyFolder() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::string tmpl = os::TempDirectory() + layout::Format("parvex-%ld-XXXXXX", static_cast<long>(::getpid()));
        if (::mkdtemp(tmpl.data()) != nullptr) {
            g_tempFolder = tmpl + "/";
            std::atexit(RemoveTempFolder);
        } else {
            g_tempFolder = os::TempDirectory();  // no private folder: the shared one, as before
        }
    });
    return g_tempFolder;
}

int RemoveStaleTempFolders() {
    int removed = 0;
    std::error_code ec;
    const std::string dir = os::TempDirectory();
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        long pid = OwnerPid(name);
        if (pid <= 0 || pid == ::getpid()) continue;
        struct stat st {};
        if (::lstat((dir + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
        // EPERM means the process lives (under another user): only a pid that is gone frees its folder.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::error_code rm;
        std::filesystem::remove_all(dir + name, rm);  // removes links themselves, never what they point at
        if (!rm) ++removed;
    }
    return removed;
}

int TransferTypeFor(const std::string& localPath) {
    std::string ext = os::SplitPath(localPath).extension;
    SettingKey key;
    key.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
    std::string textMode, binaryMode;
    key.ReadString(layout::kTextMode, textMode);
    if (EntryInExtension(ext, textMode)) return kTextMode;
    // Read as the other programs do; a file in neither list is binary all the same.
    key.ReadString(layout::kBinaryMode, binaryMode);
    EntryInExtension(ext, binaryMode);
    return kBinaryMode;
}

namespace {

// The conversion both directions share; `direction` and `codeName` name the
// option values that switch it on and pick the code.
bool Convert(const std::string& localPath, std::string& result, const char* direction, const char* codeName,
             const std::function<void(const std::string&)>& status) {
    result = localPath;
    SettingKey key;
    key.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
    winreg::DWORD codeConvert = 0, on = 0, code = 1;
    key.ReadDword(layout::kCodeConvert, codeConvert);
    if (codeConvert != 1) return true;
    key.ReadDword(direction, on);
    if (on != 1) return true;
    std::string textMode;
    key.ReadString(layout::kTextMode, textMode);
    if (!ExtensionInEntry(os::SplitPath(localPath).extension, textMode)) return true;
    key.ReadDword(codeName, code);
    static const char* const kStatus[] = {"SJISコードへ変換中...", "JISコードへ変換中...", "EUCコードへ変換中..."};
    if (code > 2) return true;
    if (status) status(kStatus[code]);
    std::string copy = NewTempCopy();
    if (copy.empty()) return false;
    const char* src = localPath.c_str();
    const char* dst = copy.c_str();
    int converted = StartCodeConvert(static_cast<int>(code), &src, &dst);
    if (converted == TESVAR_OK) {
        result = copy;
        return true;
    }
    RemoveTempCopy(copy);
    // Not Japanese text (a binary without an extension, say): converting would damage it, so it stays as it is.
    return converted == TESVAR_NOT_TEXT;
}

}  // namespace

bool ConvertForUpload(const std::string& localPath, std::string& sendPath,
                      const std::function<void(const std::string&)>& status) {
    return Convert(localPath, sendPath, layout::kUploadConvert, layout::kUploadConvCode, status);
}

bool ConvertAfterDownload(const std::string& localPath, std::string& convertedPath) {
    return Convert(localPath, convertedPath, layout::kDownloadConvert, layout::kDownloadConvCode, {});
}

void RemoveTempCopy(const std::string& sentPath) {
    std::lock_guard<std::mutex> lock(g_copiesMu);
    if (g_copies.erase(sentPath) != 0) ::unlink(sentPath.c_str());
}

}  // namespace walk
