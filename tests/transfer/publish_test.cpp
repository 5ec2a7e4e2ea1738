// Uploading a site again with "SendChangedOnly" on: the server's log shows
// which files went (STOR), on servers with MLSD and MFMT (pyftpdlib,
// proftpd) and without either (vsftpd, where only the record of what was
// sent and LIST's sizes tell).
#include "transfer/menu_upload.h"

#include "common/registry/layout.h"
#include "tests/support/ftp_server.h"
#include "tests/transfer/recording_display.h"
#include "tests/transfer/site_transcript.h"
#include "tests/transfer/store_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

using testsupport::FtpServer;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

// Shift_JIS text, sent converted to JIS: its size on the server is not its local size.
const std::string kJapanese = testsupport::Encode("SHIFT_JIS", "日本語のテキストです。\r\n変換して送ります。\r\n");

// Hears each status text as the upload shows it, for a change made while the walk is under way.
class HearingDisplay : public transfertest::RecordingDisplay {
public:
    void SetStatusText(const std::string& text) override {
        RecordingDisplay::SetStatusText(text);
        if (heard) heard(text);
    }
    std::function<void(const std::string&)> heard;
};

class Publish : public ::testing::TestWithParam<FtpServer::Kind> {
public:
    testsupport::ScopedStore store;
    testsupport::TempDir local;
    FtpServer server{GetParam()};
    HearingDisplay display;
    std::vector<std::string> selection;
    std::vector<std::string> commands;  // what the last upload sent

    void SetUp() override {
        SettingKey options;
        options.CreateKey(winreg::HKEY_CURRENT_USER, layout::kOptionKey);
        options.WriteString(layout::kTextMode, ".html;.txt;");
        options.WriteDword(layout::kCodeConvert, 1);
        options.WriteDword(layout::kUploadConvert, 1);
        options.WriteDword(layout::kUploadConvCode, layout::kCodeJis);
        options.WriteDword(layout::kSendChangedOnly, 1);
        fs::create_directories(server.Local("www"));
        selection = transfertest::MakeSite(local.path());
        WriteFile(local / "site/jp.txt", kJapanese);
        // Every local file a minute old: a change the test makes is then a later time.
        for (const auto& e : fs::recursive_directory_iterator(local.path()))
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::minutes(1));
    }
    // Uploads the selection into www (the entry's root relative: the per-extension entry goes down by
    // component); returns the names of the files stored. Nothing is ever removed.
    std::set<std::string> Upload(const std::string& entry = "site") {
        display.Clear();
        const std::size_t mark = server.Commands().size();
        transfertest::WriteEntry("Home", entry, server, GetParam() == FtpServer::Kind::Vsftpd ? "pub/www" : "www");
        transfertest::WriteHandOff("Home", entry, selection);
        transfer::MenuUpload(display, [](int) {}).Run();
        std::set<std::string> stored;
        const std::vector<std::string> all = server.Commands();
        commands.assign(all.begin() + static_cast<std::ptrdiff_t>(mark), all.end());
        for (const auto& c : commands) {
            if (c.rfind("STOR ./", 0) == 0) stored.insert(c.substr(7));
            EXPECT_NE(c.rfind("DELE", 0), 0u) << c;
        }
        return stored;
    }
    // The last upload's changes of directory and directories made, but for the way to the entry's root.
    std::vector<std::string> Moves() const {
        std::vector<std::string> moves;
        for (const auto& c : commands)
            if ((c.rfind("CWD ", 0) == 0 && c != "CWD www" && c != "CWD pub") || c.rfind("MKD ", 0) == 0)
                moves.push_back(c);
        return moves;
    }
};

using Names = std::set<std::string>;
const Names kWholeSite = {"readme.txt", "index.html", "jp.txt", "logo.png", "main.css", "a.png", "p.txt"};

void Touch(const std::string& path, std::chrono::seconds ahead) {
    fs::last_write_time(path, fs::file_time_type::clock::now() + ahead);
}

TEST_P(Publish, SendsWhatChangedOnEitherSide) {
    const struct {
        const char* what;
        std::function<void(Publish&)> change;
        Names exact, plain;  // stored on pyftpdlib and proftpd; on vsftpd
    } rows[] = {
        {"nothing changed, text-mode and converted files included", [](Publish&) {}, {}, {}},
        {"content changed, size not, local time newer",
         [](Publish& t) {
             WriteFile(t.local / "site/css/main.css", "body{x}");
             WriteFile(t.local / "site/index.html", "<HTML>\n");
         },
         {"main.css", "index.html"}, {"main.css", "index.html"}},
        {"someone else replaced a file on the server",
         [](Publish& t) { WriteFile(t.server.Local("www/site/img/a.png"), "someone else's"); }, {"a.png"}, {"a.png"}},
        {"someone else removed a file on the server", [](Publish& t) { fs::remove(t.server.Local("www/site/jp.txt")); },
         {"jp.txt"}, {"jp.txt"}},
        // The server's copies look newer than the edit, which still goes; logo.png's time is no longer
        // the one set after sending, so it is not provably ours where times are exact.
        {"local edit while the server's times run an hour ahead",
         [](Publish& t) {
             Touch(t.server.Local("www/site/logo.png"), std::chrono::hours(1));
             Touch(t.server.Local("www/readme.txt"), std::chrono::hours(1));
             WriteFile(t.local / "readme.txt", "R\n");
         },
         {"readme.txt", "logo.png"}, {"readme.txt"}},
        // Made again from its parent, which is listed and lacks it: no CWD that fails goes first.
        {"someone else removed a folder on the server",
         [](Publish& t) { fs::remove_all(t.server.Local("www/site/css/print")); }, {"p.txt"}, {"p.txt"}},
        // The parent's listing showed it: the way in is tried, fails, and the folder is made again.
        {"someone else removed a folder while the walk was under way",
         [](Publish& t) {
             t.display.heard = [&t](const std::string& text) {
                 if (text.find("main.css 処理中") != std::string::npos) fs::remove_all(t.server.Local("www/site/css"));
             };
         },
         {"main.css", "p.txt"}, {"main.css", "p.txt"}},
        {"the record is lost: only files sent byte for byte prove themselves, by the time set",
         [](Publish&) { winreg::RegDeleteTree(winreg::HKEY_CURRENT_USER, layout::kPublishedKey); },
         {"readme.txt", "index.html", "jp.txt", "p.txt"}, kWholeSite},
    };
    const bool exact = GetParam() != FtpServer::Kind::Vsftpd;  // MLSD and MFMT
    EXPECT_EQ(Upload(), kWholeSite);
    ASSERT_NE(testsupport::ReadFile(server.Local("www/site/jp.txt")).size(), kJapanese.size()) << "sent converted";
    EXPECT_EQ(std::count_if(commands.begin(), commands.end(), [](auto& c) { return c.rfind("MFMT ", 0) == 0; }),
              exact ? 7 : 0);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.change(*this);
        const Names& expected = exact ? row.exact : row.plain;
        EXPECT_EQ(Upload(), expected);
        display.heard = nullptr;
        const auto sent = static_cast<int>(expected.size());
        EXPECT_EQ(display.status, "ファイル転送完了しました。" + transfer::ChangedOnlyText(sent, 7 - sent));
        EXPECT_EQ(testsupport::ReadFile(server.Local("www/site/img/a.png")), "a");
        // A directory its parent's listing lacks is made at once: no CWD into it fails first.
        const std::vector<std::string> moves = Moves();
        if (const auto made = std::ranges::find(moves, "MKD ./print"); made != moves.begin() && made != moves.end()) {
            EXPECT_NE(*(made - 1), "CWD print");
        }
        EXPECT_EQ(Upload(), Names()) << "the next upload finds everything up to date";
        EXPECT_EQ(Moves(), std::vector<std::string>()) << "and lists every directory from where it started";
    }
}

// A file where the folder's directory goes is no directory, whatever the listing says of it: the way in is tried
// and the walk stops there, as it does without the option; nothing of the folder is reported up to date.
TEST_P(Publish, AFileWhereAFolderGoesStopsTheWalk) {
    EXPECT_EQ(Upload(), kWholeSite);
    fs::remove_all(server.Local("www/site/img"));
    WriteFile(server.Local("www/site/img"), "a file");
    EXPECT_EQ(Upload(), Names());
    EXPECT_EQ(display.status, "作成ディレクトリに移動できません...img");
    const std::vector<std::string> moves = Moves();
    EXPECT_NE(std::ranges::find(moves, "CWD img"), moves.end());
}

TEST_P(Publish, PerExtensionRoutingLooksInEachTargetDirectory) {
    transfertest::WriteRule("Home", "images", ".png;");
    transfertest::WriteRule("Home", "text", ".txt;.html;");
    fs::create_directories(server.Local("www/images"));
    fs::create_directories(server.Local("www/text"));
    EXPECT_EQ(Upload(layout::kAutoTransferEntry), kWholeSite);
    EXPECT_EQ(Upload(layout::kAutoTransferEntry), Names());
    WriteFile(server.Local("www/images/logo.png"), "changed there");
    WriteFile(local / "site/css/print/p.txt", "changed here\n");
    EXPECT_EQ(Upload(layout::kAutoTransferEntry), (Names{"logo.png", "p.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Servers, Publish,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd,
                                           FtpServer::Kind::Proftpd),
                         testsupport::KindName);

}  // namespace
