#include "common/ui/certificate_asker.h"

#include "common/ui/certificate_question.h"

namespace ui {

bool CertificateAsker::Ask(const std::string& server, const inet::CertificateInfo& cert,
                           const inet::Security& security) {
    std::unique_lock<std::mutex> lock(mu_);
    if (cancelled_) return false;
    answered_ = false;
    // Posted under the lock: once Cancel has run, nothing reaches the parent any more.
    parent_->CallAfter([self = shared_from_this(), server, cert, security] { self->Show(server, cert, security); });
    cv_.wait(lock, [this] { return answered_ || cancelled_; });
    return answered_ && trusted_ && !cancelled_;
}

void CertificateAsker::Show(const std::string& server, const inet::CertificateInfo& cert,
                            const inet::Security& security) {
    {
        std::lock_guard<std::mutex> lock(mu_);
        if (cancelled_) return;
    }
    CertificateQuestion question(parent_, server, cert, security);
    if (place_) place_(question);
    open_ = &question;
    const bool trusted = question.ShowModal() == wxID_OK;
    open_ = nullptr;
    std::lock_guard<std::mutex> lock(mu_);
    answered_ = true;
    trusted_ = trusted;
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
