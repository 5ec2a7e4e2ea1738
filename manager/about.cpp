#include "manager/about.h"

#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "manager/resources.h"

#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/statline.h>
#include <wx/utils.h>

using namespace morvane;

namespace {

const wxColour kNotOpened(0, 0, 238);
const wxColour kOpened(85, 26, 139);

wxString U(const char* s) { return wxString::FromUTF8(s); }

}  // namespace

CLinkLabel::CLinkLabel(wxWindow* parent, const wxString& text, const wxString& target,
                       std::function<bool(const wxString&)> open)
    : wxStaticText(parent, wxID_ANY, text.empty() ? target : text), target_(target.empty() ? text : target),
      open_(std::move(open)) {
    wxFont font = GetFont();
    font.SetUnderlined(true);
    SetFont(font);
    SetForegroundColour(kNotOpened);
    SetCursor(wxCursor(wxCURSOR_HAND));
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent&) { Open(); });
}

void CLinkLabel::Open() {
    if (open_ && open_(target_)) {
        visited_ = true;
        SetForegroundColour(kOpened);
        Refresh();
    } else {
        wxBell();
    }
}

CAboutDlg::CAboutDlg(wxWindow* parent, std::function<bool(const wxString&)> open)
    : wxDialog(parent, IDD_ABOUTBOX, U("Lumenoのバージョン情報")) {
    SetFont(ui::DialogFont(U("ＭＳ Ｐゴシック"), 9));
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* head = new wxBoxSizer(wxHORIZONTAL);
    wxBitmap icon = ui::LoadBitmap(IDR_MAINFRAME, 32);
    if (icon.IsOk()) head->Add(new wxStaticBitmap(this, wxID_ANY, icon), 0, wxALL, 8);
    auto* lines = new wxBoxSizer(wxVERTICAL);
    lines->Add(new wxStaticText(this, wxID_ANY, U("Parvex Version 0.1.0 (Linux 版)")), 0, wxBOTTOM, 6);
    mail_ = new CLinkLabel(this, "parvex@example.org", "mailto:parvex@example.org", open);
    mail_->SetToolTip(ui::LoadString(IDS_LINK_MAIL_TIP));
    home_ = new CLinkLabel(this, "https://parvex.example.org/", "https://parvex.example.org/", open);
    home_->SetToolTip(ui::LoadString(IDS_LINK_HOME_TIP));
    auto linkRow = [&](int iconId, CLinkLabel* link) {
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        wxBitmap bmp = ui::LoadBitmap(iconId, 16);
        if (bmp.IsOk()) row->Add(new wxStaticBitmap(this, wxID_ANY, bmp), 0, wxRIGHT | wxALIGN_CENTER_VERTICAL, 4);
        row->Add(link, 0, wxALIGN_CENTER_VERTICAL);
        lines->Add(row, 0, wxBOTTOM, 4);
    };
    linkRow(IDI_DECOR1, mail_);
    linkRow(IDI_DECOR2, home_);
    head->Add(lines, 1, wxALL, 8);
    top->Add(head, 0, wxEXPAND);
    top->Add(new wxStaticLine(this), 0, wxEXPAND | wxLEFT | wxRIGHT, 8);
    top->Add(new wxStaticText(this, wxID_ANY,
                              U("Parvexの最新情報や、苦情お問い合わせは下記のアドレス\nまでお願いいたします。\n"
                                "みなさまのご意見お待ちしております。")),
             0, wxALL, 8);
    auto* close = new CImageButton(this, wxID_ANY, U("閉じる(&C)"));
    close->SetIcon(IDI_START);
    close->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(0); });
    top->Add(close, 0, wxALIGN_RIGHT | wxALL, 8);
    SetSizerAndFit(top);
    CentreOnParent();
}
