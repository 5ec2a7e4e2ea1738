#include "transfer/upload_walker.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"
#include "common/walk/extension_list.h"
#include "common/walk/remote_path.h"
#include "common/walk/transfer_mode.h"
#include "platform/os/os.h"

#include <sys/stat.h>

namespace transfer {

using walk::RemotePath;

namespace {

// Lists directory `dir` (where `conn` stands when empty), by name. False
// when the listing failed (an empty directory is no failure).
bool ListHere(inet::FtpConnection* conn, std::map<std::string, inet::ListEntry>& out, bool& exactTimes,
              const std::string& dir = "") {
    inet::FtpFileFind find(conn);
    if (!find.FindFile(dir.empty() ? "*.*" : dir + "/*.*"))
        return inet::GetLastInternetError() == inet::ERROR_NO_MORE_FILES;
    exactTimes = find.TimesExact();
    for (bool more = true; more;) {
        more = find.FindNextFile();
        inet::ListEntry e;
        e.name = find.GetFileName();
        e.directory = find.IsDirectory();
        e.link = find.IsLink();
        e.size = find.GetLength();
        e.mtime = find.GetLastWriteTime();
        out[e.name] = e;
    }
    return true;
}

bool LocalFile(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode); }

}  // namespace

std::string ChangedOnlyText(int sent, int upToDate) {
    return layout::Format("%d 個のファイルを転送しました。%d 個のファイルは変更がないため転送しませんでした", sent,
                          upToDate);
}

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
        inet::FtpConnection* conn = session->GetFtpConnection(server, user, password, port, false, {}, security, names);
        login_ = Login{server, user, password, port, security, names};
        return conn;
    } catch (const inet::InternetException& e) {
        failure = e.ErrorMessage();
        return nullptr;
    }
}

void UploadWalker::Stop() {
    std::lock_guard<std::mutex> lock(sessionMu_);
    stopped_ = true;
    if (session_) session_->Close();
    if (extras_) extras_->Close(true);
}

std::string UploadWalker::Shown(std::size_t i) const {
    return walk::Printable(walk::RelativePath(rootDir_, tree_.items[i].path));
}

void UploadWalker::Skip(std::size_t i, walk::Skip why, const std::string& reason) {
    const std::string name = Shown(i);
    report_.Skipped(name + (reason.empty() ? std::string(walk::SkipText(why)) : " : " + reason), why);
    // Files sent side by side finish in any order: the first is the first in the walk.
    if (skipped_++ == 0 || i < firstSkippedItem_) {
        firstSkipped_ = name;
        firstSkippedItem_ = i;
    }
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
    sent_ = 0;
    upToDate_ = 0;
    folders_.clear();
    stamping_.clear();
    winreg::DWORD changedOnly = 0;
    SettingKey options;
    if (options.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey) == winreg::ERROR_SUCCESS)
        options.ReadDword(layout::kSendChangedOnly, changedOnly);
    changedOnly_ = changedOnly == 1;
    // Without the value (a store from before the option) one connection, as always.
    winreg::DWORD connections = 1;
    options.ReadDword(layout::kConnections, connections);
    connections_ = static_cast<int>(layout::ConnectionsFromStore(connections));
    parallel_ = false;
    inFlight_.clear();
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
        handedOver_ = false;
        if (!step(i, outcome)) return outcome;
        if (!handedOver_) report_.ItemDone();
        if (!Collect(outcome)) return outcome;
    }
    if (!Drain(outcome)) return outcome;
    if (Abandoned()) return Outcome::Aborted;
    if (changedOnly_) SaveRecords();
    return skipped_ > 0 ? Outcome::Incomplete : Outcome::Completed;
}

Outcome UploadWalker::UploadTree(inet::FtpConnection* connection, const std::string& rootDir,
                                 const std::vector<std::string>& paths) {
    Begin(connection, rootDir, paths);
    parallel_ = true;
    const Outcome end = Walk([this](std::size_t i, Outcome& outcome) {
        bool folder = false;
        if (walk::Skip why = tree_.Classify(i, folder); why != walk::Skip::None) {
            Skip(i, why);
            return true;
        }
        return folder ? Folder(i, outcome) : File(i, outcome);
    });
    // A halt lets the files under way end whole; an abort cuts them.
    EndExtras(end == Outcome::Aborted);
    return end;
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
    // Where the parent's listing shows the directory, it is not entered
    // until a file has to go into it; where it shows none, it is made. A
    // file or a link of that name is no proof: it is entered, as without a listing.
    bool there = false;
    if (ListedFrom(path.Parent())) {
        const RemoteFolder& parent = FolderAt(path.Parent());
        const auto entry = parent.server.find(path.Name());
        there = entry != parent.server.end() && entry->second.directory && !entry->second.link;
        if (there)
            cursor_->Known(path, true);
        else if (entry == parent.server.end() && (parent.listed || cursor_->Made(path.Parent())))
            cursor_->Known(path, false);
    }
    std::string failed;
    if (!there && !cursor_->GoTo(path, true, failed)) {
        // Its parent was entered already: only this folder's own name can be the one. Its contents go unread.
        if (SkipUnwritableName(i, inet::GetLastInternetError())) return true;
        return Halt(Halt::FolderNotEntered, failed, 0, outcome);
    }
    report_.FolderEntered(cursor_->Name(path));
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
    // Looked at from where the cursor stands: a file that stays needs no move.
    const bool listedFrom = ListedFrom(path.Parent());
    if (listedFrom && Unchanged(i, FolderAt(path.Parent()), path.Name())) return true;
    std::string failed;
    if (!cursor_->GoTo(path.Parent(), true, failed)) return Halt(Halt::ParentNotMade, failed, 0, outcome);
    if (changedOnly_ && !listedFrom && Unchanged(i, FolderHere(), path.Name())) return true;
    // Gone since it was listed, and made again: what the listing showed is not there now.
    if (listedFrom && cursor_->Made(path.Parent())) {
        RemoteFolder& f = FolderHere();
        f.listed = false;
        f.server.clear();
    }
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
    if (changedOnly_ && Unchanged(i, FolderHere(), name)) return true;
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
    const bool byteForByte = type == walk::kBinaryMode && sent == item;
    SendJob job{i, item, sent, cursor_->Here(), name, static_cast<inet::DWORD>(type), changedOnly_};
    if (parallel_ && HandOver(job)) {
        inFlight_[i] = InFlight{cursor_->Path(), byteForByte};
        handedOver_ = true;
        return true;
    }
    return SendHere(job, byteForByte, outcome);
}

bool UploadWalker::SendHere(const SendJob& job, bool byteForByte, Outcome& outcome) {
    const bool ok = conn_->PutFile(job.sent, walk::InCurrentDirectory(job.name), job.type);
    const inet::DWORD error = inet::GetLastInternetError();
    // After a failed upload too: nothing else would remove the copy.
    walk::RemoveTempCopy(job.sent);
    if (!ok) return SendFailed(job.item, job.name, error, outcome);
    ++sent_;
    if (job.stamp)
        if (auto f = StampSent(conn_, job.file, job.name)) {
            RemoteFolder& folder = FolderHere();
            // Noted at once, so that a later file of this name here knows that one went; noted again, in the
            // order they went, once MFMT's answer is read (by the next command, see NoteStamped).
            folder.sentNow[job.name] = f->record;
            stamping_.push_back(Stamping{&folder, job.name, std::move(*f), byteForByte});
        }
    return true;
}

void UploadWalker::NoteStamped(bool all) {
    if (all && !stamping_.empty()) conn_->FinishDeferred();  // leaves no answer owed, whatever it returns
    while (!stamping_.empty() && stamping_.front().stamped.Known()) {
        const Stamping& s = stamping_.front();
        Sent(*s.folder, s.name, s.stamped.Final(), s.byteForByte);
        stamping_.pop_front();
    }
}

bool UploadWalker::SendFailed(std::size_t i, const std::string& name, inet::DWORD error, Outcome& outcome) {
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

bool UploadWalker::HandOver(SendJob& job) {
    if (connections_ < 2) return false;
    if (!extras_) {
        // Another login starts elsewhere: only a directory the server named absolutely can be found from there.
        if (job.directory.empty() || job.directory[0] != '/' || login_.server.empty()) {
            connections_ = 1;
            return false;
        }
        Login login = login_;
        login.names = conn_->Names();
        std::lock_guard<std::mutex> lock(sessionMu_);
        if (stopped_) return false;
        extras_ = std::make_unique<ExtraConnections>(login, connections_ - 1);
    }
    return extras_->Offer(job);
}

bool UploadWalker::Collect(Outcome& outcome) {
    NoteStamped(false);
    if (!extras_) return true;
    for (const SendResult& r : extras_->Finished()) {
        const std::size_t i = r.job.item;
        const bool byteForByte = inFlight_[i].byteForByte;
        inFlight_.erase(i);
        if (!r.ok) {
            inet::SetLastInternetError(r.error);
            inet::SetLastResponseInfo(r.reply);
            if (!SendFailed(i, r.job.name, r.error, outcome)) return false;
        } else {
            ++sent_;
            if (const auto f = folders_.find(r.job.directory); r.record && f != folders_.end())
                Sent(f->second, r.job.name, r.record->Final(), byteForByte);
        }
        report_.ItemDone();
    }
    return true;
}

bool UploadWalker::Drain(Outcome& outcome) {
    while (extras_ && extras_->Pending() > 0) {
        if (Abandoned()) {
            outcome = Outcome::Aborted;
            return false;
        }
        SendJob job;
        if (extras_->TakeBack(job)) {
            // Every extra connection is gone: the file goes over ours, from its own directory.
            const InFlight f = inFlight_[job.item];
            inFlight_.erase(job.item);
            std::string failed;
            if (!cursor_->GoTo(f.parent, false, failed, false)) {
                walk::RemoveTempCopy(job.sent);
                return Halt(Halt::ParentNotMade, failed, 0, outcome);
            }
            if (!SendHere(job, f.byteForByte, outcome)) return false;
            report_.ItemDone();
            continue;
        }
        // Bounded: an abort that comes only as the report's answer is seen within this.
        extras_->Wait(50);
        if (!Collect(outcome)) return false;
    }
    return true;
}

void UploadWalker::EndExtras(bool now) {
    std::unique_ptr<ExtraConnections> extras;
    {
        std::lock_guard<std::mutex> lock(sessionMu_);
        extras = std::move(extras_);
    }
    if (extras) extras->Close(now);
    inFlight_.clear();
}

bool UploadWalker::ListedFrom(const RemotePath& path) const {
    if (!changedOnly_ || !cursor_->Absolute()) return false;
    // LIST may take a name's wildcard characters as a pattern (MLSD never does): such a directory is entered.
    return path == cursor_->Path() || cursor_->Name(path).find_first_of("*?[") == std::string::npos;
}

UploadWalker::RemoteFolder& UploadWalker::FolderHere() { return FolderAt(cursor_->Path()); }

UploadWalker::RemoteFolder& UploadWalker::FolderAt(const RemotePath& path) {
    const std::string here = cursor_->Name(path);
    auto [it, made] = folders_.try_emplace(here);
    RemoteFolder& f = it->second;
    if (!made) return f;
    f.path = path;
    f.record = LoadSentRecord(provider_, here);
    // Made by this walk: it held nothing then, and only this walk has put anything in since.
    if (cursor_->Made(path)) return f;
    f.listed = ListHere(conn_, f.server, f.exactTimes, path == cursor_->Path() ? "" : here);
    // A listing that failed holds nothing: every file here is then sent.
    if (!f.listed) f.server.clear();
    return f;
}

bool UploadWalker::Unchanged(std::size_t i, RemoteFolder& f, const std::string& name) {
    const std::string& item = tree_.items[i].path;
    struct stat st {};
    const auto remote = f.server.find(name);
    // Sent already in this walk (two files of one name routed to one directory): the later one goes too.
    if (!LocalFile(item, st) || remote == f.server.end() || remote->second.directory || remote->second.link ||
        f.sentNow.count(name))
        return false;
    const inet::ListEntry& there = remote->second;
    const auto localSize = static_cast<std::uint64_t>(st.st_size);
    const std::int64_t localTime = st.st_mtime;
    bool same = false;
    if (const auto r = f.record.find(name); r != f.record.end()) {
        const SentFile& was = r->second;
        // The server's size is looked at every time: someone else may have replaced the file.
        same = was.localSize == localSize && was.localTime == localTime && was.sentSize == there.size &&
               (!f.exactTimes || was.remoteTime == 0 || was.remoteTime == there.mtime);
    } else {
        // No record (another machine sent it, or the record is gone): only a
        // file that goes byte for byte, whose time we set exactly, proves itself.
        same = walk::TransferTypeFor(item) == walk::kBinaryMode && f.exactTimes && there.size == localSize &&
               there.mtime == localTime;
    }
    if (!same) return false;
    ++upToDate_;
    report_.UpToDate(Shown(i));
    return true;
}

void UploadWalker::Sent(RemoteFolder& folder, const std::string& name, const SentFile& sent, bool byteForByte) {
    // Bytes sent as they are arrive as they are; the time is ours where it was set, and where the
    // server lists times to the minute only none is kept. Anything else is learnt from a listing.
    if (!byteForByte || !(sent.remoteTime != 0 || (folder.listed && !folder.exactTimes))) folder.mustLook = true;
    folder.sentNow[name] = sent;
}

bool UploadWalker::LookAgain(const RemoteFolder& f, std::map<std::string, inet::ListEntry>& out, bool& exactTimes) {
    // Listed by its absolute name where the walk listed it so: no change of directory for each folder.
    if (f.path != cursor_->Path() && ListedFrom(f.path))
        return ListHere(conn_, out, exactTimes, cursor_->Name(f.path));
    std::string failed;
    return cursor_->GoTo(f.path, false, failed, false) && ListHere(conn_, out, exactTimes);
}

void UploadWalker::SaveRecords() {
    NoteStamped(true);
    for (auto& [here, f] : folders_) {
        if (f.sentNow.empty() || Abandoned()) continue;
        std::map<std::string, inet::ListEntry> after;
        bool exactTimes = false;
        // What cannot be looked at again is not recorded: those files are simply sent next time.
        if (f.mustLook && !LookAgain(f, after, exactTimes)) continue;
        SentRecord record;
        for (const auto& [name, was] : f.record)
            if (f.server.count(name) && (!f.mustLook || after.count(name))) record[name] = was;
        for (auto& [name, now] : f.sentNow) {
            if (f.mustLook) {
                const auto e = after.find(name);
                if (e == after.end() || e->second.directory) continue;
                now.sentSize = e->second.size;
                now.remoteTime = exactTimes ? e->second.mtime : 0;
            }
            record[name] = now;
        }
        SaveSentRecord(provider_, here, record);
    }
}

void UploadWalker::ReturnToStart() {
    if (!cursor_) return;
    std::string failed;
    cursor_->GoTo(RemotePath(), false, failed);
}

}  // namespace transfer
