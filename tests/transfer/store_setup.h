// Settings as the provider manager and the context menu write them, for the transfer tests: a provider entry pointing
// at a test server, routing rules, and the hand-off of a selection.
#pragma once

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/support/store_probe.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <vector>

namespace transfertest {

inline void WriteEntry(const std::string& provider, const std::string& entry, const testsupport::FtpServer& server,
                       const std::string& root, const std::string& password = "") {
    testsupport::Put(layout::EntryKey(provider, entry),
                     {{layout::kServerAddr, "127.0.0.1"}, {layout::kPort, static_cast<winreg::DWORD>(server.port())},
                      {layout::kUserName, server.user()},
                      {layout::kPassword, password.empty() ? server.password() : password}, {layout::kRoot, root}});
}

inline void WriteRule(const std::string& provider, const std::string& dir, const std::string& extensions) {
    testsupport::Put(layout::AutoTransferRuleKey(provider, dir.empty() ? "(base)" : dir),
                     {{layout::kAutoTransferExt, extensions}, {layout::kAutoTransferDir, dir}});
}

inline void WriteHandOff(const std::string& provider, const std::string& entry,
                         const std::vector<std::string>& paths) {
    SettingKey key;
    key.CreateKey(winreg::HKEY_CURRENT_USER, layout::SelectedEntryKey(provider, entry));
    for (std::size_t i = 0; i < paths.size(); ++i)
        key.WriteString(layout::SelectedValueName(static_cast<int>(i)), paths[i]);
    key.WriteString(layout::kRootDir, layout::FolderOf(paths.front()));
}

// The demo site of the source tree, the upload the tests send over FTPS.
inline std::string DemoSite() { return std::string(PARVEX_SOURCE_DIR) + "/demo/site"; }

// Every file below `from` arrived below `to` byte for byte (and nothing is missing).
inline void ExpectSameFiles(const std::string& from, const std::string& to) {
    namespace fs = std::filesystem;
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(from)) {
        if (!e.is_regular_file()) continue;
        ++files;
        const std::string rel = fs::relative(e.path(), from).string();
        EXPECT_EQ(testsupport::ReadFile(to + "/" + rel), testsupport::ReadFile(e.path())) << rel;
    }
    EXPECT_GT(files, 0) << from;
}

// Whether Software\PARVEX\Selected exists.
inline bool HandOffPresent() { return testsupport::KeyExists(layout::kSelectedKey); }

}  // namespace transfertest
