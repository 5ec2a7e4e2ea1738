// The certificate question asked for a worker thread: the worker waits while
// the window thread shows ui::CertificateQuestion, and a window that closes
// meanwhile ends the wait with "no" rather than leaving the worker hanging.
#pragma once

#include "platform/inet/inet.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class wxDialog;
class wxWindow;

namespace ui {

class CertificateQuestion;

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

    // On the window thread: closes a question that is up, ends every wait
    // with "no" and makes every later Ask answer "no" at once.
    void Cancel();

private:
    void Show(const std::string& server, const inet::CertificateInfo& cert, const inet::Security& security);

    wxWindow* parent_;
    std::function<void(wxDialog&)> place_;
    std::mutex mu_;
    std::condition_variable cv_;
    bool cancelled_ = false;
    bool answered_ = false, trusted_ = false;
    CertificateQuestion* open_ = nullptr;  // the question on the screen; window thread only
};

}  // namespace ui
