#include "settings/definition_import.h"
#include "settings/halvex32/halvex32.h"
#include "settings/halvex32/module.h"

#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

namespace {

constexpr int IDS_DEFINE_FILTER = 47;
constexpr int IDS_DEFINE_READ = 48;

const bool kRegistered = (halvex32::Resources().RegisterStrings({
                              {IDS_DEFINE_FILTER,
                               "定義ファイル(*.ini;*.txt;*.def)|*.ini;*.txt;*.def|全てのファイル(*.*)|*.*||"},
                              {IDS_DEFINE_READ, "%1の読込が完了しました。"},
                          }),
                          true);

// The Windows filter ends with "||"; wx takes the same pairs without it.
wxString FileFilter() {
    wxString filter = halvex32::LoadString(IDS_DEFINE_FILTER);
    while (filter.EndsWith("|")) filter.RemoveLast();
    return filter;
}

}  // namespace

HALVEX32_EXPORT int PARVEX_ReadServerDefines() {
    (void)kRegistered;
    wxFileDialog dialog(nullptr, wxString(), wxString(), wxString(), FileFilter(),
                        wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return 2;
    const wxString path = dialog.GetPath();

    settings::ImportResult result;
    {
        wxBusyCursor busy;  // ten thousand profiles take a couple of seconds
        result = settings::ImportDefinitionFile(path.utf8_string());
    }
    if (result.status != settings::ImportResult::Status::kImported) {
        wxMessageBox(wxString::FromUTF8(result.error), wxString::FromUTF8("Parvex"), wxOK | wxICON_ERROR);
        return 1;
    }
    wxString message = halvex32::LoadString(IDS_DEFINE_READ);
    message.Replace("%1", path);
    // The completion text alone would hide profiles that were left out.
    if (!result.skipped.empty() || result.absentProfiles > 0) {
        message += wxString::FromUTF8("\n\n取り込まなかったプロファイル:");
        for (const auto& s : result.skipped)
            message += wxString::Format("\nPROFILE%d: ", s.profile) + wxString::FromUTF8(s.reason);
        if (result.absentProfiles > 0)
            message += wxString::Format(wxString::FromUTF8("\nファイルにないプロファイル %d 個"), result.absentProfiles);
    }
    wxMessageBox(message, wxString::FromUTF8("Parvex"), wxOK | wxICON_INFORMATION);
    return 1;
}
