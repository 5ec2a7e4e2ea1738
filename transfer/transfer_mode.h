// Per file, before it goes up: text or binary mode, and the converted
// temporary copy when the options ask for one. The options are read afresh
// for every file, so a change made during a transfer applies from the next file.
#pragma once

#include <string>

namespace transfer {

inline constexpr int kTextMode = 1;
inline constexpr int kBinaryMode = 2;

// 1 (text) when an entry of "TextMode" occurs inside the file's upper-cased
// extension, else 2. "BinaryMode" is read but never changes the answer.
int TransferTypeFor(const std::string& localPath);

// The path to send: the local path, or a temporary copy converted to
// "UploadConvCode" when "CodeConvert" and "UploadConvert" are 1 and the
// file's upper-cased extension occurs inside an entry of "TextMode". The
// copy is "<base name>.tmp" in a temporary folder private to this process.
std::string ConvertForUpload(const std::string& localPath);

// Deletes `sentPath` only if it is a temporary copy made by ConvertForUpload.
void RemoveTempCopy(const std::string& sentPath);

// The process's private folder for temporary copies (made on first use,
// removed with its contents at exit), ending in '/'.
const std::string& TempCopyFolder();

}  // namespace transfer
