// parvex-menu FILE...: pops the "Parvex" menu up at the mouse pointer for
// the given files and folders, as a file manager's custom action calls it.
#include "platform/os/os.h"
#include "shellext/host.h"
#include "shellext/popup/popup.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

class MenuApp : public wxApp {
public:
    bool OnInit() override {
        std::vector<std::string> paths;
        for (int i = 1; i < argc; ++i) {
            std::string a = argv[i].utf8_string();
            char resolved[PATH_MAX];
            paths.push_back(::realpath(a.c_str(), resolved) ? std::string(resolved) : a);
        }
        if (paths.empty()) {
            std::fprintf(stderr, "usage: parvex-menu FILE...\n");
            exitCode_ = 1;
            return true;
        }
        handler_ = std::make_unique<popup::Handler>(os::FindModule("parvex.so", PARVEX_MODULE_DIRS));
        if (!handler_->Build(paths) || !handler_->ParvexMenu()) {
            std::fprintf(stderr, "parvex-menu: %s\n", handler_->Error().c_str());
            exitCode_ = 1;
            return true;
        }
        // A borderless speck at the pointer for the menu to belong to.
        wxPoint at = wxGetMousePosition();
        frame_ = new wxFrame(nullptr, wxID_ANY, "Parvex", at, wxSize(1, 1),
                             wxFRAME_NO_TASKBAR | wxSTAY_ON_TOP | wxBORDER_NONE | wxFRAME_TOOL_WINDOW);
        frame_->Bind(wxEVT_MENU, [this](wxCommandEvent& e) {
            // The keys held at the click decide which program starts.
            wxMouseState keys = wxGetMouseState();
            chosen_ = e.GetId();
            mask_ = (keys.ShiftDown() ? com::CMIC_MASK_SHIFT_DOWN : 0) |
                    (keys.ControlDown() ? com::CMIC_MASK_CONTROL_DOWN : 0);
        });
        frame_->Show();
        CallAfter([this] { Pop(); });
        loop_ = true;
        return true;
    }

    int OnRun() override {
        if (!loop_) return exitCode_;
        const int loopResult = wxApp::OnRun();
        // The event loop ends with 0 whatever happened in it: a choice that started nothing must not.
        return exitCode_ != 0 ? exitCode_ : loopResult;
    }
    int OnExit() override {
        handler_.reset();
        return exitCode_;
    }

private:
    void Pop() {
        // No title: GTK shows a menu title as an item that can be chosen.
        auto menu = popup::ToWxMenu(*handler_->ParvexMenu());
        frame_->PopupMenu(menu.get(), wxPoint(0, 0));
        // The chosen item's event may still be queued behind the menu's end.
        CallAfter([this] {
            const com::HRESULT hr = chosen_ > 0 ? handler_->Invoke(static_cast<com::UINT>(chosen_), mask_) : com::S_OK;
            if (com::FAILED(hr)) {
                exitCode_ = 1;
                std::fprintf(stderr, "parvex-menu: %s\n", shellext::kNothingStartedSummary);
                wxMessageDialog box(nullptr, wxString::FromUTF8(shellext::kNothingStartedSummary), "Parvex",
                                    wxOK | wxICON_ERROR);
                box.SetExtendedMessage(wxString::FromUTF8(hr == shellext::E_STORE_BUSY ? shellext::kStoreBusyBody
                                                                                       : shellext::kNothingStartedBody));
                box.ShowModal();
            }
            frame_->Destroy();
        });
    }

    std::unique_ptr<popup::Handler> handler_;
    wxFrame* frame_ = nullptr;
    bool loop_ = false;
    int chosen_ = 0;
    com::UINT mask_ = 0;
    int exitCode_ = 0;
};

}  // namespace

wxIMPLEMENT_APP(MenuApp);
