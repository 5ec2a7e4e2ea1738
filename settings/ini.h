// Reading definition files the way Windows users' tools write and read them:
// INI text in any of the Japanese codes, looked up as the Windows profile
// functions look it up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace settings {

// Longest string a profile read yields: Windows tools read values through a
// 260-byte buffer, so files written for them never rely on more.
inline constexpr std::size_t kIniStringBytes = 259;

// Turns the bytes of a text file into UTF-8: a UTF-8 byte-order mark is
// dropped, Shift_JIS, EUC-JP and ISO-2022-JP are detected and converted
// (bytes that are no valid character become 〓). Returns false with
// `error` set (Japanese, for the user) when the bytes are no text: control
// bytes that text never holds (NUL, for one), or no Japanese code reads them.
bool DecodeText(std::string_view bytes, std::string& utf8, std::string& error);

// An INI text parsed once and looked up as the profile functions do:
// section and key names compare without regard to ASCII case; the first
// section of a name is the only one searched, and its first key of a name
// wins; blanks around names and values are trimmed; a value wrapped whole in
// double quotes loses them; lines whose first non-blank is ";" and lines
// without "=" are ignored, as are keys before the first section. CR LF and LF
// both end a line.
class IniFile {
public:
    explicit IniFile(std::string_view utf8Text);

    // The value, cut to kIniStringBytes bytes at a character boundary;
    // `fallback` when the section or the key is missing.
    std::string GetString(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
    // The value's leading decimal digits (saturating at INT32_MAX); 0 when it
    // has none (a sign included) and `fallback` when the key is missing.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t fallback = 0) const;
    // The highest n for which the key `stem` followed by n in decimal (no
    // leading zeros, as "%s%d" writes it) exists in the section; 0 when none.
    // Lets a reader stop at the last numbered key instead of counting to a
    // count that a broken file may put at two thousand million.
    std::int32_t HighestIndex(std::string_view section, std::string_view stem) const;

private:
    struct Section {
        std::unordered_map<std::string, std::string> values;     // lower-cased key -> first value
        std::unordered_map<std::string, std::int32_t> highest;   // lower-cased stem -> highest number
    };
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> index_;         // lower-cased name -> first section
    const std::string* Find(std::string_view section, std::string_view key) const;
};

// The integer a profile read makes of a value: its leading decimal digits,
// saturating at INT32_MAX; 0 when it starts with anything else.
std::int32_t ProfileInt(std::string_view value);

// Cuts `text` to at most `bytes` bytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t bytes);

// Splits a routing line at commas, double quotes and spaces (a run counts as
// one, leading ones are skipped) into its first two tokens: the target
// directory and the extension list. Returns false when the line has none.
bool SplitRoutingLine(std::string_view line, std::string& directory, std::string& extensions);

}  // namespace settings
