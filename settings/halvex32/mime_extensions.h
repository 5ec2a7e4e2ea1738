// The file extensions this computer knows, read from the shared-mime-info
// database. Plain file reading: no GIO, no wx, so that it runs anywhere.
#pragma once

#include <string>
#include <vector>

namespace halvex32 {

// The database folders in lookup order: XDG_DATA_HOME/mime (default
// ~/.local/share/mime), then XDG_DATA_DIRS/*/mime (default /usr/local/share
// and /usr/share). Relative entries are ignored, as the XDG rules say.
std::vector<std::string> MimeFolders();

// Every extension named by a "*.ext" glob pattern in the folders' globs2
// file (or globs when a folder has no globs2), with its leading period
// (".html", ".tar.gz"), sorted byte-wise, each once. Patterns with other
// wildcards, path separators, control characters or more than 259 bytes are
// left out. Empty when no folder has a readable glob file.
std::vector<std::string> RegisteredExtensions();

}  // namespace halvex32
