// Dravik's progress dialog: placed in the bottom-right corner of the screen,
// it starts the upload walker on a worker thread and shows what the walker
// reports. The walker never touches the window; its reports are posted to
// the window thread.
#pragma once

#include "transfer/app/failure_notice.h"

#include <wx/dialog.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class wxActivityIndicator;
class wxGauge;
class wxStaticText;
class CImageButton;

namespace transfer {
class MenuUpload;
class ProgressDisplay;
}

namespace dravik {

class TransferDialog : public wxDialog {
public:
    // Builds the dialog, places it and starts the walker the hand-off's entry
    // asks for. Show it with ShowModal.
    explicit TransferDialog(wxWindow* parent = nullptr);
    // Closes the walker's connection and waits for the walker to end (it
    // ends at once once its connection is closed). The hand-off is the
    // walker's: it took it over when it started, and one left for the
    // remote browser stays for it.
    ~TransferDialog() override;

    wxGauge* ProgressBar() const { return progress_; }
    wxStaticText* StatusLine() const { return status_; }
    wxActivityIndicator* Animation() const { return animation_; }
    CImageButton* AbortButton() const { return abort_; }
    // What the walker reports to (it posts to this window), for the window tests.
    transfer::ProgressDisplay* WalkerDisplay() const;
    // Closes the walker's connection and waits at most kWalkerStopSeconds for
    // the walker to end, leaving it behind when it does not. The destructor
    // does it too; a second call does nothing.
    void StopWalker();
    // True once the walker has said that the transfer is over: the animation
    // has stopped and the button offers to close instead of to abort.
    bool TransferHasEnded() const { return ended_; }
    // True when StopWalker did not see the walker end in time and left it behind; the
    // program must then end without running static destructors. Failure()
    // still tells how far it got.
    bool WalkerAbandoned() const { return abandoned_; }
    // What to tell the desktop once the dialog is closed: the transfer failed
    // (anything left out counts) or the user stopped it before the walk was
    // over. Empty after a transfer that went through.
    std::optional<FailedTransfer> Failure() const;

    // The longest the destructor waits for a walker that does not stop.
    static constexpr int kWalkerStopSeconds = 5;
    // The most lines the status line grows to; the tooltip holds the whole text.
    static constexpr int kMaxStatusLines = 6;

    // `text` broken into lines no wider than `width` pixels in `window`'s
    // font: after a blank where one is near, else between any two characters
    // (Japanese has no blanks), never before closing punctuation. Removing
    // the inserted '\n's gives `text` back.
    static wxString WrapText(const wxString& text, const wxWindow& window, int width);

private:
    class Display;
    friend class Display;

    void BuildControls();
    void PlaceBottomRight();
    void StartWalker();
    void EndTransferDialog(int result);
    void ShowStatusText(const wxString& text);
    void OnTransferEnded();
    void OnCharHook(wxKeyEvent& event);

    wxGauge* progress_ = nullptr;
    wxWindow* statusFrame_ = nullptr;
    wxStaticText* status_ = nullptr;
    wxActivityIndicator* animation_ = nullptr;
    CImageButton* abort_ = nullptr;
    int rangeLow_ = 0, step_ = 10;
    int baseStatusHeight_ = 0;  // the status line's inner height for one line

    std::unique_ptr<Display> display_;
    std::shared_ptr<transfer::MenuUpload> upload_;  // shared with the worker, which may be left behind
    Display* leftDisplay_ = nullptr;  // the display of a walker left behind, never freed
    std::thread worker_;
    std::mutex doneMu_;
    std::condition_variable doneCv_;
    bool workerDone_ = false;
    bool abandoned_ = false;
    bool ended_ = false;
};

}  // namespace dravik
