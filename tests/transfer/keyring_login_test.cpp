// The transfer program's login when the entry's password is in the desktop keyring (a real gnome-keyring-daemon on a
// bus of the test's own) and the server is a real pyftpdlib: read from the keyring, asked for when the keyring has
// none, and never a connection when the keyring cannot give it.
#include "browser/core/document.h"
#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/support/keyring_service.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/store_setup.h"
#include "transfer/menu_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

using namespace std::chrono_literals;
using testsupport::FtpServer;

namespace {

// The display of a user who answers the password question with `answer` (nullopt: cancels).
class AskedDisplay : public transfertest::RecordingDisplay {
public:
    bool AskPassword(const std::string& provider, const std::string& server, const std::string& user,
                     std::string& password) override {
        asked.push_back(provider + " " + server + " " + user);
        if (answer) password = *answer;
        return answer.has_value();
    }
    std::optional<std::string> answer;
    std::vector<std::string> asked;
};

enum class Keyring { Holding, Empty, Locked, None };

// The entry "www" of "青空" at `server`, its password kept in the keyring.
void PutKeyringEntry(const FtpServer& server) {
    transfertest::WriteEntry("青空", "www", server, "");
    testsupport::Put(layout::EntryKey("青空", "www"), {{layout::kPassword, ""}, {layout::kPasswordInKeyring, 1u}});
}

TEST(KeyringLogin, UsesTheKeyringsPasswordAsksWhenItHasNoneAndNeverConnectsWithoutOne) {
    const struct {
        const char* what;
        Keyring keyring;
        std::optional<std::string> answer;  // the user's, when asked
        const char* status;                 // the last status line
        bool asked, sent;
    } rows[] = {
        {"keyring holds it", Keyring::Holding, std::nullopt, "ファイル転送完了しました", false, true},
        {"typed for a moved provider", Keyring::Empty, "right", "ファイル転送完了しました", true, true},
        {"question cancelled", Keyring::Empty, std::nullopt, "青空: パスワードが入力されなかったため接続を中止しました",
         true, false},
        {"locked, nobody to unlock", Keyring::Locked, "right",
         "青空: キーリングがロックされているためパスワードを読めませんでした", false, false},
        {"no keyring", Keyring::None, "right", "青空: キーリングが使えないためパスワードを読めませんでした", false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        testsupport::ScopedStore store;
        testsupport::TempDir local;
        testsupport::KeyringService service;
        FtpServer server(FtpServer::Kind::Pyftpdlib);
        const keyring::Key key{"青空", "www", "127.0.0.1", server.user()};
        if (row.keyring != Keyring::None) {
            ASSERT_TRUE(service.Start(true));
            if (row.keyring != Keyring::Empty) {
                ASSERT_EQ(keyring::Store(key, server.password(), 10s), keyring::Status::Ok);
            }
            if (row.keyring == Keyring::Locked) {
                service.Stop();
                ASSERT_TRUE(service.Start(false));
            }
        }
        PutKeyringEntry(server);
        testsupport::WriteFile(local / "a.txt", "abc");
        transfertest::WriteHandOff("青空", "www", {local / "a.txt"});
        AskedDisplay display;
        display.answer = row.answer ? std::optional<std::string>(server.password()) : std::nullopt;
        transfer::MenuUpload(display, [](int) {}).Run();

        EXPECT_EQ(display.status, row.status);
        EXPECT_EQ(display.asked, row.asked ? std::vector<std::string>{"青空 127.0.0.1 " + server.user()}
                                           : std::vector<std::string>{});
        const std::vector<std::string> commands = server.Commands();
        EXPECT_EQ(std::filesystem::exists(server.Local("a.txt")), row.sent);
        if (row.sent) {
            EXPECT_NE(std::find(commands.begin(), commands.end(), "USER " + server.user()), commands.end());
            EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                                    [](const std::string& c) { return c.rfind("PASS", 0) == 0; }), 1)
                << "one login, accepted";
        } else {
            EXPECT_EQ(commands, std::vector<std::string>{}) << "nothing reached the server";
        }
        if (row.keyring == Keyring::Empty && row.sent) {
            // Kept for the next login, and the file still holds no password.
            std::string kept;
            EXPECT_EQ(keyring::Lookup(key, kept, 10s), keyring::Status::Ok);
            EXPECT_EQ(kept, server.password());
            EXPECT_EQ(testsupport::StoredString(layout::EntryKey("青空", "www"), layout::kPassword), "");
        }
    }
}

// The browser reads the password on its login thread, not when it takes the hand-off.
TEST(KeyringLogin, TheBrowserLogsInWithTheKeyringsPasswordAndNotAtAllWhenItIsLocked) {
    for (const bool locked : {false, true}) {
        testsupport::ScopedStore store;
        testsupport::KeyringService service;
        FtpServer server(FtpServer::Kind::Pyftpdlib);
        ASSERT_TRUE(service.Start(true));
        ASSERT_EQ(keyring::Store({"青空", "www", "127.0.0.1", server.user()}, server.password(), 10s),
                  keyring::Status::Ok);
        if (locked) {
            service.Stop();
            ASSERT_TRUE(service.Start(false));
        }
        PutKeyringEntry(server);
        transfertest::WriteHandOff("青空", "www", {"/tmp/x"});
        brovin::CBrovinDoc doc;
        doc.OnNewDocument();
        EXPECT_EQ(doc.password, "") << "nothing read before the login";
        std::string failure;
        EXPECT_EQ(doc.Connect([](int, const std::string&) {}, &failure), !locked);
        EXPECT_EQ(failure, locked ? "青空: キーリングがロックされているためパスワードを読めませんでした" : "");
        EXPECT_EQ(server.Commands().empty(), locked);
    }
}

}  // namespace
