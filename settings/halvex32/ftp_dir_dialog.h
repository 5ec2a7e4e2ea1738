// The remote directory picker: logs in to an FTP server with connection
// values that are still being edited, shows the server's directories as a
// tree that grows as the user clicks, and returns the chosen directory.
#pragma once

#include "platform/inet/inet.h"
#include "settings/halvex32/halvex32.h"

#include <wx/dialog.h>
#include <wx/treectrl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

class CImageButton;
class wxStaticText;
class wxTextCtrl;

namespace walk {
struct FolderListing;
}

namespace halvex32 {

// String table numbers of the picker.
enum : int {
    IDS_FTPDIR_CONNECTING = 35,  // "FTPサーバへ接続中です..."
    IDS_FTPDIR_LISTING = 36,     // "ディレクトリ情報取得中..."
    IDS_FTPDIR_LIST_ERROR = 38,  // "...(エラーコード : %1)"
    IDS_FTPDIR_LISTED = 39,      // "ディレクトリ構造取得完了"
    IDS_FTPDIR_CAPTION = 40,     // "接続中のサーバ : %1"
    IDS_FTPDIR_SELECT_TIP = 41,
    IDS_FTPDIR_CANCEL_TIP = 42,
    IDS_FTPDIR_EDIT_TIP = 43,
    IDS_FTPDIR_TREE_TIP = 44,
    IDS_FTPDIR_STATUS_TIP = 45,
    IDS_FTPDIR_EMPTY = 61,       // "これ以上ファイルは存在しません。"
    IDS_FTPDIR_UNTRUSTED = 72,   // the certificate question was answered with 中止
    IDI_FTPDIR = 1008,
    IDI_FTPDIR_CANCEL = 1018,
    IDI_FTPDIR_SELECT = 1027,
};

}  // namespace halvex32

class CFtpDirDialog : public wxDialog {
public:
    // The modal results: a directory was chosen, or the dialog was closed without one.
    static constexpr int kSelected = 1;
    static constexpr int kCancelled = 2;

    explicit CFtpDirDialog(wxWindow* parent = nullptr);
    // Waits for a worker still running at most a second (the connection is
    // closed first, which ends it); one that outlives that refers only to
    // state it shares, never to the dialog.
    ~CFtpDirDialog() override;

    // The connection values, handed in before the dialog is shown (UTF-8).
    void SetConnection(const std::string& server, const std::string& user, const std::string& password, int port);
    // How to encrypt (settings::kEncryption*; plain FTP unless set) and the
    // fingerprint of the certificate the provider trusts ("" for none).
    void SetSecurity(int encryption, const std::string& trustedCertificate);
    // How the server writes file names (settings::kNameEncoding*; detected unless set).
    void SetNameEncoding(int nameEncoding);
    // The fingerprint of a certificate the user chose to trust in this
    // dialog's certificate question; "" when none was.
    const std::string& TrustedCertificate() const { return trusted_; }

    // The directory chosen with 選択, as the walkers use it: "" for the
    // login directory (the root item), a path from the tree with its leading
    // "/" as the server names it (the tree may show it written out), or the
    // text the user typed, unchanged. Empty after キャンセル.
    const std::string& Result() const { return result_; }

    // Shows the dialog modally; kSelected or kCancelled.
    int ShowModal() override;

    // What the user sees, for the window tests.
    wxTreeCtrl* Tree() const { return tree_; }
    wxStaticText* StatusLine() const { return status_; }
    wxTextCtrl* SelectedEdit() const { return edit_; }
    wxWindow* SelectButton() const;
    wxWindow* CancelButton() const;
    // Whether a worker is running (login or a listing).
    bool WorkerRunning() const;
    // How many listings were asked of the server so far.
    int ListingsRequested() const;

private:
    struct Shared;

    void BuildControls();
    void OnShow(wxShowEvent& event);
    void OnSelChanged(wxTreeEvent& event);
    void OnSelect(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void Finish(int code);
    void StopWorker();
    // Starts the login and the first listing on the worker.
    void StartLogin();
    // On the UI thread after each worker: asks about a certificate the login
    // could not verify and logs in again when the user trusts it.
    void AfterWorker();
    // Runs `job` on the worker thread unless one is still running; false then.
    bool StartWorker(std::function<void()> job);
    // Lists `path` on the worker and adds its directories under `parent`.
    void ListOnWorker(wxTreeItemId parent, const std::string& path);
    // On the UI thread: shows what a listing found.
    void ShowListing(wxTreeItemId parent, const walk::FolderListing& listing, bool expand);
    void SetStatus(const wxString& text);

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
    std::string server_, user_, password_;
    int port_ = 0;
    inet::Security security_;
    inet::NameEncoding names_ = inet::NameEncoding::Auto;
    std::string trusted_;
    std::string result_;
    std::string loginDir_;
    bool started_ = false;
    // While the edit shows a tree item's text: the directory it stands for ("" for the root).
    std::optional<std::string> chosen_;
    std::set<void*> listed_;  // tree items whose directory was asked for already

    wxTreeCtrl* tree_ = nullptr;
    wxStaticText* status_ = nullptr;
    wxTextCtrl* edit_ = nullptr;
    CImageButton* select_ = nullptr;
    CImageButton* cancel_ = nullptr;
};
