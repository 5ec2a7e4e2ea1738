#include "transfer/app/transfer_app.h"

#include "common/registry/layout.h"
#include "transfer/app/resources.h"
#include "transfer/app/transfer_dialog.h"

#include <cstdio>
#include <unistd.h>

namespace dravik {

bool TransferApp::HandOffWaiting() {
    SettingKey parvex;
    if (parvex.OpenKey(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex) != winreg::ERROR_SUCCESS) return false;
    for (const auto& name : layout::SubKeyNames(parvex))
        if (name == "Selected") return true;
    return false;
}

bool TransferApp::OnInit() {
    // The program takes no arguments, so wxApp's command-line parsing is skipped.
    RegisterResources();
    if (!HandOffWaiting()) return true;
    bool abandoned;
    {
        TransferDialog dialog;
        SetTopWindow(&dialog);
        dialog.ShowModal();
        SetTopWindow(nullptr);
        abandoned = dialog.WalkerAbandoned();
    }
    if (abandoned) {
        // A walker stuck in a connect must not outlive the process's statics.
        std::fflush(nullptr);
        ::_exit(0);
    }
    return true;
}

void TransferApp::OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                                  const wxChar* msg) {
    std::fprintf(stderr, "dravik: %s:%d %s: %s %s\n", wxString(file).utf8_str().data(), line,
                 wxString(func).utf8_str().data(), wxString(cond).utf8_str().data(),
                 wxString(msg).utf8_str().data());
}

}  // namespace dravik
