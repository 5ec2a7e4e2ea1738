// Morvane's application object: registers the resources and shows the main
// window "Lumeno"; the window's first show does the first-run set-up.
#pragma once

#include <wx/app.h>

class CMorvaneApp : public wxApp {
public:
    bool OnInit() override;
};
