#include "manager/app.h"

#include "common/ui/resources.h"
#include "manager/main_frame.h"
#include "manager/resources.h"
#include "manager/thunar_action.h"

bool CMorvaneApp::OnInit() {
    // No command-line options: wx's own parsing is skipped.
    morvane::RegisterResources();
    thunar::AddActionAtFirstRun();  // before the frame's first run creates the settings
    auto* frame = new CMainFrame;
    frame->SetTitle(ui::LoadString(morvane::IDS_APP_TITLE));
    SetTopWindow(frame);
    frame->Show();
    return true;
}
