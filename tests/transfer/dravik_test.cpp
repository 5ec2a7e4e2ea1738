// Dravik as the user meets it: the real dialog on a virtual screen, and the
// real program started as the context menu starts it, against pyftpdlib.
#include "common/ui/certificate_question.h"
#include "common/ui/image_button.h"
#include "common/walk/entry_connection.h"
#include "tests/support/ftp_server.h"
#include "tests/support/gtk_dialogs.h"
#include "tests/support/gui_support.h"
#include "tests/transfer/store_setup.h"
#include "transfer/app/failure_notice.h"
#include "transfer/app/resources.h"
#include "transfer/app/transfer_app.h"
#include "transfer/app/transfer_dialog.h"
#include "transfer/progress.h"

#include <gtest/gtest.h>
#include <wx/activityindicator.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>

using namespace transfertest;
using testsupport::FtpServer;
using testsupport::ReadFile;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kAuto = "拡張子別転送";

using testsupport::Seconds;

// ShowModal that never hangs the suite: after `ms` the dialog is ended with -1.
int ShowModalAtMost(wxDialog& dialog, int ms = 30000) {
    testsupport::Driver guard([&] { return dialog.IsModal() && (dialog.EndModal(-1), true); }, ms);
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
        WriteFile(site + "/index.html", "<html>parvex</html>\n");
        WriteFile(site + "/notes.txt", "line\n");
        WriteFile(site + "/img/logo.gif", std::string("GIF89a\x01\0\x01\0", 10));
        return site;
    }

    // A file big enough that a throttled server is still receiving it when the test acts.
    std::string BigFile() {
        WriteFile(local / "big.bin", "");
        std::filesystem::resize_file(local / "big.bin", 64 << 20);
        return local / "big.bin";
    }

    // Runs the real program to its end; returns its exit status.
    int RunDravik(double* seconds = nullptr) {
        auto start = Clock::now();
        int rc = testsupport::Wait(testsupport::Spawn({DRAVIK}));
        if (seconds) *seconds = Seconds(Clock::now() - start);
        return rc;
    }
};

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

// Abort, Enter and Esc all end the dialog at once, mid-upload, and leave no hand-off; Abort does so too while the
// server has not even greeted.
class DravikEnds : public Dravik, public ::testing::WithParamInterface<const char*> {};

TEST_P(DravikEnds, AtOnce) {
    const std::string how = GetParam();
    const bool connecting = how == "abort_connecting";
    FtpServer server(connecting ? FtpServer::Kind::Fault : FtpServer::Kind::Pyftpdlib, connecting ? "no-greeting" : "",
                     connecting ? std::vector<std::string>{} : std::vector<std::string>{"--read-limit", "65536"});
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {BigFile()});

    Clock::time_point acted{}, returned{};
    int result = 0;
    bool abandoned = true;
    std::optional<dravik::FailedTransfer> failure;
    {
        dravik::TransferDialog dialog;
        testsupport::Driver act([&] {
            struct stat st {};
            if (connecting ? !dialog.StatusLine()->GetLabel().StartsWith("127.0.0.1")
                           : ::stat(server.Local("big.bin").c_str(), &st) != 0 || st.st_size == 0)
                return false;
            acted = Clock::now();
            if (how.starts_with("abort")) {
                dialog.AbortButton()->Click();
            } else {
                testsupport::SendKey(&dialog, wxEVT_CHAR_HOOK, how == "enter" ? WXK_RETURN : WXK_ESCAPE);
            }
            return true;
        }, 20);
        result = ShowModalAtMost(dialog);
        returned = Clock::now();
        abandoned = dialog.WalkerAbandoned();
        failure = dialog.Failure();
    }
    auto destroyed = Clock::now();
    ASSERT_NE(acted, Clock::time_point{}) << "the upload never started";
    EXPECT_EQ(result, how == "escape" ? wxID_CANCEL : wxID_OK);
    EXPECT_LT(Seconds(returned - acted), 0.5);
    EXPECT_LT(Seconds(destroyed - returned), 1.0) << "the walker did not stop with its connection";
    EXPECT_FALSE(abandoned);
    EXPECT_FALSE(HandOffPresent());
    // Stopped before the walk was over: told as stopped, naming the file it was on.
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->aborted);
    EXPECT_EQ(failure->provider + "|" + failure->entry, "P|/");
    EXPECT_EQ(failure->item, connecting ? "" : "big.bin");
    EXPECT_EQ(failure->status, connecting ? "127.0.0.1に接続しています..." : "big.bin 処理中...");
    if (connecting) return;
    struct stat st {};
    ASSERT_EQ(::stat(server.Local("big.bin").c_str(), &st), 0);
    EXPECT_LT(st.st_size, 64 << 20) << "the upload went on to the end";
}

INSTANTIATE_TEST_SUITE_P(Keys, DravikEnds, ::testing::Values("abort", "enter", "escape", "abort_connecting"));

// A dialog closed while its walker still clears a dead process's leftovers, before any FTP session: the stop is
// kept, nothing is sent, and the walker ends in time.
TEST_F(Dravik, AStopBeforeTheSessionExistsIsKept) {
    FtpServer server(FtpServer::Kind::Pyftpdlib, "", {"--read-limit", "65536"});
    WriteEntry("P", "e", server, "/");
    WriteHandOff("P", "e", {BigFile()});
    testsupport::TempDir tmp;
    const std::string stale = tmp / "parvex-999999999-abcdef";  // no such process
    for (int d = 0; d < 20; ++d) {
        std::filesystem::create_directories(stale + "/" + std::to_string(d));
        for (int f = 0; f < 1000; ++f) WriteFile(stale + "/" + std::to_string(d) + "/" + std::to_string(f), "");
    }
    std::optional<testsupport::ScopedEnv> tmpdir(std::in_place, "TMPDIR", tmp.path());

    bool staleLeft = false;
    auto closed = Clock::now();
    {
        dravik::TransferDialog dialog;
        staleLeft = std::filesystem::exists(stale);
        closed = Clock::now();
    }  // closed before it was ever shown
    const double stopping = Seconds(Clock::now() - closed);
    tmpdir.reset();
    ASSERT_TRUE(staleLeft) << "the walker was past its session before the dialog closed";
    EXPECT_LT(stopping, 3.0) << "the walker went on after the dialog had closed";
    EXPECT_FALSE(std::filesystem::exists(server.Local("big.bin"))) << "an upload started after the stop";
}

TEST_F(Dravik, ACompletedTransferEndsTheDialogByItself) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {Site()});
    dravik::TransferDialog dialog;
    EXPECT_EQ(ShowModalAtMost(dialog), wxID_OK);
    EXPECT_EQ(dialog.StatusLine()->GetLabel(), wxString::FromUTF8("ファイル転送完了しました"));
    EXPECT_FALSE(dialog.Failure().has_value()) << "nothing to tell the desktop";
    EXPECT_EQ(dialog.ProgressBar()->GetValue(), dialog.ProgressBar()->GetRange()) << "one step per selected item";
    EXPECT_EQ(ReadFile(server.Local("site/img/logo.gif")), std::string("GIF89a\x01\0\x01\0", 10));
}

// "拡張子別転送" exactly routes files flat by extension; with a trailing blank it is a plain entry. Either way the
// program ends two seconds after the last file; the plain run also starts the browser and leaves it the hand-off.
TEST_F(Dravik, TheProgramUploadsAndEndsTwoSecondsAfterTheLastFile) {
    const std::string site = Site(), started = local / "browser-started";
    for (const std::string& entry : {kAuto, kAuto + " "}) {
        const bool routed = entry == kAuto;
        FtpServer server(FtpServer::Kind::Pyftpdlib);
        const std::string brovin = "/bin/sh -c \"echo started >> " + started + "\"";
        testsupport::Put(layout::RunningKey(), {{layout::kInstDirBrovin, brovin}, {layout::kRemoteBrowser, routed ? 0u : 1u}});
        std::filesystem::create_directories(server.Local("plain"));
        std::filesystem::create_directories(server.Local("images"));
        WriteEntry("P", kAuto + " ", server, "/plain");
        WriteEntry("P", kAuto, server, "/");
        WriteRule("P", "images", ".gif;");
        WriteHandOff("P", entry, {site});

        EXPECT_EQ(RunDravik(), 0);
        auto ended = std::filesystem::file_time_type::clock::now(), lastArrival = ended.min();
        std::set<std::string> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(server.root())) {
            if (!e.is_regular_file()) continue;
            files.insert(std::filesystem::relative(e.path(), server.root()).string());
            lastArrival = std::max(lastArrival, e.last_write_time());
        }
        EXPECT_EQ(files, (routed ? std::set<std::string>{"index.html", "notes.txt", "images/logo.gif"}
                                 : std::set<std::string>{"plain/site/index.html", "plain/site/notes.txt",
                                                         "plain/site/img/logo.gif"}));
        EXPECT_EQ(ReadFile(server.Local(routed ? "images/logo.gif" : "plain/site/img/logo.gif")),
                  std::string("GIF89a\x01\0\x01\0", 10));
        EXPECT_EQ(ReadFile(server.Local(routed ? "index.html" : "plain/site/index.html")), "<html>parvex</html>\n");
        double afterLast = Seconds(ended - lastArrival);
        EXPECT_GT(afterLast, 1.8) << entry;
        EXPECT_LT(afterLast, 4.0) << entry;
        EXPECT_EQ(HandOffPresent(), !routed);
    }
    EXPECT_EQ(ReadFile(started), "started\n") << "the browser is started once, for the run that asked for it";
}

// In the bottom right corner, a long status text shown whole over several lines; once over, the button offers to close.
TEST_F(Dravik, ALongFailureTextIsShownWholeAndTheEndedTransferOffersToClose) {
    FtpServer server(FtpServer::Kind::Fault, "no-greeting");
    WriteEntry("P", "/", server, "/");
    WriteHandOff("P", "/", {Site()});
    const std::string texts[] = {
        "ログインできませんでした。ユーザー名またはパスワードが正しくありません。",
        "530 Login authentication failed for user parvex: the account is locked after too many attempts; "
        "contact the administrator of ftp.example.jp & try again later.",
        std::string(259, 'x'),
    };
    dravik::TransferDialog dialog;
    testsupport::ShowAndSettle(&dialog);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return dialog.StatusLine()->GetLabel().StartsWith("127.0.0.1"); }));
    const wxSize base = dialog.GetClientSize();
    EXPECT_TRUE(dialog.AbortButton()->HasFocus());
    EXPECT_TRUE(dialog.Animation()->IsRunning());
    wxRect r = dialog.GetScreenRect();
    EXPECT_EQ(r.GetRight() + 1, 1024) << "right edge on the screen's right edge";
    EXPECT_EQ(r.GetBottom() + 1, 768 - 30) << "bottom edge 30 pixels above the screen's bottom";
    for (const std::string& text : texts) {
        dialog.WalkerDisplay()->SetStatusText(text);
        if (&text == &texts[0]) dialog.WalkerDisplay()->TransferEnded(false);  // the walker's order on a failure
        ASSERT_TRUE(testsupport::PumpUntil([&] {
            return dialog.StatusLine()->GetToolTipText() == wxString::FromUTF8(text);
        })) << text;
        testsupport::Pump(100);
        wxStaticText* line = dialog.StatusLine();
        wxString shown = line->GetLabelText();
        if (text.size() < 250) {
            shown.Replace("\n", "");
            EXPECT_EQ(shown.utf8_string(), text) << "nothing cut";
        }
        wxArrayString lines = wxSplit(line->GetLabelText(), '\n', '\0');
        EXPECT_GE(lines.size(), 2u) << text;
        const int lineHeight = line->GetTextExtent(wxString::FromUTF8("漢Ag")).y;
        for (const wxString& l : lines) EXPECT_LE(line->GetTextExtent(l).x, line->GetSize().x) << l.utf8_string();
        EXPECT_GE(line->GetSize().y + 4, static_cast<int>(lines.size()) * lineHeight) << "every line inside the frame";
        wxRect frame = line->GetParent()->GetRect();
        EXPECT_LE(frame.GetBottom(), dialog.GetClientSize().y) << "the frame is inside the dialog";
        EXPECT_GT(frame.GetTop(), dialog.AbortButton()->GetRect().GetBottom()) << "below the button, not over it";
        r = dialog.GetScreenRect();
        EXPECT_EQ(r.GetRight() + 1, 1024);
        EXPECT_EQ(r.GetBottom() + 1, 768 - 30) << "grown upwards, still in the corner";
        if (&text != &texts[0]) continue;

        ASSERT_TRUE(dialog.TransferHasEnded());
        dialog.WalkerDisplay()->PlayAnimation();
        testsupport::Pump(100);
        EXPECT_FALSE(dialog.Animation()->IsRunning());
        EXPECT_EQ(dialog.AbortButton()->GetLabel(), wxString::FromUTF8("閉じる(&C)"));
    }
    EXPECT_GT(dialog.GetClientSize().y, base.y);
    dialog.Hide();
}

// A certificate that fails verification is asked about over the progress window: refused, the status and the desktop
// notice say why and nothing is sent; trusted, the files go; the window closed under it ends the walker at once.
TEST_F(Dravik, TheCertificateQuestionComesUpOverTheProgressWindow) {
    FtpServer server(FtpServer::Kind::VsftpdTls);
    WriteEntry("P", "www", server, server.home());
    testsupport::Put(layout::EntryKey("P", "www"), {{layout::kEncryption, 2u}});
    const char* shots = std::getenv("PARVEX_SCREENSHOT_DIR");
    const struct {
        const char* what;
        int answer;  // 0: the window goes while the question is up
    } rows[] = {{"closed", 0}, {"refused", wxID_CANCEL}, {"trusted", wxID_OK}};
    const std::string site = Site();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove_all(server.Local("site"));
        WriteHandOff("P", "www", {site});
        int asked = 0;
        bool overProgress = false;
        std::string text;
        std::optional<dravik::FailedTransfer> failure;
        double stopping = -1;
        bool abandoned = true;
        std::optional<testsupport::Driver> closer, ender;
        {
            dravik::TransferDialog dialog;
            testsupport::AnswerDialogs answer([&](wxDialog* d) -> int {
                auto* question = dynamic_cast<ui::CertificateQuestion*>(d);
                if (!question) return wxID_NONE;
                ++asked;
                overProgress = question->GetParent() == &dialog;
                text = question->Text();
                if (row.answer) return row.answer;
                closer.emplace([&, question, polls = 0]() mutable {
                    if (!question->IsShownOnScreen() && ++polls < 100) return false;
                    if (shots) {
                        testsupport::Pump(300);
                        EXPECT_TRUE(testsupport::SaveScreenshot(question->GetScreenRect().Union(dialog.GetScreenRect()),
                                                                std::string(shots) + "/certificate-question-dravik.png"));
                    }
                    const auto start = Clock::now();
                    dialog.StopWalker();  // as the closing dialog does
                    stopping = Seconds(Clock::now() - start);
                    EXPECT_FALSE(question->IsModal()) << "the question stayed up";
                    // Ended from the outer loop: an EndModal from inside the question's loop would end that one.
                    ender.emplace([&] { dialog.EndModal(wxID_CANCEL); return true; }, 100);
                    return true;
                });
                return wxID_NONE;
            });
            ShowModalAtMost(dialog);
            dialog.StopWalker();
            abandoned = dialog.WalkerAbandoned();
            failure = dialog.Failure();
        }
        EXPECT_FALSE(abandoned);
        EXPECT_EQ(asked, 1);
        EXPECT_TRUE(overProgress);
        EXPECT_TRUE(text.starts_with("サーバ「127.0.0.1」の証明書を確認できませんでした。")) << text;
        if (row.answer == 0) {
            EXPECT_GE(stopping, 0.0);
            EXPECT_LT(stopping, 2.0) << "the walker waited on after the window went";
        }
        if (row.answer == wxID_OK) {
            EXPECT_FALSE(failure.has_value()) << failure->status;
            EXPECT_EQ(ReadFile(server.Local("site/img/logo.gif")), std::string("GIF89a\x01\0\x01\0", 10));
            continue;
        }
        EXPECT_FALSE(std::filesystem::exists(server.Local("site")));
        ASSERT_TRUE(failure.has_value());
        if (row.answer == 0) continue;
        EXPECT_EQ(failure->status, walk::kCertificateRefused);
        EXPECT_NE(dravik::ComposeFailureNotice(*failure, false).body.find(walk::kCertificateRefused), std::string::npos);
    }
}

// A store that cannot be used is named, with what is wrong, in a message box: a silent end looks like nothing happened.
TEST_F(Dravik, AStoreThatCannotBeUsedIsReportedWithItsPathAndTheFault) {
    const std::string corrupt = local / "corrupt.db", folder = local / "folder.db", file = local / "a-file";
    WriteFile(corrupt, std::string(4096, 'z'));
    std::filesystem::create_directory(folder);
    WriteFile(file, "");
    const struct {
        std::string store;
        winreg::LONG status;
        const char* why;
    } cases[] = {
        {corrupt, winreg::ERROR_BADDB, "ファイルが壊れているか、Parvex の設定ファイルではありません。"},
        {folder, winreg::ERROR_REGISTRY_IO_FAILED, "ファイルのあるべき場所がフォルダーになっています。"},
        {file + "/registry.db", winreg::ERROR_REGISTRY_IO_FAILED, "パスの途中にフォルダーではなくファイルがあります。"},
    };
    for (const auto& c : cases) {
        ::setenv("PARVEX_REGISTRY", c.store.c_str(), 1);
        winreg::ResetStore();
        EXPECT_EQ(dravik::TransferApp::HandOffStatus(), c.status) << c.store;
        std::string text = dravik::TransferApp::StoreProblemText(c.store, c.status).utf8_string();
        EXPECT_NE(text.find("設定ファイル: " + c.store + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find(c.why), std::string::npos) << text;
    }

    // The box itself, as the program shows it.
    testsupport::ScopedStore broken;
    WriteFile(broken.file(), std::string(4096, 'z'));
    testsupport::Gtk gtk;
    ASSERT_TRUE(gtk.Complete());
    std::string shown;
    testsupport::Driver answer([&] { return !(shown = gtk.AnswerMessageBox("Parvex - DVK").text).empty(); });
    Clock::time_point start = Clock::now();
    dravik::TransferApp::ShowStoreProblem(dravik::TransferApp::HandOffStatus());
    EXPECT_LT(Seconds(Clock::now() - start), 10.0);
    EXPECT_NE(shown.find(broken.file()), std::string::npos) << shown;
    EXPECT_NE(shown.find("ファイルが壊れているか"), std::string::npos) << shown;

    // The program stays with its box instead of ending silently.
    int pid = testsupport::Spawn({DRAVIK});
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "dravik ended without a word";
    ::kill(pid, SIGTERM);
    testsupport::Wait(pid);
    EXPECT_EQ(ReadFile(broken.file()), std::string(4096, 'z')) << "the file is left as it was";
}

// Whether another process would find a lock of this process on `path`: locks
// are never reported to their own process, so a child asks.
bool LockedFromOutside(const std::string& path) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        bool locked = fd >= 0 && ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        ::_exit(locked ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Telling why the store failed never opens the store file itself: closing that descriptor would drop every lock
// this process's store connection holds.
TEST_F(Dravik, TellingWhatIsWrongWithTheStoreLeavesItsLocksInPlace) {
    WriteHandOff("P", "e", {local / "a.txt"});
    ASSERT_TRUE(LockedFromOutside(store.file())) << "the store's connection holds no lock to keep";
    std::string text =
        dravik::TransferApp::StoreProblemText(store.file(), winreg::ERROR_REGISTRY_IO_FAILED).utf8_string();
    EXPECT_NE(text.find("ファイルを読み書きできません"), std::string::npos) << text;
    EXPECT_TRUE(LockedFromOutside(store.file())) << "the store's locks were dropped";
}

}  // namespace
