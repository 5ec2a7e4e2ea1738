// Reading and writing the suite-wide transfer options.
#include "settings/options.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"
#include "settings/provider.h"
#include "tesvar/tesvar.h"

using namespace winreg;

namespace settings {

void LoadOptions(OptionValues& values) {
    SettingKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, layout::kOptionKey) != ERROR_SUCCESS) return;
    key.ReadString(layout::kTextMode, values.textMode);
    key.ReadString(layout::kBinaryMode, values.binaryMode);
    key.ReadDword(layout::kCodeConvert, values.codeConvert);
    key.ReadDword(layout::kUploadConvert, values.uploadConvert);
    key.ReadDword(layout::kDownloadConvert, values.downloadConvert);
    key.ReadDword(layout::kUploadConvCode, values.uploadConvCode);
    key.ReadDword(layout::kDownloadConvCode, values.downloadConvCode);
    // A folder path over 255 bytes is a real path: read through a 256-byte
    // buffer it would come back missing and be replaced at the next save.
    key.ReadPath(layout::kDownloadFolder, values.downloadFolder);
    key.ReadDword(layout::kSendChangedOnly, values.sendChangedOnly);
    key.ReadDword(layout::kConnections, values.connections);
    values.connections = layout::ConnectionsFromStore(values.connections);
}

LONG SaveOptions(const OptionValues& values) {
    if (values.textMode.size() > kMaxFieldBytes || values.binaryMode.size() > kMaxFieldBytes)
        return ERROR_INVALID_PARAMETER;
    std::string folder = values.downloadFolder;
    if (folder.empty()) {
        char buffer[260] = "";
        GetSpecialFolder(5, buffer);
        folder = buffer;
    }
    Transaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    SettingKey key;
    LONG st = key.CreateKey(HKEY_CURRENT_USER, layout::kOptionKey);
    if (st == ERROR_SUCCESS)
        st = key.WriteString(layout::kTextMode,
                             values.textMode.empty() ? layout::kEmptyFieldTextMode : values.textMode);
    if (st == ERROR_SUCCESS)
        st = key.WriteString(layout::kBinaryMode,
                             values.binaryMode.empty() ? layout::kEmptyFieldBinaryMode : values.binaryMode);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kCodeConvert, values.codeConvert);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kDownloadConvert, values.downloadConvert);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kUploadConvert, values.uploadConvert);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kDownloadConvCode, values.downloadConvCode);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kUploadConvCode, values.uploadConvCode);
    if (st == ERROR_SUCCESS) st = key.WriteString(layout::kDownloadFolder, folder);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kSendChangedOnly, values.sendChangedOnly);
    if (st == ERROR_SUCCESS) st = key.WriteDword(layout::kConnections, values.connections);
    key.CloseKey();
    // Without a commit the transaction rolls back: a half-written set never lands.
    return st == ERROR_SUCCESS ? transaction.Commit() : st;
}

}  // namespace settings
