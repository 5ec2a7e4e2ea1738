// The .reg text format: parsing and writing, as pure functions over text.
// Parse takes UTF-8 text (CRLF or LF line ends; a leading BOM is skipped);
// ParseFile first decodes a file's bytes as the Windows registry editor
// and this tool write them.
#pragma once

#include "platform/registry/registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace regfile {

struct Value {
    std::string name;       // empty with isDefault for the key's default value (@)
    bool isDefault = false;
    bool remove = false;    // "name"=-
    winreg::DWORD type = winreg::REG_SZ;
    std::string data;       // the stored bytes (REG_SZ includes its terminating zero)
};

struct Key {
    std::string path;       // as written between the brackets, root included
    bool remove = false;    // [-path]
    std::vector<Value> values;
    int line = 0;
};

// Parses a whole .reg file. On failure returns false with `line` (1-based)
// and `error` set, and `out` is unspecified.
bool Parse(std::string_view text, std::vector<Key>& out, int& line, std::string& error);

// Decodes the bytes of a .reg file to UTF-8 text. After a byte-order mark:
// UTF-16LE (what the Windows registry editor writes for "Version 5.00"),
// UTF-16BE or UTF-8. Without one: UTF-8 when the bytes are valid UTF-8
// (this tool's own exports), else the Windows code page of Japanese systems,
// CP932 (what the editor writes for "REGEDIT4"). False with `line` and
// `error` set when the bytes are valid in none of these.
bool Decode(std::string_view bytes, std::string& text, int& line, std::string& error);

// Decode, then Parse; the same results as Parse.
bool ParseFile(std::string_view bytes, std::vector<Key>& out, int& line, std::string& error);

// Why `subKey` cannot name a key of the store, or "" when it can: a
// component longer than winreg::kMaxKeyNameBytes.
std::string KeyPathProblem(std::string_view subKey);

// Splits "HKCU\Software\PARVEX" into its root and sub-key path. Accepts
// HKCU, HKEY_CURRENT_USER, HKCR and HKEY_CLASSES_ROOT in any case. `rootName`
// receives the long name of the root. False for any other root.
bool SplitKeyPath(std::string_view path, winreg::HKEY& root, std::string& rootName, std::string& subKey);

// The file's first line.
inline constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

// One line (without line end) for a value in .reg syntax.
std::string FormatValue(const Value& value);

// Text of a value for "reg query" ("0x1e" for a DWORD, hex bytes for binary).
std::string DisplayData(const Value& value);

// "REG_SZ", "REG_DWORD", … for a type number.
std::string TypeName(winreg::DWORD type);

}  // namespace regfile
