// The new-provider wizard: six pages that collect one provider entry
// (connection name, server and port, login, directory with its menu name,
// per-extension routing), show a summary, and save it at Finish.
#pragma once

#include "settings/halvex32/halvex32.h"
#include "settings/provider.h"

#include <wx/bitmap.h>
#include <wx/wizard.h>

#include <memory>

class CImageButton;
class CWizSheet;
class wxCheckBox;
class wxChoice;
class wxEventLoopBase;
class wxListCtrl;
class wxListEvent;
class wxTextCtrl;

namespace halvex32 {
class AnonymousLogin;
class CPasswordField;
class CPortField;
class CRoutingList;
}  // namespace halvex32

// Wizard button flags, as the pages ask for them.
enum : int { kWizBack = 1, kWizNext = 2, kWizFinish = 4 };

// Sets the wizard's buttons from `count` edit fields: `whenFilled` when
// every field has text and `usable` holds, else `whenEmpty`. Does nothing
// while the sheet or a field has no window.
void UpdateWizardButtons(CWizSheet* sheet, wxTextCtrl* const* fields, int count, int whenFilled, int whenEmpty,
                         bool usable = true);

// What every page has: the wizard's banner, an icon, an explanatory text.
class CWizPage : public wxWizardPageSimple {
public:
    CWizPage(CWizSheet* sheet, const char* caption, int icon, const char* explanation);
    CWizSheet* Sheet() const { return sheet_; }
    const wxString& Caption() const { return caption_; }

protected:
    // The panel the page's own controls go on, below the explanation.
    wxWindow* Body() const { return body_; }
    wxSizer* BodySizer() const { return bodySizer_; }
    // Bound to the page's activation and to Next.
    virtual void OnActivate() {}
    // Writes the fields into the record when the user presses Next (or
    // Finish); returning false keeps the page.
    virtual bool OnNext() { return true; }

private:
    CWizSheet* sheet_;
    wxString caption_;
    wxWindow* body_ = nullptr;
    wxSizer* bodySizer_ = nullptr;
};

class CWizPageProfile : public CWizPage {
public:
    explicit CWizPageProfile(CWizSheet* sheet);
    wxTextCtrl* NameEdit() const { return name_; }

private:
    void UpdateButtons();
    void OnActivate() override;
    bool OnNext() override;
    wxTextCtrl* name_ = nullptr;
};

class CWizPageServer : public CWizPage {
public:
    explicit CWizPageServer(CWizSheet* sheet);
    wxTextCtrl* AddressEdit() const { return address_; }
    halvex32::CPortField* PortField() const { return port_; }
    wxChoice* EncryptionChoice() const { return encryption_; }
    wxChoice* NameEncodingChoice() const { return nameEncoding_; }

private:
    void UpdateButtons();
    void OnActivate() override;
    bool OnNext() override;
    wxTextCtrl* address_ = nullptr;
    halvex32::CPortField* port_ = nullptr;
    wxChoice* encryption_ = nullptr;
    wxChoice* nameEncoding_ = nullptr;
    bool prefilled_ = false;
};

class CWizPageUserInfo : public CWizPage {
public:
    explicit CWizPageUserInfo(CWizSheet* sheet);
    ~CWizPageUserInfo() override;
    wxTextCtrl* UserEdit() const { return user_; }
    halvex32::CPasswordField* PasswordField() const { return password_; }
    wxCheckBox* AnonymousBox() const { return anonymousBox_; }

private:
    void UpdateButtons();
    void OnActivate() override;
    bool OnNext() override;
    wxTextCtrl* user_ = nullptr;
    halvex32::CPasswordField* password_ = nullptr;
    wxCheckBox* anonymousBox_ = nullptr;
    std::unique_ptr<halvex32::AnonymousLogin> anonymous_;
};

class CWizPageMoveDir : public CWizPage {
public:
    explicit CWizPageMoveDir(CWizSheet* sheet);
    wxTextCtrl* DirectoryEdit() const { return directory_; }
    wxTextCtrl* MenuNameEdit() const { return menuName_; }
    CImageButton* BrowseButton() const { return browse_; }

private:
    void UpdateButtons();
    void OnActivate() override;
    bool OnNext() override;
    void OnBrowse();
    wxTextCtrl* directory_ = nullptr;
    wxTextCtrl* menuName_ = nullptr;
    CImageButton* browse_ = nullptr;
};

class CWizPageExtAuto : public CWizPage {
public:
    explicit CWizPageExtAuto(CWizSheet* sheet);
    halvex32::CRoutingList* Routes() const { return routes_; }

private:
    void OnActivate() override;
    bool OnNext() override;
    halvex32::CRoutingList* routes_ = nullptr;
};

class CWizPageFinish : public CWizPage {
public:
    explicit CWizPageFinish(CWizSheet* sheet);
    wxListCtrl* Summary() const { return summary_; }
    // The page that sets summary row `row` (0-based page index).
    static int PageOfRow(long row);

private:
    void OnActivate() override;
    bool OnNext() override;
    void OnRowActivated(wxListEvent& event);
    wxListCtrl* summary_ = nullptr;
};

class CWizSheet : public wxWizard {
public:
    // What PARVEX_ShowWizard returns when the provider was saved.
    static constexpr int kFinished = 1;
    // ... and when the wizard was cancelled.
    static constexpr int kCancelled = 2;

    // Builds the six pages; `parent` may be null.
    explicit CWizSheet(wxWindow* parent = nullptr);

    // Shows the first page without a modal loop (the window tests drive it so).
    void Begin();
    // Runs the wizard modally; kFinished or kCancelled.
    int Run();

    settings::ProviderRecord& Record() { return record_; }
    int PageCount() const { return 6; }
    CWizPage* Page(int index) const;
    CWizPageProfile* ProfilePage() const { return profile_; }
    CWizPageServer* ServerPage() const { return server_; }
    CWizPageUserInfo* UserPage() const { return user_; }
    CWizPageMoveDir* MoveDirPage() const { return moveDir_; }
    CWizPageExtAuto* ExtAutoPage() const { return extAuto_; }
    CWizPageFinish* FinishPage() const { return finish_; }
    // Index of the page on screen, or -1.
    int CurrentIndex() const;

    // Enables Back and Next / Finish as `flags` say.
    void SetWizardButtons(int flags);
    // Goes back to page `index` (a summary double click).
    void JumpTo(int index);
    // Saves the record as the wizard saves it. Returns the store's status;
    // the user has been told when it is not ERROR_SUCCESS.
    winreg::LONG Save();

private:
    void OnPageChanged(wxWizardEvent& event);
    settings::ProviderRecord record_;
    wxEventLoopBase* loop_ = nullptr;  // Run()'s loop while it runs
    CWizPageProfile* profile_ = nullptr;
    CWizPageServer* server_ = nullptr;
    CWizPageUserInfo* user_ = nullptr;
    CWizPageMoveDir* moveDir_ = nullptr;
    CWizPageExtAuto* extAuto_ = nullptr;
    CWizPageFinish* finish_ = nullptr;
};

// The wizard's banner (bitmap 1002), drawn at `size`.
wxBitmap WizardBanner(const wxSize& size);
