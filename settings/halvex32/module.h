// The settings library's own resources: its string and icon tables, kept
// apart from those of the program that loads it, so that numbers never clash.
#pragma once

#include "common/ui/resources.h"

namespace halvex32 {

// The library's table. Each dialog's source file adds its entries when the
// library is loaded (static registration), before any window is made.
ui::ResourceTable& Resources();

inline wxString LoadString(int id) { return Resources().LoadString(id); }
inline wxBitmap LoadBitmap(int id, int size = 16) { return Resources().LoadBitmap(id, size); }

}  // namespace halvex32
