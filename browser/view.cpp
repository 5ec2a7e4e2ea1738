#include "browser/view.h"

#include "browser/dialogs.h"
#include "browser/main_frame.h"
#include "browser/resources.h"
#include "common/registry/layout.h"
#include "common/ui/certificate_asker.h"
#include "common/ui/file_types.h"
#include "common/ui/resources.h"
#include "platform/os/os.h"
#include "tesvar/tesvar.h"

#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>

#include <atomic>
#include <chrono>

namespace brovin {

namespace {

constexpr int kIconSize = 16;
// The type column of a symbolic link, before and after it turned out to lead to a folder.
constexpr const char* kLinkType = "リンク";
constexpr const char* kFolderLinkType = "フォルダへのリンク";

// The commands of the context menu and when each is greyed.
enum class Needs { Connection, Selection, OneSelected };
struct MenuItem {
    int id;
    const char* text;
    Needs needs;
};
const MenuItem kContextMenu[] = {
    {ID_MOVE_UP, "上位へ移動(&P)", Needs::Connection},
    {0, nullptr, Needs::Connection},
    {ID_UPLOAD, "アップロード(&U)...", Needs::Connection},
    {ID_DOWNLOAD, "ダウンロード(&D)...", Needs::Selection},
    {ID_DOWNLOAD_TO, "指定先へダウンロード(&F)...", Needs::Selection},
    {0, nullptr, Needs::Connection},
    {ID_MAKE_DIRECTORY, "ディレクトリ作成(&M)...", Needs::Connection},
    {0, nullptr, Needs::Connection},
    {ID_RENAME, "名前変更(&N)...", Needs::OneSelected},
    {0, nullptr, Needs::Connection},
    {ID_DELETE, "削除(&R)", Needs::Selection},
};

class DropTarget : public wxFileDropTarget {
public:
    explicit DropTarget(CBrovinView* view) : view_(view) {}
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) override {
        std::vector<std::string> paths;
        for (const auto& f : files) paths.push_back(f.utf8_string());
        view_->QueueUpload(paths);
        return true;
    }

private:
    CBrovinView* view_;
};

}  // namespace

// The walks' view of the progress dialog. Called on the job thread; every
// call is posted to the window thread. The frame stops the job thread before
// the view goes, so the view outlives every call. A posted call keeps this
// object alive and is dropped once another walk has the dialog: it may arrive
// after its walk ended and the next one began.
class CBrovinView::WalkProgress : public Progress, public std::enable_shared_from_this<WalkProgress> {
public:
    explicit WalkProgress(CBrovinView* view) : view_(view) {}

    void Status(int id, const std::string& arg) override {
        wxString text = FormatString(id, arg);
        Post([text](CTransferDlg& d) { d.SetStatus(text); });
    }
    void SetRange(int count) override {
        Post([count](CTransferDlg& d) { d.SetRange(count); });
    }
    void Step() override {
        Post([](CTransferDlg& d) { d.StepIt(); });
    }
    void LeftOut(int count, const std::string& first) override {
        wxString text = FormatString(IDS_SKIPPED_COUNT, std::to_string(count)) + wxString::FromUTF8("(最初: ") +
                        wxString::FromUTF8(first) + ")";
        Post([text](CTransferDlg& d) { d.SetStatus(text); });
    }
    bool Aborted() override { return aborted_.load(); }
    void Pause(int ms) override {
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return shutdown_; });
    }
    // Shown by the window thread; the walk waits for the answer (or for the program to end).
    void ErrorBox(inet::DWORD code) override {
        {
            std::lock_guard<std::mutex> lock(mu_);
            if (shutdown_) return;
            answered_ = false;
        }
        view_->CallAfter([this, self = shared_from_this(), code] {
            if (view_->showErrorBox)
                view_->showErrorBox(code);
            else
                wxMessageBox(wxString::Format("Error : %lu", static_cast<unsigned long>(code)), "Brovin", wxOK,
                             view_);
            std::lock_guard<std::mutex> lock(mu_);
            answered_ = true;
            cv_.notify_all();
        });
        std::unique_lock<std::mutex> lock(mu_);
        cv_.wait(lock, [this] { return answered_ || shutdown_; });
    }

    void Abort() { aborted_ = true; }
    void Shutdown() {
        std::lock_guard<std::mutex> lock(mu_);
        shutdown_ = true;
        aborted_ = true;
        cv_.notify_all();
    }

private:
    template <typename F>
    void Post(F f) {
        if (aborted_) return;
        view_->CallAfter([this, self = shared_from_this(), f] {
            if (!aborted_ && view_->walk_ == self && view_->progress_) f(*view_->progress_);
        });
    }

    CBrovinView* view_;
    std::atomic<bool> aborted_{false};
    std::mutex mu_;
    std::condition_variable cv_;
    bool answered_ = false;
    bool shutdown_ = false;
};

CBrovinView::CBrovinView(wxWindow* parent, CMainFrame* frame, CBrovinDoc* doc, JobQueue* jobs)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxSize(200, 100), wxLC_REPORT | wxLC_VIRTUAL),
      frame_(frame),
      doc_(doc),
      jobs_(jobs) {
    Bind(wxEVT_LIST_ITEM_ACTIVATED, &CBrovinView::OnActivated, this);
    Bind(wxEVT_RIGHT_DOWN, &CBrovinView::OnRightDown, this);
    Bind(wxEVT_KEY_DOWN, &CBrovinView::OnKeyDown, this);
    Bind(wxEVT_MENU, &CBrovinView::OnContextCommand, this, MenuId(ID_UPLOAD), MenuId(ID_DOWNLOAD_TO));
}

CBrovinView::~CBrovinView() { Shutdown(); }

void CBrovinView::Shutdown() {
    if (walk_) walk_->Shutdown();
    if (asker_) asker_->Cancel();
}

void CBrovinView::OnInitialUpdate() {
    InsertColumn(0, ui::LoadString(IDS_COLUMN_NAME), wxLIST_FORMAT_LEFT, 200);
    InsertColumn(1, ui::LoadString(IDS_COLUMN_TYPE), wxLIST_FORMAT_LEFT, 150);
    InsertColumn(2, ui::LoadString(IDS_COLUMN_DATE), wxLIST_FORMAT_LEFT, 100);
    wxBitmap folder = ui::ThemeIcon("folder", kIconSize);
    folderIcon_ = folder.IsOk() ? icons_.Add(folder) : -1;
    SetImageList(&icons_, wxIMAGE_LIST_SMALL);
    SetDropTarget(new DropTarget(this));
    ClearRemoteBrowserFlag();
    if (doc_->userName.empty()) return;
    asker_ = std::make_shared<ui::CertificateAsker>(frame_);
    doc_->askTrust = [asker = asker_, server = doc_->serverAddr](const inet::CertificateInfo& cert,
                                                                 const inet::Security& security) {
        return asker->Ask(server, cert, security);
    };
    doc_->askPassword = [asker = asker_](const std::string& provider, const std::string& server,
                                         const std::string& user, std::string& password) {
        return asker->AskPassword(provider, server, user, password);
    };
    jobs_->Post([this] {
        std::string failure;
        bool ok = doc_->Connect([this](int id, const std::string& arg) { Tell(id, arg); }, &failure);
        if (!ok) {
            Tell(IDS_CONNECT_FAILED, doc_->serverAddr, failure);
            return;
        }
        std::string dir = doc_->currentDirectory;
        CallAfter([this, dir] { frame_->SetTitle(FormatString(IDS_CAPTION_DIRECTORY, dir)); });
        ListJob();
    });
}

void CBrovinView::StartListing() {
    jobs_->Post([this] { ListJob(); });
}

// On the job thread: lists the document's current directory and hands the rows to the window.
void CBrovinView::ListJob() {
    inet::FtpConnection* conn = Live();
    if (!conn) return;
    std::string dir = doc_->currentDirectory;
    // Told with every listing: a login made again may have come back otherwise protected.
    CallAfter([this, dir, encryption = doc_->EncryptionState()] {
        frame_->SetTitle(FormatString(IDS_CAPTION_DIRECTORY, dir));
        frame_->SetEncryptionStatus(encryption);
        frame_->SetFrameStatus(IDS_LISTING, "");
    });
    std::vector<walk::Row> rows;
    bool ok = walk::ListDirectory(conn, dir, rows);
    std::string reason = ok ? std::string() : ErrorText(inet::GetLastInternetError());
    CallAfter([this, ok, dir, reason, rows = std::move(rows)]() mutable {
        MarkFolderLinks(dir, rows);
        bool empty = rows.empty();
        ShowRows(std::move(rows));
        if (!ok)
            frame_->SetFrameStatus(IDS_LIST_FAILED, dir, reason);
        else
            frame_->SetFrameStatus(empty ? IDS_IDLE : IDS_LISTED, "");
        if (onListed) onListed();
    });
}

int CBrovinView::ImageFor(const walk::Row& row, wxString& type) {
    type.clear();
    if (row.link) type = wxString::FromUTF8(row.directory ? kFolderLinkType : kLinkType);
    if (row.directory) return folderIcon_;
    std::string ext = os::SplitPath(row.name).extension;
    // One icon per extension, not one per row: a listing of thousands of files stays small.
    std::string key = ext.empty() ? ui::ContentTypeOfName(row.name) : ext;
    auto it = byExtension_.find(key);
    if (it == byExtension_.end()) {
        std::string contentType = ext.empty() ? key : ui::ContentTypeOfName("x" + ext);
        wxBitmap bmp = ui::ContentTypeIcon(contentType, kIconSize);
        if (!bmp.IsOk()) bmp = ui::ThemeIcon("text-x-generic", kIconSize);
        int image = bmp.IsOk() ? icons_.Add(bmp) : -1;
        it = byExtension_.emplace(key, std::make_pair(image, ui::ContentTypeDescription(contentType))).first;
    }
    if (!row.link) type = it->second.second;
    return it->second.first;
}

void CBrovinView::ShowRows(std::vector<walk::Row> rows) {
    rows_ = std::move(rows);
    images_.resize(rows_.size());
    types_.resize(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) images_[i] = ImageFor(rows_[i], types_[i]);
    ClearSelectionStore();
    SetItemCount(static_cast<long>(rows_.size()));
    Refresh();
}

// Nothing stays selected across listings: a selection of the old rows would
// name other entries. Deselecting row by row is not enough: after a range
// selection over most rows (Shift+End) the virtual list records "selected" as
// its default state and keeps only the exceptions, so every row past the old
// count would come up selected. Emptying the list resets that default.
void CBrovinView::ClearSelectionStore() {
    DeleteAllItems();
}

wxString CBrovinView::OnGetItemText(long item, long column) const {
    if (item < 0 || static_cast<std::size_t>(item) >= rows_.size()) return wxString();
    const walk::Row& row = rows_[static_cast<std::size_t>(item)];
    switch (column) {
    case 0: return wxString::FromUTF8(walk::ShownName(row.name));
    case 1: return types_[static_cast<std::size_t>(item)];
    case 2: return row.directory ? wxString() : wxString::FromUTF8(walk::DateText(row.mtime));
    default: return wxString();
    }
}

int CBrovinView::OnGetItemImage(long item) const {
    if (item < 0 || static_cast<std::size_t>(item) >= images_.size()) return -1;
    return images_[static_cast<std::size_t>(item)];
}

bool CBrovinView::AnySelected() const { return GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) != -1; }

bool CBrovinView::OneSelected(long& index) const {
    long first = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (first == -1 || GetNextItem(first, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) != -1) return false;
    index = first;
    return true;
}

std::vector<RemoteItem> CBrovinView::SelectedItems() const {
    std::vector<RemoteItem> items;
    for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
         i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
        if (static_cast<std::size_t>(i) < rows_.size()) {
            const walk::Row& row = rows_[static_cast<std::size_t>(i)];
            items.push_back(RemoteItem{row.name, row.directory, row.link});
        }
    return items;
}

void CBrovinView::ShowProgress() {
    if (progress_) progress_->Destroy();
    auto walk = std::make_shared<WalkProgress>(this);
    walk_ = walk;
    progress_ = new CTransferDlg(frame_, [this, walk] {
        walk->Abort();
        EndProgress();
    });
    frame_->Enable(false);
    progress_->CentreOnParent();
    progress_->Show();
}

void CBrovinView::EndProgress() {
    if (progress_) {
        progress_->SetClosed();
        progress_->Destroy();
        progress_ = nullptr;
    }
    frame_->Enable(true);
}

void CBrovinView::RunWalk(std::function<Outcome(Progress&)> walk) {
    ShowProgress();
    std::shared_ptr<WalkProgress> progress = walk_;
    jobs_->Post([this, progress, walk] {
        std::string failure;
        if (!Live(&failure)) {
            progress->Status(IDS_TEXT, FormatString(IDS_CONNECTION_LOST, "", failure).utf8_string());
            return;  // as after a failure: the dialog keeps the text until the user presses abort
        }
        Outcome outcome = walk(*progress);
        if (outcome == Outcome::Failed) return;  // the dialog keeps the error until the user presses abort
        ListJob();
        if (outcome == Outcome::Completed)
            CallAfter([this, progress] {
                if (walk_ == progress && !progress->Aborted()) EndProgress();
            });
    });
}

void CBrovinView::QueueUpload(const std::vector<std::string>& paths) {
    if (!doc_->Connected() || paths.empty()) return;
    const std::string provider = doc_->providerName;
    const std::string key = UploadKeyName(doc_->root);
    if (WriteUploadHandOff(provider, key, paths) != winreg::ERROR_SUCCESS) return;
    RunWalk([this, provider, key](Progress& p) {
        return UploadWalk(doc_->Connection(), provider, key, p, UploadLogin(*doc_));
    });
}

void CBrovinView::EnterDirectory(const std::string& name) {
    if (!walk::SafeName(name)) {
        frame_->SetFrameStatus(IDS_UNSAFE_NAME, name);
        return;
    }
    jobs_->Post([this, name] {
        inet::FtpConnection* conn = Live();
        if (!conn) return;
        conn->SetCurrentDirectory(name);  // a failure is not reported: the listing shows where the server is
        doc_->RefreshCurrentDirectory();
        ListJob();
    });
}

// A link may lead to a folder or to a file, and only the server can tell:
// changing into it answers. A folder is entered (and its row shows a folder
// from then on); anything else is downloaded like a file.
void CBrovinView::OpenLink(const std::string& name) {
    if (!walk::SafeName(name)) {
        frame_->SetFrameStatus(IDS_UNSAFE_NAME, name);
        return;
    }
    const std::string from = doc_->currentDirectory;
    jobs_->Post([this, name, from] {
        inet::FtpConnection* conn = Live();
        if (!conn) return;
        if (conn->SetCurrentDirectory(name)) {
            CallAfter([this, key = walk::RemotePath::Parse(from).Child(name).Text()] { folderLinks_.insert(key); });
            doc_->RefreshCurrentDirectory();
            ListJob();
            return;
        }
        CallAfter([this] { RunCommand(ID_DOWNLOAD); });  // as a file's double-click: the selected rows
    });
}

void CBrovinView::MarkFolderLinks(const std::string& dir, std::vector<walk::Row>& rows) const {
    const walk::RemotePath here = walk::RemotePath::Parse(dir);
    for (auto& row : rows)
        if (row.link && folderLinks_.count(here.Child(row.name).Text())) row.directory = true;
    walk::OrderRows(rows);
}

void CBrovinView::Download(bool chooseTarget) {
    if (!AnySelected()) return;
    if (chooseTarget) {
        std::string folder;
        if (chooseFolder) {
            if (!chooseFolder(folder)) return;
        } else {
            wxDirDialog dialog(nullptr, ui::LoadString(IDS_CHOOSE_FOLDER), wxString(), wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
            if (dialog.ShowModal() != wxID_OK) return;
            folder = dialog.GetPath().utf8_string();
        }
        if (folder.empty()) return;
        downloadFolder_ = folder;
    } else {
        SettingKey option;
        option.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
        option.ReadPath(layout::kDownloadFolder, downloadFolder_);
        if (downloadFolder_.empty()) {
            // Never set: the documents folder, where the option sheet would have put it.
            char buffer[260] = {};
            if (GetSpecialFolder(5, buffer) == 0) downloadFolder_ = buffer;
        }
        if (downloadFolder_.empty()) return;
    }
    std::vector<RemoteItem> items = SelectedItems();
    std::string folder = downloadFolder_;
    RunWalk([this, items, folder](Progress& p) { return DownloadWalk(doc_->Connection(), items, folder, p); });
}

bool CBrovinView::AskName(int mode, wxString& name) {
    if (askName) return askName(mode, name);
    CNameDlg dialog(frame_, mode, name);
    if (dialog.ShowModal() != wxID_OK) return false;
    name = dialog.Result();
    return true;
}

void CBrovinView::RunCommand(int id) {
    frame_->Raise();
    if (!doc_->Connected()) return;
    switch (id) {
    case ID_UPLOAD: {
        std::vector<std::string> paths;
        if (chooseFiles) {
            if (!chooseFiles(paths)) return;
        } else {
            wxFileDialog dialog(frame_, wxString(), wxString(), wxString(), wxString::FromUTF8("全てのファイル(*.*)|*"),
                                wxFD_OPEN | wxFD_MULTIPLE | wxFD_FILE_MUST_EXIST);
            if (dialog.ShowModal() != wxID_OK) return;
            wxArrayString chosen;
            dialog.GetPaths(chosen);
            for (const auto& p : chosen) paths.push_back(p.utf8_string());
        }
        QueueUpload(paths);
        break;
    }
    case ID_DOWNLOAD: Download(false); break;
    case ID_DOWNLOAD_TO: Download(true); break;
    case ID_DELETE: {
        if (!AnySelected()) return;
        bool yes = confirmDelete ? confirmDelete() : ui::AskYesNo(frame_, ui::LoadString(IDS_CONFIRM_DELETE), "Brovin");
        if (!yes) return;
        std::vector<RemoteItem> items = SelectedItems();
        RunWalk([this, items](Progress& p) { return DeleteWalk(doc_->Connection(), items, p); });
        break;
    }
    case ID_MAKE_DIRECTORY: {
        wxString name;
        if (!AskName(0, name)) return;
        std::string dir = name.utf8_string();
        if (int problem = NameProblem(dir)) {
            frame_->SetFrameStatus(problem, dir);
            return;
        }
        frame_->SetFrameStatus(IDS_MAKING_DIRECTORY, dir);
        jobs_->Post([this, dir] { MakeDirectoryJob(dir); });
        break;
    }
    case ID_MOVE_UP:
        jobs_->Post([this] {
            inet::FtpConnection* conn = Live();
            if (!conn) return;
            doc_->currentDirectory = MoveUp(conn, doc_->currentDirectory);
            ListJob();
        });
        break;
    case ID_RENAME: {
        long index = -1;
        if (!OneSelected(index) || static_cast<std::size_t>(index) >= rows_.size()) return;
        // The server's own bytes go out as the old name; the dialog starts from the text the list shows.
        std::string oldName = rows_[static_cast<std::size_t>(index)].name;
        if (NameProblem(oldName)) {
            frame_->SetFrameStatus(IDS_NAME_UNSENDABLE, oldName);
            return;
        }
        const wxString shown = wxString::FromUTF8(walk::ShownName(oldName));
        wxString name = shown;
        if (!AskName(1, name)) return;
        // Unchanged, nothing is sent: the text shown for a name that is not UTF-8 is not its name.
        if (name == shown) return;
        std::string newName = name.utf8_string();
        if (int problem = NameProblem(newName)) {
            frame_->SetFrameStatus(problem, newName);
            return;
        }
        frame_->SetFrameStatus(IDS_RENAMING, newName);
        jobs_->Post([this, oldName, newName] {
            inet::FtpConnection* conn = Live();
            if (!conn) return;
            bool ok = conn->Rename(oldName, newName);
            // A new name the server's encoding cannot hold was never sent: nothing changed, and access was not denied.
            if (!ok && inet::GetLastInternetError() == inet::ERROR_NO_UNICODE_TRANSLATION) {
                Tell(IDS_TEXT, newName, ErrorText(inet::ERROR_NO_UNICODE_TRANSLATION));
                return;
            }
            CallAfter([this, ok, oldName] { frame_->SetFrameStatus(ok ? IDS_RENAMED : IDS_RENAME_DENIED, ok ? "" : oldName); });
            if (!ok) std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            ListJob();
        });
        break;
    }
    default: break;
    }
}

// On the job thread.
inet::FtpConnection* CBrovinView::Live(std::string* why) {
    std::string failure;
    inet::FtpConnection* conn = doc_->LiveConnection([this](int id, const std::string& arg) { Tell(id, arg); }, failure);
    if (!conn && doc_->Connected()) Tell(IDS_CONNECTION_LOST, "", failure);
    if (why) *why = failure;
    return conn;
}

void CBrovinView::Tell(int id, const std::string& arg, const std::string& reason) {
    CallAfter([this, id, arg, reason] { frame_->SetFrameStatus(id, arg, reason); });
}

// On the job thread. A refusal is told with the name and the server's reason,
// after the listing (which shows what the server holds now), so that it stays.
void CBrovinView::MakeDirectoryJob(const std::string& dir) {
    inet::FtpConnection* conn = Live();
    if (!conn) return;
    if (conn->CreateDirectory(dir)) {
        Tell(IDS_MADE, "");
        ListJob();
        return;
    }
    std::string reason = ErrorText(inet::GetLastInternetError());
    ListJob();
    Tell(IDS_MKDIR_FAILED, dir, reason);
}

void CBrovinView::OnActivated(wxListEvent& event) {
    long i = event.GetIndex();
    if (i < 0 || static_cast<std::size_t>(i) >= rows_.size() || !doc_->Connected()) return;
    const walk::Row& row = rows_[static_cast<std::size_t>(i)];
    if (row.link)
        OpenLink(row.name);
    else if (row.directory)
        EnterDirectory(row.name);
    else
        RunCommand(ID_DOWNLOAD);
}

void CBrovinView::OnRightDown(wxMouseEvent& event) {
    int flags = 0;
    long hit = HitTest(event.GetPosition(), flags);
    if (hit != -1 && !(GetItemState(hit, wxLIST_STATE_SELECTED) & wxLIST_STATE_SELECTED)) {
        for (long i = GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i != -1;
             i = GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
            SetItemState(i, 0, wxLIST_STATE_SELECTED);
        SetItemState(hit, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }
    PopupMenu(ContextMenu().get(), event.GetPosition());
}

std::unique_ptr<wxMenu> CBrovinView::ContextMenu() const {
    auto menu = std::make_unique<wxMenu>();
    long one = -1;
    for (const auto& item : kContextMenu) {
        if (!item.text) {
            menu->AppendSeparator();
            continue;
        }
        menu->Append(MenuId(item.id), wxString::FromUTF8(item.text));
        bool enable = item.needs == Needs::Connection ? doc_->Connected()
                      : item.needs == Needs::Selection ? AnySelected()
                                                      : OneSelected(one);
        menu->Enable(MenuId(item.id), enable);
    }
    return menu;
}

void CBrovinView::OnContextCommand(wxCommandEvent& event) { RunCommand(event.GetId() + kMenuIdOffset); }

void CBrovinView::OnKeyDown(wxKeyEvent& event) {
    // A key this handler acts on is used up here. Passed on, it came back: the
    // list's inner window hands each key to this control and then lets the
    // toolkit give it to this control's own window as well, so F2 opened a
    // second rename dialog once the first had closed.
    switch (event.GetKeyCode()) {
    case WXK_DELETE: RunCommand(ID_DELETE); return;
    case WXK_F2: RunCommand(ID_RENAME); return;
    case WXK_F5:
        if (doc_->Connected()) StartListing();
        return;
    default: event.Skip(); break;
    }
}

}  // namespace brovin
