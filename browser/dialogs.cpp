#include "browser/dialogs.h"

#include "browser/resources.h"
#include "common/ui/image_button.h"
#include "common/ui/resources.h"

#include <wx/artprov.h>
#include <wx/gauge.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace brovin {

namespace {
const char* const kTemplateFace = "ＭＳ Ｐゴシック";
}

CTransferDlg::CTransferDlg(wxWindow* owner, std::function<void()> onAbort)
    : wxDialog(owner, IDD_TRANSFER, wxString::FromUTF8("FTP処理中..."), wxDefaultPosition, wxDefaultSize,
               wxCAPTION),
      onAbort_(std::move(onAbort)) {
    SetFont(ui::DialogFont(wxString::FromUTF8(kTemplateFace), 9));
    SetClientSize(ui::DialogRect(this, 0, 0, 187, 61).GetSize());
    wxRect r = ui::DialogRect(this, 7, 7, 173, 18);
    status_ = new wxStaticText(this, IDC_STATUS, wxString(), r.GetPosition(), r.GetSize(),
                               wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
    r = ui::DialogRect(this, 7, 27, 173, 9);
    progress_ = new wxGauge(this, IDC_PROGRESS, 1, r.GetPosition(), r.GetSize(), wxGA_SMOOTH);
    r = ui::DialogRect(this, 62, 40, 63, 16);
    abort_ = new CImageButton(this, IDC_ABORT, wxString::FromUTF8("中断(&A)"), r.GetPosition(), r.GetSize());
    abort_->SetIcon(IDI_CLOSE);
    abort_->SetTooltipText(IDS_ABORT_TIP);
    abort_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
        closed_ = true;
        if (onAbort_) onAbort_();
    });
    // The window's close box is the abort button too.
    Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { abort_->Click(); });
}

void CTransferDlg::SetStatus(const wxString& text) {
    if (closed_) return;
    status_->SetLabel(text);
    status_->SetToolTip(text);
}

void CTransferDlg::SetRange(int count) {
    if (closed_) return;
    progress_->SetRange(std::max(1, count));
}

void CTransferDlg::StepIt() {
    if (closed_) return;
    progress_->SetValue(std::min(progress_->GetRange(), progress_->GetValue() + 1));
}

wxString CTransferDlg::StatusText() const { return status_->GetLabel(); }
int CTransferDlg::ProgressValue() const { return progress_->GetValue(); }
int CTransferDlg::ProgressRange() const { return progress_->GetRange(); }

CNameDlg::CNameDlg(wxWindow* parent, int mode, const wxString& initial) : wxDialog(), mode_(mode) {
    Create(parent, IDD_NAME, ui::LoadString(mode == 1 ? IDS_RENAME_TITLE : IDS_MKDIR_TITLE));
    SetFont(ui::DialogFont(wxString::FromUTF8(kTemplateFace), 9));
    SetClientSize(ui::DialogRect(this, 0, 0, 181, 93).GetSize());
    wxRect r = ui::DialogRect(this, 7, 7, 20, 20);
    new wxStaticBitmap(this, IDC_NAME_ICON, wxArtProvider::GetBitmap(wxART_INFORMATION, wxART_MESSAGE_BOX),
                       r.GetPosition());
    r = ui::DialogRect(this, 34, 9, 140, 24);
    new wxStaticText(this, IDC_NAME_PROMPT, ui::LoadString(mode == 1 ? IDS_RENAME_PROMPT : IDS_MKDIR_PROMPT),
                     r.GetPosition(), r.GetSize());
    r = ui::DialogRect(this, 7, 42, 48, 10);
    new wxStaticText(this, wxID_ANY, wxString::FromUTF8("新しい名前 : "), r.GetPosition(), r.GetSize());
    r = ui::DialogRect(this, 56, 40, 118, 13);
    edit_ = new wxTextCtrl(this, IDC_NAME_EDIT, initial, r.GetPosition(), r.GetSize(), wxTE_PROCESS_ENTER);
    r = ui::DialogRect(this, 40, 66, 50, 18);
    ok_ = new CImageButton(this, IDC_NAME_OK, ui::LoadString(mode == 1 ? IDS_RENAME_OK : IDS_MKDIR_OK), r.GetPosition(),
                           r.GetSize(), CImageButton::kDefaultPushButton);
    r = ui::DialogRect(this, 96, 66, 50, 18);
    close_ = new CImageButton(this, IDC_NAME_CLOSE, wxString::FromUTF8("閉じる(&C)"), r.GetPosition(), r.GetSize());
    ok_->SetIcon(IDI_OK);
    close_->SetIcon(IDI_CLOSE);
    ok_->SetTooltipText(mode == 1 ? IDS_RENAME_OK_TIP : IDS_MKDIR_OK_TIP);
    close_->SetTooltipText(mode == 1 ? IDS_RENAME_CLOSE_TIP : IDS_MKDIR_CLOSE_TIP);
    auto accept = [this](wxCommandEvent&) {
        result_ = edit_->GetValue();
        EndModal(wxID_OK);
    };
    ok_->Bind(wxEVT_BUTTON, accept);
    edit_->Bind(wxEVT_TEXT_ENTER, accept);
    close_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_CANCEL); });
    edit_->SetFocus();
    CentreOnParent();
}

}  // namespace brovin
