// Window tests: a wx application for the test binary (see gui_main.cpp) and
// helpers that run the event loop until what the user would see settles.
#pragma once

#include <wx/modalhook.h>

#include <chrono>
#include <functional>
#include <string>

class wxWindow;

namespace testsupport {

// Runs the event loop for `ms` milliseconds.
void Pump(int ms = 50);
// Runs the event loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Shows `window` and waits until it is on the screen.
void ShowAndSettle(wxWindow* window);
// Saves what the screen shows of `window` (frame included) as a PNG file; false when it cannot be written.
bool SaveScreenshot(wxWindow* window, const std::string& pngPath);

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
