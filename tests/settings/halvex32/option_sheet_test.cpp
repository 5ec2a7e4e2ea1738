// The option sheet driven as a user drives it, against the real store.
#include "common/registry/layout.h"
#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/option_sheet.h"
#include "tesvar/tesvar.h"
#include "tests/settings/halvex32/user_input.h"
#include "tests/support/gtk_dialogs.h"
#include "tests/support/gui_support.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>

#include <filesystem>

namespace {

using namespace winreg;
using sheettest::Choose;
using sheettest::Press;
using sheettest::Tick;
using testsupport::Gtk;
using testsupport::Pump;
using testsupport::PumpUntil;
using testsupport::StoredDword;
using testsupport::StoredString;

using Options = settings::OptionValues;

void Store(const Options& o) { ASSERT_EQ(settings::SaveOptions(o), ERROR_SUCCESS); }

void ExpectStored(const Options& o) {
    const std::string k = layout::kOptionKey;
    EXPECT_EQ(StoredString(k, layout::kTextMode), o.textMode);
    EXPECT_EQ(StoredString(k, layout::kBinaryMode), o.binaryMode);
    EXPECT_EQ(StoredDword(k, layout::kCodeConvert), o.codeConvert);
    EXPECT_EQ(StoredDword(k, layout::kUploadConvert), o.uploadConvert);
    EXPECT_EQ(StoredDword(k, layout::kDownloadConvert), o.downloadConvert);
    EXPECT_EQ(StoredDword(k, layout::kUploadConvCode), o.uploadConvCode);
    EXPECT_EQ(StoredDword(k, layout::kDownloadConvCode), o.downloadConvCode);
    EXPECT_EQ(StoredString(k, layout::kDownloadFolder), o.downloadFolder);
    EXPECT_EQ(StoredDword(k, layout::kSendChangedOnly), o.sendChangedOnly);
    EXPECT_EQ(StoredDword(k, layout::kConnections), o.connections);
}

// One sheet over a fresh store; destroyed before the store goes.
struct OptionSheet : testing::Test {
    testsupport::ScopedStore store;
    CSheetOption* sheet = nullptr;

    void Open() {
        sheet = new CSheetOption(nullptr);
        testsupport::ShowAndSettle(sheet);
    }
    void TearDown() override {
        if (sheet) sheet->Destroy();
        Pump(50);
    }
    template <class T = wxWindow>
    T* Find(const wxString& name) const {
        auto* w = dynamic_cast<T*>(sheet->FindWindow(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    wxTextCtrl* Edit(const char* name) const { return Find<wxTextCtrl>(name); }
    wxRadioButton* Radio(const wxString& name) const { return Find<wxRadioButton>(name); }
    wxCheckBox* Box(const char* name) const { return Find<wxCheckBox>(name); }
    wxRadioButton* Code(const char* prefix, int i) const { return Radio(wxString::Format("%s%d", prefix, i)); }
    void Ok() {
        Press(sheet->FindWindow(wxID_OK));
        EXPECT_TRUE(PumpUntil([&] { return !sheet->IsShown(); }, 2000));
    }
    // The enabled state of the two check boxes and the six codes.
    std::vector<bool> Enabled() const {
        std::vector<bool> e{Box(CPropPageTrans::kUploadName)->IsEnabled(),
                            Box(CPropPageTrans::kDownloadName)->IsEnabled()};
        for (const char* p : {CPropPageTrans::kUploadCodePrefix, CPropPageTrans::kDownloadCodePrefix})
            for (int i = 0; i < 3; ++i) e.push_back(Code(p, i)->IsEnabled());
        return e;
    }
};

std::string DocumentsFolder() {
    char buffer[260] = "";
    GetSpecialFolder(5, buffer);
    return buffer;
}

TEST_F(OptionSheet, WithoutAnOptionKeyItOpensEmptyAndOkWritesTheDefaults) {
    Open();
    EXPECT_FALSE(testsupport::KeyExists(layout::kOptionKey)) << "loading never creates the key";

    for (const char* name : {CPropPageDl::kFolderName, CPropPageTrans::kTextModeName, CPropPageTrans::kBinaryModeName})
        EXPECT_TRUE(Edit(name)->IsEmpty()) << name;
    EXPECT_TRUE(Radio(CPropPageTrans::kConvertOffName)->GetValue());
    EXPECT_EQ(Enabled(), std::vector<bool>(8, false));
    Ok();
    ExpectStored({".htm;.html;.txt;.cgi;", ".exe;.lzh;.zip;", 0, 0, 0, 0, 0, DocumentsFolder()});
}

TEST_F(OptionSheet, EditedFieldsAreSavedAndClearedOnesFallBackToTheDefaults) {
    const struct {
        const char* text;
        const char* binary;
        const char* folder;
        Options stored;
    } rows[] = {
        {"", ".gz;", "/srv/ダウンロード", {".htm;.html;.txt;.cgi;", ".gz;", 1, 1, 0, 2, 1, "/srv/ダウンロード"}},
        {".css;.js;", "", "", {".css;.js;", ".exe;.lzh;.zip;", 1, 1, 0, 2, 1, DocumentsFolder(), 1, 4}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        Store({".txt;", ".zip;", 1, 1, 0, 2, 1, "/home/old"});
        Open();
        EXPECT_EQ(Edit(CPropPageTrans::kTextModeName)->GetValue(), ".txt;");
        EXPECT_EQ(Edit(CPropPageDl::kFolderName)->GetValue(), "/home/old");
        Edit(CPropPageTrans::kTextModeName)->SetValue(row.text);
        Edit(CPropPageTrans::kBinaryModeName)->SetValue(row.binary);
        Edit(CPropPageDl::kFolderName)->SetValue(wxString::FromUTF8(row.folder));
        EXPECT_FALSE(Box(CPropPageTrans::kChangedOnlyName)->GetValue());
        Tick(Box(CPropPageTrans::kChangedOnlyName), row.stored.sendChangedOnly == 1);
        auto* connections = Find<wxSpinCtrl>(CPropPageTrans::kConnectionsName);
        EXPECT_EQ(connections->GetValue(), 1);
        connections->SetValue(static_cast<int>(row.stored.connections));
        Ok();
        ExpectStored(row.stored);
        sheet->Destroy();
        sheet = nullptr;
    }
}

TEST_F(OptionSheet, CancelWritesNothing) {
    Open();
    Edit(CPropPageTrans::kTextModeName)->SetValue(".c;");
    Choose(Radio(CPropPageTrans::kConvertOnName));
    Press(sheet->FindWindow(wxID_CANCEL));
    EXPECT_TRUE(PumpUntil([&] { return !sheet->IsShown(); }, 2000));
    EXPECT_FALSE(testsupport::KeyExists(layout::kOptionKey));
}

TEST_F(OptionSheet, TurningConversionOffAndOnRestoresTheChoices) {
    Store({".txt;", ".zip;", 1, 1, 0, 2, 1, "/d"});
    Open();
    const char* up = CPropPageTrans::kUploadCodePrefix;
    const char* down = CPropPageTrans::kDownloadCodePrefix;
    auto* upload = Box(CPropPageTrans::kUploadName);
    auto* download = Box(CPropPageTrans::kDownloadName);
    // Upload converts to EUC; download is off, its codes disabled but showing JIS.
    EXPECT_TRUE(Radio(CPropPageTrans::kConvertOnName)->GetValue());
    EXPECT_TRUE(upload->GetValue());
    EXPECT_FALSE(download->GetValue());
    EXPECT_TRUE(Code(up, 2)->GetValue());
    EXPECT_TRUE(Code(down, 1)->GetValue());
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, true, true, false, false, false}));

    Choose(Radio(CPropPageTrans::kConvertOffName));
    EXPECT_FALSE(Radio(CPropPageTrans::kConvertOnName)->GetValue());
    EXPECT_EQ(Enabled(), std::vector<bool>(8, false));
    Choose(Radio(CPropPageTrans::kConvertOnName));
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, true, true, false, false, false}));
    EXPECT_TRUE(upload->GetValue());
    EXPECT_TRUE(Code(up, 2)->GetValue());

    // Download on with SJIS, upload code to JIS; off again: OK keeps the choices, with conversion off.
    Tick(download, true);
    EXPECT_TRUE(Code(down, 0)->IsEnabled());
    Choose(Code(down, 0));
    Choose(Code(up, 1));
    EXPECT_FALSE(Code(up, 2)->GetValue());
    Choose(Radio(CPropPageTrans::kConvertOffName));
    Ok();
    ExpectStored({".txt;", ".zip;", 0, 1, 1, 1, 0, "/d"});
}

TEST_F(OptionSheet, StoredValuesTheProgramsReadDifferentlyAreShownAsTheyAct) {
    // Conversion off with upload stored on and JIS: the box shows it (greyed), so turning conversion on offers
    // exactly what will be saved. A flag of 5 is not 1 (the transfer program does not convert) and a code of 9 is
    // shown, and saved, as SJIS.
    // A connection count outside 1 to 8, written by hand, is read as the nearest end, and saved so.
    Store({".txt;", ".zip;", 0, 1, 5, 1, 9, "/d"});
    SettingKey key;
    ASSERT_EQ(key.OpenKey(HKEY_CURRENT_USER, layout::kOptionKey), ERROR_SUCCESS);
    for (const DWORD stored : {0u, 9u, 0xFFFFFFFFu}) {
        key.WriteDword(layout::kConnections, stored);
        Options read;
        settings::LoadOptions(read);
        EXPECT_EQ(read.connections, stored == 0 ? 1u : 8u) << stored;
    }
    Open();
    EXPECT_EQ(Find<wxSpinCtrl>(CPropPageTrans::kConnectionsName)->GetValue(), 8);
    EXPECT_TRUE(Radio(CPropPageTrans::kConvertOffName)->GetValue());
    EXPECT_TRUE(Box(CPropPageTrans::kUploadName)->GetValue());
    EXPECT_FALSE(Box(CPropPageTrans::kDownloadName)->GetValue());
    Choose(Radio(CPropPageTrans::kConvertOnName));
    EXPECT_TRUE(Code(CPropPageTrans::kUploadCodePrefix, 1)->GetValue());
    EXPECT_TRUE(Code(CPropPageTrans::kDownloadCodePrefix, 0)->GetValue());
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, true, true, false, false, false}));
    Ok();
    ExpectStored({".txt;", ".zip;", 1, 1, 5, 1, 0, "/d", 0, 8});
}

TEST_F(OptionSheet, ExtensionListsHoldWhatTheStoreCanReadBack) {
    Open();
    auto* text = Edit(CPropPageTrans::kTextModeName);
    std::string list;
    while (list.size() < 300) list += ".ext" + std::to_string(list.size()) + ";";
    text->SetValue(list);
    std::string kept = text->GetValue().utf8_string();
    EXPECT_LE(kept.size(), 255u);
    EXPECT_EQ(kept.back(), ';');
    EXPECT_EQ(list.compare(0, kept.size(), kept), 0);
    Ok();
    SettingKey key;
    std::string read;
    ASSERT_EQ(key.OpenKey(HKEY_CURRENT_USER, layout::kOptionKey), ERROR_SUCCESS);
    EXPECT_EQ(key.ReadString(layout::kTextMode, read), ERROR_SUCCESS);
    EXPECT_EQ(read, kept);
}

TEST_F(OptionSheet, ChosenExtensionsReplaceOnlyTheListWhoseButtonWasPressed) {
    Store({".txt;", ".zip;", 0, 0, 0, 0, 0, "/d"});
    Open();
    auto* text = Edit(CPropPageTrans::kTextModeName);
    auto* binary = Edit(CPropPageTrans::kBinaryModeName);

    Press(sheet->FindWindow(CPropPageTrans::kBinaryBrowseName));
    CSheetExtSelect* ext = CurrentExtSelectSheet();
    ASSERT_NE(ext, nullptr);
    EXPECT_FALSE(sheet->IsEnabled());
    EXPECT_FALSE(ext->FindWindow(CPageExtSelect::kDirectoryName)->IsShown());  // extensions only
    dynamic_cast<wxTextCtrl*>(ext->FindWindow(CPageExtSelect::kExtensionsName))->SetValue(".gif;.jpg;");
    Press(ext->FindWindow(CPageExtSelect::kDecideName));
    ASSERT_TRUE(PumpUntil([&] { return sheet->IsEnabled() && binary->GetValue() == ".gif;.jpg;"; }));
    EXPECT_EQ(text->GetValue(), ".txt;");

    // Closed without a choice: the previous choice is still in the pair, and must not land in the text list.
    Press(sheet->FindWindow(CPropPageTrans::kTextBrowseName));
    ext = CurrentExtSelectSheet();
    ASSERT_NE(ext, nullptr);
    Press(ext->FindWindow(CPageExtSelect::kCloseName));
    ASSERT_TRUE(PumpUntil([&] { return sheet->IsEnabled(); }));
    Pump(100);
    EXPECT_EQ(text->GetValue(), ".txt;");
    Ok();
    ExpectStored({".txt;", ".gif;.jpg;", 0, 0, 0, 0, 0, "/d"});
}

TEST_F(OptionSheet, TheFolderButtonAsksForAFolderAndTakesIt) {
    testsupport::TempDir tmp;
    const std::string chosen = tmp / "受信フォルダ";
    std::filesystem::create_directory(chosen);
    Store({".txt;", ".zip;", 0, 0, 0, 0, 0, tmp.path()});
    Open();
    const testsupport::Gtk gtk;
    ASSERT_TRUE(gtk.Complete());
    testsupport::Driver answer([&] { return gtk.ChooseFile(chosen); });
    Press(sheet->FindWindow(CPropPageDl::kBrowseName));
    ASSERT_TRUE(answer.done) << "the folder dialog did not come or did not take the folder";
    EXPECT_EQ(Edit(CPropPageDl::kFolderName)->GetValue().utf8_string(), chosen);
    Ok();
    EXPECT_EQ(StoredString(layout::kOptionKey, layout::kDownloadFolder), chosen);
}

TEST(ShowOption, RunsModallyAndOkSaves) {
    testsupport::ScopedStore store;
    testsupport::Driver ok([] {
        auto* s = testsupport::ModalWindow<CSheetOption>();
        if (s) dynamic_cast<wxTextCtrl*>(s->FindWindow(CPropPageTrans::kBinaryModeName))->SetValue(".7z;");
        if (s) Press(s->FindWindow(wxID_OK));
        return s != nullptr;
    });
    PARVEX_ShowOption();
    EXPECT_TRUE(ok.done);
    EXPECT_EQ(StoredString(layout::kOptionKey, layout::kBinaryMode), ".7z;");
}

// With PARVEX_SCREENSHOT_DIR set: both pages saved as option-1-folder.png and option-2-transfer.png.
TEST_F(OptionSheet, Screenshots) {
    if (!std::getenv("PARVEX_SCREENSHOT_DIR")) GTEST_SKIP() << "set PARVEX_SCREENSHOT_DIR to a folder";
    Store({".htm;.html;.txt;.cgi;.csv;", ".lzh;.zip;.exe;", 1, 1, 0, 2, 0, "/home/taro/ダウンロード", 1, 2});
    Open();
    sheet->Move(10, 10);
    testsupport::Screenshot("PARVEX_SCREENSHOT_DIR", sheet, "option-1-folder.png");
    sheet->GetBookCtrl()->SetSelection(1);
    Pump(700);
    testsupport::Screenshot("PARVEX_SCREENSHOT_DIR", sheet, "option-2-transfer.png");
}

}  // namespace
