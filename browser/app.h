// Brovin's application object: takes the hand-off over, builds the main
// window and starts the login.
#pragma once

#include <wx/app.h>

namespace brovin {

class CMainFrame;

class CBrovinApp : public wxApp {
public:
    bool OnInit() override;
    // Failed checks inside wx go to stderr rather than into a message box.
    void OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                         const wxChar* msg) override;
};

// What the program does at start, for the application and the window tests:
// registers the resources, reads the hand-off, shows the frame and starts the login.
CMainFrame* StartBrowser();

}  // namespace brovin
