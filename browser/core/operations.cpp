#include "browser/core/operations.h"

#include "browser/core/ids.h"
#include "common/walk/remote_listing.h"
#include "common/walk/local_tree.h"
#include "common/walk/remote_path.h"
#include "common/walk/remote_cursor.h"
#include "common/walk/transfer_mode.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace brovin {

void Progress::Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void Progress::LeftOut(int count, const std::string&) { Status(IDS_SKIPPED_COUNT, std::to_string(count)); }

bool ConnectionLost(inet::DWORD code) {
    return code == inet::ERROR_INTERNET_CONNECTION_ABORTED || code == inet::ERROR_INTERNET_CONNECTION_RESET ||
           code == inet::ERROR_INTERNET_TIMEOUT || code == inet::ERROR_INTERNET_OPERATION_CANCELLED;
}

std::string ErrorText(inet::DWORD code) {
    std::string reply = inet::GetLastResponseInfo();
    // A reply of several lines becomes one: the status bar shows a single line.
    for (std::size_t at; (at = reply.find("\r\n")) != std::string::npos;) reply.replace(at, 2, " ");
    std::string text = inet::InternetErrorText(code);
    if (code == inet::ERROR_INTERNET_EXTENDED_ERROR && !reply.empty()) text = reply;
    else if (code == inet::ERROR_INTERNET_LOGIN_FAILURE && !reply.empty()) text += "(" + reply + ")";
    else if (text.empty()) text = "エラー " + std::to_string(code);
    return walk::Clip(text);
}

int NameProblem(const std::string& name) {
    if (name.empty()) return IDS_NAME_EMPTY;
    if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return IDS_NAME_UNSENDABLE;
    return 0;
}

namespace {

std::string Decimal(unsigned long n) { return std::to_string(n); }

// A failed put, get or delete: the error number, or the message when the connection itself is gone.
Outcome FailWith(Progress& progress, inet::DWORD code) {
    if (ConnectionLost(code))
        progress.Status(IDS_INTERNET_ERROR, walk::Clip(inet::InternetErrorText(code)));
    else
        progress.Status(IDS_FAILED_CODE, Decimal(code));
    return Outcome::Failed;
}

// The items a walk left out: how many, and the first, which the walk's last text names.
struct LeftOutItems {
    int count = 0;
    std::string first;
    void Add(const std::string& name) {
        if (count++ == 0) first = name;
    }
};

// The end of a walk that got through: completed, or incomplete with the count of what was left out.
Outcome Finish(Progress& progress, const LeftOutItems& skipped, int doneText) {
    if (skipped.count > 0) {
        progress.LeftOut(skipped.count, skipped.first);
        return Outcome::Incomplete;
    }
    if (doneText) progress.Status(doneText, "");
    return Outcome::Completed;
}

// Makes `folder` and then each component below it, one level at a time; an existing folder is fine.
bool MakeFolders(const std::string& folder, const std::vector<std::string>& parts, std::string& made) {
    made = folder;
    if (::mkdir(made.c_str(), 0777) != 0 && errno != EEXIST) return false;
    for (const auto& p : parts) {
        made += "/" + p;
        if (::mkdir(made.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(made.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Puts the converted copy in the downloaded file's place; across file
// systems it is copied beside the file first, so the file is whole at every moment.
bool ReplaceWith(const std::string& copy, const std::string& file) {
    if (::rename(copy.c_str(), file.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    std::string part = file + ".parvex-part";
    std::error_code ec;
    std::filesystem::copy_file(copy, part, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec || ::rename(part.c_str(), file.c_str()) != 0) {
        ::unlink(part.c_str());
        return false;
    }
    return true;
}

// Gets the remote file `name` of the current directory into `file`. The
// client library writes it under a short temporary name beside `file` and
// renames it into place, so the file is whole at every moment, and a
// server's name of 244 to 255 bytes does not pass the 255-byte limit of a
// file name on the way. One file created and one rename per download: on a
// walk of thousands of small files, each extra create and rename showed in
// the total. False with the last error set.
bool Fetch(inet::FtpConnection* conn, const std::string& name, const std::string& file, inet::DWORD type) {
    return conn->GetFile(walk::InCurrentDirectory(name), file, false, type);
}

struct QueueEntry {
    walk::RemotePath path;  // below where the walk started
    bool directory = false;
    bool link = false;
};

// The selection as queue entries; a name that would leave the directory is named and left out.
std::vector<QueueEntry> Selection(const std::vector<RemoteItem>& items, Progress& progress, LeftOutItems& skipped) {
    std::vector<QueueEntry> queue;
    for (const auto& item : items) {
        if (!walk::SafeName(item.name)) {
            progress.Status(IDS_UNSAFE_NAME, walk::Printable(item.name));
            skipped.Add(walk::Printable(item.name));
            continue;
        }
        queue.push_back(QueueEntry{walk::RemotePath({item.name}), item.directory, item.link});
    }
    return queue;
}

// Appends the current directory's entries below `parent` to the queue.
// False when it cannot be listed; `any` tells whether it had entries at all.
bool QueueChildren(inet::FtpConnection* conn, const walk::RemotePath& parent, std::vector<QueueEntry>& queue,
                   Progress& progress, LeftOutItems& skipped, bool& any, bool checkAbort,
                   inet::DWORD findFlags = inet::INTERNET_FLAG_RELOAD) {
    any = false;
    inet::FtpFileFind find(conn, 1);
    if (!find.FindFile("*.*", findFlags)) return inet::GetLastInternetError() == inet::ERROR_NO_MORE_FILES;
    for (bool more = true; more;) {
        if (checkAbort && progress.Aborted()) return true;
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        any = true;
        std::string name = find.GetFileName();
        if (!walk::SafeName(name)) {
            progress.Status(IDS_UNSAFE_NAME, walk::Printable(parent.Child(name).Text()));
            skipped.Add(walk::Printable(parent.Child(name).Text()));
            continue;
        }
        queue.push_back(QueueEntry{parent.Child(name), find.IsDirectory() && !find.IsLink(), find.IsLink()});
    }
    return true;
}

// The names in the current directory that LIST shows as symbolic links. False when it cannot be listed.
bool ListLinks(inet::FtpConnection* conn, std::set<std::string>& links) {
    inet::FtpFileFind find(conn, 1);
    if (!find.FindFile("*.*", inet::INTERNET_FLAG_RELOAD | inet::FTP_FIND_FLAG_LIST))
        return inet::GetLastInternetError() == inet::ERROR_NO_MORE_FILES;
    for (bool more = true; more;) {
        more = find.FindNextFile();
        if (find.IsLink()) links.insert(find.GetFileName());
    }
    return true;
}

// Follows the name of an entry the server would not remove.
constexpr const char* kNotRemoved = " を削除できませんでした";
// Follows the name of a link inside a downloaded folder that is no file.
constexpr const char* kLinkNotFetched = " はリンクで、ファイルとして取得できないため扱いません";

}  // namespace

std::string UploadKeyName(const std::string& root) { return root.empty() ? layout::kLoginDirectoryEntry : root; }

winreg::LONG WriteUploadHandOff(const std::string& provider, const std::string& keyName,
                                const std::vector<std::string>& paths) {
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return transaction.Status();
    // Values left from a larger earlier list would be read back with this one.
    const std::string queue = layout::UploadQueueEntryKey(provider, keyName);
    if (winreg::LONG st = winreg::RegDeleteTree(winreg::HKEY_CURRENT_USER, queue.c_str());
        st != winreg::ERROR_SUCCESS && st != winreg::ERROR_FILE_NOT_FOUND)
        return st;
    SettingKey key;
    if (winreg::LONG st = key.CreateKey(winreg::HKEY_CURRENT_USER, queue); st) return st;
    std::string rootDir;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (winreg::LONG st = key.WriteString(layout::SelectedValueName(static_cast<int>(i)), paths[i]); st) return st;
        if (rootDir.empty() && paths[i].find('/') != std::string::npos) rootDir = layout::FolderOf(paths[i]);
    }
    if (winreg::LONG st = key.WriteString(layout::kRootDir, rootDir); st) return st;
    key.CloseKey();
    return transaction.Commit();
}

bool TakeUploadHandOff(const std::string& provider, const std::string& keyName, layout::HandOff& out) {
    out = layout::HandOff{provider, keyName, {}, {}};
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return false;
    {
        SettingKey key;
        if (key.OpenKey(winreg::HKEY_CURRENT_USER, layout::UploadQueueEntryKey(provider, keyName)) != 0) return false;
        for (int i = 0;; ++i) {
            std::string path;
            if (key.ReadPath(layout::SelectedValueName(i), path) != winreg::ERROR_SUCCESS) break;
            out.paths.push_back(path);
        }
        key.ReadPath(layout::kRootDir, out.rootDir);
    }
    if (layout::DeleteHandOffEntry(layout::kUploadQueueKey, provider, keyName) != winreg::ERROR_SUCCESS) return false;
    return transaction.Commit() == winreg::ERROR_SUCCESS && !out.paths.empty();
}

namespace {

// The upload walker's reports in the browser's texts.
class UploadProgress : public transfer::UploadReport {
public:
    explicit UploadProgress(Progress& progress) : progress_(progress) {}

    void Item(int count, const std::string&) override { progress_.SetRange(count); }
    void FolderEntered(const std::string&) override { progress_.Status(IDS_SEARCHING_LOCAL, ""); }
    void FileStarted(const std::string& relative, const std::string&) override {
        progress_.Status(IDS_PROCESSING, relative);
    }
    void Moving() override { progress_.Status(IDS_MOVING, ""); }
    void Creating(const std::string& directory) override { progress_.Status(IDS_CREATING_REMOTE, directory); }
    void ItemDone() override { progress_.Step(); }
    void Skipped(const std::string& text, walk::Skip) override { progress_.Status(IDS_TEXT, text); }
    void Halted(transfer::Halt why, const std::string& name, inet::DWORD code) override {
        switch (why) {
        case transfer::Halt::FolderNotEntered:
            progress_.Status(IDS_CANNOT_MOVE, name);
            progress_.Pause(2000);
            break;
        case transfer::Halt::ParentNotMade:
            progress_.Status(IDS_CANNOT_CREATE_REMOTE, name);
            break;
        case transfer::Halt::FtpError:
            FailWith(progress_, code);
            break;
        }
    }
    bool Aborted() override { return progress_.Aborted(); }

private:
    Progress& progress_;
};

}  // namespace

transfer::Login UploadLogin(const CBrovinDoc& doc) {
    return transfer::Login{doc.serverAddr, doc.userName, doc.password, static_cast<std::uint16_t>(doc.port & 0xFFFF),
                           doc.security, doc.nameEncoding};
}

Outcome UploadWalk(inet::FtpConnection* conn, const std::string& provider, const std::string& keyName,
                   Progress& progress, const transfer::Login& login) {
    layout::HandOff handOff;
    // Gone or unreadable: nothing was sent, and that is no completed upload.
    if (!TakeUploadHandOff(provider, keyName, handOff)) {
        progress.Status(IDS_TEXT, "アップロードするファイルの指定を読み取れませんでした");
        return Outcome::Failed;
    }
    UploadProgress report(progress);
    transfer::UploadWalker walker(report);
    walker.SetProvider(provider);
    walker.SetLogin(login);
    const Outcome outcome = walker.UploadTree(conn, handOff.rootDir, handOff.paths);
    if (outcome == Outcome::Failed || outcome == Outcome::Aborted) return outcome;
    walker.ReturnToStart();
    LeftOutItems skipped{walker.SkippedCount(), walker.FirstSkipped()};
    const Outcome end = Finish(progress, skipped, 0);
    if (end == Outcome::Completed && walker.ChangedOnly())
        progress.Status(IDS_TEXT, transfer::ChangedOnlyText(walker.SentCount(), walker.UpToDateCount()));
    return end;
}

Outcome DownloadWalk(inet::FtpConnection* conn, const std::vector<RemoteItem>& items, const std::string& folder,
                     Progress& progress) {
    LeftOutItems skipped;
    std::vector<QueueEntry> queue = Selection(items, progress, skipped);
    progress.Status(IDS_MAKING_LOCAL_FOLDERS, "");
    walk::RemoteCursor cursor(conn);
    cursor.SetBase();
    const std::string pwd = cursor.Here();
    // The server's own path is mirrored too, and is as untrusted as its names.
    const std::vector<std::string> mirror = walk::RemotePath::Parse(pwd).Parts();
    for (const auto& c : mirror) {
        if (!walk::SafeName(c)) {
            progress.Status(IDS_UNSAFE_NAME, walk::Printable(pwd));
            return Outcome::Failed;
        }
    }
    std::string made;
    if (!MakeFolders(folder, mirror, made)) {
        progress.Status(IDS_TEXT, walk::Printable(made) + walk::SkipText(walk::Skip::Unreadable));
        return Outcome::Failed;
    }
    std::string failed;
    std::vector<std::string> fileFolder;  // the last file's folder, below `folder`
    std::string fileFolderPath;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        if (progress.Aborted()) return Outcome::Aborted;
        progress.SetRange(static_cast<int>(queue.size()));
        const QueueEntry entry = queue[i];
        const std::string& name = entry.path.Name();
        std::vector<std::string> local = mirror;
        if (entry.directory) {
            progress.Status(IDS_SEARCHING_REMOTE, "");
            if (!cursor.GoTo(entry.path, false, failed, false)) {
                progress.Status(IDS_CANNOT_ENTER, entry.path.Text());
                skipped.Add(walk::Printable(entry.path.Text()));
                continue;
            }
            bool any = false;
            // Listed with LIST, where every server shows a link as one: a
            // link inside the folder is fetched as a file, never entered
            // ("loop -> ." would recurse until the local path is too long).
            if (!QueueChildren(conn, entry.path, queue, progress, skipped, any, false,
                               inet::INTERNET_FLAG_RELOAD | inet::FTP_FIND_FLAG_LIST))
                return FailWith(progress, inet::GetLastInternetError());
            if (progress.Aborted()) return Outcome::Aborted;
            progress.Status(IDS_MAKING_LOCAL_FOLDERS, "");
            local.insert(local.end(), entry.path.Parts().begin(), entry.path.Parts().end());
            if (!MakeFolders(folder, local, made)) {
                progress.Status(IDS_TEXT, walk::Printable(made) + walk::SkipText(walk::Skip::Unreadable));
                return Outcome::Failed;
            }
            progress.Step();
            continue;
        }
        if (!cursor.GoTo(entry.path.Parent(), false, failed, false)) {
            progress.Status(IDS_CANNOT_ENTER, entry.path.Parent().Text());
            skipped.Add(walk::Printable(entry.path.Text()));
            continue;
        }
        if (progress.Aborted()) return Outcome::Aborted;
        const walk::RemotePath dir = entry.path.Parent();
        local.insert(local.end(), dir.Parts().begin(), dir.Parts().end());
        // Files of one directory come one after another: its folder is made once, not once per file.
        if (local != fileFolder || fileFolderPath.empty()) {
            if (!MakeFolders(folder, local, made)) {
                progress.Status(IDS_TEXT, walk::Printable(made) + walk::SkipText(walk::Skip::Unreadable));
                return Outcome::Failed;
            }
            fileFolder = local;
            fileFolderPath = made;
        }
        const std::string file = fileFolderPath + "/" + name;
        progress.Status(IDS_PROCESSING, walk::InCurrentDirectory(name));
        int type = walk::TransferTypeFor(name);
        if (!Fetch(conn, name, file, static_cast<inet::DWORD>(type))) {
            inet::DWORD error = inet::GetLastInternetError();
            if (!entry.link || ConnectionLost(error)) return FailWith(progress, error);
            progress.Status(IDS_TEXT, walk::Printable(entry.path.Text()) + kLinkNotFetched);
            skipped.Add(walk::Printable(entry.path.Text()));
            progress.Step();
            continue;
        }
        if (progress.Aborted()) return Outcome::Aborted;
        std::string converted;
        if (!walk::ConvertAfterDownload(file, converted)) {
            progress.Status(IDS_TEXT, walk::Printable(name) + walk::SkipText(walk::Skip::NotConverted));
            skipped.Add(walk::Printable(name));
        } else if (converted != file) {
            if (!ReplaceWith(converted, file)) {
                progress.Status(IDS_TEXT, walk::Printable(name) + walk::SkipText(walk::Skip::NotConverted));
                skipped.Add(walk::Printable(name));
            }
            walk::RemoveTempCopy(converted);
        }
        progress.Step();
    }
    cursor.GoTo({}, false, failed);
    return Finish(progress, skipped, IDS_ALL_DONE);
}

Outcome DeleteWalk(inet::FtpConnection* conn, const std::vector<RemoteItem>& items, Progress& progress) {
    LeftOutItems skipped;
    std::vector<QueueEntry> queue = Selection(items, progress, skipped);
    // The rows may come from MLSD, which some servers answer with the
    // target's type for a link: a link shown as a directory would be entered
    // and what it points to deleted. LIST's "l" line tells it on every server.
    std::set<std::string> links;
    if (std::any_of(queue.begin(), queue.end(), [](const QueueEntry& e) { return e.directory && !e.link; }) &&
        !ListLinks(conn, links))
        return FailWith(progress, inet::GetLastInternetError());
    for (auto& e : queue)
        if (e.link || links.count(e.path.Name())) {
            e.link = true;
            e.directory = false;  // even one the user opened as a folder: the link goes, not what it points to
        }
    // What became of each entry: still there (pending), removed, or left out and counted once.
    enum class State { Pending, Removed, LeftOut };
    std::vector<State> state(queue.size(), State::Pending);
    auto leave = [&](std::size_t i) {
        const std::string path = walk::Printable(queue[i].path.Text());
        progress.Status(IDS_TEXT, path + kNotRemoved);
        skipped.Add(path);
        state[i] = State::LeftOut;
    };
    walk::RemoteCursor cursor(conn);
    cursor.SetBase();
    std::string failed;
    // Removes directory i from its parent. A refused removal is tried once more
    // after the links that only the other kind of listing shows are removed:
    // proftpd's LIST leaves out a link to the directory itself ("loop -> ."),
    // which its MLSD names. False with the removal's error when it stays.
    auto removeDirectory = [&](std::size_t i) {
        const walk::RemotePath path = queue[i].path;
        if (!cursor.GoTo(path.Parent(), false, failed, false)) return false;
        if (conn->RemoveDirectory(path.Name())) return true;
        const inet::DWORD refused = inet::GetLastInternetError();
        std::vector<std::string> hidden;
        if (!ConnectionLost(refused) && cursor.GoTo(path, false, failed, false)) {
            inet::FtpFileFind find(conn, 1);
            if (find.FindFile("*.*", inet::INTERNET_FLAG_RELOAD))
                for (bool more = true; more;) {
                    more = find.FindNextFile();
                    if (find.IsLink() && walk::SafeName(find.GetFileName())) hidden.push_back(find.GetFileName());
                }
        }
        for (const std::string& link : hidden) {
            progress.Status(IDS_DELETING, walk::InCurrentDirectory(link));
            conn->Remove(walk::InCurrentDirectory(link));
        }
        if (!hidden.empty() && cursor.GoTo(path.Parent(), false, failed, false) && conn->RemoveDirectory(path.Name()))
            return true;
        inet::SetLastInternetError(refused);
        return false;
    };
    for (std::size_t i = 0; i < queue.size(); ++i) {
        if (progress.Aborted()) return Outcome::Aborted;
        progress.SetRange(static_cast<int>(queue.size()));
        const QueueEntry entry = queue[i];
        const std::string& name = entry.path.Name();
        if (!entry.directory) {
            if (!cursor.GoTo(entry.path.Parent(), false, failed, false)) {
                progress.Status(IDS_CANNOT_ENTER, entry.path.Parent().Text());
                skipped.Add(walk::Printable(entry.path.Text()));
                state[i] = State::LeftOut;
                continue;
            }
            progress.Status(IDS_DELETING, walk::InCurrentDirectory(name));
            if (conn->Remove(walk::InCurrentDirectory(name))) {
                state[i] = State::Removed;
            } else {
                inet::DWORD error = inet::GetLastInternetError();
                // A link some servers will not DELE is left as it is; nothing else would remove it safely.
                if (!entry.link || ConnectionLost(error)) return FailWith(progress, error);
                leave(i);
            }
            if (progress.Aborted()) return Outcome::Aborted;
        } else {
            // Never listed after a failed change of directory: the listing would be of
            // the directory we still stand in, and everything in it would be queued.
            if (!cursor.GoTo(entry.path, false, failed, false)) {
                progress.Status(IDS_CANNOT_ENTER, entry.path.Text());
                skipped.Add(walk::Printable(entry.path.Text()));
                state[i] = State::LeftOut;
                continue;
            }
            if (progress.Aborted()) return Outcome::Aborted;
            bool any = false;
            if (!QueueChildren(conn, entry.path, queue, progress, skipped, any, true,
                               inet::INTERNET_FLAG_RELOAD | inet::FTP_FIND_FLAG_LIST))
                return FailWith(progress, inet::GetLastInternetError());
            if (progress.Aborted()) return Outcome::Aborted;
            state.resize(queue.size(), State::Pending);
            if (!any) {
                progress.Status(IDS_MOVING, "");
                if (removeDirectory(i)) {
                    state[i] = State::Removed;
                } else if (ConnectionLost(inet::GetLastInternetError())) {
                    return FailWith(progress, inet::GetLastInternetError());
                } else {
                    progress.ErrorBox(inet::GetLastInternetError());
                    leave(i);  // a server hiding dot files shows a folder as empty and refuses to remove it
                }
            }
        }
        progress.Step();
    }
    // The directories emptied on the way, deepest queued first.
    for (std::size_t i = queue.size(); i-- > 0;) {
        if (!queue[i].directory || state[i] != State::Pending) continue;
        if (removeDirectory(i))
            state[i] = State::Removed;
        else if (ConnectionLost(inet::GetLastInternetError()))
            return FailWith(progress, inet::GetLastInternetError());
        else
            leave(i);
    }
    cursor.GoTo({}, false, failed);
    return Finish(progress, skipped, 0);
}

std::string MoveUp(inet::FtpConnection* conn, const std::string& current) {
    std::string now = current;
    conn->SetCurrentDirectory("../");
    conn->GetCurrentDirectory(now);
    return now;
}

}  // namespace brovin
