#include "browser/app.h"

#include "browser/main_frame.h"
#include "browser/resources.h"
#include "browser/view.h"
#include "common/ui/resources.h"
#include "common/walk/transfer_mode.h"

#include <cstdio>

namespace brovin {

CMainFrame* StartBrowser() {
    RegisterResources();
    auto doc = std::make_unique<CBrovinDoc>();
    doc->OnNewDocument();
    auto* frame = new CMainFrame(std::move(doc));
    frame->Show();
    frame->SetTitle(ui::LoadString(IDS_APP_TITLE));
    frame->View()->OnInitialUpdate();
    return frame;
}

bool CBrovinApp::OnInit() {
    // The program takes no arguments, so wxApp's command-line parsing is skipped.
    walk::RemoveStaleTempFolders();
    SetTopWindow(StartBrowser());
    return true;
}

void CBrovinApp::OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                                 const wxChar* msg) {
    std::fprintf(stderr, "brovin: %s:%d %s: %s %s\n", wxString(file).utf8_str().data(), line,
                 wxString(func).utf8_str().data(), wxString(cond).utf8_str().data(), wxString(msg).utf8_str().data());
}

}  // namespace brovin
