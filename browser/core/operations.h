// The browser's remote commands as plain functions over one FTP connection:
// the upload, download and delete walks with their status texts, progress
// steps and abort checks, and the three single commands. Each walk starts and
// ends where the server stood when it was called.
#pragma once

#include "browser/core/document.h"
#include "common/registry/layout.h"
#include "platform/inet/inet.h"
#include "transfer/upload_walker.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brovin {

// What a walk reports to the progress dialog. Called on the worker's thread.
class Progress {
public:
    virtual ~Progress() = default;
    // A status text: string id and the argument for its "%1" (IDS_TEXT: the argument is the text).
    virtual void Status(int id, const std::string& arg) = 0;
    // The bar's range becomes 0 … count, with step 1.
    virtual void SetRange(int count) = 0;
    virtual void Step() = 0;
    // Polled at fixed points: true once the user pressed abort or the dialog went away.
    virtual bool Aborted() = 0;
    // The delete walk's "Error : %d" box; returns when the user has answered it.
    virtual void ErrorBox(inet::DWORD code) = 0;
    // How long a failure's text stays before the walk ends (a real wait unless a test says otherwise).
    virtual void Pause(int ms);
    // The end of a walk that left `count` items out, `first` the first of
    // them: 61263 with the count (this default), followed by the name where
    // the text is shown.
    virtual void LeftOut(int count, const std::string& first);
};

// Completed, Incomplete (items left out, each named in a status text, then
// LeftOut), Failed (its text is the last status) or Aborted.
using Outcome = transfer::Outcome;

// An item selected in the list: its name and whether the server listed it as a directory.
struct RemoteItem {
    std::string name;
    bool directory = false;
    bool link = false;  // the listing showed a symbolic link
};

// The hand-off key name of the browser's uploads: the document's root, or
// the login-directory entry's name when the root is empty (an empty key name
// would put the values into the provider's own key).
std::string UploadKeyName(const std::string& root);
// Writes the browser's own upload queue UploadQueue\<provider>\<keyName>
// (apart from the context menu's hand-off under Selected) afresh, with
// "Selected%d" and "RootDir" (the folder of the first path that has one), in
// one transaction. Returns the store status.
winreg::LONG WriteUploadHandOff(const std::string& provider, const std::string& keyName,
                                const std::vector<std::string>& paths);
// Reads exactly that key back and deletes it, then its provider key and
// UploadQueue when they are left empty. False, with nothing deleted, when
// the key is missing, holds no path or cannot be read or deleted.
bool TakeUploadHandOff(const std::string& provider, const std::string& keyName, layout::HandOff& out);

// Uploads the hand-off written for (provider, keyName) into the current
// directory: folders recreated below it (created when missing), files with
// the transfer mode and conversion of the options. Failed, with a status
// text, when the hand-off is gone.
// With `login` (how to log in like `connection`), files also go over the
// extra connections the option "Connections" asks for.
Outcome UploadWalk(inet::FtpConnection* connection, const std::string& provider, const std::string& keyName,
                   Progress& progress, const transfer::Login& login = {});
// How `doc` logs in, with the certificates trusted so far, for an upload's extra connections.
transfer::Login UploadLogin(const CBrovinDoc& doc);

// Downloads the items (directories recursively) into `folder`, below the
// server path of the current directory mirrored as local folders: the file
// /home/user/www/index.html lands in folder/home/user/www/index.html. Names
// that would leave the folder are skipped and named. Each file arrives under a
// temporary name and is renamed when complete, then converted when the options say so.
Outcome DownloadWalk(inet::FtpConnection* connection, const std::vector<RemoteItem>& items, const std::string& folder,
                     Progress& progress);

// Deletes the items: files at once, directories after their contents. A
// directory that cannot be entered is left alone and nothing below it is listed.
// A symbolic link is removed itself and never entered, whatever it points to:
// links are told by the "l" lines of LIST (of the current directory for the
// items, of each directory for its contents), which every server we know
// sends, while MLSD may report a link as its target. A link or directory the
// server will not remove is named, counted, and the walk ends Incomplete.
Outcome DeleteWalk(inet::FtpConnection* connection, const std::vector<RemoteItem>& items, Progress& progress);

// Moves to the parent directory; returns the directory the server then reports (the old one when it would not say).
std::string MoveUp(inet::FtpConnection* connection, const std::string& current);

// Whether an error code means the connection itself is gone (the text then
// goes out as 61236 with the message, not as 61235 with the number).
bool ConnectionLost(inet::DWORD code);

// What the user is told about an FTP call of this thread that failed with
// `code`: for an error reply the server's own words, for a refused login the
// message with the server's reply after it ("… (530 Login incorrect.)"),
// otherwise the message table's text, or "エラー <code>" when it has none.
// Always one line.
std::string ErrorText(inet::DWORD code);

// Why a name the user typed for rename or make directory cannot go to the
// server: IDS_NAME_EMPTY, IDS_NAME_UNSENDABLE (a CR, LF or NUL would end the
// command early), or 0 when it can.
int NameProblem(const std::string& name);

}  // namespace brovin
