// Reading a definition file through the library's entry point, as the user does it: the file dialog answered on the
// screen, the store checked, and the message box that closes the import read back from GTK.
#include "common/registry/layout.h"
#include "settings/halvex32/halvex32.h"
#include "tests/support/gtk_dialogs.h"
#include "tests/support/gui_support.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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

// What one call of the entry point did: its result, the message box that
// ended it, and what went wrong in answering its dialogs ("" when nothing did).
struct Import {
    int result = 0;
    Gtk::Box shown;
    std::string failure;
    bool done = false;
};

// Calls PARVEX_ReadServerDefines and answers its dialogs as the user would: chooses `path` in the file dialog
// (cancels it when `path` is empty) and closes the box that tells the outcome. The dialogs run their own loops inside
// the call; a timer answers them, and gives up (cancelling) when one does not behave, so that the call always returns.
Import RunImport(const std::string& path) {
    Import out;
    const Gtk gtk;
    if (!gtk.Complete()) {
        out.failure = "GTK functions missing";
        return out;
    }
    bool chosen = false;
    Clock::time_point stepStart = Clock::now();
    testsupport::Driver answer([&] {
        const bool late = Clock::now() - stepStart > std::chrono::seconds(10);
        if (!chosen) {
            void* chooser = gtk.FileChooser();
            if (!chooser) {
                if (late) out.failure = "no file dialog appeared";
                return late;
            }
            // The chooser selects the file only once it has read the folder.
            if (!path.empty() && gtk.ChooseFile(path)) {
                chosen = true;
                stepStart = Clock::now();
                return false;
            }
            if (!path.empty() && !late) return false;
            if (!path.empty()) out.failure = "the file dialog never took the path: " + gtk.Filename(chooser);
            gtk.respond(chooser, Gtk::kCancel);
            return true;
        }
        out.shown = gtk.AnswerMessageBox("Parvex");
        if (!out.shown.text.empty() || !late) return !out.shown.text.empty();
        // A box under another title is answered to end the call; with no box at all the test's own timeout ends it.
        out.failure = "no message box titled Parvex after the import; seen: \"" + gtk.AnswerMessageBox(nullptr).text + "\"";
        return true;
    });
    out.result = PARVEX_ReadServerDefines();
    testsupport::Pump(100);
    out.done = answer.done;
    return out;
}

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
        {"broken.def", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe", 12) + std::string(2000, '\0'), 1,
         {}, " は定義ファイルではありません", 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file ? row.file : "cancel");
        testsupport::ScopedStore store;
        const std::string path = row.file ? store.dir() / row.file : std::string();
        if (row.file) testsupport::WriteFile(path, row.bytes);
        const Import run = RunImport(path);
        ASSERT_EQ(run.failure, "");
        EXPECT_TRUE(run.done);
        EXPECT_EQ(run.result, row.result);
        EXPECT_EQ(testsupport::StoredChildren(layout::kProviderKey), row.providers);
        if (row.providers.empty()) {
            EXPECT_FALSE(testsupport::KeyExists(layout::kProviderKey)) << "nothing is written";
        }
        if (!row.file) {
            EXPECT_EQ(run.shown.text, "");
        } else {
            EXPECT_NE(run.shown.text.find(path + row.said), std::string::npos) << run.shown.text;
            EXPECT_EQ(run.shown.type, row.boxType);
        }
        if (!row.providers.empty()) {
            EXPECT_EQ(testsupport::StoredString(layout::EntryKey("日本のサーバ", "/public_html"), layout::kServerAddr),
                      "ftp.example.jp");
        }
    }
}

// The providers under PROVIDER as another connection to the file sees them: only what has been committed.
std::vector<std::string> CommittedProviders(const std::string& file) {
    std::vector<std::string> names;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT p.name FROM keys p JOIN keys k ON p.parent=k.id WHERE k.fold='PROVIDER' "
                           "ORDER BY p.fold",
                           -1, &q, nullptr);
        while (q && sqlite3_step(q) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)));
        sqlite3_finalize(q);
    }
    sqlite3_close(db);
    return names;
}

// The program and the library share one store: an import made while the program holds a transaction joins it at once
// (rather than waiting for the program's own lock until the store gives up), is seen by the program before it
// commits, and is stored or dropped with the program's transaction.
TEST(ReadServerDefines, ImportMadeWhileTheProgramHoldsATransactionJoinsIt) {
    for (const bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "committed" : "dropped");
        testsupport::ScopedStore store;
        const std::string path = store.dir() / "サーバ定義.ini";
        testsupport::WriteFile(path, kTwoProfiles);
        {
            Transaction held;
            ASSERT_EQ(held.Status(), ERROR_SUCCESS);
            const Import run = RunImport(path);
            ASSERT_EQ(run.failure, "");
            EXPECT_EQ(run.result, 1);
            EXPECT_NE(run.shown.text.find("の読込が完了しました。"), std::string::npos) << run.shown.text;
            EXPECT_EQ(testsupport::StoredChildren(layout::kProviderKey),
                      (std::vector<std::string>{"second", "日本のサーバ"}));
            EXPECT_EQ(CommittedProviders(store.file()), std::vector<std::string>{}) << "nothing is committed yet";
            if (commit) {
                EXPECT_EQ(held.Commit(), ERROR_SUCCESS);
            }
        }
        EXPECT_EQ(CommittedProviders(store.file()),
                  commit ? (std::vector<std::string>{"second", "日本のサーバ"}) : std::vector<std::string>{});
        EXPECT_EQ(testsupport::KeyExists(layout::kProviderKey), commit);
    }
}

}  // namespace
