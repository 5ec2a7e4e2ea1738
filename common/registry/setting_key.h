// SettingKey: one open registry key at a time, the way every program of the
// suite reads and writes its settings and the selection hand-off.
//
// Every operation returns the registry status unchanged (0 on success).
// A failed read leaves the caller's variable as it was, so callers preset a
// default and read over it. A failed CreateKey/OpenKey leaves no key open,
// and every later operation then fails with ERROR_INVALID_HANDLE.
#pragma once

#include "platform/registry/registry.h"

#include <string>

// Marks what the SettingKey library exports; everything else stays inside it.
#define PARVEX_SETTINGS_KEY_API __attribute__((visibility("default")))

class PARVEX_SETTINGS_KEY_API SettingKey {
public:
    // Sizes of the buffers the values pass through: a string value of
    // kStringBufferSize bytes or more (terminator included) reads as missing.
    static constexpr winreg::DWORD kStringBufferSize = 256;
    static constexpr winreg::DWORD kDwordBufferSize = 4;
    // The enumeration buffer size most callers pass to EnumSubKey.
    static constexpr winreg::DWORD kEnumBufferSize = 260;

    SettingKey();
    virtual ~SettingKey();
    SettingKey(const SettingKey&) = delete;
    SettingKey& operator=(const SettingKey&) = delete;

    // Opens `path` below `root`, creating it and missing intermediate keys.
    winreg::LONG CreateKey(winreg::HKEY root, const std::string& path);
    // Opens an existing key; ERROR_FILE_NOT_FOUND (2) when it does not exist.
    winreg::LONG OpenKey(winreg::HKEY root, const std::string& path);
    // Closes the open key; 0 when nothing was open.
    winreg::LONG CloseKey();

    // Stores `text` as REG_SZ with its terminating zero.
    winreg::LONG WriteString(const std::string& name, const std::string& text);
    // Stores a 4-byte REG_DWORD.
    winreg::LONG WriteDword(const std::string& name, winreg::DWORD value);
    // Reads through a 4-byte buffer whatever the stored type; ERROR_MORE_DATA
    // (234) for a longer value. `value` changes only on success.
    winreg::LONG ReadDword(const std::string& name, winreg::DWORD& value);
    // Reads through a 256-byte buffer; `value` changes only on success.
    winreg::LONG ReadString(const std::string& name, std::string& value);
    // Reads a string of any length (a local path can be far longer than
    // 255 bytes); `value` changes only on success.
    winreg::LONG ReadPath(const std::string& name, std::string& value);
    // Name of the sub-key at `index` into `name` (of `size` bytes);
    // ERROR_NO_MORE_ITEMS (259) past the last one.
    winreg::LONG EnumSubKey(char* name, winreg::DWORD size, winreg::DWORD index);
    // Deletes a direct sub-key that has no sub-keys of its own.
    winreg::LONG DeleteSubKey(const std::string& name);
    winreg::LONG DeleteValue(const std::string& name);

    // The path last passed to CreateKey or OpenKey.
    const std::string& Path() const { return m_path; }
    bool IsOpen() const { return m_key != nullptr; }

private:
    std::string m_path;
    winreg::HKEY m_key;
};
