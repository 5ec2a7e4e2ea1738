#include "settings/halvex32/ext_select.h"
#include "settings/halvex32/ftp_dir_dialog.h"

// The picker logs in with the record's values as they stand in the dialog
// that opened the sheet (not yet saved); an abandoned pick changes nothing
// but the certificate the user chose to trust on the way.
std::string BrowseRemoteDirectory(wxWindow* parent, settings::ProviderRecord& record) {
    CFtpDirDialog dialog(parent);
    dialog.SetConnection(record.serverAddr, record.userName, record.password, record.port);
    dialog.SetSecurity(record.encryption, record.trustedCertificate);
    dialog.SetNameEncoding(record.nameEncoding);
    const int result = dialog.ShowModal();
    if (!dialog.TrustedCertificate().empty()) record.trustedCertificate = dialog.TrustedCertificate();
    return result == CFtpDirDialog::kSelected ? dialog.Result() : std::string();
}
