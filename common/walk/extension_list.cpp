#include "common/walk/extension_list.h"

namespace walk {

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::vector<std::string> SplitNonEmpty(const std::string& text, char separator) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        std::string piece = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!piece.empty()) out.push_back(piece);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

std::vector<std::string> ExtensionEntries(const std::string& list) {
    std::vector<std::string> out = SplitNonEmpty(list, ';');
    for (auto& e : out) e = UpperAscii(e);
    return out;
}

bool ExtensionInEntry(const std::string& extension, const std::string& list) {
    std::string ext = UpperAscii(extension);
    for (const auto& e : ExtensionEntries(list))
        if (e.find(ext) != std::string::npos) return true;
    return false;
}

bool EntryInExtension(const std::string& extension, const std::string& list) {
    std::string ext = UpperAscii(extension);
    if (ext.empty()) return false;
    for (const auto& e : ExtensionEntries(list))
        if (ext.find(e) != std::string::npos) return true;
    return false;
}

bool ExtensionListed(const std::string& extension, const std::string& list) {
    std::string ext = UpperAscii(extension);
    if (ext.empty()) return false;
    for (const auto& e : ExtensionEntries(list))
        if (e == ext) return true;
    return false;
}

}  // namespace walk
