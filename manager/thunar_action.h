// Thunar's "Parvex" item: a custom action in the user's own action file
// ($XDG_CONFIG_HOME/Thunar/uca.xml). Thunar reads only the first action file
// it finds, the user's before the system's, so a system-wide action would be
// hidden as soon as the user has a file of their own; the action goes into
// the user's file instead, merged with what is there.
#pragma once

#include <optional>
#include <string>

namespace thunar {

// The action's command: Thunar puts each selected path in place of %F,
// quoted as one word.
inline constexpr const char* kActionCommand = "parvex-menu %F";

// `uca` (an action file's text) with the Parvex action added before its
// closing </actions>, everything else kept byte for byte. Nullopt when the
// text already holds the action (its command) or is no action file.
std::optional<std::string> MergeAction(const std::string& uca);

enum class AddResult { Added, AlreadyThere, NoThunar, Failed };

// Adds the action to the user's action file. A user without one starts from
// the system's action file (the first Thunar/uca.xml in $XDG_CONFIG_DIRS,
// default /etc/xdg), so that Thunar's own actions stay. NoThunar (nothing
// written) when neither exists; Failed when the user's file is no action
// file or cannot be written (it is then left as it was).
AddResult AddAction();

// AddAction() once: only at the suite's first run, while the settings store
// has no Software\PARVEX yet. Call it before the first run writes that key.
void AddActionAtFirstRun();

}  // namespace thunar
