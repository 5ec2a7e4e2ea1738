// Per file, before it goes up: text or binary mode, and the converted
// temporary copy when the options ask for one. The options are read afresh
// for every file, so a change made during a transfer applies from the next file.
#pragma once

#include <functional>
#include <string>

namespace walk {

inline constexpr int kTextMode = 1;
inline constexpr int kBinaryMode = 2;

// 1 (text) when an entry of "TextMode" occurs inside the file's upper-cased
// extension, else 2. "BinaryMode" is read but never changes the answer.
int TransferTypeFor(const std::string& localPath);

// Decides what goes up for `localPath` and sets `sendPath` to it: a fresh
// temporary copy converted to "UploadConvCode" when "CodeConvert" and
// "UploadConvert" are 1, the file's upper-cased extension occurs inside an
// entry of "TextMode" and the file is Japanese text; otherwise the local
// path itself (a file that is not text, with NUL bytes or no recognisable
// code, goes byte for byte). Returns false, with no copy left behind, when
// the conversion failed (the file could not be read or the copy written):
// then nothing is to be sent for this file.
// `status`, when given, is told the text of the conversion under way ("SJISコードへ変換中...").
bool ConvertForUpload(const std::string& localPath, std::string& sendPath,
                      const std::function<void(const std::string&)>& status = {});

// The same decision for a file just downloaded, with "DownloadConvert" and
// "DownloadConvCode" (missing: 1, JIS) and no status text: `convertedPath`
// is a fresh temporary copy holding the converted text, or `localPath`
// itself when nothing is to be converted. False, with no copy left, when the
// conversion failed.
bool ConvertAfterDownload(const std::string& localPath, std::string& convertedPath);

// Deletes `sentPath` only if it is a copy ConvertForUpload made and has not
// yet been removed; anything else (a user's notes.tmp) is left alone.
void RemoveTempCopy(const std::string& sentPath);

// The process's private folder for temporary copies (made on first use,
// removed with its contents at exit), ending in '/'. Its name,
// "parvex-<pid>-XXXXXX", tells a later run whose it was.
const std::string& TempCopyFolder();

// Removes the private folders in the temporary directory left by processes
// that no longer exist (killed before their exit clean-up ran): only real
// folders (not links) named "parvex-<pid>-XXXXXX" and owned by this user;
// links inside are removed, never followed. Returns how many it removed.
int RemoveStaleTempFolders();

}  // namespace walk
