// The registry calls the store's tests make over and over, in short.
#pragma once

#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace regtest {

using namespace winreg;

// Creates or opens `path` below `root`; a failure fails the test and returns null.
inline HKEY Create(const char* path, HKEY root = HKEY_CURRENT_USER) {
    HKEY k = nullptr;
    EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS) << path;
    return k;
}
inline LONG Open(const char* path, HKEY& k) { return RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &k); }
inline LONG SetString(HKEY k, const char* name, const char* text) {
    return RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                         static_cast<DWORD>(std::strlen(text) + 1));
}
inline LONG SetDword(HKEY k, const char* name, DWORD v) {
    return RegSetValueEx(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}
// The names of the sub-keys, or of the values, in enumeration order.
inline std::vector<std::string> SubKeys(HKEY k, bool values = false) {
    std::vector<std::string> out;
    char buf[300];
    for (DWORD i = 0, size = sizeof buf;; ++i, size = sizeof buf) {
        if ((values ? RegEnumValue(k, i, buf, &size, nullptr, nullptr, nullptr, nullptr)
                    : RegEnumKeyEx(k, i, buf, &size, nullptr, nullptr, nullptr, nullptr)) != ERROR_SUCCESS)
            return out;
        out.emplace_back(buf, size);
    }
}
// The DWORD `name` of `k`; a failed read fails the test and returns 0.
inline DWORD GetDword(HKEY k, const char* name) {
    DWORD v = 0, size = sizeof v;
    EXPECT_EQ(RegQueryValueEx(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size), ERROR_SUCCESS);
    return v;
}
// The number of values of `path`; 0 when it cannot be opened.
inline DWORD CountValues(const char* path) {
    HKEY k = nullptr;
    if (Open(path, k) != ERROR_SUCCESS) return 0;
    const auto n = static_cast<DWORD>(SubKeys(k, true).size());
    RegCloseKey(k);
    return n;
}
// Reads the DWORD `name` of `path` into `v`; returns the status of the open or the read.
inline LONG ReadDword(const char* path, const char* name, DWORD& v) {
    HKEY k = nullptr;
    LONG st = Open(path, k);
    DWORD size = sizeof v;
    if (st == ERROR_SUCCESS) st = RegQueryValueEx(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
    RegCloseKey(k);
    return st;
}

}  // namespace regtest
