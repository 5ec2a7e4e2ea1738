#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/ftp_dir_dialog.h"
#include "settings/halvex32/mime_extensions.h"
#include "tests/settings/halvex32/user_input.h"
#include "tests/support/gui_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include <filesystem>

namespace {

using sheettest::Press;
using sheettest::Tick;
using testsupport::Pump;
using testsupport::PumpUntil;

using testsupport::ScopedEnv;

TEST(ExtensionList, ReadsUserAndSystemGlobsSortedOnce) {
    testsupport::TempDir tmp;
    for (const char* d : {"home/mime", "sys1/mime", "sys2/mime"}) std::filesystem::create_directories(tmp / d);
    // globs2 wins over globs in the same folder; a folder with only globs is still read.
    testsupport::WriteFile(tmp / "home/mime/globs2",
                           "# comment *.zzz\n50:text/x-mine:*.mine\r\n50:text/html:*.html\n"
                           "50:text/html:*.htm:cs\n50:text/x-c:*.C\n");
    testsupport::WriteFile(tmp / "home/mime/globs", "text/x-ignored:*.ignored\n");
    testsupport::WriteFile(tmp / "sys1/mime/globs",
                           "text/html:*.html\napplication/x-tar:*.tar.gz\ntext/x-c:*.[ch]\ntext/x-make:Makefile\n");
    testsupport::WriteFile(tmp / "sys2/mime/globs2",
                           "10:a/b:*.a/b\n10:a/b:*.x\\y\n10:a/b:*.\n10:a/b:*.ab;cd\n10:a/b:__NOGLOBS__\n" +
                               ("10:a/b:*." + std::string(300, 'x') + "\n") + "10:a/b:*." +
                               std::string(258, 'k') + "\n");
    ScopedEnv home("XDG_DATA_HOME", tmp / "home");
    ScopedEnv dirs("XDG_DATA_DIRS", (tmp / "sys1") + ":relative/share::" + (tmp / "sys2"));

    EXPECT_EQ(halvex32::MimeFolders(),
              (std::vector<std::string>{tmp / "home/mime", tmp / "sys1/mime", tmp / "sys2/mime"}));
    EXPECT_EQ(halvex32::RegisteredExtensions(),
              (std::vector<std::string>{".C", ".htm", ".html", "." + std::string(258, 'k'), ".mine", ".tar.gz"}));
}

// A caller window and the sheet opened over it.
struct SheetFixture : testing::Test {
    wxFrame* caller = nullptr;
    int closedEvents = 0;
    int lastDecided = -1;

    void SetUp() override {
        caller = new wxFrame(nullptr, wxID_ANY, "caller");
        caller->Bind(EVT_EXT_SELECT_CLOSED, [this](wxCommandEvent& e) {
            ++closedEvents;
            lastDecided = e.GetInt();
        });
        testsupport::ShowAndSettle(caller);
    }
    void TearDown() override {
        caller->Destroy();
        Pump(50);
    }

    wxWindow* Open(ExtSelectResult* result, int mode) {
        wxWindow* sheet = PARVEX_ShowExtSelect(caller, result, nullptr, mode);
        EXPECT_TRUE(PumpUntil([sheet] { return sheet->IsShownOnScreen(); }, 3000));
        return sheet;
    }
    template <class T>
    static T* Find(wxWindow* sheet, const char* name) {
        return dynamic_cast<T*>(sheet->FindWindow(name));
    }
    static void Click(wxWindow* sheet, const char* name) { Press(sheet->FindWindow(name)); }
    static bool DecideEnabled(wxWindow* sheet) { return sheet->FindWindow(CPageExtSelect::kDecideName)->IsEnabled(); }
    bool WaitClosed(int events) {
        return PumpUntil([&] { return closedEvents == events; }, 3000) && caller->IsEnabled();
    }
};

TEST_F(SheetFixture, DefaultRowsSelectionAndDecideInModeOne) {
    ExtSelectResult result;
    wxWindow* sheet = Open(&result, 1);
    EXPECT_FALSE(caller->IsEnabled());
    EXPECT_TRUE(sheet->IsEnabled());

    auto* list = Find<wxListCtrl>(sheet, CPageExtSelect::kListName);
    ASSERT_NE(list, nullptr);
    const char* const expected[] = {".htm", ".html", ".gif", ".jpg", ".jpeg", ".mid"};
    ASSERT_EQ(list->GetItemCount(), 6);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_EQ(list->GetItemText(i, 0), expected[i]);
        EXPECT_FALSE(list->GetItemText(i, 1).empty());  // type name from the mime database
        wxListItem item;
        item.SetId(i);
        item.SetMask(wxLIST_MASK_IMAGE);
        ASSERT_TRUE(list->GetItem(item));
        EXPECT_GE(item.GetImage(), 0);  // an icon from the theme
    }
    EXPECT_NE(list->GetItemText(0, 1), list->GetItemText(2, 1));  // html and gif are different types
    // The full list holds every database extension.
    auto* all = Find<wxCheckBox>(sheet, CPageExtSelect::kAllName);
    Tick(all, true);
    EXPECT_EQ(static_cast<size_t>(list->GetItemCount()), halvex32::RegisteredExtensions().size());
    EXPECT_GT(list->GetItemCount(), 500);  // shared-mime-info is installed
    Tick(all, false);
    EXPECT_EQ(list->GetItemCount(), 6);

    auto* exts = Find<wxTextCtrl>(sheet, CPageExtSelect::kExtensionsName);
    auto* dir = Find<wxTextCtrl>(sheet, CPageExtSelect::kDirectoryName);
    list->SetItemState(2, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    list->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    EXPECT_TRUE(PumpUntil([&] { return exts->GetValue() == ".htm;.gif;"; })) << exts->GetValue();

    // 決定 needs both an extension and a directory in this mode.
    EXPECT_FALSE(DecideEnabled(sheet));
    dir->SetValue("html");
    EXPECT_TRUE(DecideEnabled(sheet));
    exts->SetValue("");
    EXPECT_FALSE(DecideEnabled(sheet));
    exts->SetValue(".htm;.gif;");

    // Fields keep at most 255 bytes, so what is saved reads back.
    dir->SetValue(wxString(100, 'a') + wxString(wxUniChar(0x3042), 90));
    EXPECT_LE(dir->GetValue().utf8_string().size(), 255u);
    EXPECT_TRUE(dir->GetValue().StartsWith(wxString(100, 'a') + wxUniChar(0x3042)));
    dir->SetValue(wxString::FromUTF8("公開/画像"));
    // The real picker, cancelled: the typed directory stays, the sheet comes back over a still disabled caller.
    testsupport::Driver cancelPicker([] {
        auto* picker = testsupport::ShownWindow<CFtpDirDialog>();
        if (picker) Press(picker->CancelButton());
        return picker != nullptr;
    });
    Click(sheet, CPageExtSelect::kBrowseName);
    EXPECT_TRUE(cancelPicker.done);
    EXPECT_EQ(dir->GetValue(), wxString::FromUTF8("公開/画像"));
    EXPECT_TRUE(sheet->IsEnabled());
    EXPECT_FALSE(caller->IsEnabled());

    Click(sheet, CPageExtSelect::kDecideName);
    ASSERT_TRUE(WaitClosed(1));
    EXPECT_EQ(lastDecided, 1);
    EXPECT_EQ(result.extensions, ".htm;.gif;");
    EXPECT_EQ(result.directory, "公開/画像");
}

TEST_F(SheetFixture, ABackslashInTheDirectoryKeepsTheSheetOpenAndSaysWhy) {
    ExtSelectResult result{".old;", "old"};
    wxWindow* sheet = Open(&result, 1);
    auto* dir = Find<wxTextCtrl>(sheet, CPageExtSelect::kDirectoryName);
    dir->SetValue(wxString::FromUTF8("公開\\画像"));
    ASSERT_TRUE(DecideEnabled(sheet));
    std::vector<wxString> told;
    {
        testsupport::AnswerDialogs answer([&](wxDialog* d) {
            if (auto* box = dynamic_cast<wxMessageDialog*>(d)) told.push_back(box->GetMessage());
            return wxID_OK;
        });
        Click(sheet, CPageExtSelect::kDecideName);
    }
    Pump(200);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].Contains("\\")) << told[0];
    EXPECT_TRUE(told[0].Contains(wxString::FromUTF8("転送先ディレクトリ"))) << told[0];
    EXPECT_EQ(CurrentExtSelectSheet(), sheet) << "the sheet stays open";
    EXPECT_EQ(closedEvents, 0);
    EXPECT_FALSE(caller->IsEnabled());
    EXPECT_EQ(dir->GetValue(), wxString::FromUTF8("公開\\画像")) << "what was typed stays";
    EXPECT_EQ(result.directory, "old");

    dir->SetValue(wxString::FromUTF8("公開/画像"));
    Click(sheet, CPageExtSelect::kDecideName);
    ASSERT_TRUE(WaitClosed(1));
    EXPECT_EQ(lastDecided, 1);
    EXPECT_EQ(result.directory, "公開/画像");
}

// Mode 0 hides the directory, starts from the caller's values and takes one extension; Close leaves the result as it
// was. The caller stays disabled until its last sheet closes.
TEST_F(SheetFixture, ModeZeroAndCloseLeaveTheResultAndTheCallerWaitsForItsLastSheet) {
    ExtSelectResult first, second{".txt;", "old"};
    wxWindow* a = Open(&first, 1);
    wxWindow* b = Open(&second, 0);
    EXPECT_FALSE(b->FindWindow(CPageExtSelect::kDirectoryName)->IsShown());
    EXPECT_FALSE(b->FindWindow(CPageExtSelect::kBrowseName)->IsShown());
    auto* exts = Find<wxTextCtrl>(b, CPageExtSelect::kExtensionsName);
    EXPECT_EQ(exts->GetValue(), ".txt;");
    EXPECT_TRUE(DecideEnabled(b));
    exts->SetValue(".css;");
    Click(a, CPageExtSelect::kCloseName);
    Pump(200);
    EXPECT_EQ(closedEvents, 0);
    EXPECT_FALSE(caller->IsEnabled());
    Click(b, CPageExtSelect::kCloseName);
    EXPECT_TRUE(WaitClosed(1));
    Pump(100);
    EXPECT_EQ(closedEvents, 1);
    EXPECT_EQ(lastDecided, 0);
    EXPECT_EQ(second.extensions, ".txt;");
    EXPECT_EQ(second.directory, "old");
}

}  // namespace
