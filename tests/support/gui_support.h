// Window tests: a wx application for the test binary (see gui_main.cpp) and
// helpers that run the event loop until what the user would see settles.
#pragma once

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/panel.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

namespace testsupport {

inline wxString U(const std::string& utf8) { return wxString::FromUTF8(utf8); }
inline std::string U8(const wxString& s) { return s.utf8_string(); }

// Runs the event loop for `ms` milliseconds.
void Pump(int ms = 50);
// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Shows `window` and waits until it is on the screen.
void ShowAndSettle(wxWindow* window);
// Saves what the screen shows of `window` (frame included) as a PNG file; false when it cannot be written.
bool SaveScreenshot(wxWindow* window, const std::string& pngPath);
// Saves what the screen shows inside `screenRect` as a PNG file; false when it cannot be written.
bool SaveScreenshot(const wxRect& screenRect, const std::string& pngPath);
// With the variable `folderVariable` naming a folder, lets `window` settle and saves it there as `name` (a failure
// fails the test); without it, does nothing.
inline void Screenshot(const char* folderVariable, wxWindow* window, const std::string& name) {
    const char* folder = std::getenv(folderVariable);
    if (!folder) return;
    Pump(300);
    EXPECT_TRUE(SaveScreenshot(window, std::string(folder) + "/" + name)) << name;
}

// A picture `size` pixels large that `draw` made on a white ground in memory.
wxImage RenderImage(wxSize size, const std::function<void(wxDC&)>& draw);
// Whether the pixel of `image` at `p` is exactly `colour`.
inline bool SameColour(const wxImage& image, wxPoint p, const wxColour& colour) {
    return image.GetRed(p.x, p.y) == colour.Red() && image.GetGreen(p.x, p.y) == colour.Green() &&
           image.GetBlue(p.x, p.y) == colour.Blue();
}
// Sends `w` the mouse event `type` at `at` (its own coordinates), with the left button held or not.
void SendMouse(wxWindow* w, wxEventType type, wxPoint at, bool leftDown);
// Sends `w` the key event `type` for `code` (a character's code doubles as its Unicode), with the wxMOD_ALT and wxMOD_CONTROL of `modifiers` held.
void SendKey(wxWindow* w, wxEventType type, int code, int modifiers = 0);

// Runs `step` every `ms` milliseconds from inside whatever event loop runs (a modal dialog's included) until it returns
// true; `done` says whether it did. A step that runs the event loop itself is not entered again meanwhile.
class Driver : public wxTimer {
public:
    explicit Driver(std::function<bool()> step, int ms = 50) : step_(std::move(step)) { Start(ms); }
    void Notify() override {
        if (done || stepping_) return;
        stepping_ = true;
        done = step_();
        stepping_ = false;
        if (done) Stop();
    }
    bool done = false;

private:
    std::function<bool()> step_;
    bool stepping_ = false;
};

// The first shown top-level window of type T that `accept` takes (any when null), or null.
template <class T>
T* ShownWindow(const std::function<bool(T*)>& accept = nullptr) {
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* t = dynamic_cast<T*>(w); t && t->IsShown() && (!accept || accept(t))) return t;
    return nullptr;
}
// The shown modal dialog of type T, or null.
template <class T>
T* ModalWindow() {
    return ShownWindow<T>([](T* t) { return t->IsModal(); });
}

// Sends `w` the command event of type `type` with `value`, as a click on it or a choice in it would.
inline void Send(wxWindow* w, wxEventType type, int value = 0) {
    ASSERT_NE(w, nullptr);
    wxCommandEvent e(type, w->GetId());
    e.SetEventObject(w);
    e.SetInt(value);
    w->GetEventHandler()->ProcessEvent(e);
}
// A click on `button`.
inline void Press(wxWindow* button) { Send(button, wxEVT_BUTTON); }

// A fixture with a frame on the screen for the controls under test, which go on its panel (a frame stretches a lone
// child over its whole client area); the frame goes after each test.
class FrameTest : public ::testing::Test {
protected:
    void TearDown() override {
        frame_->Destroy();
        Pump(20);
    }
    wxFrame* frame_ = new wxFrame(nullptr, wxID_ANY, "test", wxPoint(50, 50), wxSize(420, 460));
    wxPanel* panel_ = new wxPanel(frame_);
};

// While it lives, every modal dialog the code under test opens (message boxes and the desktop's file and folder
// choosers included) is handed to `answer` on the window thread instead of waiting for a person; what it returns is
// what ShowModal returns (wxID_NONE shows the dialog after all).
class AnswerDialogs : public wxModalDialogHook {
public:
    explicit AnswerDialogs(std::function<int(wxDialog*)> answer) : answer_(std::move(answer)) { Register(); }

protected:
    int Enter(wxDialog* dialog) override { return answer_(dialog); }

private:
    std::function<int(wxDialog*)> answer_;
};

}  // namespace testsupport
