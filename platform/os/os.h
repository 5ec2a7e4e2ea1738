// The few operating-system services the programs share: the path splitter,
// the temporary directory, "file or folder", and starting a program from a
// command line.
#pragma once

#include <string>
#include <vector>

namespace os {

// A path cut the way the programs need it: the folder (up to and including
// the last '/'), the file name without extension, and the extension from the
// name's last period on (empty when the name has none).
struct PathParts {
    std::string folder;
    std::string base;
    std::string extension;
};
PathParts SplitPath(const std::string& path);

// $TMPDIR, else /tmp, always ending in '/'.
std::string TempDirectory();

// True when `path` names an existing folder (after following links).
bool IsDirectory(const std::string& path);
// True when `path` exists at all.
bool Exists(const std::string& path);

// Splits a command line into words; double quotes group words (and are removed).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Starts the command line as a new process without waiting for it. The
// process is not a child of the caller (nothing to reap, no zombie) and runs
// in a session of its own. Returns its pid, or -1 when the line is empty or
// the program cannot be started (missing, not executable: exec failed).
int StartProgram(const std::string& commandLine);

// Runs the command line as a child process and waits for it to end, with
// no time-out. Returns its exit status (128 + the signal when one ended it),
// or -1 when the line is empty or the program cannot be started.
int RunAndWait(const std::string& commandLine);

// The folder holding the running program (no trailing '/'); "." if unknown.
std::string ExecutableDirectory();

// Where the suite's module `name` is: `name` itself when it holds a '/',
// else the first existing file among the running program's folder and the
// ':'-separated `folders` (a relative folder counts from the program's
// parent folder, the installation prefix). When none exists, the path
// beside the program.
std::string FindModule(const std::string& name, const std::string& folders);

}  // namespace os
