#include "transfer/transfer_mode.h"

#include "common/registry/layout.h"
#include "platform/os/os.h"
#include "tesvar/tesvar.h"
#include "transfer/extension_list.h"
#include "transfer/progress.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace transfer {

namespace {

std::string g_tempFolder;

void RemoveTempFolder() {
    std::error_code ec;
    if (!g_tempFolder.empty()) std::filesystem::remove_all(g_tempFolder, ec);
}

std::string TempCopyFor(const std::string& localPath) {
    return layout::Format("%s%s.tmp", TempCopyFolder().c_str(), os::SplitPath(localPath).base.c_str());
}

}  // namespace

// Private to the process, so that two transfers at once never overwrite
// each other's copies; the copy keeps the name "<base>.tmp" inside it.
const std::string& TempCopyFolder() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::string tmpl = os::TempDirectory() + "parvex-XXXXXX";
        if (::mkdtemp(tmpl.data()) != nullptr) {
            g_tempFolder = tmpl + "/";
            std::atexit(RemoveTempFolder);
        } else {
            g_tempFolder = os::TempDirectory();  // no private folder: the shared one, as before
        }
    });
    return g_tempFolder;
}

int TransferTypeFor(const std::string& localPath) {
    std::string ext = os::SplitPath(localPath).extension;
    SettingKey key;
    key.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
    std::string textMode, binaryMode;
    key.ReadString(layout::kTextMode, textMode);
    if (EntryInExtension(ext, textMode)) return kTextMode;
    // Read as the other programs do; a file in neither list is binary all the same.
    key.ReadString(layout::kBinaryMode, binaryMode);
    EntryInExtension(ext, binaryMode);
    return kBinaryMode;
}

std::string ConvertForUpload(const std::string& localPath) {
    SettingKey key;
    key.OpenKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
    winreg::DWORD codeConvert = 0, uploadConvert = 0, code = 1;
    key.ReadDword(layout::kCodeConvert, codeConvert);
    if (codeConvert != 1) return localPath;
    key.ReadDword(layout::kUploadConvert, uploadConvert);
    if (uploadConvert != 1) return localPath;
    std::string textMode;
    key.ReadString(layout::kTextMode, textMode);
    std::string copy = TempCopyFor(localPath);
    if (!ExtensionInEntry(os::SplitPath(localPath).extension, textMode)) return localPath;
    key.ReadDword(layout::kUploadConvCode, code);
    static const char* const kStatus[] = {"SJISコードへ変換中...", "JISコードへ変換中...", "EUCコードへ変換中..."};
    if (code > 2) return localPath;
    ShowStatus(kStatus[code]);
    const char* src = localPath.c_str();
    const char* dst = copy.c_str();
    StartCodeConvert(static_cast<int>(code), &src, &dst);
    return copy;
}

void RemoveTempCopy(const std::string& sentPath) {
    // Only a copy in our own folder: a user's notes.tmp sent as it is stays.
    const std::string& folder = TempCopyFolder();
    if (sentPath.size() > folder.size() && sentPath.compare(0, folder.size(), folder) == 0 &&
        sentPath.find('/', folder.size()) == std::string::npos)
        ::unlink(sentPath.c_str());
}

}  // namespace transfer
