// The suite-wide transfer options under Software\PARVEX\Option, as the
// option sheet edits them: the two extension lists that pick text or binary
// mode, whether and how Japanese text is converted, the download folder,
// whether uploads send only what changed and over how many connections.
#pragma once

#include "platform/registry/registry.h"

#include <string>

namespace settings {

struct OptionValues {
    std::string textMode;    // "TextMode", e.g. ".htm;.html;.txt;"
    std::string binaryMode;  // "BinaryMode"
    winreg::DWORD codeConvert = 0;
    winreg::DWORD uploadConvert = 0;
    winreg::DWORD downloadConvert = 0;
    winreg::DWORD uploadConvCode = 0;    // 0 SJIS, 1 JIS, 2 EUC
    winreg::DWORD downloadConvCode = 0;  // 0 SJIS, 1 JIS, 2 EUC
    std::string downloadFolder;
    winreg::DWORD sendChangedOnly = 0;  // 1: uploads send only what changed
    winreg::DWORD connections = 1;      // how many connections an upload sends over, 1 to 8
};

// Reads the ten option values; the connection count is clamped into 1 to 8. The Option key is opened, never created;
// a missing key or value leaves that field as it was in `values` (callers
// start from a default-constructed record: empty texts and zeros). The
// download folder is read whatever its length (a local path may be longer
// than the 255 bytes a plain string value is read through).
void LoadOptions(OptionValues& values);

// Writes all ten values in one store transaction: an empty text-mode list
// as ".htm;.html;.txt;.cgi;", an empty binary-mode list as ".exe;.lzh;.zip;",
// an empty download folder as the user's documents folder. Returns
// ERROR_SUCCESS, ERROR_INVALID_PARAMETER (nothing written) when an extension
// list is longer than 255 bytes (it could never be read back), or the status
// of the first write that failed, with nothing written.
winreg::LONG SaveOptions(const OptionValues& values);

}  // namespace settings
