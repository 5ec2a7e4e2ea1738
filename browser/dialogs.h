// The browser's two dialogs: the modeless progress dialog of the upload,
// download and delete commands, and the name dialog of rename and make directory.
#pragma once

#include <wx/dialog.h>

#include <functional>

class CImageButton;
class wxGauge;
class wxStaticText;
class wxTextCtrl;

namespace brovin {

// "FTP処理中...": a status line, a progress bar and the abort button.
class CTransferDlg : public wxDialog {
public:
    // Created hidden; `onAbort` runs on the window thread when the abort button is pressed.
    CTransferDlg(wxWindow* owner, std::function<void()> onAbort);

    // Puts the text into the status line, unless the dialog is closing.
    void SetStatus(const wxString& text);
    void SetRange(int count);
    void StepIt();
    // Marks the dialog as closing: no more texts are written.
    void SetClosed() { closed_ = true; }

    wxString StatusText() const;
    int ProgressValue() const;
    int ProgressRange() const;
    CImageButton* AbortButton() const { return abort_; }

private:
    wxStaticText* status_;
    wxGauge* progress_;
    CImageButton* abort_;
    bool closed_ = false;
    std::function<void()> onAbort_;
};

// The name dialog: mode 1 renames, mode 0 makes a directory.
class CNameDlg : public wxDialog {
public:
    CNameDlg(wxWindow* parent, int mode, const wxString& initial = wxString());
    // The text entered, as the user typed it.
    wxString Result() const { return result_; }
    wxTextCtrl* Edit() const { return edit_; }
    CImageButton* OkButton() const { return ok_; }
    CImageButton* CloseButton() const { return close_; }

private:
    int mode_;
    wxString result_;
    wxTextCtrl* edit_;
    CImageButton* ok_;
    CImageButton* close_;
};

}  // namespace brovin
