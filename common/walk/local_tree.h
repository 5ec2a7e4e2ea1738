// The rules every upload applies to the local side: which selected items can
// be sent (links that lead back into a folder on the way, pipes and devices,
// unreadable files, names FTP cannot carry), a folder's entries in a stable
// order, and how a local name is shown in a status line.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace walk {

// Why an item is not sent; each is named in the status line and counted.
enum class Skip { None, Missing, TooLong, Unreadable, Unlistable, Special, Loop, BadName, NotConverted };

// What follows the item's name in the status line.
const char* SkipText(Skip why);

// One entry of a work list that grows as folders are expanded.
struct LocalItem {
    std::string path;
    long parent = -1;  // index of the folder it was found in; -1 for a selected item
    dev_t dev = 0;     // a folder's identity, so that a link back into a folder on the way is told
    ino_t ino = 0;
    Skip skip = Skip::None;
};

// The work list itself: the selection first, then what its folders hold.
class LocalTree {
public:
    std::vector<LocalItem> items;

    // File or folder (links followed, told by stat, never by the name), or
    // why item `i` cannot be sent. A folder that is one of the folders on the
    // way to it (a link such as "up -> ..") counts as a loop.
    Skip Classify(std::size_t i, bool& folder);
    // Appends the folder's entries (children of item `i`); false when it cannot be listed whole.
    bool Expand(std::size_t i);
};

// The item's path below `rootDir` ("site/img/logo.gif"); a path outside it keeps only its name.
std::string RelativePath(const std::string& rootDir, const std::string& path);

// Entries of a local folder, hidden ones included, in name order. False when
// the folder cannot be listed whole.
bool FolderEntries(const std::string& folder, std::vector<std::string>& paths);

// Whether a regular file can really be read (a file on /proc opens and then fails).
bool Readable(const std::string& path);

// An error message as a status line takes it: at most 259 bytes, not cut inside a character.
std::string Clip(std::string text);

// A name as the status line shows it: control characters written out and a
// path of thousands of bytes cut in the middle.
std::string Printable(const std::string& name);

}  // namespace walk
