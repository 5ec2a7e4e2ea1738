#include "manager/code_convert.h"

#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "manager/resources.h"
#include "platform/os/os.h"
#include "tesvar/tesvar.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <cerrno>
#include <cstring>

using namespace morvane;

ConversionJobs::ConversionJobs() : shared_(std::make_shared<Shared>()), running_(std::make_shared<std::atomic<int>>(0)) {}

ConversionJobs::~ConversionJobs() { WaitAll(); }

void ConversionJobs::WaitAll() {
    for (auto& w : workers_)
        if (w.thread.joinable()) w.thread.join();
    workers_.clear();
}

void ConversionJobs::ReapFinished() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (*it->done) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void ConversionJobs::SetListener(Listener listener) { shared_->listener = std::move(listener); }

void ConversionJobs::Start(int code, std::string source, std::string destination) {
    ReapFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    ++*running_;
    std::thread t([code, source = std::move(source), destination = std::move(destination), shared = shared_,
                   running = running_, done] {
        ConversionResult r{source, destination, 0, 0};
        const char* src = r.source.c_str();
        const char* dst = r.destination.c_str();
        errno = 0;
        r.status = StartCodeConvert(code, &src, &dst);
        r.error = r.status == TESVAR_OK ? 0 : errno;
        // The window is told on its own thread, and only if it still listens.
        if (wxTheApp)
            wxTheApp->CallAfter([shared, r] {
                if (shared->listener) shared->listener(r);
            });
        --*running;
        *done = true;
    });
    workers_.push_back(Worker{std::move(t), done});
}

namespace {

wxString U(const char* s) { return wxString::FromUTF8(s); }

// A file name as one line of text: control characters shown as "?".
std::string OneLine(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return s;
}

// The tool's filter in wx's form: no closing "||".
wxString Filter() {
    wxString f = ui::LoadString(IDS_CONVERT_FILTER);
    while (f.EndsWith("|")) f.RemoveLast();
    return f;
}

CImageButton* Button(wxWindow* parent, const char* label, int tip, int icon) {
    auto* b = new CImageButton(parent, wxID_ANY, U(label));
    b->SetTooltipText(tip);
    b->SetIcon(icon);
    return b;
}

}  // namespace

CCodeConvertDlg::CCodeConvertDlg(wxWindow* parent, ConversionJobs& jobs)
    : wxDialog(parent, wxID_ANY, U("コード変換ツール")), jobs_(jobs) {
    SetFont(ui::DialogFont(U("ＭＳ Ｐゴシック"), 9));
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* head = new wxBoxSizer(wxHORIZONTAL);
    head->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(wxART_INFORMATION, wxART_MESSAGE_BOX)), 0,
              wxALL, 6);
    head->Add(new wxStaticText(this, wxID_ANY,
                               U("ファイルの文字コードを変換します。\nファイルを選択して変換ボタンを押してください。")),
              1, wxALL | wxALIGN_CENTER_VERTICAL, 6);
    top->Add(head, 0, wxEXPAND);
    top->Add(new wxStaticLine(this), 0, wxEXPAND | wxLEFT | wxRIGHT, 6);

    auto pathRow = [&](const char* label, wxTextCtrl*& edit, const char* browse, bool source) {
        top->Add(new wxStaticText(this, wxID_ANY, U(label)), 0, wxLEFT | wxRIGHT | wxTOP, 8);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        edit = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxSize(280, -1));
        row->Add(edit, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
        CImageButton* b = Button(this, browse, IDS_BROWSE_TIP, IDI_BROWSE);
        b->Bind(wxEVT_BUTTON, [this, source](wxCommandEvent&) { Browse(source); });
        row->Add(b, 0, wxALIGN_CENTER_VERTICAL);
        top->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 6);
    };
    pathRow("変換前のファイル : ", source_, "参照(&B)...", true);
    pathRow("変換後のファイル : ", destination_, "参照(&R)...", false);

    auto* lower = new wxBoxSizer(wxHORIZONTAL);
    auto* codes = new wxStaticBoxSizer(wxVERTICAL, this, U("変換後の文字コード"));
    const char* names[] = {"SJIS", "JIS", "EUC"};
    for (int k = 0; k < 3; ++k)
        codes->Add(new wxRadioButton(codes->GetStaticBox(), IDC_SJIS + k, names[k], wxDefaultPosition, wxDefaultSize,
                                     k == 0 ? wxRB_GROUP : 0),
                   0, wxALL, 3);
    CodeRadio(IDC_SJIS)->SetValue(true);
    // A group box does not grow to its caption by itself.
    codes->SetMinSize(wxSize(GetTextExtent(U("変換後の文字コード")).x + 24, -1));
    lower->Add(codes, 0, wxEXPAND | wxRIGHT, 8);
    auto* fileInfo = new wxStaticBoxSizer(wxVERTICAL, this, U("ファイル情報"));
    info_ = new wxStaticText(fileInfo->GetStaticBox(), wxID_ANY, wxString(), wxDefaultPosition, wxSize(-1, 60),
                             wxBORDER_SUNKEN | wxST_NO_AUTORESIZE);
    fileInfo->Add(info_, 1, wxEXPAND | wxALL, 3);
    lower->Add(fileInfo, 1, wxEXPAND);
    top->Add(lower, 0, wxEXPAND | wxALL, 8);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    start_ = Button(this, "変換開始(&S)", IDS_START_TIP, IDI_START);
    start_->Enable(false);
    close_ = Button(this, "閉じる(&C)", IDS_CLOSE_TIP, IDI_CLOSE);
    buttons->AddStretchSpacer();
    buttons->Add(start_, 0, wxRIGHT, 6);
    buttons->Add(close_, 0);
    top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 8);
    SetSizerAndFit(top);

    // The start button is usable once a destination is there, typed or
    // chosen last: a new source asks for the destination to be confirmed again.
    destination_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { start_->Enable(!destination_->GetValue().empty()); });
    source_->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { start_->Enable(false); });
    start_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { StartConversion(); });
    close_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(0); });
    jobs_.SetListener([this](const ConversionResult& r) { ShowResult(r); });
}

CCodeConvertDlg::~CCodeConvertDlg() {
    // Conversions still running end unheard.
    jobs_.SetListener({});
}

wxRadioButton* CCodeConvertDlg::CodeRadio(int id) const { return dynamic_cast<wxRadioButton*>(FindWindow(id)); }

wxString CCodeConvertDlg::InfoText() const { return info_->GetLabel(); }

int CCodeConvertDlg::CheckedCode() const {
    for (int k = 0; k < 3; ++k)
        if (CodeRadio(IDC_SJIS + k)->GetValue()) return k;
    return -1;
}

void CCodeConvertDlg::Browse(bool source) {
    long style = source ? (wxFD_OPEN | wxFD_FILE_MUST_EXIST) : (wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    wxFileDialog dlg(this, U(source ? "変換前のファイル" : "変換後のファイル"), wxString(), wxString(), Filter(), style);
    if (dlg.ShowModal() != wxID_OK) return;
    const wxString path = dlg.GetPath();
    if (source) {
        source_->SetValue(path);
    } else {
        confirmedDestination_ = path.utf8_string();
        destination_->SetValue(path);
    }
}

void CCodeConvertDlg::StartConversion() {
    const std::string source = source_->GetValue().utf8_string();
    const std::string destination = destination_->GetValue().utf8_string();
    if (source == destination) {
        wxMessageBox(ui::LoadString(IDS_SAME_NAME), ui::LoadString(IDS_APP_TITLE), wxOK | wxICON_EXCLAMATION, this);
        return;
    }
    const int code = CheckedCode();
    if (code < 0) return;
    // A typed name of an existing file is replaced only when the user says so.
    if (os::Exists(destination) && destination != confirmedDestination_) {
        if (!ui::AskYesNo(this, FormatString(IDS_OVERWRITE, OneLine(destination)), ui::LoadString(IDS_APP_TITLE),
                          wxNO_DEFAULT | wxICON_EXCLAMATION))
            return;
    }
    info_->SetLabel(FormatString(IDS_CONVERT_RUNNING, OneLine(destination)));
    jobs_.Start(code, source, destination);
}

void CCodeConvertDlg::ShowResult(const ConversionResult& r) {
    if (r.status == TESVAR_OK) {
        info_->SetLabel(FormatString(IDS_CONVERT_DONE, OneLine(r.destination)));
    } else {
        const char* why = r.status == TESVAR_NOT_TEXT ? "テキストファイルではありません"
                          : r.error != 0             ? std::strerror(r.error)
                                                     : "エラー";
        info_->SetLabel(FormatString(IDS_CONVERT_FAILED, OneLine(r.source), why));
    }
    info_->Wrap(info_->GetSize().x > 20 ? info_->GetSize().x - 6 : -1);
}
