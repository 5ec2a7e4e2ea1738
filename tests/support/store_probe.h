// Reading the settings store back in tests, as any program of the suite
// would: a key or value that cannot be read comes back empty; and writing
// values into it as a test's setting-up.
#pragma once

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace testsupport {

inline std::optional<std::string> StoredString(const std::string& path, const char* name) {
    SettingKey key;
    std::string v;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, path) != winreg::ERROR_SUCCESS ||
        key.ReadPath(name, v) != winreg::ERROR_SUCCESS)
        return {};
    return v;
}

inline std::optional<winreg::DWORD> StoredDword(const std::string& path, const char* name) {
    SettingKey key;
    winreg::DWORD v = 0;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, path) != winreg::ERROR_SUCCESS ||
        key.ReadDword(name, v) != winreg::ERROR_SUCCESS)
        return {};
    return v;
}

inline bool KeyExists(const std::string& path) {
    SettingKey key;
    return key.OpenKey(winreg::HKEY_CURRENT_USER, path) == winreg::ERROR_SUCCESS;
}

inline std::vector<std::string> StoredChildren(const std::string& path) {
    SettingKey key;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, path) != winreg::ERROR_SUCCESS) return {};
    return layout::SubKeyNames(key);
}

// Writes `values` (strings and numbers) into the key `path`, made when missing; a key that cannot be made fails the
// test.
using StoreValue = std::variant<std::string, winreg::DWORD>;
inline void Put(const std::string& path, std::initializer_list<std::pair<const char*, StoreValue>> values) {
    SettingKey key;
    ASSERT_EQ(key.CreateKey(winreg::HKEY_CURRENT_USER, path), winreg::ERROR_SUCCESS) << path;
    for (const auto& [name, value] : values) {
        if (const auto* text = std::get_if<std::string>(&value))
            key.WriteString(name, *text);
        else
            key.WriteDword(name, std::get<winreg::DWORD>(value));
    }
}

// The store as a user who may read it but not write it has it, while this lives.
struct ReadOnlyStore {
    ReadOnlyStore() { winreg::SetStoreReadOnly(true); winreg::ResetStore(); }
    ~ReadOnlyStore() { winreg::SetStoreReadOnly(false); winreg::ResetStore(); }
};

}  // namespace testsupport
