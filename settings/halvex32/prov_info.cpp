#include "settings/halvex32/prov_info.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"
#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/halvex32.h"
#include "settings/halvex32/module.h"
#include "settings/halvex32/provider_fields.h"

#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tooltip.h>

#include <algorithm>

using namespace halvex32;

namespace {

constexpr int IDS_TIP_BROWSE = 1;
const char* const kTemplateFace = "ＭＳ Ｐゴシック";

wxString U(const char* text) { return wxString::FromUTF8(text); }
wxString U(const std::string& text) { return wxString::FromUTF8(text); }

// A text field named for finding it, with its tooltip, never holding more
// than the store can read back.
wxTextCtrl* Field(wxWindow* parent, const char* name, int tip, const std::string& value = {}) {
    auto* edit = new wxTextCtrl(parent, wxID_ANY, U(value));
    edit->SetName(name);
    edit->SetToolTip(LoadString(tip));
    LimitFieldBytes(edit);
    return edit;
}

// A group of a page: its icon at the left; at the right the title followed
// by an etched line, the explanation, and the group's own controls.
wxSizer* Group(wxWindow* page, int icon, const char* title, const char* explanation, wxSizer* body) {
    auto* head = new wxBoxSizer(wxHORIZONTAL);
    head->Add(new wxStaticText(page, wxID_ANY, U(title)), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    head->Add(new wxStaticLine(page), 1, wxALIGN_CENTER_VERTICAL);
    auto* right = new wxBoxSizer(wxVERTICAL);
    right->Add(head, 0, wxEXPAND | wxBOTTOM, 2);
    right->Add(new wxStaticText(page, wxID_ANY, U(explanation)), 0, wxLEFT | wxBOTTOM, 4);
    right->Add(body, 0, wxEXPAND | wxLEFT, 4);
    auto* group = new wxBoxSizer(wxHORIZONTAL);
    group->Add(new wxStaticBitmap(page, wxID_ANY, LoadBitmap(icon, 32)), 0, wxRIGHT, 8);
    group->Add(right, 1);
    return group;
}

// Label / control rows.
wxFlexGridSizer* Rows(std::initializer_list<std::pair<const char*, wxWindow*>> rows, wxWindow* page) {
    auto* grid = new wxFlexGridSizer(2, 4, 6);
    grid->AddGrowableCol(1);
    for (const auto& [label, control] : rows) {
        grid->Add(new wxStaticText(page, wxID_ANY, U(label)), 0, wxALIGN_CENTER_VERTICAL);
        grid->Add(control, 1, wxEXPAND);
    }
    return grid;
}

// Gives the label columns of several grids one width, so that the fields of
// a page's groups start at the same place.
void AlignLabels(std::initializer_list<wxFlexGridSizer*> grids) {
    int width = 0;
    for (wxFlexGridSizer* grid : grids)
        for (size_t i = 0; i < grid->GetItemCount(); i += 2)
            width = std::max(width, grid->GetItem(i)->CalcMin().x);
    for (wxFlexGridSizer* grid : grids)
        for (size_t i = 0; i < grid->GetItemCount(); i += 2)
            grid->GetItem(i)->SetMinSize(width, -1);
}

}  // namespace

CPagePropProv::CPagePropProv(wxWindow* parent, CSheetProvInfo* sheet) : wxPanel(parent, wxID_ANY), sheet_(sheet) {
    const settings::ProviderRecord& r = sheet_->Record();
    provider_ = Field(this, kProviderName, IDS_TIP_PROVIDER, sheet_->Provider());
    provider_->Disable();
    server_ = Field(this, kServerName, IDS_TIP_SERVER, r.serverAddr);
    port_ = new CPortField(this);
    port_->Edit()->SetToolTip(LoadString(IDS_TIP_PORT));
    port_->SetText(wxString::Format("%d", r.port));
    encryption_ = MakeEncryptionChoice(this, r.encryption);
    nameEncoding_ = MakeNameEncodingChoice(this, r.nameEncoding);
    user_ = Field(this, kUserName, IDS_TIP_USER, r.userName);
    password_ = new CPasswordField(this);
    password_->SetFieldToolTip(LoadString(IDS_TIP_PASSWORD));
    password_->SetValue(U(r.password));
    anonymousBox_ = new wxCheckBox(this, wxID_ANY, U("匿名ログインする(&A)"));
    anonymousBox_->SetName(kAnonymousName);
    anonymousBox_->SetToolTip(LoadString(IDS_TIP_ANONYMOUS));

    auto* name = new wxBoxSizer(wxVERTICAL);
    auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
    nameRow->Add(new wxStaticText(this, wxID_ANY, U("接続先名(&C) : ")), 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    nameRow->Add(provider_, 1);
    name->Add(new wxStaticText(this, wxID_ANY,
                               U("エクスプローラなどでファイルやフォルダを右クリックしたときに表示される\n"
                                 "接続先名を設定してください。")),
              0, wxBOTTOM, 4);
    name->Add(nameRow, 0, wxEXPAND);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(new wxStaticBitmap(this, wxID_ANY, LoadBitmap(IDI_PROFILE, 32)), 0, wxRIGHT, 8);
    top->Add(name, 1);

    auto* server = Rows({{"FTPサーバアドレス(&A) : ", server_},
                         {"接続ポート番号(&P) :  ", port_},
                         {kEncryptionLabel, encryption_},
                         {kNameEncodingLabel, nameEncoding_}},
                        this);
    // Five digits and short choices need no full row.
    for (wxWindow* narrow : {static_cast<wxWindow*>(port_), static_cast<wxWindow*>(encryption_),
                             static_cast<wxWindow*>(nameEncoding_)})
        server->GetItem(narrow)->SetFlag(wxALIGN_CENTER_VERTICAL);
    auto* login = Rows({{"ユーザ名(&U) : ", user_}, {"パスワード(&P) : ", password_}}, this);
    login->AddSpacer(0);
    login->Add(anonymousBox_);
    AlignLabels({server, login});

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(top, 0, wxEXPAND | wxALL, 8);
    sizer->Add(new wxStaticLine(this), 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    sizer->Add(Group(this, IDI_SERVER, "サーバアドレス(&S) : ",
                     "FTPサーバのアドレスと、接続先のポート番号を設定してください。", server),
               0, wxEXPAND | wxALL, 8);
    sizer->Add(Group(this, IDI_USER, "ログイン情報(&L) : ", "ログイン情報を設定してください。", login), 0,
               wxEXPAND | wxALL, 8);
    SetSizer(sizer);

    // The stored state applied as a click applies it: an anonymous entry
    // shows "anonymous" and the placeholder, and unchecking gives the stored
    // login back.
    anonymous_ = std::make_unique<AnonymousLogin>(anonymousBox_, user_, password_);
    anonymous_->Set(r.anonymous == 1);

    // Every change goes into the record at once (the extension sheet's
    // directory browse logs in with it) and decides OK.
    Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        event.Skip();
        CopyTo(sheet_->Record());
        sheet_->UpdateOk();
    });
    anonymousBox_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) {
        event.Skip();
        CallAfter([this] {
            CopyTo(sheet_->Record());
            sheet_->UpdateOk();
        });
    });
    for (wxChoice* choice : {encryption_, nameEncoding_})
        choice->Bind(wxEVT_CHOICE, [this](wxCommandEvent& event) {
            event.Skip();
            CopyTo(sheet_->Record());
        });
    CopyTo(sheet_->Record());
}

CPagePropProv::~CPagePropProv() = default;

bool CPagePropProv::IsComplete() const {
    // A password the keyring would not give (locked) may stay empty: the save then keeps the stored one.
    const bool password = !password_->GetValue().empty() || sheet_->Record().passwordUnread;
    return !provider_->IsEmpty() && !server_->IsEmpty() && !user_->IsEmpty() && password &&
           IsUsablePort(port_->GetText()) && IsUsableKeyName(provider_->GetValue());
}

void CPagePropProv::CopyTo(settings::ProviderRecord& record) const {
    record.serverAddr = server_->GetValue().utf8_string();
    record.port = port_->Port();
    record.encryption = EncryptionOf(encryption_);
    record.nameEncoding = NameEncodingOf(nameEncoding_);
    record.userName = user_->GetValue().utf8_string();
    record.password = password_->GetValue().utf8_string();
    record.anonymous = anonymousBox_->GetValue() ? 1 : 0;
}

CPagePropMoveDir::CPagePropMoveDir(wxWindow* parent, CSheetProvInfo* sheet)
    : wxPanel(parent, wxID_ANY), sheet_(sheet) {
    const settings::ProviderRecord& r = sheet_->Record();
    directory_ = Field(this, kDirectoryName, IDS_TIP_DIRECTORY, r.directory);
    directory_->Disable();
    menuName_ = Field(this, kMenuNameName, IDS_TIP_MENUNAME, r.menuName);

    // The login directory of the per-extension transfer entry; empty when
    // it has none.
    std::string root;
    SettingKey key;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, layout::EntryKey(sheet_->Provider(), layout::kAutoTransferEntry)) ==
        winreg::ERROR_SUCCESS)
        key.ReadString(layout::kRoot, root);
    loginDirectory_ = Field(this, kLoginDirectoryName, IDS_TIP_DIRECTORY, root);
    auto* browse = MakeImageButton(this, "ディレクトリ参照(&R)...", kBrowseName, IDI_BROWSE, IDS_TIP_BROWSE);

    routing_ = new CRoutingList(this, sheet_, &sheet_->Record());
    routing_->SetPairs(r.autoTransfer);
    // A rule is removed from the store at once, and stays removed whatever
    // the sheet ends with. A rule added here and never saved has no key.
    routing_->SetDeleteHandler([this](long row, const CRoutingList::Pair& pair) {
        // Rules of one directory share one key: while another row still
        // routes there, the key is that row's and stays.
        const auto pairs = routing_->Pairs();
        for (std::size_t i = 0; i < pairs.size(); ++i)
            if (static_cast<long>(i) != row && pairs[i].second == pair.second) return true;
        winreg::LONG st = settings::DeleteAutoTransferKey(sheet_->Provider(), pair.second);
        if (st == winreg::ERROR_SUCCESS || st == winreg::ERROR_FILE_NOT_FOUND) return true;
        wxMessageBox(wxString::Format(U("転送先ディレクトリ「%s」の設定を削除できませんでした(エラー %ld)。"),
                                      U(pair.second), static_cast<long>(st)),
                     sheet_->GetTitle(), wxOK | wxICON_ERROR, sheet_);
        return false;
    });

    auto* moveDir = Rows({{"移動するディレクトリ(&D) : ", directory_}, {"メニュー表示名(&M) : ", menuName_}}, this);
    auto* loginRow = new wxBoxSizer(wxHORIZONTAL);
    loginRow->Add(loginDirectory_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    loginRow->Add(browse, 0, wxALIGN_CENTER_VERTICAL);
    auto* routing = new wxBoxSizer(wxVERTICAL);
    routing->Add(routing_, 0, wxEXPAND | wxBOTTOM, 6);
    routing->Add(new wxStaticText(this, wxID_ANY, U("拡張子別転送選択時のログイン先ディレクトリ(&L) : ")), 0,
                 wxBOTTOM, 2);
    routing->Add(loginRow, 0, wxEXPAND);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(Group(this, IDI_MOVEDIR, "移動するディレクトリ(&M) : ",
                     "FTPサーバ接続後に自動的に移動するディレクトリを設定してください。\n"
                     "メニュー表示名は、移動するディレクトリの別名を設定してください。",
                     moveDir),
               0, wxEXPAND | wxALL, 8);
    sizer->Add(Group(this, IDI_EXTAUTO, "自動振り分け拡張子(&A) : ",
                     "FTPサーバへファイルを転送する際に、拡張子ごとに転送先ディレクトリを自動振り分けできます。",
                     routing),
               0, wxEXPAND | wxALL, 8);
    SetSizer(sizer);

    menuName_->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        event.Skip();
        sheet_->Record().menuName = menuName_->GetValue().utf8_string();
        sheet_->UpdateOk();
    });
    browse->Bind(wxEVT_BUTTON, &CPagePropMoveDir::OnBrowse, this);
}

bool CPagePropMoveDir::IsComplete() const {
    return !directory_->IsEmpty() && !menuName_->IsEmpty() && IsUsableKeyName(directory_->GetValue());
}

// Logs in with what page 1 shows now, saved or not; a certificate trusted
// there is saved with the provider at OK.
void CPagePropMoveDir::OnBrowse(wxCommandEvent&) {
    settings::ProviderRecord& record = sheet_->Record();
    sheet_->ProvPage()->CopyTo(record);
    std::string dir = BrowseRemoteDirectory(sheet_, record);
    if (!dir.empty()) loginDirectory_->SetValue(U(dir));
}

CSheetProvInfo::CSheetProvInfo(wxWindow* parent, const std::string& provider, const std::string& entry)
    : provider_(provider), entry_(entry) {
    settings::LoadProviderEntry(provider, entry, record_);
    for (const auto& pair : record_.autoTransfer) loadedDirectories_.push_back(pair.second);

    Create(parent, wxID_ANY, U(provider) + "(" + U(entry) + ")" + U("のプロパティ"));
    SetFont(ui::DialogFont(U(kTemplateFace), 9));
    wxToolTip::SetDelay(100);
    CreateButtons(wxOK | wxCANCEL);
    ui::SetStockButtonLabels(this);
    provPage_ = new CPagePropProv(GetBookCtrl(), this);
    moveDirPage_ = new CPagePropMoveDir(GetBookCtrl(), this);
    GetBookCtrl()->AddPage(provPage_, U("プロバイダ情報"), true);
    GetBookCtrl()->AddPage(moveDirPage_, U("ディレクトリ/拡張子"));
    LayoutDialog();

    Bind(wxEVT_BUTTON, &CSheetProvInfo::OnOk, this, wxID_OK);
    GetBookCtrl()->Bind(wxEVT_BOOKCTRL_PAGE_CHANGED, &CSheetProvInfo::OnPageChanged, this);
    UpdateOk();
}

void CSheetProvInfo::UpdateOk() {
    wxWindow* ok = FindWindow(wxID_OK);
    if (!ok || !provPage_ || !moveDirPage_) return;  // still being built
    ok->Enable(provPage_->IsComplete() && (!moveDirShown_ || moveDirPage_->IsComplete()));
}

void CSheetProvInfo::OnPageChanged(wxBookCtrlEvent& event) {
    event.Skip();
    if (event.GetSelection() == 1) moveDirShown_ = true;
    UpdateOk();
}

bool CSheetProvInfo::Save() {
    provPage_->CopyTo(record_);
    record_.menuName = moveDirPage_->MenuNameEdit()->GetValue().utf8_string();
    record_.autoTransfer = moveDirPage_->Routing()->Pairs();
    const std::string root = moveDirPage_->LoginDirectoryEdit()->GetValue().utf8_string();

    // One transaction for the provider and the keys of rules re-edited to
    // another directory: the old key would route on to the old directory.
    winreg::Transaction transaction;
    winreg::LONG st = transaction.Status();
    // Opened on the per-extension transfer entry itself, the save would write
    // the entry's own name as its Root: its login directory is written always.
    const bool writeRoot = moveDirShown_ || entry_ == layout::kAutoTransferEntry;
    if (st == winreg::ERROR_SUCCESS) st = settings::SaveProviderEntry(record_, writeRoot ? &root : nullptr);
    for (const std::string& dir : loadedDirectories_) {
        if (st != winreg::ERROR_SUCCESS) break;
        bool listed = std::any_of(record_.autoTransfer.begin(), record_.autoTransfer.end(),
                                  [&](const auto& pair) { return pair.second == dir; });
        if (listed) continue;
        st = settings::DeleteAutoTransferKey(provider_, dir);
        if (st == winreg::ERROR_FILE_NOT_FOUND) st = winreg::ERROR_SUCCESS;  // removed with 削除 already
    }
    if (st == winreg::ERROR_SUCCESS) st = transaction.Commit();
    if (st == winreg::ERROR_SUCCESS) return true;
    std::string problem = settings::ProviderRecordProblem(record_);
    wxString message = U(problem.empty() ? settings::StoreWriteFailure(st) : problem);
    wxMessageBox(message, GetTitle(), wxOK | wxICON_ERROR, this);
    return false;
}

void CSheetProvInfo::OnOk(wxCommandEvent& event) {
    // The keyboard can reach OK while it shows disabled; nothing incomplete is saved.
    UpdateOk();
    if (!FindWindow(wxID_OK)->IsEnabled()) return;
    // A failed save keeps the sheet open with everything typed: closing it
    // would report a save that did not happen.
    if (Save()) event.Skip();  // the dialog's own OK handling closes it
}

HALVEX32_EXPORT int PARVEX_ShowProvInfo(wxWindow*, const char* provider, const char* entry) {
    if (!provider || !entry || !*provider || !*entry || std::string(provider).find('\\') != std::string::npos ||
        std::string(entry).find('\\') != std::string::npos)
        return 2;
    CSheetProvInfo sheet(nullptr, provider, entry);
    return sheet.ShowModal() == wxID_OK ? 1 : 2;
}
