#include "transfer/sent_record.h"

#include "common/registry/layout.h"
#include "common/registry/setting_key.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

namespace transfer {

namespace {

constexpr const char* kDirectoryValue = "Directory";
constexpr const char* kFilesValue = "Files";

// Key names hold at most 255 bytes and no backslash, a server's path may hold
// anything: the key is named by a hash of the path, and the path itself is
// stored in it to tell two paths of the same hash apart.
std::string RecordKey(const std::string& provider, const std::string& directory) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a: the same name on every build
    for (unsigned char c : directory) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char name[17];
    std::snprintf(name, sizeof name, "%016" PRIx64, h);
    return layout::Format(layout::kChildFormat, layout::kPublishedKey, provider.c_str(), name);
}

}  // namespace

SentRecord LoadSentRecord(const std::string& provider, const std::string& directory) {
    SentRecord record;
    SettingKey key;
    if (key.OpenKey(winreg::HKEY_CURRENT_USER, RecordKey(provider, directory)) != winreg::ERROR_SUCCESS)
        return record;
    std::string stored, files;
    if (key.ReadPath(kDirectoryValue, stored) != winreg::ERROR_SUCCESS || stored != directory) return record;
    if (key.ReadPath(kFilesValue, files) != winreg::ERROR_SUCCESS) return record;
    // One file a line: four numbers, then the name (which holds no line end: such a name is never sent).
    std::istringstream lines(files);
    std::string line;
    while (std::getline(lines, line)) {
        SentFile f;
        unsigned long long localSize = 0, sentSize = 0;
        long long localTime = 0, remoteTime = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%llu %lld %llu %lld %n", &localSize, &localTime, &sentSize, &remoteTime,
                        &used) != 4 ||
            used <= 0 || static_cast<std::size_t>(used) >= line.size())
            continue;
        f.localSize = localSize;
        f.localTime = localTime;
        f.sentSize = sentSize;
        f.remoteTime = remoteTime;
        record[line.substr(static_cast<std::size_t>(used))] = f;
    }
    return record;
}

winreg::LONG SaveSentRecord(const std::string& provider, const std::string& directory, const SentRecord& record) {
    std::string files;
    for (const auto& [name, f] : record) {
        if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos || name.empty()) continue;
        files += layout::Format("%llu %lld %llu %lld ", static_cast<unsigned long long>(f.localSize),
                                static_cast<long long>(f.localTime), static_cast<unsigned long long>(f.sentSize),
                                static_cast<long long>(f.remoteTime)) +
                 name + "\n";
    }
    winreg::Transaction transaction;
    if (transaction.Status() != winreg::ERROR_SUCCESS) return transaction.Status();
    SettingKey key;
    winreg::LONG st = key.CreateKey(winreg::HKEY_CURRENT_USER, RecordKey(provider, directory));
    if (st == winreg::ERROR_SUCCESS) st = key.WriteString(kDirectoryValue, directory);
    if (st == winreg::ERROR_SUCCESS) st = key.WriteString(kFilesValue, files);
    key.CloseKey();
    return st == winreg::ERROR_SUCCESS ? transaction.Commit() : st;
}

}  // namespace transfer
