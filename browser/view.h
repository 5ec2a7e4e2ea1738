// The right-hand pane: the list of the server's current directory, and the
// dispatcher of every remote command. All FTP work runs on the frame's job
// queue; results come back to this window through CallAfter.
#pragma once

#include "browser/core/document.h"
#include "browser/core/job_queue.h"
#include "common/walk/remote_listing.h"
#include "browser/core/operations.h"

#include <wx/dnd.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/menu.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace ui {
class CertificateAsker;
}

namespace brovin {

class CMainFrame;
class CTransferDlg;

class CBrovinView : public wxListCtrl {
public:
    CBrovinView(wxWindow* parent, CMainFrame* frame, CBrovinDoc* doc, JobQueue* jobs);
    ~CBrovinView() override;

    // Sets up the list, clears RUNNING\"RemoteBrowser" and starts the login
    // when the document has a user name. A server certificate that fails
    // verification, at this login or a later one, is asked about over the frame.
    void OnInitialUpdate();

    // The dispatcher of the seven commands; does nothing without a connection.
    void RunCommand(int id);
    // Writes the upload hand-off for `paths` and queues the upload.
    void QueueUpload(const std::vector<std::string>& paths);
    // Queues a refresh of the list.
    void StartListing();

    // The list's context menu as it would pop up now: the move, upload and
    // make-directory items greyed without a connection, download, download-to
    // and delete without a selection, rename unless exactly one item is selected.
    std::unique_ptr<wxMenu> ContextMenu() const;

    bool AnySelected() const;
    // True when exactly one item is selected; `index` is set to it.
    bool OneSelected(long& index) const;
    const std::vector<walk::Row>& Rows() const { return rows_; }
    CTransferDlg* ProgressDialog() const { return progress_; }
    // Closes the progress dialog and enables the main window (after a walk, or on abort).
    void EndProgress();
    // Called by the frame before it goes: wakes a worker waiting for an answer
    // (a certificate question that is up is closed and answered "no").
    void Shutdown();

    // What the next folder or file dialog answers instead of asking (for the window tests).
    std::function<bool(std::vector<std::string>&)> chooseFiles;
    std::function<bool(std::string&)> chooseFolder;
    std::function<bool(int mode, wxString& name)> askName;
    std::function<bool()> confirmDelete;
    std::function<void(unsigned long code)> showErrorBox;
    // Runs on the window thread once a listing's rows are in the list (for the benchmark's clock).
    std::function<void()> onListed;

protected:
    wxString OnGetItemText(long item, long column) const override;
    int OnGetItemImage(long item) const override;

private:
    class WalkProgress;
    friend class WalkProgress;

    void ListJob();
    // On the job thread: the connection for this job, logged in again when
    // the server has dropped it; nullptr when that fails (the status bar then
    // says the connection is lost, and `why` gets the reason).
    inet::FtpConnection* Live(std::string* why = nullptr);
    // From any thread: status-bar text `id` with `arg`, and `reason` after it.
    void Tell(int id, const std::string& arg, const std::string& reason = "");
    void MakeDirectoryJob(const std::string& dir);
    void ShowRows(std::vector<walk::Row> rows);
    void ClearSelectionStore();
    void ShowProgress();
    void RunWalk(std::function<Outcome(Progress&)> walk);
    void EnterDirectory(const std::string& name);
    // Opens a symbolic link: enters it when the server lets us, else downloads it.
    void OpenLink(const std::string& name);
    // Shows the links of `dir` already found to lead to folders as folders.
    void MarkFolderLinks(const std::string& dir, std::vector<walk::Row>& rows) const;
    void Download(bool chooseTarget);
    // The name dialog in `mode` (1 rename, 0 make directory); false when closed without a name.
    bool AskName(int mode, wxString& name);
    std::vector<RemoteItem> SelectedItems() const;
    int ImageFor(const walk::Row& row, wxString& type);
    void OnActivated(wxListEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnContextCommand(wxCommandEvent& event);

    CMainFrame* frame_;
    CBrovinDoc* doc_;
    JobQueue* jobs_;
    CTransferDlg* progress_ = nullptr;
    std::shared_ptr<WalkProgress> walk_;
    std::shared_ptr<ui::CertificateAsker> asker_;  // the certificate question of every login
    std::string downloadFolder_;
    std::vector<walk::Row> rows_;
    std::vector<int> images_;
    std::vector<wxString> types_;
    wxImageList icons_{16, 16, true, 0};
    int folderIcon_ = -1;
    std::map<std::string, std::pair<int, wxString>> byExtension_;  // one icon and type name per extension
    std::set<std::string> folderLinks_;  // "directory/name" of the links that were entered as folders
};

}  // namespace brovin
