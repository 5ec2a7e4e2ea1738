// The password question a login thread asks through the window thread: the typed password handed back, nothing on
// Cancel, and a window that goes away while it is up releasing the worker for good.
#include "common/ui/certificate_asker.h"
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

#include <atomic>
#include <thread>

TEST(PasswordQuestion, TheWorkerGetsWhatWasTypedNothingOnCancelAndIsReleasedWhenTheWindowGoes) {
    auto* frame = new wxFrame(nullptr, wxID_ANY, "dravik");
    testsupport::ShowAndSettle(frame);
    auto asker = std::make_shared<ui::CertificateAsker>(frame);
    enum class Answer { Typed, Cancelled, WindowGone };
    const struct { Answer answer; bool given; const char* password; } rows[] = {
        {Answer::Typed, true, "秘密の合言葉"}, {Answer::Cancelled, false, "前の値"}, {Answer::WindowGone, false, "前の値"}};
    for (const auto& row : rows) {
        testsupport::AnswerDialogs user([&](wxDialog* dialog) {
            auto* question = dynamic_cast<ui::PasswordQuestion*>(dialog);
            if (!question) return int(wxID_NONE);
            if (row.answer == Answer::WindowGone) asker->Cancel();
            question->Field()->SetValue(wxString::FromUTF8("秘密の合言葉"));
            return int(row.answer == Answer::Typed ? wxID_OK : wxID_CANCEL);
        });
        std::string password = "前の値";
        std::atomic<bool> done{false};
        bool given = true;
        std::thread worker([&] {
            given = asker->AskPassword("青空", "ftp.example.jp", "山田", password);
            done = true;
        });
        EXPECT_TRUE(testsupport::PumpUntil([&] { return done.load(); }, 20000));
        worker.join();
        EXPECT_EQ(given, row.given) << int(row.answer);
        EXPECT_EQ(password, row.password) << int(row.answer);
    }
    std::string password;
    EXPECT_FALSE(asker->AskPassword("青空", "ftp.example.jp", "山田", password)) << "asked after the window went";
    frame->Destroy();
}
