#include "common/walk/remote_picker.h"

#include "common/walk/remote_listing.h"
#include "common/walk/remote_path.h"

#include <cstdint>

namespace walk {

void DirectoryPicker::Login(const std::string& server, const std::string& user, const std::string& password,
                            int port, const inet::Security& security, inet::NameEncoding names) {
    // The port is still being edited: a value no socket can take is a connection that cannot be made.
    if (port < 0 || port > 65535) throw inet::InternetException(inet::ERROR_INTERNET_CANNOT_CONNECT);
    connection_ = session_.GetFtpConnection(server, user, password, static_cast<std::uint16_t>(port), false, {},
                                            security, names);
}

std::string DirectoryPicker::LoginDirectory() {
    if (!connection_) throw inet::InternetException(inet::ERROR_INVALID_PARAMETER);
    std::string directory;
    if (!connection_->GetCurrentDirectory(directory)) throw inet::InternetException(inet::GetLastInternetError());
    return directory;
}

FolderListing DirectoryPicker::ListFolders(const std::string& path) {
    FolderListing listing;
    if (!connection_) {
        listing.error = inet::ERROR_INVALID_PARAMETER;
        return listing;
    }
    std::vector<Row> rows;
    if (!ListDirectory(connection_, path, rows)) {
        listing.error = inet::GetLastInternetError();
        return listing;
    }
    if (rows.empty()) {
        listing.error = inet::ERROR_NO_MORE_FILES;
        return listing;
    }
    const RemotePath directory = RemotePath::Parse(path);
    int probed = 0;
    for (const Row& row : rows) {
        if (!row.directory && !row.link) continue;
        std::string full = directory.Child(row.name).Text();
        // A link's listing line does not tell what it points to; the server
        // does when asked to change into it. Many hosting accounts reach
        // "www" or "public_html" through one. Full paths, since each probe
        // that succeeds moves the connection.
        if (row.directory || probed++ >= kLinksProbed || connection_->SetCurrentDirectory(full))
            listing.folders.push_back(std::move(full));
    }
    listing.ok = true;
    return listing;
}

}  // namespace walk
