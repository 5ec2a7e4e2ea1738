#include "common/walk/remote_listing.h"

#include "common/registry/layout.h"

#include <algorithm>
#include <ctime>

namespace walk {

bool ListDirectory(inet::FtpConnection* connection, const std::string& directory, std::vector<Row>& rows) {
    rows.clear();
    if (!connection || !connection->SetCurrentDirectory(directory)) return false;
    inet::FtpFileFind find(connection, 1);
    if (!find.FindFile("*.*", inet::INTERNET_FLAG_RELOAD))
        return inet::GetLastInternetError() == inet::ERROR_NO_MORE_FILES;
    for (bool more = true; more;) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        Row row;
        row.name = find.GetFileName();
        row.directory = find.IsDirectory();
        row.link = find.IsLink();
        row.size = find.GetLength();
        row.mtime = find.GetLastWriteTime();
        rows.push_back(std::move(row));
    }
    find.Close();
    OrderRows(rows);
    return true;
}

void OrderRows(std::vector<Row>& rows) {
    std::stable_partition(rows.begin(), rows.end(), [](const Row& r) { return r.directory; });
}

std::string DateText(std::int64_t mtime) {
    if (mtime == 0) return "";
    std::time_t t = static_cast<std::time_t>(mtime);
    std::tm tm{};
    if (!::localtime_r(&t, &tm)) return "";
    return layout::Format("%4d/%2d/%2d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

namespace {

// The length of the UTF-8 character at `s[i]` and its code point; 0 when the
// bytes there are no valid character (overlong forms and surrogates included).
std::size_t Utf8Char(const std::string& s, std::size_t i, char32_t& cp) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    std::size_t len = 0;
    char32_t min = 0;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

// Characters that show nothing of themselves, or turn the text around them
// (a name ending in "\u202Etxt.exe" would read as "exe.txt").
bool Invisible(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0xAD || cp == 0x061C || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x2069) || cp == 0xFEFF ||
           (cp >= 0xFFF9 && cp <= 0xFFFB);
}

}  // namespace

std::string ShownName(const std::string& raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        char32_t cp = 0;
        std::size_t len = Utf8Char(raw, i, cp);
        if (len == 0) {
            out += layout::Format("\\x%02X", static_cast<unsigned char>(raw[i]));
            ++i;
            continue;
        }
        if (cp == '\r') out += "\\r";
        else if (cp == '\n') out += "\\n";
        else if (cp == '\t') out += "\\t";
        else if (cp < 0x20 || cp == 0x7F) out += layout::Format("\\x%02X", static_cast<unsigned>(cp));
        else if (Invisible(cp)) out += layout::Format("\\u%04X", static_cast<unsigned>(cp));
        else out.append(raw, i, len);
        i += len;
    }
    return out;
}

}  // namespace walk
