// Consuming the hand-off, starting the remote browser, and turning an FTP
// or system error code into the status line.
#pragma once

#include <cstdint>

namespace transfer {

// 0 deletes the hand-off (deepest key first; nothing is created when it is
// already gone), 1 starts the remote browser and leaves the hand-off for it,
// any other value does nothing.
void FinishHandOff(int flag);

// Starts the command line in RUNNING\"InstDirBrovin" without waiting; a
// missing value or a program that cannot start fails silently.
void StartRemoteBrowser();

// Writes the text for `code` into the status line: for 12003 the server's
// last reply, else the message table's text. Returns 1, or 0 with an empty
// status line when no text is known for the code.
int ShowInternetErrorText(std::uint32_t code);

}  // namespace transfer
