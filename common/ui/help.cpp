#include "common/ui/help.h"

#include "platform/os/os.h"

#include <wx/log.h>
#include <wx/utils.h>

namespace ui {

std::string HelpPath() {
    const std::string bin = os::ExecutableDirectory();
    std::string beside = bin + "/help/index.html";
    if (os::Exists(beside)) return beside;
    return bin + "/" PARVEX_HELP_FROM_PROGRAMS "/index.html";
}

bool OpenWithDesktop(const wxString& target) {
    const wxString url = target.StartsWith("/") ? "file://" + target : target;
    {
        // A failure is the caller's to report (a beep, a status text), not a log box.
        wxLogNull quiet;
        if (wxLaunchDefaultBrowser(url)) return true;
    }
    // The target goes as one argument: no shell ever reads it.
    const wxString argv0 = "xdg-open";
    const wchar_t* argv[] = {argv0.wc_str(), url.wc_str(), nullptr};
    wxLogNull quiet;
    return wxExecute(argv, wxEXEC_ASYNC) > 0;
}

}  // namespace ui
