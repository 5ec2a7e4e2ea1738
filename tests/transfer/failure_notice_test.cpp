// The desktop notice of a failed transfer: the real program on a private
// session bus with a real (scripted) notification service on it.
#include "tests/platform/registry/store_holder.h"
#include "tests/support/ftp_server.h"
#include "tests/support/notification_bus.h"
#include "tests/support/gui_support.h"
#include "tests/transfer/store_setup.h"
#include "transfer/app/failure_notice.h"
#include "transfer/app/transfer_app.h"

#include <gtest/gtest.h>


#include <chrono>
#include <algorithm>
#include <filesystem>
#include <thread>

using namespace transfertest;
using testsupport::NotificationBus;
using testsupport::FtpServer;
using testsupport::WriteFile;

namespace {

class FailureNotice : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;

    // Runs the real program with its session bus at `address`; returns its stderr.
    std::string RunDravik(const std::string& address, double* seconds = nullptr) {
        auto start = std::chrono::steady_clock::now();
        auto r = testsupport::RunProgram({DRAVIK}, "", {"DBUS_SESSION_BUS_ADDRESS=" + address});
        if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.err;
    }
};

TEST(ComposeFailureNotice, NamesWhatFailedWithUntrustedTextMadeHarmless) {
    const char* const failed = "Parvex: 転送できませんでした";
    std::string kanji = "xy";  // byte 259, where a long status is cut, falls inside a character
    for (int i = 0; i < 400; ++i) kanji += "漢";
    const struct {
        dravik::FailedTransfer what;
        bool markup;
        const char* summary;
        std::string body;
    } cases[] = {
        {{true, "P", "公開", "site/big.bin", "site/big.bin 処理中...", "TLS1.3"}, true, "Parvex: 転送を中断しました",
         "プロバイダ: P\n転送先: 公開\nファイル: site/big.bin\n接続: TLS1.3\nsite/big.bin 処理中..."},
        // No file reached yet: no file line. A server's CR LF keeps its line break, a lone CR too.
        {{false, "P", "e", "", "530-Locked\r\n530 Bye\r\n", ""}, false, failed, "プロバイダ: P\n転送先: e\n530-Locked\n530 Bye"},
        // Markup escaped only for a service that reads it; a name stays on its line.
        {{false, "A&B", "<i>", "x\r\n<b>&.txt", "a\x1b[31m<u>\rb", ""}, true, failed,
         "プロバイダ: A&amp;B\n転送先: &lt;i&gt;\nファイル: x\\r\\n&lt;b&gt;&amp;.txt\na\\x1B[31m&lt;u&gt;\nb"},
        {{false, "A&B", "<i>", "", "<u>", ""}, false, failed, "プロバイダ: A&B\n転送先: <i>\n<u>"},
        // Bytes that are not UTF-8 would make the bus refuse the whole message.
        {{false, "P\xff", "e", "", "bad \xe3\x81", ""}, false, failed,
         "プロバイダ: P\xef\xbf\xbd\n転送先: e\nbad \xef\xbf\xbd\xef\xbf\xbd"},
        // Thousands of bytes: a name cut in its middle, a status at its end, both between characters.
        {{false, "P", "e", std::string(300, 'a') + std::string(3700, 'z'), kanji, ""}, false, failed,
         "プロバイダ: P\n転送先: e\nファイル: " + std::string(80, 'a') + "…" + std::string(100, 'z') + "\n" +
             kanji.substr(0, 2 + 85 * 3) + "…"},
    };
    for (const auto& c : cases) {
        dravik::FailureNotice n = dravik::ComposeFailureNotice(c.what, c.markup);
        EXPECT_EQ(n.summary, c.summary) << c.body;
        EXPECT_EQ(n.body, c.body);
    }
}

// One notice for a failure, naming the provider, the entry, the file and the server's reply; none for a transfer that
// went through; a file left out counts as a failure, and its hostile name arrives escaped and bounded. (The service's
// log is JSON: a line break in the body reads "\n" there.)
TEST_F(FailureNotice, AFailureIsToldOnceAndASuccessNotAtAll) {
    NotificationBus bus(NotificationBus::Service::Answering);
    WriteFile(local / "a.txt", "a");
    {
        FtpServer refusing(FtpServer::Kind::Fault, "refuse-stor");
        WriteEntry("社内&サーバ", "公開<html>", refusing, "/");
        // TLS when offered, and the server offers none: the notice says the password went in clear.
        testsupport::Put(layout::EntryKey("社内&サーバ", "公開<html>"), {{layout::kEncryption, 1u}});
        WriteHandOff("社内&サーバ", "公開<html>", {local / "a.txt"});
        RunDravik(bus.address());
    }
    const std::string first = bus.Log();
    EXPECT_TRUE(first.starts_with(
        R"({"app_name": "Parvex", "app_icon": "parvex", "summary": "Parvex: 転送できませんでした", )"
        R"("body": "プロバイダ: 社内&amp;サーバ\n転送先: 公開&lt;html&gt;\nファイル: a.txt\n接続: 暗号化なし\n)"
        R"(553 Could not create file ./a.txt: permission denied.", )"
        R"("hints": {"category": "transfer.error", "desktop-entry": "org.parvex.Morvane")"))
        << first;
    ASSERT_EQ(std::count(first.begin(), first.end(), '\n'), 1) << "one notice";

    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("P", "e", server, "/");
    WriteHandOff("P", "e", {local / "a.txt"});
    RunDravik(bus.address());
    EXPECT_EQ(testsupport::ReadFile(server.Local("a.txt")), "a");
    EXPECT_EQ(bus.Log(), first) << "a transfer that went through is not told";

    // A name the system cannot even look up (4000 bytes) is left out; the rest still goes.
    WriteFile(local / "b.txt", "b");
    WriteHandOff("P", "e", {local / "b.txt", local / ("<b>&" + std::string(3996, 'n'))});
    RunDravik(bus.address());
    EXPECT_EQ(testsupport::ReadFile(server.Local("b.txt")), "b");
    const std::string second = bus.Log().substr(first.size());
    const std::string shown = "&lt;b&gt;&amp;" + std::string(76, 'n') + "…" + std::string(100, 'n');
    EXPECT_NE(second.find(R"("summary": "Parvex: 転送できませんでした", "body": "プロバイダ: P\n転送先: e\nファイル: )" +
                          shown + R"(\n1 個の項目を送れませんでした(最初: )" + shown + ")\""),
              std::string::npos)
        << second;
}

// Without a service that answers, the program still ends in time, says why
// on stderr and nowhere else, and the transfer itself is what it always was.
TEST_F(FailureNotice, WithoutAnAnsweringServiceTheProgramStillEndsInTime) {
    FtpServer refusing(FtpServer::Kind::Fault, "refuse-stor");
    WriteFile(local / "a.txt", "a");
    const struct {
        NotificationBus::Service service;
        bool bus;
        const char* says;
        double atMost;  // seconds: the failure's 3 s pause, plus the notice's 3 s wait when the service hangs
    } cases[] = {
        {NotificationBus::Service::None, true, "dravik: no desktop notification: ", 5.5},
        {NotificationBus::Service::None, false, "dravik: no desktop notification: ", 5.5},
        {NotificationBus::Service::Silent, true, "dravik: the notification service did not answer within 3000 ms", 8.5},
    };
    for (const auto& c : cases) {
        NotificationBus bus(c.service);
        WriteEntry("P", "e", refusing, "/");
        WriteHandOff("P", "e", {local / "a.txt"});
        double seconds = 0;
        std::string err = RunDravik(c.bus ? bus.address() : "unix:path=" + (local / "no-bus"), &seconds);
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_GT(seconds, 2.8) << "the failure's pause is kept";
        EXPECT_LT(seconds, c.atMost) << err;
    }
}

// Presses Esc in dravik's window once the window is shown, as a user would; false when it never was.
bool PressEscapeInDravik() {
    std::string window;
    const bool shown = testsupport::WaitUntil(
        [&] {
            auto r = testsupport::RunProgram({"/usr/bin/xdotool", "search", "--onlyvisible", "--name", "^Parvex - DVK$"});
            window = r.out.substr(0, r.out.find('\n'));
            return r.exitCode == 0 && !window.empty();
        },
        20000);
    return shown &&
           testsupport::RunProgram({"/usr/bin/xdotool", "mousemove", "--window", window, "20", "20", "click", "1", "key",
                                    "Escape"})
                   .exitCode == 0;
}

// A transfer stopped while its walker cannot stop (here it waits for a store that another program holds) is left
// behind after 5 s, but is still told on the desktop, and the program says so by its exit status.
TEST_F(FailureNotice, ATransferThatWillNotStopIsStillToldAndEndsNonZero) {
    NotificationBus bus(NotificationBus::Service::Answering);
    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteFile(local / "a.txt", "a");
    WriteEntry("P", "e", server, "/");
    WriteHandOff("P", "e", {local / "a.txt"});
    testsupport::StoreHolder holder(store.file());
    ASSERT_TRUE(holder.held());

    bool pressed = false;
    std::thread user([&] { pressed = PressEscapeInDravik(); });
    auto r = testsupport::RunProgram({DRAVIK}, "", {"DBUS_SESSION_BUS_ADDRESS=" + bus.address()});
    user.join();
    ASSERT_TRUE(pressed) << "no dravik window to press Esc in";
    EXPECT_EQ(r.exitCode, dravik::TransferApp::kWalkerLeftExitCode) << r.err;
    EXPECT_NE(r.err.find("dravik: the transfer did not stop within 5 s"), std::string::npos) << r.err;
    const std::string log = bus.Log();
    EXPECT_NE(log.find(R"("summary": "Parvex: 転送を中断しました", "body": "プロバイダ: P\n転送先: e)"), std::string::npos)
        << log;
    holder.Release();
    EXPECT_FALSE(std::filesystem::exists(server.Local("a.txt")));
}

}  // namespace
