// The option sheet: the suite-wide transfer options (download folder, the
// extension lists that pick text or binary mode, Japanese text conversion on
// upload and download), loaded when the sheet is made and saved at OK.
#pragma once

#include "settings/halvex32/ext_select.h"
#include "settings/options.h"
#include "settings/provider.h"

#include <wx/panel.h>
#include <wx/propdlg.h>

class wxCheckBox;
class wxRadioButton;
class wxSpinCtrl;
class wxTextCtrl;

class CSheetOption;

// "フォルダ情報": the folder the remote browser downloads into.
class CPropPageDl : public wxPanel {
public:
    static constexpr const char* kFolderName = "downloadFolder";
    static constexpr const char* kBrowseName = "folderBrowse";

    CPropPageDl(wxWindow* parent, CSheetOption* sheet);
    wxTextCtrl* FolderEdit() const { return folder_; }

private:
    void OnBrowse(wxCommandEvent& event);
    CSheetOption* sheet_;
    wxTextCtrl* folder_ = nullptr;
};

// "転送モード/コード変換": the two extension lists, whether uploads send only
// what changed, over how many connections, and the conversion choices.
class CPropPageTrans : public wxPanel {
public:
    // Window ids of the two extension edits; the selection sheet's result
    // goes to the one whose 参照 was pressed.
    static constexpr int kTextModeId = 1064;
    static constexpr int kBinaryModeId = 1052;
    static constexpr const char* kTextModeName = "textMode";
    static constexpr const char* kBinaryModeName = "binaryMode";
    static constexpr const char* kTextBrowseName = "textBrowse";
    static constexpr const char* kBinaryBrowseName = "binaryBrowse";
    static constexpr const char* kChangedOnlyName = "sendChangedOnly";
    static constexpr const char* kConnectionsName = "connections";
    static constexpr const char* kConvertOffName = "convertOff";
    static constexpr const char* kConvertOnName = "convertOn";
    static constexpr const char* kUploadName = "uploadConvert";
    static constexpr const char* kDownloadName = "downloadConvert";
    // "upload0" .. "upload2", "download0" .. "download2": SJIS, JIS, EUC.
    static constexpr const char* kUploadCodePrefix = "upload";
    static constexpr const char* kDownloadCodePrefix = "download";

    CPropPageTrans(wxWindow* parent, CSheetOption* sheet);

    wxTextCtrl* Edit(int id) const { return id == kTextModeId ? text_ : binary_; }

private:
    friend class CSheetOption;
    // Conversion on: the two check boxes enabled, each one's codes enabled
    // while it is checked and showing the stored code. Off: all disabled;
    // the stored flags and codes are kept for the next time it is turned on.
    void EnableConversion(bool on);
    void ShowCode(wxRadioButton* const (&set)[3], winreg::DWORD code);
    void OnCodeClicked(wxCommandEvent& event);

    CSheetOption* sheet_;
    wxTextCtrl* text_ = nullptr;
    wxTextCtrl* binary_ = nullptr;
    wxCheckBox* changedOnly_ = nullptr;
    wxSpinCtrl* connections_ = nullptr;
    wxRadioButton* off_ = nullptr;
    wxRadioButton* on_ = nullptr;
    wxCheckBox* upload_ = nullptr;
    wxCheckBox* download_ = nullptr;
    wxRadioButton* uploadCodes_[3] = {};
    wxRadioButton* downloadCodes_[3] = {};
};

class CSheetOption : public wxPropertySheetDialog {
public:
    // Loads the options (the Option key is only read, never created here).
    explicit CSheetOption(wxWindow* parent);

    settings::OptionValues& Values() { return values_; }
    CPropPageDl* FolderPage() const { return folderPage_; }
    CPropPageTrans* TransPage() const { return transPage_; }

    // Opens the extension selection sheet (extensions only) for the edit
    // `targetId`; its choice replaces that edit's text when it is decided.
    void ChooseExtensions(int targetId);

private:
    void OnOk(wxCommandEvent& event);
    void OnExtSelectClosed(wxCommandEvent& event);

    settings::OptionValues values_;
    ExtSelectResult result_;
    // The selection sheet is handed a record whose texts are all empty: in
    // its extensions-only mode nothing reads them.
    settings::ProviderRecord emptyRecord_;
    int target_ = CPropPageTrans::kTextModeId;
    CPropPageDl* folderPage_ = nullptr;
    CPropPageTrans* transPage_ = nullptr;
};
