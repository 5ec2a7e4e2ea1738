// The help page and the desktop's default handler, shared by the programs'
// help commands and links.
#pragma once

#include <wx/string.h>

#include <string>

namespace ui {

// Where the help page is looked for: help/index.html beside the running
// program (a build tree), else <prefix>/share/parvex/help/index.html. The
// second is returned when neither exists.
std::string HelpPath();

// Opens `target` (a URL or a local path) with the desktop's default handler,
// xdg-open when wx finds none. Returns false when neither could start.
bool OpenWithDesktop(const wxString& target);

}  // namespace ui
