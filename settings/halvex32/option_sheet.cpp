#include "settings/halvex32/option_sheet.h"

#include "common/registry/layout.h"
#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "settings/halvex32/module.h"
#include "settings/halvex32/provider_fields.h"

#include <wx/artprov.h>
#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/dirdlg.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tooltip.h>

namespace {

enum : int {
    IDS_TIP_FOLDER_BROWSE = 49,
    IDS_TIP_EXT_BROWSE = 50,
    IDS_TIP_EXTENSIONS = 55,
    IDS_TIP_FOLDER = 56,
    IDS_FOLDER_TITLE = 60,
    IDI_EXT_BROWSE = 1033,
};

[[maybe_unused]] const bool g_registered = [] {
    halvex32::Resources().RegisterStrings({
        {IDS_TIP_FOLDER_BROWSE, "フォルダが選択できる画面が表示されます。"},
        {IDS_TIP_EXT_BROWSE, "拡張子を選択できる画面が表示されます。"},
        {IDS_TIP_EXTENSIONS, "拡張子は.txt;.exeのように、ピリオドとセミコロンを忘れないでつけてください。"},
        {IDS_TIP_FOLDER, "ダウンロード先のフォルダ名を設定してください。フルパスです。"},
        {IDS_FOLDER_TITLE, "ダウンロード先フォルダの選択"},
    });
    halvex32::Resources().RegisterIcons({{IDI_EXT_BROWSE, "emblem-documents", nullptr}});
    return true;
}();

const char* const kTemplateFace = "ＭＳ Ｐゴシック";
const char* const kCodeNames[3] = {"SJIS", "JIS", "EUC"};

wxString U(const char* text) { return wxString::FromUTF8(text); }

// The head of both pages: the system's information icon and one line of
// explanation above an etched line.
wxSizer* PageHead(wxWindow* page, const char* explanation) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(page, wxID_ANY, wxArtProvider::GetBitmap(wxART_INFORMATION, wxART_MESSAGE_BOX)), 0,
             wxALL, 4);
    row->Add(new wxStaticText(page, wxID_ANY, U(explanation)), 1, wxALIGN_CENTER_VERTICAL | wxALL, 4);
    auto* head = new wxBoxSizer(wxVERTICAL);
    head->Add(row, 0, wxEXPAND);
    head->Add(new wxStaticLine(page), 0, wxEXPAND | wxBOTTOM, 6);
    return head;
}

// A stored flag counts as set only when it is 1, as the transfer program and
// the browser read it: a box shown checked is a conversion that happens.
bool IsOne(winreg::DWORD flag) { return flag == 1; }

}  // namespace

CPropPageDl::CPropPageDl(wxWindow* parent, CSheetOption* sheet) : wxPanel(parent, wxID_ANY), sheet_(sheet) {
    auto* box = new wxStaticBoxSizer(wxVERTICAL, this, U("ダウンロード先"));
    wxWindow* boxWindow = box->GetStaticBox();
    folder_ = new wxTextCtrl(boxWindow, wxID_ANY, wxString::FromUTF8(sheet_->Values().downloadFolder),
                             wxDefaultPosition, wxSize(320, -1));
    folder_->SetName(kFolderName);
    folder_->SetToolTip(halvex32::LoadString(IDS_TIP_FOLDER));
    CImageButton* browse = halvex32::MakeImageButton(boxWindow, "参照(&B)...", kBrowseName, halvex32::IDI_BROWSE,
                                                     IDS_TIP_FOLDER_BROWSE);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(folder_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    row->Add(browse, 0, wxALIGN_CENTER_VERTICAL);
    box->Add(new wxStaticText(boxWindow, wxID_ANY, U("ダウンロードフォルダ名 : ")), 0, wxALL, 4);
    box->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 4);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(PageHead(this, "フォルダ情報を設定してください。"), 0, wxEXPAND | wxALL, 6);
    sizer->Add(box, 0, wxEXPAND | wxLEFT | wxRIGHT, 6);
    SetSizer(sizer);

    // A local path may be long: the folder is not held to the 255-byte limit
    // of the other texts, and is read back whatever its length.
    folder_->Bind(wxEVT_TEXT,
                  [this](wxCommandEvent&) { sheet_->Values().downloadFolder = folder_->GetValue().utf8_string(); });
    browse->Bind(wxEVT_BUTTON, &CPropPageDl::OnBrowse, this);
}

void CPropPageDl::OnBrowse(wxCommandEvent&) {
    // Owned by the sheet, so that it stays in front of it.
    wxDirDialog dialog(sheet_, halvex32::LoadString(IDS_FOLDER_TITLE), folder_->GetValue(),
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK && !dialog.GetPath().empty()) folder_->SetValue(dialog.GetPath());
}

CPropPageTrans::CPropPageTrans(wxWindow* parent, CSheetOption* sheet) : wxPanel(parent, wxID_ANY), sheet_(sheet) {
    settings::OptionValues& v = sheet_->Values();

    auto* modes = new wxStaticBoxSizer(wxVERTICAL, this, U("転送モード"));
    wxWindow* modeBox = modes->GetStaticBox();
    auto addList = [&](const char* label, int id, const char* name, const char* browseName,
                       const std::string& value) {
        auto* edit = new wxTextCtrl(modeBox, id, wxString::FromUTF8(value), wxDefaultPosition, wxSize(280, -1));
        edit->SetName(name);
        edit->SetToolTip(halvex32::LoadString(IDS_TIP_EXTENSIONS));
        CImageButton* browse =
            halvex32::MakeImageButton(modeBox, "参照(&B)...", browseName, IDI_EXT_BROWSE, IDS_TIP_EXT_BROWSE);
        browse->Bind(wxEVT_BUTTON, [this, id](wxCommandEvent&) { sheet_->ChooseExtensions(id); });
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(edit, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
        row->Add(browse, 0, wxALIGN_CENTER_VERTICAL);
        modes->Add(new wxStaticText(modeBox, wxID_ANY, U(label)), 0, wxLEFT | wxRIGHT | wxTOP, 4);
        modes->Add(row, 0, wxEXPAND | wxALL, 4);
        return edit;
    };
    text_ = addList("テキストモード送受信拡張子 : ", kTextModeId, kTextModeName, kTextBrowseName, v.textMode);
    binary_ = addList("バイナリモード送受信拡張子 : ", kBinaryModeId, kBinaryModeName, kBinaryBrowseName, v.binaryMode);
    changedOnly_ = new wxCheckBox(modeBox, wxID_ANY, U("変更されたファイルだけ転送する"));
    changedOnly_->SetName(kChangedOnlyName);
    changedOnly_->SetValue(IsOne(v.sendChangedOnly));
    modes->Add(changedOnly_, 0, wxALL, 4);
    connections_ = new wxSpinCtrl(modeBox, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                  wxSP_ARROW_KEYS, layout::kMinConnections, layout::kMaxConnections,
                                  static_cast<int>(v.connections));
    connections_->SetName(kConnectionsName);
    auto* connectionsRow = new wxBoxSizer(wxHORIZONTAL);
    connectionsRow->Add(new wxStaticText(modeBox, wxID_ANY, U("同時接続数(&C) :")), 0,
                        wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
    connectionsRow->Add(connections_, 0, wxALIGN_CENTER_VERTICAL);
    modes->Add(connectionsRow, 0, wxALL, 4);

    auto* conv = new wxStaticBoxSizer(wxVERTICAL, this, U("文字コード変換"));
    wxWindow* convBox = conv->GetStaticBox();
    // Each set of radio buttons is a group of its own: wx starts a group at
    // wxRB_GROUP and keeps it exclusive.
    off_ = new wxRadioButton(convBox, wxID_ANY, U("文字コード変換しない"), wxDefaultPosition, wxDefaultSize,
                             wxRB_GROUP);
    on_ = new wxRadioButton(convBox, wxID_ANY, U("文字コード変換する"));
    off_->SetName(kConvertOffName);
    on_->SetName(kConvertOnName);
    auto* onOff = new wxBoxSizer(wxHORIZONTAL);
    onOff->Add(off_, 0, wxRIGHT, 16);
    onOff->Add(on_, 0);
    conv->Add(onOff, 0, wxALL, 4);

    auto addDirection = [&](const char* label, const char* name, const char* prefix, wxRadioButton* (&set)[3]) {
        auto* box = new wxCheckBox(convBox, wxID_ANY, U(label));
        box->SetName(name);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        for (int i = 0; i < 3; ++i) {
            set[i] = new wxRadioButton(convBox, wxID_ANY, kCodeNames[i], wxDefaultPosition, wxDefaultSize,
                                       i == 0 ? wxRB_GROUP : 0);
            set[i]->SetName(wxString::Format("%s%d", prefix, i));
            set[i]->Bind(wxEVT_RADIOBUTTON, &CPropPageTrans::OnCodeClicked, this);
            row->Add(set[i], 0, wxRIGHT, 16);
        }
        conv->Add(box, 0, wxLEFT | wxRIGHT | wxTOP, 4);
        conv->Add(row, 0, wxLEFT | wxBOTTOM, 24);
        return box;
    };
    upload_ = addDirection("アップロード時にコード変換をする", kUploadName, kUploadCodePrefix, uploadCodes_);
    conv->Add(new wxStaticLine(convBox), 0, wxEXPAND | wxLEFT | wxRIGHT, 4);
    download_ = addDirection("ダウンロード時にコードを変換する", kDownloadName, kDownloadCodePrefix, downloadCodes_);

    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(PageHead(this, "ファイル送受信時におけるParvexの動作を設定してください。"), 0, wxEXPAND | wxALL, 6);
    sizer->Add(modes, 0, wxEXPAND | wxLEFT | wxRIGHT, 6);
    sizer->Add(conv, 0, wxEXPAND | wxALL, 6);
    SetSizer(sizer);

    // What the check boxes and codes show is what is stored, even while
    // conversion is off: turning it on then offers exactly what OK will save.
    upload_->SetValue(IsOne(v.uploadConvert));
    download_->SetValue(IsOne(v.downloadConvert));
    ShowCode(uploadCodes_, v.uploadConvCode);
    ShowCode(downloadCodes_, v.downloadConvCode);
    (IsOne(v.codeConvert) ? on_ : off_)->SetValue(true);
    EnableConversion(IsOne(v.codeConvert));

    for (wxTextCtrl* edit : {text_, binary_}) {
        edit->Bind(wxEVT_TEXT, [this, edit](wxCommandEvent&) {
            // An extension list over 255 bytes would read back as missing:
            // cut after its last whole extension.
            if (halvex32::ClampField(edit, true)) return;  // the cut text comes as a change of its own
            (edit == text_ ? sheet_->Values().textMode : sheet_->Values().binaryMode) = edit->GetValue().utf8_string();
        });
    }
    off_->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { EnableConversion(false); });
    on_->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { EnableConversion(true); });
    changedOnly_->Bind(wxEVT_CHECKBOX,
                       [this](wxCommandEvent& e) { sheet_->Values().sendChangedOnly = e.IsChecked() ? 1 : 0; });
    upload_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) {
        for (wxRadioButton* r : uploadCodes_) r->Enable(e.IsChecked());
        sheet_->Values().uploadConvert = e.IsChecked() ? 1 : 0;
    });
    download_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) {
        for (wxRadioButton* r : downloadCodes_) r->Enable(e.IsChecked());
        sheet_->Values().downloadConvert = e.IsChecked() ? 1 : 0;
    });
}

void CPropPageTrans::ShowCode(wxRadioButton* const (&set)[3], winreg::DWORD code) {
    set[code == 1 || code == 2 ? code : 0]->SetValue(true);
}

void CPropPageTrans::EnableConversion(bool on) {
    settings::OptionValues& v = sheet_->Values();
    upload_->Enable(on);
    download_->Enable(on);
    for (wxRadioButton* r : uploadCodes_) r->Enable(on && upload_->GetValue());
    for (wxRadioButton* r : downloadCodes_) r->Enable(on && download_->GetValue());
    if (on) {
        ShowCode(uploadCodes_, v.uploadConvCode);
        ShowCode(downloadCodes_, v.downloadConvCode);
    }
    (on ? on_ : off_)->SetValue(true);
    v.codeConvert = on ? 1 : 0;
}

void CPropPageTrans::OnCodeClicked(wxCommandEvent& event) {
    for (int i = 0; i < 3; ++i) {
        if (event.GetEventObject() == uploadCodes_[i]) sheet_->Values().uploadConvCode = i;
        if (event.GetEventObject() == downloadCodes_[i]) sheet_->Values().downloadConvCode = i;
    }
}

CSheetOption::CSheetOption(wxWindow* parent) {
    settings::LoadOptions(values_);
    // The sheet shows SJIS for a code it does not know (the transfer program
    // would not convert at all): what is shown is what OK saves.
    for (winreg::DWORD* code : {&values_.uploadConvCode, &values_.downloadConvCode})
        if (*code > 2) *code = 0;

    Create(parent, wxID_ANY, U("オプション設定"));
    SetFont(ui::DialogFont(U(kTemplateFace), 9));
    wxToolTip::SetDelay(100);
    CreateButtons(wxOK | wxCANCEL);
    ui::SetStockButtonLabels(this);
    folderPage_ = new CPropPageDl(GetBookCtrl(), this);
    transPage_ = new CPropPageTrans(GetBookCtrl(), this);
    GetBookCtrl()->AddPage(folderPage_, U("フォルダ情報"), true);
    GetBookCtrl()->AddPage(transPage_, U("転送モード/コード変換"));
    LayoutDialog();

    Bind(wxEVT_BUTTON, &CSheetOption::OnOk, this, wxID_OK);
    Bind(EVT_EXT_SELECT_CLOSED, &CSheetOption::OnExtSelectClosed, this);
}

void CSheetOption::ChooseExtensions(int targetId) {
    target_ = targetId;
    PARVEX_ShowExtSelect(this, &result_, &emptyRecord_, 0);
}

void CSheetOption::OnExtSelectClosed(wxCommandEvent& event) {
    // Only a decided choice is taken: the pair keeps the previous choice, and
    // closing the selection sheet must not paste it into the other list.
    if (event.GetInt() != 1 || result_.extensions.empty()) return;
    transPage_->Edit(target_)->SetValue(wxString::FromUTF8(result_.extensions));
}

void CSheetOption::OnOk(wxCommandEvent& event) {
    // Read at OK rather than on each change: a count typed into the field without arrows counts too.
    values_.connections = static_cast<winreg::DWORD>(transPage_->connections_->GetValue());
    winreg::LONG st = settings::SaveOptions(values_);
    if (st != winreg::ERROR_SUCCESS) {
        // The sheet stays open with everything typed: closing it would report
        // a save that did not happen.
        wxMessageBox(wxString::Format(U("オプションを保存できませんでした(エラー %ld)。"), static_cast<long>(st)),
                     U("オプション設定"), wxOK | wxICON_ERROR, this);
        return;
    }
    event.Skip();  // the dialog's own OK handling closes it
}

HALVEX32_EXPORT void PARVEX_ShowOption() {
    CSheetOption sheet(nullptr);
    sheet.ShowModal();
}
