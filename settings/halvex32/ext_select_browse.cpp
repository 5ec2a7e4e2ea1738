#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/ftp_dir_dialog.h"

// The picker logs in with the record's values as they stand in the dialog
// that opened the sheet (not yet saved); an abandoned pick changes nothing.
std::string BrowseRemoteDirectory(wxWindow* parent, const settings::ProviderRecord& record) {
    CFtpDirDialog dialog(parent);
    dialog.SetConnection(record.serverAddr, record.userName, record.password, record.port);
    if (dialog.ShowModal() != CFtpDirDialog::kSelected) return {};
    return dialog.Result();
}
