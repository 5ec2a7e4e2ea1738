// The one upload walker: sends a selection of local files and folders to
// the server, for the transfer program (the context menu's upload) and for
// the remote browser alike. It reports every step through UploadReport,
// which each program turns into its own texts; it never touches a window.
// A walker is an object: two can run side by side in one process.
#pragma once

#include "common/walk/local_tree.h"
#include "common/walk/remote_cursor.h"
#include "platform/inet/inet.h"
#include "transfer/extra_connections.h"
#include "transfer/sent_record.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace transfer {

enum class Outcome {
    Completed,   // everything sent
    Incomplete,  // done, but some items were left out (each reported with Skipped)
    Failed,      // stopped by an error, reported with Halted
    Aborted,     // stopped by Stop or by the report's Aborted
};

// Why a walk stopped before its end.
enum class Halt {
    FolderNotEntered,  // a selected folder's directory could be neither entered nor made (`name`: the one)
    ParentNotMade,     // a file's directory could be neither entered nor made (`name`: the one)
    FtpError,          // an FTP command failed (`code`: the error)
};

// What the walker tells as it goes, always on the walker's thread (files
// sent over extra connections are reported from there too, one call at a
// time). Every call but Skipped and Halted may be ignored.
class UploadReport {
public:
    virtual ~UploadReport() = default;
    // The work list holds `count` items now (it grows as folders are read);
    // then the walk is on item `shown` (its path below the selection's folder, printable).
    virtual void Item(int count, const std::string& shown) {
        (void)count;
        (void)shown;
    }
    // A folder: before its directory is looked for, and once the walker
    // stands in it or knows it is there (`here`: the server's path).
    virtual void FolderStarted() {}
    virtual void FolderEntered(const std::string& here) { (void)here; }
    // A file, before it is sent: `relative` is its path below the selection's
    // folder as it stands (raw bytes), `shown` the same printable.
    virtual void FileStarted(const std::string& relative, const std::string& shown) {
        (void)relative;
        (void)shown;
    }
    // Before each change of directory, and before a directory is made.
    virtual void Moving() {}
    virtual void Creating(const std::string& directory) { (void)directory; }
    // A status text of its own ("EUCコードへ変換中...").
    virtual void Converting(const std::string& text) { (void)text; }
    // The file's bytes are about to go.
    virtual void Sending() {}
    // A file left alone because the server holds it as it was last sent
    // (only when the option to send changed files only is on); no failure.
    virtual void UpToDate(const std::string& shown) { (void)shown; }
    // An item is finished (sent, left out, or a folder read).
    virtual void ItemDone() {}
    // An item left out and why, with the text that names it (its printable
    // path followed by walk::SkipText, or for a name the server's encoding
    // cannot hold, BadName with " : " and the FTP client's text); the walk goes on.
    virtual void Skipped(const std::string& text, walk::Skip why) = 0;
    // The walk stops here.
    virtual void Halted(Halt why, const std::string& name, inet::DWORD code) = 0;
    // Polled between steps: true stops the walk (Outcome::Aborted).
    virtual bool Aborted() { return false; }
};

// A per-extension rule: files whose extension is a whole entry of
// `extensions` go into `directory` (below where the walk stands).
struct ExtensionRule {
    std::string extensions;
    std::string directory;
};

// How every program ends an upload that sent only what changed: "S 個の
// ファイルを転送しました。N 個のファイルは変更がないため転送しませんでした".
std::string ChangedOnlyText(int sent, int upToDate);

class UploadWalker {
public:
    explicit UploadWalker(UploadReport& report);
    UploadWalker(const UploadWalker&) = delete;
    UploadWalker& operator=(const UploadWalker&) = delete;

    // Connects and logs in with the walker's own session, file names in the
    // encoding `names` says, and keeps how for the extra connections.
    // nullptr, with the error's message in `failure`, when that fails or Stop came first.
    inet::FtpConnection* Connect(const std::string& server, const std::string& user, const std::string& password,
                                 std::uint16_t port, std::string& failure, const inet::Security& security = {},
                                 inet::NameEncoding names = inet::NameEncoding::Auto);

    // How to log in once more like the connection the walker is handed
    // (when it did not Connect itself); unset, it sends over that one alone.
    void SetLogin(const Login& login) { login_ = login; }

    // From any thread, at any time: closes the walker's sessions, the extra
    // connections' too (a connect, a login or a transfer under way fails at
    // once), a connect not yet begun never starts, and the walk stops at its next step.
    void Stop();
    bool Stopped() const { return stopped_; }

    // Sends `paths` below where `connection` stands: each folder recreated
    // (made when missing) with its contents, each file with the transfer
    // mode and conversion of the options. `rootDir` is the folder the paths
    // are taken relative to. A folder is read before its directory is made,
    // so that one that cannot be read is not created empty.
    // With the option "Connections" above 1 (and a login known, and the
    // connection standing in an absolute path), files also go over that
    // many connections less one, opened when the first file is about to go;
    // one that cannot log in is simply not used. Directories are made on
    // `connection` only, each before any of its files goes. Returns only
    // when every extra connection has ended.
    Outcome UploadTree(inet::FtpConnection* connection, const std::string& rootDir,
                       const std::vector<std::string>& paths);

    // Sends every file of `paths`, however deep, flat into the directory the
    // first rule naming its extension gives; a file no rule names, or whose
    // directory is missing, goes where the walk stands then. Directories are
    // never made. Always over `connection` alone: two files may go to one
    // name, and the later one must arrive last.
    // `rootDir` only names the items in the reports.
    Outcome UploadByExtension(inet::FtpConnection* connection, const std::string& rootDir,
                              const std::vector<std::string>& paths, const std::vector<ExtensionRule>& rules);

    // Goes back to where the last upload started.
    void ReturnToStart();

    // Names the provider whose record of sent files the uploads keep and
    // read when the option "SendChangedOnly" is on (read at each upload's
    // start). With it on, before the first file or folder of a directory the
    // walker lists that directory once (unless the walk made it: it is
    // empty), by its absolute name where it can, and enters a directory only
    // to make it or to send into it; it sends a file only when it is not
    // provably the one last sent (see Unchanged); after the walk it lists
    // again each directory it sent into where what the server made of a file
    // is not known already, and records what the server holds. Nothing on
    // the server is ever removed.
    void SetProvider(const std::string& provider) { provider_ = provider; }
    // Whether the last upload sent only what changed.
    bool ChangedOnly() const { return changedOnly_; }
    // What the last upload sent, and what it left alone as unchanged.
    int SentCount() const { return sent_; }
    int UpToDateCount() const { return upToDate_; }

    // What the last upload left out: how many, and the first of them in the walk's order (printable).
    int SkippedCount() const { return skipped_; }
    const std::string& FirstSkipped() const { return firstSkipped_; }

private:
    // Each returns false when the walk ends there, with `outcome` set.
    bool Folder(std::size_t i, Outcome& outcome);
    bool File(std::size_t i, Outcome& outcome);
    bool ExtensionFile(std::size_t i, const std::vector<ExtensionRule>& rules, Outcome& outcome);
    // Sends item `i` as `name` where the cursor stands, or hands it to an
    // extra connection (then reported when Collect finds it finished).
    bool Put(std::size_t i, const std::string& name, Outcome& outcome);
    // What follows a send that failed with `error`: the item skipped when
    // the error is the item's own (true), else the walk halts.
    // Sends `job` over the walker's own connection, where the cursor stands.
    bool SendHere(const SendJob& job, bool byteForByte, Outcome& outcome);
    bool SendFailed(std::size_t i, const std::string& name, inet::DWORD error, Outcome& outcome);
    // Hands `job` to an extra connection, opening them first when this is
    // the first file; false when it is the caller's to send.
    bool HandOver(SendJob& job);
    // Notes the files the walker's own connection sent whose MFMT answer is in, in the order they went
    // (with `all`, reading every answer still owed first).
    void NoteStamped(bool all);
    // Reports the files the extra connections finished; false when one halts the walk.
    bool Collect(Outcome& outcome);
    // Waits for every file under way, sending on the walker's connection
    // what no extra connection is left to take; false when the walk ends there.
    bool Drain(Outcome& outcome);
    // Closes the extra connections (at once when `now`, else after the file
    // each is sending) and waits for their threads.
    void EndExtras(bool now);
    // A remote directory as this walk found it: what the server listed
    // there, and the record of what was sent there before and now.
    struct RemoteFolder {
        walk::RemotePath path;  // below the base, for going back to it
        bool listed = false;    // the server listed it (a directory the walk made is not asked)
        bool exactTimes = false;
        std::map<std::string, inet::ListEntry> server;
        SentRecord record;
        SentRecord sentNow;
        // Some file of sentNow may have a size or time on the server other
        // than the one noted (text mode, conversion, no time set): listed again after the walk.
        bool mustLook = false;
    };
    // Directory `path` below the base, listed on the first call for it (by
    // its absolute name when the cursor stands elsewhere); FolderHere: where the cursor stands.
    RemoteFolder& FolderAt(const walk::RemotePath& path);
    RemoteFolder& FolderHere();
    // Whether directory `path` is listed and looked at from wherever the
    // cursor stands rather than entered first: with the option to send
    // changed files only, where the server named the base absolutely.
    bool ListedFrom(const walk::RemotePath& path) const;
    // Lists folder `f` again after the walk; false when it cannot be listed.
    bool LookAgain(const RemoteFolder& f, std::map<std::string, inet::ListEntry>& out, bool& exactTimes);
    // Whether item `i`, to go in as `name` into directory `f`, is
    // provably the file the server holds: the server lists it, and either
    // the record says it was sent from the local file as it is now, with the
    // size (and, listed to the second, the time) the server still shows, or
    // it goes byte for byte, the listing is to the second and the server
    // shows the local size and the local time exactly (a time set after an
    // earlier upload). A server time that is merely later proves nothing.
    bool Unchanged(std::size_t i, RemoteFolder& f, const std::string& name);
    // Notes for the record of `folder` that `name` went as `sent` (from
    // StampSent; `byteForByte`: in binary mode, unconverted).
    void Sent(RemoteFolder& folder, const std::string& name, const SentFile& sent, bool byteForByte);
    // Stores the record of each directory sent into, listing it again where needed.
    void SaveRecords();
    bool Halt(transfer::Halt why, const std::string& name, inet::DWORD code, Outcome& outcome);
    void Skip(std::size_t i, walk::Skip why, const std::string& reason = "");
    // Leaves out item `i` when `error` says its name has a character the
    // server's encoding lacks; false for any other error.
    bool SkipUnwritableName(std::size_t i, inet::DWORD error);
    bool Abandoned() { return stopped_ || report_.Aborted(); }
    std::string Shown(std::size_t i) const;
    void Begin(inet::FtpConnection* connection, const std::string& rootDir, const std::vector<std::string>& paths);
    Outcome Walk(const std::function<bool(std::size_t, Outcome&)>& step);

    UploadReport& report_;
    std::mutex sessionMu_;  // Stop and Connect never cross: a session is closed or not yet made
    std::unique_ptr<inet::InternetSession> session_;
    std::unique_ptr<ExtraConnections> extras_;  // under sessionMu_: Stop closes them
    std::atomic<bool> stopped_{false};
    Login login_;
    int connections_ = 1;
    bool parallel_ = false;  // this walk may hand files over
    bool handedOver_ = false;  // the current item went to an extra connection
    // The files handed over and not yet reported: where each goes below the base, and whether it goes byte for byte.
    struct InFlight {
        walk::RemotePath parent;
        bool byteForByte = false;
    };
    std::map<std::size_t, InFlight> inFlight_;
    // Files sent over the walker's own connection whose MFMT answer is still owed, oldest first.
    struct Stamping {
        RemoteFolder* folder;  // folders_ keeps its entries in place until the next walk begins
        std::string name;
        Stamped stamped;
        bool byteForByte = false;
    };
    std::deque<Stamping> stamping_;

    inet::FtpConnection* conn_ = nullptr;
    std::unique_ptr<walk::RemoteCursor> cursor_;
    walk::LocalTree tree_;
    std::string rootDir_;
    int skipped_ = 0;
    std::size_t firstSkippedItem_ = 0;
    std::string firstSkipped_;
    std::string provider_;
    bool changedOnly_ = false;
    int sent_ = 0;
    int upToDate_ = 0;
    std::map<std::string, RemoteFolder> folders_;  // by the server's path
};

}  // namespace transfer
