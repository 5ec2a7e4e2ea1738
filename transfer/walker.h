// The upload walkers: the worker-thread procedures that upload the
// selection handed over in Software\PARVEX\Selected to the chosen entry's
// server. They report only through the progress display and end it when
// they are done, successfully or not.
#pragma once

#include <functional>

namespace transfer {

// The plain walker: folders are recreated below the entry's directory.
int PlainWalker(void* unused = nullptr);

// The per-extension walker (entry "拡張子別転送"): every file, however deep,
// goes flat into the directory its extension's rule names.
int AutoTransferWalker(void* unused = nullptr);

// How the walkers pause before ending the display (seconds); a real sleep
// unless a test replaces it. Not thread-safe: set it before a walker starts.
void SetPauseFunction(std::function<void(int)> pause);

}  // namespace transfer
