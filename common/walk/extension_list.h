// Extension lists such as ".htm;.html;.txt;": entries with their period,
// separated by ';', compared upper-cased. Each use has its own match rule.
#pragma once

#include <string>
#include <vector>

namespace walk {

// The non-empty pieces of `text` between `separator`s.
std::vector<std::string> SplitNonEmpty(const std::string& text, char separator);

// The upper-cased entries; empty entries (";;", a trailing ';') are dropped.
std::vector<std::string> ExtensionEntries(const std::string& list);

std::string UpperAscii(std::string s);

// Conversion match: the upper-cased extension occurs inside an entry
// (".HTM" matches ".HTML"; an empty extension matches any entry).
bool ExtensionInEntry(const std::string& extension, const std::string& list);

// Mode match: an entry occurs inside the upper-cased extension (".HTML"
// matches ".HTM"; an empty extension matches nothing).
bool EntryInExtension(const std::string& extension, const std::string& list);

// Routing match: the upper-cased extension equals a whole entry (".jpeg"
// matches ".JPEG;" but never ".JP" nor an empty extension).
bool ExtensionListed(const std::string& extension, const std::string& list);

}  // namespace walk
