// Reading a definition file through the library's entry point, as the user
// does it: the file dialog answered on the screen, the store checked, and the
// message box that closes the import read back from GTK.
#include "common/registry/layout.h"
#include "settings/halvex32/halvex32.h"
#include "tests/support/gtk_dialogs.h"
#include "tests/support/gui_support.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/timer.h>

#include <chrono>
#include <string>

namespace {

using namespace winreg;
using Clock = std::chrono::steady_clock;
using testsupport::Gtk;

const std::string kTwoProfiles =
    "[PROFILE]\r\nPROFILE=2\r\nPROFILE1=日本のサーバ\r\nSERVERADDR1=ftp.example.jp\r\nUSERNAME1=taro\r\n"
    "USERPWD1=秘密\r\nMOVEDIR1=/public_html\r\nVIEWMOVEDIR1=ホームページ\r\nPORT1=21\r\n"
    "PROFILE2=second\r\nSERVERADDR2=127.0.0.1\r\nUSERNAME2=anonymous\r\nANONYMOUS2=1\r\nPORT2=2121\r\n";

// Each row starts from an empty store; a row without a file cancels the dialog.
TEST(ReadServerDefines, TheChosenFileIsImportedAndTheOutcomeShownInABox) {
    const struct {
        const char* file;
        std::string bytes;
        int result;
        std::vector<std::string> providers;
        const char* said;  // after the full path in the box
        int boxType;       // GtkMessageType: 0 information, 3 error
    } rows[] = {
        {nullptr, "", 2, {}, nullptr, -1},
        {"サーバ定義.ini", kTwoProfiles, 1, {"second", "日本のサーバ"}, "の読込が完了しました。|", 0},
        // A binary file under a name the dialog's filter lets through.
        {"broken.def", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe", 12) + std::string(2000, '\0'), 1, {},
         " は定義ファイルではありません", 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file ? row.file : "cancel");
        testsupport::ScopedStore store;
        const std::string path = row.file ? store.dir() / row.file : std::string();
        if (row.file) testsupport::WriteFile(path, row.bytes);

        // The dialogs run their own loops inside the call; a timer answers
        // them as the user would, and gives up (cancelling) when one does not
        // behave, so that the call always returns.
        enum class Step { kFindDialog, kWaitForPath, kBox, kDone } step = Step::kFindDialog;
        std::string failure, pathSeen;
        Gtk::Box shown;
        Clock::time_point stepStart = Clock::now();
        auto expired = [&] { return Clock::now() - stepStart > std::chrono::seconds(10); };
        wxTimer answer;
        const Gtk gtk;
        ASSERT_TRUE(gtk.Complete());
        answer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            if (step == Step::kFindDialog) {
                void* chooser = gtk.FileChooser();
                if (!chooser) {
                    if (expired()) failure = "no file dialog appeared", step = Step::kDone;
                    return;
                }
                if (!row.file) {
                    gtk.respond(chooser, Gtk::kCancel);
                    step = Step::kDone;
                    return;
                }
                if (!gtk.setFilename(chooser, path.c_str())) {
                    failure = "the file dialog refused " + path;
                    gtk.respond(chooser, Gtk::kCancel);
                    step = Step::kDone;
                    return;
                }
                step = Step::kWaitForPath, stepStart = Clock::now();
            } else if (step == Step::kWaitForPath) {
                // The chooser selects the file only once it has read the folder.
                void* chooser = gtk.FileChooser();
                if (!chooser) {
                    failure = "the file dialog closed by itself", step = Step::kDone;
                    return;
                }
                pathSeen = gtk.Filename(chooser);
                if (pathSeen == path) {
                    gtk.respond(chooser, Gtk::kAccept);
                    step = Step::kBox, stepStart = Clock::now();
                } else if (expired()) {
                    failure = "the file dialog never took the path, it says \"" + pathSeen + "\"";
                    gtk.respond(chooser, Gtk::kCancel);
                    step = Step::kDone;
                }
            } else if (step == Step::kBox) {
                shown = gtk.AnswerMessageBox("Parvex");
                if (!shown.text.empty()) {
                    step = Step::kDone;
                } else if (expired()) {
                    // A box under another title is answered to end the call;
                    // with no box at all the test's own timeout ends it.
                    failure = "no message box titled Parvex after the import; seen: \"" +
                              gtk.AnswerMessageBox(nullptr).text + "\"";
                    step = Step::kDone;
                }
            }
        });
        answer.Start(50);
        const int result = PARVEX_ReadServerDefines();
        answer.Stop();
        testsupport::Pump(100);

        ASSERT_EQ(failure, "");
        EXPECT_EQ(step, Step::kDone);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(testsupport::StoredChildren(layout::kProviderKey), row.providers);
        if (row.providers.empty()) {
            EXPECT_FALSE(testsupport::KeyExists(layout::kProviderKey)) << "nothing is written";
        }
        if (!row.file) {
            EXPECT_EQ(shown.text, "");
        } else {
            EXPECT_NE(shown.text.find(path + row.said), std::string::npos) << shown.text;
            EXPECT_EQ(shown.type, row.boxType);
        }
        if (!row.providers.empty()) {
            const std::string e = layout::EntryKey("日本のサーバ", "/public_html");
            SettingKey key;
            std::string server;
            ASSERT_EQ(key.OpenKey(HKEY_CURRENT_USER, e), ERROR_SUCCESS);
            key.ReadString(layout::kServerAddr, server);
            EXPECT_EQ(server, "ftp.example.jp");
        }
    }
}

}  // namespace
