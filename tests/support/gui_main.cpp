// main() of the window tests: wx is started once for the whole binary (not for a test listing, which must work
// without a display), and a failed wx check fails the running test instead of opening a message box.
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/window.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace testsupport {

void Pump(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        wxTheApp->Yield(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void ShowAndSettle(wxWindow* window) {
    window->Show();
    PumpUntil([window] { return window->IsShownOnScreen(); }, 3000);
    Pump(100);
}

bool SaveScreenshot(wxWindow* window, const std::string& pngPath) { return SaveScreenshot(window->GetScreenRect(), pngPath); }

bool SaveScreenshot(const wxRect& r, const std::string& pngPath) {
    // The X server's own picture of the screen, by ImageMagick: GTK draws through its own buffers, which a screen
    // device context does not always see, and xwd's picture showed dialogs black.
    std::string cmd = "import -window root -crop " + std::to_string(r.width) + "x" + std::to_string(r.height) + "+" +
                      std::to_string(r.x) + "+" + std::to_string(r.y) + " +repage '" + pngPath + "'";
    return std::system(cmd.c_str()) == 0;
}

wxImage RenderImage(wxSize size, const std::function<void(wxDC&)>& draw) {
    wxBitmap bitmap(size.x, size.y, 24);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        draw(dc);
    }
    return bitmap.ConvertToImage();
}

void SendMouse(wxWindow* w, wxEventType type, wxPoint at, bool leftDown) {
    wxMouseEvent e(type);
    e.SetEventObject(w);
    e.SetPosition(at);
    e.m_leftDown = leftDown;
    w->GetEventHandler()->ProcessEvent(e);
}

void SendKey(wxWindow* w, wxEventType type, int code, int modifiers) {
    wxKeyEvent e(type);
    e.SetEventObject(w);
    e.m_keyCode = code;
    if (code < WXK_START) e.m_uniChar = static_cast<wxChar>(code);
    e.m_altDown = (modifiers & wxMOD_ALT) != 0;
    e.m_controlDown = (modifiers & wxMOD_CONTROL) != 0;
    w->GetEventHandler()->ProcessEvent(e);
}

}  // namespace testsupport

namespace {

class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }  // no command line of wx's own
    void OnAssertFailure(const wxChar* file, int line, const wxChar*, const wxChar* cond, const wxChar* msg) override {
        ADD_FAILURE() << "wx check failed at " << wxString(file).utf8_str().data() << ":" << line << ": "
                      << wxString(cond).utf8_str().data() << " " << wxString(msg).utf8_str().data();
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    wxApp::SetInstance(new TestApp);
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "cannot start wx: is there a display?\n");
        return 1;
    }
    int rc = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
