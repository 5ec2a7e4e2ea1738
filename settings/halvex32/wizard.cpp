#include "settings/halvex32/wizard.h"

#include "common/registry/layout.h"
#include "common/ui/image_button.h"
#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/module.h"
#include "settings/halvex32/provider_fields.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/graphics.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tooltip.h>
#include <wx/utils.h>

using namespace halvex32;

namespace {

enum : int {
    IDS_BROWSE_TIP = 1,
    IDS_ROW_PROVIDER = 15,
    IDS_ROW_SERVER = 16,
    IDS_ROW_PORT = 17,
    IDS_ROW_USER = 18,
    IDS_ROW_PASSWORD = 19,
    IDS_ROW_DIRECTORY = 20,
    IDS_ROW_MENUNAME = 21,
    IDS_ROW_ROUTE = 22,
    IDS_ROW_ENCRYPTION = 71,
    IDS_ROW_NAME_ENCODING = 74,
    IDS_LOGIN_DIRECTORY = 29,
    IDS_COL_ITEM = 30,
    IDS_COL_VALUE = 31,
    IDI_FINISH = 1023,
    IDI_SUMMARY_ROW = 1033,
};

[[maybe_unused]] const bool g_registered = [] {
    Resources().RegisterStrings({
        {IDS_BROWSE_TIP,
         "このボタンをクリックすると、FTPサーバ側のディレクトリ構"
         "成を表示します。"},
        {IDS_ROW_PROVIDER, "接続名"},
        {IDS_ROW_SERVER, "接続先サーバアドレス"},
        {IDS_ROW_PORT, "接続先ポート番号"},
        {IDS_ROW_USER, "ユーザ名"},
        {IDS_ROW_PASSWORD, "パスワード"},
        {IDS_ROW_DIRECTORY, "移動するディレクトリ"},
        {IDS_ROW_MENUNAME, "メニュー表示名"},
        {IDS_ROW_ROUTE, "拡張子別自動転送"},
        {IDS_ROW_ENCRYPTION, "暗号化"},
        {IDS_ROW_NAME_ENCODING, "ファイル名の文字コード"},
        {IDS_LOGIN_DIRECTORY, "ログイン時のディレクトリ"},
        {IDS_COL_ITEM, "設定項目"},
        {IDS_COL_VALUE, "設定内容"},
    });
    Resources().RegisterIcons({
        {IDI_FINISH, "emblem-ok-symbolic", nullptr},
        {IDI_SUMMARY_ROW, "emblem-documents", nullptr},
    });
    return true;
}();

const char* const kTemplateFace = "ＭＳ Ｐゴシック";
constexpr int kPageIconSize = 32;
const wxSize kBannerSize(520, 74);

wxString U(const char* text) { return wxString::FromUTF8(text); }
wxString U(const std::string& text) { return wxString::FromUTF8(text); }

wxStaticText* Label(wxWindow* parent, const char* text) { return new wxStaticText(parent, wxID_ANY, U(text)); }

// A text field of the page: named for finding it, with its tooltip, never
// holding more than the store can read back.
wxTextCtrl* Field(wxWindow* parent, const char* name, int tip) {
    auto* edit = new wxTextCtrl(parent, wxID_ANY);
    edit->SetName(name);
    edit->SetToolTip(LoadString(tip));
    LimitFieldBytes(edit);
    return edit;
}

// Label / control rows of a page.
wxFlexGridSizer* FieldGrid() {
    auto* grid = new wxFlexGridSizer(2, 6, 6);
    grid->AddGrowableCol(1);
    return grid;
}

void AddRow(wxFlexGridSizer* grid, wxWindow* label, wxWindow* control, int proportion = 1) {
    grid->Add(label, 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(control, proportion, proportion ? wxEXPAND : 0);
}

}  // namespace

// The banner across the top of every page: a sky gradient with an arrow
// carrying a document up to a server. Drawn here rather than shipped as an
// image, so that it is sharp at any size.
wxBitmap WizardBanner(const wxSize& size) {
    wxBitmap bmp(size, 24);
    wxMemoryDC dc(bmp);
    dc.GradientFillLinear(wxRect(size), wxColour(0x1c, 0x4f, 0x9c), wxColour(0x8c, 0xc4, 0xf0), wxEAST);
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
    if (gc) {
        const double w = size.x, h = size.y;
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->SetBrush(wxBrush(wxColour(255, 255, 255, 40)));
        gc->DrawEllipse(w * 0.55, -h * 0.6, h * 1.8, h * 1.8);
        gc->DrawEllipse(w * 0.05, h * 0.35, h * 1.2, h * 1.2);
        // The server: three stacked units with their lights.
        const double sx = w - h * 1.1, sw = h * 0.62, uh = h * 0.2;
        for (int i = 0; i < 3; ++i) {
            double y = h * 0.18 + i * (uh + h * 0.04);
            gc->SetBrush(wxBrush(wxColour(0xf4, 0xf6, 0xfa)));
            gc->DrawRoundedRectangle(sx, y, sw, uh, 2);
            gc->SetBrush(wxBrush(wxColour(0x3c, 0xc0, 0x5a)));
            gc->DrawEllipse(sx + sw - uh * 0.55, y + uh * 0.3, uh * 0.35, uh * 0.35);
        }
        // The document, and the arrow from it to the server.
        const double dx = w - h * 2.55, dy = h * 0.28, dw = h * 0.42, dh = h * 0.52;
        gc->SetBrush(wxBrush(wxColour(255, 255, 255)));
        gc->DrawRectangle(dx, dy, dw, dh);
        gc->SetPen(wxPen(wxColour(0x9a, 0xa8, 0xbc), 1));
        for (int i = 1; i <= 4; ++i)
            gc->StrokeLine(dx + dw * 0.18, dy + dh * i / 5.5, dx + dw * 0.82, dy + dh * i / 5.5);
        gc->SetPen(wxPen(wxColour(0xff, 0xd2, 0x4a), std::max(2.0, h / 18)));
        const double ax0 = dx + dw + h * 0.12, ax1 = sx - h * 0.14, ay = h * 0.5;
        gc->StrokeLine(ax0, ay, ax1, ay);
        gc->SetPen(*wxTRANSPARENT_PEN);
        gc->SetBrush(wxBrush(wxColour(0xff, 0xd2, 0x4a)));
        wxGraphicsPath head = gc->CreatePath();
        head.MoveToPoint(ax1 + h * 0.1, ay);
        head.AddLineToPoint(ax1 - h * 0.08, ay - h * 0.12);
        head.AddLineToPoint(ax1 - h * 0.08, ay + h * 0.12);
        head.CloseSubpath();
        gc->FillPath(head);
        wxFont font = ui::DialogFont(U(kTemplateFace), std::max(9, size.y / 5));
        font.MakeBold();
        gc->SetFont(font, *wxWHITE);
        gc->DrawText("Parvex", h * 0.35, h * 0.2);
        gc->SetFont(ui::DialogFont(U(kTemplateFace), std::max(8, size.y / 8)), wxColour(0xe8, 0xf0, 0xff));
        gc->DrawText(U("新しい接続先の設定"), h * 0.37, h * 0.58);
    }
    dc.SelectObject(wxNullBitmap);
    return bmp;
}

void UpdateWizardButtons(CWizSheet* sheet, wxTextCtrl* const* fields, int count, int whenFilled, int whenEmpty,
                         bool usable) {
    if (!sheet || !sheet->GetHandle()) return;
    bool filled = usable;
    for (int i = 0; i < count && filled; ++i) {
        if (!fields[i] || !fields[i]->GetHandle()) return;
        filled = !fields[i]->IsEmpty();
    }
    sheet->SetWizardButtons(filled ? whenFilled : whenEmpty);
}

CWizPage::CWizPage(CWizSheet* sheet, const char* caption, int icon, const char* explanation)
    : wxWizardPageSimple(sheet), sheet_(sheet), caption_(U(caption)) {
    SetFont(ui::DialogFont(U(kTemplateFace), 9));
    body_ = this;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    // The banner is drawn at whatever width the wizard settles on.
    auto* banner = new wxWindow(this, wxID_ANY, wxDefaultPosition, kBannerSize);
    banner->SetName("banner");
    banner->SetMinSize(wxSize(-1, kBannerSize.y));
    banner->SetBackgroundStyle(wxBG_STYLE_PAINT);
    banner->Bind(wxEVT_PAINT, [banner](wxPaintEvent&) {
        wxPaintDC dc(banner);
        wxSize size = banner->GetClientSize();
        if (size.x > 0 && size.y > 0) dc.DrawBitmap(WizardBanner(size), 0, 0);
    });
    banner->Bind(wxEVT_SIZE, [banner](wxSizeEvent& event) {
        event.Skip();
        banner->Refresh();
    });
    sizer->Add(banner, 0, wxEXPAND | wxBOTTOM, 8);
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(new wxStaticBitmap(this, wxID_ANY, LoadBitmap(icon, kPageIconSize)), 0, wxRIGHT | wxALIGN_TOP, 10);
    auto* text = new wxStaticText(this, wxID_ANY, U(explanation));
    text->SetName("explanation");
    top->Add(text, 1, wxALIGN_CENTER_VERTICAL);
    sizer->Add(top, 0, wxEXPAND | wxLEFT | wxRIGHT, 4);
    sizer->Add(new wxStaticLine(this), 0, wxEXPAND | wxTOP | wxBOTTOM, 8);
    bodySizer_ = new wxBoxSizer(wxVERTICAL);
    sizer->Add(bodySizer_, 1, wxEXPAND | wxLEFT | wxRIGHT, 4);
    SetSizer(sizer);

    Bind(wxEVT_WIZARD_PAGE_CHANGED, [this](wxWizardEvent& event) {
        event.Skip();
        if (event.GetPage() == this) OnActivate();
    });
    Bind(wxEVT_WIZARD_PAGE_CHANGING, [this](wxWizardEvent& event) {
        event.Skip();
        if (event.GetPage() == this && event.GetDirection() && !OnNext()) event.Veto();
    });
}

CWizPageProfile::CWizPageProfile(CWizSheet* sheet)
    : CWizPage(sheet, "接続先名設定", IDI_PROFILE,
               "FTPサーバ名に対して、任意の名前を付けることができます。\n"
               "わかりやすい名前を付けることをおすすめします。") {
    name_ = Field(this, "providerName", IDS_TIP_PROVIDER);
    auto* grid = FieldGrid();
    AddRow(grid, Label(this, "接続先名(&C) : "), name_);
    BodySizer()->Add(grid, 0, wxEXPAND | wxTOP, 8);
    name_->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        event.Skip();
        UpdateButtons();
    });
}

void CWizPageProfile::OnActivate() { UpdateButtons(); }

void CWizPageProfile::UpdateButtons() {
    // A "\" would make nested keys in the store.
    UpdateWizardButtons(Sheet(), &name_, 1, kWizNext, 0, IsUsableKeyName(name_->GetValue()));
}

bool CWizPageProfile::OnNext() {
    Sheet()->Record().providerName = name_->GetValue().utf8_string();
    return true;
}

CWizPageServer::CWizPageServer(CWizSheet* sheet)
    : CWizPage(sheet, "サーバアドレス/ポート番号", IDI_SERVER,
               "接続先FTPサーバのアドレスと接続ポート番号を設定してください。\n"
               "FTPサーバのアドレスはIPアドレスでも設定できます。") {
    address_ = Field(this, "serverAddr", IDS_TIP_SERVER);
    port_ = new CPortField(this);
    port_->Edit()->SetName("port");
    port_->Edit()->SetToolTip(LoadString(IDS_TIP_PORT));
    encryption_ = MakeEncryptionChoice(this, sheet->Record().encryption);
    nameEncoding_ = MakeNameEncodingChoice(this, sheet->Record().nameEncoding);
    auto* grid = FieldGrid();
    AddRow(grid, Label(this, "FTPサーバアドレス(&A) : "), address_);
    AddRow(grid, Label(this, "接続ポート番号(&P) :  "), port_, 0);
    AddRow(grid, Label(this, kEncryptionLabel), encryption_, 0);
    AddRow(grid, Label(this, kNameEncodingLabel), nameEncoding_, 0);
    BodySizer()->Add(grid, 0, wxEXPAND | wxTOP, 8);
    for (wxWindow* w : {static_cast<wxWindow*>(address_), static_cast<wxWindow*>(port_->Edit())})
        w->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
            event.Skip();
            UpdateButtons();
        });
}

void CWizPageServer::OnActivate() {
    if (!prefilled_) {
        // Once only: going back and renaming the provider later keeps what
        // this page shows.
        prefilled_ = true;
        settings::ProviderRecord stored;
        stored.serverAddr = address_->GetValue().utf8_string();
        if (settings::ReadFirstEntry(Sheet()->Record().providerName, stored)) {
            address_->SetValue(U(stored.serverAddr));
            port_->SetText(wxString::Format("%d", stored.port));
            // A provider stored before TLS existed goes on as it was; and the
            // entry added now keeps the certificate its provider trusts.
            encryption_->SetSelection(stored.encryption);
            nameEncoding_->SetSelection(stored.nameEncoding);
            Sheet()->Record().trustedCertificate = stored.trustedCertificate;
        } else {
            port_->SetText(wxString::Format("%d", settings::kDefaultPort));
        }
    }
    UpdateButtons();
}

void CWizPageServer::UpdateButtons() {
    wxTextCtrl* fields[] = {address_, port_->Edit()};
    UpdateWizardButtons(Sheet(), fields, 2, kWizBack | kWizNext, kWizBack, IsUsablePort(port_->GetText()));
}

bool CWizPageServer::OnNext() {
    Sheet()->Record().serverAddr = address_->GetValue().utf8_string();
    Sheet()->Record().port = port_->Port();
    Sheet()->Record().encryption = EncryptionOf(encryption_);
    Sheet()->Record().nameEncoding = NameEncodingOf(nameEncoding_);
    return true;
}

CWizPageUserInfo::CWizPageUserInfo(CWizSheet* sheet)
    : CWizPage(sheet, "ユーザ情報", IDI_USER,
               "FTPサーバへ接続する際に使用する、ユーザ名とパスワードを設定して"
               "ください。\n"
               "Anonymousログイン(匿名ログイン)"
               "を使用する際には、通常メールアドレスがパスワードになります。") {
    user_ = Field(this, "userName", IDS_TIP_USER);
    password_ = new CPasswordField(this);
    password_->SetName("password");
    password_->SetFieldToolTip(LoadString(IDS_TIP_PASSWORD));
    anonymousBox_ = new wxCheckBox(this, wxID_ANY, U("匿名ログインする(&A)"));
    anonymousBox_->SetName("anonymous");
    anonymousBox_->SetToolTip(LoadString(IDS_TIP_ANONYMOUS));
    anonymous_ = std::make_unique<AnonymousLogin>(anonymousBox_, user_, password_);
    auto* grid = FieldGrid();
    AddRow(grid, Label(this, "ユーザ名(&U) : "), user_);
    AddRow(grid, Label(this, "パスワード(&P) : "), password_);
    grid->AddSpacer(0);
    grid->Add(anonymousBox_);
    BodySizer()->Add(grid, 0, wxEXPAND | wxTOP, 8);
    // The password field's two edits both report their changes through it.
    for (wxWindow* w : {static_cast<wxWindow*>(user_), static_cast<wxWindow*>(password_)})
        w->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
            event.Skip();
            UpdateButtons();
        });
}

CWizPageUserInfo::~CWizPageUserInfo() = default;

void CWizPageUserInfo::OnActivate() {
    // Every activation: the stored login of a provider that exists replaces
    // what was typed here.
    settings::ProviderRecord stored;
    stored.userName = user_->GetValue().utf8_string();
    stored.password = password_->GetValue().utf8_string();
    if (settings::ReadFirstEntry(Sheet()->Record().providerName, stored)) {
        anonymous_->Prefill(false);
        user_->SetValue(U(stored.userName));
        password_->SetValue(U(stored.password));
        anonymous_->Prefill(stored.anonymous != 0);
    }
    UpdateButtons();
}

void CWizPageUserInfo::UpdateButtons() {
    wxTextCtrl* fields[] = {user_, password_->Edit()};
    UpdateWizardButtons(Sheet(), fields, 2, kWizBack | kWizNext, kWizBack);
}

bool CWizPageUserInfo::OnNext() {
    auto& record = Sheet()->Record();
    record.userName = user_->GetValue().utf8_string();
    record.password = password_->GetValue().utf8_string();
    record.anonymous = anonymous_->IsChecked() ? 1 : 0;
    return true;
}

CWizPageMoveDir::CWizPageMoveDir(CWizSheet* sheet)
    : CWizPage(sheet, "移動するディレクトリ", IDI_MOVEDIR,
               "FTPサーバへ接続後に移動するディレクトリを設定します。\n"
               "移動先ディレクトリには、実ディレクトリ名以外に名前をわりあてる"
               "こともできます。\n"
               "\n"
               "[ディレクトリ参照]"
               "ボタンをクリックすると現在までに設定されたユーザ情報を元にFTPサ"
               "ーバへ接続して\n"
               "サーバ側のディレクトリ情報を表示します。") {
    directory_ = Field(this, "directory", IDS_TIP_DIRECTORY);
    menuName_ = Field(this, "menuName", IDS_TIP_MENUNAME);
    browse_ = MakeImageButton(this, "ディレクトリ参照(&R)", "browse", IDI_BROWSE, IDS_BROWSE_TIP);
    auto* grid = FieldGrid();
    AddRow(grid, Label(this, "移動するディレクトリ(&D) : "), directory_);
    AddRow(grid, Label(this, "メニュー表示名(&M) : "), menuName_);
    BodySizer()->Add(grid, 0, wxEXPAND | wxTOP, 8);
    BodySizer()->Add(browse_, 0, wxALIGN_RIGHT | wxTOP, 8);
    directory_->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        event.Skip();
        // The menu shows the directory until the user names it otherwise.
        menuName_->SetValue(directory_->GetValue());
        UpdateButtons();
    });
    menuName_->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
        event.Skip();
        UpdateButtons();
    });
    browse_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnBrowse(); });
}

void CWizPageMoveDir::OnActivate() { UpdateButtons(); }

void CWizPageMoveDir::UpdateButtons() {
    const wxString directory = directory_->GetValue();
    UpdateWizardButtons(Sheet(), &menuName_, 1, kWizBack | kWizNext, kWizBack,
                        IsUsableKeyName(directory) && !settings::TakesTransferEntryName(directory.utf8_string()));
}

bool CWizPageMoveDir::OnNext() {
    Sheet()->Record().directory = directory_->GetValue().utf8_string();
    Sheet()->Record().menuName = menuName_->GetValue().utf8_string();
    return true;
}

// The picker logs in with what pages 2 and 3 show now, whether or not the
// user went on from them with Next.
// A certificate trusted there is kept with the provider being made.
void CWizPageMoveDir::OnBrowse() {
    settings::ProviderRecord login;
    login.serverAddr = Sheet()->ServerPage()->AddressEdit()->GetValue().utf8_string();
    login.port = Sheet()->ServerPage()->PortField()->Port();
    login.encryption = EncryptionOf(Sheet()->ServerPage()->EncryptionChoice());
    login.nameEncoding = NameEncodingOf(Sheet()->ServerPage()->NameEncodingChoice());
    login.trustedCertificate = Sheet()->Record().trustedCertificate;
    login.userName = Sheet()->UserPage()->UserEdit()->GetValue().utf8_string();
    login.password = Sheet()->UserPage()->PasswordField()->GetValue().utf8_string();
    std::string dir = BrowseRemoteDirectory(Sheet(), login);
    Sheet()->Record().trustedCertificate = login.trustedCertificate;
    if (!dir.empty()) directory_->SetValue(U(dir));
}

CWizPageExtAuto::CWizPageExtAuto(CWizSheet* sheet)
    : CWizPage(sheet, "拡張子別自動転送", IDI_EXTAUTO,
               "FTPサーバへファイルを転送する際に、拡張子ごとに転送先ディレクト"
               "リを自動振り分けできます。\n"
               "例えば、htmlファイルはhtmlディレクトリへ、gifファイルはgifディ"
               "レクトリへといった指定が可能です。") {
    routes_ = new CRoutingList(this, sheet, &sheet->Record());
    BodySizer()->Add(Label(this, "自動振り分けする拡張子一覧"), 0, wxBOTTOM, 4);
    BodySizer()->Add(routes_, 1, wxEXPAND);
}

void CWizPageExtAuto::OnActivate() { Sheet()->SetWizardButtons(kWizBack | kWizNext); }

bool CWizPageExtAuto::OnNext() {
    Sheet()->Record().autoTransfer = routes_->Pairs();
    return true;
}

CWizPageFinish::CWizPageFinish(CWizSheet* sheet)
    : CWizPage(sheet, "設定完了", IDI_FINISH,
               "全項目が設定されました。\n"
               "設定内容に間違いがなければ、[完了]"
               "ボタンをクリックしてウィザードを終了してください。\n"
               "設定内容はいつでも変更が可能です。\n"
               "設定項目上でダブルクリックするとそのページへ戻ることができます。") {
    summary_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(-1, 232),
                              wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_NO_SORT_HEADER | wxBORDER_SUNKEN);
    summary_->SetName("summary");
    summary_->InsertColumn(0, LoadString(IDS_COL_ITEM), wxLIST_FORMAT_LEFT, 120);
    summary_->InsertColumn(1, LoadString(IDS_COL_VALUE), wxLIST_FORMAT_LEFT, 250);
    auto* images = new wxImageList(16, 16, true, 1);
    wxBitmap row = LoadBitmap(IDI_SUMMARY_ROW);
    if (row.IsOk()) images->Add(row);
    summary_->AssignImageList(images, wxIMAGE_LIST_SMALL);
    BodySizer()->Add(Label(this, "下記のように設定されています。"), 0, wxBOTTOM, 4);
    BodySizer()->Add(summary_, 1, wxEXPAND);
    summary_->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CWizPageFinish::OnRowActivated, this);
}

int CWizPageFinish::PageOfRow(long row) {
    if (row <= 0) return 0;
    if (row <= 4) return 1;
    if (row <= 6) return 2;
    if (row <= 8) return 3;
    return 4;
}

void CWizPageFinish::OnActivate() {
    Sheet()->SetWizardButtons(kWizBack | kWizFinish);
    const settings::ProviderRecord& r = Sheet()->Record();
    const std::pair<int, wxString> rows[] = {
        {IDS_ROW_PROVIDER, U(r.providerName)},
        {IDS_ROW_SERVER, U(r.serverAddr)},
        {IDS_ROW_PORT, wxString::Format("%d", r.port)},
        {IDS_ROW_ENCRYPTION, EncryptionName(r.encryption)},
        {IDS_ROW_NAME_ENCODING, NameEncodingName(r.nameEncoding)},
        {IDS_ROW_USER, U(r.userName)},
        {IDS_ROW_PASSWORD, U(r.password)},
        {IDS_ROW_DIRECTORY, r.directory.empty() ? LoadString(IDS_LOGIN_DIRECTORY) : U(r.directory)},
        {IDS_ROW_MENUNAME, U(r.menuName)},
    };
    summary_->DeleteAllItems();
    for (const auto& [label, value] : rows) {
        long i = summary_->InsertItem(summary_->GetItemCount(), LoadString(label), 0);
        summary_->SetItem(i, 1, value);
    }
    for (std::size_t k = 0; k < r.autoTransfer.size(); ++k) {
        long i = summary_->InsertItem(summary_->GetItemCount(),
                                      wxString::Format("%s%d", LoadString(IDS_ROW_ROUTE), static_cast<int>(k + 1)), 0);
        summary_->SetItem(i, 1, U(r.autoTransfer[k].first) + " -> " + U(r.autoTransfer[k].second));
    }
    // 120 pixels at the least, wider when a label needs it: a cut label is unreadable.
    summary_->SetColumnWidth(0, wxLIST_AUTOSIZE);
    if (summary_->GetColumnWidth(0) < 120) summary_->SetColumnWidth(0, 120);
}

void CWizPageFinish::OnRowActivated(wxListEvent& event) { Sheet()->JumpTo(PageOfRow(event.GetIndex())); }

bool CWizPageFinish::OnNext() { return Sheet()->Save() == winreg::ERROR_SUCCESS; }

CWizSheet::CWizSheet(wxWindow* parent) {
    Create(parent, wxID_ANY, U("ウィザード"), wxNullBitmap, wxDefaultPosition, wxDEFAULT_DIALOG_STYLE);
    SetFont(ui::DialogFont(U(kTemplateFace), 9));
    wxToolTip::SetDelay(100);
    profile_ = new CWizPageProfile(this);
    server_ = new CWizPageServer(this);
    user_ = new CWizPageUserInfo(this);
    moveDir_ = new CWizPageMoveDir(this);
    extAuto_ = new CWizPageExtAuto(this);
    finish_ = new CWizPageFinish(this);
    profile_->Chain(server_).Chain(user_).Chain(moveDir_).Chain(extAuto_).Chain(finish_);
    // Every page counts for the wizard's size, so that none overflows it.
    for (int i = 0; i < 6; ++i) GetPageAreaSizer()->Add(Page(i));
    Bind(wxEVT_WIZARD_PAGE_CHANGED, &CWizSheet::OnPageChanged, this);
    // Handled here so that wx does not destroy a wizard that runs without
    // ShowModal when it finishes or is cancelled: its creator destroys it.
    Bind(wxEVT_WIZARD_FINISHED, [](wxWizardEvent&) {});
    Bind(wxEVT_WIZARD_CANCEL, [](wxWizardEvent&) {});
    // Finish and Cancel then only hide it.
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        event.Skip();
        if (!event.IsShown() && loop_) loop_->ScheduleExit();
    });
}

CWizPage* CWizSheet::Page(int index) const {
    CWizPage* pages[] = {profile_, server_, user_, moveDir_, extAuto_, finish_};
    return index >= 0 && index < 6 ? pages[index] : nullptr;
}

int CWizSheet::CurrentIndex() const {
    for (int i = 0; i < 6; ++i)
        if (GetCurrentPage() == Page(i)) return i;
    return -1;
}

void CWizSheet::Begin() {
    ShowPage(profile_, true);
    Show();
}

// Modal for the user, but without GTK's modal grab: the extension selection
// sheet opened from page 5 is a window of its own that must take input while
// the wizard waits disabled behind it, which a grabbing wizard would forbid.
int CWizSheet::Run() {
    SetReturnCode(wxID_CANCEL);
    Begin();
    wxWindowDisabler others(this);
    wxGUIEventLoop loop;
    loop_ = &loop;
    if (IsShown()) loop.Run();
    loop_ = nullptr;
    return GetReturnCode() == wxID_OK ? kFinished : kCancelled;
}

void CWizSheet::SetWizardButtons(int flags) {
    if (wxWindow* back = FindWindow(wxID_BACKWARD)) back->Enable((flags & kWizBack) != 0);
    if (wxWindow* next = FindWindow(wxID_FORWARD)) next->Enable((flags & (kWizNext | kWizFinish)) != 0);
}

void CWizSheet::JumpTo(int index) {
    if (CWizPage* page = Page(index)) ShowPage(page, false);
}

void CWizSheet::OnPageChanged(wxWizardEvent& event) {
    event.Skip();
    if (auto* page = dynamic_cast<CWizPage*>(event.GetPage())) SetTitle(page->Caption());
    // wx labels the buttons from its own catalogue, which the host never
    // loads, so they would read "Next >" and "Finish" beside page texts
    // that speak of [完了]. wx sets its label before this event, every time.
    if (wxWindow* back = FindWindow(wxID_BACKWARD)) back->SetLabel(U("< 戻る(&B)"));
    if (wxWindow* next = FindWindow(wxID_FORWARD))
        next->SetLabel(HasNextPage(event.GetPage()) ? U("次へ(&N) >") : U("完了"));
    if (wxWindow* cancel = FindWindow(wxID_CANCEL)) cancel->SetLabel(U("キャンセル"));
}

winreg::LONG CWizSheet::Save() {
    std::string problem = settings::ProviderRecordProblem(record_);
    winreg::LONG status = settings::SaveProviderEntry(record_);
    if (status == winreg::ERROR_SUCCESS) return status;
    // Saying nothing would let the user believe the provider exists.
    if (problem.empty()) problem = settings::StoreWriteFailure(status);
    wxMessageBox(U(problem), U("Parvex"), wxOK | wxICON_ERROR, this);
    return status;
}

HALVEX32_EXPORT int PARVEX_ShowWizard() {
    // Built on the heap and destroyed by wx: a top-level window must not be
    // deleted while events for it may still be queued.
    auto* sheet = new CWizSheet(nullptr);
    int result = sheet->Run();
    sheet->Destroy();
    return result;
}
