// The provider manager's main window: a fixed-size frame with the label band
// naming the chosen provider, three panes (command bar, provider tree,
// connection list), a status bar and the menus. Its first show for a user
// without Software\PARVEX sets the suite up.
#pragma once

#include "manager/code_convert.h"
#include "platform/keyring/keyring.h"
#include "platform/registry/registry.h"

#include <wx/frame.h>
#include <wx/imaglist.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class CConInfo;
class CGfxOutBarCtrl;
class COutBarEvent;
class CProvider;
class wxSplitterWindow;
class wxStaticText;

// The manager's document: it holds no data, since the views read the store directly.
class CHalvexDoc {};

class CMainFrame : public wxFrame {
public:
    // `installDir` is the folder whose regsvr32, dravik and brovin the first
    // run records (the running program's folder unless a test says otherwise).
    explicit CMainFrame(std::string installDir = std::string());
    ~CMainFrame() override;

    CProvider* Tree() const { return tree_; }
    CConInfo* List() const { return list_; }
    CGfxOutBarCtrl* Bar() const { return bar_; }
    wxStaticText* LabelText() const { return label_; }
    wxSplitterWindow* Splitter() const { return splitter_; }
    bool ShownFlag() const { return shown_; }
    wxString StatusText() const;

    // The fixed size: half the screen width plus 100 by half its height.
    static wxSize FixedSize();
    // FixedSize, made wider (up to the screen's width) when the list's
    // columns, sized to their headings, would not fit their pane. The
    // frame keeps this size.
    wxSize WidenedSize() const;

    // The label: "プロバイダ名 - P - M", or "プロバイダ名 - P" without a menu name.
    void SetProviderLabel(const std::string& provider, const std::string& menuName);
    // Gives the list the focus and selects `row` (nothing for a negative one).
    void SelectRow(int row);
    // The provider command of the command bar and the Edit menu: 0 add,
    // 1 properties, 2 delete, 3 options; `code` is the sender's notification
    // code (0 from the menu, 5 for the bar's folder change). Delete acts on
    // the provider whose own tree item was clicked last, else on the
    // current entry; it asks first and says when the store refuses.
    void ProviderCommand(int code, int command);

    // The first-run check of every show: does nothing once Software\PARVEX exists.
    void CheckFirstRun();

    // Once, after the first show, on a thread of its own: with a keyring,
    // moves the passwords still in the settings file into it and tells the
    // status bar what moved and what did not; without one, when the file
    // holds passwords, the status bar says they are kept there.
    void StartPasswordMove();
    // Whether that has ended (its status text is posted by then).
    bool PasswordMoveDone() const { return passwordMoveDone_; }

    // What opens a help page or link (the desktop's handler unless a test says otherwise).
    std::function<bool(const wxString&)> openWithDesktop;

    // Conversions started from the code conversion tool; they outlive the
    // dialog and end before the frame does.
    ConversionJobs& Conversions() { return conversions_; }

private:
    void CreatePanes();
    void CreateBar();
    void RunFirstRun();
    // Writes the programs' paths and the default options in one transaction.
    // Returns "" when all were stored, else the first value the store
    // refused and its status ("Software\PARVEX\RUNNING\InstDir: エラーコード 5"),
    // with nothing of them stored.
    std::string WriteInstallValues();
    // The delete command: asks, deletes, tells when the store refused.
    void DeleteCurrentEntry(const std::string& provider, const std::string& entry);
    void DeleteChosenProvider();
    void TellStoreRefused(winreg::LONG status);
    // Says in the status bar when the keyring kept a deleted entry's password.
    void TellKeyringKept(keyring::Status status);
    void OnBarNotify(COutBarEvent& event);
    void OnHelp();
    void OnAbout();

    CHalvexDoc doc_;
    std::string installDir_;
    wxSplitterWindow* splitter_ = nullptr;
    wxSplitterWindow* inner_ = nullptr;
    CGfxOutBarCtrl* bar_ = nullptr;
    CProvider* tree_ = nullptr;
    CConInfo* list_ = nullptr;
    wxStaticText* label_ = nullptr;
    wxImageList barImages_{32, 32, true, 6};
    bool shown_ = false;
    bool firstRunRunning_ = false;
    ConversionJobs conversions_;
    std::thread passwordMove_;  // joined by the destructor: at most one keyring time-out
    std::atomic<bool> passwordMoveDone_{false};
    std::atomic<bool> passwordMoveStop_{false};  // the frame is going: offer no more passwords
};
