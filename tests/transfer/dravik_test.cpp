// Dravik as the user meets it: the real dialog on a virtual screen, and the
// real program started as the context menu starts it, against pyftpdlib.
#include "common/ui/image_button.h"
#include "tests/support/ftp_server.h"
#include "tests/support/gui_support.h"
#include "tests/transfer/store_setup.h"
#include "transfer/app/resources.h"
#include "transfer/app/transfer_app.h"
#include "transfer/app/transfer_dialog.h"

#include <gtest/gtest.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

using namespace transfertest;
using testsupport::FtpServer;
using testsupport::ReadFile;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kAuto = "拡張子別転送";

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// ShowModal that never hangs the suite: after `ms` the dialog is ended with -1.
int ShowModalAtMost(wxDialog& dialog, int ms = 30000) {
    wxTimer guard;
    guard.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (dialog.IsModal()) dialog.EndModal(-1);
    });
    guard.StartOnce(ms);
    return dialog.ShowModal();
}

class Dravik : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dravik::RegisterResources(); }

    testsupport::ScopedStore store;
    testsupport::TempDir local;

    // A small site: an HTML page, a text file and a GIF in a subfolder.
    std::string Site() {
        std::string site = local / "site";
        std::filesystem::create_directories(site + "/img");
        WriteFile(site + "/index.html", "<html>parvex</html>\n");
        WriteFile(site + "/notes.txt", "line\n");
        WriteFile(site + "/img/logo.gif", std::string("GIF89a\x01\0\x01\0", 10));
        return site;
    }

    // A file big enough that a throttled server is still receiving it when the test acts.
    std::string BigFile() {
        std::string path = local / "big.bin";
        int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        EXPECT_EQ(::ftruncate(fd, 64 << 20), 0);
        ::close(fd);
        return path;
    }

    // Runs the real program to its end; returns its exit status.
    int RunDravik(double* seconds = nullptr) {
        auto start = Clock::now();
        int rc = testsupport::Wait(testsupport::Spawn({DRAVIK}));
        if (seconds) *seconds = Seconds(Clock::now() - start);
        return rc;
    }
};

// Newest modification time among the files below `root`: when the last upload ended.
std::filesystem::file_time_type LastArrival(const std::string& root) {
    auto newest = std::filesystem::file_time_type::min();
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.is_regular_file()) newest = std::max(newest, e.last_write_time());
    return newest;
}

TEST_F(Dravik, WithoutAHandOffTheProgramEndsAtOnceAndCreatesNothing) {
    double seconds = 0;
    EXPECT_EQ(RunDravik(&seconds), 0);
    EXPECT_LT(seconds, 2.0);
    SettingKey parvex;
    EXPECT_NE(parvex.OpenKey(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex), 0) << "Software\\PARVEX was created";

    // Only a sub-key spelt exactly "Selected" is a hand-off.
    SettingKey lower;
    lower.CreateKey(winreg::HKEY_CURRENT_USER, "Software\\PARVEX\\selected\\P\\/");
    EXPECT_FALSE(dravik::TransferApp::HandOffWaiting());
    EXPECT_EQ(RunDravik(&seconds), 0);
    EXPECT_LT(seconds, 2.0);
}

TEST_F(Dravik, DialogSitsInTheBottomRightCornerWithItsTexts) {
    FtpServer server(FtpServer::Kind::Pyftpdlib, "", {"--read-limit", "65536"});
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {BigFile()});
    ASSERT_TRUE(dravik::TransferApp::HandOffWaiting());

    dravik::TransferDialog dialog;
    testsupport::ShowAndSettle(&dialog);
    wxRect r = dialog.GetScreenRect();
    EXPECT_EQ(r.GetRight() + 1, 1024) << "right edge on the screen's right edge";
    EXPECT_EQ(r.GetBottom() + 1, 768 - 30) << "bottom edge 30 pixels above the screen's bottom";
    EXPECT_EQ(dialog.GetTitle(), "Parvex - DVK");
    EXPECT_EQ(dialog.GetClientSize(), dialog.ConvertDialogToPixels(wxSize(203, 109)));
    EXPECT_EQ(dialog.AbortButton()->GetPosition(), dialog.ConvertDialogToPixels(wxPoint(66, 65)));
    EXPECT_EQ(dialog.AbortButton()->GetLabel(), wxString::FromUTF8("転送中断(&S)"));
    EXPECT_EQ(dialog.AbortButton()->GetToolTipText(), wxString::FromUTF8("転送を中断します。"));
    EXPECT_GT(dialog.AbortButton()->IconWidth(), 0);
    EXPECT_TRUE(dialog.AbortButton()->HasFocus());
    EXPECT_TRUE(testsupport::PumpUntil([&] {
        return dialog.StatusLine()->GetLabel().StartsWith("big.bin");
    })) << "status: " << dialog.StatusLine()->GetLabel().utf8_str().data();
    dialog.Hide();
}

// Abort, Enter and Esc all end the dialog at once, mid-upload, and leave no hand-off.
class DravikEnds : public Dravik, public ::testing::WithParamInterface<const char*> {};

TEST_P(DravikEnds, DuringALargeUploadAtOnce) {
    FtpServer server(FtpServer::Kind::Pyftpdlib, "", {"--read-limit", "65536"});
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {BigFile()});
    const std::string how = GetParam();

    Clock::time_point acted{}, returned{};
    int result = 0;
    {
        dravik::TransferDialog dialog;
        wxTimer timer;
        timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            struct stat st {};
            if (acted != Clock::time_point{} || ::stat(server.Local("big.bin").c_str(), &st) != 0 || st.st_size == 0)
                return;
            acted = Clock::now();
            if (how == "abort") {
                dialog.AbortButton()->Click();
            } else {
                wxKeyEvent key(wxEVT_CHAR_HOOK);
                key.m_keyCode = how == "enter" ? WXK_RETURN : WXK_ESCAPE;
                key.SetEventObject(&dialog);
                dialog.GetEventHandler()->ProcessEvent(key);
            }
        });
        timer.Start(20);
        result = ShowModalAtMost(dialog);
        returned = Clock::now();
        timer.Stop();
    }
    auto destroyed = Clock::now();
    ASSERT_NE(acted, Clock::time_point{}) << "the upload never started";
    EXPECT_EQ(result, how == "escape" ? wxID_CANCEL : wxID_OK);
    EXPECT_LT(Seconds(returned - acted), 0.5);
    EXPECT_LT(Seconds(destroyed - returned), 1.0) << "the walker did not stop with its connection";
    EXPECT_FALSE(HandOffPresent());
    struct stat st {};
    ASSERT_EQ(::stat(server.Local("big.bin").c_str(), &st), 0);
    EXPECT_LT(st.st_size, 64 << 20) << "the upload went on to the end";
}

INSTANTIATE_TEST_SUITE_P(Keys, DravikEnds, ::testing::Values("abort", "enter", "escape"));

TEST_F(Dravik, AbortWhileTheServerHasNotAnsweredYetEndsAtOnceToo) {
    FtpServer server(FtpServer::Kind::Fault, "no-greeting");
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {Site()});
    Clock::time_point acted{}, destroyed{};
    bool abandoned = true;
    {
        dravik::TransferDialog dialog;
        wxTimer timer;
        timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            if (acted == Clock::time_point{} && dialog.StatusLine()->GetLabel().StartsWith("127.0.0.1")) {
                acted = Clock::now();
                dialog.AbortButton()->Click();
            }
        });
        timer.Start(20);
        dialog.ShowModal();
        timer.Stop();
        abandoned = dialog.WalkerAbandoned();
    }
    destroyed = Clock::now();
    ASSERT_NE(acted, Clock::time_point{});
    EXPECT_FALSE(abandoned);
    EXPECT_LT(Seconds(destroyed - acted), 1.5) << "the connect was not stopped";
    EXPECT_FALSE(HandOffPresent());
}

TEST_F(Dravik, ACompletedTransferEndsTheDialogByItself) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {Site()});
    dravik::TransferDialog dialog;
    EXPECT_EQ(ShowModalAtMost(dialog), wxID_OK);
    EXPECT_EQ(dialog.StatusLine()->GetLabel(), wxString::FromUTF8("ファイル転送完了しました"));
    EXPECT_EQ(dialog.ProgressBar()->GetValue(), dialog.ProgressBar()->GetRange()) << "one step per selected item";
    EXPECT_EQ(ReadFile(server.Local("site/img/logo.gif")), std::string("GIF89a\x01\0\x01\0", 10));
}

TEST_F(Dravik, TheProgramUploadsAndEndsTwoSecondsAfterTheLastFile) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    std::filesystem::create_directories(server.Local("images"));
    WriteEntry("P", kAuto, server, "/");
    WriteRule("P", "images", ".gif;");
    WriteHandOff("P", kAuto, {Site()});

    double seconds = 0;
    EXPECT_EQ(RunDravik(&seconds), 0);
    auto ended = std::filesystem::file_time_type::clock::now();
    // "拡張子別転送" exactly: the per-extension walker, files routed flat by extension.
    EXPECT_EQ(ReadFile(server.Local("images/logo.gif")), std::string("GIF89a\x01\0\x01\0", 10));
    EXPECT_EQ(ReadFile(server.Local("index.html")), "<html>parvex</html>\n");
    EXPECT_FALSE(std::filesystem::exists(server.Local("site")));
    double afterLast = Seconds(ended - LastArrival(server.root()));
    EXPECT_GT(afterLast, 1.8);
    EXPECT_LT(afterLast, 4.0);
    EXPECT_FALSE(HandOffPresent());
}

TEST_F(Dravik, TheSameEntryNameWithATrailingBlankIsAPlainEntry) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    std::filesystem::create_directories(server.Local("plain"));
    std::filesystem::create_directories(server.Local("images"));
    WriteEntry("P", kAuto + " ", server, "/plain");
    WriteEntry("P", kAuto, server, "/");
    WriteRule("P", "images", ".gif;");
    WriteHandOff("P", kAuto + " ", {Site()});

    EXPECT_EQ(RunDravik(), 0);
    EXPECT_EQ(ReadFile(server.Local("plain/site/img/logo.gif")), std::string("GIF89a\x01\0\x01\0", 10));
    EXPECT_FALSE(std::filesystem::exists(server.Local("images/logo.gif")));
}

TEST_F(Dravik, RemoteBrowserFlagStartsTheBrowserAtTheBeginning) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {Site()});
    std::string started = local / "browser-started";
    {
        SettingKey running;
        running.CreateKey(winreg::HKEY_CURRENT_USER, layout::RunningKey());
        running.WriteString(layout::kInstDirBrovin, "/bin/sh -c \"echo started >> " + started + "\"");
        running.WriteDword(layout::kRemoteBrowser, 1);
    }
    EXPECT_EQ(RunDravik(), 0);
    EXPECT_EQ(ReadFile(started), "started\n");
    EXPECT_EQ(ReadFile(server.Local("site/index.html")), "<html>parvex</html>\n");
}

}  // namespace
