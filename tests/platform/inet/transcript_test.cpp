// What the server receives from the FTP client, command by command: an extra round trip or a changed command shows
// here even where the outcome looks the same. Each table runs from the mark on; the data port is written "*".
#include "platform/inet/inet.h"
#include "tests/support/ftp_server.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testsupport::FtpServer;

namespace {

class TranscriptInet : public ::testing::TestWithParam<FtpServer::Kind> {
protected:
    FtpServer server{GetParam()};
    testsupport::TempDir local;
    inet::InternetSession session;

    bool Pyftpdlib() const { return GetParam() == FtpServer::Kind::Pyftpdlib; }
    // Logs in and moves to the writable folder; the commands from here on
    // name nothing that changes between runs or servers.
    inet::FtpConnection* ConnectAtHome(bool passive, std::size_t& mark) {
        auto* c = session.GetFtpConnection("127.0.0.1", server.user(), server.password(),
                                           static_cast<std::uint16_t>(server.port()), passive);
        EXPECT_TRUE(c->SetCurrentDirectory(server.home()));
        mark = server.Commands().size();
        return c;
    }
};

// A listing of the current folder costs no PWD (the walks need only the names); TYPE goes only when the
// representation changes, so listing then fetching text costs one TYPE A, and the binary fetch and upload after it
// one TYPE I. Each data connection is announced with PASV, or in active mode with PORT. vsftpd offers no MLSD and is
// listed with LIST.
TEST_P(TranscriptInet, ListingsAndTransfersInBothModes) {
    ::mkdir(server.Local("www").c_str(), 0755);
    testsupport::WriteFile(server.Local("www/a.txt"), "a\n");
    testsupport::WriteFile(server.Local("www/b.bin"), "b");
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        std::size_t mark = 0;
        auto* c = ConnectAtHome(passive, mark);
        inet::FtpFileFind find(c);
        EXPECT_TRUE(find.FindFile("www/*.txt"));
        ASSERT_TRUE(c->SetCurrentDirectory("www"));
        EXPECT_TRUE(find.FindFile("*.*"));
        EXPECT_TRUE(find.FindFile("*.*", inet::FTP_FIND_FLAG_LIST));
        EXPECT_TRUE(c->GetFile("a.txt", local / "a.txt", false, inet::FTP_TRANSFER_TYPE_ASCII));
        EXPECT_TRUE(c->GetFile("b.bin", local / "b.bin", false, inet::FTP_TRANSFER_TYPE_BINARY));
        EXPECT_TRUE(c->PutFile(local / "b.bin", "c.bin", inet::FTP_TRANSFER_TYPE_BINARY));
        EXPECT_TRUE(find.FindFile("*.*"));
        const std::string list = Pyftpdlib() ? "MLSD" : "LIST";
        const std::string data = passive ? "PASV\n" : "PORT 127,0,0,1,*\n";
        EXPECT_EQ(server.Transcript(mark), "TYPE A\n" + data + list + " www\n"
                                           "CWD www\n" +
                                           data + list + "\n" + data + "LIST\n" + data + "RETR a.txt\n"
                                           "TYPE I\n" +
                                           data + "RETR b.bin\n" + data + "STOR c.bin\n"
                                           "TYPE A\n" +
                                           data + list + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, TranscriptInet,
                         ::testing::Values(FtpServer::Kind::Pyftpdlib, FtpServer::Kind::Vsftpd),
                         [](const ::testing::TestParamInfo<FtpServer::Kind>& p) {
                             return std::string(p.param == FtpServer::Kind::Pyftpdlib ? "pyftpdlib" : "vsftpd");
                         });

}  // namespace
