// Consuming the hand-off and starting the remote browser.
#pragma once

#include "common/registry/layout.h"

#include <cstdint>

namespace transfer {

// Takes the hand-off over for a walker (layout::TakeHandOff: read and, unless
// RUNNING\"RemoteBrowser" is 1, deleted in one transaction). With the flag
// set, the remote browser is started and the hand-off left for it; when the
// browser cannot be started, the flag is cleared and the hand-off deleted,
// so that neither waits for a browser that never comes. Returns false, with
// `out` empty, when there is no hand-off or it cannot be read whole.
bool TakeHandOff(layout::HandOff& out);

// 0 deletes the hand-off (deepest key first; nothing is created when it is
// already gone), 1 starts the remote browser and leaves the hand-off for it
// (or, when the browser cannot be started, clears "RemoteBrowser" and
// deletes the hand-off), any other value does nothing.
void FinishHandOff(int flag);

// Starts the command line in RUNNING\"InstDirBrovin" without waiting.
// Returns false when the value is missing or empty or the program cannot be
// started.
bool StartRemoteBrowser();

}  // namespace transfer
