#include "transfer/app/transfer_dialog.h"

#include "common/registry/layout.h"
#include "common/ui/certificate_asker.h"
#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "transfer/app/resources.h"
#include "transfer/handoff.h"
#include "transfer/menu_upload.h"

#include <wx/activityindicator.h>
#include <wx/display.h>
#include <wx/gauge.h>
#include <wx/iconbndl.h>
#include <wx/panel.h>
#include <wx/stattext.h>

#include <chrono>
#include <cstdio>

namespace dravik {

namespace {

const char* const kCaption = "Parvex - DVK";
const char* const kTemplateFace = "ＭＳ Ｐゴシック";
const char* const kAbortCaption = "転送中断(&S)";
const char* const kCloseCaption = "閉じる(&C)";

// Punctuation that may not begin a line: it stays with the character before it.
bool ClosesALine(wxUniChar c) {
    static const wxString closing = wxString::FromUTF8("、。，．・：；？！）」』】〕｝〉》ー…,.:;!?)]}");
    return closing.Find(c) != wxNOT_FOUND;
}

}  // namespace

// The walker's view of the dialog. Called on the walker's thread: every
// call is posted to the window thread, and once the dialog detaches it the
// calls go nowhere. Events already posted die with the dialog's handler.
class TransferDialog::Display : public transfer::ProgressDisplay {
public:
    explicit Display(TransferDialog* dialog)
        : dialog_(dialog), asker_(std::make_shared<ui::CertificateAsker>(dialog, [dialog](wxDialog& question) {
              // Above the window in the screen's corner, not over it: the status line stays in sight.
              const wxRect corner = dialog->GetScreenRect();
              const wxSize size = question.GetSize();
              question.Move(std::max(0, corner.GetRight() + 1 - size.x), std::max(0, corner.y - size.y - 8));
          })) {}

    // On the window thread: a certificate question that is up is closed and answered "no".
    void Detach() {
        {
            std::lock_guard<std::mutex> lock(mu_);
            dialog_ = nullptr;
        }
        asker_->Cancel();
    }

    void SetStatusText(const std::string& text) override {
        Remember([&text](FailedTransfer& seen) { seen.status = text; });
        wxString s = wxString::FromUTF8(text);
        Post([s](TransferDialog& d) { d.ShowStatusText(s); });
    }
    void RepaintStatus() override {
        Post([](TransferDialog& d) { d.status_->Refresh(); d.status_->Update(); });
    }
    void SetRange(std::int32_t low, std::int32_t high) override {
        Post([low, high](TransferDialog& d) {
            d.rangeLow_ = low;
            d.progress_->SetRange(std::max(1, high - low));
        });
    }
    void SetStep(std::int32_t step) override {
        Post([step](TransferDialog& d) { d.step_ = step; });
    }
    void StepIt() override {
        Post([](TransferDialog& d) {
            // As a progress bar steps: past the end it starts over.
            int next = d.progress_->GetValue() + d.step_;
            if (next > d.progress_->GetRange()) next = 0;
            d.progress_->SetValue(next);
        });
    }
    void PlayAnimation() override {
        Post([](TransferDialog& d) {
            if (!d.ended_ && !d.animation_->IsRunning()) d.animation_->Start();
        });
    }
    void TransferEnded(bool succeeded) override {
        {
            std::lock_guard<std::mutex> lock(mu_);
            ended_ = true;
            succeeded_ = succeeded;
        }
        Post([](TransferDialog& d) { d.OnTransferEnded(); });
    }
    void SetCurrentItem(const std::string& item) override {
        Remember([&item](FailedTransfer& seen) { seen.item = item; });
    }
    void SetEncryption(const std::string& state) override {
        Remember([&state](FailedTransfer& seen) { seen.encryption = state; });
    }
    // Asked over the progress window: started from the file manager, nobody reads a terminal.
    bool AskTrustCertificate(const std::string& server, const inet::CertificateInfo& cert,
                             const inet::Security& security) override {
        return asker_->Ask(server, cert, security);
    }
    bool AskPassword(const std::string& provider, const std::string& server, const std::string& user,
                     std::string& password) override {
        return asker_->AskPassword(provider, server, user, password);
    }
    void EndDisplay() override {
        Post([](TransferDialog& d) { d.EndTransferDialog(wxID_OK); });
    }

    // What the walker reported last, kept here rather than in the window: a
    // user who stops the transfer early may do so before the window has
    // caught up with the walker. Empty once the transfer went through.
    std::optional<FailedTransfer> Outcome() {
        std::lock_guard<std::mutex> lock(mu_);
        if (ended_ && succeeded_) return std::nullopt;
        FailedTransfer outcome = seen_;
        outcome.aborted = !ended_;
        return outcome;
    }
    void SetDestination(const std::string& provider, const std::string& entry) {
        Remember([&](FailedTransfer& seen) {
            seen.provider = provider;
            seen.entry = entry;
        });
    }

private:
    template <typename F>
    void Post(F f) {
        std::lock_guard<std::mutex> lock(mu_);
        if (TransferDialog* d = dialog_) d->CallAfter([d, f] { f(*d); });
    }
    template <typename F>
    void Remember(F f) {
        std::lock_guard<std::mutex> lock(mu_);
        f(seen_);
    }

    std::mutex mu_;
    TransferDialog* dialog_;
    std::shared_ptr<ui::CertificateAsker> asker_;
    FailedTransfer seen_;
    bool ended_ = false, succeeded_ = false;
};

TransferDialog::TransferDialog(wxWindow* parent)
    : wxDialog(parent, IDD_TRANSFER, wxString::FromUTF8(kCaption), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxMINIMIZE_BOX) {
    SetFont(ui::DialogFont(wxString::FromUTF8(kTemplateFace), 9));
    SetClientSize(ConvertDialogToPixels(wxSize(203, 109)));
    BuildControls();

    wxIconBundle icons;
    for (int size : {16, 32, 48}) {
        wxIcon icon = ui::LoadIcon(IDR_MAINFRAME, size);
        if (icon.IsOk()) icons.AddIcon(icon);
    }
    if (!icons.IsEmpty()) SetIcons(icons);

    PlaceBottomRight();
    StartWalker();

    abort_->SetIcon(IDI_ABORT);
    abort_->SetTooltipText(IDS_ABORT_TIP);
    abort_->SetFocus();

    Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndTransferDialog(wxID_OK); }, IDC_ABORT);
    Bind(wxEVT_CHAR_HOOK, &TransferDialog::OnCharHook, this);
}

TransferDialog::~TransferDialog() { StopWalker(); }

transfer::ProgressDisplay* TransferDialog::WalkerDisplay() const { return display_.get(); }

void TransferDialog::BuildControls() {
    // Template order is the tab order.
    wxRect r = ui::DialogRect(this, 7, 51, 189, 9);
    progress_ = new wxGauge(this, IDC_PROGRESS, 100, r.GetPosition(), r.GetSize(), wxGA_HORIZONTAL | wxGA_SMOOTH);
    r = ui::DialogRect(this, 7, 90, 189, 12);
    // GTK draws no border around a label: the sunken frame is a panel's.
    statusFrame_ = new wxPanel(this, wxID_ANY, r.GetPosition(), r.GetSize(), wxBORDER_SUNKEN);
    wxSize inner = statusFrame_->GetClientSize();
    baseStatusHeight_ = inner.y;
    // Never cut: a text too long for the line wraps, and the line grows (ShowStatusText).
    status_ = new wxStaticText(statusFrame_, IDC_STATUS, wxString(), wxPoint(3, 0), wxSize(inner.x - 6, inner.y),
                               wxST_NO_AUTORESIZE);
    r = ui::DialogRect(this, 7, 7, 189, 39);
    animation_ = new wxActivityIndicator(this, IDC_ANIMATE, r.GetPosition(), r.GetSize());
    animation_->Start();  // the template's animation plays by itself
    r = ui::DialogRect(this, 66, 65, 70, 20);
    abort_ = new CImageButton(this, IDC_ABORT, wxString::FromUTF8(kAbortCaption), r.GetPosition(), r.GetSize());
}

void TransferDialog::PlaceBottomRight() {
    // The whole screen, not the work area: the corner sits 30 pixels above
    // the screen's bottom edge, clear of a bottom panel.
    int display = wxDisplay::GetFromPoint(wxPoint(0, 0));
    wxRect screen = wxDisplay(display == wxNOT_FOUND ? 0u : static_cast<unsigned>(display)).GetGeometry();
    wxSize size = GetSize();
    Move(screen.GetRight() + 1 - size.x, screen.GetBottom() + 1 - size.y - 30);
    Raise();
}

void TransferDialog::StartWalker() {
    display_ = std::make_unique<Display>(this);

    // The hand-off's first provider and its first entry.
    std::string provider, entry;
    if (layout::FirstSubKey(layout::kSelectedKey, provider))
        layout::FirstSubKey(std::string(layout::kSelectedKey) + "\\" + provider, entry);
    display_->SetDestination(provider, entry);
    upload_ = std::make_shared<transfer::MenuUpload>(*display_);
    worker_ = std::thread([this, upload = upload_] {
        upload->Run();
        std::lock_guard<std::mutex> lock(doneMu_);
        workerDone_ = true;
        doneCv_.notify_all();
    });
}

void TransferDialog::StopWalker() {
    if (display_) display_->Detach();
    if (upload_) upload_->Stop();  // the connection closes and the closing pause is cut short
    if (!worker_.joinable()) return;
    bool done;
    {
        std::unique_lock<std::mutex> lock(doneMu_);
        done = doneCv_.wait_for(lock, std::chrono::seconds(kWalkerStopSeconds), [this] { return workerDone_; });
    }
    if (done) {
        worker_.join();
    } else {
        // Still connecting to a server that does not answer: nothing it does
        // can reach a window any more, and the program is about to end.
        std::fprintf(stderr, "dravik: the transfer did not stop within %d s\n", kWalkerStopSeconds);
        worker_.detach();
        abandoned_ = true;
        leftDisplay_ = display_.release();  // the walker may still call it; it still knows the outcome
    }
}

wxString TransferDialog::WrapText(const wxString& text, const wxWindow& window, int width) {
    wxString out, line;
    std::size_t blank = wxString::npos;  // the last blank in `line`
    for (wxUniChar c : text) {
        if (c == '\r') continue;  // a server's CR LF: the LF breaks the line
        if (c == '\n') {
            out << line << '\n';
            line.clear();
            blank = wxString::npos;
            continue;
        }
        if (!line.empty() && window.GetTextExtent(line + c).x > width && !ClosesALine(c) && c != ' ') {
            // Break after a blank in the last third of the line, else right here.
            if (blank != wxString::npos && blank + 1 >= line.length() * 2 / 3) {
                out << line.substr(0, blank + 1) << '\n';
                line = line.substr(blank + 1);
            } else {
                out << line << '\n';
                line.clear();
            }
            blank = line.rfind(' ');
        }
        if (c == ' ') blank = line.length();
        line << c;
    }
    return out << line;
}

void TransferDialog::ShowStatusText(const wxString& text) {
    const int width = statusFrame_->GetClientSize().x - 6;
    wxString shown = WrapText(text, *status_, width);
    const bool wrapped = shown.Contains('\n');
    if (shown.Freq('\n') >= kMaxStatusLines) {
        while (shown.Freq('\n') >= kMaxStatusLines) shown = shown.BeforeLast('\n');
        shown << wxString::FromUTF8("…");
    }
    // Plain text: a '&' in a file name or a server's reply is no mnemonic.
    status_->SetLabelText(shown);
    if (wrapped)
        status_->SetToolTip(text);
    else
        status_->UnsetToolTip();
    // The line grows by the height of the added lines (never shrinks, so
    // that the dialog does not jump with every file) and the dialog with it,
    // still in the screen's corner.
    const int lineHeight = status_->GetTextExtent(wxString::FromUTF8("漢Ag")).y;
    const int needed = baseStatusHeight_ + static_cast<int>(shown.Freq('\n')) * lineHeight;
    const int grow = needed - statusFrame_->GetClientSize().y;
    if (grow > 0) {
        statusFrame_->SetSize(statusFrame_->GetSize() + wxSize(0, grow));
        SetClientSize(GetClientSize() + wxSize(0, grow));
        PlaceBottomRight();
    }
    status_->SetSize(wxSize(width, statusFrame_->GetClientSize().y));
}

std::optional<FailedTransfer> TransferDialog::Failure() const {
    if (Display* d = display_ ? display_.get() : leftDisplay_) return d->Outcome();
    return std::nullopt;
}

void TransferDialog::OnTransferEnded() {
    ended_ = true;
    animation_->Stop();
    abort_->SetLabel(wxString::FromUTF8(kCloseCaption));
    abort_->SetIcon(IDI_CLOSE);
    abort_->SetTooltipText(IDS_CLOSE_TIP);
}

void TransferDialog::EndTransferDialog(int result) {
    if (IsModal()) EndModal(result);
}

void TransferDialog::OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_ESCAPE:
        EndTransferDialog(wxID_CANCEL);
        return;
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
        EndTransferDialog(wxID_OK);
        return;
    default:
        event.Skip();
    }
}

}  // namespace dravik
