#include "settings/halvex32/ext_select.h"

#include "common/ui/file_types.h"
#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "settings/halvex32/mime_extensions.h"
#include "settings/halvex32/module.h"
#include "settings/halvex32/provider_fields.h"

#include <wx/artprov.h>
#include <wx/checkbox.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tooltip.h>
#include <wx/utils.h>

#include <set>

wxDEFINE_EVENT(EVT_EXT_SELECT_CLOSED, wxCommandEvent);

namespace {

enum : int {
    kStrBrowseTip = 1,
    kStrExtColumn = 8,
    kStrDirectoryTip = 10,
    kStrTypeColumn = 23,
    kStrCloseTip = 24,
    kStrDecideTip = 25,
    kStrAllTip = 26,
    kStrListTip = 27,
    kStrExtensionsTip = 28,
    kStrDefaultList = 34,
    kStrModeExplanation = 57,
    kIconClose = 1018,
    kIconBrowse = 1021,
    kBitmapSheet = 1026,
    kIconDecide = 1027,
};

[[maybe_unused]] const bool g_registered = [] {
    halvex32::Resources().RegisterStrings({
        {kStrBrowseTip, "このボタンをクリックすると、FTPサーバ側のディレクトリ構成を表示します。"},
        {kStrExtColumn, "拡張子"},
        {kStrDirectoryTip, "転送先ディレクトリ名を、絶対/相対パスで指定します。"},
        {kStrTypeColumn, "ファイル形式"},
        {kStrCloseTip, "この画面を閉じます。"},
        {kStrDecideTip, "拡張子を決定してこの画面を閉じます。"},
        {kStrAllTip, "このコンピュータに登録されている拡張子を全て表示します。"},
        {kStrListTip, "複数選択はCtrlキーを押しながら操作してください。マウスドラッグでも複数選択は可能です。"},
        {kStrExtensionsTip, "現在選択されている拡張子が表示されています。"},
        {kStrDefaultList, ".htm;.html;.gif;.jpg;.jpeg;.mid;"},
        {kStrModeExplanation, "転送モード自動切り替えするための拡張子を選択してください。"},
    });
    halvex32::Resources().RegisterIcons({
        {kIconClose, "window-close-symbolic", nullptr},
        {kIconBrowse, "folder-remote", nullptr},
        {kBitmapSheet, "folder-documents", nullptr},
        {kIconDecide, "object-select-symbolic", nullptr},
    });
    return true;
}();

const char* const kTemplateFace = "ＭＳ Ｐゴシック";
constexpr int kIconSize = 16;

// Every sheet still open, and the one opened last. A second sheet over the
// same caller replaces the pointer; the caller is enabled again only when the
// last of its sheets has closed.
std::set<CSheetExtSelect*> g_openSheets;
CSheetExtSelect* g_currentSheet = nullptr;

}  // namespace

CSheetExtSelect* CurrentExtSelectSheet() { return g_currentSheet; }

CPageExtSelect::CPageExtSelect(wxWindow* parent, int mode, const ExtSelectResult& initial)
    : wxPanel(parent, wxID_ANY), mode_(mode) {
    SetFont(ui::DialogFont(wxString::FromUTF8(kTemplateFace), 9));
    wxToolTip::SetDelay(100);

    auto* top = new wxBoxSizer(wxHORIZONTAL);
    auto* art = new wxStaticBitmap(this, wxID_ANY, halvex32::LoadBitmap(kBitmapSheet, 45), wxDefaultPosition,
                                   wxSize(45, 45), wxBORDER_SUNKEN);
    top->Add(art, 0, wxALL, 6);
    wxString explanation = mode_ == 0 ? halvex32::LoadString(kStrModeExplanation)
                                      : wxString::FromUTF8("転送時に自動振り分けしたい拡張子を、選択できます。\n"
                                                           "複数同時選択が可能です。");
    auto* text = new wxStaticText(this, wxID_ANY, explanation);
    text->SetName("explanation");
    top->Add(text, 1, wxALIGN_CENTER_VERTICAL | wxALL, 6);

    list_ = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxSize(330, 220), wxLC_REPORT | wxBORDER_SUNKEN);
    list_->SetName(kListName);
    list_->InsertColumn(0, halvex32::LoadString(kStrExtColumn), wxLIST_FORMAT_LEFT, 100);
    list_->InsertColumn(1, halvex32::LoadString(kStrTypeColumn), wxLIST_FORMAT_LEFT, 200);
    images_ = new wxImageList(kIconSize, kIconSize, true, 1);
    list_->AssignImageList(images_, wxIMAGE_LIST_SMALL);
    list_->SetToolTip(halvex32::LoadString(kStrListTip));

    auto* all = new wxCheckBox(this, wxID_ANY, wxString::FromUTF8("登録されている全拡張子を表示する(&A)"));
    all->SetName(kAllName);
    all->SetToolTip(halvex32::LoadString(kStrAllTip));

    auto* fields = new wxFlexGridSizer(2, 4, 4);
    fields->AddGrowableCol(1);
    extensions_ = new wxTextCtrl(this, wxID_ANY, wxString::FromUTF8(initial.extensions));
    extensions_->SetName(kExtensionsName);
    extensions_->SetToolTip(halvex32::LoadString(kStrExtensionsTip));
    fields->Add(new wxStaticText(this, wxID_ANY, wxString::FromUTF8("選択されている拡張子(&E) : ")), 0,
                wxALIGN_CENTER_VERTICAL);
    fields->Add(extensions_, 1, wxEXPAND);
    auto* dirLabel = new wxStaticText(this, wxID_ANY, wxString::FromUTF8("転送先ディレクトリ(&D) : "));
    directory_ = new wxTextCtrl(this, wxID_ANY, wxString::FromUTF8(initial.directory));
    directory_->SetName(kDirectoryName);
    directory_->SetToolTip(halvex32::LoadString(kStrDirectoryTip));
    fields->Add(dirLabel, 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(directory_, 1, wxEXPAND);

    auto* browse = halvex32::MakeImageButton(this, "ディレクトリ参照(&B)", kBrowseName, kIconBrowse, kStrBrowseTip);
    decide_ = halvex32::MakeImageButton(this, "決定(&S)", kDecideName, kIconDecide, kStrDecideTip);
    auto* close = halvex32::MakeImageButton(this, "画面を閉じる(&C)", kCloseName, kIconClose, kStrCloseTip);
    decide_->Enable(false);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(browse, 0, wxRIGHT, 4);
    buttons->AddStretchSpacer();
    buttons->Add(decide_, 0, wxRIGHT, 4);
    buttons->Add(close, 0);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(top, 0, wxEXPAND);
    sizer->Add(new wxStaticLine(this), 0, wxEXPAND | wxLEFT | wxRIGHT, 6);
    sizer->Add(list_, 1, wxEXPAND | wxALL, 6);
    sizer->Add(all, 0, wxLEFT | wxRIGHT | wxBOTTOM, 6);
    sizer->Add(fields, 0, wxEXPAND | wxLEFT | wxRIGHT, 6);
    sizer->Add(buttons, 0, wxEXPAND | wxALL, 6);
    SetSizer(sizer);

    if (mode_ == 0) {
        dirLabel->Hide();
        directory_->Hide();
        browse->Hide();
    }

    list_->Bind(wxEVT_LIST_ITEM_SELECTED, &CPageExtSelect::OnSelection, this);
    list_->Bind(wxEVT_LIST_ITEM_DESELECTED, &CPageExtSelect::OnSelection, this);
    extensions_->Bind(wxEVT_TEXT, &CPageExtSelect::OnExtensionsChanged, this);
    directory_->Bind(wxEVT_TEXT, &CPageExtSelect::OnDirectoryChanged, this);
    all->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) { FillList(e.IsChecked()); });

    FillList(false);
    UpdateDecide();
}

wxString CPageExtSelect::Extensions() const { return extensions_->GetValue(); }
wxString CPageExtSelect::Directory() const { return directory_->GetValue(); }
void CPageExtSelect::SetDirectory(const wxString& dir) { directory_->SetValue(dir); }

// The type's icon in the image list: the first of GIO's icon names (the
// specific one, then the generic ones) that the desktop theme has.
int CPageExtSelect::AddIcon(const std::string& contentType, const wxString& fallbackKey) {
    wxBitmap bmp = ui::ContentTypeIcon(contentType, kIconSize);
    if (!bmp.IsOk()) bmp = ui::ThemeIcon(fallbackKey, kIconSize);
    return bmp.IsOk() ? images_->Add(bmp) : -1;
}

void CPageExtSelect::FillList(bool all) {
    wxBusyCursor busy;
    std::vector<std::string> exts;
    if (all) {
        exts = halvex32::RegisteredExtensions();
    } else {
        std::string list = halvex32::LoadString(kStrDefaultList).utf8_string();
        for (std::size_t pos = 0, semi; pos < list.size(); pos = semi + 1) {
            semi = list.find(';', pos);
            if (semi == std::string::npos) semi = list.size();
            if (semi > pos) exts.push_back(list.substr(pos, semi - pos));
        }
    }
    list_->Freeze();
    list_->DeleteAllItems();
    long row = 0;
    for (const std::string& ext : exts) {
        // Guessed from the name alone: no file is looked at. An extension the
        // database does not know comes back as application/octet-stream and
        // still gets its row.
        std::string type = ui::ContentTypeOfName("x" + ext);
        auto it = types_.find(type);
        if (it == types_.end()) {
            it = types_.emplace(type, TypeRow{ui::ContentTypeDescription(type), AddIcon(type, "text-x-generic")}).first;
        }
        long i = list_->InsertItem(row++, wxString::FromUTF8(ext), it->second.image);
        list_->SetItem(i, 1, it->second.description);
    }
    list_->Thaw();
}

void CPageExtSelect::OnSelection(wxListEvent&) {
    // A drag or Shift-click selects a range one row at a time: the edit is
    // rebuilt once, after the burst.
    if (selectionPending_) return;
    selectionPending_ = true;
    CallAfter([this] {
        selectionPending_ = false;
        wxString text;
        for (long i = list_->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
             i = list_->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
            text << list_->GetItemText(i) << ';';
        extensions_->SetValue(text);
    });
}

void CPageExtSelect::OnExtensionsChanged(wxCommandEvent&) {
    // Both edits hold what the store can read back (255 bytes of UTF-8).
    halvex32::ClampField(extensions_, true);
    UpdateDecide();
}

void CPageExtSelect::OnDirectoryChanged(wxCommandEvent&) {
    halvex32::ClampField(directory_);
    UpdateDecide();
}

void CPageExtSelect::UpdateDecide() {
    decide_->Enable(!extensions_->IsEmpty() && (mode_ == 0 || !directory_->IsEmpty()));
}

CSheetExtSelect::CSheetExtSelect(wxWindow* caller, ExtSelectResult* result, settings::ProviderRecord* record, int mode)
    : wxDialog(caller, wxID_ANY, wxString::FromUTF8("拡張子一覧"), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      caller_(caller), result_(result), record_(record), mode_(mode == 0 ? 0 : 1) {
    auto* book = new wxNotebook(this, wxID_ANY);
    page_ = new CPageExtSelect(book, mode_, *result_);
    book->AddPage(page_, wxString::FromUTF8("拡張子選択"));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(book, 1, wxEXPAND | wxALL, 6);
    SetSizerAndFit(sizer);
    CentreOnParent();

    FindWindow(CPageExtSelect::kDecideName)->Bind(wxEVT_BUTTON, &CSheetExtSelect::OnDecide, this);
    FindWindow(CPageExtSelect::kCloseName)->Bind(wxEVT_BUTTON, &CSheetExtSelect::OnCloseButton, this);
    FindWindow(CPageExtSelect::kBrowseName)->Bind(wxEVT_BUTTON, &CSheetExtSelect::OnBrowse, this);
    Bind(wxEVT_CLOSE_WINDOW, &CSheetExtSelect::OnClose, this);
    g_openSheets.insert(this);
}

CSheetExtSelect::~CSheetExtSelect() {
    g_openSheets.erase(this);
    if (g_currentSheet == this) g_currentSheet = nullptr;
    wxWindow* caller = caller_;
    if (!caller || caller->IsBeingDeleted()) return;
    for (CSheetExtSelect* other : g_openSheets) {
        if (other->caller_ == caller) return;  // still covered by a later sheet
    }
    caller->Enable();
    caller->Raise();
    wxCommandEvent closed(EVT_EXT_SELECT_CLOSED);
    closed.SetInt(decided_ ? 1 : 0);
    wxPostEvent(caller, closed);
}

void CSheetExtSelect::OnDecide(wxCommandEvent&) {
    if (!page_->decide_->IsEnabled()) return;
    // A "\" would make nested keys, and the caller could only drop the pair:
    // the sheet stays open with what the user typed.
    if (mode_ == 1 && !halvex32::IsUsableKeyName(page_->Directory())) {
        wxMessageBox(wxString::FromUTF8("転送先ディレクトリに「\\」は使えません。ディレクトリは「/」で区切ってください。"),
                     GetTitle(), wxOK | wxICON_WARNING, this);
        page_->directory_->SetFocus();
        return;
    }
    result_->extensions = page_->Extensions().utf8_string();
    result_->directory = page_->Directory().utf8_string();
    decided_ = true;
    Destroy();
}

void CSheetExtSelect::OnCloseButton(wxCommandEvent&) { Destroy(); }

void CSheetExtSelect::OnClose(wxCloseEvent&) { Destroy(); }

void CSheetExtSelect::OnBrowse(wxCommandEvent&) {
    if (mode_ == 0) return;
    Disable();
    settings::ProviderRecord none;
    std::string dir = BrowseRemoteDirectory(this, record_ ? *record_ : none);
    if (!dir.empty()) page_->SetDirectory(wxString::FromUTF8(dir));
    Enable();
    Raise();
    if (caller_) caller_->Disable();
}

CSheetExtSelect* PARVEX_ShowExtSelect(wxWindow* parent, ExtSelectResult* result, settings::ProviderRecord* record,
                                      int mode) {
    if (!result) return nullptr;
    auto* sheet = new CSheetExtSelect(parent, result, record, mode);
    g_currentSheet = sheet;
    sheet->Show();
    if (parent) parent->Disable();
    return sheet;
}
