#include "transfer/app/transfer_app.h"

#include "common/registry/layout.h"
#include "transfer/app/failure_notice.h"
#include "transfer/app/resources.h"
#include "transfer/app/transfer_dialog.h"

#include <wx/msgdlg.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace dravik {

namespace {

const char* const kCaption = "Parvex - DVK";

// What keeps the store file from being used, asked of the file system
// without opening the file: closing any descriptor of it would drop the
// locks the store's own connection holds on it.
std::string WhyNotOpen(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "ファイルのあるべき場所がフォルダーになっています。";
    if (::access(path.c_str(), R_OK | W_OK) == 0)
        return "ファイルを読み書きできません（ほかのプログラムが使用中か、ディスクの異常の可能性があります）。";
    switch (errno) {
    case EACCES:
    case EPERM: return "ファイルを読み書きする権限がありません。";
    case EROFS: return "ファイルが読み取り専用の場所にあります。";
    case ENOTDIR: return "パスの途中にフォルダーではなくファイルがあります。";
    case ENOENT: return "ファイルも、それを置くフォルダーも作れません。";
    case ENOSPC: return "ディスクに空きがありません。";
    default: return std::string("ファイルを開けません（") + std::strerror(errno) + "）。";
    }
}

}  // namespace

winreg::LONG TransferApp::HandOffStatus() {
    SettingKey parvex;
    winreg::LONG st = parvex.OpenKey(winreg::HKEY_CURRENT_USER, layout::kSoftwareParvex);
    if (st != winreg::ERROR_SUCCESS) return st;
    char name[SettingKey::kEnumBufferSize];
    for (winreg::DWORD i = 0;; ++i) {
        st = parvex.EnumSubKey(name, sizeof name, i);
        if (st == winreg::ERROR_NO_MORE_ITEMS) return winreg::ERROR_FILE_NOT_FOUND;
        if (st != winreg::ERROR_SUCCESS) return st;
        if (std::strcmp(name, "Selected") == 0) return winreg::ERROR_SUCCESS;
    }
}

wxString TransferApp::StoreProblemText(const std::string& path, winreg::LONG status) {
    std::string why;
    if (path.empty())
        why = "設定ファイルの場所が決まりません（PARVEX_REGISTRY、XDG_CONFIG_HOME、HOME のどれも設定されていません）。";
    else if (status == winreg::ERROR_BADDB)
        why = "ファイルが壊れているか、Parvex の設定ファイルではありません。";
    else
        why = WhyNotOpen(path);
    // The selection itself is kept in the store too: nothing can be sent.
    std::string text = "設定を読み込めないため、ファイルを転送できませんでした。\n\n";
    if (!path.empty()) text += "設定ファイル: " + path + "\n";
    return wxString::FromUTF8(text + why);
}

void TransferApp::ShowStoreProblem(winreg::LONG status) {
    wxMessageDialog box(nullptr, StoreProblemText(winreg::StorePath(), status), wxString::FromUTF8(kCaption),
                        wxOK | wxICON_ERROR);
    box.ShowModal();
}

bool TransferApp::OnInit() {
    // The program takes no arguments, so wxApp's command-line parsing is skipped.
    RegisterResources();
    const winreg::LONG status = HandOffStatus();
    if (status == winreg::ERROR_FILE_NOT_FOUND) return true;
    if (status != winreg::ERROR_SUCCESS) {
        // Started from the file manager, a silent end would look like nothing happened at all.
        ShowStoreProblem(status);
        exitCode_ = 1;
        return true;
    }
    bool walkerLeft;
    std::optional<FailedTransfer> failure;
    {
        TransferDialog dialog;
        SetTopWindow(&dialog);
        dialog.ShowModal();
        SetTopWindow(nullptr);
        // Stopped here rather than by the destructor, so that what the walker
        // did, and whether it stopped at all, is known before the dialog goes.
        dialog.StopWalker();
        failure = dialog.Failure();
        walkerLeft = dialog.WalkerAbandoned();
    }
    // Sent once the dialog is gone: the notice never holds the window open.
    // A transfer that would not stop is told like any other stopped one.
    const bool noticeLeft = failure && SendFailureNotice(*failure) == NoticeResult::NoAnswer;
    if (walkerLeft) exitCode_ = kWalkerLeftExitCode;
    if (walkerLeft || noticeLeft) {
        // A walker stuck in a connect, or a notice stuck on the bus, must not outlive the process's statics.
        std::fflush(nullptr);
        ::_exit(exitCode_);
    }
    return true;
}

void TransferApp::OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                                  const wxChar* msg) {
    std::fprintf(stderr, "dravik: %s:%d %s: %s %s\n", wxString(file).utf8_str().data(), line,
                 wxString(func).utf8_str().data(), wxString(cond).utf8_str().data(),
                 wxString(msg).utf8_str().data());
}

}  // namespace dravik
