#include "common/registry/layout.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

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

std::string UploadQueueEntryKey(const std::string& provider, const std::string& directory) {
    return Format(kChildFormat, kUploadQueueKey, provider.c_str(), directory.c_str());
}

std::string SelectedValueName(int n) { return Format(kSelectedFormat, n); }

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::vector<std::string> SubKeyNames(SettingKey& key, DWORD bufferSize) {
    std::vector<std::string> names;
    std::vector<char> buf(bufferSize);
    // One list from one state of the store, at one read lock.
    Snapshot snapshot;
    for (DWORD i = 0; key.EnumSubKey(buf.data(), bufferSize, i) == ERROR_SUCCESS; ++i) names.emplace_back(buf.data());
    return names;
}

LONG WriteToEveryEntry(const std::string& provider, const char* name, const std::string& value) {
    SettingKey providerKey;
    if (providerKey.OpenKey(HKEY_CURRENT_USER, ProviderKey(provider)) != ERROR_SUCCESS) return ERROR_FILE_NOT_FOUND;
    const std::vector<std::string> entries = SubKeyNames(providerKey);
    if (entries.empty()) return ERROR_FILE_NOT_FOUND;
    for (const std::string& entry : entries) {
        SettingKey key;
        LONG st = key.OpenKey(HKEY_CURRENT_USER, EntryKey(provider, entry));
        if (st == ERROR_SUCCESS) st = key.WriteString(name, value);
        if (st != ERROR_SUCCESS) return st;
    }
    return ERROR_SUCCESS;
}

bool FirstSubKey(const std::string& path, std::string& name) {
    SettingKey key;
    if (key.OpenKey(HKEY_CURRENT_USER, path) != ERROR_SUCCESS) return false;
    char buf[SettingKey::kEnumBufferSize];
    if (key.EnumSubKey(buf, sizeof buf, 0) != ERROR_SUCCESS) return false;
    name = buf;
    return true;
}

namespace {

// Reading with the store's status kept: FirstSubKey's false hides a broken store.
LONG FirstSubKeyStatus(const std::string& path, std::string& name) {
    SettingKey key;
    if (LONG st = key.OpenKey(HKEY_CURRENT_USER, path); st != ERROR_SUCCESS) return st;
    char buf[SettingKey::kEnumBufferSize];
    LONG st = key.EnumSubKey(buf, sizeof buf, 0);
    if (st == ERROR_NO_MORE_ITEMS) return ERROR_FILE_NOT_FOUND;
    if (st == ERROR_SUCCESS) name = buf;
    return st;
}

// A value as text, of any length; kErrorInvalidData when it is not a string.
LONG QueryText(HKEY key, const std::string& name, std::string& text) {
    DWORD type = REG_NONE, size = 0;
    LONG st = RegQueryValueEx(key, name.c_str(), nullptr, &type, nullptr, &size);
    if (st != ERROR_SUCCESS) return st;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return kErrorInvalidData;
    std::string buf(size, '\0');
    st = RegQueryValueEx(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
    if (st != ERROR_SUCCESS) return st;
    // Paths are read whole: through the 256-byte string buffer a long path
    // would read as missing and end the selection there, silently.
    text.assign(buf.data(), strnlen(buf.data(), size));
    return ERROR_SUCCESS;
}

LONG ReadPaths(const std::string& keyPath, HandOff& out) {
    HKEY key = nullptr;
    LONG st = RegOpenKeyEx(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (st != ERROR_SUCCESS) return st;
    for (int i = 0;; ++i) {
        std::string path;
        st = QueryText(key, SelectedValueName(i), path);
        if (st != ERROR_SUCCESS) break;
        out.paths.push_back(path);
    }
    if (st == ERROR_FILE_NOT_FOUND) {
        st = QueryText(key, kRootDir, out.rootDir);
        if (st == ERROR_FILE_NOT_FOUND) st = ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return st;
}

}  // namespace

LONG ReadHandOffStatus(HandOff& out) {
    out = HandOff{};
    LONG st = FirstSubKeyStatus(kSelectedKey, out.provider);
    if (st == ERROR_SUCCESS) st = FirstSubKeyStatus(std::string(kSelectedKey) + "\\" + out.provider, out.entry);
    if (st == ERROR_SUCCESS) st = ReadPaths(SelectedEntryKey(out.provider, out.entry), out);
    if (st != ERROR_SUCCESS) out = HandOff{};
    return st;
}

bool ReadHandOff(HandOff& out) { return ReadHandOffStatus(out) == ERROR_SUCCESS; }

LONG TakeHandOff(HandOff& out, bool& forBrowser) {
    out = HandOff{};
    forBrowser = false;
    Transaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    HandOff read;
    if (LONG st = ReadHandOffStatus(read); st != ERROR_SUCCESS) return st;
    DWORD remoteBrowser = 0;
    {
        SettingKey running;
        if (running.OpenKey(HKEY_CURRENT_USER, RunningKey()) == ERROR_SUCCESS)
            running.ReadDword(kRemoteBrowser, remoteBrowser);
    }
    const bool keep = remoteBrowser == 1;
    if (!keep) {
        LONG st = DeleteHandOff();
        // Other providers' hand-offs left beside this one are not ours to remove.
        if (st != ERROR_SUCCESS && st != ERROR_ACCESS_DENIED) return st;
    }
    if (LONG st = transaction.Commit(); st != ERROR_SUCCESS) return st;
    out = std::move(read);
    forBrowser = keep;
    return ERROR_SUCCESS;
}

LONG DeleteHandOff() {
    Transaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
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
    if (st == ERROR_SUCCESS) st = parvex.DeleteSubKey("Selected");
    LONG committed = transaction.Commit();
    return committed != ERROR_SUCCESS ? committed : st;
}

LONG DropStaleHandOffs(const std::string& keepProvider, const std::string& keepEntry, DWORD now) {
    Transaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    LONG result = ERROR_SUCCESS;
    SettingKey selected;
    if (selected.OpenKey(HKEY_CURRENT_USER, kSelectedKey) != ERROR_SUCCESS) return ERROR_SUCCESS;
    for (const std::string& provider : SubKeyNames(selected)) {
        SettingKey providerKey;
        if (providerKey.OpenKey(HKEY_CURRENT_USER, std::string(kSelectedKey) + "\\" + provider) != ERROR_SUCCESS)
            continue;
        for (const std::string& entry : SubKeyNames(providerKey)) {
            if (provider == keepProvider && entry == keepEntry) continue;
            SettingKey handOff;
            DWORD written = 0;
            bool pending = handOff.OpenKey(HKEY_CURRENT_USER, SelectedEntryKey(provider, entry)) == ERROR_SUCCESS &&
                           handOff.ReadDword(kWritten, written) == ERROR_SUCCESS && written <= now + kHandOffPendingSeconds &&
                           now - std::min(now, written) <= kHandOffPendingSeconds;
            handOff.CloseKey();
            if (pending) continue;
            LONG st = DeleteHandOffEntry(kSelectedKey, provider, entry);
            if (st != ERROR_SUCCESS && result == ERROR_SUCCESS) result = st;
        }
    }
    if (result != ERROR_SUCCESS) return result;
    return transaction.Commit();
}

LONG DeleteHandOffEntry(const std::string& parent, const std::string& provider, const std::string& entry) {
    Transaction transaction;
    if (transaction.Status() != ERROR_SUCCESS) return transaction.Status();
    const std::string providerKey = parent + "\\" + provider;
    LONG st = RegDeleteTree(HKEY_CURRENT_USER, Format("%s\\%s", providerKey.c_str(), entry.c_str()).c_str());
    if (st != ERROR_SUCCESS) return st;
    // Each removed only when empty (ERROR_ACCESS_DENIED otherwise): what is left is another program's.
    RegDeleteKey(HKEY_CURRENT_USER, providerKey.c_str());
    RegDeleteKey(HKEY_CURRENT_USER, parent.c_str());
    return transaction.Commit();
}

}  // namespace layout
