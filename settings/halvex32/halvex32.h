// libhalvex32.so: the settings library's exported entry points. C linkage,
// undecorated names; strings cross the boundary as UTF-8 `const char*`. The
// library shows its windows inside the host's wx application and never
// starts one of its own.
#pragma once

#define HALVEX32_EXPORT extern "C" __attribute__((visibility("default")))

// Asks for an FTP definition file and creates one provider per profile it
// describes, all of them or none. Returns 2 when the file dialog was
// cancelled, else 1 (the import's outcome has been shown to the user).
HALVEX32_EXPORT int PARVEX_ReadServerDefines();
