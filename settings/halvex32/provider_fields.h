// Controls and checks that every dialog editing a provider shares: text
// fields that hold no more than the store can read back, the port and name
// checks that keep Next / OK disabled, the password field with its anonymous
// check box, and the per-extension routing list.
#pragma once

#include "settings/halvex32/ext_select.h"

#include <wx/panel.h>
#include <wx/string.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CImageButton;
class wxCheckBox;
class wxChoice;
class wxListCtrl;
class wxListEvent;
class wxSpinButton;
class wxSpinEvent;
class wxTextCtrl;

namespace halvex32 {

// String and icon numbers the provider dialogs share.
enum : int {
    IDS_TIP_PROVIDER = 2,
    IDS_TIP_SERVER = 3,
    IDS_TIP_PORT = 4,
    IDS_TIP_USER = 5,
    IDS_TIP_PASSWORD = 6,
    IDS_TIP_ANONYMOUS = 7,
    IDS_COL_EXTENSION = 8,
    IDS_COL_DIRECTORY = 9,
    IDS_TIP_DIRECTORY = 10,
    IDS_TIP_MENUNAME = 11,
    IDS_TIP_ROUTE_ADD = 12,
    IDS_TIP_ROUTE_DELETE = 13,
    IDS_TIP_ROUTE_EDIT = 14,
    IDS_TIP_ROUTE_LIST = 32,
    IDS_TIP_ENCRYPTION = 70,
    IDS_TIP_NAME_ENCODING = 73,
    IDI_PROFILE = 1001,
    IDI_SERVER = 1008,
    IDI_USER = 1011,
    IDI_ROUTE_EDIT = 1012,
    IDI_MOVEDIR = 1014,
    IDI_EXTAUTO = 1017,
    IDI_ROUTE_DELETE = 1018,
    IDI_ROUTE_ADD = 1019,
    IDI_BROWSE = 1021,
    IDI_ROUTE_ROW = 1032,
};

// An image push button named `name` (for finding it from outside) with the
// icon and tooltip of the library's tables.
CImageButton* MakeImageButton(wxWindow* parent, const char* label, const char* name, int icon, int tip);

// `text` cut to at most settings::kMaxFieldBytes bytes of UTF-8 without
// splitting a character; an extension list is cut after its last whole
// ";"-terminated extension. Unchanged when it fits.
wxString ClampFieldText(const wxString& text, bool extensionList = false);

// Cuts the edit's text to the limit when it is over it (with a bell), by
// SetValue, so that every text handler of the edit sees the cut text last.
// Returns whether it cut.
bool ClampField(wxTextCtrl* edit, bool extensionList = false);

// Keeps the edit at most settings::kMaxFieldBytes bytes of UTF-8: what is
// typed or pasted beyond is cut at a character boundary.
void LimitFieldBytes(wxTextCtrl* edit);

// Whether `text` is a port the transfer program can use: decimal digits
// only, 1 to 65535.
bool IsUsablePort(const wxString& text);

// Whether `text` can name a provider or a directory entry: a "\" would make
// nested keys in the store.
bool IsUsableKeyName(const wxString& text);

// The label of the encryption field, and what each stored value
// (settings::kEncryption*) is called: "暗号化しない (FTP)", "可能なら TLS を
// 使う (FTPS)", "TLS 必須 (FTPS)"; a value outside them is called as plain FTP.
inline constexpr const char* kEncryptionLabel = "暗号化(&E) : ";
wxString EncryptionName(int encryption);

// The encryption field: a choice of the three names above in the order of
// their values, set to `encryption`, with its tooltip; named "encryption".
// wxEVT_CHOICE reaches the parent.
wxChoice* MakeEncryptionChoice(wxWindow* parent, int encryption);
// The value (settings::kEncryption*) the field shows.
int EncryptionOf(const wxChoice* choice);

// The same for the server's file-name encoding (settings::kNameEncoding*):
// "自動", "UTF-8", "Shift_JIS", "EUC-JP" (a value outside them is called
// 自動, as the programs that log in take it); the choice is named "nameEncoding".
inline constexpr const char* kNameEncodingLabel = "サーバのファイル名の文字コード(&F) : ";
wxString NameEncodingName(int nameEncoding);
wxChoice* MakeNameEncodingChoice(wxWindow* parent, int nameEncoding);
int NameEncodingOf(const wxChoice* choice);

// A numbers-only port edit (five digits at most) with arrows beside it that
// step it within 1 to 65535. wxEVT_TEXT of the edit reaches the parent.
class CPortField : public wxPanel {
public:
    CPortField(wxWindow* parent, wxWindowID id = wxID_ANY);
    wxTextCtrl* Edit() const { return edit_; }
    wxSpinButton* Spin() const { return spin_; }
    wxString GetText() const;
    // Sets the text (a wxEVT_TEXT follows) and the arrows' position.
    void SetText(const wxString& text);
    // The text as the standard decimal parse reads it: leading digits, 0 if none.
    int Port() const;

private:
    void OnSpin(wxSpinEvent& event);
    wxTextCtrl* edit_ = nullptr;
    wxSpinButton* spin_ = nullptr;
};

// A password edit that can also show its text in clear. GTK cannot switch
// an entry's masking in place, so two edits share the place and one is shown.
// wxEVT_TEXT of either reaches the parent.
class CPasswordField : public wxPanel {
public:
    explicit CPasswordField(wxWindow* parent, wxWindowID id = wxID_ANY);
    // The edit on screen now.
    wxTextCtrl* Edit() const;
    wxString GetValue() const;
    // Sets the text (a wxEVT_TEXT follows).
    void SetValue(const wxString& text);
    // Shows the text in clear (true) or as "*" (false); the text is kept.
    void ShowClear(bool clear);
    bool IsClear() const { return clear_; }
    void SetFieldToolTip(const wxString& text);

private:
    wxTextCtrl* masked_ = nullptr;
    wxTextCtrl* plain_ = nullptr;
    bool clear_ = false;
};

// The anonymous-login check box of a login form. Checking it remembers the
// typed user name and password, puts "anonymous" in the disabled user field
// and an e-mail-style address, in clear, focused and selected, in the
// password field; unchecking puts the remembered texts back, enables the
// user field and masks the password again. Binds the check box's click.
class AnonymousLogin {
public:
    // The placeholder password of an anonymous login.
    static constexpr const char* kPlaceholder = "anonymous@example.com";

    AnonymousLogin(wxCheckBox* box, wxTextCtrl* user, CPasswordField* password);
    ~AnonymousLogin();
    AnonymousLogin(const AnonymousLogin&) = delete;
    AnonymousLogin& operator=(const AnonymousLogin&) = delete;

    // Sets the box and does what a click does.
    void Set(bool checked);
    // Sets the box to a stored state without replacing the texts: the texts
    // the fields hold now are remembered, and a checked box shows them with
    // the user field disabled and the password in clear.
    void Prefill(bool checked);
    bool IsChecked() const;

private:
    void OnClick(wxCommandEvent& event);
    void Apply(bool checked);
    wxCheckBox* box_;
    wxTextCtrl* user_;
    CPasswordField* password_;
    wxString rememberedUser_, rememberedPassword_;
};

// The per-extension routing list: a report list (extension list, target
// directory) with 追加, 削除 and 再編集 buttons. 追加 and 再編集 (or a double
// click) open the extension selection sheet in mode 1 over `owner`, which
// stays disabled while it is open; a row is added or replaced only when both
// texts came back non-empty.
class CRoutingList : public wxPanel {
public:
    using Pair = std::pair<std::string, std::string>;  // (extension list, directory)

    static constexpr const char* kListName = "routingList";
    static constexpr const char* kAddName = "routingAdd";
    static constexpr const char* kDeleteName = "routingDelete";
    static constexpr const char* kEditName = "routingEdit";

    // `record` gives the sheet's directory browse its server and must
    // outlive this panel; `owner` is the top-level window the sheet covers.
    CRoutingList(wxWindow* parent, wxWindow* owner, settings::ProviderRecord* record);
    ~CRoutingList() override;

    void SetPairs(const std::vector<Pair>& pairs);
    // The rows, top to bottom.
    std::vector<Pair> Pairs() const;
    wxListCtrl* List() const { return list_; }

    // Called before 削除 removes `row`; returning false keeps it.
    void SetDeleteHandler(std::function<bool(long row, const Pair& pair)> handler) { onDelete_ = std::move(handler); }
    // Called after a row was added (`row` == the new last row) or replaced.
    void SetChangeHandler(std::function<void(long row, bool added)> handler) { onChange_ = std::move(handler); }

    // What the buttons do.
    void Add();
    void Delete();
    void Edit();

private:
    void Open();
    void OnSheetClosed(wxCommandEvent& event);
    void OnSelection(wxListEvent& event);
    void UpdateButtons();
    long Selected() const;

    wxWindow* owner_;
    settings::ProviderRecord* record_;
    wxListCtrl* list_ = nullptr;
    CImageButton* delete_ = nullptr;
    CImageButton* edit_ = nullptr;
    ExtSelectResult result_;
    bool editing_ = false;
    long editRow_ = -1;
    std::function<bool(long, const Pair&)> onDelete_;
    std::function<void(long, bool)> onChange_;
};

}  // namespace halvex32
