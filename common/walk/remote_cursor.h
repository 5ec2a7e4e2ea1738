// Where a walker stands on the server, as the directories it entered below
// its base directory, and the moves between two such places with the fewest
// changes of directory: "../" up to the part both share, then down. Deep
// trees made this matter: returning to the base after every item cost a walk
// from the base for each, growing with the square of the depth.
#pragma once

#include "common/walk/remote_path.h"
#include "platform/inet/inet.h"

#include <functional>
#include <string>
#include <vector>

namespace walk {

class RemoteCursor {
public:
    // Calls made before each change of directory and before each directory is created.
    struct Hooks {
        std::function<void()> moving;
        std::function<void(const std::string&)> creating;
    };

    explicit RemoteCursor(inet::FtpConnection* connection) : conn_(connection) {}

    // Takes where the server stands now as the base (asks for its name, "" if it would not say).
    void SetBase();
    // Moves to `target` (its components taken as directories below the base). With `create`, a
    // directory that cannot be entered is made and entered; `failed` names
    // the one that could be neither, and the result is false. Without, a
    // directory that cannot be entered is skipped when `skipMissing`, else
    // the move stops there with false. False also when the cursor cannot go up.
    bool GoTo(const RemotePath& target, bool create, std::string& failed, bool skipMissing = true);

    // Where the cursor stands, as the server names it.
    std::string Here() const;
    // Where the cursor stands below the base.
    RemotePath Path() const { return RemotePath(cwd_); }

    Hooks hooks;

private:
    inet::FtpConnection* conn_;
    std::string basePwd_;
    std::vector<std::string> cwd_;
};

}  // namespace walk
