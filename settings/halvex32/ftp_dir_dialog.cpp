#include "settings/halvex32/ftp_dir_dialog.h"

#include "common/ui/certificate_question.h"
#include "common/ui/image_button.h"
#include "common/ui/resources.h"
#include "common/ui/stock_images.h"
#include "common/walk/entry_connection.h"
#include "common/walk/remote_listing.h"
#include "common/walk/remote_picker.h"
#include "settings/halvex32/module.h"
#include "settings/provider.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/imaglist.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

using namespace halvex32;

const char* const kCaption = "FTPサーバディレクトリ構造";
const char* const kTemplateFace = "ＭＳ Ｐゴシック";
const char* const kExplanation =
    "FTPサーバのディレクトリ構造を表示しています。\n"
    "ディレクトリを選択したら[選択]ボタンをクリックして画面を閉じてください。\n"
    "ディレクトリ名をクリックすると、更に下位層のディレクトリを取得します。";

const char* const kFolderXpm[] = {
    "16 16 4 1",
    ". c None",
    "o c #8a6a20",
    "y c #e8c050",
    "l c #f4dc88",
    "................",
    "................",
    ".ooooo..........",
    "oyyyyyo.........",
    "oyyyyyyoooooooo.",
    "oyyyyyyyyyyyyyo.",
    "olllllllllllllo.",
    "oyyyyyyyyyyyyyo.",
    "oyyyyyyyyyyyyyo.",
    "oyyyyyyyyyyyyyo.",
    "oyyyyyyyyyyyyyo.",
    "oyyyyyyyyyyyyyo.",
    "oyyyyyyyyyyyyyo.",
    "ooooooooooooooo.",
    "................",
    "................"
};

const char* const kCheckXpm[] = {
    "16 16 3 1",
    ". c None",
    "g c #207a20",
    "k c #104010",
    "................",
    "................",
    "..............k.",
    ".............kg.",
    "............kgg.",
    "...........kgg..",
    "..........kgg...",
    ".k.......kgg....",
    ".gk.....kgg.....",
    ".ggk...kgg......",
    "..ggk.kgg.......",
    "...ggkgg........",
    "....ggg.........",
    ".....g..........",
    "................",
    "................"
};

const bool kRegistered = (Resources().RegisterStrings({
                              {IDS_FTPDIR_CONNECTING, "FTPサーバへ接続中です..."},
                              {IDS_FTPDIR_LISTING, "ディレクトリ情報取得中..."},
                              {IDS_FTPDIR_LIST_ERROR, "FTPサーバアクセス中にエラーが発生しました(エラーコード : %1)"},
                              {IDS_FTPDIR_LISTED, "ディレクトリ構造取得完了"},
                              {IDS_FTPDIR_CAPTION, "接続中のサーバ : %1"},
                              {IDS_FTPDIR_SELECT_TIP, "ディレクトリを選択してこの画面を閉じます。"},
                              {IDS_FTPDIR_CANCEL_TIP, "ディレクトリを選択しないでこの画面を閉じます。"},
                              {IDS_FTPDIR_EDIT_TIP, "現在選択されているディレクトリ名が表示されます。"},
                              {IDS_FTPDIR_TREE_TIP, "FTPサーバのディレクトリ構造が表示されています。"},
                              {IDS_FTPDIR_STATUS_TIP, "操作ログが表示されます。"},
                              {IDS_FTPDIR_EMPTY, "これ以上ファイルは存在しません。"},
                              {IDS_FTPDIR_UNTRUSTED, "サーバの証明書が信頼されなかったため、接続を中止しました。"},
                          }),
                          Resources().RegisterIcons({
                              {IDI_FTPDIR, "folder-remote", kFolderXpm},
                              {IDI_FTPDIR_CANCEL, "process-stop", ui::kStopXpm},
                              {IDI_FTPDIR_SELECT, "object-select", kCheckXpm},
                          }),
                          true);

wxString Utf8(const std::string& s) { return wxString::FromUTF8(s.data(), s.size()); }

// A tree item's directory as the server names it. The item's text only
// shows it: a name in another encoding or with control characters is
// written out there, and cannot be read back.
struct ServerPath : wxTreeItemData {
    explicit ServerPath(std::string p) : path(std::move(p)) {}
    std::string path;
};

wxString Format1(int id, const wxString& arg) {
    wxString text = LoadString(id);
    text.Replace("%1", arg);
    return text;
}

}  // namespace

// What the worker and the dialog share. The worker holds it, never the
// dialog: `dialog` is used only on the UI thread and only while `alive`,
// and the UI thread clears `alive` before the dialog goes away.
struct CFtpDirDialog::Shared {
    std::atomic<bool> alive{false};
    CFtpDirDialog* dialog = nullptr;
    walk::DirectoryPicker picker;  // its calls run on the worker; Stop comes from the UI thread
    std::atomic<int> listings{0};

    std::mutex mu;
    std::condition_variable cv;
    bool running = false;
    // The certificate of a login that failed its verification, for the
    // question the UI thread asks once the worker has ended.
    std::optional<inet::CertificateInfo> certificate;

    void Post(std::function<void(CFtpDirDialog&)> f, const std::shared_ptr<Shared>& self) {
        if (!alive || !wxTheApp) return;
        wxTheApp->CallAfter([self, f = std::move(f)] {
            if (self->alive && self->dialog) f(*self->dialog);
        });
    }
};

CFtpDirDialog::CFtpDirDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(kCaption), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      shared_(std::make_shared<Shared>()) {
    (void)kRegistered;
    shared_->dialog = this;
    SetFont(ui::DialogFont(wxString::FromUTF8(kTemplateFace), 9));
    BuildControls();

    Bind(wxEVT_SHOW, &CFtpDirDialog::OnShow, this);
    Bind(wxEVT_TREE_SEL_CHANGED, &CFtpDirDialog::OnSelChanged, this);
    Bind(wxEVT_BUTTON, &CFtpDirDialog::OnSelect, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CFtpDirDialog::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CLOSE_WINDOW, &CFtpDirDialog::OnClose, this);
    // A text the user types is returned as typed; a tree item's text stands for the item's directory.
    edit_->Bind(wxEVT_TEXT, [this](wxCommandEvent& e) {
        chosen_.reset();
        e.Skip();
    });
}

CFtpDirDialog::~CFtpDirDialog() {
    StopWorker();
    shared_->dialog = nullptr;
}

void CFtpDirDialog::BuildControls() {
    auto* top = new wxBoxSizer(wxVERTICAL);

    auto* intro = new wxBoxSizer(wxHORIZONTAL);
    wxBitmap icon = LoadBitmap(IDI_FTPDIR, 32);
    intro->Add(new wxStaticBitmap(this, wxID_ANY, icon.IsOk() ? icon : wxBitmap(32, 32)), 0, wxRIGHT, 8);
    intro->Add(new wxStaticText(this, wxID_ANY, wxString::FromUTF8(kExplanation)), 1, wxALIGN_CENTER_VERTICAL);
    top->Add(intro, 0, wxALL | wxEXPAND, 8);

    wxRect r = ui::DialogRect(this, 0, 0, 260, 130);
    tree_ = new wxTreeCtrl(this, wxID_ANY, wxDefaultPosition, r.GetSize(),
                           wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_SINGLE | wxBORDER_SUNKEN);
    tree_->SetToolTip(LoadString(IDS_FTPDIR_TREE_TIP));
    auto* images = new wxImageList(16, 16, true, 6);
    wxBitmap folder = wxArtProvider::GetBitmap(wxART_FOLDER, wxART_OTHER, wxSize(16, 16));
    images->Add(folder.IsOk() ? folder : wxBitmap(wxImage(kFolderXpm)));
    tree_->AssignImageList(images);
    top->Add(tree_, 1, wxLEFT | wxRIGHT | wxEXPAND, 8);

    auto* chosen = new wxBoxSizer(wxHORIZONTAL);
    chosen->Add(new wxStaticText(this, wxID_ANY, wxString::FromUTF8("選択されたディレクトリ : ")), 0,
                wxALIGN_CENTER_VERTICAL);
    edit_ = new wxTextCtrl(this, wxID_ANY);
    edit_->SetMaxLength(256);
    edit_->SetToolTip(LoadString(IDS_FTPDIR_EDIT_TIP));
    chosen->Add(edit_, 1, wxALIGN_CENTER_VERTICAL);
    top->Add(chosen, 0, wxALL | wxEXPAND, 8);

    // GTK draws no border around a label: the sunken frame is a panel's.
    auto* frame = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_SUNKEN);
    status_ = new wxStaticText(frame, wxID_ANY, wxString());
    status_->SetToolTip(LoadString(IDS_FTPDIR_STATUS_TIP));
    frame->SetToolTip(LoadString(IDS_FTPDIR_STATUS_TIP));
    auto* frameSizer = new wxBoxSizer(wxHORIZONTAL);
    frameSizer->Add(status_, 1, wxALL | wxEXPAND, 3);
    frame->SetSizer(frameSizer);
    frame->SetMinSize(wxSize(-1, GetCharHeight() * 3 + 6));  // room for a wrapped error text
    top->Add(frame, 0, wxLEFT | wxRIGHT | wxEXPAND, 8);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    wxSize buttonSize = ui::DialogRect(this, 0, 0, 70, 20).GetSize();
    select_ = new CImageButton(this, wxID_OK, wxString::FromUTF8("選択(&S)"), wxDefaultPosition, buttonSize,
                               CImageButton::kDefaultPushButton);
    select_->SetIconBitmaps(LoadBitmap(IDI_FTPDIR_SELECT));
    select_->SetTooltipText(LoadString(IDS_FTPDIR_SELECT_TIP));
    cancel_ = new CImageButton(this, wxID_CANCEL, wxString::FromUTF8("キャンセル(&C)"), wxDefaultPosition, buttonSize);
    cancel_->SetIconBitmaps(LoadBitmap(IDI_FTPDIR_CANCEL));
    cancel_->SetTooltipText(LoadString(IDS_FTPDIR_CANCEL_TIP));
    buttons->AddStretchSpacer();
    buttons->Add(select_, 0, wxRIGHT, 8);
    buttons->Add(cancel_, 0);
    top->Add(buttons, 0, wxALL | wxEXPAND, 8);

    SetSizerAndFit(top);
    status_->Wrap(status_->GetParent()->GetClientSize().x - 6);
}

void CFtpDirDialog::SetConnection(const std::string& server, const std::string& user, const std::string& password,
                                  int port) {
    server_ = server;
    user_ = user;
    password_ = password;
    port_ = port;
}

int CFtpDirDialog::ShowModal() {
    int code = wxDialog::ShowModal();
    StopWorker();
    return code;
}

wxWindow* CFtpDirDialog::SelectButton() const { return select_; }

wxWindow* CFtpDirDialog::CancelButton() const { return cancel_; }

int CFtpDirDialog::ListingsRequested() const { return shared_->listings; }

bool CFtpDirDialog::WorkerRunning() const {
    std::lock_guard<std::mutex> lock(shared_->mu);
    return shared_->running;
}

void CFtpDirDialog::SetStatus(const wxString& text) {
    status_->SetLabel(text);
    status_->Wrap(status_->GetParent()->GetClientSize().x - 6);
}

bool CFtpDirDialog::StartWorker(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(shared_->mu);
        if (shared_->running) return false;
        shared_->running = true;
    }
    if (worker_.joinable()) worker_.join();  // the previous job has ended: only its thread is left
    SetCursor(wxCursor(wxCURSOR_WAIT));
    std::shared_ptr<Shared> shared = shared_;
    worker_ = std::thread([shared, job = std::move(job)] {
        job();
        {
            std::lock_guard<std::mutex> lock(shared->mu);
            shared->running = false;
            shared->cv.notify_all();
        }
        // Posted after the flag is down, so that what follows may start the next worker.
        shared->Post([](CFtpDirDialog& d) { d.AfterWorker(); }, shared);
    });
    return true;
}

void CFtpDirDialog::AfterWorker() {
    if (WorkerRunning()) return;  // a later worker is under way: its own end comes
    SetCursor(wxNullCursor);
    std::optional<inet::CertificateInfo> cert;
    {
        std::lock_guard<std::mutex> lock(shared_->mu);
        cert.swap(shared_->certificate);
    }
    if (!cert) return;
    // A certificate without a fingerprint cannot be remembered: trusting it would only ask again.
    if (!ui::AskTrustCertificate(this, server_, *cert, security_) || cert->sha256.empty()) {
        SetStatus(LoadString(IDS_FTPDIR_UNTRUSTED));
        return;
    }
    trusted_ = cert->sha256;
    security_.trustedFingerprints = {trusted_};
    if (shared_->alive) StartLogin();
}

void CFtpDirDialog::StopWorker() {
    // Clearing the flag first: whatever the worker still posts is dropped.
    shared_->alive = false;
    // A call blocked in a lookup, connect, login or listing fails at once,
    // so the worker ends within moments.
    shared_->picker.Stop();
    if (!worker_.joinable()) return;
    std::unique_lock<std::mutex> lock(shared_->mu);
    bool ended = shared_->cv.wait_for(lock, std::chrono::seconds(1), [this] { return !shared_->running; });
    lock.unlock();
    // A worker that has not ended holds the shared state, never the dialog.
    if (ended)
        worker_.join();
    else
        worker_.detach();
    SetCursor(wxNullCursor);
}

void CFtpDirDialog::SetSecurity(int encryption, const std::string& trustedCertificate) {
    static_assert(static_cast<int>(inet::Encryption::IfOffered) == settings::kEncryptionIfOffered &&
                  static_cast<int>(inet::Encryption::Required) == settings::kEncryptionRequired);
    security_.encryption =
        static_cast<inet::Encryption>(settings::EncryptionFromStore(static_cast<std::uint32_t>(encryption)));
    security_.trustedFingerprints.clear();
    if (!trustedCertificate.empty()) security_.trustedFingerprints.push_back(trustedCertificate);
}

void CFtpDirDialog::SetNameEncoding(int nameEncoding) {
    names_ = walk::NameEncodingOf(static_cast<std::uint32_t>(nameEncoding));
}

void CFtpDirDialog::OnShow(wxShowEvent& event) {
    event.Skip();
    if (!event.IsShown() || started_) return;
    started_ = true;
    shared_->alive = true;
    StartLogin();
}

void CFtpDirDialog::StartLogin() {
    SetStatus(LoadString(IDS_FTPDIR_CONNECTING));
    std::shared_ptr<Shared> shared = shared_;
    std::string server = server_, user = user_, password = password_;
    int port = port_;
    inet::Security security = security_;
    inet::NameEncoding names = names_;
    StartWorker([shared, server, user, password, port, security, names] {
        auto post = [&shared](std::function<void(CFtpDirDialog&)> f) { shared->Post(std::move(f), shared); };
        try {
            shared->picker.Login(server, user, password, port, security, names);
            post([](CFtpDirDialog& d) { d.SetStatus(LoadString(IDS_FTPDIR_LISTING)); });
            std::string login = shared->alive ? shared->picker.LoginDirectory() : std::string();
            if (shared->alive) {
                shared->listings++;
                auto listing = std::make_shared<walk::FolderListing>(shared->picker.ListFolders(login));
                post([login, listing](CFtpDirDialog& d) {
                    d.loginDir_ = login;
                    wxTreeItemId root = d.tree_->AddRoot("/", 0);
                    // GTK's tree highlights a new root by itself, without a selection event: a
                    // click on "/" would then do nothing.
                    d.tree_->UnselectAll();
                    d.listed_.insert(root.GetID());
                    // The first listing leaves the root collapsed.
                    d.ShowListing(root, *listing, false);
                    if (listing->ok) d.SetStatus(wxString());
                });
            }
        } catch (const inet::InternetException& e) {
            std::string text = e.ErrorMessage().substr(0, 260);
            post([text](CFtpDirDialog& d) { d.SetStatus(Utf8(text)); });
            // The question is a window: asked on the UI thread once this worker has ended.
            if (e.Code() == inet::ERROR_INTERNET_INVALID_CA) {
                std::lock_guard<std::mutex> lock(shared->mu);
                shared->certificate = inet::GetLastCertificate();
            }
        }
        post([server](CFtpDirDialog& d) { d.SetTitle(Format1(IDS_FTPDIR_CAPTION, Utf8(server))); });
    });
}

void CFtpDirDialog::ListOnWorker(wxTreeItemId parent, const std::string& path) {
    std::shared_ptr<Shared> shared = shared_;
    bool started = StartWorker([shared, parent, path] {
        if (!shared->picker.LoggedIn() || !shared->alive) return;
        shared->listings++;
        auto listing = std::make_shared<walk::FolderListing>(shared->picker.ListFolders(path));
        shared->Post([parent, listing](CFtpDirDialog& d) { d.ShowListing(parent, *listing, true); }, shared);
    });
    if (!started) return;  // a listing is still under way; a later click asks again
    listed_.insert(parent.GetID());
    SetStatus(LoadString(IDS_FTPDIR_LISTING));
}

void CFtpDirDialog::ShowListing(wxTreeItemId parent, const walk::FolderListing& listing, bool expand) {
    if (!listing.ok) {
        if (listing.error == inet::ERROR_NO_MORE_FILES) {
            SetStatus(LoadString(IDS_FTPDIR_EMPTY));
        } else {
            listed_.erase(parent.GetID());  // a failed listing may be tried again
            SetStatus(Format1(IDS_FTPDIR_LIST_ERROR, wxString::Format("%d", static_cast<int>(listing.error))));
        }
        return;
    }
    if (!listing.folders.empty()) {
        tree_->Freeze();
        for (const std::string& dir : listing.folders)
            tree_->AppendItem(parent, Utf8(walk::ShownName(dir)), 0, -1, new ServerPath(dir));
        tree_->Thaw();
    }
    if (expand) tree_->Expand(parent);
    SetStatus(LoadString(IDS_FTPDIR_LISTED));
}

void CFtpDirDialog::OnSelChanged(wxTreeEvent& event) {
    wxTreeItemId item = event.GetItem();
    if (!item.IsOk()) return;
    // The root stands for the login directory, which is what it lists, and
    // which the walkers reach with an empty directory.
    auto* data = static_cast<ServerPath*>(tree_->GetItemData(item));
    std::string path = data ? data->path : loginDir_;
    if (listed_.count(item.GetID())) {
        tree_->Expand(item);
        SetStatus(wxString());
    } else if (shared_->alive) {
        ListOnWorker(item, path);
    }
    edit_->ChangeValue(tree_->GetItemText(item));
    chosen_ = data ? path : std::string();
}

void CFtpDirDialog::Finish(int code) {
    StopWorker();
    if (code == kSelected) {
        result_ = chosen_ ? *chosen_ : std::string(edit_->GetValue().utf8_str());
    } else {
        result_.clear();
    }
    if (IsModal())
        EndModal(code);
    else
        Hide();
}

void CFtpDirDialog::OnSelect(wxCommandEvent&) { Finish(kSelected); }

void CFtpDirDialog::OnCancel(wxCommandEvent&) { Finish(kCancelled); }

void CFtpDirDialog::OnClose(wxCloseEvent&) { Finish(kCancelled); }

void PARVEX_ShowFtpDir(const char* server, const char* user, const char* password, int port) {
    CFtpDirDialog dialog(nullptr);
    dialog.SetConnection(server ? server : "", user ? user : "", password ? password : "", port);
    dialog.ShowModal();
}
