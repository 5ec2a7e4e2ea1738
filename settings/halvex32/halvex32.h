// libhalvex32.so: the settings library's exported entry points. C linkage,
// undecorated names; strings cross the boundary as UTF-8 `const char*`. The
// library shows its windows inside the host's wx application and never
// starts one of its own.
#pragma once

#define HALVEX32_EXPORT extern "C" __attribute__((visibility("default")))
