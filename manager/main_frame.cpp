#include "manager/main_frame.h"

#include "common/registry/layout.h"
#include "common/walk/entry_connection.h"
#include "common/ui/help.h"
#include "common/ui/outbar.h"
#include "common/ui/resources.h"
#include "manager/about.h"
#include "manager/con_info.h"
#include "manager/provider_view.h"
#include "manager/resources.h"
#include "platform/os/os.h"
#include "platform/keyring/keyring.h"
#include "settings/halvex32/halvex32.h"
#include "settings/passwords.h"
#include "settings/provider.h"
#include "tesvar/tesvar.h"

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>

#include <algorithm>

using namespace morvane;

namespace {

wxString U(const char* s) { return wxString::FromUTF8(s); }

// The first widths of the command bar and the tree panes.
constexpr int kBarWidth = 100, kTreeWidth = 200;

// The label before any provider is chosen, and after the chosen one is deleted.
const char* const kInitialLabel = "プロバイダ名 - Parvex ROOT";

wxMenuBar* MainMenu() {
    auto* bar = new wxMenuBar;
    auto* file = new wxMenu;
    file->Append(ID_APP_EXIT, U("Parvexプロバイダ設定終了(&X)"), U("アプリケーションを終了します。"));
    bar->Append(file, U("ファイル(&F)"));
    auto* edit = new wxMenu;
    edit->Append(ID_PROVIDER_ADD, U("プロバイダ追加(&P)..."), U("プロバイダを追加します。"));
    edit->Append(ID_PROVIDER_PROPERTIES, U("プロバイダプロパティ(&E)..."), U("プロバイダのプロパティを表示します。"));
    edit->Append(ID_PROVIDER_DELETE, U("プロバイダ削除(&D)"), U("プロバイダを削除します。"));
    bar->Append(edit, U("編集(&E)"));
    auto* view = new wxMenu;
    view->AppendCheckItem(ID_VIEW_STATUS_BAR, U("ステータスバー(&S)"),
                          U("ステータスバーの表示/非表示を切り替えます。"));
    bar->Append(view, U("表示(&V)"));
    auto* tools = new wxMenu;
    tools->Append(ID_READ_DEFINES, U("FTP定義ファイル読込(&R)..."), U("FTP定義ファイルから複数プロバイダ設定を行います。"));
    tools->Append(ID_CODE_CONVERT, U("文字コード変換(&C)..."), U("ファイルの文字コードを変換します。"));
    tools->AppendSeparator();
    tools->Append(ID_OPTION, U("オプション(&O)"), U("オプションを設定します。"));
    bar->Append(tools, U("ツール(&T)"));
    auto* help = new wxMenu;
    help->Append(ID_HELP_INDEX, U("ヘルプ(&H)"), U("ヘルプを表示します。"));
    help->AppendSeparator();
    help->Append(ID_APP_ABOUT, U("バージョン情報(&A)..."), U("バージョン情報を表示します。"));
    bar->Append(help, U("ヘルプ(&H)"));
    return bar;
}

// A path as one word of a command line: quoted when it holds a blank, since
// the readers split command lines at blanks outside double quotes.
std::string CommandWord(const std::string& path) {
    return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

}  // namespace

wxSize CMainFrame::FixedSize() {
    const wxRect screen = wxDisplay(0u).GetGeometry();
    return wxSize(screen.width / 2 + 100, screen.height / 2);
}

CMainFrame::CMainFrame(std::string installDir)
    : wxFrame(nullptr, wxID_ANY, ui::LoadString(IDS_APP_TITLE), wxDefaultPosition, FixedSize(),
              wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX)),
      installDir_(installDir.empty() ? os::ExecutableDirectory() : std::move(installDir)) {
    wxIcon icon = ui::LoadIcon(IDR_MAINFRAME);
    if (icon.IsOk()) SetIcon(icon);
    SetMenuBar(MainMenu());
    CreateStatusBar(1);
    SetStatusText(ui::LoadString(IDS_IDLE));
    CreatePanes();
    // The same minimum and maximum: dragging a border changes nothing.
    const wxSize size = WidenedSize();
    SetSizeHints(size, size);
    SetSize(size);

    Bind(wxEVT_MENU, [this](wxCommandEvent&) { Close(); }, ID_APP_EXIT);
    // The Edit menu posts the same command the command bar sends.
    for (int c = 0; c < 3; ++c)
        Bind(wxEVT_MENU, [this, c](wxCommandEvent&) { CallAfter([this, c] { ProviderCommand(0, c); }); },
             ID_PROVIDER_ADD + c);
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Enable(!list_->CurrentProvider().empty()); },
         ID_PROVIDER_PROPERTIES);
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) {
        e.Enable(!list_->CurrentProvider().empty() || !list_->ChosenProvider().empty());
    }, ID_PROVIDER_DELETE);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) {
        GetStatusBar()->Show(!GetStatusBar()->IsShown());
        SendSizeEvent();
    }, ID_VIEW_STATUS_BAR);
    Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Check(GetStatusBar()->IsShown()); }, ID_VIEW_STATUS_BAR);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) {
        if (PARVEX_ReadServerDefines() == 1) tree_->Rebuild();
    }, ID_READ_DEFINES);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) {
        CCodeConvertDlg dlg(this, conversions_);
        dlg.ShowModal();
    }, ID_CODE_CONVERT);
    Bind(wxEVT_MENU, [](wxCommandEvent&) { PARVEX_ShowOption(); }, ID_OPTION);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnHelp(); }, ID_HELP_INDEX);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnAbout(); }, ID_APP_ABOUT);
    Bind(EVT_OUTBAR_NOTIFY, &CMainFrame::OnBarNotify, this);
    Bind(wxEVT_SHOW, [this](wxShowEvent& e) {
        e.Skip();
        shown_ = e.IsShown();
        // After the show is done, so that the main window is on the screen
        // behind the first-run wizard.
        if (shown_) CallAfter([this] {
            CheckFirstRun();
            StartPasswordMove();
        });
    });
}

CMainFrame::~CMainFrame() {
    // What it posts dies with this handler; the store must not be written after we are gone.
    // The passwords not offered to the keyring yet stay in the file until the next start.
    passwordMoveStop_ = true;
    if (passwordMove_.joinable()) passwordMove_.join();
    // The conversions end before the windows that hear of them.
    conversions_.SetListener({});
    conversions_.WaitAll();
    // The child windows outlive this object's members by a little (wx destroys
    // them from its own destructor) and may still paint: they must not reach
    // the image lists that die with the members.
    DestroyChildren();
}

void CMainFrame::CreatePanes() {
    auto* top = new wxBoxSizer(wxVERTICAL);
    // The label band: the provider chosen in the tree, in large underlined type.
    auto* band = new wxPanel(this, IDR_MAINFRAME);
    auto* bandSizer = new wxBoxSizer(wxHORIZONTAL);
    wxBitmap bmp = ui::LoadBitmap(IDB_LABEL, 16);
    if (bmp.IsOk())
        bandSizer->Add(new wxStaticBitmap(band, wxID_ANY, bmp, wxDefaultPosition, wxDefaultSize, wxBORDER_SUNKEN), 0,
                       wxALL | wxALIGN_CENTER_VERTICAL, 4);
    label_ = new wxStaticText(band, IDC_LABEL, U(kInitialLabel));
    wxFont font = ui::DialogFont(U("ＭＳ Ｐゴシック"), 12);
    font.SetWeight(wxFONTWEIGHT_BOLD);
    font.SetUnderlined(true);
    label_->SetFont(font);
    bandSizer->Add(label_, 1, wxALL | wxALIGN_CENTER_VERTICAL, 4);
    band->SetSizer(bandSizer);
    top->Add(band, 0, wxEXPAND);

    // An etched line over an 8-pixel gap in the button face colour.
    auto* gap = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxSize(-1, 8));
    gap->Bind(wxEVT_PAINT, [gap](wxPaintEvent&) {
        wxPaintDC dc(gap);
        const int w = gap->GetClientSize().x;
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
        dc.DrawLine(0, 0, w, 0);
        dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT)));
        dc.DrawLine(0, 1, w, 1);
    });
    top->Add(gap, 0, wxEXPAND);

    // Three panes from two splitters: the command bar, then the tree beside the list.
    const long splitStyle = wxSP_LIVE_UPDATE | wxSP_NOBORDER | wxSP_3DSASH;
    splitter_ = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, splitStyle);
    inner_ = new wxSplitterWindow(splitter_, wxID_ANY, wxDefaultPosition, wxDefaultSize, splitStyle);
    for (auto* s : {splitter_, inner_}) {
        s->SetMinimumPaneSize(0);
        s->SetSashGravity(0.0);
    }
    CreateBar();
    tree_ = new CProvider(inner_, this);
    list_ = new CConInfo(inner_);
    inner_->SplitVertically(tree_, list_, kTreeWidth);
    splitter_->SplitVertically(bar_, inner_, kBarWidth);
    top->Add(splitter_, 1, wxEXPAND);
    SetSizer(top);
    Layout();

    // At start the list shows the tree's first provider, its first entry current.
    list_->Fill(tree_->FirstProvider(), tree_->FirstMenuName());
}

void CMainFrame::CreateBar() {
    bar_ = new CGfxOutBarCtrl;
    bar_->CreateBar(0, wxRect(), splitter_, wxID_ANY, 0x1FC);
    for (int id : {IDI_BAR_ADD, IDI_BAR_PROPERTIES, IDI_BAR_DELETE, IDI_BAR_OPTION}) {
        wxBitmap bmp = ui::LoadBitmap(id, 32);
        barImages_.Add(bmp.IsOk() ? bmp : wxBitmap(32, 32));
    }
    bar_->AssignImageList(&barImages_, CGfxOutBarCtrl::kLargeImageList);
    bar_->animationStepDelay = 5;
    bar_->AppendFolder(ui::LoadString(IDS_BAR_FOLDER));
    bar_->AppendFolder(wxString());
    const int items[] = {IDS_BAR_ADD, IDS_BAR_PROPERTIES, IDS_BAR_DELETE, IDS_BAR_OPTION};
    for (int k = 0; k < 4; ++k) bar_->InsertFolderItem(0, k, ui::LoadString(items[k]), k);
    bar_->SelectFolder(0);
}

wxSize CMainFrame::WidenedSize() const {
    wxSize size = FixedSize();
    // The list pane is what the client area leaves beside the command bar and
    // the tree; in a wide desktop font its columns need more than that.
    int columns = 0;
    for (int col = 0; col < list_->GetColumnCount(); ++col) columns += list_->GetColumnWidth(col);
    const int needed = columns + list_->GetWindowBorderSize().x + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, list_);
    const int pane = size.x - (GetSize().x - GetClientSize().x) - kBarWidth - kTreeWidth - 2 * splitter_->GetSashSize();
    if (needed > pane) size.x = std::min(size.x + needed - pane, wxDisplay(0u).GetGeometry().width);
    return size;
}

wxString CMainFrame::StatusText() const { return GetStatusBar() ? GetStatusBar()->GetStatusText() : wxString(); }

void CMainFrame::SetProviderLabel(const std::string& provider, const std::string& menuName) {
    wxString text = U("プロバイダ名 - ") + wxString::FromUTF8(provider);
    if (!menuName.empty()) text += " - " + wxString::FromUTF8(menuName);
    // A "&" in a provider's name is shown, not read as a mnemonic.
    label_->SetLabelText(text);
}

void CMainFrame::SelectRow(int row) {
    list_->SetFocus();
    if (row >= 0 && list_->GetItemCount() > 0) list_->SelectOnly(std::min(row, list_->GetItemCount() - 1));
}

void CMainFrame::OnBarNotify(COutBarEvent& event) {
    // Drops are refused: the answer stays 0. A click becomes the provider
    // command once the bar has finished with the pointer.
    if (event.Code() == COutBarEvent::kItemClicked || event.Code() == COutBarEvent::kFolderChanged) {
        const int code = event.Code(), value = event.Value();
        CallAfter([this, code, value] { ProviderCommand(code, value); });
    }
}

void CMainFrame::ProviderCommand(int code, int command) {
    if (command == 3 && code != COutBarEvent::kFolderChanged) PARVEX_ShowOption();
    const bool providerChosen = command == 2 && !list_->ChosenProvider().empty();
    if (command != 0 && list_->CurrentProvider().empty() && !providerChosen) return;
    if (!shown_ || code == COutBarEvent::kFolderChanged) return;
    const std::string provider = list_->CurrentProvider();
    const std::string entry = list_->CurrentEntry();
    switch (command) {
    case 0:
        if (PARVEX_ShowWizard() != 2) tree_->Rebuild();
        break;
    case 1:
        if (PARVEX_ShowProvInfo(this, provider.c_str(), entry.c_str()) == 1) {
            tree_->Rebuild();
            list_->Fill(provider, entry);
        }
        list_->ClearCurrent();
        break;
    case 2:
        if (providerChosen) DeleteChosenProvider();
        else DeleteCurrentEntry(provider, entry);
        break;
    default: break;
    }
}

void CMainFrame::DeleteCurrentEntry(const std::string& provider, const std::string& entry) {
    if (!ui::AskYesNo(this, FormatString(IDS_CONFIRM_DELETE, provider, entry), ui::LoadString(IDS_APP_TITLE),
                      wxICON_EXCLAMATION))
        return;
    SettingKey key;
    winreg::LONG st = key.OpenKey(winreg::HKEY_CURRENT_USER, layout::ProviderKey(provider));
    if (st == winreg::ERROR_SUCCESS) st = key.DeleteSubKey(entry);
    key.CloseKey();
    // Gone already (another program removed it) is what the user asked for.
    if (st != winreg::ERROR_SUCCESS && st != winreg::ERROR_FILE_NOT_FOUND) {
        TellStoreRefused(st);
        return;  // the entry stays chosen, as it stays in the store
    }
    tree_->Rebuild();
    list_->Fill(provider, entry);
    list_->ClearCurrent();
    TellKeyringKept(keyring::DeleteEntry(provider, entry, keyring::kProgramTimeout));
}

void CMainFrame::DeleteChosenProvider() {
    const std::string provider = list_->ChosenProvider();
    if (!ui::AskYesNo(this, FormatString(IDS_CONFIRM_DELETE_PROVIDER, provider), ui::LoadString(IDS_APP_TITLE),
                      wxICON_EXCLAMATION))
        return;
    const winreg::LONG st = settings::DeleteProvider(provider);
    if (st != winreg::ERROR_SUCCESS && st != winreg::ERROR_FILE_NOT_FOUND) {
        TellStoreRefused(st);
        return;
    }
    tree_->Rebuild();
    list_->Fill(provider, std::string());
    list_->ClearCurrent();
    label_->SetLabelText(U(kInitialLabel));
    TellKeyringKept(keyring::DeleteProvider(provider, keyring::kProgramTimeout));
}

void CMainFrame::TellKeyringKept(keyring::Status status) {
    // No keyring: nothing of ours was ever kept there.
    if (status == keyring::Status::Ok || status == keyring::Status::NoService) return;
    SetStatusText(wxString::FromUTF8("キーリングのパスワードを削除できませんでした (" + walk::KeyringReason(status) + ")"));
}

void CMainFrame::StartPasswordMove() {
    if (passwordMove_.joinable()) return;
    passwordMove_ = std::thread([this] {
        std::string said;
        if (keyring::Available(keyring::kProgramTimeout) == keyring::Status::Ok)
            said = settings::MigrationSummary(settings::MigratePasswords(keyring::kProgramTimeout, &passwordMoveStop_));
        else if (settings::AnyPasswordInFile())
            said = settings::kPasswordsInFile;
        if (!said.empty()) CallAfter([this, said] { SetStatusText(wxString::FromUTF8(said)); });
        passwordMoveDone_ = true;
    });
}

void CMainFrame::TellStoreRefused(winreg::LONG status) {
    wxMessageBox(wxString::FromUTF8(settings::StoreWriteFailure(status)), ui::LoadString(IDS_APP_TITLE),
                 wxOK | wxICON_ERROR, this);
}

void CMainFrame::CheckFirstRun() {
    if (!shown_ || firstRunRunning_) return;
    SettingKey root;
    const winreg::LONG status = root.OpenKey(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex);
    if (status == winreg::ERROR_SUCCESS) return;
    if (status != winreg::ERROR_FILE_NOT_FOUND) {
        // A store that cannot be read is not a new user's: setting up again
        // would only fail, and the user has to know why nothing is listed.
        SetStatusText(FormatString(IDS_STORE_UNUSABLE, winreg::StorePath()));
        return;
    }
    firstRunRunning_ = true;
    RunFirstRun();
    firstRunRunning_ = false;
}

void CMainFrame::RunFirstRun() {
    PARVEX_ShowWizard();  // whatever it returns, the rest is done too
    tree_->Rebuild();

    // Registration waits for the tool, as the menu must be there when the user looks.
    const std::string tool = installDir_ + "/" + ui::LoadString(IDS_REGISTER_TOOL).utf8_string();
    const std::string module = ui::LoadString(IDS_REGISTER_MODULE).utf8_string();
    wxString status;
    if (os::RunAndWait(CommandWord(tool) + " " + module + " /s") != 0)
        status = FormatString(IDS_REGISTER_FAILED, CommandWord(tool));
    const std::string refused = WriteInstallValues();
    if (!refused.empty()) {
        // Without these values the file manager's menu cannot start the
        // programs: this comes first, the registration's failure after it.
        status = FormatString(IDS_FIRST_RUN_UNWRITTEN, winreg::StorePath(), refused) +
                 (status.empty() ? wxString() : " " + status);
    }
    if (!status.empty()) SetStatusText(status);
}

std::string CMainFrame::WriteInstallValues() {
    char documents[260] = "";
    GetSpecialFolder(5, documents);
    std::string refused;
    auto stored = [&refused](const std::string& what, winreg::LONG st) {
        if (st == winreg::ERROR_SUCCESS) return true;
        refused = what + ": エラーコード " + std::to_string(st);
        return false;
    };
    // The programs' paths and the default options as one change: an
    // interrupted or refused first run never leaves a root key with half the
    // defaults. The first refusal ends it, and nothing of it is stored.
    winreg::Transaction change;
    if (!stored(layout::kSoftwareParvex, change.Status())) return refused;
    const std::string runningKey = layout::RunningKey();
    auto item = [](const std::string& key, const char* name) { return key + "\\" + name; };
    SettingKey running;
    bool ok = stored(runningKey, running.CreateKey(winreg::HKEY_CURRENT_USER, runningKey)) &&
              stored(item(runningKey, layout::kInstDir),
                     running.WriteString(layout::kInstDir, CommandWord(installDir_ + "/" +
                                                                       ui::LoadString(IDS_TRANSFER_PROGRAM).utf8_string()))) &&
              stored(item(runningKey, layout::kInstDirBrovin),
                     running.WriteString(layout::kInstDirBrovin,
                                         CommandWord(installDir_ + "/" + ui::LoadString(IDS_BROWSER_PROGRAM).utf8_string())));
    running.CloseKey();
    SettingKey option;
    ok = ok && stored(layout::kOptionKey, option.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey)) &&
         stored(item(layout::kOptionKey, layout::kTextMode),
                option.WriteString(layout::kTextMode, ui::LoadString(IDS_DEFAULT_TEXT_MODE).utf8_string())) &&
         stored(item(layout::kOptionKey, layout::kBinaryMode),
                option.WriteString(layout::kBinaryMode, ui::LoadString(IDS_DEFAULT_BINARY_MODE).utf8_string())) &&
         stored(item(layout::kOptionKey, layout::kDownloadFolder), option.WriteString(layout::kDownloadFolder, documents));
    for (const char* name : {layout::kCodeConvert, layout::kDownloadConvert, layout::kUploadConvert,
                             layout::kDownloadConvCode, layout::kUploadConvCode})
        ok = ok && stored(item(layout::kOptionKey, name), option.WriteDword(name, 0));
    // A new user uploads over two connections; a store from before the option keeps one.
    ok = ok && stored(item(layout::kOptionKey, layout::kConnections), option.WriteDword(layout::kConnections, 2));
    option.CloseKey();
    if (ok) stored(runningKey + ", " + layout::kOptionKey, change.Commit());
    return refused;
}

void CMainFrame::OnHelp() {
    const std::string path = ui::HelpPath();
    if (!os::Exists(path)) {
        SetStatusText(FormatString(IDS_HELP_MISSING, path));
        return;
    }
    const wxString target = wxString::FromUTF8(path);
    if (!(openWithDesktop ? openWithDesktop(target) : ui::OpenWithDesktop(target))) wxBell();
}

void CMainFrame::OnAbout() {
    CAboutDlg dlg(this, [this](const wxString& target) {
        return openWithDesktop ? openWithDesktop(target) : ui::OpenWithDesktop(target);
    });
    dlg.ShowModal();
}
