#include "browser/core/listing.h"

#include "common/registry/layout.h"

#include <algorithm>
#include <ctime>

namespace brovin {

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

bool SafeName(const std::string& name) {
    return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\r\n\0", 5)) == std::string::npos;
}

}  // namespace brovin
