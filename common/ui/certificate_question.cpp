#include "common/ui/certificate_question.h"

#include "common/walk/certificate.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

namespace ui {

CertificateQuestion::CertificateQuestion(wxWindow* parent, const std::string& server,
                                         const inet::CertificateInfo& cert, const inet::Security& security)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8("証明書の確認")),
      text_(walk::CertificateText(server, cert, security)) {
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    top->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(wxART_WARNING, wxART_MESSAGE_BOX)), 0,
             wxALL, 12);
    auto* right = new wxBoxSizer(wxVERTICAL);
    auto* text = new wxStaticText(this, wxID_ANY, wxString::FromUTF8(text_));
    text->Wrap(FromDIP(520));
    right->Add(text, 0, wxBOTTOM, 12);
    right->Add(new wxStaticText(this, wxID_ANY,
                                wxString::FromUTF8("この証明書を信頼すると、このプロバイダでは次回から確認しません。")),
               0, wxBOTTOM, 4);
    top->Add(right, 1, wxTOP | wxRIGHT, 12);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* trust = new wxButton(this, wxID_OK, wxString::FromUTF8("この証明書を信頼する"));
    auto* stop = new wxButton(this, wxID_CANCEL, wxString::FromUTF8("中止"));
    buttons->AddStretchSpacer();
    buttons->Add(trust, 0, wxRIGHT, 8);
    buttons->Add(stop, 0);
    stop->SetDefault();
    stop->SetFocus();
    SetEscapeId(wxID_CANCEL);

    auto* all = new wxBoxSizer(wxVERTICAL);
    all->Add(top, 1, wxEXPAND);
    all->Add(buttons, 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(all);
    CentreOnParent();
}

bool AskTrustCertificate(wxWindow* parent, const std::string& server, const inet::CertificateInfo& cert,
                         const inet::Security& security) {
    CertificateQuestion question(parent, server, cert, security);
    return question.ShowModal() == wxID_OK;
}

}  // namespace ui
