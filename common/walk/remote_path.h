// A path on the server as every walk, the browser and the picker use it:
// absolute ("/home/www") or below where a walk started ("img/icons"), held as
// its components. Empty components (a doubled or trailing "/") are none;
// "." and ".." are kept as written, so that Sendable can refuse them.
#pragma once

#include <string>
#include <vector>

namespace walk {

class RemotePath {
public:
    RemotePath() = default;  // relative, no components: where the walk started
    explicit RemotePath(std::vector<std::string> parts, bool absolute = false)
        : parts_(std::move(parts)), absolute_(absolute) {}

    // "/a/b/" is absolute with a and b; "a//b" relative with a and b; "" and "/" have no components.
    static RemotePath Parse(const std::string& text);

    bool Absolute() const { return absolute_; }
    bool Empty() const { return parts_.empty(); }
    const std::vector<std::string>& Parts() const { return parts_; }
    // The last component; empty when there is none.
    std::string Name() const { return parts_.empty() ? std::string() : parts_.back(); }
    // Without the last component; a path with none is its own parent.
    RemotePath Parent() const;
    // `name` added as one more component, as it stands (check it with SafeName or Sendable first).
    RemotePath Child(const std::string& name) const;
    // `below`'s components added after these (its own absoluteness is ignored).
    RemotePath Join(const RemotePath& below) const;
    // "/a/b", "a/b", "/" for the absolute root, "" for no components.
    std::string Text() const;
    // Every component can go into a command as a name below where we stand:
    // no CR, LF or NUL (they would end the command line early), not "." or "..".
    bool Sendable() const;

    bool operator==(const RemotePath& other) const = default;

private:
    std::vector<std::string> parts_;
    bool absolute_ = false;
};

// `name` as a command names an entry of the current directory: "./name", so
// that a name beginning with "-" or "~" is never read as an option or a home.
std::string InCurrentDirectory(const std::string& name);

// Whether a name from a listing can stand for one entry below where we are,
// both in an FTP command and as a local file name: not empty, not "." or
// "..", no "/" or "\", no CR, LF or NUL, at most 255 bytes.
bool SafeName(const std::string& name);

}  // namespace walk
