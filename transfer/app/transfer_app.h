// Dravik's application object: shows the progress dialog when the file
// manager has left a hand-off, and otherwise ends without any window.
#pragma once

#include "platform/registry/registry.h"

#include <wx/app.h>

#include <string>

namespace dravik {

class TransferApp : public wxApp {
public:
    // Runs the whole program: the dialog is modal and the walker ends with it.
    bool OnInit() override;
    // No message loop runs after start-up; the program ends with status 0,
    // 1 when the settings store could not be used, or kWalkerLeftExitCode
    // when the transfer did not stop within TransferDialog::kWalkerStopSeconds
    // of the dialog's end and was left behind.
    int OnRun() override { return exitCode_; }
    static constexpr int kWalkerLeftExitCode = 2;
    // Failed checks inside wx go to stderr: a dialog box would block a
    // program that nobody watches.
    void OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                         const wxChar* msg) override;

    // Whether Software\PARVEX holds a sub-key named exactly "Selected"
    // (case-sensitive; the key is opened, never created): ERROR_SUCCESS when
    // it does, ERROR_FILE_NOT_FOUND when not, any other status when the
    // settings store itself cannot be used.
    static winreg::LONG HandOffStatus();
    static bool HandOffWaiting() { return HandOffStatus() == winreg::ERROR_SUCCESS; }

    // The message for a store that cannot be used: its path and what is
    // wrong with it, as far as the file tells.
    static wxString StoreProblemText(const std::string& path, winreg::LONG status);
    // Shows that message in a message box and returns when it is closed.
    static void ShowStoreProblem(winreg::LONG status);

private:
    int exitCode_ = 0;
};

}  // namespace dravik
