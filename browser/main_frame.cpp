#include "browser/main_frame.h"

#include "browser/resources.h"
#include "browser/view.h"
#include "common/ui/help.h"
#include "common/ui/outbar.h"
#include "common/ui/resources.h"
#include "platform/os/os.h"

#include <gio/gio.h>
#include <wx/display.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>
#include <wx/process.h>
#include <wx/utils.h>
#include <wx/weakref.h>

namespace brovin {

namespace {

// The command bar's items: caption, icon, command.
struct BarItem {
    int caption;
    int icon;
    int command;
};
const BarItem kBarItems[] = {
    {IDS_BAR_MOVE_UP, IDI_MOVE_UP, ID_MOVE_UP},
    {IDS_BAR_UPLOAD, IDI_UPLOAD, ID_UPLOAD},
    {IDS_BAR_DOWNLOAD, IDI_DOWNLOAD, ID_DOWNLOAD},
    {IDS_BAR_DOWNLOAD_TO, IDI_DOWNLOAD_TO, ID_DOWNLOAD_TO},
    {IDS_BAR_MAKE_DIRECTORY, IDI_MAKE_DIRECTORY, ID_MAKE_DIRECTORY},
    {IDS_BAR_RENAME, IDI_RENAME, ID_RENAME},
    {IDS_BAR_DELETE, IDI_DELETE, ID_DELETE},
};

wxMenuBar* MainMenu() {
    auto* bar = new wxMenuBar;
    auto* file = new wxMenu;
    file->Append(wxID_EXIT, wxString::FromUTF8("Brovinの終了(&X)"), wxString::FromUTF8("Brovinを終了します。"));
    bar->Append(file, wxString::FromUTF8("ファイル(&F)"));
    auto* dir = new wxMenu;
    dir->Append(MenuId(ID_MOVE_UP), wxString::FromUTF8("上位へ移動(&P)..."), wxString::FromUTF8("上位のディレクトリへ移動します。"));
    dir->AppendSeparator();
    dir->Append(MenuId(ID_UPLOAD), wxString::FromUTF8("アップロード(&U)..."), wxString::FromUTF8("ファイルをアップロードします。"));
    dir->Append(MenuId(ID_DOWNLOAD), wxString::FromUTF8("ダウンロード(&D)..."),
                wxString::FromUTF8("ファイルをPARVEX標準フォルダへダウンロードします。"));
    dir->Append(MenuId(ID_DOWNLOAD_TO), wxString::FromUTF8("指定先へダウンロード(&F)..."),
                wxString::FromUTF8("ファイルを指定されたフォルダへダウンロードします。"));
    dir->AppendSeparator();
    dir->Append(MenuId(ID_MAKE_DIRECTORY), wxString::FromUTF8("ディレクトリ作成(&M)..."),
                wxString::FromUTF8("サーバへディレクトリを作成します。"));
    dir->AppendSeparator();
    dir->Append(MenuId(ID_RENAME), wxString::FromUTF8("名前変更(&N)..."), wxString::FromUTF8("ディレクトリ名やファイル名を変更します。"));
    dir->AppendSeparator();
    dir->Append(MenuId(ID_DELETE), wxString::FromUTF8("削除(&R)"), wxString::FromUTF8("ファイルやディレクトリを削除します。"));
    bar->Append(dir, wxString::FromUTF8("ディレクトリ操作"));
    auto* help = new wxMenu;
    help->Append(MenuId(ID_HELP_INDEX), wxString::FromUTF8("ヘルプ(&H)"), wxString::FromUTF8("Brovinのヘルプを起動します。"));
    bar->Append(help, wxString::FromUTF8("ヘルプ(&H)"));
    return bar;
}

wxSize HalfScreen() {
    wxRect screen = wxDisplay(0u).GetClientArea();
    return wxSize(screen.width / 2, screen.height / 2);
}

}  // namespace

CMainFrame::CMainFrame(std::unique_ptr<CBrovinDoc> doc)
    : wxFrame(nullptr, wxID_ANY, ui::LoadString(IDS_APP_TITLE), wxDefaultPosition, HalfScreen()), doc_(std::move(doc)) {
    wxIcon icon = ui::LoadIcon(IDR_MAINFRAME);
    if (icon.IsOk()) SetIcon(icon);
    SetMenuBar(MainMenu());
    // The message pane, and one for the connection's encryption (sized when it is told).
    CreateStatusBar(2);
    SetEncryptionStatus("");
    SetSizeHints(HalfScreen());

    splitter_ = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_NOBORDER | wxSP_LIVE_UPDATE);
    splitter_->SetMinimumPaneSize(1);
    bar_ = new CGfxOutBarCtrl;
    bar_->CreateBar(0, wxRect(), splitter_, wxID_ANY, 0x1FC);
    for (const auto& item : kBarItems) {
        wxBitmap bmp = ui::LoadBitmap(item.icon, 32);
        if (!bmp.IsOk()) bmp = wxBitmap(32, 32);
        largeIcons_.Add(bmp);
    }
    bar_->AssignImageList(&largeIcons_, CGfxOutBarCtrl::kLargeImageList);
    bar_->animationStepDelay = 5;
    bar_->AppendFolder(wxString(), 0);
    bar_->AppendFolder(wxString(), 1);
    int image = 0;
    for (const auto& item : kBarItems) bar_->InsertFolderItem(0, -1, ui::LoadString(item.caption), image++, 0);
    bar_->SelectFolder(0);
    bar_->Bind(EVT_OUTBAR_NOTIFY, &CMainFrame::OnBarNotify, this);

    view_ = new CBrovinView(splitter_, this, doc_.get(), &jobs_);
    splitter_->SplitVertically(bar_, view_, 150);

    // Every command goes to the view's dispatcher.
    Bind(wxEVT_MENU, [this](wxCommandEvent& e) { view_->RunCommand(e.GetId() + kMenuIdOffset); }, MenuId(ID_UPLOAD),
         MenuId(ID_DOWNLOAD_TO));
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnHelp(); }, MenuId(ID_HELP_INDEX));
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, wxID_EXIT);
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) {
        long one = -1;
        switch (e.GetId() + kMenuIdOffset) {
        case ID_MOVE_UP:
        case ID_UPLOAD:
        case ID_MAKE_DIRECTORY: e.Enable(doc_->Connected()); break;
        case ID_RENAME: e.Enable(doc_->Connected() && view_->OneSelected(one)); break;
        default: e.Enable(doc_->Connected() && view_->AnySelected()); break;
        }
    }, MenuId(ID_UPLOAD), MenuId(ID_DOWNLOAD_TO));
    Bind(wxEVT_SHOW, [this](wxShowEvent& e) {
        e.Skip();
        if (e.IsShown()) {
            Raise();
            shown_ = true;
        }
    });
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
}

CMainFrame::~CMainFrame() { Stop(); }

void CMainFrame::Stop() {
    // A job blocked on the network returns at once when the session closes; one waiting
    // for an answer from this window is woken. Then nothing posts to the windows any more.
    if (view_) view_->Shutdown();
    doc_->CloseSession();
    jobs_.Stop();
}

void CMainFrame::OnClose(wxCloseEvent& event) {
    Stop();
    event.Skip();
}

void CMainFrame::SetFrameStatus(int id, const std::string& arg) { SetStatusText(FormatString(id, arg), 0); }

void CMainFrame::SetFrameStatus(int id, const std::string& arg, const std::string& reason) {
    SetStatusText(FormatString(id, arg, reason), 0);
}

wxString CMainFrame::StatusText() const { return GetStatusBar()->GetStatusText(0); }

void CMainFrame::SetEncryptionStatus(const std::string& state) {
    // kNotEncrypted says it all; a version needs the word that says what it is.
    const wxString text =
        wxString::FromUTF8(state.empty() || state == walk::kNotEncrypted ? state : "暗号化: " + state);
    // As wide as the text, with room for the field's borders and the size grip beside it.
    const int widths[] = {-1, GetStatusBar()->GetTextExtent(text).x + FromDIP(text.empty() ? 20 : 44)};
    SetStatusWidths(2, widths);
    SetStatusText(text, 1);
}

wxString CMainFrame::EncryptionText() const { return GetStatusBar()->GetStatusText(1); }

void CMainFrame::OnBarNotify(COutBarEvent& event) {
    if (!shown_ || event.Code() == COutBarEvent::kFolderChanged) return;
    int value = event.Value();
    if (value >= 0 && value < static_cast<int>(std::size(kBarItems))) view_->RunCommand(kBarItems[value].command);
}

void CMainFrame::OnHelp() {
    std::string path = ui::HelpPath();
    if (!os::Exists(path)) {
        SetFrameStatus(IDS_HELP_MISSING, path);
        return;
    }
    if (!(openHelp ? openHelp(path) : OpenHelpPage(path))) SetFrameStatus(IDS_HELP_NO_BROWSER, path);
}

namespace {

// xdg-open started for the help page: it may still find no browser, and
// says so only by its exit status, after the command has returned.
class HelpOpener : public wxProcess {
public:
    HelpOpener(CMainFrame* frame, std::string path) : frame_(frame), path_(std::move(path)) {}
    void OnTerminate(int, int status) override {
        if (status != 0 && frame_) frame_->SetFrameStatus(IDS_HELP_NO_BROWSER, path_);
        delete this;
    }

private:
    wxWeakRef<CMainFrame> frame_;
    std::string path_;
};

}  // namespace

bool CMainFrame::OpenHelpPage(const std::string& path) {
    const wxString url = "file://" + wxString::FromUTF8(path);
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(url.utf8_str(), nullptr, &error)) return true;
    if (error) g_error_free(error);
    // The page goes as one argument: no shell ever reads it.
    const wxString program = "xdg-open";
    const wchar_t* argv[] = {program.wc_str(), url.wc_str(), nullptr};
    auto* opener = new HelpOpener(this, path);
    wxLogNull quiet;
    if (wxExecute(argv, wxEXEC_ASYNC, opener) > 0) return true;
    delete opener;
    return false;
}

}  // namespace brovin
