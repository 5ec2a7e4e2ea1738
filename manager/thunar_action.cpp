#include "manager/thunar_action.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace thunar {

namespace {

// One action as Thunar writes them: every kind of file, and folders. Only
// elements every Thunar knows: an unknown one makes it drop the whole file.
std::string ActionText() {
    return std::string("<action>\n"
                       "\t<icon>parvex</icon>\n"
                       "\t<name>Parvex</name>\n"
                       "\t<unique-id>parvex-menu</unique-id>\n"
                       "\t<command>") +
           kActionCommand +
           "</command>\n"
           "\t<description>指定プロバイダへファイル送信</description>\n"
           "\t<patterns>*</patterns>\n"
           "\t<directories/>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>\n";
}

std::optional<std::string> ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

// Absolute folders only: a relative one in the variables is to be ignored.
std::string UserConfigDir() {
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') return x;
    const char* home = std::getenv("HOME");
    return home && *home == '/' ? std::string(home) + "/.config" : std::string();
}

std::vector<std::string> SystemConfigDirs() {
    const char* x = std::getenv("XDG_CONFIG_DIRS");
    std::string list = x && *x ? x : "/etc/xdg";
    std::vector<std::string> dirs;
    std::size_t start = 0;
    for (std::size_t colon; start <= list.size(); start = colon + 1) {
        colon = list.find(':', start);
        if (colon == std::string::npos) colon = list.size();
        std::string dir = list.substr(start, colon - start);
        if (!dir.empty() && dir[0] == '/') dirs.push_back(dir);
    }
    return dirs;
}

bool MakeDir(const std::string& path, mode_t mode) {
    return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

// Replaces `path` in one step (a reader sees the old file or the new one),
// keeping the old file's permissions; a link is followed to the file it names.
bool WriteReplacing(const std::string& path, const std::string& text) {
    char resolved[PATH_MAX];
    const std::string target = ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    std::string temp = target + ".parvex-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, mode) == 0;
    for (std::size_t done = 0; ok && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

std::optional<std::string> MergeAction(const std::string& uca) {
    const std::string command = std::string("<command>") + kActionCommand + "</command>";
    if (uca.find(command) != std::string::npos) return std::nullopt;
    const std::size_t close = uca.rfind("</actions>");
    if (close == std::string::npos || uca.find("<actions") == std::string::npos) return std::nullopt;
    std::string out = uca;
    out.insert(close, ActionText());
    return out;
}

AddResult AddAction() {
    const std::string config = UserConfigDir();
    if (config.empty()) return AddResult::Failed;
    const std::string user = config + "/Thunar/uca.xml";
    std::optional<std::string> text = ReadText(user);
    if (!text) {
        if (::access(user.c_str(), F_OK) == 0) return AddResult::Failed;  // there, but unreadable
        for (const std::string& dir : SystemConfigDirs())
            if ((text = ReadText(dir + "/Thunar/uca.xml"))) break;
        if (!text) return AddResult::NoThunar;
    }
    std::optional<std::string> merged = MergeAction(*text);
    if (!merged)
        return text->find(std::string("<command>") + kActionCommand) != std::string::npos ? AddResult::AlreadyThere
                                                                                          : AddResult::Failed;
    if (!MakeDir(config, 0700) || !MakeDir(config + "/Thunar", 0755)) return AddResult::Failed;
    return WriteReplacing(user, *merged) ? AddResult::Added : AddResult::Failed;
}

void AddActionAtFirstRun() {
    SettingKey root;
    // Only a store that certainly has no settings yet: one that cannot be
    // read is not a new user's.
    if (root.OpenKey(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex) != winreg::ERROR_FILE_NOT_FOUND) return;
    root.CloseKey();
    AddAction();
}

}  // namespace thunar
