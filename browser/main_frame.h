// The browser's main window: menus, the status bar, and a splitter with the
// command bar on the left and the remote list on the right. It owns the
// document and the job queue that every FTP operation runs on.
#pragma once

#include "browser/core/document.h"
#include "browser/core/job_queue.h"

#include <wx/frame.h>
#include <wx/imaglist.h>

#include <memory>
#include <string>

class CGfxOutBarCtrl;
class COutBarEvent;
class wxSplitterWindow;

namespace brovin {

class CBrovinView;

class CMainFrame : public wxFrame {
public:
    explicit CMainFrame(std::unique_ptr<CBrovinDoc> doc);
    ~CMainFrame() override;

    // Puts string `id` (with `arg` for "%1") into the status bar.
    void SetFrameStatus(int id, const std::string& arg);
    // The same with `reason` after the text (when not empty).
    void SetFrameStatus(int id, const std::string& arg, const std::string& reason);
    wxString StatusText() const;
    // The status bar's right-hand pane: how the connection is protected
    // ("暗号化: TLS1.3", "暗号化なし"); `state` as walk::EncryptionState gives it.
    void SetEncryptionStatus(const std::string& state);
    wxString EncryptionText() const;

    CBrovinView* View() const { return view_; }
    CGfxOutBarCtrl* Bar() const { return bar_; }
    CBrovinDoc& Document() const { return *doc_; }
    JobQueue& Jobs() { return jobs_; }
    wxSplitterWindow* Splitter() const { return splitter_; }

    // Where the help page is looked for: help/index.html beside the program
    // (a build tree), else <prefix>/share/parvex/help/index.html.
    // Opens the help page in the desktop's browser; says so in the status bar when it is missing.
    void OnHelp();
    // What opens the help page (the desktop's browser unless a test says
    // otherwise); false when it cannot, which the status bar then says.
    std::function<bool(const std::string&)> openHelp;
    // Opens the page with the desktop's handler for it, else with xdg-open.
    // False when neither starts; an xdg-open that ends in failure is told in the status bar when it ends.
    bool OpenHelpPage(const std::string& path);

private:
    void OnBarNotify(COutBarEvent& event);
    void OnClose(wxCloseEvent& event);
    void Stop();

    std::unique_ptr<CBrovinDoc> doc_;
    JobQueue jobs_;
    wxSplitterWindow* splitter_ = nullptr;
    CGfxOutBarCtrl* bar_ = nullptr;
    CBrovinView* view_ = nullptr;
    bool shown_ = false;
    wxImageList largeIcons_{32, 32, true, 6};
};

}  // namespace brovin
