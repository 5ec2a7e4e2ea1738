// A remote directory as the list shows it: one row per entry, directories
// first and then files, each group in the order the server listed them.
#pragma once

#include "common/walk/remote_path.h"
#include "platform/inet/inet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace walk {

struct Row {
    std::string name;
    bool directory = false;  // from the listing (the server says), never from the name
    bool link = false;       // the listing showed a symbolic link (whose target may be a directory)
    std::uint64_t size = 0;
    std::int64_t mtime = 0;  // seconds since 1970, 0 when unknown
};

// Changes to `directory` and lists it into `rows`, "." and ".." left out,
// directories first. False, with `rows` empty, when the directory cannot be
// entered or listed (an empty directory is true with no rows).
bool ListDirectory(inet::FtpConnection* connection, const std::string& directory, std::vector<Row>& rows);

// Moves the directories before the files, keeping the server's order in each group.
void OrderRows(std::vector<Row>& rows);

// The date column: local year, month and day as "%4d/%2d/%2d" (" 1" for
// January, as the program always showed it); empty when the time is unknown.
std::string DateText(std::int64_t mtime);

// A name from the server as the list and the status texts show it, always
// valid UTF-8 on one line: UTF-8 characters as they are, every other byte as
// "\xNN" (a Shift_JIS name, a stray byte), control characters written out
// ("\r", "\n", "\t", "\x00", "\x7F", "\u0085") and the invisible
// characters that reorder or hide text as "\u202E" and the like. For showing
// only: what goes to the server is always the name's own bytes.
std::string ShownName(const std::string& raw);

}  // namespace walk
