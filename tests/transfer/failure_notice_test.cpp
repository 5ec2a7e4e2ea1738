// The desktop notice of a failed transfer: the real program on a private
// session bus with a real (scripted) notification service on it.
#include "tests/support/ftp_server.h"
#include "tests/transfer/store_setup.h"
#include "transfer/app/failure_notice.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using namespace transfertest;
using testsupport::FtpServer;
using testsupport::WriteFile;
using Clock = std::chrono::steady_clock;

namespace {

// A session bus of its own (nothing on it can be started on demand) and,
// unless `service` is None, the scripted notification service on it.
class NotificationBus {
public:
    enum class Service { None, Answering, Silent };

    explicit NotificationBus(Service service) {
        const std::string socket = dir_ / "bus";
        address_ = "unix:path=" + socket;
        WriteFile(dir_ / "bus.conf",
                  "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig><type>session</type><listen>" + address_ + "</listen><auth>EXTERNAL</auth>\n"
                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>\n"
                  "</busconfig>\n");
        daemon_.pid = testsupport::Spawn({"/usr/bin/dbus-daemon", "--config-file=" + (dir_ / "bus.conf"), "--nofork",
                                           "--syslog-only"});
        struct stat st {};
        if (!WaitFor([&] { return ::stat(socket.c_str(), &st) == 0; })) throw std::runtime_error("no session bus");
        if (service == Service::None) return;
        std::vector<std::string> argv = {"/usr/bin/python3", PARVEX_SOURCE_DIR "/tests/support/fake_notifyd.py",
                                         "--address", address_, "--log", dir_ / "log", "--ready", dir_ / "ready"};
        if (service == Service::Silent) argv.push_back("--silent");
        service_.pid = testsupport::Spawn(argv);
        if (!WaitFor([&] { return ::stat((dir_ / "ready").c_str(), &st) == 0; }))
            throw std::runtime_error("the notification service did not start");
    }

    const std::string& address() const { return address_; }

    // Every Notify the service took, one JSON object each.
    std::vector<std::string> Notices() const {
        std::vector<std::string> lines;
        std::ifstream in(dir_ / "log");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    template <typename F>
    static bool WaitFor(F ready) {
        for (int i = 0; i < 400; ++i) {
            if (ready()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    // Stopped even when the constructor throws: a bus left running would hold the test's output open.
    struct Child {
        int pid = -1;
        ~Child() {
            if (pid <= 0) return;
            ::kill(pid, SIGKILL);
            testsupport::Wait(pid);
        }
    };

    testsupport::TempDir dir_;
    std::string address_;
    Child daemon_, service_;  // the service goes first
};

// The string member `key` of a JSON object as the service's log writes it
// (non-ASCII text as is, control characters and quotes escaped).
std::string Member(const std::string& json, const std::string& key) {
    std::size_t at = json.find("\"" + key + "\": \"");
    if (at == std::string::npos) return "(missing)";
    std::string out;
    for (std::size_t i = at + key.size() + 5; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] != '\\') {
            out += json[i];
            continue;
        }
        char c = json[++i];
        if (c == 'n') out += '\n';
        else if (c == 'u') out += static_cast<char>(std::stoi(json.substr(i + 1, 4), nullptr, 16)), i += 4;
        else out += c;  // \" \\ \/
    }
    return out;
}

class FailureNotice : public ::testing::Test {
protected:
    testsupport::ScopedStore store;
    testsupport::TempDir local;

    // Runs the real program with its session bus at `address`; returns its stderr.
    std::string RunDravik(const std::string& address, double* seconds = nullptr) {
        auto start = Clock::now();
        testsupport::RunResult r = testsupport::RunProgram({DRAVIK}, "", {"DBUS_SESSION_BUS_ADDRESS=" + address});
        if (seconds) *seconds = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.err;
    }
};

TEST(ComposeFailureNotice, NamesWhatFailedWithUntrustedTextMadeHarmless) {
    const std::string longName = "<b>&" + std::string(3996, 'n');
    const struct {
        dravik::FailedTransfer what;
        bool markup;
        const char* summary;
        std::string body;
    } cases[] = {
        {{false, "P", "公開", "site/a.txt", "553 Could not create file ./a.txt: permission denied."}, true,
         "Parvex: 転送できませんでした",
         "プロバイダ: P\n転送先: 公開\nファイル: site/a.txt\n553 Could not create file ./a.txt: permission denied."},
        // Nothing reached yet: no file line. A server's CR LF keeps its line break, a lone CR too.
        {{false, "P", "e", "", "530-Locked\r\n530 Bye\r\n"}, false, "Parvex: 転送できませんでした",
         "プロバイダ: P\n転送先: e\n530-Locked\n530 Bye"},
        {{true, "P", "e", "big.bin", "big.bin 処理中..."}, true, "Parvex: 転送を中断しました",
         "プロバイダ: P\n転送先: e\nファイル: big.bin\nbig.bin 処理中..."},
        // Markup only for a service that reads it; names stay on their line.
        {{false, "A&B", "<i>", "x\r\n<b>&.txt", "a\x1b[31m<u>\rb"}, true, "Parvex: 転送できませんでした",
         "プロバイダ: A&amp;B\n転送先: &lt;i&gt;\nファイル: x\\r\\n&lt;b&gt;&amp;.txt\na\\x1B[31m&lt;u&gt;\nb"},
        {{false, "A&B", "<i>", "", "<u>"}, false, "Parvex: 転送できませんでした", "プロバイダ: A&B\n転送先: <i>\n<u>"},
        // Bytes that are not UTF-8 would make the bus refuse the whole message.
        {{false, "P\xff", "e", "", "bad \xe3\x81"}, false, "Parvex: 転送できませんでした",
         "プロバイダ: P\xef\xbf\xbd\n転送先: e\nbad \xef\xbf\xbd\xef\xbf\xbd"},
    };
    for (const auto& c : cases) {
        dravik::FailureNotice n = dravik::ComposeFailureNotice(c.what, c.markup);
        EXPECT_EQ(n.summary, c.summary) << c.body;
        EXPECT_EQ(n.body, c.body);
    }

    // Thousands of bytes: cut between characters, both ends of a name kept, the whole notice small.
    std::string kanji = "x";
    for (int i = 0; i < 400; ++i) kanji += "漢";
    const struct {
        std::string status, shown;
    } longOnes[] = {
        {std::string(5000, 'r'), std::string(600, 'r') + "…"},
        {kanji, kanji.substr(0, 1 + 199 * 3) + "…"},  // byte 600 is inside a character
    };
    for (const auto& c : longOnes) {
        dravik::FailureNotice n = dravik::ComposeFailureNotice({false, "P", "e", longName, c.status}, true);
        EXPECT_LT(n.body.size(), 1200u);
        EXPECT_NE(n.body.find("ファイル: &lt;b&gt;&amp;n"), std::string::npos) << n.body;
        EXPECT_NE(n.body.find("…" + std::string(100, 'n') + "\n"), std::string::npos) << "the name's end is kept";
        EXPECT_TRUE(n.body.ends_with("\n" + c.shown)) << n.body;
    }
}

// One notice for a failure, naming the provider, the entry, the file and the
// server's reply; none for a transfer that went through; a file left out
// counts as a failure, and its hostile name arrives escaped and bounded.
TEST_F(FailureNotice, AFailureIsToldOnceAndASuccessNotAtAll) {
    NotificationBus bus(NotificationBus::Service::Answering);
    WriteFile(local / "a.txt", "a");
    const std::string provider = "社内&サーバ", entry = "公開<html>";
    {
        FtpServer refusing(FtpServer::Kind::Fault, "refuse-stor");
        WriteEntry(provider, entry, refusing, "/");
        WriteHandOff(provider, entry, {local / "a.txt"});
        RunDravik(bus.address());
    }
    std::vector<std::string> notices = bus.Notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(Member(notices[0], "app_name"), "Parvex");
    EXPECT_EQ(Member(notices[0], "app_icon"), "parvex");
    EXPECT_EQ(Member(notices[0], "summary"), "Parvex: 転送できませんでした");
    EXPECT_EQ(Member(notices[0], "body"), "プロバイダ: 社内&amp;サーバ\n転送先: 公開&lt;html&gt;\nファイル: a.txt\n"
                                          "553 Could not create file ./a.txt: permission denied.");
    EXPECT_EQ(Member(notices[0], "desktop-entry"), "org.parvex.Morvane");

    FtpServer server(FtpServer::Kind::Pyftpdlib);
    WriteEntry("P", "e", server, "/");
    WriteHandOff("P", "e", {local / "a.txt"});
    RunDravik(bus.address());
    EXPECT_EQ(testsupport::ReadFile(server.Local("a.txt")), "a");
    EXPECT_EQ(bus.Notices().size(), 1u) << "a transfer that went through is not told";

    // A name the system cannot even look up (4000 bytes) is left out; the rest still goes.
    const std::string hostile = "<b>&" + std::string(3996, 'n');
    WriteFile(local / "b.txt", "b");
    WriteHandOff("P", "e", {local / "b.txt", local / hostile});
    RunDravik(bus.address());
    EXPECT_EQ(testsupport::ReadFile(server.Local("b.txt")), "b");
    notices = bus.Notices();
    ASSERT_EQ(notices.size(), 2u);
    const std::string body = Member(notices[1], "body");
    EXPECT_EQ(Member(notices[1], "summary"), "Parvex: 転送できませんでした");
    EXPECT_EQ(body.find("<b>"), std::string::npos) << body;
    EXPECT_EQ(body.rfind("プロバイダ: P\n転送先: e\nファイル: &lt;b&gt;&amp;nnn", 0), 0u) << body;
    EXPECT_NE(body.find("\n1 個の項目を送れませんでした(最初: &lt;b&gt;&amp;n"), std::string::npos) << body;
    EXPECT_LT(body.size(), 1200u);
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
        double atMost;  // seconds: the failure's 3 s pause, plus the notice's wait when the service hangs
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
        EXPECT_FALSE(HandOffPresent());
    }
}

}  // namespace
