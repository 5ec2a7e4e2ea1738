// The questions a worker thread asks the user: the worker waits while the
// window thread shows the certificate question (ui::CertificateQuestion) or
// the password question, and a window that closes meanwhile ends the wait
// with "no" rather than leaving the worker hanging.
#pragma once

#include "platform/inet/inet.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

namespace ui {

// "パスワードの入力": the provider, server and user named, a password field
// and "OK" (enabled once something is typed) and "キャンセル".
class PasswordQuestion : public wxDialog {
public:
    PasswordQuestion(wxWindow* parent, const std::string& provider, const std::string& server,
                     const std::string& user);
    wxTextCtrl* Field() const { return field_; }
    std::string Password() const;

private:
    wxTextCtrl* field_;
};

class CertificateAsker : public std::enable_shared_from_this<CertificateAsker> {
public:
    // The question is shown over `parent`, which must outlive the asker or
    // call Cancel before it goes; `place` moves it before it is shown (it
    // starts centred on `parent`). Make it with std::make_shared.
    explicit CertificateAsker(wxWindow* parent, std::function<void(wxDialog&)> place = {})
        : parent_(parent), place_(std::move(place)) {}

    // On a worker thread: shows the question on the window thread and waits
    // for the answer. True when the user trusts the certificate; false when
    // not, or when Cancel came before or while asking.
    bool Ask(const std::string& server, const inet::CertificateInfo& cert, const inet::Security& security);

    // On a worker thread: asks for the password of `provider` at `server`
    // as `user` (the keyring has none for it). True with `password` set when
    // the user gave one; false, leaving `password` alone, when not, or when
    // Cancel came before or while asking.
    bool AskPassword(const std::string& provider, const std::string& server, const std::string& user,
                     std::string& password);

    // On the window thread: closes a question that is up, ends every wait
    // with "no" and makes every later Ask answer "no" at once.
    void Cancel();

private:
    using Make = std::function<std::unique_ptr<wxDialog>(wxWindow* parent)>;
    using Take = std::function<void(wxDialog& answered)>;
    // Shows the dialog `make` builds on the window thread and waits for it;
    // `take` reads an accepted dialog on the window thread while the worker
    // still waits. True when the dialog ended with OK.
    bool Run(Make make, Take take);
    void Show(const Make& make, const Take& take);

    wxWindow* parent_;
    std::function<void(wxDialog&)> place_;
    std::mutex mu_;
    std::condition_variable cv_;
    bool cancelled_ = false;
    bool answered_ = false, accepted_ = false;
    wxDialog* open_ = nullptr;  // the question on the screen; window thread only
};

}  // namespace ui
