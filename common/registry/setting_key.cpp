#include "common/registry/setting_key.h"

#include <cstring>

using namespace winreg;

SettingKey::SettingKey() : m_key(nullptr) {}

SettingKey::~SettingKey() { CloseKey(); }

// Reopening without CloseKey would otherwise leak the earlier handle.
LONG SettingKey::CreateKey(HKEY root, const std::string& path) {
    CloseKey();
    m_path = path;
    return RegCreateKeyEx(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_key,
                          nullptr);
}

LONG SettingKey::OpenKey(HKEY root, const std::string& path) {
    CloseKey();
    m_path = path;
    return RegOpenKeyEx(root, path.c_str(), 0, KEY_ALL_ACCESS, &m_key);
}

LONG SettingKey::CloseKey() {
    if (m_key == nullptr) return ERROR_SUCCESS;
    LONG st = RegCloseKey(m_key);
    m_key = nullptr;
    return st;
}

LONG SettingKey::WriteString(const std::string& name, const std::string& text) {
    // strlen, not size(): text cut at an embedded zero is what a C string would store.
    auto size = static_cast<DWORD>(std::strlen(text.c_str()) + 1);
    return RegSetValueEx(m_key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
}

LONG SettingKey::WriteDword(const std::string& name, DWORD value) {
    BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
                     static_cast<BYTE>(value >> 24)};
    return RegSetValueEx(m_key, name.c_str(), 0, REG_DWORD, bytes, sizeof bytes);
}

LONG SettingKey::ReadDword(const std::string& name, DWORD& value) {
    // Start from the caller's value so that a shorter stored value only
    // replaces its own bytes, as a query straight into the variable would.
    BYTE bytes[kDwordBufferSize] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                                    static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    DWORD size = sizeof bytes;
    LONG st = RegQueryValueEx(m_key, name.c_str(), nullptr, nullptr, bytes, &size);
    if (st == ERROR_SUCCESS)
        value = DWORD{bytes[0]} | DWORD{bytes[1]} << 8 | DWORD{bytes[2]} << 16 | DWORD{bytes[3]} << 24;
    return st;
}

LONG SettingKey::ReadString(const std::string& name, std::string& value) {
    char buf[kStringBufferSize];
    DWORD size = sizeof buf;
    LONG st = RegQueryValueEx(m_key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
    if (st == ERROR_SUCCESS) {
        // A value stored without its terminator must not read past what was copied.
        const void* nul = std::memchr(buf, '\0', size);
        value.assign(buf, nul ? static_cast<const char*>(nul) - buf : size);
    }
    return st;
}

LONG SettingKey::ReadPath(const std::string& name, std::string& value) {
    DWORD size = 0;
    LONG st = RegQueryValueEx(m_key, name.c_str(), nullptr, nullptr, nullptr, &size);
    if (st != ERROR_SUCCESS) return st;
    std::string buf(size, '\0');
    st = RegQueryValueEx(m_key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buf.data()), &size);
    if (st == ERROR_SUCCESS) {
        const void* nul = std::memchr(buf.data(), '\0', size);
        value.assign(buf.data(), nul ? static_cast<const char*>(nul) - buf.data() : size);
    }
    return st;
}

LONG SettingKey::EnumSubKey(char* name, DWORD size, DWORD index) {
    DWORD len = size;
    return RegEnumKeyEx(m_key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
}

LONG SettingKey::DeleteSubKey(const std::string& name) { return RegDeleteKey(m_key, name.c_str()); }

LONG SettingKey::DeleteValue(const std::string& name) { return RegDeleteValue(m_key, name.c_str()); }
