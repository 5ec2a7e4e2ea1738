// File names in the server's encoding: a pyftpdlib that keeps names as the bytes it receives (so its disk holds
// Shift_JIS or EUC-JP names, as on an older server), and which encoding "Auto" settles on with real servers.
#include "platform/inet/inet.h"
#include "tests/support/ftp_server.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <set>

using namespace inet;
using testsupport::Encode;
using testsupport::FtpServer;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::set<std::string> List(FtpConnection* c, const std::string& pattern) {
    std::set<std::string> names;
    FtpFileFind find(c);
    for (bool more = find.FindFile(pattern); more;) {
        more = find.FindNextFile();
        names.insert(find.GetFileName());
    }
    return names;
}

struct Legacy {
    const char* serverEncoding;  // pyftpd.py --encoding
    NameEncoding asked;
    const char* charset;  // iconv's name for what the disk holds
    // Names on the disk that must come back as their bytes: not in the encoding at all, valid UTF-8 though not valid
    // in the encoding, and (CP932) a character with two codes, of which the other one is canonical.
    std::vector<std::string> raw;
};

void PrintTo(const Legacy& p, std::ostream* os) { *os << p.serverEncoding << " asked " << static_cast<int>(p.asked); }

class LegacyServer : public testing::TestWithParam<Legacy> {};

TEST_P(LegacyServer, NamesConvertBothWaysAndUnwritableOnesAreNeverSent) {
    const Legacy& p = GetParam();
    FtpServer server(FtpServer::Kind::Pyftpdlib, "", {"--encoding", p.serverEncoding});
    auto disk = [&](const std::string& utf8Path) { return server.Local(Encode(p.charset, utf8Path)); };
    testsupport::TempDir local;
    ::mkdir(disk("資料").c_str(), 0777);
    WriteFile(disk("資料/報告.txt"), "report");
    for (const std::string& raw : p.raw) WriteFile(server.Local(raw), "raw " + raw);

    InternetSession session;
    FtpConnection* c = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                                static_cast<std::uint16_t>(server.port()), true, {}, {}, p.asked);
    EXPECT_EQ(c->Names(), p.asked == NameEncoding::Auto ? NameEncoding::ShiftJis : p.asked);

    std::set<std::string> expected(p.raw.begin(), p.raw.end());
    expected.insert("資料");
    EXPECT_EQ(List(c, "*"), expected);
    EXPECT_EQ(List(c, "資料/報*.txt"), std::set<std::string>{"報告.txt"});
    ASSERT_TRUE(c->SetCurrentDirectory("資料"));
    std::string dir;
    ASSERT_TRUE(c->GetCurrentDirectory(dir));
    EXPECT_EQ(dir, "/資料");

    ASSERT_TRUE(c->GetFile("報告.txt", local / "report", false));
    EXPECT_EQ(ReadFile(local / "report"), "report");
    WriteFile(local / "up", "uploaded");
    // 表 is 95 5C in Shift_JIS: its second byte is a backslash.
    ASSERT_TRUE(c->PutFile(local / "up", "表.txt"));
    EXPECT_EQ(ReadFile(disk("資料/表.txt")), "uploaded");
    const std::vector<std::string> commands = server.Commands();
    EXPECT_EQ(commands.back(), "STOR " + Encode(p.charset, "表.txt"));

    // Every name the listing gave back as bytes names its own file.
    ASSERT_TRUE(c->SetCurrentDirectory(".."));
    for (const std::string& raw : p.raw) {
        ASSERT_TRUE(c->GetFile(raw, local / "raw", false)) << raw;
        EXPECT_EQ(ReadFile(local / "raw"), "raw " + raw);
        ASSERT_TRUE(c->Rename(raw, "戻した.txt")) << raw;
        EXPECT_EQ(ReadFile(disk("戻した.txt")), "raw " + raw);
        ASSERT_TRUE(c->Remove("戻した.txt"));
    }

    // A character the encoding lacks fails the call before anything is sent.
    const std::size_t mark = server.Commands().size();
    for (const std::string bad : {"😀.txt", "資料/😀"}) {
        EXPECT_FALSE(c->PutFile(local / "up", bad));
        EXPECT_EQ(GetLastInternetError(), ERROR_NO_UNICODE_TRANSLATION) << bad;
        EXPECT_FALSE(c->GetFile(bad, local / "never", false));
        EXPECT_FALSE(c->CreateDirectory(bad));
        EXPECT_FALSE(c->SetCurrentDirectory(bad));
        EXPECT_FALSE(c->Rename("資料", bad));
        EXPECT_EQ(GetLastInternetError(), ERROR_NO_UNICODE_TRANSLATION) << bad;
        EXPECT_FALSE(c->Remove(bad));
        EXPECT_FALSE(FtpFileFind(c).FindFile(bad + "/*"));
        EXPECT_EQ(GetLastInternetError(), ERROR_NO_UNICODE_TRANSLATION) << bad;
    }
    EXPECT_FALSE(Exists(local / "never"));
    ASSERT_TRUE(c->GetCurrentDirectory(dir));
    const std::vector<std::string> after = server.Commands();
    EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<std::ptrdiff_t>(mark), after.end()),
              std::vector<std::string>{"PWD"});
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, LegacyServer,
    testing::Values(Legacy{"cp932", NameEncoding::ShiftJis, "CP932", {"\xA0raw.txt", "\xC3\xA0.txt", "\xED\x40.txt"}},
                    Legacy{"cp932", NameEncoding::Auto, "CP932", {"\xA0raw.txt"}},
                    Legacy{"euc_jp", NameEncoding::EucJp, "EUC-JP", {"\xA0raw.txt", "\xC3\xA0.txt"}}),
    [](const testing::TestParamInfo<Legacy>& row) {
        return std::string(row.param.serverEncoding) + "_asked_" + std::to_string(static_cast<int>(row.param.asked));
    });

// pyftpdlib lists UTF8 and refuses OPTS UTF8 ON: "Auto" still settles on UTF-8. (vsftpd: the walkers' "UTF-8
// detected" row; a name sent as it is: FtpClient's listed names.)
TEST(NameEncodingAuto, AServerThatRefusesOptsUtf8IsStillUtf8) {
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    InternetSession session;
    FtpConnection* c = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                                static_cast<std::uint16_t>(server.port()), true, {}, {},
                                                NameEncoding::Auto);
    EXPECT_EQ(c->Names(), NameEncoding::Utf8);
    ASSERT_TRUE(c->SetCurrentDirectory(server.home()));
    ASSERT_TRUE(c->CreateDirectory("ホーム"));
    EXPECT_TRUE(Exists(server.Local("ホーム")));
}

}  // namespace
