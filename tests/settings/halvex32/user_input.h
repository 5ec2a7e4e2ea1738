// The settings windows' tests act as the user does, without the mouse: each
// control gets the command event a click on it sends.
#pragma once

#include "common/ui/certificate_question.h"
#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/ftp_dir_dialog.h"
#include "settings/halvex32/module.h"
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace sheettest {

using testsupport::Press;
using testsupport::Send;

inline void Choose(wxRadioButton* r) {
    r->SetValue(true);
    Send(r, wxEVT_RADIOBUTTON, 1);
}
inline void Tick(wxCheckBox* box, bool on) {
    box->SetValue(on);
    Send(box, wxEVT_CHECKBOX, on ? 1 : 0);
}
inline void Pick(wxChoice* choice, int index) {
    choice->SetSelection(index);
    Send(choice, wxEVT_CHOICE, index);
}

// What the directory picker showed while PickOverTls drove it.
struct PickerSeen {
    std::vector<std::string> questions;  // the text of each certificate question
    std::string status;                  // its status line when the login had ended
    std::vector<std::string> folders;    // the folders listed below its root
};

// Runs `open` (a press that opens the directory picker) and drives the picker: every certificate question is answered
// with `trust` (and, with PARVEX_SCREENSHOT_DIR set, the first one is saved there as certificate-question.png); once
// the login has listed the root, or the status says the certificate was not trusted, `choose` is typed and 選択
// pressed, or キャンセル when `choose` is empty or nothing was listed.
inline PickerSeen PickOverTls(const std::function<void()>& open, bool trust, const std::string& choose) {
    PickerSeen seen;
    testsupport::AnswerDialogs answer([&](wxDialog* d) {
        auto* question = dynamic_cast<ui::CertificateQuestion*>(d);
        if (!question) return static_cast<int>(wxID_NONE);
        seen.questions.push_back(question->Text());
        if (const char* dir = std::getenv("PARVEX_SCREENSHOT_DIR"); dir && seen.questions.size() == 1) {
            testsupport::ShowAndSettle(question);
            testsupport::Pump(300);
            EXPECT_TRUE(testsupport::SaveScreenshot(question, std::string(dir) + "/certificate-question.png"));
            question->Hide();
        }
        return static_cast<int>(trust ? wxID_OK : wxID_CANCEL);
    });
    const wxString untrusted = halvex32::LoadString(halvex32::IDS_FTPDIR_UNTRUSTED);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    testsupport::Driver poll([&] {
        auto* picker = testsupport::ShownWindow<CFtpDirDialog>();
        if (!picker) return false;
        wxTreeCtrl* tree = picker->Tree();
        const bool listed = tree->GetRootItem().IsOk() && tree->GetChildrenCount(tree->GetRootItem(), false) > 0;
        const wxString status = picker->StatusLine()->GetLabel();
        if (!listed && status != untrusted && std::chrono::steady_clock::now() < deadline) return false;
        seen.status = status.utf8_string();
        wxTreeItemIdValue cookie;
        for (auto c = tree->GetRootItem().IsOk() ? tree->GetFirstChild(tree->GetRootItem(), cookie) : wxTreeItemId();
             c.IsOk(); c = tree->GetNextChild(tree->GetRootItem(), cookie))
            seen.folders.push_back(tree->GetItemText(c).utf8_string());
        if (listed && !choose.empty()) picker->SelectedEdit()->SetValue(wxString::FromUTF8(choose));
        Press(listed && !choose.empty() ? picker->SelectButton() : picker->CancelButton());
        return true;
    }, 100);
    open();
    return seen;
}

// Presses `button` of the routing list on `sheet`, decides `exts` for `dir`
// in the extension sheet that opens, and waits until `sheet` takes input again.
inline void Route(wxWindow* sheet, const char* button, const char* exts, const char* dir) {
    Press(sheet->FindWindow(button));
    CSheetExtSelect* ext = CurrentExtSelectSheet();
    ASSERT_NE(ext, nullptr);
    ASSERT_TRUE(testsupport::PumpUntil([ext] { return ext->IsShownOnScreen(); }, 3000));
    EXPECT_FALSE(sheet->IsEnabled()) << "the sheet waits while the extension sheet is open";
    dynamic_cast<wxTextCtrl*>(ext->FindWindow(CPageExtSelect::kExtensionsName))->SetValue(wxString::FromUTF8(exts));
    dynamic_cast<wxTextCtrl*>(ext->FindWindow(CPageExtSelect::kDirectoryName))->SetValue(wxString::FromUTF8(dir));
    Press(ext->FindWindow(CPageExtSelect::kDecideName));
    ASSERT_TRUE(testsupport::PumpUntil([sheet] { return sheet->IsEnabled(); }, 3000));
    testsupport::Pump(50);
}

}  // namespace sheettest
