// Where a walker stands on the server, as the directories it entered below
// its base directory, and the moves between two such places with the fewest
// changes of directory: down by component, and where it must go up, one
// change to the absolute path when the base is absolute ("../" up to the
// part both share otherwise). Deep trees made this matter: returning to the
// base after every item cost a walk from the base for each, growing with
// the square of the depth, and each "../" is a round trip.
#pragma once

#include "common/walk/remote_path.h"
#include "platform/inet/inet.h"

#include <functional>
#include <set>
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
    std::string Here() const { return Name(RemotePath(cwd_)); }
    // `path` below the base as the server names it: what Here says once the cursor stands there.
    std::string Name(const RemotePath& path) const;
    // Whether the server named the base absolutely, so that Name is a path that holds from anywhere.
    bool Absolute() const { return !basePwd_.empty() && basePwd_[0] == '/'; }
    // Where the cursor stands below the base.
    RemotePath Path() const { return RemotePath(cwd_); }
    // Whether directory `path` below the base is one the cursor made since SetBase (empty when made).
    bool Made(const RemotePath& path) const { return made_.count(path.Parts()) > 0; }

    // Tells the cursor what a listing showed of directory `path` below the
    // base: there (a move down to it then takes one change of directory to
    // its absolute name) or missing (a move that creates it makes it without
    // trying to enter it first). Only a hint: where the server has changed
    // since, the moves fall back to entering and making step by step.
    void Known(const RemotePath& path, bool present);

    Hooks hooks;

private:
    // Where going up is needed, moves to `target` (its parent when it is
    // about to be made) with one change of directory to the absolute path,
    // when the base is absolute and step by step would take more than one.
    void JumpToward(const std::vector<std::string>& target, bool create);

    inet::FtpConnection* conn_;
    std::string basePwd_;
    std::vector<std::string> cwd_;
    std::set<std::vector<std::string>> entered_;  // every directory stood in below the base
    std::set<std::vector<std::string>> made_;     // those of them it made
    std::set<std::vector<std::string>> present_;  // directories a listing showed
    std::set<std::vector<std::string>> missing_;  // directories a listing lacked, not yet made
};

}  // namespace walk
