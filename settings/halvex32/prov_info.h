// The provider property sheet: one entry of one provider, its server, port
// and login (first page), its menu name, per-extension routing and the login
// directory of the per-extension transfer entry (second page). OK saves the
// provider; the provider name and the entry's directory cannot change here.
#pragma once

#include "settings/provider.h"

#include <wx/panel.h>
#include <wx/propdlg.h>

#include <memory>
#include <string>
#include <vector>

class wxBookCtrlEvent;
class wxCheckBox;
class wxChoice;
class wxTextCtrl;

namespace halvex32 {
class AnonymousLogin;
class CPasswordField;
class CPortField;
class CRoutingList;
}  // namespace halvex32

class CSheetProvInfo;

// "プロバイダ情報": server address, port and login.
class CPagePropProv : public wxPanel {
public:
    static constexpr const char* kProviderName = "provider";
    static constexpr const char* kServerName = "server";
    static constexpr const char* kUserName = "user";
    static constexpr const char* kAnonymousName = "anonymous";

    CPagePropProv(wxWindow* parent, CSheetProvInfo* sheet);
    ~CPagePropProv() override;

    wxTextCtrl* ServerEdit() const { return server_; }
    halvex32::CPortField* PortField() const { return port_; }
    wxChoice* EncryptionChoice() const { return encryption_; }
    wxChoice* NameEncodingChoice() const { return nameEncoding_; }
    wxTextCtrl* UserEdit() const { return user_; }
    halvex32::CPasswordField* PasswordField() const { return password_; }
    wxCheckBox* AnonymousBox() const { return anonymousBox_; }

    // Whether name, address, port, user and password are all filled (the
    // password may stay empty when the keyring would not give the stored
    // one), the port is 1..65535 and the name holds no "\".
    bool IsComplete() const;
    // Copies the page's fields into `record` (address, port, encryption,
    // name encoding, user, password, anonymous).
    void CopyTo(settings::ProviderRecord& record) const;

private:
    CSheetProvInfo* sheet_;
    wxTextCtrl* provider_ = nullptr;
    wxTextCtrl* server_ = nullptr;
    halvex32::CPortField* port_ = nullptr;
    wxChoice* encryption_ = nullptr;
    wxChoice* nameEncoding_ = nullptr;
    wxTextCtrl* user_ = nullptr;
    halvex32::CPasswordField* password_ = nullptr;
    wxCheckBox* anonymousBox_ = nullptr;
    std::unique_ptr<halvex32::AnonymousLogin> anonymous_;
};

// "ディレクトリ/拡張子": menu name, routing rules, login directory of the
// per-extension transfer entry.
class CPagePropMoveDir : public wxPanel {
public:
    static constexpr const char* kDirectoryName = "directory";
    static constexpr const char* kMenuNameName = "menuName";
    static constexpr const char* kLoginDirectoryName = "loginDirectory";
    static constexpr const char* kBrowseName = "loginBrowse";

    CPagePropMoveDir(wxWindow* parent, CSheetProvInfo* sheet);

    wxTextCtrl* MenuNameEdit() const { return menuName_; }
    wxTextCtrl* LoginDirectoryEdit() const { return loginDirectory_; }
    halvex32::CRoutingList* Routing() const { return routing_; }

    // Whether the directory and the menu name are both filled.
    bool IsComplete() const;

private:
    void OnBrowse(wxCommandEvent& event);

    CSheetProvInfo* sheet_;
    wxTextCtrl* directory_ = nullptr;
    wxTextCtrl* menuName_ = nullptr;
    wxTextCtrl* loginDirectory_ = nullptr;
    halvex32::CRoutingList* routing_ = nullptr;
};

class CSheetProvInfo : public wxPropertySheetDialog {
public:
    // Loads the entry `entry` of `provider` (creating the entry key when it
    // is missing) and builds the sheet over it.
    CSheetProvInfo(wxWindow* parent, const std::string& provider, const std::string& entry);

    const std::string& Provider() const { return provider_; }
    const std::string& Entry() const { return entry_; }
    settings::ProviderRecord& Record() { return record_; }
    CPagePropProv* ProvPage() const { return provPage_; }
    CPagePropMoveDir* MoveDirPage() const { return moveDirPage_; }
    // Whether the second page has been shown: only then does OK write its
    // login directory over the per-extension transfer entry's "/".
    bool MoveDirPageShown() const { return moveDirShown_; }

    // Enables OK exactly while both pages can be saved as they stand.
    void UpdateOk();

private:
    void OnOk(wxCommandEvent& event);
    void OnPageChanged(wxBookCtrlEvent& event);
    bool Save();

    std::string provider_, entry_;  // as the sheet was opened
    settings::ProviderRecord record_;
    // Routing directories as loaded: those no longer listed at OK were
    // re-edited to another directory, and their old keys go with the save.
    std::vector<std::string> loadedDirectories_;
    CPagePropProv* provPage_ = nullptr;
    CPagePropMoveDir* moveDirPage_ = nullptr;
    bool moveDirShown_ = false;
};
