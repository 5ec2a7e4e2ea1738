// The settings windows' tests act as the user does, without the mouse: each
// control gets the command event a click on it sends.
#pragma once

#include "settings/halvex32/ext_select.h"
#include "tests/support/gui_support.h"

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

namespace sheettest {

inline void Send(wxWindow* w, wxEventType type, int value = 0) {
    ASSERT_NE(w, nullptr);
    wxCommandEvent e(type, w->GetId());
    e.SetEventObject(w);
    e.SetInt(value);
    w->GetEventHandler()->ProcessEvent(e);
}
inline void Press(wxWindow* button) { Send(button, wxEVT_BUTTON); }
inline void Choose(wxRadioButton* r) {
    r->SetValue(true);
    Send(r, wxEVT_RADIOBUTTON, 1);
}
inline void Tick(wxCheckBox* box, bool on) {
    box->SetValue(on);
    Send(box, wxEVT_CHECKBOX, on ? 1 : 0);
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
