#include "transfer/walker.h"

#include "common/registry/layout.h"
#include "platform/inet/inet.h"
#include "platform/os/os.h"
#include "transfer/extension_list.h"
#include "transfer/handoff.h"
#include "transfer/progress.h"
#include "transfer/transfer_mode.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace transfer {

namespace {

std::function<void(int)> g_pause = [](int seconds) { std::this_thread::sleep_for(std::chrono::seconds(seconds)); };

struct Rule {
    std::string extensions;
    std::string directory;
};

// Why an item of the selection is not sent; each is named in the status line and counted.
enum class Skip { None, Missing, TooLong, Unreadable, Unlistable, Special, Loop, BadName, NotConverted };

// What follows the item's name in the status line.
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

// One entry of the work list.
struct Item {
    std::string path;
    long parent = -1;  // index of the folder it was found in; -1 for a selected item
    dev_t dev = 0;     // a folder's identity, so that a link back into a folder on the way is told
    ino_t ino = 0;
    Skip skip = Skip::None;  // per-extension walker: found out while flattening
};

// A "/"-separated path's components; empty ones (a leading or doubled "/") are not components.
std::vector<std::string> Components(const std::string& path) { return SplitNonEmpty(path, '/'); }

// Whether every component can go into an FTP command as a name below where the walker stands:
// CR, LF or NUL would end the command line early, "." and ".." would leave the folder.
bool Sendable(const std::vector<std::string>& parts) {
    for (const auto& c : parts)
        if (c == "." || c == ".." || c.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
    return true;
}

// Entries of a local folder, hidden ones included, in name order (the order
// the Windows file system gave, and a stable one for the user). False when
// the folder cannot be listed whole.
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

// Whether a regular file can really be read: opening is not enough (a file
// on /proc opens and then fails), and a failure found mid-upload would leave
// a partial file on the server.
bool Readable(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    char c;
    bool ok = ::pread(fd, &c, 1, 0) >= 0;
    ::close(fd);
    return ok;
}

// The largest cut at or below `n` that does not fall inside a UTF-8 character.
std::size_t Boundary(const std::string& text, std::size_t n) {
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

// The exception's message as the status line takes it: at most 259 bytes, not cut inside a character.
std::string Clip(std::string text) {
    if (text.size() > 259) text.resize(Boundary(text, 259));
    return text;
}

// A local name as the status line shows it: control characters written out
// (a name may hold CR or LF), and a path of thousands of bytes cut in the middle.
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

class Walker {
public:
    explicit Walker(bool perExtension) : perExtension_(perExtension) {}

    int Run() {
        RemoveStaleTempFolders();
        inet::InternetSession session;
        PublishSession(&session);
        struct Withdraw {
            ~Withdraw() { WithdrawConnection(); }  // before the session frees its connections
        } withdraw;
        layout::HandOff handOff;
        // Read and removed at once: a second transfer started meanwhile never sees the same selection.
        if (!TakeHandOff(handOff)) return FailWith("転送するファイルの指定を読み取れませんでした。", 2);
        rootDir_ = handOff.rootDir;
        for (const auto& path : handOff.paths) items_.push_back(Item{path});

        std::string server, user, password, root;
        winreg::DWORD port = 0;
        {
            SettingKey entry;
            entry.OpenKey(winreg::HKEY_CURRENT_USER,
                          layout::EntryKey(handOff.provider, perExtension_ ? layout::kAutoTransferEntry : handOff.entry));
            Read(entry, layout::kServerAddr, server);
            Read(entry, layout::kUserName, user);
            Read(entry, layout::kPassword, password);
            entry.ReadDword(layout::kPort, port);
            Read(entry, layout::kRoot, root);
        }
        if (perExtension_) ReadRules(handOff.provider);
        // Logging in as anonymous or uploading into the login directory instead would put the files in the wrong place.
        if (!unusable_.empty()) return FailWith(layout::Format("設定値 %s が長すぎて読めません", unusable_.c_str()), 3);
        if (perExtension_) Flatten();

        ShowStatus(layout::Format("%sに接続しています...", server.c_str()));
        try {
            conn_ = session.GetFtpConnection(server, user, password, static_cast<std::uint16_t>(port & 0xFFFF), false);
        } catch (const inet::InternetException& e) {
            ShowStatus(Clip(e.ErrorMessage()));
            return End(2, false);
        }
        connected_ = layout::Format("%s接続完了しました", server.c_str());
        ShowStatus(connected_);
        if (!EnterRoot(root)) return 0;
        conn_->GetCurrentDirectory(basePwd_);

        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (ProgressDisplay* d = Progress()) {
                d->SetRange(0, static_cast<std::int32_t>(items_.size()));
                d->SetStep(1);
            }
            if (!HandleItem(i)) return 0;
            if (ProgressDisplay* d = Progress()) d->StepIt();
        }
        if (skipped_ > 0)
            return FailWith(layout::Format("%d 個の項目を送れませんでした(最初: %s)", skipped_, firstSkipped_.c_str()), 3);
        ShowStatus("ファイル転送完了しました");
        return End(2, true);
    }

private:
    bool perExtension_;
    std::vector<Item> items_;        // the work list: the selection, then what its folders hold
    std::vector<Rule> rules_;
    std::string rootDir_;
    std::string connected_;
    std::string unusable_;  // the first setting too long to be read
    inet::FtpConnection* conn_ = nullptr;
    std::string basePwd_;           // the base directory as the server names it ("" if it would not say)
    std::vector<std::string> cwd_;  // where the walker stands, as directories entered below the base
    int skipped_ = 0;
    std::string firstSkipped_;

    int End(int seconds, bool succeeded) {
        if (ProgressDisplay* d = Progress()) {
            d->TransferEnded(succeeded);
            d->RepaintStatus();
        }
        // Closed under us: the dialog is gone and nobody reads the status any more.
        if (inet::GetLastInternetError() != inet::ERROR_INTERNET_OPERATION_CANCELLED) g_pause(seconds);
        if (ProgressDisplay* d = Progress()) d->EndDisplay();
        return 0;
    }

    int FailWith(const std::string& status, int seconds) {
        ShowStatus(status);
        return End(seconds, false);
    }

    int FailFtp(int seconds) {
        ShowInternetErrorText(inet::GetLastInternetError());
        return End(seconds, false);
    }

    // Reads a string setting; a value too long to be read is remembered (the
    // first one) so that the transfer stops before anything is sent.
    void Read(SettingKey& key, const char* name, std::string& value) {
        if (key.ReadString(name, value) == winreg::ERROR_MORE_DATA && unusable_.empty()) unusable_ = name;
    }

    void ReadRules(const std::string& provider) {
        SettingKey rules;
        if (rules.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferKey(provider)) != 0) return;
        for (const std::string& name : layout::SubKeyNames(rules)) {
            SettingKey rule;
            if (rule.OpenKey(winreg::HKEY_CURRENT_USER, layout::AutoTransferRuleKey(provider, name)) != 0) break;
            Rule r;
            Read(rule, layout::kAutoTransferExt, r.extensions);
            Read(rule, layout::kAutoTransferDir, r.directory);
            rules_.push_back(r);
        }
    }

    // The item's path below RootDir ("site/img/logo.gif"); a path outside RootDir keeps only its name.
    std::string Relative(const std::string& path) const {
        if (path.size() > rootDir_.size() + 1 && path.compare(0, rootDir_.size(), rootDir_) == 0 &&
            path[rootDir_.size()] == '/')
            return path.substr(rootDir_.size() + 1);
        return os::SplitPath(path).base + os::SplitPath(path).extension;
    }

    // Names the item in the status line and counts it as not sent; the walk goes on.
    bool Skipped(std::size_t i, Skip why) {
        std::string name = Printable(Relative(items_[i].path));
        ShowStatus(name + SkipText(why));
        if (skipped_++ == 0) firstSkipped_ = name;
        return true;
    }

    // File or folder (links followed), or why the item cannot be sent. A
    // folder that is one of the folders on the way to it (a link such as
    // "up -> ..") would be walked for ever, so it counts as a loop.
    Skip Classify(std::size_t i, bool& folder) {
        struct stat st {};
        folder = false;
        if (::stat(items_[i].path.c_str(), &st) != 0) {
            if (errno == ENAMETOOLONG) return Skip::TooLong;
            return errno == ENOENT || errno == ENOTDIR ? Skip::Missing : Skip::Unreadable;
        }
        if (S_ISDIR(st.st_mode)) {
            for (long p = items_[i].parent; p >= 0; p = items_[static_cast<std::size_t>(p)].parent)
                if (items_[static_cast<std::size_t>(p)].dev == st.st_dev &&
                    items_[static_cast<std::size_t>(p)].ino == st.st_ino)
                    return Skip::Loop;
            items_[i].dev = st.st_dev;
            items_[i].ino = st.st_ino;
            folder = true;
            return Skip::None;
        }
        // A pipe would block the upload for ever, a socket or a device has nothing to send.
        if (!S_ISREG(st.st_mode)) return Skip::Special;
        return Readable(items_[i].path) ? Skip::None : Skip::Unreadable;
    }

    // Appends the folder's entries to the work list; false when it cannot be listed.
    bool Expand(std::size_t i) {
        std::vector<std::string> entries;
        if (!FolderEntries(items_[i].path, entries)) return false;
        for (auto& e : entries) items_.push_back(Item{std::move(e), static_cast<long>(i)});
        return true;
    }

    void Flatten() {
        std::vector<Item> files;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            bool folder = false;
            Skip why = Classify(i, folder);
            if (folder && Expand(i)) continue;
            files.push_back(items_[i]);
            files.back().skip = folder ? Skip::Unlistable : why;
        }
        items_ = std::move(files);
    }

    bool EnterRoot(const std::string& root) {
        if (perExtension_) {
            ShowStatus("ディレクトリ移動中...");
            for (const auto& c : Components(root)) conn_->SetCurrentDirectory(c);  // skipped when it fails
            return true;
        }
        if (root.empty()) return true;
        if (root[0] == '/') {
            if (!conn_->SetCurrentDirectory(root)) {
                FailWith(layout::Format("上位ディレクトリ(%s)へは移動できません", root.c_str()), 2);
                return false;
            }
        } else {
            for (const auto& c : Components(root)) {
                if (!conn_->SetCurrentDirectory(c)) {
                    FailFtp(3);
                    return false;
                }
            }
        }
        ShowStatus(connected_);
        return true;
    }

    // Moves from where the walker stands to `target` (directories below the
    // base) with the fewest CWDs: "../" up to the part both share, then down.
    // Deep trees made this matter: returning to the base after every item
    // cost a walk from the base for each, growing with the square of the depth.
    // With `create` a directory that cannot be entered is made and entered
    // (`failed` names it when that fails too, and the result is false);
    // without, it is skipped. False also when the walker cannot go up.
    bool GoTo(const std::vector<std::string>& target, bool create, std::string& failed) {
        std::size_t common = 0;
        while (common < cwd_.size() && common < target.size() && cwd_[common] == target[common]) ++common;
        while (cwd_.size() > common) {
            if (conn_->SetCurrentDirectory("../")) {
                cwd_.pop_back();
                continue;
            }
            failed = "..";
            if (basePwd_.empty() || !conn_->SetCurrentDirectory(basePwd_)) return false;
            cwd_.clear();
            common = 0;
        }
        for (std::size_t k = common; k < target.size(); ++k) {
            const std::string& dir = target[k];
            if (conn_->SetCurrentDirectory(dir) ||
                (create && conn_->CreateDirectory(layout::Format("./%s", dir.c_str())) &&
                 conn_->SetCurrentDirectory(dir))) {
                cwd_.push_back(dir);
            } else if (create) {
                failed = dir;
                return false;
            }
        }
        return true;
    }

    // Where the walker stands, as the server names it.
    std::string Here() const {
        std::string here = basePwd_;
        for (const auto& c : cwd_) here += (here.empty() || here.back() != '/' ? "/" : "") + c;
        return here;
    }

    // False when the walk has ended (the display is ended too).
    bool HandleItem(std::size_t i) {
        if (perExtension_) return items_[i].skip != Skip::None ? Skipped(i, items_[i].skip) : AutoFile(i);
        bool folder = false;
        Skip why = Classify(i, folder);
        if (why != Skip::None) return Skipped(i, why);
        return folder ? Folder(i) : File(i);
    }

    bool Folder(std::size_t i) {
        ShowStatus("リモート側ディレクトリ検証中...");
        std::vector<std::string> parts = Components(Relative(items_[i].path));
        if (!Sendable(parts)) return Skipped(i, Skip::BadName);
        // Listed before the remote directory is made: a folder that cannot be read is not created empty.
        std::vector<std::string> entries;
        if (!FolderEntries(items_[i].path, entries)) return Skipped(i, Skip::Unlistable);
        std::string failed;
        if (!GoTo(parts, true, failed)) {
            FailWith(layout::Format("作成ディレクトリに移動できません...%s", failed.c_str()), 2);
            return false;
        }
        ShowStatus(layout::Format("現在のディレクトリ : %s", Here().c_str()));
        ShowStatus("リモートディレクトリ検索中...");
        for (auto& e : entries) items_.push_back(Item{std::move(e), static_cast<long>(i)});
        return true;
    }

    bool File(std::size_t i) {
        std::string relative = Relative(items_[i].path);
        ShowStatus(layout::Format("%s 処理中...", Printable(relative).c_str()));
        std::vector<std::string> parts = Components(relative);
        if (parts.empty() || !Sendable(parts)) return Skipped(i, Skip::BadName);
        std::string failed;
        if (!GoTo(std::vector<std::string>(parts.begin(), parts.end() - 1), true, failed)) {
            FailWith(layout::Format("ディレクトリ作成失敗...%s", failed.c_str()), 2);
            return false;
        }
        return Put(i, layout::Format("./%s", parts.back().c_str()));
    }

    bool AutoFile(std::size_t i) {
        os::PathParts p = os::SplitPath(items_[i].path);
        std::string name = p.base + p.extension;
        ShowStatus(layout::Format("%s 処理中...", Printable(name).c_str()));
        if (!Sendable({name})) return Skipped(i, Skip::BadName);
        for (const auto& r : rules_) {
            if (!ExtensionListed(p.extension, r.extensions)) continue;
            // Never created: a missing directory is skipped and the file goes where the walker got to. "." and
            // ".." are skipped too: the walker keeps track of where it stands by the names it entered.
            std::vector<std::string> target;
            for (auto& c : Components(r.directory))
                if (c != "." && c != "..") target.push_back(std::move(c));
            std::string failed;
            if (!GoTo(target, false, failed)) {
                FailFtp(3);
                return false;
            }
            break;
        }
        return Put(i, layout::Format("./%s", name.c_str()));
    }

    bool Put(std::size_t i, const std::string& remote) {
        const std::string item = items_[i].path;
        std::string sent;
        if (!ConvertForUpload(item, sent)) return Skipped(i, Skip::NotConverted);
        if (ProgressDisplay* d = Progress()) d->PlayAnimation();
        int type = TransferTypeFor(item);
        bool ok = conn_->PutFile(sent, remote, static_cast<inet::DWORD>(type));
        inet::DWORD error = inet::GetLastInternetError();
        // The copy goes after a failed upload too, and in both walkers: nothing else would remove it.
        RemoveTempCopy(sent);
        if (ok) return true;
        // Refused before anything went to the server: this item is left out, the rest still goes.
        if (error == inet::ERROR_INVALID_NAME) return Skipped(i, Skip::BadName);
        if (error == inet::ERROR_FILE_NOT_FOUND) return Skipped(i, Skip::Unreadable);
        FailFtp(3);
        return false;
    }
};

}  // namespace

void SetPauseFunction(std::function<void(int)> pause) { g_pause = std::move(pause); }

int PlainWalker(void*) { return Walker(false).Run(); }

int AutoTransferWalker(void*) { return Walker(true).Run(); }

}  // namespace transfer
