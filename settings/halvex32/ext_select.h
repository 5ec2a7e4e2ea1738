// The extension selection sheet: a modeless window in which the user picks
// file extensions (a short default list, or every extension this computer
// knows) and, for per-extension routing, a target directory on the server.
// It behaves as a modal dialog for its caller, whose window stays disabled
// until the sheet closes.
#pragma once

#include "settings/halvex32/halvex32.h"
#include "settings/provider.h"

#include <wx/dialog.h>
#include <wx/event.h>
#include <wx/panel.h>
#include <wx/weakref.h>

#include <map>
#include <string>

class CImageButton;
class wxCheckBox;
class wxImageList;
class wxListCtrl;
class wxListEvent;
class wxStaticText;
class wxTextCtrl;

// What the sheet hands back: the extension list (".htm;.gif;") and the
// target directory. Written only by 決定.
struct ExtSelectResult {
    std::string extensions;
    std::string directory;
};

// Posted to the caller's window when a sheet has closed and the window has
// been enabled again. GetInt() is 1 when 決定 wrote the result, 0 otherwise.
wxDECLARE_EXPORTED_EVENT(__attribute__((visibility("default"))), EVT_EXT_SELECT_CLOSED, wxCommandEvent);

// Runs the server's directory picker for `record`'s server, user, password,
// port, encryption and trusted certificate, modally over `parent`. A
// certificate the user chose to trust there becomes the record's
// trustedCertificate (whatever directory was chosen). Returns the chosen
// directory, or "" when the user chose none.
std::string BrowseRemoteDirectory(wxWindow* parent, settings::ProviderRecord& record);

class CPageExtSelect : public wxPanel {
public:
    // Control names, for finding them from outside (tests, tools).
    static constexpr const char* kListName = "extList";
    static constexpr const char* kExtensionsName = "extensions";
    static constexpr const char* kDirectoryName = "directory";
    static constexpr const char* kAllName = "showAll";
    static constexpr const char* kDecideName = "decide";
    static constexpr const char* kCloseName = "close";
    static constexpr const char* kBrowseName = "browse";

    CPageExtSelect(wxWindow* parent, int mode, const ExtSelectResult& initial);

    // Refills the list: the six default extensions, or every extension of
    // the shared-mime-info database.
    void FillList(bool all);
    wxString Extensions() const;
    wxString Directory() const;
    void SetDirectory(const wxString& dir);

private:
    int AddIcon(const std::string& contentType, const wxString& fallbackKey);
    void OnSelection(wxListEvent& event);
    void OnExtensionsChanged(wxCommandEvent& event);
    void OnDirectoryChanged(wxCommandEvent& event);
    void UpdateDecide();

    int mode_;
    wxListCtrl* list_ = nullptr;
    wxImageList* images_ = nullptr;
    wxTextCtrl* extensions_ = nullptr;
    wxTextCtrl* directory_ = nullptr;
    CImageButton* decide_ = nullptr;
    bool selectionPending_ = false;
    // Content type -> (type name, image index): over a thousand extensions
    // share a few hundred types, and the icon theme is asked once per type.
    struct TypeRow {
        wxString description;
        int image;
    };
    std::map<std::string, TypeRow> types_;

    friend class CSheetExtSelect;
};

class CSheetExtSelect : public wxDialog {
public:
    // Made by PARVEX_ShowExtSelect; frees itself when it closes.
    CSheetExtSelect(wxWindow* caller, ExtSelectResult* result, settings::ProviderRecord* record, int mode);
    ~CSheetExtSelect() override;

    CPageExtSelect* Page() const { return page_; }

private:
    void OnDecide(wxCommandEvent& event);
    void OnCloseButton(wxCommandEvent& event);
    void OnBrowse(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxWeakRef<wxWindow> caller_;  // may close before the sheet
    ExtSelectResult* result_;
    settings::ProviderRecord* record_;
    int mode_;
    bool decided_ = false;
    CPageExtSelect* page_ = nullptr;
};

// The sheet opened last, or null once it has closed.
CSheetExtSelect* CurrentExtSelectSheet();

