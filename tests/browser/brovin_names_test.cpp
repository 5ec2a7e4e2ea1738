// Names that are not UTF-8, or hold control characters, in the browser's window: every row shows its whole name, and
// the commands on a row send the server's own bytes (checked on the server's disk), never the shown text.
#include "browser/dialogs.h"
#include "tests/browser/brovin_fixture.h"

#include <wx/listctrl.h>

#include <filesystem>
#include <set>

using namespace browsertest;
namespace fs = std::filesystem;

namespace {

using BrovinNames = BrovinFixture;

// What the rows show, in order.
std::vector<std::string> Shown(CBrovinView* v) {
    std::vector<std::string> out;
    for (long i = 0; i < v->GetItemCount(); ++i) out.push_back(v->GetItemText(i).utf8_string());
    return out;
}

const std::string kSjis = "\x93\xfa\x96{\x8c\xea.txt";  // "日本語.txt" in Shift_JIS
const std::string kSjisShown = "\\x93\\xFA\\x96{\\x8C\\xEA.txt";

// vsftpd hands its names over byte for byte, as the disk holds them.
TEST_F(BrovinNames, ShiftJisAndStrayBytesAreShownAndTheirCommandsSendTheServersBytes) {
    FtpServer server(FtpServer::Kind::Vsftpd);
    WriteFile(server.Local(kSjis), "sjis");
    WriteFile(server.Local("bad\xff.bin"), "bad");
    WriteFile(server.Local("cr\rname.txt"), "cr");
    WriteFile(server.Local("plain.txt"), "plain");
    Start(server, server.home());
    CBrovinView* v = frame->View();
    std::vector<std::string> shown = Shown(v);
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()),
              (std::set<std::string>{kSjisShown, "bad\\xFF.bin", "cr\\rname.txt", "plain.txt"}));

    // Download: the local file gets the server's bytes as its name.
    DownloadInto(local / "dl");
    ASSERT_TRUE(RunOn(kSjisShown, ID_DOWNLOAD_TO));
    EXPECT_EQ(ReadFile(local / ("dl" + server.home() + "/" + kSjis)), "sjis");

    // Rename: the dialog starts from the shown text; the old name goes out as its bytes.
    wxString initial;
    v->askName = [&](int, wxString& name) {
        initial = name;
        name = "good.bin";
        return true;
    };
    ASSERT_TRUE(RunOn("bad\\xFF.bin", ID_RENAME));
    EXPECT_EQ(initial, "bad\\xFF.bin");
    EXPECT_FALSE(fs::exists(server.Local("bad\xff.bin")));
    EXPECT_EQ(ReadFile(server.Local("good.bin")), "bad");

    // Accepting the shown text unchanged sends nothing: it is not the name.
    v->askName = [&](int, wxString&) { return true; };
    ASSERT_TRUE(RunOn(kSjisShown, ID_RENAME));
    EXPECT_TRUE(fs::exists(server.Local(kSjis)));
    EXPECT_FALSE(fs::exists(server.Local(kSjisShown)));

    // Delete: the Shift_JIS file goes, and nothing else.
    v->confirmDelete = [] { return true; };
    ASSERT_TRUE(RunOn(kSjisShown, ID_DELETE));
    EXPECT_EQ(v->ProgressDialog(), nullptr);
    EXPECT_FALSE(fs::exists(server.Local(kSjis)));
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(server.Local(""))) left.insert(e.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"good.bin", "cr\rname.txt", "plain.txt"}));
    shown = Shown(v);
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()),
              (std::set<std::string>{"good.bin", "cr\\rname.txt", "plain.txt"}));
}

// A server that keeps its names in Shift_JIS and does not list UTF8, with a provider stored before the encoding could
// be chosen (so detected): its names are shown as text and every command reaches them; a new name Shift_JIS cannot
// hold is refused with the reason and changes nothing.
TEST_F(BrovinNames, AShiftJisServersNamesAreTextAndUnwritableNamesAreRefused) {
    FtpServer server(FtpServer::Kind::Pyftpdlib, "", {"--encoding", "cp932"});
    auto disk = [&](const std::string& name) { return server.Local(testsupport::Encode("CP932", name)); };
    WriteFile(disk("日本語.txt"), "sjis");
    WriteFile(disk("資料/表.txt"), "inner");
    Start(server, server.home());
    CBrovinView* v = frame->View();
    const std::vector<std::string> listed = Shown(v);
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), (std::set<std::string>{"日本語.txt", "資料"}));

    DownloadInto(local / "dl");
    ASSERT_TRUE(RunOn("日本語.txt", ID_DOWNLOAD_TO));
    EXPECT_EQ(ReadFile(local / "dl/日本語.txt"), "sjis");

    const std::string unwritable = " : " + inet::InternetErrorText(inet::ERROR_NO_UNICODE_TRANSLATION);
    Answer("😀.txt");
    ASSERT_TRUE(RunOn("日本語.txt", ID_RENAME));
    EXPECT_EQ(Status(), "😀.txt" + unwritable);
    Answer("新しい名前.txt");
    ASSERT_TRUE(RunOn("日本語.txt", ID_RENAME));
    EXPECT_EQ(ReadFile(disk("新しい名前.txt")), "sjis");

    v->confirmDelete = [] { return true; };
    ASSERT_TRUE(RunOn("資料", ID_DELETE));
    EXPECT_FALSE(fs::exists(disk("資料")));
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(server.Local(""))) left.insert(e.path().filename().string());
    EXPECT_EQ(left, std::set<std::string>{testsupport::Encode("CP932", "新しい名前.txt")});
}

// Names no disk here can hold, as a server may still send them: one row each, the whole name on one line; a name that
// cannot go into a command is refused with the reason instead of being sent cut short.
TEST_F(BrovinNames, NamesWithNulCrAndHiddenCharactersAreShownWholeOnOneLine) {
    FtpServer server(FtpServer::Kind::Fault, "odd-names");
    // Set to UTF-8: this server lists no UTF8, and detection would read its names as Shift_JIS.
    testsupport::Put(layout::EntryKey("prov", "entry"), {{layout::kNameEncoding, layout::kNameEncodingUtf8}});
    Start(server, "");
    CBrovinView* v = frame->View();
    EXPECT_EQ(Shown(v), (std::vector<std::string>{"a\\x00b.txt", "cr\\rname.txt", "tab\\tname.txt", kSjisShown,
                                                  "\\xFF\\xFE.bin", "rtl\\u202Etxt.exe", "plain.txt"}));
    int asked = 0;
    v->askName = [&](int, wxString&) { return ++asked > 0; };
    ASSERT_TRUE(RunOn("a\\x00b.txt", ID_RENAME));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Status(), "名前 a\\x00b.txt には改行または NUL 文字が含まれているため、サーバへ送れません");
}

// With PARVEX_BROVIN_SCREENSHOTS set to a folder: the list of such names,
// the rename dialog started from one, and a failure in the status bar.
TEST_F(BrovinNames, Screenshots) {
    if (!std::getenv("PARVEX_BROVIN_SCREENSHOTS")) GTEST_SKIP() << "set PARVEX_BROVIN_SCREENSHOTS to a folder";
    FtpServer server(FtpServer::Kind::Fault, "odd-names");
    Start(server, "");
    testsupport::ShowAndSettle(frame);
    frame->SetFrameStatus(IDS_MKDIR_FAILED, "taken", "550 File exists.");
    Screenshot("brovin-names.png");
    CNameDlg dialog(frame, 1, U(kSjisShown));
    testsupport::ShowAndSettle(&dialog);
    Screenshot("brovin-rename.png", &dialog);
    dialog.Hide();
    frame->SetFrameStatus(IDS_CONNECTION_LOST, "", "サーバーとの接続が中断されました。");
    Screenshot("brovin-lost.png");
    CTransferDlg progress(frame, [] {});
    progress.SetStatus(FormatString(IDS_CONNECTION_LOST, "", "サーバーとの接続が中断されました。"));
    testsupport::ShowAndSettle(&progress);
    Screenshot("brovin-progress.png", &progress);
    progress.Hide();
    frame->SetSize(wxSize(960, 540));
    frame->SetFrameStatus(IDS_CONNECT_FAILED, "ftp.example.jp",
                          "ログインできませんでした。ユーザー名またはパスワードが正しくありません。(530 Login incorrect.)");
    Screenshot("brovin-login.png");
}

}  // namespace
