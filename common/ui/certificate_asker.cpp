#include "common/ui/certificate_asker.h"

#include "common/ui/certificate_question.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace ui {

PasswordQuestion::PasswordQuestion(wxWindow* parent, const std::string& provider, const std::string& server,
                                   const std::string& user)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8("パスワードの入力")) {
    auto* all = new wxBoxSizer(wxVERTICAL);
    all->Add(new wxStaticText(this, wxID_ANY,
                              wxString::FromUTF8(provider + " (" + server + ") のパスワードがキーリングにありません。\n" +
                                                 "ユーザ「" + user + "」のパスワードを入力してください。")),
             0, wxALL, 12);
    field_ = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxTE_PASSWORD);
    field_->SetMaxLength(255);
    all->Add(field_, 0, wxEXPAND | wxLEFT | wxRIGHT, 12);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* ok = new wxButton(this, wxID_OK, "OK");
    buttons->AddStretchSpacer();
    buttons->Add(ok, 0, wxRIGHT, 8);
    buttons->Add(new wxButton(this, wxID_CANCEL, wxString::FromUTF8("キャンセル")), 0);
    ok->SetDefault();
    ok->Disable();
    field_->Bind(wxEVT_TEXT, [this, ok](wxCommandEvent&) { ok->Enable(!field_->IsEmpty()); });
    SetEscapeId(wxID_CANCEL);
    all->Add(buttons, 0, wxEXPAND | wxALL, 12);
    SetSizerAndFit(all);
    field_->SetFocus();
    CentreOnParent();
}

std::string PasswordQuestion::Password() const { return field_->GetValue().utf8_string(); }

bool CertificateAsker::Ask(const std::string& server, const inet::CertificateInfo& cert,
                           const inet::Security& security) {
    return Run([server, cert, security](wxWindow* parent) -> std::unique_ptr<wxDialog> {
        return std::make_unique<CertificateQuestion>(parent, server, cert, security);
    }, {});
}

bool CertificateAsker::AskPassword(const std::string& provider, const std::string& server, const std::string& user,
                                   std::string& password) {
    std::string typed;
    const bool given = Run([provider, server, user](wxWindow* parent) -> std::unique_ptr<wxDialog> {
        return std::make_unique<PasswordQuestion>(parent, provider, server, user);
    }, [&typed](wxDialog& answered) { typed = static_cast<PasswordQuestion&>(answered).Password(); });
    if (given) password = typed;
    return given;
}

bool CertificateAsker::Run(Make make, Take take) {
    std::unique_lock<std::mutex> lock(mu_);
    if (cancelled_) return false;
    answered_ = false;
    // Posted under the lock: once Cancel has run, nothing reaches the parent any more.
    parent_->CallAfter([self = shared_from_this(), make = std::move(make), take = std::move(take)] {
        self->Show(make, take);
    });
    cv_.wait(lock, [this] { return answered_ || cancelled_; });
    return answered_ && accepted_ && !cancelled_;
}

void CertificateAsker::Show(const Make& make, const Take& take) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (cancelled_) return;
    }
    std::unique_ptr<wxDialog> question = make(parent_);
    if (place_) place_(*question);
    open_ = question.get();
    const bool accepted = question->ShowModal() == wxID_OK;
    open_ = nullptr;
    std::lock_guard<std::mutex> lock(mu_);
    // A worker that Cancel released is gone with what `take` would write to.
    if (accepted && !cancelled_ && take) take(*question);
    answered_ = true;
    accepted_ = accepted;
    cv_.notify_all();
}

void CertificateAsker::Cancel() {
    {
        std::lock_guard<std::mutex> lock(mu_);
        cancelled_ = true;
        cv_.notify_all();
    }
    if (open_ && open_->IsModal()) open_->EndModal(wxID_CANCEL);
}

}  // namespace ui
