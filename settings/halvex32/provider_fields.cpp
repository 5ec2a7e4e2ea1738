#include "settings/halvex32/provider_fields.h"

#include "common/registry/layout.h"
#include "common/ui/image_button.h"
#include "settings/halvex32/module.h"
#include "settings/ini.h"
#include "settings/provider.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/spinbutt.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <algorithm>

namespace halvex32 {

namespace {

[[maybe_unused]] const bool g_registered = [] {
    Resources().RegisterStrings({
        {IDS_TIP_PROVIDER, "ここには、接続先を識別できるような名前を設定してください。"},
        {IDS_TIP_SERVER, "\"ftp.xxx.co.jp\"のような名前や、\"192.xxx.xx.xxx\"のようなIPアドレスでも指定できます。"},
        {IDS_TIP_PORT, "通常FTPサーバはポート番号21が使われています。"},
        {IDS_TIP_USER, "接続する際に使用するユーザ名を設定してください。"},
        {IDS_TIP_PASSWORD, "接続する際に使用するパスワードを入力してください。('*'表示されます。)"},
        {IDS_TIP_ANONYMOUS, "匿名ログイン(Anonymous)するときにチェックしてください。"},
        {IDS_COL_EXTENSION, "拡張子"},
        {IDS_COL_DIRECTORY, "転送先ディレクトリ"},
        {IDS_TIP_DIRECTORY, "転送先ディレクトリ名を、絶対/相対パスで指定します。"},
        {IDS_TIP_MENUNAME, "転送先を識別する名前をつけてください。"},
        {IDS_TIP_ROUTE_ADD, "自動振り分け対象拡張子を追加します。"},
        {IDS_TIP_ROUTE_DELETE, "自動振り分け対象拡張子を削除します。"},
        {IDS_TIP_ROUTE_EDIT, "自動振り分け対象拡張子を再編集します。"},
        {IDS_TIP_ROUTE_LIST, "自動振り分け転送する拡張子を指定します。拡張子の重複はできません。"},
        {IDS_TIP_ENCRYPTION, "パスワードとファイルを暗号化して送るかどうかを選びます。"
                             "「可能なら」は、サーバが対応していなければ暗号化せずに接続します。"},
        {IDS_TIP_NAME_ENCODING, "サーバがファイル名を書く文字コードを選びます。"
                                "「自動」は、サーバが UTF-8 に対応していれば UTF-8、そうでなければ Shift_JIS を使います。"},
    });
    Resources().RegisterIcons({
        {IDI_PROFILE, "network-workgroup", nullptr},
        {IDI_USER, "avatar-default", nullptr},
        {IDI_ROUTE_EDIT, "document-properties", nullptr},
        {IDI_MOVEDIR, "folder", nullptr},
        {IDI_EXTAUTO, "emblem-documents", nullptr},
        {IDI_ROUTE_ADD, "list-add", nullptr},
        {IDI_ROUTE_ROW, "text-x-generic", nullptr},
    });
    return true;
}();

constexpr int kPortMin = settings::kMinPort, kPortMax = settings::kMaxPort;

}  // namespace

CImageButton* MakeImageButton(wxWindow* parent, const char* label, const char* name, int icon, int tip) {
    auto* b = new CImageButton(parent, wxID_ANY, wxString::FromUTF8(label));
    b->SetName(name);
    b->SetIconBitmaps(LoadBitmap(icon));
    b->SetTooltipText(LoadString(tip));
    return b;
}

wxString ClampFieldText(const wxString& text, bool extensionList) {
    wxScopedCharBuffer utf8 = text.utf8_str();
    if (utf8.length() <= settings::kMaxFieldBytes) return text;
    std::string s = settings::CutUtf8(std::string_view(utf8.data(), utf8.length()), settings::kMaxFieldBytes);
    if (extensionList) s.erase(s.rfind(';') == std::string::npos ? 0 : s.rfind(';') + 1);
    return wxString::FromUTF8(s);
}

bool ClampField(wxTextCtrl* edit, bool extensionList) {
    wxString value = edit->GetValue();
    wxString clamped = ClampFieldText(value, extensionList);
    if (clamped == value) return false;
    // SetValue, not ChangeValue: a handler that already ran on this change
    // saw the long text, and must see the cut one after it.
    edit->SetValue(clamped);
    edit->SetInsertionPointEnd();
    wxBell();
    return true;
}

void LimitFieldBytes(wxTextCtrl* edit) {
    edit->Bind(wxEVT_TEXT, [edit](wxCommandEvent& event) {
        event.Skip();
        ClampField(edit);
    });
}

bool IsUsablePort(const wxString& text) {
    if (text.empty() || text.length() > 5) return false;
    long value = 0;
    for (wxUniChar c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c.GetValue() - '0');
    }
    return value >= kPortMin && value <= kPortMax;
}

wxString EncryptionName(int encryption) {
    static const char* const names[] = {"暗号化しない (FTP)", "可能なら TLS を使う (FTPS)", "TLS 必須 (FTPS)"};
    return wxString::FromUTF8(names[settings::EncryptionFromStore(static_cast<std::uint32_t>(encryption))]);
}

wxChoice* MakeEncryptionChoice(wxWindow* parent, int encryption) {
    auto* choice = new wxChoice(parent, wxID_ANY);
    choice->SetName("encryption");
    for (int value : {settings::kEncryptionNone, settings::kEncryptionIfOffered, settings::kEncryptionRequired})
        choice->Append(EncryptionName(value));
    choice->SetSelection(settings::EncryptionFromStore(static_cast<std::uint32_t>(encryption)));
    choice->SetToolTip(LoadString(IDS_TIP_ENCRYPTION));
    return choice;
}

int EncryptionOf(const wxChoice* choice) {
    const int selected = choice->GetSelection();
    return selected == wxNOT_FOUND ? settings::kEncryptionNone : selected;
}

wxString NameEncodingName(int nameEncoding) {
    static const char* const names[] = {"自動", "UTF-8", "Shift_JIS", "EUC-JP"};
    return wxString::FromUTF8(names[layout::NameEncodingFromStore(static_cast<std::uint32_t>(nameEncoding))]);
}

wxChoice* MakeNameEncodingChoice(wxWindow* parent, int nameEncoding) {
    auto* choice = new wxChoice(parent, wxID_ANY);
    choice->SetName("nameEncoding");
    for (int value = settings::kNameEncodingAuto; value <= settings::kNameEncodingEucJp; ++value)
        choice->Append(NameEncodingName(value));
    choice->SetSelection(static_cast<int>(layout::NameEncodingFromStore(static_cast<std::uint32_t>(nameEncoding))));
    choice->SetToolTip(LoadString(IDS_TIP_NAME_ENCODING));
    return choice;
}

int NameEncodingOf(const wxChoice* choice) {
    const int selected = choice->GetSelection();
    return selected == wxNOT_FOUND ? settings::kNameEncodingAuto : selected;
}

bool IsUsableKeyName(const wxString& text) { return text.Find('\\') == wxNOT_FOUND; }

CPortField::CPortField(wxWindow* parent, wxWindowID id) : wxPanel(parent, id) {
    edit_ = new wxTextCtrl(this, wxID_ANY);
    edit_->SetMaxLength(5);
    // Typed characters other than digits are refused; keys with Alt or Ctrl
    // pass on, so that the dialog's mnemonics (Alt+N for 次へ) work from here
    // too, which a digits-only validator would swallow.
    edit_->Bind(wxEVT_CHAR, [](wxKeyEvent& event) {
        const int key = event.GetKeyCode();
        if (event.HasAnyModifiers() || key < WXK_SPACE || key == WXK_DELETE || key >= WXK_START ||
            (key >= '0' && key <= '9'))
            event.Skip();
        else
            wxBell();
    });
    spin_ = new wxSpinButton(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_VERTICAL | wxSP_ARROW_KEYS);
    spin_->SetRange(kPortMin, kPortMax);
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(edit_, 1, wxALIGN_CENTER_VERTICAL);
    sizer->Add(spin_, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 2);
    SetSizer(sizer);
    spin_->Bind(wxEVT_SPIN_UP, &CPortField::OnSpin, this);
    spin_->Bind(wxEVT_SPIN_DOWN, &CPortField::OnSpin, this);
    edit_->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        event.Skip();
        int port = Port();
        if (port >= kPortMin && port <= kPortMax && port != spin_->GetValue()) spin_->SetValue(port);
    });
}

wxString CPortField::GetText() const { return edit_->GetValue(); }

void CPortField::SetText(const wxString& text) { edit_->SetValue(text); }

int CPortField::Port() const {
    long value = 0;
    for (wxUniChar c : edit_->GetValue()) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c.GetValue() - '0');
        if (value > 0x7fffffff) return 0x7fffffff;
    }
    return static_cast<int>(value);
}

// The arrows step from what the edit shows, and write the new number back
// without thousands separators.
void CPortField::OnSpin(wxSpinEvent& event) {
    int port = Port();
    bool up = event.GetEventType() == wxEVT_SPIN_UP;
    if (port < kPortMin || port > kPortMax) port = up ? kPortMin : kPortMax;
    else port = std::clamp(port + (up ? 1 : -1), kPortMin, kPortMax);
    edit_->SetValue(wxString::Format("%d", port));
}

CPasswordField::CPasswordField(wxWindow* parent, wxWindowID id) : wxPanel(parent, id) {
    masked_ = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD);
    plain_ = new wxTextCtrl(this, wxID_ANY);
    masked_->SetName("passwordMasked");
    plain_->SetName("passwordPlain");
    LimitFieldBytes(masked_);
    LimitFieldBytes(plain_);
    plain_->Hide();
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(masked_, 1, wxALIGN_CENTER_VERTICAL);
    sizer->Add(plain_, 1, wxALIGN_CENTER_VERTICAL);
    SetSizer(sizer);
}

wxTextCtrl* CPasswordField::Edit() const { return clear_ ? plain_ : masked_; }
wxString CPasswordField::GetValue() const { return Edit()->GetValue(); }
void CPasswordField::SetValue(const wxString& text) { Edit()->SetValue(text); }

void CPasswordField::ShowClear(bool clear) {
    if (clear == clear_) return;
    wxTextCtrl* from = Edit();
    clear_ = clear;
    Edit()->ChangeValue(from->GetValue());
    from->ChangeValue(wxString());  // the hidden edit keeps no copy
    from->Hide();
    Edit()->Show();
    Edit()->Enable(from->IsEnabled());
    Layout();
}

void CPasswordField::SetFieldToolTip(const wxString& text) {
    masked_->SetToolTip(text);
    plain_->SetToolTip(text);
}

AnonymousLogin::AnonymousLogin(wxCheckBox* box, wxTextCtrl* user, CPasswordField* password)
    : box_(box), user_(user), password_(password) {
    box_->Bind(wxEVT_CHECKBOX, &AnonymousLogin::OnClick, this);
}

AnonymousLogin::~AnonymousLogin() { box_->Unbind(wxEVT_CHECKBOX, &AnonymousLogin::OnClick, this); }

void AnonymousLogin::OnClick(wxCommandEvent& event) {
    event.Skip();
    Apply(event.IsChecked());
}

bool AnonymousLogin::IsChecked() const { return box_->GetValue(); }

void AnonymousLogin::Set(bool checked) {
    if (checked == box_->GetValue() && checked == !user_->IsEnabled()) return;
    box_->SetValue(checked);
    Apply(checked);
}

void AnonymousLogin::Prefill(bool checked) {
    box_->SetValue(checked);
    rememberedUser_ = user_->GetValue();
    rememberedPassword_ = password_->GetValue();
    user_->Enable(!checked);
    password_->ShowClear(checked);
}

void AnonymousLogin::Apply(bool checked) {
    if (checked) {
        rememberedUser_ = user_->GetValue();
        rememberedPassword_ = password_->GetValue();
        user_->SetValue("anonymous");
        user_->Disable();
        password_->ShowClear(true);
        password_->SetValue(kPlaceholder);
        password_->Edit()->SetFocus();
        password_->Edit()->SelectAll();
    } else {
        user_->Enable();
        password_->ShowClear(false);
        user_->SetValue(rememberedUser_);
        password_->SetValue(rememberedPassword_);
    }
}

CRoutingList::CRoutingList(wxWindow* parent, wxWindow* owner, settings::ProviderRecord* record)
    : wxPanel(parent, wxID_ANY), owner_(owner), record_(record) {
    list_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(404, 130),
                           wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_SORT_HEADER | wxBORDER_SUNKEN);
    list_->SetName(kListName);
    list_->InsertColumn(0, LoadString(IDS_COL_EXTENSION), wxLIST_FORMAT_LEFT, 150);
    list_->InsertColumn(1, LoadString(IDS_COL_DIRECTORY), wxLIST_FORMAT_LEFT, 250);
    auto* images = new wxImageList(16, 16, true, 1);
    wxBitmap row = LoadBitmap(IDI_ROUTE_ROW);
    if (row.IsOk()) images->Add(row);
    list_->AssignImageList(images, wxIMAGE_LIST_SMALL);
    list_->SetToolTip(LoadString(IDS_TIP_ROUTE_LIST));

    auto* add = MakeImageButton(this, "追加(&A)...", kAddName, IDI_ROUTE_ADD, IDS_TIP_ROUTE_ADD);
    delete_ = MakeImageButton(this, "削除(&D)", kDeleteName, IDI_ROUTE_DELETE, IDS_TIP_ROUTE_DELETE);
    edit_ = MakeImageButton(this, "再編集(&E)...", kEditName, IDI_ROUTE_EDIT, IDS_TIP_ROUTE_EDIT);
    auto* buttons = new wxBoxSizer(wxVERTICAL);
    for (CImageButton* b : {add, delete_, edit_}) buttons->Add(b, 0, wxEXPAND | wxBOTTOM, 4);

    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    sizer->Add(list_, 1, wxEXPAND);
    sizer->Add(buttons, 0, wxLEFT, 6);
    SetSizer(sizer);

    add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Add(); });
    delete_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Delete(); });
    edit_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Edit(); });
    list_->Bind(wxEVT_LIST_ITEM_SELECTED, &CRoutingList::OnSelection, this);
    list_->Bind(wxEVT_LIST_ITEM_DESELECTED, &CRoutingList::OnSelection, this);
    list_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { Edit(); });
    owner_->Bind(EVT_EXT_SELECT_CLOSED, &CRoutingList::OnSheetClosed, this);
    UpdateButtons();
}

CRoutingList::~CRoutingList() { owner_->Unbind(EVT_EXT_SELECT_CLOSED, &CRoutingList::OnSheetClosed, this); }

void CRoutingList::SetPairs(const std::vector<Pair>& pairs) {
    list_->DeleteAllItems();
    for (const Pair& p : pairs) {
        long i = list_->InsertItem(list_->GetItemCount(), wxString::FromUTF8(p.first), 0);
        list_->SetItem(i, 1, wxString::FromUTF8(p.second));
    }
    UpdateButtons();
}

std::vector<CRoutingList::Pair> CRoutingList::Pairs() const {
    std::vector<Pair> pairs;
    for (long i = 0; i < list_->GetItemCount(); ++i)
        pairs.emplace_back(list_->GetItemText(i, 0).utf8_string(), list_->GetItemText(i, 1).utf8_string());
    return pairs;
}

long CRoutingList::Selected() const { return list_->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); }

void CRoutingList::UpdateButtons() {
    bool selected = Selected() >= 0;
    delete_->Enable(selected);
    edit_->Enable(selected);
}

void CRoutingList::OnSelection(wxListEvent& event) {
    event.Skip();
    UpdateButtons();
}

void CRoutingList::Add() {
    editing_ = false;
    result_ = {};
    Open();
}

void CRoutingList::Edit() {
    long row = Selected();
    if (row < 0) return;
    editing_ = true;
    editRow_ = row;
    result_ = {list_->GetItemText(row, 0).utf8_string(), list_->GetItemText(row, 1).utf8_string()};
    Open();
}

void CRoutingList::Delete() {
    long row = Selected();
    if (row < 0) return;
    Pair pair{list_->GetItemText(row, 0).utf8_string(), list_->GetItemText(row, 1).utf8_string()};
    if (onDelete_ && !onDelete_(row, pair)) return;
    list_->DeleteItem(row);
    UpdateButtons();
}

void CRoutingList::Open() { PARVEX_ShowExtSelect(owner_, &result_, record_, 1); }

void CRoutingList::OnSheetClosed(wxCommandEvent& event) {
    event.Skip();
    ExtSelectResult got = std::exchange(result_, {});
    if (got.extensions.empty() || got.directory.empty()) return;
    // A "\" would make nested keys, and the save would refuse the whole provider.
    if (!IsUsableKeyName(wxString::FromUTF8(got.directory))) {
        wxBell();
        return;
    }
    long row = editing_ ? editRow_ : -1;
    bool added = row < 0 || row >= list_->GetItemCount();
    if (added) row = list_->InsertItem(list_->GetItemCount(), wxString::FromUTF8(got.extensions), 0);
    else list_->SetItem(row, 0, wxString::FromUTF8(got.extensions));
    list_->SetItem(row, 1, wxString::FromUTF8(got.directory));
    if (onChange_) onChange_(row, added);
}

}  // namespace halvex32
