#include "common/registry/layout.h"

#include <cstdarg>
#include <cstdio>

using namespace winreg;

namespace layout {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
}

std::string RunningKey() { return Format(kRunningFormat, kParvexPrefix); }

std::string EntryKey(const std::string& provider, const std::string& entry) {
    return Format(kEntryFormat, kProviderPrefix, provider.c_str(), entry.c_str());
}

std::string ProviderKey(const std::string& provider) { return kProviderPrefix + provider; }

std::string AutoTransferKey(const std::string& provider) { return kAutoTransferPrefix + provider; }

std::string AutoTransferRuleKey(const std::string& provider, const std::string& directory) {
    return Format(kEntryFormat, kAutoTransferPrefix, provider.c_str(), directory.c_str());
}

std::string SelectedEntryKey(const std::string& provider, const std::string& entry) {
    return Format(kChildFormat, kSelectedKey, provider.c_str(), entry.c_str());
}

std::string SelectedValueName(int n) { return Format(kSelectedFormat, n); }

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::vector<std::string> SubKeyNames(SettingKey& key, DWORD bufferSize) {
    std::vector<std::string> names;
    std::vector<char> buf(bufferSize);
    for (DWORD i = 0; key.EnumSubKey(buf.data(), bufferSize, i) == ERROR_SUCCESS; ++i) names.emplace_back(buf.data());
    return names;
}

bool FirstSubKey(const std::string& path, std::string& name) {
    SettingKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, path) != ERROR_SUCCESS) return false;
    char buf[SettingKey::kEnumBufferSize];
    if (key.EnumSubKey(buf, sizeof buf, 0) != ERROR_SUCCESS) return false;
    name = buf;
    return true;
}

bool ReadHandOff(HandOff& out) {
    out = HandOff{};
    if (!FirstSubKey(kSelectedKey, out.provider)) return false;
    std::string providerKey = std::string(kSelectedKey) + "\\" + out.provider;
    if (!FirstSubKey(providerKey, out.entry)) return false;
    SettingKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, SelectedEntryKey(out.provider, out.entry)) != ERROR_SUCCESS) return false;
    // Paths are read whole: through the 256-byte string buffer a long path
    // would read as missing and end the selection there, silently.
    for (int i = 0;; ++i) {
        std::string path;
        if (key.ReadPath(SelectedValueName(i), path) != ERROR_SUCCESS) break;
        out.paths.push_back(path);
    }
    key.ReadPath(kRootDir, out.rootDir);
    return true;
}

LONG DeleteHandOff() {
    std::string provider;
    if (FirstSubKey(kSelectedKey, provider)) {
        std::string providerKey = std::string(kSelectedKey) + "\\" + provider;
        std::string entry;
        if (FirstSubKey(providerKey, entry)) {
            SettingKey key;
            if (key.OpenKey(HKEY_CURRENT_USER, providerKey) == ERROR_SUCCESS) key.DeleteSubKey(entry);
        }
        SettingKey selected;
        if (selected.OpenKey(HKEY_CURRENT_USER, kSelectedKey) == ERROR_SUCCESS) selected.DeleteSubKey(provider);
    }
    SettingKey parvex;
    LONG st = parvex.OpenKey(HKEY_CURRENT_USER, kSoftwareParvex);
    return st == ERROR_SUCCESS ? parvex.DeleteSubKey("Selected") : st;
}

}  // namespace layout
