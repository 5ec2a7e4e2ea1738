// Dravik's application object: shows the progress dialog when the file
// manager has left a hand-off, and otherwise ends without any window.
#pragma once

#include <wx/app.h>

namespace dravik {

class TransferApp : public wxApp {
public:
    // Runs the whole program: the dialog is modal and the walker ends with it.
    bool OnInit() override;
    // No message loop runs after start-up; the program ends with status 0.
    int OnRun() override { return 0; }
    // Failed checks inside wx go to stderr: a dialog box would block a
    // program that nobody watches.
    void OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                         const wxChar* msg) override;

    // Whether Software\PARVEX holds a sub-key named exactly "Selected"
    // (case-sensitive; the key is opened, never created).
    static bool HandOffWaiting();
};

}  // namespace dravik
