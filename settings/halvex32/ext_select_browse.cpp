#include "settings/halvex32/ext_select.h"

// Stands in for the server's directory picker until it is wired here: the
// picker replaces this body, and the sheet keeps calling this function.
std::string BrowseRemoteDirectory(wxWindow* /*parent*/, const settings::ProviderRecord& /*record*/) { return {}; }
