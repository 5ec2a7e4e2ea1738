#include "transfer/upload_walker.h"

#include "common/walk/extension_list.h"
#include "common/walk/remote_path.h"
#include "common/walk/transfer_mode.h"
#include "platform/os/os.h"

namespace transfer {

using walk::RemotePath;

UploadWalker::UploadWalker(UploadReport& report) : report_(report) {}

inet::FtpConnection* UploadWalker::Connect(const std::string& server, const std::string& user,
                                           const std::string& password, std::uint16_t port, std::string& failure,
                                           const inet::Security& security, inet::NameEncoding names) {
    inet::InternetSession* session = nullptr;
    {
        std::lock_guard<std::mutex> lock(sessionMu_);
        if (stopped_) {
            failure = inet::InternetErrorText(inet::ERROR_INTERNET_OPERATION_CANCELLED);
            inet::SetLastInternetError(inet::ERROR_INTERNET_OPERATION_CANCELLED);
            return nullptr;
        }
        session_ = std::make_unique<inet::InternetSession>();
        session = session_.get();
    }
    // Outside the lock: Stop closes the session under it, and the connect then fails at once.
    try {
        return session->GetFtpConnection(server, user, password, port, false, {}, security, names);
    } catch (const inet::InternetException& e) {
        failure = e.ErrorMessage();
        return nullptr;
    }
}

void UploadWalker::Stop() {
    std::lock_guard<std::mutex> lock(sessionMu_);
    stopped_ = true;
    if (session_) session_->Close();
}

std::string UploadWalker::Shown(std::size_t i) const {
    return walk::Printable(walk::RelativePath(rootDir_, tree_.items[i].path));
}

void UploadWalker::Skip(std::size_t i, walk::Skip why, const std::string& reason) {
    const std::string name = Shown(i);
    report_.Skipped(name + (reason.empty() ? std::string(walk::SkipText(why)) : " : " + reason), why);
    if (skipped_++ == 0) firstSkipped_ = name;
}

bool UploadWalker::SkipUnwritableName(std::size_t i, inet::DWORD error) {
    if (error != inet::ERROR_NO_UNICODE_TRANSLATION) return false;
    // The client refused it before sending anything: the server never saw a mangled name.
    Skip(i, walk::Skip::BadName, inet::InternetErrorText(error));
    return true;
}

bool UploadWalker::Halt(transfer::Halt why, const std::string& name, inet::DWORD code, Outcome& outcome) {
    // A failure the stop caused is no failure of the server's.
    if (Abandoned()) {
        outcome = Outcome::Aborted;
        return false;
    }
    report_.Halted(why, name, code);
    outcome = Outcome::Failed;
    return false;
}

void UploadWalker::Begin(inet::FtpConnection* connection, const std::string& rootDir,
                         const std::vector<std::string>& paths) {
    conn_ = connection;
    rootDir_ = rootDir;
    skipped_ = 0;
    firstSkipped_.clear();
    tree_.items.clear();
    for (const auto& p : paths) tree_.items.push_back(walk::LocalItem{p});
    cursor_ = std::make_unique<walk::RemoteCursor>(connection);
    cursor_->hooks.moving = [this] { report_.Moving(); };
    cursor_->hooks.creating = [this](const std::string& dir) { report_.Creating(dir); };
    cursor_->SetBase();
}

Outcome UploadWalker::Walk(const std::function<bool(std::size_t, Outcome&)>& step) {
    Outcome outcome = Outcome::Completed;
    // The list grows while it is walked: a folder's entries are appended to it.
    for (std::size_t i = 0; i < tree_.items.size(); ++i) {
        if (Abandoned()) return Outcome::Aborted;
        report_.Item(static_cast<int>(tree_.items.size()), Shown(i));
        if (!step(i, outcome)) return outcome;
        report_.ItemDone();
    }
    if (Abandoned()) return Outcome::Aborted;
    return skipped_ > 0 ? Outcome::Incomplete : Outcome::Completed;
}

Outcome UploadWalker::UploadTree(inet::FtpConnection* connection, const std::string& rootDir,
                                 const std::vector<std::string>& paths) {
    Begin(connection, rootDir, paths);
    return Walk([this](std::size_t i, Outcome& outcome) {
        bool folder = false;
        if (walk::Skip why = tree_.Classify(i, folder); why != walk::Skip::None) {
            Skip(i, why);
            return true;
        }
        return folder ? Folder(i, outcome) : File(i, outcome);
    });
}

bool UploadWalker::Folder(std::size_t i, Outcome& outcome) {
    report_.FolderStarted();
    const RemotePath path = RemotePath::Parse(walk::RelativePath(rootDir_, tree_.items[i].path));
    if (!path.Sendable()) {
        Skip(i, walk::Skip::BadName);
        return true;
    }
    // Read before the remote directory is made: a folder that cannot be read is not created empty.
    std::vector<std::string> entries;
    if (!walk::FolderEntries(tree_.items[i].path, entries)) {
        Skip(i, walk::Skip::Unlistable);
        return true;
    }
    std::string failed;
    if (!cursor_->GoTo(path, true, failed)) {
        // Its parent was entered already: only this folder's own name can be the one. Its contents go unread.
        if (SkipUnwritableName(i, inet::GetLastInternetError())) return true;
        return Halt(Halt::FolderNotEntered, failed, 0, outcome);
    }
    report_.FolderEntered(cursor_->Here());
    for (auto& e : entries) tree_.items.push_back(walk::LocalItem{std::move(e), static_cast<long>(i)});
    return true;
}

bool UploadWalker::File(std::size_t i, Outcome& outcome) {
    const std::string relative = walk::RelativePath(rootDir_, tree_.items[i].path);
    report_.FileStarted(relative, walk::Printable(relative));
    const RemotePath path = RemotePath::Parse(relative);
    if (path.Empty() || !path.Sendable()) {
        Skip(i, walk::Skip::BadName);
        return true;
    }
    std::string failed;
    if (!cursor_->GoTo(path.Parent(), true, failed)) return Halt(Halt::ParentNotMade, failed, 0, outcome);
    return Put(i, path.Name(), outcome);
}

Outcome UploadWalker::UploadByExtension(inet::FtpConnection* connection, const std::string& rootDir,
                                        const std::vector<std::string>& paths,
                                        const std::vector<ExtensionRule>& rules) {
    Begin(connection, rootDir, paths);
    // Flattened first: every file however deep, in the order a folder walk meets them.
    std::vector<walk::LocalItem> files;
    for (std::size_t i = 0; i < tree_.items.size(); ++i) {
        bool folder = false;
        walk::Skip why = tree_.Classify(i, folder);
        if (folder && tree_.Expand(i)) continue;
        files.push_back(tree_.items[i]);
        files.back().skip = folder ? walk::Skip::Unlistable : why;
    }
    tree_.items = std::move(files);
    return Walk([this, &rules](std::size_t i, Outcome& outcome) {
        if (tree_.items[i].skip != walk::Skip::None) {
            Skip(i, tree_.items[i].skip);
            return true;
        }
        return ExtensionFile(i, rules, outcome);
    });
}

bool UploadWalker::ExtensionFile(std::size_t i, const std::vector<ExtensionRule>& rules, Outcome& outcome) {
    const os::PathParts p = os::SplitPath(tree_.items[i].path);
    const std::string name = p.base + p.extension;
    report_.FileStarted(name, walk::Printable(name));
    if (!RemotePath({name}).Sendable()) {
        Skip(i, walk::Skip::BadName);
        return true;
    }
    for (const auto& r : rules) {
        if (!walk::ExtensionListed(p.extension, r.extensions)) continue;
        // Never made: a missing directory is skipped and the file goes where the walker got to. "." and
        // ".." are skipped too: the walker keeps track of where it stands by the names it entered.
        const RemotePath directory = RemotePath::Parse(r.directory);
        std::vector<std::string> target;
        for (const auto& c : directory.Parts())
            if (c != "." && c != "..") target.push_back(c);
        std::string failed;
        if (!cursor_->GoTo(RemotePath(target), false, failed))
            return Halt(Halt::FtpError, failed, inet::GetLastInternetError(), outcome);
        break;
    }
    return Put(i, name, outcome);
}

bool UploadWalker::Put(std::size_t i, const std::string& name, Outcome& outcome) {
    const std::string item = tree_.items[i].path;
    std::string sent;
    if (!walk::ConvertForUpload(item, sent, [this](const std::string& text) { report_.Converting(text); })) {
        Skip(i, walk::Skip::NotConverted);
        return true;
    }
    if (Abandoned()) {
        walk::RemoveTempCopy(sent);
        outcome = Outcome::Aborted;
        return false;
    }
    report_.Sending();
    const int type = walk::TransferTypeFor(item);
    const bool ok = conn_->PutFile(sent, walk::InCurrentDirectory(name), static_cast<inet::DWORD>(type));
    const inet::DWORD error = inet::GetLastInternetError();
    // After a failed upload too: nothing else would remove the copy.
    walk::RemoveTempCopy(sent);
    if (ok) return true;
    // Refused before anything went to the server: this item is left out, the rest still goes.
    if (SkipUnwritableName(i, error)) return true;
    if (error == inet::ERROR_INVALID_NAME) {
        Skip(i, walk::Skip::BadName);
        return true;
    }
    if (error == inet::ERROR_FILE_NOT_FOUND) {
        Skip(i, walk::Skip::Unreadable);
        return true;
    }
    return Halt(Halt::FtpError, name, error, outcome);
}

void UploadWalker::ReturnToStart() {
    if (!cursor_) return;
    std::string failed;
    cursor_->GoTo(RemotePath(), false, failed);
}

}  // namespace transfer
