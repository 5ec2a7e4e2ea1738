#include "transfer/extension_list.h"

namespace transfer {

std::string UpperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::vector<std::string> ExtensionEntries(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t semi = list.find(';', start);
        std::string entry = list.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        if (!entry.empty()) out.push_back(UpperAscii(entry));
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
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

}  // namespace transfer
