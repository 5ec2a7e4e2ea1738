// The remote directory picker's work on the server, without a window: it
// logs in with connection values that are still being edited, tells the
// login directory and lists the folders below a directory, with the
// browser's listing and its rule for links. Each call blocks; a window runs
// them on a worker thread and stops them with Stop from its own.
#pragma once

#include "platform/inet/inet.h"

#include <string>
#include <vector>

namespace walk {

// The folders one listing found.
struct FolderListing {
    bool ok = false;
    // When not ok: ERROR_NO_MORE_FILES for a directory with nothing in it,
    // otherwise the code of the failure (12003 when the server refused).
    inet::DWORD error = 0;
    // Full remote paths ("/www/html": the listed directory, "/" and the
    // name): the directories in the listing's order, then the links that
    // lead to folders, as the browser's list orders them; files left out.
    std::vector<std::string> folders;
};

class DirectoryPicker {
public:
    // How many links one listing tries with a change of directory; any
    // further ones count as folders untried (a click on one then tells).
    static constexpr int kLinksProbed = 100;

    DirectoryPicker() = default;
    DirectoryPicker(const DirectoryPicker&) = delete;
    DirectoryPicker& operator=(const DirectoryPicker&) = delete;

    // Connects and logs in, in active mode, encrypted as `security` says,
    // with file names in the encoding `names` says; port 0 means 21. Throws inet::InternetException:
    // ERROR_INTERNET_CANNOT_CONNECT for a port outside 0..65535 (nothing is
    // sent), else what the login throws (ERROR_INTERNET_INVALID_CA for a
    // certificate that fails verification, inet::GetLastCertificate() on the
    // calling thread describing it), and ERROR_INTERNET_OPERATION_CANCELLED
    // once Stop was called. May be called again after it threw.
    void Login(const std::string& server, const std::string& user, const std::string& password, int port,
               const inet::Security& security = {}, inet::NameEncoding names = inet::NameEncoding::Auto);
    // Whether Login succeeded (for the thread that called it).
    bool LoggedIn() const { return connection_ != nullptr; }

    // The directory the login left the connection in, as the server names
    // it. Throws inet::InternetException with the failure's code
    // (ERROR_INVALID_PARAMETER before a login).
    std::string LoginDirectory();

    // The folders of `path`, asked of the server afresh: its directories,
    // and the links it lets us change into (up to kLinksProbed tried, the
    // rest counted as folders). Leaves the connection in some directory of
    // the server: callers give full paths. Not ok before a login
    // (ERROR_INVALID_PARAMETER) or when the directory cannot be entered or
    // listed (the failure's code); an empty directory is not ok with
    // ERROR_NO_MORE_FILES, one with files only is ok with no folders.
    FolderListing ListFolders(const std::string& path);

    // Closes the session from any thread: a login or listing under way
    // fails at once, and every later call fails.
    void Stop() { session_.Close(); }

private:
    inet::InternetSession session_{"", 1};
    inet::FtpConnection* connection_ = nullptr;  // owned by the session; set and used by the calling thread
};

}  // namespace walk
