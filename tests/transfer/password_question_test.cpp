// The password question a login thread asks when the keyring has no password
// for its entry: shown on the window thread while the worker waits, the
// typed password handed back, nothing on Cancel, and a window that goes away
// meanwhile releasing the worker.
#include "common/ui/certificate_asker.h"
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

// Runs `step` every 50 ms, from inside the modal loop too, until it returns true.
class Driver : public wxTimer {
public:
    explicit Driver(std::function<bool()> step) : step_(std::move(step)) { Start(50); }
    void Notify() override {
        if (step_()) Stop();
    }

private:
    std::function<bool()> step_;
};

ui::PasswordQuestion* ShownQuestion() {
    for (wxWindow* w : wxTopLevelWindows)
        if (auto* d = dynamic_cast<ui::PasswordQuestion*>(w); d && d->IsShownOnScreen()) return d;
    return nullptr;
}

TEST(PasswordQuestion, TheWorkerGetsWhatWasTypedNothingOnCancelAndIsReleasedWhenTheWindowGoes) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "dravik");
    testsupport::ShowAndSettle(frame);
    auto asker = std::make_shared<ui::CertificateAsker>(frame);
    enum class Answer { Typed, Cancelled, WindowGone };
    const struct {
        Answer answer;
        bool given;
        const char* password;
    } rows[] = {{Answer::Typed, true, "秘密の合言葉"},
                {Answer::Cancelled, false, "前の値"},
                {Answer::WindowGone, false, "前の値"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.answer));
        std::string password = "前の値";
        std::atomic<bool> done{false};
        bool given = true;
        std::thread worker([&] {
            given = asker->AskPassword("青空", "ftp.example.jp", "山田", password);
            done = true;
        });
        Driver answer([&] {
            ui::PasswordQuestion* question = ShownQuestion();
            if (!question) return false;
            if (const char* dir = std::getenv("PARVEX_DRAVIK_SCREENSHOTS"); dir && row.answer == Answer::Typed) {
                testsupport::Pump(300);
                EXPECT_TRUE(testsupport::SaveScreenshot(question, std::string(dir) + "/password-question.png"));
            }
            if (row.answer == Answer::WindowGone) {
                asker->Cancel();
                return true;
            }
            question->Field()->SetValue(wxString::FromUTF8("秘密の合言葉"));
            question->EndModal(row.answer == Answer::Typed ? wxID_OK : wxID_CANCEL);
            return true;
        });
        EXPECT_TRUE(testsupport::PumpUntil([&] { return done.load(); }, 20000));
        worker.join();
        EXPECT_EQ(given, row.given);
        EXPECT_EQ(password, row.password);
    }
    // Once the window has gone, a later question is answered "no" at once.
    std::string password;
    EXPECT_FALSE(asker->AskPassword("青空", "ftp.example.jp", "山田", password));
    frame->Destroy();
}

}  // namespace
